#include "engine/device_setup.h"
#include "engine/display_devices.h"
#include "engine/display_mode.h"
#include "engine/draw_layers.h"
#include "engine/engine_error.h"
#include "engine/engine_result.h"
#include "engine/engine_services.h"
#include "engine/screen.h"
#include "engine/state_blocks.h"
#include "engine/surfaces.h"

#include <mutex>

namespace Engine {

namespace {

constexpr int32_t kLineNoDevice = 3769;
constexpr int32_t kLineTargets = 3790;
constexpr int32_t kLineCursorSave = 3862;

DisplayMode gFallback;
// The bytes of the two device targets counted in video memory.
int64_t gTargetBytes = 0;

bool Offered(const DisplayDevice& device, const DisplayMode& mode) {
    for (const DisplayMode& m : device.modes)
        if (m.width == mode.width && m.height == mode.height && m.bitsPerPixel == mode.bitsPerPixel &&
            m.refreshRate == mode.refreshRate)
            return true;
    return false;
}

} // namespace

const DisplayMode& FallbackDisplayMode() {
    return gFallback;
}

void ReleaseDisplayTargets() {
    EngineState& s = State();
    if (gTargetBytes == 0)
        return;
    s.memory.videoBytes -= gTargetBytes;
    s.memory.videoCount -= 2;
    gTargetBytes = 0;
}

bool SetDisplayMode(const DisplayMode& mode) {
    EngineState& s = State();
    std::lock_guard<std::recursive_mutex> guard(s.lock);

    const DisplayDevice* device = CurrentDisplayDevice();
    if (device == nullptr || !Offered(*device, mode) || (mode.fullScreen == 0 && !device->canRenderWindowed))
        return false;
    if (s.device == nullptr) {
        ReportError(EngineResult::kNotInitialized, kLineNoDevice);
        return false;
    }
    s.mode = mode;

    // Unbind the stages and give back what belongs to the old mode.
    SetStageTexture(nullptr, 0);
    SetStageTexture(nullptr, 1);
    ReleaseStateBlocks();
    ReleaseSurfaceField(&s.cursorSave);
    ReleaseDisplayTargets();

    // The back buffer and the spare picture at the mode's size; the window
    // follows the mode (a window of that size, or the desktop scaled).
    plat::VideoMode video;
    video.width = mode.width;
    video.height = mode.height;
    video.bitDepth = mode.bitsPerPixel;
    video.refreshRate = mode.refreshRate;
    video.fullScreen = mode.fullScreen != 0;
    if (!s.device->SetMode(video)) {
        ReportError(EngineResult::kFail, kLineTargets);
        return false;
    }
    gTargetBytes = 2 * int64_t(mode.width) * mode.height * (mode.bitsPerPixel / 8);
    s.memory.videoBytes += gTargetBytes;
    s.memory.videoCount += 2;

    if (!CreateDevice())
        return false;
    // The new targets are shown through the gamma values set before.
    if (s.device->Caps().hasGamma)
        SetGamma(s.gammaRed, s.gammaGreen, s.gammaBlue);

    // Pixel formats: every texture format is available; the display format
    // is 565 at 16 bits and X888 at 32.
    ResetPixelFormats();
    for (int32_t f = kFormat4444; f <= kFormatX888; ++f)
        s.formats[size_t(f)].supported = 1;
    SetDisplayFormat(mode.bitsPerPixel == 16 ? kFormat565 : kFormatX888);

    int32_t result =
        CreateSurface(InitSurfaceDesc(64, 64, kSurfaceVideoMemory, kFormatDisplayVideo), &s.cursorSave);
    if (result != EngineResult::kOk) {
        ReportError(result, kLineCursorSave);
        return false;
    }

    gFallback = {800, 600, s.device->Caps().canRender32 ? 32 : 16, mode.refreshRate, mode.fullScreen};

    ResetFrameLists();
    s.cachedStateBlock = -1;
    return SetClipRect(nullptr);
}

} // namespace Engine
