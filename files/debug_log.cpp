#include "files/debug_log.h"

#include <algorithm>
#include <array>
#include <cstdarg>

DebugLog::~DebugLog() {
    if (file_)
        std::fclose(file_);
}

bool DebugLog::SetFlags(uint32_t flags, bool overwrite) {
    bool ok = true;
    if (!file_ && (flags & kFlagOpen)) {
        file_ = std::fopen(path_.c_str(), overwrite ? "w" : "a");
        if (!file_) {
            flags &= ~kFlagOpen;
            ok = false;
        }
    } else if (file_ && !(flags & kFlagOpen)) {
        std::fclose(file_);
        file_ = nullptr;
    }
    flags_ = flags;
    return ok;
}

void DebugLog::Printf(uint32_t category, const char* format, ...) {
    if ((category & mask_) == 0)
        return;
    std::array<char, kMaxMessageLength + 1> message;
    va_list args;
    va_start(args, format);
    int length = std::vsnprintf(message.data(), message.size(), format, args);
    va_end(args);
    if (length < 0 || !file_)
        return;
    std::fwrite(message.data(), 1, std::min(size_t(length), kMaxMessageLength), file_);
}

DebugLog& GetDebugLog() {
    static DebugLog log;
    return log;
}
