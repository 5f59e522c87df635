// What the host's file system says about a path, and the few changes made
// to it besides writing files: the one place where the rest of the program
// reaches the system's folder, status and time calls.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

namespace plat {

enum class PathKind { File, Folder, Link, Other };

struct PathInfo {
    PathKind kind = PathKind::Other;
    uint64_t size = 0;
    timespec modified{};
    timespec accessed{};
    // Together they name the file, whatever path leads to it.
    uint64_t device = 0;
    uint64_t inode = 0;
    bool ownerMayWrite = false;
};

// The path's status, through links or (followLinks false) of a link itself;
// false, with errno saying why, when there is nothing at the path. An empty
// path is the current folder.
bool GetPathInfo(const std::string& path, PathInfo& info, bool followLinks = true);
// Whether anything is at the path (links followed).
bool PathExists(const std::string& path);
// Whether both paths lead to the same file.
bool SameFile(const std::string& a, const std::string& b);
// The names in a folder, "." and ".." left out, in byte order; false when it
// cannot be read.
bool ListFolder(const std::string& folder, std::vector<std::string>& names);
// Makes one folder (its parent must exist); false, with errno, when not.
bool MakeFolder(const std::string& path);
// Sets a file's modification time, leaving its access time.
bool SetModificationTime(const std::string& path, const timespec& time);
// The wall-clock time now.
timespec WallClockNow();
// The local calendar time of a moment; false when it cannot be had.
bool LocalCalendarTime(const timespec& time, std::tm& out);

} // namespace plat
