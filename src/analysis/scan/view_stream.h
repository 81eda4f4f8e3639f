// SPDX-License-Identifier: MIT
#pragma once
// A text in memory read as an input stream where it lies, without a copy.

#include <istream>
#include <streambuf>
#include <string_view>

namespace coffer {

class ViewStreamBuffer : public std::streambuf {
  public:
    explicit ViewStreamBuffer(std::string_view text) {
        // The buffer is only ever read: get areas take non-const pointers.
        char* begin = const_cast<char*>(text.data());
        setg(begin, begin, begin + text.size());
    }
};

class ViewStream : private ViewStreamBuffer, public std::istream {
  public:
    explicit ViewStream(std::string_view text) : ViewStreamBuffer(text), std::istream(this) {}
};

} // namespace coffer
