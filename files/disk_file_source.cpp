#include "files/disk_file_source.h"

#include "files/file_time.h"

#include "platform/file_system.h"

#include <cerrno>

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
    const bool read = (access & kAccessRead) || !(access & kAccessWrite);
    const bool write = (access & kAccessWrite) != 0;
    plat::File::Disposition how;
    switch (disposition) {
    case kOpenExisting:
        how = plat::File::Disposition::Existing;
        break;
    case kOpenAlways:
    case kOpenAppend:
        how = plat::File::Disposition::Create;
        break;
    case kTruncateExisting:
        if (!write) {
            errno = EACCES;
            return nullptr;
        }
        how = plat::File::Disposition::Truncate;
        break;
    default:
        errno = EINVAL;
        return nullptr;
    }
    plat::File file;
    if (!file.Open(hostPath, read, write, how))
        return nullptr;
    if (disposition == kOpenAppend)
        file.SeekToEnd();
    return RefPtr<DiskFile>::Adopt(new DiskFile(std::move(file)));
}

bool DiskFile::Read(uint32_t count, void* destination, uint32_t* outCount) {
    const uint32_t done = uint32_t(file_.Read(destination, count));
    if (outCount)
        *outCount = done;
    return !file_.HadError();
}

uint32_t DiskFile::Size() {
    const uint64_t size = file_.Size();
    if (size == UINT64_MAX)
        return 0;
    return size > UINT32_MAX ? UINT32_MAX : uint32_t(size);
}

bool DiskFile::Write(uint32_t count, const void* source, uint32_t* outCount) {
    const uint32_t done = uint32_t(file_.Write(source, count));
    if (outCount)
        *outCount = done;
    return done == count;
}

uint32_t DiskFile::Seek(int32_t distance, uint32_t origin) {
    int64_t base;
    switch (origin) {
    case kSeekStart:
        base = 0;
        break;
    case kSeekCurrent:
        base = int64_t(file_.Tell());
        break;
    case kSeekEnd: {
        const uint64_t size = file_.Size();
        if (size == UINT64_MAX)
            return kSeekFailed;
        base = int64_t(size);
        break;
    }
    default:
        return kSeekFailed;
    }
    const int64_t target = base + distance;
    if (target < 0 || target >= int64_t(kSeekFailed) || !file_.Seek(uint64_t(target)))
        return kSeekFailed;
    return uint32_t(target);
}

std::optional<std::string> DiskFileSource::FindExisting(std::string_view path) {
    std::vector<std::string_view> names;
    if (!SplitRelativePath(path, names))
        return std::nullopt;
    for (int attempt = 0; attempt < 2; ++attempt) {
        auto host = resolver_.Find(names);
        plat::PathInfo info;
        if (host && plat::GetPathInfo(*host, info))
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
        bool existed = !Creates(disposition) || plat::PathExists(*host);
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
    if (!host || !plat::RemoveFile(*host))
        return false;
    resolver_.ForgetAll();
    return true;
}

bool DiskFileSource::FileExists(std::string_view path) {
    return FindExisting(path).has_value();
}

bool DiskFileSource::FileSize(std::string_view path, uint32_t& size) {
    auto host = FindExisting(path);
    plat::PathInfo info;
    if (!host || !plat::GetPathInfo(*host, info))
        return false;
    if (info.kind == plat::PathKind::Folder) {
        size = 0;
        return true;
    }
    if (info.size > UINT32_MAX)
        return false;
    size = uint32_t(info.size);
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
        plat::PathInfo info;
        if (!plat::GetPathInfo(JoinHostPath(findHostFolder_, name), info))
            continue;
        bool folder = info.kind == plat::PathKind::Folder;
        if ((findMode_ == kFindFiles && folder) || (findMode_ == kFindFolders && !folder))
            continue;
        record = FindRecord{};
        record.attributes = folder ? kFileAttributeFolder : kFileAttributeArchive;
        record.created = LocalPackedTime(info.modified);
        record.accessed = LocalPackedTime(info.accessed);
        record.written = LocalPackedTime(info.modified);
        record.size = folder ? 0 : info.size;
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
