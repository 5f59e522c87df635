// Engine time (microseconds from a monotonic counter), the time of the last
// input, the clip rectangle and the copies between the back buffer and the
// kept picture that scrolling reuses.
#pragma once

#include "engine/engine_state.h"

#include <cstdint>

namespace Engine {

// Microseconds per timestamp tick; timestamps are nanoseconds, so no
// calibration pause is needed. Stores and returns the factor.
double CalibrateTimer(double* factor);
uint64_t ReadTimestamp();
// Microseconds between two timestamps, 64-bit so that long idle times
// never wrap.
int64_t ElapsedTime(uint64_t later, uint64_t earlier);

struct ProfileScope {
    uint32_t* accumulator = nullptr;
    uint64_t start = 0;
};
ProfileScope BeginProfileScope(uint32_t* accumulator);
void EndProfileScope(const ProfileScope& scope);

// Records a mouse or keyboard input now; the window's event pump records
// the user's own, this serves input that comes another way (scripts).
void NoteInput();
// Milliseconds since the last input, or since start before any.
uint64_t TimeSinceInput();

// Sets the clip to the rectangle cut to the screen, or to the whole screen.
bool SetClipRect(const EngineRect* r);
bool IsRectVisible(const EngineRect& r);
// Cuts a blit of the source rectangle to the point so that it lies on the
// screen; false when nothing is left.
bool ClipToScreen(PointI32& at, EngineRect& source);

bool CopyFrontToBack();
bool SaveBackBuffer();
bool ScrollScreen(int32_t dx, int32_t dy);
// Fills a rectangle of the back buffer with a colour in the display format.
bool FillRect(uint32_t colour, const EngineRect& r);
// Clears rectangles of the back buffer (or all of it) to black.
bool ClearTargetRects(const EngineRect* rects, int32_t count);

} // namespace Engine
