// SPDX-License-Identifier: MIT
#pragma once
// A regular file's bytes mapped read-only into memory: the text of a large log without copying it
// onto the heap, whose first touch of fresh pages costs far more than mapping the cached file.
// Another program may cut the file short while it is mapped: a read past the new end, which would
// otherwise end the process with SIGBUS, finds zeros instead, and changed() tells.

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
    // Whether the file has been cut short since it was mapped: the text is then no longer the file's.
    bool changed() const;
    // Gives back the memory of the text's first `bytes` (its whole pages): the text stays readable, a
    // later read of them finds them in the file again.
    void release(std::size_t bytes) const;

  private:
    const char* data_ = nullptr;
    std::size_t size_ = 0;
    int fd_ = -1; // kept open to see the file's size
    bool mapped_ = false;
};

} // namespace coffer
