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
    if (!buffer_)
        buffer_ = std::make_unique_for_overwrite<char[]>(kChunkSize);
    do {
        input_.read(buffer_.get(), static_cast<std::streamsize>(kChunkSize));
        size_ = static_cast<std::size_t>(input_.gcount());
        if (size_ == 0)
            return false;
        pos_ = 0;
        if (skipLeadingLf_ && buffer_[0] == '\n')
            pos_ = 1;
        skipLeadingLf_ = false;
    } while (pos_ >= size_);
    return true;
}

bool LineReader::readLine(std::string& line) {
    line.clear();
    bool any = false;
    for (;;) {
        if (pos_ >= size_ && !fill())
            return any;
        any = true;
        const char* begin = buffer_.get() + pos_;
        const char* end = buffer_.get() + size_;
        const char* brk = FindBreak(begin, end);
        line.append(begin, brk);
        if (brk == end) {
            pos_ = size_;
            continue;
        }
        pos_ = static_cast<std::size_t>(brk - buffer_.get()) + 1;
        if (*brk == '\r') {
            if (pos_ < size_) {
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
