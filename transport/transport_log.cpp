#include "transport/transport_log.h"

#include "files/debug_log.h"

#include <cstdarg>
#include <cstdio>
#include <utility>

namespace {
uint32_t warningCount = 0;
std::string lastWarning;
TransportWarningSink warningSink;
} // namespace

void TransportWarning(const char* format, ...) {
    ++warningCount;
    char line[512];
    va_list args;
    va_start(args, format);
    std::vsnprintf(line, sizeof line, format, args);
    va_end(args);
    lastWarning = line;
    if (warningSink)
        warningSink(lastWarning);
    GetDebugLog().Printf(kLogCategoryTransport, "Transport: %s\n", line);
}

uint32_t TransportWarningCount() {
    return warningCount;
}

const std::string& LastTransportWarning() {
    return lastWarning;
}

TransportWarningSink SetTransportWarningSink(TransportWarningSink sink) {
    std::swap(sink, warningSink);
    return sink;
}
