// Reports of damaged or unusable input that the transport network refused
// or repaired (a bad layout line, a damaged waypoint chunk): one line each in
// the debug log, the last one kept and a running count for tools and tests.
#pragma once

#include <cstdint>
#include <string>

// The debug-log category of these lines.
inline constexpr uint32_t kLogCategoryTransport = 0x10;

void TransportWarning(const char* format, ...) __attribute__((format(printf, 1, 2)));
uint32_t TransportWarningCount();
const std::string& LastTransportWarning();
