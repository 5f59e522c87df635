#include "engine/screen.h"

#include "engine/engine_error.h"
#include "engine/engine_result.h"
#include "engine/quad_draw.h"
#include "engine/state_blocks.h"
#include "engine/surfaces.h"
#include "platform/clock.h"
#include "platform/input_time.h"
#include "platform/render_device.h"

#include <algorithm>
#include <cmath>

namespace {

plat::DeviceRect ToDevice(const EngineRect& r) {
    return {r.left, r.top, r.right, r.bottom};
}

} // namespace

namespace Engine {

double CalibrateTimer(double* factor) {
    *factor = 0.001;
    State().microsPerTick = *factor;
    return *factor;
}

uint64_t ReadTimestamp() {
    return plat::Clock::Timestamp();
}

int64_t ElapsedTime(uint64_t later, uint64_t earlier) {
    return std::llround(double(int64_t(later - earlier)) * State().microsPerTick);
}

ProfileScope BeginProfileScope(uint32_t* accumulator) {
    return {accumulator, ReadTimestamp()};
}

void EndProfileScope(const ProfileScope& scope) {
    if (scope.accumulator)
        *scope.accumulator += uint32_t(ElapsedTime(ReadTimestamp(), scope.start));
}

void NoteInput() {
    plat::NoteInput(ReadTimestamp());
}

uint64_t TimeSinceInput() {
    int64_t us = ElapsedTime(ReadTimestamp(), plat::LastInputTimestamp());
    return us > 0 ? uint64_t(us) / 1000 : 0;
}

bool SetClipRect(const EngineRect* r) {
    EngineState& s = State();
    const int32_t W = s.mode.width, H = s.mode.height;
    int32_t x = 0, y = 0, w = W, h = H;
    if (r) {
        x = r->left, y = r->top;
        w = std::max(0, r->right - r->left);
        h = std::max(0, r->bottom - r->top);
        x = x >= W ? W - 1 : std::max(x, 0);
        y = y >= H ? H - 1 : std::max(y, 0);
        if (x + w > W)
            w = W - x;
        if (y + h > H)
            h = H - y;
    }
    FlushQuads();
    s.clip = {x, y, x + w, y + h};
    if (s.device && !s.device->SetClip(ToDevice(s.clip))) {
        ReportError(EngineResult::kFail, 7414);
        return false;
    }
    return true;
}

bool IsRectVisible(const EngineRect& r) {
    const EngineRect& c = State().clip;
    return r.bottom > c.top && r.right > c.left && r.top < c.bottom && r.left < c.right;
}

bool ClipToScreen(PointI32& p, EngineRect& s) {
    const EngineState& st = State();
    const int32_t W = st.mode.width, H = st.mode.height;
    if (s.right < 1 || s.bottom < 1 || s.left >= W || s.top >= H || p.x >= W || p.y >= H)
        return false;
    if (p.x <= -(s.right - s.left) || p.y <= -(s.bottom - s.top))
        return false;
    if (p.x < 0) {
        s.left -= p.x;
        p.x = 0;
    }
    if (p.y < 0) {
        s.top -= p.y;
        p.y = 0;
    }
    if (p.x + (s.right - s.left) > W)
        s.right = s.left + (W - p.x);
    if (p.y + (s.bottom - s.top) > H)
        s.bottom = s.top + (H - p.y);
    return true;
}

bool CopyFrontToBack() {
    // The back buffer always holds the last picture: nothing to copy back.
    return true;
}

bool SaveBackBuffer() {
    EngineState& s = State();
    if (!s.device || !s.started)
        return false;
    FlushQuads();
    End2D();
    const plat::DeviceRect whole{0, 0, s.mode.width, s.mode.height};
    plat::DeviceRect keep = ToDevice(s.clip);
    s.device->SetClip(whole);
    bool ok = s.device->Copy(plat::RenderTarget::Spare, {0, 0}, plat::RenderTarget::BackBuffer, whole);
    s.device->SetClip(keep);
    Begin2D();
    if (!ok)
        return CheckResult(EngineResult::kFail, 8035, nullptr);
    return true;
}

bool ClearTargetRects(const EngineRect* rects, int32_t count) {
    EngineState& s = State();
    if (!s.device)
        return false;
    FlushQuads();
    bool ok = true;
    if (!rects) {
        ok = s.device->Fill(plat::RenderTarget::BackBuffer, {0, 0, s.mode.width, s.mode.height}, 0xFF000000);
    } else {
        for (int32_t i = 0; i < count; ++i)
            ok = s.device->Fill(plat::RenderTarget::BackBuffer, ToDevice(rects[i]), 0xFF000000) && ok;
    }
    if (!ok)
        return CheckResult(EngineResult::kFail, 7976, nullptr);
    return true;
}

bool ScrollScreen(int32_t dx, int32_t dy) {
    EngineState& s = State();
    if (!s.device || !s.started)
        return false;
    const int32_t W = s.mode.width, H = s.mode.height;
    // A scroll past the screen's size keeps nothing: the clears cover it.
    dx = std::clamp(dx, -W, W);
    dy = std::clamp(dy, -H, H);
    const bool nothingKept = dx == W || dx == -W || dy == H || dy == -H;
    EngineRect source{0, 0, W, H};
    EngineRect clears[2];
    int32_t clearCount = 0;
    EngineRect row{0, 0, W, H};
    if (dx > 0) {
        source.right = W - dx;
        clears[clearCount++] = {0, 0, dx, H};
        row.left = dx;
    } else if (dx < 0) {
        source.left = -dx;
        clears[clearCount++] = {W + dx, 0, W, H};
        row.right = W + dx;
    }
    if (dy > 0) {
        source.bottom = H - dy;
        row.bottom = dy;
        clears[clearCount++] = row;
    } else if (dy < 0) {
        source.top = -dy;
        row.top = H + dy;
        clears[clearCount++] = row;
    }
    FlushQuads();
    const plat::DeviceRect whole{0, 0, W, H};
    plat::DeviceRect keep = ToDevice(s.clip);
    s.device->SetClip(whole);
    bool ok = ClearTargetRects(clears, clearCount);
    ok = ok &&
         (nothingKept || s.device->Copy(plat::RenderTarget::BackBuffer, {std::max(dx, 0), std::max(dy, 0)},
                                        plat::RenderTarget::Spare, ToDevice(source)));
    s.device->SetClip(keep);
    s.targetCleared = true;
    if (!ok) {
        CheckResult(EngineResult::kFail, 8113, nullptr);
        ReportError(EngineResult::kFail, 8120);
        return false;
    }
    return true;
}

bool FillRect(uint32_t colour, const EngineRect& r) {
    EngineState& s = State();
    if (!s.device)
        return false;
    FlushQuads();
    uint32_t argb = FromNativeColour(colour, kFormatDisplayVideo);
    if (!s.device->Fill(plat::RenderTarget::BackBuffer, ToDevice(r), argb))
        return CheckResult(EngineResult::kFail, 9937, nullptr);
    return true;
}

} // namespace Engine
