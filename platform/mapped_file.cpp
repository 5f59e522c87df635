#include "platform/mapped_file.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace plat {

MappedFile::~MappedFile() {
    Close();
}

MappedFile::MappedFile(MappedFile&& other) noexcept
    : data_(std::exchange(other.data_, nullptr)), size_(std::exchange(other.size_, 0)),
      open_(std::exchange(other.open_, false)) {}

MappedFile& MappedFile::operator=(MappedFile&& other) noexcept {
    if (this != &other) {
        Close();
        data_ = std::exchange(other.data_, nullptr);
        size_ = std::exchange(other.size_, 0);
        open_ = std::exchange(other.open_, false);
    }
    return *this;
}

bool MappedFile::Open(const std::string& path) {
    Close();
    int fd;
    do {
        fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0)
        return false;
    struct stat st {};
    bool ok = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && uint64_t(st.st_size) <= SIZE_MAX;
    if (ok && st.st_size > 0) {
        void* view = ::mmap(nullptr, size_t(st.st_size), PROT_READ, MAP_PRIVATE, fd, 0);
        if (view == MAP_FAILED) {
            ok = false;
        } else {
            ::madvise(view, size_t(st.st_size), MADV_RANDOM);
            data_ = static_cast<const uint8_t*>(view);
            size_ = size_t(st.st_size);
        }
    }
    ::close(fd);
    open_ = ok;
    return ok;
}

void MappedFile::Close() {
    if (data_)
        ::munmap(const_cast<uint8_t*>(data_), size_);
    data_ = nullptr;
    size_ = 0;
    open_ = false;
}

} // namespace plat
