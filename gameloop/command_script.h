// Command scripts: a small text form of game commands for tests, tools and
// benchmarks, so that they drive the world through the same path as a
// player. One command a line: the tick at which it is posted, the command's
// class name or type id, then its payload fields in order as numbers.
// Between the tick and the command, "p0" to "p4" may name the slot of the
// issuing player; without it the command carries the local player's slot
// of the moment the script is read. Blank lines and lines starting with '#'
// are ignored.
#pragma once

#include "gameloop/game_command.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

// The largest command script read.
inline constexpr uint64_t kMaxCommandScriptSize = uint64_t(16) << 20;
inline constexpr uint32_t kScriptPlayerSlots = 5;

struct ScriptedCommand {
    uint64_t tick = 0;
    std::shared_ptr<GameCommand> command;
};

// The script's commands in tick order (lines of one tick keep their order).
// False, with the line's number and the reason in error, at the first bad
// line.
bool ParseCommandScript(std::string_view text, std::vector<ScriptedCommand>& commands, std::string& error);
