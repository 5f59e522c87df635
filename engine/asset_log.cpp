#include "engine/asset_log.h"

#include "files/debug_log.h"

#include <array>
#include <cstdarg>
#include <cstdio>

namespace {

thread_local std::string lastProblem;

} // namespace

void LogAssetProblem(const char* format, ...) {
    std::array<char, 512> text;
    va_list args;
    va_start(args, format);
    int length = std::vsnprintf(text.data(), text.size(), format, args);
    va_end(args);
    if (length < 0)
        return;
    lastProblem.assign(text.data());
    GetDebugLog().Printf(kLogCategoryAssets, "%s\n", lastProblem.c_str());
}

const std::string& LastAssetProblem() {
    return lastProblem;
}

void ClearAssetProblem() {
    lastProblem.clear();
}
