// One channel for the asset readers (pictures, fonts, graphic sets): a bad
// file gives one line in the debug log, and the last such line is kept so
// that tools and tests can say why something was refused.
#pragma once

#include <cstdint>
#include <string>

// The debug log's category of the asset readers.
inline constexpr uint32_t kLogCategoryAssets = 0x0200;

// Writes "<text>\n" to the debug log under the assets category and keeps it.
void LogAssetProblem(const char* format, ...) __attribute__((format(printf, 1, 2)));

// The last line written by LogAssetProblem on this thread, without its line
// break; empty when none since the last ClearAssetProblem.
const std::string& LastAssetProblem();
void ClearAssetProblem();
