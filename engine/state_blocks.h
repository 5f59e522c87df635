// The engine's 320 render configurations ("state blocks"): the index of a
// configuration, and the calls that apply a configuration, bind textures to
// stages and open and close the scene. The calls are defined with the device
// set-up (their checks for "nothing to change" inline here); the drawing
// code only uses them.
#pragma once

#include "engine/engine_state.h"

#include <cstdint>

namespace Engine {

inline constexpr int32_t kStateBlockCount = 320;
// Untextured primitives (points, rectangles) and the line primitive.
inline constexpr int32_t kPrimitiveStateBlock = 64;
inline constexpr int32_t kLineStateBlock = 80;

// blend 0-4, alphaTest 0-1, filter 0 point / 1 linear, texMode 0-3,
// tint 0-1, wrap 0 clamp / 1 wrap.
constexpr int32_t StateBlockIndex(int32_t blend, int32_t alphaTest, int32_t filter, int32_t texMode,
                                  int32_t tint, int32_t wrap) {
    return ((((blend * 2 + alphaTest) * 2 + filter) * 4 + texMode) * 2 + tint) * 2 + wrap;
}
static_assert(StateBlockIndex(1, 0, 0, 0, 0, 0) == kPrimitiveStateBlock);
static_assert(StateBlockIndex(1, 0, 1, 0, 0, 0) == kLineStateBlock);

namespace detail {
// The out-of-line halves of the two below, for a change.
bool ApplyNewStateBlock(int32_t handle);
bool BindNewStageTexture(const Surface* surface, int32_t stage);
} // namespace detail

// Applies a configuration unless it is the one applied last.
inline bool ApplyStateBlock(int32_t handle) {
    return handle == State().cachedStateBlock || detail::ApplyNewStateBlock(handle);
}
// Binds a surface (null unbinds) to a stage unless it is bound already, and
// copies its texture record into the stage's record.
inline bool SetStageTexture(const Surface* surface, int32_t stage) {
    const EngineState& s = State();
    const bool bound =
        stage >= 0 && stage < int32_t(s.stageSurface.size()) && s.stageSurface[size_t(stage)] == surface;
    return bound || detail::BindNewStageTexture(surface, stage);
}
inline bool SetTextureAndStates(const Surface* surface, int32_t stage, int32_t handle) {
    return SetStageTexture(surface, stage) && ApplyStateBlock(handle);
}
// Forgets the applied configuration and ends the scene.
bool EndScene();
bool Begin2D();
bool End2D();
// Waits until the queued drawing has reached the back buffer.
int32_t Finish3DPipeline();

} // namespace Engine
