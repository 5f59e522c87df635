#include "world/world_warnings.h"

#include "files/debug_log.h"

#include <cstdarg>
#include <cstdio>

namespace {
uint32_t warningCount = 0;
std::string lastWarning;
} // namespace

void WorldWarning(const char* format, ...) {
    ++warningCount;
    char line[512];
    va_list args;
    va_start(args, format);
    std::vsnprintf(line, sizeof line, format, args);
    va_end(args);
    lastWarning = line;
    GetDebugLog().Printf(kLogCategoryWorld, "World: %s\n", line);
}

uint32_t WorldWarningCount() {
    return warningCount;
}

const std::string& LastWorldWarning() {
    return lastWarning;
}
