// Reports of damaged or unusable input that the transport network refused
// or repaired (a bad layout line, a damaged waypoint chunk): one line each in
// the debug log, the last one kept and a running count for tools and tests.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

// The debug-log category of these lines.
inline constexpr uint32_t kLogCategoryTransport = 0x10;

void TransportWarning(const char* format, ...) __attribute__((format(printf, 1, 2)));
uint32_t TransportWarningCount();
const std::string& LastTransportWarning();

// Also hands every warning to the sink (a tool printing them), until an
// empty sink is set. Returns the previous sink.
using TransportWarningSink = std::function<void(const std::string& line)>;
TransportWarningSink SetTransportWarningSink(TransportWarningSink sink);
