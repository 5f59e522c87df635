#include "world/world_errors.h"

#include "files/debug_log.h"

namespace {
std::string& LastError() {
    static std::string text;
    return text;
}
} // namespace

void ReportWorldError(std::string text) {
    GetDebugLog().Printf(1, "world: %s\n", text.c_str());
    LastError() = std::move(text);
}

const std::string& LastWorldError() {
    return LastError();
}

void ClearWorldError() {
    LastError().clear();
}
