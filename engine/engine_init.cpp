#include "engine/asset_caches.h"
#include "engine/bitmap_font.h"
#include "engine/device_setup.h"
#include "engine/display_devices.h"
#include "engine/draw_layers.h"
#include "engine/engine_error.h"
#include "engine/engine_result.h"
#include "engine/engine_services.h"
#include "engine/frame.h"
#include "engine/quad_draw.h"
#include "engine/screen.h"
#include "engine/surfaces.h"
#include "platform/clock.h"
#include "platform/message.h"
#include "platform/render_device.h"

#include <atomic>
#include <cstdio>
#include <thread>

namespace {

std::thread cursorThread;
std::atomic<bool> cursorThreadRunning{false};
// Set by the cursor thread when the cursor should be drawn before the next
// frame; the main loop may present early.
std::atomic<bool> cursorRedrawWanted{false};

void CursorThreadMain() {
    EngineState& s = Engine::State();
    while (cursorThreadRunning.load()) {
        {
            std::lock_guard<std::recursive_mutex> guard(s.lock);
            const CursorState& c = s.cursor;
            if (c.texture != 0) {
                PointI32 at = Engine::GetMousePosition();
                PointI32 last{s.lastCursorX, s.lastCursorY};
                int64_t sinceFrame = Engine::ElapsedTime(Engine::ReadTimestamp(), c.lastFrameChange);
                if (Engine::CursorNeedsRedraw(at, last, c.frameCount, sinceFrame, s.cursorFrameTimeMs)) {
                    bool moved = !(at == last);
                    s.lastCursorX = at.x, s.lastCursorY = at.y;
                    // While frames come faster than 15 a second the next
                    // presentation draws the moved cursor anyway.
                    bool presentingFast = s.framesPresented > 15 && moved &&
                                          Engine::ElapsedTime(Engine::ReadTimestamp(), s.lastPresent) < 66666;
                    if (!presentingFast && Engine::CheckModeChange() == 0)
                        cursorRedrawWanted = true;
                }
            }
        }
        // The device draws on the main thread only; a short sleep keeps the
        // thread from spinning.
        plat::Clock::Sleep(2);
    }
}

void StopCursorThread() {
    if (!cursorThread.joinable())
        return;
    cursorThreadRunning = false;
    if (cursorThread.get_id() == std::this_thread::get_id()) {
        // Never wait for the calling thread itself: it ends after this pass.
        cursorThread.detach();
        return;
    }
    cursorThread.join();
}

} // namespace

namespace Engine {

bool CursorNeedsRedraw(PointI32 position, PointI32 last, int32_t frameCount, int64_t microsSinceFrameChange,
                       uint32_t frameTimeMs) {
    if (!(position == last))
        return true;
    if (frameCount < 2)
        return false;
    return microsSinceFrameChange >= int64_t(frameTimeMs) * 1000;
}

bool EngineInit(plat::RenderDevice* device, const std::array<uint8_t, 16>& deviceGuid,
                const DisplayMode& mode) {
    ReleaseEngine();
    EngineState& s = State();
    // No swap files are ever written, so there is nothing to delete from the
    // temporary folder (which other programs share).
    EnumerateDisplayDevices();
    s.deviceGuid = deviceGuid;
    Layer(0)->items.reserve(4096);
    for (int32_t n = 1; n < kDrawLayerCount; ++n)
        Layer(n)->items.reserve(32);
    BitmapFonts().reserve(4);
    if (!device) {
        ReportError(EngineResult::kNotInitialized, 6644);
        return false;
    }
    s.device = device;
    const plat::RenderCaps& caps = device->Caps();
    s.caps.texturePow2 = caps.pow2Only;
    s.caps.textureSquareOnly = caps.squareOnly;
    s.caps.textureNonPow2Conditional = caps.nonPow2Conditional;
    s.caps.maxTextureWidth = caps.maxTextureWidth;
    s.caps.maxTextureHeight = caps.maxTextureHeight;
    s.caps.alphaGreaterEqual = caps.alphaCompares & plat::AlphaCompareBit(plat::CompareFunc::GreaterEqual);
    s.caps.alphaGreater = caps.alphaCompares & plat::AlphaCompareBit(plat::CompareFunc::Greater);
    s.caps.alphaLessEqual = caps.alphaCompares & plat::AlphaCompareBit(plat::CompareFunc::LessEqual);
    s.caps.alphaLess = caps.alphaCompares & plat::AlphaCompareBit(plat::CompareFunc::Less);
    s.gdiTextInSystemMemory = 1;
    ResetPixelFormats();
    s.started = true;
    s.lastPresent = ReadTimestamp();
    if (!SetDisplayMode(mode)) {
        ReleaseEngine();
        return false;
    }
    s.cursorThreadRun = true;
    cursorThreadRunning = true;
    cursorThread = std::thread(CursorThreadMain);
    return true;
}

void ReleaseEngine() {
    EngineState& s = State();
    {
        std::lock_guard<std::recursive_mutex> guard(s.lock);
        FlushQuads();
        FreeLayers();
        s.cachedStateBlock = -1;
        s.stageSurface = {};
        ReleaseAssetCaches();
        FreeFontList();
        ClearFrameCache();
        if (s.device) {
            for (int stage = 0; stage < 3; ++stage)
                s.device->BindTexture(stage, plat::kNoTexture);
        }
        ResetTextureTable();
        ReleaseStateBlocks();
        ReleaseDisplayTargets();
        s.cursor = CursorState{};
        for (Surface** field : {&s.cursorSave, &s.spareSurface, &s.backBuffer})
            ReleaseSurfaceField(field);
        if (s.device) {
            // Whatever is still alive was never released by its owner.
            int32_t leaked = 0;
            while (!s.liveSurfaces.empty()) {
                Surface* left = s.liveSurfaces.back();
                ++leaked;
                left->refs = 1;
                ReleaseSurface(left);
            }
            if (leaked != 0)
                plat::ShowMessage("Released additional Surfaces!", "Engine");
        }
        if (!s.memory.IsZero()) {
            char text[160];
            std::snprintf(text, sizeof text, "Surface Memory: Texture: %lld, Video: %lld, System: %lld",
                          static_cast<long long>(s.memory.textureBytes),
                          static_cast<long long>(s.memory.videoBytes),
                          static_cast<long long>(s.memory.systemBytes));
            plat::ShowMessage(text, "Engine");
            s.memory = SurfaceMemory{};
        }
        s.device = nullptr;
        s.started = false;
        s.targetCleared = false;
        ForgetFrame();
        s.framesPresented = 0;
        s.textureChanges = 0;
        s.sortedCount = 0;
        s.cursorThreadRun = false;
    }
    StopCursorThread();
}

bool Release() {
    ReleaseEngine();
    return true;
}

int32_t CheckModeChange() {
    // The devices never lose the display to another program.
    return State().device && State().started ? 0 : 2;
}

uint8_t* StatsOverlayFlag() {
    return &State().statsOverlay;
}
uint8_t* VSyncFlag() {
    return &State().vsync;
}
uint8_t* FlipToGdiFlag() {
    return &State().flipToGdi;
}
uint8_t* UseVertexBufferFlag() {
    return &State().useVertexBuffer;
}

const DeviceCaps* GetDeviceCaps() {
    return &State().caps;
}

bool Is32BitWith8888() {
    const EngineState& s = State();
    return s.mode.bitsPerPixel == 32 && s.formats[kFormat8888].supported;
}

bool GetDisplayMode(std::array<uint8_t, 16>* guid, DisplayMode* mode) {
    const EngineState& s = State();
    if (!s.device)
        return false;
    *guid = s.deviceGuid;
    *mode = s.mode;
    return true;
}

void GetScreenSize(int32_t* width, int32_t* height) {
    *width = State().mode.width;
    *height = State().mode.height;
}

bool SetWindowPosition(int32_t x, int32_t y) {
    State().windowX = x;
    State().windowY = y;
    return true;
}

} // namespace Engine
