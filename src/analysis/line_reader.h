#pragma once
// Reads a text line by line. A line break is CR LF, LF or CR, so logs saved on any system read alike;
// the break is not part of the line. Reads in large chunks: lines may be of any length.

#include <istream>
#include <memory>
#include <string>
#include <string_view>

namespace coffer {

class LineReader {
public:
    explicit LineReader(std::istream& input) : input_(input) {}

    // The next line; false when the input is exhausted. A text that ends with a line break has no
    // empty line after it. The view stays valid until the next call.
    bool readLine(std::string_view& line);

private:
    bool fill();

    std::istream& input_;
    std::unique_ptr<char[]> buffer_;
    std::size_t size_ = 0;
    std::size_t pos_ = 0;
    std::string carried_;        // a line that runs over the end of a chunk
    bool skipLeadingLf_ = false; // the previous chunk ended in the CR of a CR LF
};

} // namespace coffer
