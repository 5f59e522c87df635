#include "engine/frame.h"

#include "engine/bitmap_font.h"
#include "engine/draw_layers.h"
#include "engine/engine_error.h"
#include "engine/engine_result.h"
#include "engine/engine_services.h"
#include "engine/quad_draw.h"
#include "engine/screen.h"
#include "engine/state_blocks.h"
#include "engine/surfaces.h"
#include "engine/system_font.h"
#include "platform/render_device.h"

#include <atomic>
#include <cstdio>
#include <cstring>
#include <string>

namespace {

std::atomic<int32_t> mouseX{0}, mouseY{0};
bool sceneOpen = false;

struct StatsLine {
    const char16_t* chars = nullptr;
    int32_t count = 0;
};
std::array<StatsLine, 8> statsLines;
int32_t statsLineCount = 0;

plat::RenderDevice* Device() {
    return Engine::State().device;
}

bool OpenScene() {
    if (sceneOpen)
        return true;
    if (!Device() || !Device()->BeginScene())
        return false;
    sceneOpen = true;
    return true;
}

bool CloseScene() {
    if (!sceneOpen)
        return true;
    Engine::FlushQuads();
    sceneOpen = false;
    Engine::State().cachedStateBlock = -1;
    return Device()->EndScene();
}

// The font the overlay uses: the first one 12 or 14 pixels high, else the
// first one at 12.
int32_t OverlayFont(int32_t* height) {
    auto& fonts = Engine::BitmapFonts();
    for (size_t i = 0; i < fonts.size(); ++i) {
        if (fonts[i].baseSize == 12 || fonts[i].baseSize == 14) {
            *height = fonts[i].baseSize;
            return int32_t(i) + 1;
        }
    }
    *height = 12;
    return fonts.empty() ? 0 : 1;
}

// Without a bitmap font the overlay goes out in the renderer's default
// system font, white on the transparent key, 17 pixels a line.
void DrawSystemFontOverlay(PointI32 mouse) {
    if (!Engine::GetSystemTextRenderer())
        return;
    static const SystemFont kDefaultFont{};
    const EngineState& s = Engine::State();
    const SurfaceMemory& m = s.memory;
    constexpr double kMb = 1.0 / 1048576.0;
    char text[512];
    std::snprintf(
        text, sizeof text,
        "F %03u  TxViSy(%.2f,%.2f,%.2f)Mb (%d,%d,%d)#  %dx%dx%dx%d Sync%d Vb%d  TxChg %03u  Flip %04.1fms  "
        "Gdi %04.1fms  Z %d#  %04.1fms (%d,%d)",
        s.framesPerSecond, double(m.textureBytes) * kMb, double(m.videoBytes) * kMb,
        double(m.systemBytes) * kMb, m.textureCount, m.videoCount, m.systemCount, s.mode.width, s.mode.height,
        s.mode.bitsPerPixel, s.mode.refreshRate, int(s.vsync), int(s.useVertexBuffer), s.textureChanges,
        double(s.flipTimeMs), double(s.gdiTimeUs) / 1000.0, s.sortedCount, double(s.sortTimeMs), mouse.x,
        mouse.y);
    std::u16string wide(text, text + std::strlen(text));
    Engine::DrawGdiText(&kDefaultFont, wide.c_str(), int32_t(wide.size()), 0, 0, 0xFFFFFF, 0xFF00FF);
    for (int32_t i = 0; i < statsLineCount; ++i)
        Engine::DrawGdiText(&kDefaultFont, statsLines[size_t(i)].chars, statsLines[size_t(i)].count, 0,
                            17 * (i + 1), 0xFFFFFF, 0xFF00FF);
}

void DrawOverlay() {
    EngineState& s = Engine::State();
    PointI32 mouse = Engine::GetMousePosition();
    int32_t height = 12;
    int32_t font = OverlayFont(&height);
    if (font == 0) {
        DrawSystemFontOverlay(mouse);
        return;
    }
    std::string text = Engine::FormatStatsOverlay(mouse.x, mouse.y);
    OpenScene();
    Engine::DrawBitmapText(font, 0xFFFFFFFF, 0, 0, height, 1, text.c_str(), int32_t(text.size()), 0);
    int32_t y = 0;
    for (int32_t i = 0; i < statsLineCount; ++i) {
        y += height + 2;
        char line[501];
        int32_t n = std::min(statsLines[size_t(i)].count, 500);
        for (int32_t k = 0; k < n; ++k)
            line[k] = char(statsLines[size_t(i)].chars[k] & 0xFF);
        line[n] = 0;
        if (n > 0)
            Engine::DrawBitmapText(font, 0xFFFFFFFF, 0, y, height, 1, line, n, 0);
    }
    CloseScene();
    (void)s;
}

} // namespace

namespace Engine {

void ForgetFrame() {
    sceneOpen = false;
    statsLineCount = 0;
}

void SetMousePosition(int32_t x, int32_t y) {
    mouseX = x;
    mouseY = y;
}

PointI32 GetMousePosition() {
    return {mouseX.load(), mouseY.load()};
}

bool BeginFrame() {
    EngineState& s = State();
    if (!s.device)
        return false;
    if (!s.targetCleared)
        ClearTargetRects(nullptr, 0);
    s.targetCleared = false;
    s.cachedStateBlock = -1;
    CloseScene();
    bool ok = OpenScene();
    ResetFrameLists();
    statsLineCount = 0;
    if (!ok) {
        ReportError(EngineResult::kFail, 8190);
        return false;
    }
    return true;
}

bool AddStatsLine(const char16_t* text) {
    if (!text || !text[0])
        return false;
    if (statsLineCount >= 8)
        return true;
    int32_t count = 0;
    while (text[count])
        ++count;
    const char16_t* copy = nullptr;
    if (!StoreWideText(&copy, text, &count))
        return false;
    statsLines[size_t(statsLineCount++)] = {copy, count};
    return true;
}

int32_t StatsLineCount() {
    return statsLineCount;
}

std::string FormatStatsOverlay(int32_t cursorX, int32_t cursorY) {
    const EngineState& s = State();
    const SurfaceMemory& m = s.memory;
    constexpr double kMb = 1.0 / 1048576.0;
    char text[512];
    std::snprintf(text, sizeof text,
                  "TexVidSys(%.2f,%.2f,%.2f)Mb (%d,%d,%d)# 4444:8888:565(%d,%d,%d) %dx%dx%dx%d Sync%d "
                  "Vertbuffer%d  fps "
                  "%03u TexChg %03u Flip %04.1fms GDI %04.1fms Z %d# %04.1fms (%d,%d) Idle %dms",
                  double(m.textureBytes) * kMb, double(m.videoBytes) * kMb, double(m.systemBytes) * kMb,
                  m.textureCount, m.videoCount, m.systemCount, m.count4444, m.count8888, m.count565,
                  s.mode.width, s.mode.height, s.mode.bitsPerPixel, s.mode.refreshRate, int(s.vsync),
                  int(s.useVertexBuffer), s.framesPerSecond, s.textureChanges, double(s.flipTimeMs),
                  double(s.gdiTimeUs) / 1000.0, s.sortedCount, double(s.sortTimeMs), cursorX, cursorY,
                  int(TimeSinceInput()));
    return text;
}

bool DrawCursor() {
    EngineState& s = State();
    CursorState& c = s.cursor;
    Surface* surface = TextureSurface(c.texture);
    if (!c.shown || !surface || c.frameCount < 1 || !s.device)
        return true;
    if (c.frameCount > 1) {
        uint64_t now = ReadTimestamp();
        if (ElapsedTime(now, c.lastFrameChange) >= int64_t(s.cursorFrameTimeMs) * 1000) {
            c.currentFrame = (c.currentFrame + 1) % c.frameCount;
            c.lastFrameChange = now;
        }
    }
    EngineRect source = c.frames[size_t(c.currentFrame)];
    PointI32 at = GetMousePosition();
    at.x -= c.hotspotX;
    at.y -= c.hotspotY;
    if (!ClipToScreen(at, source))
        return true;
    FlushQuads();
    c.previous = {at.x, at.y, at.x + source.right - source.left, at.y + source.bottom - source.top};
    c.hasPrevious = true;
    if (!s.device->Blit(plat::RenderTarget::BackBuffer, {at.x, at.y}, surface->deviceTexture,
                        {source.left, source.top, source.right, source.bottom}, surface->hasColourKey)) {
        ReportError(EngineResult::kFail, 8421);
        return false;
    }
    return true;
}

bool PresentFrame() {
    EngineState& s = State();
    if (!s.device || !s.started)
        return false;
    const uint64_t start = ReadTimestamp();
    FlushQuads();
    CloseScene();
    SetClipRect(nullptr);
    s.cachedStateBlock = -1;
    bool ok = true;
    for (int32_t layer = 0; layer < kDrawLayerCount; ++layer) {
        ok = DrawLayerBlits(layer) && ok;
        DrawLayer* l = Layer(layer);
        if (!l->sceneOrder.empty()) {
            if (!OpenScene()) {
                ReportError(EngineResult::kFail, 8290);
                return false;
            }
            ok = DrawLayerScene(layer) && ok;
            if (!CloseScene()) {
                ReportError(EngineResult::kFail, 8310);
                return false;
            }
        }
    }
    const double gdiMs = double(s.gdiTimeUs) / 1000.0;
    if (s.statsOverlay)
        DrawOverlay();
    s.gdiTimeUs = 0;
    (void)gdiMs;
    s.device->Finish();

    std::lock_guard<std::recursive_mutex> guard(s.lock);
    const uint64_t now = ReadTimestamp();
    int64_t elapsed = ElapsedTime(now, s.lastPresent);
    s.framesPerSecond = elapsed > 0 ? uint32_t(1000000 / elapsed) : 666;
    s.lastPresent = now;
    DrawCursor();
    bool shown = s.device->Present(s.vsync != 0);
    s.flipTimeMs = float(ElapsedTime(ReadTimestamp(), start)) / 1000.0f;
    s.textureChanges = 0;
    s.sortTimeMs = 0;
    s.sortedCount = 0;
    ++s.framesPresented;
    if (!shown) {
        ReportError(EngineResult::kFail, 8470);
        return false;
    }
    (void)ok; // failed blits and draws are reported; the frame was still shown
    return true;
}

} // namespace Engine
