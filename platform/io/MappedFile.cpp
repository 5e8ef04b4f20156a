#include "io/MappedFile.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace HostIO {

MappedFile::MappedFile(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return;
    struct stat info {};
    const long page = ::sysconf(_SC_PAGESIZE);
    if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_size > 0 && page > 0 &&
        info.st_size % page != 0) {
        const auto size = static_cast<std::size_t>(info.st_size);
        // Read-only, so that populating maps the cached pages themselves instead of copies.
        void* data = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE | MAP_POPULATE, fd, 0);
        if (data != MAP_FAILED) {
            data_ = data;
            size_ = size;
        }
    }
    ::close(fd);
}

MappedFile::~MappedFile() { Release(); }

void MappedFile::Release() {
    if (data_) ::munmap(data_, size_);
    data_ = nullptr;
    size_ = 0;
}

}  // namespace HostIO
