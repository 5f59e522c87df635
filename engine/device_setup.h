// Setting up the render device for drawing: reading its capabilities and
// recording the 320 render configurations the drawing code selects by
// index (see state_blocks.h for the index and the apply calls).
#pragma once

#include "engine/display_mode.h"
#include "engine/engine_state.h"
#include "platform/render_device.h"

#include <cstdint>

namespace Engine {

// The render configuration of a state block index (0 to 319) on a device
// with the given alpha-compare capabilities.
plat::RenderState ResolveStateBlock(int32_t index, const DeviceCaps& caps);

// The engine's view of the device's capabilities.
DeviceCaps CapsFromDevice(const plat::RenderCaps& caps);

// Takes the engine's device: unbinds the texture stages, reads the
// capabilities and records the blocks. False without a device.
bool CreateDevice();
bool RecordStateBlocks();
// Whether the blocks are recorded (between CreateDevice and the release).
bool StateBlocksRecorded();
// Forgets the recorded blocks and the applied one (engine release).
void ReleaseStateBlocks();
// A recorded block; index 0 for an index out of range.
const plat::RenderState& RecordedStateBlock(int32_t index);

// The picture size and format of the mode a display switch falls back to.
const DisplayMode& FallbackDisplayMode();
// Takes the back buffer and the spare picture out of the memory counters
// (engine release); SetDisplayMode counts them again.
void ReleaseDisplayTargets();

} // namespace Engine
