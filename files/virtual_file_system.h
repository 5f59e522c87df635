// The virtual file system: every game file is opened through it. File
// sources (folders on disk, packed archives) are asked in the order they were
// added; a path may begin with a virtual directory name and "/", which stands
// for each of that name's folders in turn. Main thread only.
#pragma once

#include "files/file_source.h"

#include <functional>
#include <string>
#include <string_view>
#include <vector>

// Makes a source for a path, or none when the path names nothing usable.
using FileSourceFactory = std::function<RefPtr<FileSource>(std::string_view path)>;

// Registers a kind of source under its type name, kept in lower case; false
// for an empty name or no factory.
bool VfsRegisterSourceType(std::string_view typeName, FileSourceFactory factory);

// Adds a source of the named type (compared exactly with the stored lower-case
// names) for the path. True also when a source with that path is there
// already; false for an unknown type or when the factory gives no source.
bool VfsAddSource(std::string_view typeName, std::string_view path);

// Appends the folder, ending in "\\" unless it is empty, to the folders that
// the name stands for. The same folder may stand twice.
bool VfsAddVirtualDir(std::string_view name, std::string_view folder);
// Removes the folder's first occurrence from the name's folders; false when
// the name stands for nothing.
bool VfsRemoveVirtualDir(std::string_view name, std::string_view folder);

// Which source served an open, and the path it was asked for.
struct VfsLocation {
    std::string typeName;
    std::string sourcePath;
    std::string path;
};

// Opens the first match: every source is asked for the first candidate path
// before any is asked for the next.
RefPtr<VfsFile> VfsOpen(std::string_view path, uint32_t access, uint32_t disposition,
                        VfsLocation* location = nullptr);

// Starts a search in the same order and remembers the source that answered.
bool VfsFindFirst(FindRecord& record, std::string_view pattern, uint32_t mode);
// Ends the remembered source's search; false when there is none.
bool VfsFindClose();
// Appends every match of every candidate in every source; true when records
// is not empty afterwards.
bool VfsFindAll(std::vector<FindRecord>& records, std::string_view pattern, uint32_t mode);

// Releases every source and forgets the virtual directories and source
// types. Files opened earlier stay usable while their holders keep them.
bool VfsShutdown();
