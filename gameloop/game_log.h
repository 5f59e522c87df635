// The game loop's log: one line per refused message, failed load or save,
// written to standard error, or to a sink that tests and tools install.
#pragma once

#include <functional>
#include <string>

using GameLogSink = std::function<void(const std::string& line)>;

// Formats and writes one line (without a trailing line break).
void GameLog(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Installs a sink and returns the previous one; an empty sink restores stderr.
GameLogSink SetGameLogSink(GameLogSink sink);
