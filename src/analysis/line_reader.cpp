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

bool LineReader::readLine(std::string_view& line) {
    carried_.clear();
    bool carrying = false;
    for (;;) {
        if (pos_ >= size_ && !fill()) {
            line = carried_;
            return carrying;
        }
        const char* begin = buffer_.get() + pos_;
        const char* end = buffer_.get() + size_;
        const char* brk = FindBreak(begin, end);
        if (brk == end) {
            // The line goes on in the next chunk.
            carried_.append(begin, end);
            carrying = true;
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
        if (carrying) {
            carried_.append(begin, brk);
            line = carried_;
        } else {
            line = std::string_view(begin, static_cast<std::size_t>(brk - begin));
        }
        return true;
    }
}

} // namespace coffer
