// The engine's one process-wide state record. The engine is a set of free
// functions in namespace Engine over this record; there is no engine
// object. Each group says which part of the engine writes it.
#pragma once

#include "engine/display_mode.h"
#include "engine/surface.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <mutex>
#include <vector>

namespace plat {
class RenderDevice;
}

// The engine's error channel: (result code, source line of the failed call).
using EngineErrorCallbackFn = void (*)(int32_t result, int32_t line);

inline constexpr uint32_t kTextureTableSize = 8192;

// What the device can do with textures and alpha tests; fixed by the
// backend, configurable in tests.
struct DeviceCaps {
    bool texturePow2 = true;
    bool textureSquareOnly = false;
    bool textureNonPow2Conditional = false;
    int32_t maxTextureWidth = 2048;
    int32_t maxTextureHeight = 2048;
    bool alphaGreaterEqual = true;
    bool alphaGreater = true;
    bool alphaLessEqual = true;
    bool alphaLess = true;
    bool canCalibrateGamma = false;
    bool no2DDuring3DScene = false;
};

struct EngineRect {
    int32_t left = 0, top = 0, right = 0, bottom = 0;
    bool operator==(const EngineRect&) const = default;
};

struct PointI32 {
    int32_t x = 0, y = 0;
    bool operator==(const PointI32&) const = default;
};

// The software cursor: its texture and frames, the animation and where it
// was drawn last.
struct CursorState {
    TextureHandle texture = 0; // 0 = no software cursor
    int32_t hotspotX = 0, hotspotY = 0;
    int32_t columns = 0, rows = 0;
    int32_t frameWidth = 0, frameHeight = 0;
    int32_t frameCount = 0;
    std::array<EngineRect, 16> frames{};
    bool shown = true;
    int32_t currentFrame = 0;
    uint64_t lastFrameChange = 0; // timestamp
    bool hasPrevious = false;
    EngineRect previous; // screen rectangle of the last drawing
};

// The nine surface-memory counters, in the order the overlay and the
// leak report read them.
struct SurfaceMemory {
    int64_t videoBytes = 0, systemBytes = 0, textureBytes = 0;
    int32_t videoCount = 0, systemCount = 0, textureCount = 0;
    int32_t count4444 = 0, count565 = 0, count8888 = 0;

    bool IsZero() const {
        return videoBytes == 0 && systemBytes == 0 && textureBytes == 0 && videoCount == 0 &&
               systemCount == 0 && textureCount == 0 && count4444 == 0 && count565 == 0 && count8888 == 0;
    }
};

struct EngineState {
    // Error channel (engine core).
    EngineErrorCallbackFn errorCallback = nullptr; // set to the default report at start

    // Texture stages of the first and second texture.
    int32_t firstStage = 0;
    int32_t secondStage = 1;

    // Switches.
    uint8_t statsOverlay = 1;
    uint8_t useVertexBuffer = 1;
    uint8_t gdiTextInSystemMemory = 1;
    uint8_t vsync = 0;
    uint8_t flipToGdi = 0;

    // Gamma last accepted.
    float gammaRed = 1.0f, gammaGreen = 1.0f, gammaBlue = 1.0f;
    bool hasGammaControl = false;

    // The state block applied last; -1 = unknown.
    int32_t cachedStateBlock = -1;

    // Cursor thread and software cursor.
    uint32_t cursorFrameTimeMs = 100;
    bool cursorThreadRun = true;
    int32_t lastCursorX = -1, lastCursorY = -1;
    CursorState cursor;

    // Texture handle table: a surface, or when free the next free entry.
    std::array<Surface*, kTextureTableSize> textures{};
    std::array<uint32_t, kTextureTableSize> freeLink{};
    uint32_t freeHead = 1;

    // The device and the engine's own surfaces (display-mode set-up).
    plat::RenderDevice* device = nullptr;
    bool started = false; // between a successful start and the release
    Surface* backBuffer = nullptr;
    Surface* spareSurface = nullptr;
    Surface* cursorSave = nullptr;

    DeviceCaps caps;

    // Pixel formats 0 to 7 (filled by the display-mode set-up); the entry
    // of 0 to 5 that formats 6 and 7 copy.
    std::array<PixelFormat, kPixelFormatCount> formats{};
    int32_t displayFormat = kFormat565;
    // Every surface alive, for the leak count at release.
    std::vector<Surface*> liveSurfaces;

    // Display.
    std::array<uint8_t, 16> deviceGuid{};
    DisplayMode mode;
    int32_t windowX = 0, windowY = 0;

    // Rendering state: textures per stage with their records, the clip.
    std::array<const Surface*, 3> stageSurface{};
    std::array<TextureRecord, 3> stageRecord{};
    EngineRect clip;
    bool targetCleared = false;

    // Statistics.
    SurfaceMemory memory;
    uint32_t framesPresented = 0;
    uint64_t gdiTimeUs = 0;
    uint32_t textureChanges = 0;
    uint64_t lastPresent = 0;
    uint32_t framesPerSecond = 0;
    float flipTimeMs = 0;
    float sortTimeMs = 0;
    int32_t sortedCount = 0;

    // Timing and input.
    double microsPerTick = 0.001; // timestamps are nanoseconds
    uint64_t lastInput = 0;

    // The engine lock: the cursor thread, the presentation, the display-mode
    // change, the cursor image and the release.
    std::recursive_mutex lock;
};

namespace Engine {

namespace detail {
// The record once it exists; read inline on every call of State().
extern std::atomic<EngineState*> gState;
EngineState& CreateState();
} // namespace detail

// The state record, created on first use.
inline EngineState& State() {
    EngineState* s = detail::gState.load(std::memory_order_acquire);
    return s ? *s : detail::CreateState();
}

} // namespace Engine
