// Where the game's files are: the installation folder and the tables Root,
// RootVirtualDirs and Textures, which register with the virtual file system.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

// The virtual file system's registration calls, installed by the files
// layer (the data layer cannot call up to it).
struct VfsHooks {
    // Adds a file source of a registered type ("file", "pkq") for a path.
    std::function<bool(const std::string& type, const std::string& path)> addSource;
    // Adds a folder to those that a virtual directory name stands for.
    std::function<bool(const std::string& name, const std::string& folder)> addVirtualDir;
    // Takes back one folder added under a name, when a row is set again.
    std::function<void(const std::string& name, const std::string& folder)> removeVirtualDir;
};

// The process-wide hooks; with none installed the setters only store.
VfsHooks& GetVfsHooks();

inline constexpr size_t kMaxInstallPathLength = 1024;

// Sets the installation folder without its trailing separators ('/' or
// '\\'; a folder made only of separators keeps one). False, keeping the
// old folder, when the result is longer than kMaxInstallPathLength.
bool SetInstallPath(std::string_view path);
const std::string& GetInstallPath();

// Rows of the form "type://path"; the first "%base%" of the path stands for
// the installation folder. The row keeps the text as it was set.
class RootTable {
public:
    // Grows the table to the row and registers the source; false for a
    // negative row, a text without "://" (the row keeps what it held) or a
    // source the file system refuses.
    static bool SetURI(int32_t row, const char* value);
    // False, out untouched, for a row outside the table.
    static bool GetURI(int32_t row, std::string* out);

    static const std::vector<std::string>& Rows();
    static int32_t RowCount();
    static void Clear();
};

// Rows of the form "folder -> name": the spaces that touch "->" belong to
// neither the folder nor the name. VirtualDirNames holds the name of each row.
class RootVirtualDirsTable {
public:
    // Grows the table to the row, takes back the row's previous definition
    // and registers the new one; false for a negative row, a text without
    // "->" (nothing stored) or a directory the file system refuses.
    static bool SetName(int32_t row, const char* value);
    static bool GetName(int32_t row, std::string* out);

    static const std::vector<std::string>& Rows();
    static const std::vector<std::string>& VirtualDirNames();
    static int32_t RowCount();
    // Forgets every row without unregistering anything.
    static void Clear();
};

// One row per graphic set: the name of the virtual directory of its images.
class TexturesTable {
public:
    static bool SetVirtualDirName(int32_t row, const char* value);
    static bool GetVirtualDirName(int32_t row, std::string* out);
    // The row's text, valid until the row changes; null outside the table.
    static const char* GetVirtualDirNameOf(int32_t row);

    static const std::vector<std::string>& Rows();
    static int32_t RowCount();
    static void Clear();
};
