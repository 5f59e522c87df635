// The developer's bitmap use report: which images of a folder the layouts
// there (and the program's code) use. It counts the images named by every
// ".uif" of the folder, writes "Used_bitmaps.txt" there and renames each
// unused ".tga" with a prefix, so that unused images stand out.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

// Layout name (and "All") -> image name in lower case -> count.
using BitmapUseCounts = std::map<std::string, std::map<std::string, int32_t>>;

inline constexpr const char* kUnusedBitmapPrefix = "_________NOT_USED__________";

// The images the program's code names directly.
const std::vector<std::string>& CodeBitmapNames();

struct BitmapReport {
    BitmapUseCounts counts;
    // Layouts that could not be read, each with the reason; listed in the
    // report and not counted.
    std::vector<std::string> skipped;
    std::vector<std::string> renamed;
};

// Counts, writes the report into the folder and renames the unused images.
// False, with the reason, when the folder cannot be listed or the report
// cannot be written; nothing is renamed then.
bool WriteBitmapUseReport(const std::string& folder, BitmapReport& report, std::string& error);
