#include "platform/file_system.h"

#include <algorithm>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace plat {

bool GetPathInfo(const std::string& path, PathInfo& info, bool followLinks) {
    struct stat st {};
    const char* name = path.empty() ? "." : path.c_str();
    if ((followLinks ? ::stat(name, &st) : ::lstat(name, &st)) != 0)
        return false;
    info.kind = S_ISREG(st.st_mode)   ? PathKind::File
                : S_ISDIR(st.st_mode) ? PathKind::Folder
                : S_ISLNK(st.st_mode) ? PathKind::Link
                                      : PathKind::Other;
    info.size = st.st_size < 0 ? 0 : uint64_t(st.st_size);
    info.modified = st.st_mtim;
    info.accessed = st.st_atim;
    info.device = uint64_t(st.st_dev);
    info.inode = uint64_t(st.st_ino);
    info.ownerMayWrite = (st.st_mode & S_IWUSR) != 0;
    return true;
}

bool PathExists(const std::string& path) {
    return ::access(path.c_str(), F_OK) == 0;
}

bool SameFile(const std::string& a, const std::string& b) {
    PathInfo first, second;
    return GetPathInfo(a, first) && GetPathInfo(b, second) && first.device == second.device &&
           first.inode == second.inode;
}

bool ListFolder(const std::string& folder, std::vector<std::string>& names) {
    DIR* dir = ::opendir(folder.empty() ? "." : folder.c_str());
    if (!dir)
        return false;
    names.clear();
    while (const dirent* entry = ::readdir(dir)) {
        std::string name = entry->d_name;
        if (name != "." && name != "..")
            names.push_back(std::move(name));
    }
    ::closedir(dir);
    std::sort(names.begin(), names.end());
    return true;
}

bool MakeFolder(const std::string& path) {
    return ::mkdir(path.c_str(), 0755) == 0;
}

bool SetModificationTime(const std::string& path, const timespec& time) {
    timespec times[2];
    times[0].tv_sec = 0;
    times[0].tv_nsec = UTIME_OMIT;
    times[1] = time;
    return ::utimensat(AT_FDCWD, path.c_str(), times, 0) == 0;
}

timespec WallClockNow() {
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    return now;
}

bool LocalCalendarTime(const timespec& time, std::tm& out) {
    return ::localtime_r(&time.tv_sec, &out) != nullptr;
}

} // namespace plat
