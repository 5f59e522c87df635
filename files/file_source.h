// The two interfaces behind the virtual file system: a file source (a folder
// on disk, a packed archive) that opens and finds files by a path relative to
// its root, and an open file. Paths separate their parts with "\\".
#pragma once

#include "files/ref_object.h"

#include <cstdint>
#include <string>
#include <string_view>

// Access bits of an open.
inline constexpr uint32_t kAccessRead = 1;
inline constexpr uint32_t kAccessWrite = 2;

// Dispositions of an open; any other value fails.
inline constexpr uint32_t kOpenExisting = 1;
inline constexpr uint32_t kOpenAlways = 2;       // creates a missing file
inline constexpr uint32_t kTruncateExisting = 3; // empties an existing file
inline constexpr uint32_t kOpenAppend = 4;       // as kOpenAlways, positioned at the end

// Find modes.
inline constexpr uint32_t kFindFiles = 1;
inline constexpr uint32_t kFindFolders = 2; // never "." or ".."
inline constexpr uint32_t kFindAll = 3;

// Seek origins, and the position a failed seek answers.
inline constexpr uint32_t kSeekStart = 0;
inline constexpr uint32_t kSeekCurrent = 1;
inline constexpr uint32_t kSeekEnd = 2;
inline constexpr uint32_t kSeekFailed = 0xFFFFFFFF;

inline constexpr uint32_t kFileAttributeFolder = 0x10;
inline constexpr uint32_t kFileAttributeArchive = 0x20;

// A local date and time as a find reports it.
struct PackedTime {
    uint8_t second = 0;
    uint8_t minute = 0;
    uint8_t hour = 0;
    uint8_t day = 0;
    uint8_t month = 0;
    uint16_t year = 0;

    friend bool operator==(const PackedTime&, const PackedTime&) = default;
};

// One result of a find.
struct FindRecord {
    uint32_t attributes = 0;
    PackedTime created;
    PackedTime accessed;
    PackedTime written;
    uint64_t size = 0;
    // The pattern's folder part followed by the found name.
    std::string fullPath;
    std::string name;
};

class VfsFile : public RefObject {
public:
    // Moves up to count bytes; outCount (when given) says how many moved.
    virtual bool Read(uint32_t count, void* destination, uint32_t* outCount) = 0;
    virtual uint32_t Size() = 0;
    virtual bool Write(uint32_t /*count*/, const void* /*source*/, uint32_t* /*outCount*/) { return false; }
    // Moves the position by distance from origin; the new position, or
    // kSeekFailed (position unchanged).
    virtual uint32_t Seek(int32_t /*distance*/, uint32_t /*origin*/) { return kSeekFailed; }
};

class FileSource : public RefObject {
public:
    virtual RefPtr<VfsFile> OpenFile(std::string_view /*path*/, uint32_t /*access*/,
                                     uint32_t /*disposition*/) {
        return nullptr;
    }
    // Starts the file with the desktop's default action.
    virtual bool Execute(std::string_view /*path*/, std::string_view /*parameters*/) { return false; }
    virtual bool Delete(std::string_view /*path*/) { return false; }
    virtual bool FileExists(std::string_view /*path*/) { return false; }
    virtual bool FileSize(std::string_view /*path*/, uint32_t& /*size*/) { return false; }

    // One search at a time per source: FindFirst starts it, FindNext goes
    // on with the same pattern and mode, FindClose ends it.
    virtual bool FindFirst(FindRecord& /*record*/, std::string_view /*pattern*/, uint32_t /*mode*/) {
        return false;
    }
    virtual bool FindNext(FindRecord& /*record*/) { return false; }
    virtual bool FindClose() { return false; }

    // The path the source was created with.
    virtual const std::string& SourcePath() const = 0;
    virtual uint32_t FindMode() const { return kFindAll; }
    virtual const std::string& FindPattern() const = 0;
};
