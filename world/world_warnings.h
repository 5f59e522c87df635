// Reports of damaged or unusable input that the world model repaired or
// refused (a bad save chunk, a broken name list): one line each in the debug
// log, and a running count that tools and tests can read.
#pragma once

#include <cstdint>
#include <string>

// The debug-log category of these lines.
inline constexpr uint32_t kLogCategoryWorld = 0x8;

void WorldWarning(const char* format, ...) __attribute__((format(printf, 1, 2)));
uint32_t WorldWarningCount();
// The text of the last warning, for a caller that reports why it gave up.
const std::string& LastWorldWarning();
