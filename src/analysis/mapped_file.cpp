#include "analysis/mapped_file.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace coffer {

MappedFile::MappedFile(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return;
    struct stat info {};
    if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode)) {
        const auto size = static_cast<std::size_t>(info.st_size);
        if (size == 0) {
            mapped_ = true; // nothing to map: the text is empty
        } else {
            // Populated at once: faulting the pages in one by one as the text is read costs several times more.
            void* data = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE | MAP_POPULATE, fd, 0);
            if (data != MAP_FAILED) {
                data_ = static_cast<const char*>(data);
                size_ = size;
                mapped_ = true;
            }
        }
    }
    ::close(fd); // the mapping keeps the file's pages
}

MappedFile::~MappedFile() {
    if (data_ != nullptr)
        ::munmap(const_cast<char*>(data_), size_);
}

} // namespace coffer
