#include "platform/file.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace plat {

File::~File() {
    Close();
}

File::File(File&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}

File& File::operator=(File&& other) noexcept {
    if (this != &other) {
        Close();
        fd_ = std::exchange(other.fd_, -1);
    }
    return *this;
}

bool File::Open(const std::string& path, Mode mode) {
    Close();
    int flags = O_CLOEXEC;
    switch (mode) {
    case Mode::Read:
        flags |= O_RDONLY;
        break;
    case Mode::Write:
        flags |= O_WRONLY | O_CREAT | O_TRUNC;
        break;
    case Mode::ReadWrite:
        flags |= O_RDWR;
        break;
    }
    do {
        fd_ = ::open(path.c_str(), flags, 0644);
    } while (fd_ < 0 && errno == EINTR);
    if (fd_ < 0)
        return false;
    struct stat st {};
    if (::fstat(fd_, &st) != 0 || S_ISDIR(st.st_mode)) {
        Close();
        return false;
    }
    return true;
}

void File::Close() {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
}

size_t File::Read(void* buffer, size_t size) {
    if (fd_ < 0)
        return 0;
    auto* out = static_cast<uint8_t*>(buffer);
    size_t done = 0;
    while (done < size) {
        ssize_t n = ::read(fd_, out + done, size - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        done += size_t(n);
    }
    return done;
}

size_t File::Write(const void* buffer, size_t size) {
    if (fd_ < 0)
        return 0;
    const auto* in = static_cast<const uint8_t*>(buffer);
    size_t done = 0;
    while (done < size) {
        ssize_t n = ::write(fd_, in + done, size - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        done += size_t(n);
    }
    return done;
}

bool File::Seek(uint64_t offset) {
    return fd_ >= 0 && offset <= uint64_t(INT64_MAX) &&
           ::lseek(fd_, off_t(offset), SEEK_SET) == off_t(offset);
}

uint64_t File::Tell() const {
    if (fd_ < 0)
        return 0;
    off_t pos = ::lseek(fd_, 0, SEEK_CUR);
    return pos < 0 ? 0 : uint64_t(pos);
}

uint64_t File::Size() const {
    struct stat st {};
    if (fd_ < 0 || ::fstat(fd_, &st) != 0)
        return UINT64_MAX;
    return uint64_t(st.st_size);
}

bool File::Sync() {
    return fd_ >= 0 && ::fsync(fd_) == 0;
}

namespace {

template <typename Container>
bool ReadWhole(const std::string& path, Container& out) {
    File file;
    if (!file.Open(path, File::Mode::Read))
        return false;
    uint64_t size = file.Size();
    if (size == UINT64_MAX || size > uint64_t(SIZE_MAX / 2))
        return false;
    Container data;
    data.resize(size_t(size));
    if (!file.ReadExact(data.data(), data.size()))
        return false;
    // A file that grew while it was read is read to its end.
    uint8_t chunk[4096];
    for (size_t n; (n = file.Read(chunk, sizeof chunk)) > 0;)
        data.insert(data.end(), chunk, chunk + n);
    out = std::move(data);
    return true;
}

} // namespace

bool ReadWholeFile(const std::string& path, std::vector<uint8_t>& out) {
    return ReadWhole(path, out);
}
bool ReadWholeFile(const std::string& path, std::string& out) {
    return ReadWhole(path, out);
}

bool FileExists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool RemoveFile(const std::string& path) {
    return ::unlink(path.c_str()) == 0;
}

AtomicFileWriter::AtomicFileWriter(std::string targetPath) : target_(std::move(targetPath)) {}

AtomicFileWriter::~AtomicFileWriter() {
    Abandon();
}

bool AtomicFileWriter::Open() {
    Abandon();
    // The temporary file lies beside the target so that the rename stays on
    // one file system; a name too long for a suffix gets a short one.
    constexpr size_t kMaxNameLength = 255;
    constexpr std::string_view kSuffix = ".tmp-XXXXXX";
    size_t slash = target_.rfind('/');
    size_t nameLength = slash == std::string::npos ? target_.size() : target_.size() - slash - 1;
    std::string pattern = nameLength + kSuffix.size() <= kMaxNameLength
                              ? target_ + std::string(kSuffix)
                              : target_.substr(0, slash + 1) + ".md" + std::string(kSuffix);
    int fd = ::mkstemp(pattern.data());
    if (fd < 0)
        return false;
    ::close(fd);
    temp_ = pattern;
    failed_ = false;
    if (!file_.Open(temp_, File::Mode::Write)) {
        Abandon();
        return false;
    }
    // mkstemp creates 0600; a replaced file keeps the usual permissions.
    ::fchmod(file_.Descriptor(), 0644);
    return true;
}

bool AtomicFileWriter::Write(const void* data, size_t size) {
    if (failed_ || !file_.IsOpen() || !file_.WriteExact(data, size))
        failed_ = true;
    return !failed_;
}

bool AtomicFileWriter::Commit() {
    if (temp_.empty() || failed_ || !file_.IsOpen()) {
        Abandon();
        return false;
    }
    bool ok = file_.Sync();
    file_.Close();
    ok = ok && ::rename(temp_.c_str(), target_.c_str()) == 0;
    if (!ok) {
        Abandon();
        return false;
    }
    temp_.clear();
    return true;
}

void AtomicFileWriter::Abandon() {
    file_.Close();
    if (!temp_.empty()) {
        ::unlink(temp_.c_str());
        temp_.clear();
    }
}

bool WriteFileAtomically(const std::string& path, const void* data, size_t size) {
    AtomicFileWriter writer(path);
    return writer.Open() && writer.Write(data, size) && writer.Commit();
}

} // namespace plat
