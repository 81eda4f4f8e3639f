#include "ui/log_import.h"

#include <cstring>

namespace coffer {
namespace {

constexpr int kLinesPerFlush = 100;

} // namespace

void ForEachImportPiece(const QByteArray& file, const std::function<bool(const QString& piece)>& append) {
    const char* const begin = file.constData();
    const char* const end = begin + file.size();
    QByteArray buffer;
    int counter = 0;
    for (const char* line = begin; line < end;) {
        const auto* cr = static_cast<const char*>(std::memchr(line, '\r', static_cast<std::size_t>(end - line)));
        const char* lineEnd = cr != nullptr ? cr : end;
        buffer.append("\r\n", 2);
        buffer.append(line, lineEnd - line);
        line = lineEnd;
        if (line < end) {
            ++line; // the CR
            if (line < end && *line == '\n')
                ++line;
        }
        if (counter >= kLinesPerFlush) {
            if (!append(QString::fromUtf8(buffer)))
                return;
            buffer.clear();
            counter = 0;
        }
        ++counter;
    }
    if (!buffer.isEmpty())
        append(QString::fromUtf8(buffer));
}

} // namespace coffer
