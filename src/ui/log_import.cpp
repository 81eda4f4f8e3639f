#include "ui/log_import.h"

#include <QStringDecoder>

#include <algorithm>
#include <cstring>

namespace coffer {
namespace {

constexpr int kLinesPerFlush = 100;

bool IsContinuationByte(char byte) {
    return (static_cast<unsigned char>(byte) & 0xC0) == 0x80;
}

} // namespace

void ForEachImportPiece(const QByteArray& file, qsizetype maxPartBytes,
                        const std::function<bool(const QString& piece)>& append) {
    const char* const begin = file.constData();
    const char* const end = begin + file.size();
    QByteArray buffer;
    bool stopped = false;
    // A part may begin with a byte order mark inside a line: it is text like any other character.
    QStringDecoder decoder(QStringDecoder::Utf8,
                           QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
    auto give = [&](qsizetype size) {
        stopped = !append(decoder.decode(QByteArrayView(buffer.constData(), size)));
        buffer.remove(0, size);
    };
    // A part ends before a character that the next byte would continue.
    auto givePart = [&](char nextByte) {
        qsizetype cut = buffer.size();
        if (IsContinuationByte(nextByte)) {
            while (cut > 0 && IsContinuationByte(buffer[cut - 1]))
                --cut;
            cut = cut > 0 ? cut - 1 : buffer.size(); // no character start at all: not UTF-8, give it as it is
        }
        give(cut > 0 ? cut : buffer.size());
    };
    int counter = 0;
    for (const char* line = begin; line < end && !stopped;) {
        const auto* cr = static_cast<const char*>(std::memchr(line, '\r', static_cast<std::size_t>(end - line)));
        const char* const lineEnd = cr != nullptr ? cr : end;
        buffer.append("\r\n", 2);
        while (line < lineEnd && !stopped) {
            if (buffer.size() >= maxPartBytes) {
                givePart(*line);
                continue;
            }
            const qsizetype take = std::min<qsizetype>(maxPartBytes - buffer.size(), lineEnd - line);
            buffer.append(line, take);
            line += take;
        }
        if (line < end) {
            ++line; // the CR
            if (line < end && *line == '\n')
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
