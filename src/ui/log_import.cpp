#include "ui/log_import.h"

#include <QStringDecoder>

#include <algorithm>

namespace coffer {
namespace {

constexpr int kLinesPerFlush = 100;
// A UTF-16 unit takes at most three bytes of UTF-8.
constexpr qsizetype kMaxUtf8BytesPerUnit = 3;

} // namespace

void ForEachImportPiece(const QByteArray& file, qsizetype maxPartBytes,
                        const std::function<bool(const QString& piece)>& append) {
    // Decoded as a whole, so that no part can end inside a character; a byte order mark stays text.
    const QString text =
        QStringDecoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom)
            .decode(file);
    const qsizetype maxPartUnits = std::max<qsizetype>(maxPartBytes / kMaxUtf8BytesPerUnit, 2);
    QString buffer;
    bool stopped = false;
    auto give = [&](qsizetype size) {
        stopped = !append(buffer.left(size));
        buffer.remove(0, size);
    };
    int counter = 0;
    for (qsizetype line = 0; line < text.size() && !stopped;) {
        const qsizetype cr = text.indexOf(u'\r', line);
        const qsizetype lineEnd = cr < 0 ? text.size() : cr;
        buffer += QStringLiteral("\r\n");
        while (line < lineEnd && !stopped) {
            if (buffer.size() >= maxPartUnits) {
                give(buffer.back().isHighSurrogate() ? buffer.size() - 1 : buffer.size()); // pairs stay whole
                continue;
            }
            const qsizetype take = std::min(maxPartUnits - buffer.size(), lineEnd - line);
            buffer += QStringView(text).mid(line, take);
            line += take;
        }
        if (line < text.size()) {
            ++line; // the CR
            if (line < text.size() && text[line] == u'\n')
                ++line;
        }
        if (counter >= kLinesPerFlush) {
            if (!stopped)
                give(buffer.size());
            counter = 0;
        }
        ++counter;
    }
    if (!buffer.isEmpty() && !stopped)
        give(buffer.size());
}

} // namespace coffer
