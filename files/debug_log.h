// The developer log "MD.log": messages carry a category bit and only those
// whose category the mask names are formatted and written.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <utility>

class DebugLog {
public:
    static constexpr uint32_t kFlagOpen = 1;
    // The messages of the computer-controlled companies.
    static constexpr uint32_t kCategoryAi = 0x1000;
    // The longest message; longer ones are cut.
    static constexpr size_t kMaxMessageLength = 4095;

    explicit DebugLog(std::string path = "MD.log") : path_(std::move(path)) {}
    ~DebugLog();
    DebugLog(const DebugLog&) = delete;
    DebugLog& operator=(const DebugLog&) = delete;

    // Bit 0 opens the file when it is closed (emptied when overwrite is
    // set, else appended to) and its absence closes it. False only when the
    // file cannot be opened; the log then stays closed.
    bool SetFlags(uint32_t flags, bool overwrite);
    uint32_t Flags() const { return flags_; }
    void SetCategoryMask(uint32_t mask) { mask_ = mask; }
    uint32_t CategoryMask() const { return mask_; }
    bool IsOpen() const { return file_ != nullptr; }

    // Writes the message as formatted, without adding a line break.
    void Printf(uint32_t category, const char* format, ...) __attribute__((format(printf, 3, 4)));

private:
    std::string path_;
    uint32_t flags_ = 0;
    uint32_t mask_ = 0;
    std::FILE* file_ = nullptr;
};

// The process-wide log, writing "MD.log" in the current folder.
DebugLog& GetDebugLog();
