#include "analysis/line_reader.h"

namespace coffer {
namespace {
constexpr std::size_t kChunkSize = 1 << 20;

const char* FindBreak(const char* from, const char* end) {
    for (const char* p = from; p < end; ++p)
        if (*p == '\n' || *p == '\r')
            return p;
    return end;
}
} // namespace

bool LineReader::fill() {
    do {
        buffer_.resize(kChunkSize);
        input_.read(buffer_.data(), static_cast<std::streamsize>(buffer_.size()));
        buffer_.resize(static_cast<std::size_t>(input_.gcount()));
        if (buffer_.empty())
            return false;
        pos_ = 0;
        if (skipLeadingLf_ && buffer_[0] == '\n')
            pos_ = 1;
        skipLeadingLf_ = false;
    } while (pos_ >= buffer_.size());
    return true;
}

bool LineReader::readLine(std::string& line) {
    line.clear();
    bool any = false;
    for (;;) {
        if (pos_ >= buffer_.size() && !fill())
            return any;
        any = true;
        const char* begin = buffer_.data() + pos_;
        const char* end = buffer_.data() + buffer_.size();
        const char* brk = FindBreak(begin, end);
        line.append(begin, brk);
        if (brk == end) {
            pos_ = buffer_.size();
            continue;
        }
        pos_ = static_cast<std::size_t>(brk - buffer_.data()) + 1;
        if (*brk == '\r') {
            if (pos_ < buffer_.size()) {
                if (buffer_[pos_] == '\n')
                    ++pos_;
            } else {
                skipLeadingLf_ = true;
            }
        }
        return true;
    }
}

} // namespace coffer
