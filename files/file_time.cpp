#include "files/file_time.h"

#include "platform/file_system.h"

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
    plat::PathInfo info;
    if (!plat::GetPathInfo(path, info))
        return false;
    fileTime = FileTimeFromTimespec(info.modified);
    return true;
}

bool SetFileWriteTime(const std::string& path, uint64_t fileTime) {
    return plat::SetModificationTime(path, TimespecFromFileTime(fileTime));
}

PackedTime LocalPackedTime(const timespec& time) {
    std::tm local{};
    if (!plat::LocalCalendarTime(time, local))
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
