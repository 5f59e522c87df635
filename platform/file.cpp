#include "platform/file.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace plat {

File::~File() {
    Close();
}

File::File(File&& other) noexcept : fd_(std::exchange(other.fd_, -1)), error_(other.error_) {}

File& File::operator=(File&& other) noexcept {
    if (this != &other) {
        Close();
        fd_ = std::exchange(other.fd_, -1);
        error_ = other.error_;
    }
    return *this;
}

bool File::Open(const std::string& path, Mode mode) {
    int flags = 0;
    switch (mode) {
    case Mode::Read:
        flags = O_RDONLY;
        break;
    case Mode::Write:
        flags = O_WRONLY | O_CREAT | O_TRUNC;
        break;
    case Mode::ReadWrite:
        flags = O_RDWR;
        break;
    }
    return OpenWithFlags(path, flags);
}

bool File::Open(const std::string& path, bool read, bool write, Disposition disposition) {
    int flags = read && write ? O_RDWR : write ? O_WRONLY : O_RDONLY;
    if (disposition == Disposition::Create)
        flags |= O_CREAT;
    else if (disposition == Disposition::Truncate)
        flags |= O_TRUNC;
    return OpenWithFlags(path, flags);
}

bool File::OpenWithFlags(const std::string& path, int flags) {
    Close();
    error_ = false;
    flags |= O_CLOEXEC;
    // A FIFO opened only for reading would wait for a writer: opened without
    // waiting, a FIFO that has none reads as empty.
    const bool readOnly = (flags & O_ACCMODE) == O_RDONLY;
    if (readOnly)
        flags |= O_NONBLOCK;
    do {
        fd_ = ::open(path.c_str(), flags, 0644);
    } while (fd_ < 0 && errno == EINTR);
    if (fd_ < 0)
        return false;
    struct stat st {};
    if (::fstat(fd_, &st) != 0 || S_ISDIR(st.st_mode)) {
        Close();
        errno = EISDIR;
        return false;
    }
    if (readOnly) {
        const int statusFlags = ::fcntl(fd_, F_GETFL);
        if (statusFlags != -1)
            ::fcntl(fd_, F_SETFL, statusFlags & ~O_NONBLOCK);
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
        if (n < 0)
            error_ = true;
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
        if (n <= 0) {
            error_ = true;
            break;
        }
        done += size_t(n);
    }
    return done;
}

bool File::Seek(uint64_t offset) {
    return fd_ >= 0 && offset <= uint64_t(INT64_MAX) &&
           ::lseek(fd_, off_t(offset), SEEK_SET) == off_t(offset);
}

uint64_t File::SeekToEnd() {
    if (fd_ < 0)
        return UINT64_MAX;
    const off_t end = ::lseek(fd_, 0, SEEK_END);
    return end < 0 ? UINT64_MAX : uint64_t(end);
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

const char* KindOf(mode_t mode);

} // namespace

std::string File::CheckWholeRead(uint64_t limit) const {
    struct stat st {};
    if (fd_ < 0)
        return "is not open";
    if (::fstat(fd_, &st) != 0)
        return std::string("cannot be read (") + std::strerror(errno) + ")";
    // A device may never end (/dev/zero): only files and FIFOs are read.
    if (!S_ISREG(st.st_mode) && !S_ISFIFO(st.st_mode))
        return std::string("is ") + KindOf(st.st_mode) + ", not a file";
    const uint64_t cap = std::min<uint64_t>(limit, uint64_t(SIZE_MAX / 2));
    if (S_ISREG(st.st_mode) && uint64_t(st.st_size) > cap)
        return std::to_string(uint64_t(st.st_size)) + " bytes, more than the " + std::to_string(cap) +
               " such a file may have";
    return {};
}

namespace {

template <typename Container>
bool ReadWhole(const std::string& path, Container& out, uint64_t limit, std::string* error) {
    auto fail = [&](std::string reason) {
        if (error)
            *error = std::move(reason);
        return false;
    };
    File file;
    if (!file.Open(path, File::Mode::Read))
        return fail(std::string("cannot be opened (") + std::strerror(errno) + ")");
    if (std::string reason = file.CheckWholeRead(limit); !reason.empty())
        return fail(std::move(reason));
    struct stat st {};
    ::fstat(file.Descriptor(), &st);
    const uint64_t cap = std::min<uint64_t>(limit, uint64_t(SIZE_MAX / 2));
    Container data;
    data.resize(S_ISREG(st.st_mode) ? size_t(st.st_size) : 0);
    if (!file.ReadExact(data.data(), data.size()))
        return fail(std::string("cannot be read (") + (errno ? std::strerror(errno) : "it shrank") + ")");
    // A FIFO, or a file that grew while it was read, is read to its end, but
    // never past the limit.
    uint8_t chunk[65536];
    for (size_t n; (n = file.Read(chunk, sizeof chunk)) > 0;) {
        if (data.size() + n > cap)
            return fail("more than the " + std::to_string(cap) + " bytes such a file may have");
        data.insert(data.end(), chunk, chunk + n);
    }
    out = std::move(data);
    return true;
}

} // namespace

bool ReadWholeFile(const std::string& path, std::vector<uint8_t>& out, uint64_t limit, std::string* error) {
    return ReadWhole(path, out, limit, error);
}
bool ReadWholeFile(const std::string& path, std::string& out, uint64_t limit, std::string* error) {
    return ReadWhole(path, out, limit, error);
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

namespace {

// Follows symbolic links from path to the file they finally name, which
// need not exist yet. False when the links loop or cannot be read.
bool FollowLinks(const std::string& path, std::string& resolved, std::string& error) {
    resolved = path;
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st {};
        if (::lstat(resolved.c_str(), &st) != 0 || !S_ISLNK(st.st_mode))
            return true;
        std::string link(size_t(st.st_size > 0 ? st.st_size : 255) + 1, '\0');
        ssize_t length = ::readlink(resolved.c_str(), link.data(), link.size());
        if (length < 0 || size_t(length) >= link.size()) {
            error = resolved + ": the link cannot be read";
            return false;
        }
        link.resize(size_t(length));
        size_t slash = resolved.rfind('/');
        if (link.empty() || link[0] == '/' || slash == std::string::npos)
            resolved = link;
        else
            resolved = resolved.substr(0, slash + 1) + link;
    }
    error = path + ": too many levels of symbolic links";
    return false;
}

const char* KindOf(mode_t mode) {
    if (S_ISDIR(mode))
        return "a folder";
    if (S_ISCHR(mode))
        return "a character device";
    if (S_ISBLK(mode))
        return "a block device";
    if (S_ISFIFO(mode))
        return "a FIFO";
    if (S_ISSOCK(mode))
        return "a socket";
    return "something";
}

} // namespace

bool AtomicFileWriter::Open() {
    Abandon();
    error_.clear();
    // A link is written through: its target's contents are replaced and the
    // link stays. Only a regular file is ever replaced; a device, a FIFO or
    // a folder at the path is refused and left as it is.
    std::string target;
    if (!FollowLinks(target_, target, error_))
        return false;
    struct stat existing {};
    bool exists = ::stat(target.c_str(), &existing) == 0;
    if (exists && !S_ISREG(existing.st_mode)) {
        error_ = target_ + (target == target_ ? "" : " (a link to " + target + ")") + ": " +
                 KindOf(existing.st_mode) + ", not a regular file; left as it is";
        return false;
    }
    // The temporary file lies beside the target so that the rename stays on
    // one file system; a name too long for a suffix gets a short one.
    constexpr size_t kMaxNameLength = 255;
    constexpr std::string_view kSuffix = ".tmp-XXXXXX";
    size_t slash = target.rfind('/');
    size_t nameLength = slash == std::string::npos ? target.size() : target.size() - slash - 1;
    std::string pattern = nameLength + kSuffix.size() <= kMaxNameLength
                              ? target + std::string(kSuffix)
                              : target.substr(0, slash + 1) + ".md" + std::string(kSuffix);
    int fd = ::mkstemp(pattern.data());
    if (fd < 0) {
        error_ = target_ + ": a temporary file beside it cannot be made (" + std::strerror(errno) + ")";
        return false;
    }
    ::close(fd);
    temp_ = pattern;
    renameTo_ = target;
    failed_ = false;
    if (!file_.Open(temp_, File::Mode::Write)) {
        error_ = target_ + ": a temporary file beside it cannot be opened (" + std::strerror(errno) + ")";
        Abandon();
        return false;
    }
    // mkstemp creates 0600: a replaced file keeps its mode (and its owner
    // where that is allowed), a new one gets the usual 0644.
    if (exists) {
        ::fchmod(file_.Descriptor(), existing.st_mode & 07777);
        if (::fchown(file_.Descriptor(), existing.st_uid, existing.st_gid) != 0) {
            // Only root may give a file away; the writer then owns it.
        }
    } else {
        ::fchmod(file_.Descriptor(), 0644);
    }
    return true;
}

bool AtomicFileWriter::Write(const void* data, size_t size) {
    if (failed_)
        return false;
    if (!file_.IsOpen() || !file_.WriteExact(data, size)) {
        failed_ = true;
        error_ = target_ + (file_.IsOpen() ? std::string(": ") + std::strerror(errno) : ": not open");
    }
    return !failed_;
}

bool AtomicFileWriter::Commit() {
    if (temp_.empty() || failed_ || !file_.IsOpen()) {
        if (error_.empty())
            error_ = target_ + (temp_.empty() ? ": not open" : ": the data could not be written");
        Abandon();
        return false;
    }
    bool ok = file_.Sync();
    file_.Close();
    ok = ok && ::rename(temp_.c_str(), renameTo_.c_str()) == 0;
    if (!ok) {
        error_ = target_ + ": the file could not be replaced (" + std::strerror(errno) + ")";
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

bool WriteFileAtomically(const std::string& path, const void* data, size_t size, std::string* error) {
    AtomicFileWriter writer(path);
    if (writer.Open() && writer.Write(data, size) && writer.Commit())
        return true;
    if (error)
        *error = writer.Error();
    return false;
}

} // namespace plat
