// The time of the user's last mouse or keyboard input, on the clock's
// timestamp scale. The event pump records it; the engine's idle time is
// measured from it.
#pragma once

#include <cstdint>

namespace plat {

// The timestamp (Clock::Timestamp) of the last recorded input; the time
// the program started before any.
uint64_t LastInputTimestamp();
// Records an input at the timestamp.
void NoteInput(uint64_t timestamp);

} // namespace plat
