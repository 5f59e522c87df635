// File times as the game stores and shows them: a FILETIME (100-nanosecond
// steps since 1 January 1601, UTC) kept in archive indexes, and the local
// date and time that a find reports.
#pragma once

#include "files/file_source.h"

#include <cstdint>
#include <ctime>
#include <string>

uint64_t FileTimeFromTimespec(const timespec& time);
timespec TimespecFromFileTime(uint64_t fileTime);

// The last-write time of a file as a FILETIME; false when it cannot be read.
bool ReadFileWriteTime(const std::string& path, uint64_t& fileTime);
bool SetFileWriteTime(const std::string& path, uint64_t fileTime);

// The local date and time of a moment.
PackedTime LocalPackedTime(const timespec& time);
