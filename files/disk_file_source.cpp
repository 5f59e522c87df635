#include "files/disk_file_source.h"

#include "files/file_time.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool IsSeparator(char c) {
    return c == '\\' || c == '/';
}

bool MatchesWildcardExactly(std::string_view pattern, std::string_view name) {
    size_t p = 0;
    size_t n = 0;
    size_t starAt = std::string_view::npos;
    size_t resumeAt = 0;
    while (n < name.size()) {
        if (p < pattern.size() && pattern[p] == '*') {
            starAt = p++;
            resumeAt = n;
        } else if (p < pattern.size() && (pattern[p] == '?' || FoldCase(pattern[p]) == FoldCase(name[n]))) {
            ++p;
            ++n;
        } else if (starAt != std::string_view::npos) {
            p = starAt + 1;
            n = ++resumeAt;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*')
        ++p;
    return p == pattern.size();
}

// "*" stands for any run of characters and "?" for one, in any letter case;
// a pattern ending in ".*" also takes names without a dot ("*.*" takes all).
bool MatchesWildcard(std::string_view pattern, std::string_view name) {
    if (MatchesWildcardExactly(pattern, name))
        return true;
    return pattern.ends_with(".*") && name.find('.') == std::string_view::npos &&
           MatchesWildcardExactly(pattern.substr(0, pattern.size() - 2), name);
}

bool Creates(uint32_t disposition) {
    return disposition == kOpenAlways || disposition == kOpenAppend;
}

bool Vanished(int error) {
    return error == ENOENT || error == ENOTDIR;
}

} // namespace

RefPtr<DiskFile> DiskFile::Open(const std::string& hostPath, uint32_t access, uint32_t disposition) {
    int flags = O_CLOEXEC;
    if ((access & kAccessRead) && (access & kAccessWrite))
        flags |= O_RDWR;
    else if (access & kAccessWrite)
        flags |= O_WRONLY;
    else
        flags |= O_RDONLY;
    switch (disposition) {
    case kOpenExisting:
        break;
    case kOpenAlways:
    case kOpenAppend:
        flags |= O_CREAT;
        break;
    case kTruncateExisting:
        if (!(access & kAccessWrite)) {
            errno = EACCES;
            return nullptr;
        }
        flags |= O_TRUNC;
        break;
    default:
        errno = EINVAL;
        return nullptr;
    }
    int fd;
    do {
        fd = ::open(hostPath.c_str(), flags, 0644);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0)
        return nullptr;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
        ::close(fd);
        errno = EISDIR;
        return nullptr;
    }
    if (disposition == kOpenAppend)
        ::lseek(fd, 0, SEEK_END);
    return RefPtr<DiskFile>::Adopt(new DiskFile(fd));
}

DiskFile::~DiskFile() {
    ::close(fd_);
}

bool DiskFile::Read(uint32_t count, void* destination, uint32_t* outCount) {
    auto* out = static_cast<uint8_t*>(destination);
    uint32_t done = 0;
    bool ok = true;
    while (done < count) {
        ssize_t n = ::read(fd_, out + done, count - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            ok = false;
        if (n <= 0)
            break;
        done += uint32_t(n);
    }
    if (outCount)
        *outCount = done;
    return ok;
}

uint32_t DiskFile::Size() {
    struct stat st {};
    if (::fstat(fd_, &st) != 0)
        return 0;
    return st.st_size > off_t(UINT32_MAX) ? UINT32_MAX : uint32_t(st.st_size);
}

bool DiskFile::Write(uint32_t count, const void* source, uint32_t* outCount) {
    const auto* in = static_cast<const uint8_t*>(source);
    uint32_t done = 0;
    bool ok = true;
    while (done < count) {
        ssize_t n = ::write(fd_, in + done, count - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            ok = false;
            break;
        }
        done += uint32_t(n);
    }
    if (outCount)
        *outCount = done;
    return ok;
}

uint32_t DiskFile::Seek(int32_t distance, uint32_t origin) {
    int whence;
    switch (origin) {
    case kSeekStart:
        whence = SEEK_SET;
        break;
    case kSeekCurrent:
        whence = SEEK_CUR;
        break;
    case kSeekEnd:
        whence = SEEK_END;
        break;
    default:
        return kSeekFailed;
    }
    off_t before = ::lseek(fd_, 0, SEEK_CUR);
    off_t after = ::lseek(fd_, distance, whence);
    if (after < 0)
        return kSeekFailed;
    if (after >= off_t(kSeekFailed)) {
        ::lseek(fd_, before, SEEK_SET);
        return kSeekFailed;
    }
    return uint32_t(after);
}

std::optional<std::string> DiskFileSource::FindExisting(std::string_view path) {
    std::vector<std::string_view> names;
    if (!SplitRelativePath(path, names))
        return std::nullopt;
    for (int attempt = 0; attempt < 2; ++attempt) {
        auto host = resolver_.Find(names);
        struct stat st {};
        if (host && ::stat(host->c_str(), &st) == 0)
            return host;
        if (!host || !Vanished(errno))
            break;
        resolver_.ForgetAll();
    }
    return std::nullopt;
}

RefPtr<VfsFile> DiskFileSource::OpenFile(std::string_view path, uint32_t access, uint32_t disposition) {
    std::vector<std::string_view> names;
    if (!SplitRelativePath(path, names))
        return nullptr;
    for (int attempt = 0; attempt < 2; ++attempt) {
        auto host = Creates(disposition) ? resolver_.Place(names) : resolver_.Find(names);
        if (!host)
            return nullptr;
        bool existed = !Creates(disposition) || ::access(host->c_str(), F_OK) == 0;
        if (RefPtr<DiskFile> file = DiskFile::Open(*host, access, disposition)) {
            if (!existed)
                resolver_.ForgetAll();
            return file;
        }
        if (!Vanished(errno))
            return nullptr;
        resolver_.ForgetAll();
    }
    return nullptr;
}

bool DiskFileSource::Delete(std::string_view path) {
    auto host = FindExisting(path);
    if (!host || ::unlink(host->c_str()) != 0)
        return false;
    resolver_.ForgetAll();
    return true;
}

bool DiskFileSource::FileExists(std::string_view path) {
    return FindExisting(path).has_value();
}

bool DiskFileSource::FileSize(std::string_view path, uint32_t& size) {
    auto host = FindExisting(path);
    struct stat st {};
    if (!host || ::stat(host->c_str(), &st) != 0)
        return false;
    if (S_ISDIR(st.st_mode)) {
        size = 0;
        return true;
    }
    if (st.st_size > off_t(UINT32_MAX))
        return false;
    size = uint32_t(st.st_size);
    return true;
}

bool DiskFileSource::FindFirst(FindRecord& record, std::string_view pattern, uint32_t mode) {
    FindClose();
    findPattern_ = pattern;
    findMode_ = mode;
    std::string_view rest = pattern;
    if (!rest.empty() && IsSeparator(rest.front()))
        rest.remove_prefix(1);
    size_t lastSeparator = rest.find_last_of("\\/");
    std::string_view folder =
        lastSeparator == std::string_view::npos ? "" : rest.substr(0, lastSeparator + 1);
    std::string_view namePattern = rest.substr(folder.size());
    if (namePattern.empty())
        return false;
    auto hostFolder = FindExisting(folder);
    if (!hostFolder)
        return false;
    auto names = ReadFolderNames(*hostFolder);
    if (!names)
        return false;
    for (std::string& name : *names)
        if (MatchesWildcard(namePattern, name))
            findNames_.push_back(std::move(name));
    findFolder_ = folder;
    findHostFolder_ = std::move(*hostFolder);
    searching_ = true;
    return FindNext(record);
}

bool DiskFileSource::FindNext(FindRecord& record) {
    while (searching_ && findNext_ < findNames_.size()) {
        const std::string& name = findNames_[findNext_++];
        struct stat st {};
        if (::stat(JoinHostPath(findHostFolder_, name).c_str(), &st) != 0)
            continue;
        bool folder = S_ISDIR(st.st_mode);
        if ((findMode_ == kFindFiles && folder) || (findMode_ == kFindFolders && !folder))
            continue;
        record = FindRecord{};
        record.attributes = folder ? kFileAttributeFolder : kFileAttributeArchive;
        record.created = LocalPackedTime(st.st_mtim);
        record.accessed = LocalPackedTime(st.st_atim);
        record.written = LocalPackedTime(st.st_mtim);
        record.size = folder ? 0 : uint64_t(st.st_size);
        record.fullPath = findFolder_ + name;
        record.name = name;
        return true;
    }
    return false;
}

bool DiskFileSource::FindClose() {
    bool wasSearching = searching_;
    searching_ = false;
    findNames_.clear();
    findNext_ = 0;
    findHostFolder_.clear();
    return wasSearching;
}

RefPtr<FileSource> CreateDiskFileSource(std::string_view path) {
    if (path.size() >= 2 && path[1] == ':')
        return nullptr;
    auto host = ResolveHostPath(path);
    if (!host)
        return nullptr;
    return RefPtr<FileSource>::Adopt(new DiskFileSource(std::string(path), std::move(*host)));
}
