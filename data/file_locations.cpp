#include "data/file_locations.h"

#include "data/row_table.h"

#include <new>
#include <optional>

namespace {

struct Storage {
    std::string installPath;
    std::vector<std::string> root;
    std::vector<std::string> virtualDirs;
    std::vector<std::string> virtualDirNames;
    // Whether each RootVirtualDirs row's definition was accepted by the
    // file system, so that setting the row again can take it back.
    std::vector<bool> virtualDirRegistered;
    std::vector<std::string> textures;
};

Storage& Get() {
    static Storage storage;
    return storage;
}

// Grows a table so that it holds the row; new rows are empty.
template <class Vector>
bool GrowTo(Vector& rows, int32_t row) {
    if (row < 0 || row >= kMaxTableRows)
        return false;
    try {
        if (size_t(row) >= rows.size())
            rows.resize(size_t(row) + 1);
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

bool GetRow(const std::vector<std::string>& rows, int32_t row, std::string* out) {
    if (row < 0 || size_t(row) >= rows.size() || !out)
        return false;
    *out = rows[size_t(row)];
    return true;
}

struct VirtualDir {
    std::string folder;
    std::string name;
};

// Splits "folder -> name" at its first "->", dropping the spaces that touch it.
std::optional<VirtualDir> ParseVirtualDir(std::string_view text) {
    const size_t arrow = text.find("->");
    if (arrow == std::string_view::npos)
        return std::nullopt;
    size_t folderEnd = arrow;
    while (folderEnd > 0 && text[folderEnd - 1] == ' ')
        --folderEnd;
    size_t nameStart = arrow + 2;
    while (nameStart < text.size() && text[nameStart] == ' ')
        ++nameStart;
    return VirtualDir{std::string(text.substr(0, folderEnd)), std::string(text.substr(nameStart))};
}

} // namespace

VfsHooks& GetVfsHooks() {
    static VfsHooks hooks;
    return hooks;
}

bool SetInstallPath(std::string_view path) {
    while (path.size() > 1 && (path.back() == '/' || path.back() == '\\'))
        path.remove_suffix(1);
    if (path.size() > kMaxInstallPathLength)
        return false;
    Get().installPath = path;
    return true;
}

const std::string& GetInstallPath() {
    return Get().installPath;
}

bool RootTable::SetURI(int32_t row, const char* value) {
    std::vector<std::string>& rows = Get().root;
    if (!GrowTo(rows, row))
        return false;
    const std::string text = value ? value : "";
    const size_t separator = text.find("://");
    if (separator == std::string::npos)
        return false;
    const std::string type = text.substr(0, separator);
    std::string path = text.substr(separator + 3);
    // Only the path may name the installation folder: replaced anywhere
    // else, "%base%" would shift the text out from under the separator.
    if (const size_t base = path.find("%base%"); base != std::string::npos)
        path.replace(base, 6, GetInstallPath());
    rows[size_t(row)] = text;
    const auto& addSource = GetVfsHooks().addSource;
    return addSource ? addSource(type, path) : true;
}

bool RootTable::GetURI(int32_t row, std::string* out) {
    return GetRow(Get().root, row, out);
}
const std::vector<std::string>& RootTable::Rows() {
    return Get().root;
}
int32_t RootTable::RowCount() {
    return int32_t(Get().root.size());
}
void RootTable::Clear() {
    std::vector<std::string>().swap(Get().root);
}

bool RootVirtualDirsTable::SetName(int32_t row, const char* value) {
    Storage& storage = Get();
    if (!GrowTo(storage.virtualDirs, row) || !GrowTo(storage.virtualDirNames, row) ||
        !GrowTo(storage.virtualDirRegistered, row))
        return false;
    const std::string_view text = value ? value : "";
    const std::optional<VirtualDir> dir = ParseVirtualDir(text);
    if (!dir)
        return false;

    // Loading a game applies the database again; the row's old definition
    // must not stay registered beside the new one.
    const size_t index = size_t(row);
    const VfsHooks& hooks = GetVfsHooks();
    if (storage.virtualDirRegistered[index]) {
        const std::optional<VirtualDir> old = ParseVirtualDir(storage.virtualDirs[index]);
        if (old && hooks.removeVirtualDir)
            hooks.removeVirtualDir(old->name, old->folder);
        storage.virtualDirRegistered[index] = false;
    }

    storage.virtualDirNames[index] = dir->name;
    storage.virtualDirs[index] = text;
    if (!hooks.addVirtualDir)
        return true;
    const bool added = hooks.addVirtualDir(dir->name, dir->folder);
    storage.virtualDirRegistered[index] = added;
    return added;
}

bool RootVirtualDirsTable::GetName(int32_t row, std::string* out) {
    return GetRow(Get().virtualDirs, row, out);
}
const std::vector<std::string>& RootVirtualDirsTable::Rows() {
    return Get().virtualDirs;
}
const std::vector<std::string>& RootVirtualDirsTable::VirtualDirNames() {
    return Get().virtualDirNames;
}
int32_t RootVirtualDirsTable::RowCount() {
    return int32_t(Get().virtualDirs.size());
}

void RootVirtualDirsTable::Clear() {
    Storage& storage = Get();
    std::vector<std::string>().swap(storage.virtualDirs);
    std::vector<std::string>().swap(storage.virtualDirNames);
    std::vector<bool>().swap(storage.virtualDirRegistered);
}

bool TexturesTable::SetVirtualDirName(int32_t row, const char* value) {
    std::vector<std::string>& rows = Get().textures;
    if (!GrowTo(rows, row))
        return false;
    rows[size_t(row)] = value ? value : "";
    return true;
}

bool TexturesTable::GetVirtualDirName(int32_t row, std::string* out) {
    return GetRow(Get().textures, row, out);
}

const char* TexturesTable::GetVirtualDirNameOf(int32_t row) {
    const std::vector<std::string>& rows = Get().textures;
    if (row < 0 || size_t(row) >= rows.size())
        return nullptr;
    return rows[size_t(row)].c_str();
}

const std::vector<std::string>& TexturesTable::Rows() {
    return Get().textures;
}
int32_t TexturesTable::RowCount() {
    return int32_t(Get().textures.size());
}
void TexturesTable::Clear() {
    std::vector<std::string>().swap(Get().textures);
}
