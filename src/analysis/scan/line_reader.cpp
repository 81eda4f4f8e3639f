// SPDX-License-Identifier: MIT
#include "analysis/scan/line_reader.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

namespace coffer {
namespace {
// Reads start small, so a short text costs little, and grow to this size for long texts.
constexpr std::size_t kFirstChunk = 1 << 14;
constexpr std::size_t kChunkSize = 1 << 20;

// The first CR or LF in [from, to), else `to`: a search for each (memchr, many bytes at a time) beats a
// loop over the bytes, and the CR search ends at the LF.
const char* FindBreak(const char* from, const char* to) {
    if (from == to)
        return to; // no buffer yet: memchr may not be given a null pointer
    const void* lf = std::memchr(from, '\n', static_cast<std::size_t>(to - from));
    const char* end = lf != nullptr ? static_cast<const char*>(lf) : to;
    const void* cr = std::memchr(from, '\r', static_cast<std::size_t>(end - from));
    return cr != nullptr ? static_cast<const char*>(cr) : end;
}
} // namespace

LineReader::~LineReader() {
    std::free(buffer_);
}

// Makes room after the gathered line and reads more; false at the end of the input.
bool LineReader::fill() {
    // Gathered bytes and the unread rest move to the front, closing the gap a joined break left.
    const std::size_t gathered = kept_ - lineStart_;
    if (buffer_ != nullptr) {
        std::memmove(buffer_, buffer_ + lineStart_, gathered);
        std::memmove(buffer_ + gathered, buffer_ + pos_, end_ - pos_);
    }
    end_ = gathered + (end_ - pos_);
    pos_ = kept_ = gathered;
    lineStart_ = 0;
    // Reads grow with the buffer up to a limit; a line longer than the buffer grows it by half.
    const std::size_t chunk = std::min(std::max(capacity_, kFirstChunk), kChunkSize);
    if (capacity_ - end_ < chunk) {
        const std::size_t grown = std::max(end_ + chunk, capacity_ + capacity_ / 2);
        char* bigger = static_cast<char*>(std::realloc(buffer_, grown));
        if (bigger == nullptr)
            throw std::bad_alloc();
        buffer_ = bigger;
        capacity_ = grown;
    }
    input_.read(buffer_ + end_, static_cast<std::streamsize>(chunk));
    const auto got = static_cast<std::size_t>(input_.gcount());
    if (got == 0)
        return false;
    bytesRead_ += got;
    // The last line ended in a CR at the end of the buffer: a LF now is the rest of that break.
    if (skipLeadingLf_ && buffer_[end_] == '\n')
        ++pos_;
    skipLeadingLf_ = false;
    end_ += got;
    return true;
}

// Gathers the rest of the current line after [lineStart_, kept_); `line` becomes the whole of it.
// False when the input is exhausted before any byte of it.
bool LineReader::next(std::string_view& line) {
    std::size_t scanned = pos_;
    for (;;) {
        const char* brk = FindBreak(buffer_ + scanned, buffer_ + end_);
        auto stop = static_cast<std::size_t>(brk - buffer_);
        if (stop == end_) {
            const std::size_t offset = stop - pos_; // bytes already searched for a break
            if (fill()) {
                scanned = pos_ + offset;
                continue;
            }
            if (end_ == pos_)
                return false;
            stop = end_; // the last line runs to the end of the input without a break
        }
        // The line's bytes move up to join what is gathered (a no-op unless a break was dropped).
        if (kept_ != pos_)
            std::memmove(buffer_ + kept_, buffer_ + pos_, stop - pos_);
        kept_ += stop - pos_;
        pos_ = stop;
        if (stop < end_) {
            ++pos_;
            if (*brk == '\r') {
                if (pos_ < end_) {
                    if (buffer_[pos_] == '\n')
                        ++pos_;
                } else {
                    skipLeadingLf_ = true;
                }
            }
        }
        line = std::string_view(buffer_ + lineStart_, kept_ - lineStart_);
        return true;
    }
}

bool LineReader::readLine(std::string_view& line) {
    lineStart_ = kept_ = pos_;
    return next(line);
}

bool LineReader::joinNextLine(std::string_view& joined, std::string_view& added) {
    const std::size_t had = kept_ - lineStart_;
    if (!next(joined)) {
        joined = std::string_view(buffer_ + lineStart_, had);
        return false;
    }
    added = joined.substr(had);
    return true;
}

} // namespace coffer
