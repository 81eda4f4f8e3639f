// SPDX-License-Identifier: MIT
#include "ui/log/log_import.h"

#include <QStringDecoder>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace coffer {
namespace {

bool IsContinuationByte(char byte) {
    return (static_cast<unsigned char>(byte) & 0xC0) == 0x80;
}

// The characters that the box gives back as another one.
struct ShownAs {
    std::string_view utf8;
    char shown;
};
constexpr ShownAs kShownOtherwise[] = {{"\xC2\xA0", ' '}, // no-break space
                                       {"\xE2\x80\xA8", '\n'},
                                       {"\xE2\x80\xA9", '\n'}, // line, paragraph
                                       {"\xEF\xB7\x90", '\n'},
                                       {"\xEF\xB7\x91", '\n'}}; // frame marks end blocks

// The first CR or byte beyond ASCII at or after `p`, eight bytes at a time: most logs hold neither.
const char* NextCrOrNonAscii(const char* p, const char* end) {
    constexpr std::uint64_t kOnes = 0x0101010101010101;
    constexpr std::uint64_t kHigh = kOnes * 0x80;
    for (std::uint64_t word = 0; end - p >= 8; p += 8) {
        std::memcpy(&word, p, 8);
        const std::uint64_t crZero = word ^ (kOnes * '\r');
        if ((((crZero - kOnes) & ~crZero) | word) & kHigh)
            break;
    }
    while (p < end && *p != '\r' && (static_cast<unsigned char>(*p) & 0x80) == 0)
        ++p;
    return p;
}

} // namespace

void ForEachImportPiece(QByteArrayView file, qsizetype maxPieceBytes,
                        const std::function<bool(const QString& piece)>& append) {
    const char* const begin = file.constData();
    const char* const end = begin + file.size();
    QByteArray buffer;
    bool stopped = false;
    std::size_t boxLines = 0; // line feeds given so far, the lines of the box
    // A piece may begin with a byte order mark inside a line: it is text like any other character.
    QStringDecoder decoder(QStringDecoder::Utf8,
                           QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
    auto give = [&](qsizetype size) {
        QString piece = decoder.decode(QByteArrayView(buffer.constData(), size));
        for (QChar& c : piece)
            if (c == u'\n' && boxLines++ % kLinesPerBlock != 0)
                c = QChar::LineSeparator;
        stopped = !append(piece);
        buffer.remove(0, size);
    };
    // A full piece ends before a character that the next byte would continue.
    auto giveFull = [&](char nextByte) {
        qsizetype cut = buffer.size();
        if (IsContinuationByte(nextByte)) {
            while (cut > 0 && IsContinuationByte(buffer[cut - 1]))
                --cut;
            cut = cut > 0 ? cut - 1 : buffer.size(); // no character start at all: not UTF-8, give it as it is
        }
        give(cut > 0 ? cut : buffer.size());
    };
    auto add = [&](const char* from, const char* to) {
        while (from < to && !stopped) {
            if (buffer.size() >= maxPieceBytes) {
                giveFull(*from);
                continue;
            }
            const qsizetype take = std::min<qsizetype>(maxPieceBytes - buffer.size(), to - from);
            // A view: append(pointer, length) has a strlen path for negative lengths, where GCC 12 at -O3
            // warns (-Wstringop-overread) of a read past the one-character line break.
            buffer.append(QByteArrayView(from, take));
            from += take;
        }
    };
    static constexpr char kLineBreak = '\n';
    for (const char* line = begin; line < end && !stopped;) {
        const auto* cr = static_cast<const char*>(std::memchr(line, '\r', static_cast<std::size_t>(end - line)));
        const char* const lineEnd = cr != nullptr ? cr : end;
        add(&kLineBreak, &kLineBreak + 1);
        add(line, lineEnd);
        line = lineEnd;
        if (line < end) {
            ++line; // the CR
            if (line < end && *line == '\n')
                ++line;
        }
    }
    if (!buffer.isEmpty() && !stopped)
        give(buffer.size());
}

bool ToShownImportText(std::string& file) {
    if (file.empty())
        return true;
    if (!QByteArrayView(file).isValidUtf8())
        return false;
    file.insert(file.begin(), '\n'); // the first line too follows a line break
    // The text only shrinks from here on, so it is rewritten from front to back over itself.
    char* out = file.data() + 1;
    const char* in = out;
    const char* const end = file.data() + file.size();
    while (in < end) {
        const char* const next = NextCrOrNonAscii(in, end);
        if (out != in)
            std::memmove(out, in, static_cast<std::size_t>(next - in));
        out += next - in;
        in = next;
        if (in == end)
            break;
        if (*in == '\r') {
            in += end - in >= 2 && in[1] == '\n' ? 2 : 1;
            if (in < end) // a line break at the very end starts no line
                *out++ = '\n';
            continue;
        }
        const std::string_view rest(in, static_cast<std::size_t>(end - in));
        const auto* other =
            std::find_if(std::begin(kShownOtherwise), std::end(kShownOtherwise),
                         [&rest](const ShownAs& character) { return rest.starts_with(character.utf8); });
        if (other == std::end(kShownOtherwise)) {
            *out++ = *in++;
        } else {
            *out++ = other->shown;
            in += other->utf8.size();
        }
    }
    file.resize(static_cast<std::size_t>(out - file.data()));
    return true;
}

} // namespace coffer
