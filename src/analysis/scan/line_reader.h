// SPDX-License-Identifier: MIT
#pragma once
// Reads a text line by line. A line break is CR LF, LF or CR, so logs saved on any system read alike;
// the break is not part of the line. Lines may be of any length: the reader holds each in one buffer
// that grows in place, never in a second copy.

#include <cstdint>
#include <istream>
#include <string_view>

namespace coffer {

class LineReader {
  public:
    explicit LineReader(std::istream& input) : input_(input) {}
    ~LineReader();
    LineReader(const LineReader&) = delete;
    LineReader& operator=(const LineReader&) = delete;

    // The next line; false when the input is exhausted. A text that ends with a line break has no
    // empty line after it. The view stays valid until the next call.
    bool readLine(std::string_view& line);

    // Reads the next line onto the end of the last one, without the break between them: `joined` is
    // the last line (or lines) and the new one together, `added` the new one alone. False, and the
    // views unchanged, when the input is exhausted. The views stay valid until the next call.
    bool joinNextLine(std::string_view& joined, std::string_view& added);

    // How many bytes of the input have been read so far: a measure of progress.
    std::uint64_t bytesRead() const { return bytesRead_; }
    // Where in the input the next line starts (or the LF of a CR LF split by a read, before it).
    std::uint64_t offset() const { return bytesRead_ - (end_ - pos_); }

  private:
    bool next(std::string_view& line);
    bool fill();

    std::istream& input_;
    char* buffer_ = nullptr; // from malloc: realloc grows a huge line without copying its pages
    std::size_t capacity_ = 0;
    std::size_t end_ = 0;       // bytes read into the buffer
    std::size_t lineStart_ = 0; // the line being gathered: [lineStart_, kept_) and then [pos_, ...)
    std::size_t kept_ = 0;
    std::size_t pos_ = 0;
    bool skipLeadingLf_ = false; // a CR ended the last line and its LF, if any, is not read yet
    std::uint64_t bytesRead_ = 0;
};

} // namespace coffer
