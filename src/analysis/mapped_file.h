#pragma once
// A regular file's bytes mapped read-only into memory: the text of a large log without copying it
// onto the heap, whose first touch of fresh pages costs far more than mapping the cached file.

#include <string>
#include <string_view>

namespace coffer {

class MappedFile {
  public:
    // Maps the file at `path` when it is a regular file that can be opened and mapped; otherwise
    // mapped() is false and the caller reads the file another way (and reports what fails there).
    explicit MappedFile(const std::string& path);
    ~MappedFile();
    MappedFile(const MappedFile&) = delete;
    MappedFile& operator=(const MappedFile&) = delete;

    bool mapped() const { return mapped_; }
    // The whole file; empty when it is empty or not mapped. Valid while the object lives.
    std::string_view text() const { return {data_, size_}; }

  private:
    const char* data_ = nullptr;
    std::size_t size_ = 0;
    bool mapped_ = false;
};

} // namespace coffer
