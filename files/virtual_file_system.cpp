#include "files/virtual_file_system.h"

#include "files/host_path.h"

#include <map>

namespace {

struct SourceType {
    std::string name;
    FileSourceFactory factory;
};

struct Source {
    std::string typeName;
    RefPtr<FileSource> source;
};

struct VirtualFileSystem {
    std::vector<SourceType> types;
    std::vector<Source> sources;
    std::map<std::string, std::vector<std::string>, std::less<>> virtualDirs;
    RefPtr<FileSource> findSource;
};

VirtualFileSystem& Vfs() {
    static VirtualFileSystem vfs;
    return vfs;
}

std::string WithTrailingBackslash(std::string_view folder) {
    std::string normalised(folder);
    if (!normalised.empty() && normalised.back() != '\\')
        normalised += '\\';
    return normalised;
}

// The paths a path stands for: itself, or, when it begins with a virtual
// directory name and "/", each of that name's folders followed by the rest.
std::vector<std::string> ExpandPath(std::string_view path) {
    size_t slash = path.find('/');
    if (slash == std::string_view::npos)
        return {std::string(path)};
    std::vector<std::string> candidates;
    auto dir = Vfs().virtualDirs.find(path.substr(0, slash));
    if (dir == Vfs().virtualDirs.end())
        return candidates;
    std::string_view rest = path.substr(slash + 1);
    for (const std::string& folder : dir->second)
        candidates.push_back(folder + std::string(rest));
    return candidates;
}

} // namespace

bool VfsRegisterSourceType(std::string_view typeName, FileSourceFactory factory) {
    if (typeName.empty() || !factory)
        return false;
    Vfs().types.push_back({FoldedCopy(typeName), std::move(factory)});
    return true;
}

bool VfsAddSource(std::string_view typeName, std::string_view path) {
    VirtualFileSystem& vfs = Vfs();
    for (const SourceType& type : vfs.types) {
        if (type.name != typeName)
            continue;
        for (const Source& existing : vfs.sources)
            if (existing.source->SourcePath() == path)
                return true;
        if (RefPtr<FileSource> source = type.factory(path)) {
            vfs.sources.push_back({type.name, std::move(source)});
            return true;
        }
    }
    return false;
}

bool VfsAddVirtualDir(std::string_view name, std::string_view folder) {
    auto& dirs = Vfs().virtualDirs;
    auto dir = dirs.find(name);
    if (dir == dirs.end())
        dir = dirs.emplace(std::string(name), std::vector<std::string>()).first;
    dir->second.push_back(WithTrailingBackslash(folder));
    return true;
}

bool VfsRemoveVirtualDir(std::string_view name, std::string_view folder) {
    auto& dirs = Vfs().virtualDirs;
    auto dir = dirs.find(name);
    if (dir == dirs.end())
        return false;
    std::string normalised = WithTrailingBackslash(folder);
    auto& folders = dir->second;
    for (auto it = folders.begin(); it != folders.end(); ++it) {
        if (*it == normalised) {
            folders.erase(it);
            break;
        }
    }
    return true;
}

RefPtr<VfsFile> VfsOpen(std::string_view path, uint32_t access, uint32_t disposition, VfsLocation* location) {
    for (const std::string& candidate : ExpandPath(path)) {
        for (const Source& source : Vfs().sources) {
            if (RefPtr<VfsFile> file = source.source->OpenFile(candidate, access, disposition)) {
                if (location)
                    *location = {source.typeName, source.source->SourcePath(), candidate};
                return file;
            }
        }
    }
    return nullptr;
}

bool VfsFindFirst(FindRecord& record, std::string_view pattern, uint32_t mode) {
    for (const std::string& candidate : ExpandPath(pattern)) {
        for (const Source& source : Vfs().sources) {
            if (source.source->FindFirst(record, candidate, mode)) {
                Vfs().findSource = source.source;
                return true;
            }
        }
    }
    return false;
}

bool VfsFindClose() {
    RefPtr<FileSource> source = std::move(Vfs().findSource);
    return source && source->FindClose();
}

bool VfsFindAll(std::vector<FindRecord>& records, std::string_view pattern, uint32_t mode) {
    for (const std::string& candidate : ExpandPath(pattern)) {
        for (const Source& source : Vfs().sources) {
            FindRecord record;
            if (!source.source->FindFirst(record, candidate, mode))
                continue;
            do
                records.push_back(record);
            while (source.source->FindNext(record));
            source.source->FindClose();
        }
    }
    return !records.empty();
}

bool VfsShutdown() {
    VirtualFileSystem& vfs = Vfs();
    vfs.findSource.Reset();
    vfs.sources.clear();
    vfs.virtualDirs.clear();
    vfs.types.clear();
    return true;
}
