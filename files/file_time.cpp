#include "files/file_time.h"

#include <fcntl.h>
#include <sys/stat.h>

namespace {

// Seconds from 1601-01-01 to 1970-01-01.
constexpr int64_t kEpochDifference = 11644473600;
constexpr int64_t kStepsPerSecond = 10000000;

} // namespace

uint64_t FileTimeFromTimespec(const timespec& time) {
    int64_t seconds = int64_t(time.tv_sec) + kEpochDifference;
    if (seconds < 0)
        return 0;
    return uint64_t(seconds) * kStepsPerSecond + uint64_t(time.tv_nsec) / 100;
}

timespec TimespecFromFileTime(uint64_t fileTime) {
    timespec time{};
    time.tv_sec = time_t(int64_t(fileTime / kStepsPerSecond) - kEpochDifference);
    time.tv_nsec = long(fileTime % kStepsPerSecond) * 100;
    return time;
}

bool ReadFileWriteTime(const std::string& path, uint64_t& fileTime) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        return false;
    fileTime = FileTimeFromTimespec(st.st_mtim);
    return true;
}

bool SetFileWriteTime(const std::string& path, uint64_t fileTime) {
    timespec times[2];
    times[0].tv_sec = 0;
    times[0].tv_nsec = UTIME_OMIT;
    times[1] = TimespecFromFileTime(fileTime);
    return ::utimensat(AT_FDCWD, path.c_str(), times, 0) == 0;
}

PackedTime LocalPackedTime(const timespec& time) {
    tm local{};
    if (!::localtime_r(&time.tv_sec, &local))
        return {};
    PackedTime packed;
    packed.second = uint8_t(local.tm_sec);
    packed.minute = uint8_t(local.tm_min);
    packed.hour = uint8_t(local.tm_hour);
    packed.day = uint8_t(local.tm_mday);
    packed.month = uint8_t(local.tm_mon + 1);
    packed.year = uint16_t(local.tm_year + 1900);
    return packed;
}
