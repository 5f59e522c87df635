// A frame: opening it (clearing the back buffer and the frame lists),
// presenting it (every layer's blits and scene, the statistics overlay, the
// software cursor, then showing the picture), and the engine's start-up and
// release with the cursor thread.
#pragma once

#include "engine/display_mode.h"
#include "engine/engine_state.h"

#include <array>
#include <cstdint>
#include <string>

namespace plat {
class RenderDevice;
}

namespace Engine {

bool BeginFrame();
// Forgets an open scene and the statistics lines (engine release).
void ForgetFrame();
bool PresentFrame();
// Draws the software cursor onto the back buffer.
bool DrawCursor();
// Queues a line under the statistics overlay; at most 8 a frame (a ninth
// is dropped and still succeeds); false for an empty text.
bool AddStatsLine(const char16_t* text);
int32_t StatsLineCount();
// The overlay's first line from the engine's counters.
std::string FormatStatsOverlay(int32_t cursorX, int32_t cursorY);

// The mouse position in back-buffer pixels, set by the event pump.
void SetMousePosition(int32_t x, int32_t y);
PointI32 GetMousePosition();

// Whether the cursor thread should draw: a moved cursor always, an
// animated one when its frame time has passed.
bool CursorNeedsRedraw(PointI32 position, PointI32 last, int32_t frameCount, int64_t microsSinceFrameChange,
                       uint32_t frameTimeMs);

// Starts the engine on a render device with the device id (all zero: the
// default device) and the display mode.
bool EngineInit(plat::RenderDevice* device, const std::array<uint8_t, 16>& deviceGuid,
                const DisplayMode& mode);
// Takes everything down; safe to call when nothing was started, and twice.
void ReleaseEngine();
bool Release();
// 0 usable, 1 temporarily lost, 2 not started.
int32_t CheckModeChange();

// Flag accessors: the caller reads and writes the switch directly.
uint8_t* StatsOverlayFlag();
uint8_t* VSyncFlag();
uint8_t* FlipToGdiFlag();
uint8_t* UseVertexBufferFlag();
const DeviceCaps* GetDeviceCaps();
bool Is32BitWith8888();
bool GetDisplayMode(std::array<uint8_t, 16>* guid, DisplayMode* mode);
void GetScreenSize(int32_t* width, int32_t* height);
bool SetWindowPosition(int32_t x, int32_t y);

} // namespace Engine
