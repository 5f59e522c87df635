#include "engine/viewport.h"

#include "engine/graphic_sets.h"
#include "engine/screen.h"
#include "engine/view_hooks.h"
#include "platform/clock.h"

#include <array>

namespace {

// Tile sizes are 120 x k / 20 by 40 x k / 20.
constexpr ZoomLevel Level(int32_t k, int32_t step, int32_t scaled, uint32_t colour, float factor) {
    return {120 * k / 20, 40 * k / 20, 0, step, scaled, colour, factor};
}

constexpr std::array<ZoomLevel, kZoomLevelCount> kZoomLevels = {
    Level(11, 44, 1, 0x40FFFFFF, 0.5f), Level(12, 44, 1, 0x30FFFFFF, 0.6f),
    Level(14, 43, 1, 0x30FFFFFF, 0.7f), Level(15, 43, 1, 0x20FFFFFF, 0.75f),
    Level(16, 42, 1, 0x20FFFFFF, 0.8f), Level(17, 42, 1, 0x10FFFFFF, 0.85f),
    Level(18, 41, 1, 0x10FFFFFF, 0.9f), Level(20, 41, 0, 0, 1.0f),
    Level(22, 40, 1, 0, 1.0f),          Level(25, 39, 1, 0, 1.0f),
    Level(27, 38, 1, 0, 1.0f),          Level(30, 37, 1, 0, 1.0f),
    Level(33, 36, 1, 0, 1.0f),          Level(36, 35, 1, 0, 1.0f),
    Level(40, 34, 1, 0, 1.0f),
};

// The time a border scroll takes to reach full speed.
constexpr uint32_t kScrollRampMs = 1500;

void SetLevelSizes(Viewport& vp, int32_t level) {
    vp.zoomLevel = level;
    vp.tileHeight = kZoomLevels[size_t(level)].tileHeight;
    vp.tileWidth = vp.tileHeight * 3;
    vp.blockWidth = vp.tileWidth * 4;
    vp.blockHeight = vp.tileHeight * 4;
    vp.zoomScale = float(vp.tileHeight) / 40.0f;
}

struct ViewModule {
    ViewModule() {
        for (Viewport& vp : viewports)
            SetLevelSizes(vp, kNativeZoomLevel);
    }

    std::array<Viewport, kViewportCount> viewports{};
    int32_t current = 0;
    int32_t activeCount = 0;
    EngineRect screenRect;
    MapCell cursorCell;
    int32_t baseBlockWidth = 480, baseBlockHeight = 160;
    int32_t rampState = 0; // 0 idle, 1 ramping, 2 full speed
    uint32_t rampStart = 0;
    bool skipBorderScroll = false;
    bool dragActive = false;
    ScreenPoint dragAnchor;
};

ViewModule& Module() {
    static ViewModule module;
    return module;
}

Viewport& Current() {
    ViewModule& m = Module();
    return m.viewports[size_t(m.current)];
}

bool InRect(const EngineRect& r, int32_t x, int32_t y) {
    return x >= r.left && x < r.right && y >= r.top && y < r.bottom;
}

ScreenPoint RectCentre(const EngineRect& r) {
    return {r.left + (r.right - r.left) / 2, r.top + (r.bottom - r.top) / 2};
}

// Whether a move of the origin by (dx, dy) may happen, given the map cell
// under the view centre: always while that cell is on the map; otherwise only
// moves that bring it back.
bool MoveAllowed(MapCell c, int32_t dx, int32_t dy) {
    const ViewHooks& hooks = GetViewHooks();
    const int32_t w = hooks.mapWidth();
    const int32_t h = hooks.mapHeight();
    if (c.x >= 0 && c.x < w && c.y >= 0 && c.y < h)
        return true;
    if (dx > 0 && !(c.x >= 0 && c.y < h))
        return false;
    if (dx < 0 && !(c.y >= 0 && c.x < w))
        return false;
    if (dy > 0 && !(c.x >= 0 && c.y >= 0))
        return false;
    if (dy < 0 && !(c.x < w && c.y < h))
        return false;
    return true;
}

MapCell CentreCell() {
    const Viewport& vp = Current();
    return ScreenToMap({vp.originX, vp.originY}, RectCentre(vp.rect), vp.tileHeight);
}

} // namespace

const ZoomLevel& GetZoomLevelEntry(int32_t level) {
    if (level < 0 || level >= kZoomLevelCount)
        level = kNativeZoomLevel;
    return kZoomLevels[size_t(level)];
}

Viewport& Viewport::Get(int32_t n) {
    if (n < 0)
        n = 0;
    if (n >= kViewportCount)
        n = kViewportCount - 1;
    return Module().viewports[size_t(n)];
}

int32_t Viewport::GetCurrent() {
    return Module().current;
}

int32_t Viewport::GetActiveCount() {
    return Module().activeCount;
}

bool Viewport::IsActive(int32_t n) {
    return n >= 0 && n < kViewportCount && Module().viewports[size_t(n)].active != 0;
}

void Viewport::SetActive(int32_t n, bool active, const EngineRect* rect) {
    if (n < 0 || n >= kViewportCount)
        return;
    ViewModule& m = Module();
    Viewport& vp = m.viewports[size_t(n)];
    if (active && !vp.active) {
        vp.active = 1;
        ++m.activeCount;
    } else if (!active && vp.active) {
        vp.active = 0;
        --m.activeCount;
        GetViewHooks().requestFullRedraw();
    }
    if (rect) {
        vp.rect = *rect;
        vp.originX = rect->left + (rect->right - rect->left) / 2;
        vp.originY = rect->top + 50;
    }
}

void Viewport::Select(int32_t n) {
    if (!IsActive(n))
        return;
    Module().current = n;
    Engine::SetClipRect(&Module().viewports[size_t(n)].rect);
}

void Viewport::ResetAll() {
    Module() = ViewModule();
}

EngineRect Viewport::GetRect() {
    return Current().rect;
}

EngineRect Viewport::GetInnerRect() {
    EngineRect r = Current().rect;
    r.bottom -= 32;
    return r;
}

void Viewport::SetMainRect(const EngineRect& rect) {
    Module().viewports[0].rect = rect;
}

void Viewport::GetTileSize(int32_t& w, int32_t& h) {
    w = Current().tileWidth;
    h = Current().tileHeight;
}

void Viewport::GetBlockSize(int32_t& w, int32_t& h) {
    w = Current().blockWidth;
    h = Current().blockHeight;
}

void Viewport::SetBlockSize(int32_t w, int32_t h) {
    Current().blockWidth = w;
    Current().blockHeight = h;
}

ScreenPoint Viewport::GetOrigin() {
    return {Current().originX, Current().originY};
}

bool Viewport::SetOrigin(ScreenPoint origin) {
    Current().originX = origin.x;
    Current().originY = origin.y;
    return true;
}

int32_t Viewport::GetZoomLevel() {
    return Current().zoomLevel;
}

float Viewport::GetZoomScale() {
    return Current().zoomScale;
}

int32_t Viewport::ScaleByZoom(int32_t n) {
    return n * Current().tileHeight / 40;
}

int32_t Viewport::GetZoomScaledFlag() {
    return GetZoomLevelEntry(Current().zoomLevel).scaled;
}

int32_t Viewport::GetZoomGraphicsVariant() {
    return GetZoomLevelEntry(Current().zoomLevel).graphicsVariant;
}

float Viewport::GetZoomVolume() {
    return GetZoomLevelEntry(Current().zoomLevel).factor;
}

ScreenPoint Viewport::ProjectWithOrigin(ScreenPoint origin, MapCell cell, int32_t tileHeight) {
    return {((cell.x - cell.y) * 3 * tileHeight) / 2 + origin.x,
            ((cell.x + cell.y) * tileHeight) / 2 + origin.y};
}

EngineRect Viewport::CellRect(int32_t x, int32_t y) {
    const Viewport& vp = Current();
    EngineRect r;
    r.left = ((x - y) * vp.tileWidth) / 2 + vp.originX;
    r.top = ((x + y) * vp.tileHeight) / 2 + vp.originY;
    r.right = r.left + vp.tileWidth;
    r.bottom = r.top + vp.tileHeight;
    return r;
}

EngineRect Viewport::TileBounds(int32_t x, int32_t y) {
    const Viewport& vp = Current();
    EngineRect r;
    r.left = ((x - y) * vp.tileWidth) / 2 - vp.tileWidth / 2 + vp.originX;
    r.top = ((x + y) * vp.tileHeight) / 2 + vp.originY;
    r.right = r.left + vp.tileWidth;
    r.bottom = r.top + vp.tileHeight;
    return r;
}

ScreenPoint Viewport::GetTileAnchor(int32_t x, int32_t y) {
    EngineRect r = TileBounds(x, y);
    return {r.left, r.bottom};
}

MapCell Viewport::ScreenToCell(ScreenPoint point) {
    const Viewport& vp = Current();
    return ScreenToMap({vp.originX, vp.originY}, point, vp.tileHeight);
}

MapCell Viewport::PointToCell(int32_t px, int32_t py) {
    const Viewport& vp = Current();
    if (vp.tileWidth == 0)
        return {kNoCell, kNoCell};
    const int32_t c = (py - vp.originY) * 3;
    const int32_t dx = px - vp.originX;
    MapCell cell{(c + dx) / vp.tileWidth, (c - dx) / vp.tileWidth};
    if (c + dx < 0)
        --cell.x;
    if (c - dx < 0)
        --cell.y;
    return cell;
}

void Viewport::SetZoomLevel(int32_t level) {
    if (uint32_t(level) >= uint32_t(kZoomLevelCount))
        level = 9;
    SetLevelSizes(Current(), level);
}

bool Viewport::Zoom(int32_t command) {
    const ViewHooks& hooks = GetViewHooks();
    Viewport& vp = Current();
    int32_t mx = 0, my = 0;
    hooks.mousePosition(mx, my);
    if (!InRect(vp.rect, mx, my))
        return false;
    int32_t level = vp.zoomLevel;
    switch (command) {
    case 0:
        if (level >= kZoomLevelCount - 1)
            return true;
        ++level;
        break;
    case 1:
        if (level <= 0)
            return true;
        --level;
        break;
    case 2:
        level = hooks.hasSecondWindowObject() ? kZoomLevelCount - 1 : kNativeZoomLevel;
        break;
    case 3:
        level = 0;
        break;
    case 4:
        level = kZoomLevelCount - 1;
        break;
    default:
        return false;
    }
    const int32_t newHeight = kZoomLevels[size_t(level)].tileHeight;
    const MapCell under = ScreenToMap({vp.originX, vp.originY}, {mx, my}, vp.tileHeight);
    ScreenPoint fixed{mx, my};
    if (!(under.x >= 0 && under.x < hooks.mapWidth() && under.y >= 0 && under.y < hooks.mapHeight())) {
        const MapCell cell = GetCursorCell();
        fixed = MapToScreen(cell.x, cell.y);
    }
    vp.zoomLevel = level;
    ZoomAround(fixed, newHeight);
    hooks.requestFullRedraw();
    GraphicSets::ApplyZoom();
    return true;
}

void Viewport::ZoomAround(ScreenPoint fixed, int32_t newTileHeight) {
    Viewport& vp = Current();
    const int32_t oldHeight = vp.tileHeight;
    if (oldHeight == 0) {
        vp.originX = kNoCell;
        vp.originY = kNoCell;
    } else {
        vp.originX = fixed.x - (fixed.x - vp.originX) * newTileHeight / oldHeight;
        vp.originY = fixed.y - (fixed.y - vp.originY) * newTileHeight / oldHeight;
    }
    SetZoomLevel(vp.zoomLevel);

    // Pull the view centre back onto the map.
    const ViewHooks& hooks = GetViewHooks();
    const int32_t w = hooks.mapWidth();
    const int32_t h = hooks.mapHeight();
    const int32_t th = vp.tileHeight;
    const MapCell c = CentreCell();
    if (c.x < 0) {
        vp.originX += c.x * th;
        vp.originY += c.x * th / 2;
    }
    if (c.x > w) {
        const int32_t d = (c.x - w) * th;
        vp.originX += d;
        vp.originY += d / 2;
    }
    if (c.y > h) {
        const int32_t d = (c.y - h) * th;
        vp.originX -= d;
        vp.originY += d / 2;
    }
    if (c.y < 0) {
        const int32_t d = c.y * th;
        vp.originX -= d;
        vp.originY += d / 2;
    }
}

bool Viewport::ScrollStep(uint32_t direction, bool immediate) {
    if (direction > 7)
        return false;
    ViewModule& m = Module();
    const int32_t s = GetZoomLevelEntry(Current().zoomLevel).scrollStep;
    const int32_t half = s / 2;
    const ScreenPoint steps[8] = {{0, s},    {0, -s},    {s, 0},     {-s, 0},
                                  {s, half}, {-s, half}, {s, -half}, {-s, -half}};
    int32_t dx = steps[direction].x;
    int32_t dy = steps[direction].y;
    m.skipBorderScroll = immediate;
    if (!immediate) {
        float factor = 1.0f;
        const uint32_t now = plat::Clock::Millis();
        if (m.rampState == 0) {
            m.rampStart = now;
            m.rampState = 1;
            factor = 0.0f;
        } else if (m.rampState == 1) {
            factor = float(now - m.rampStart) / float(kScrollRampMs);
            if (factor >= 1.0f) {
                m.rampState = 2;
                factor = 1.0f;
            }
        }
        dx = int32_t(float(dx) * factor);
        dy = int32_t(float(dy) * factor);
    }
    if (!MoveAllowed(CentreCell(), dx, dy))
        return true;
    const ScreenPoint origin = GetOrigin();
    SetOrigin({origin.x + dx, origin.y + dy});
    GetViewHooks().requestScroll(dx, dy);
    return true;
}

void Viewport::CenterOn(int32_t x, int32_t y) {
    Viewport& vp = Current();
    const ScreenPoint p = MapToScreen(x, y);
    vp.originX += (vp.rect.right - vp.rect.left) / 2 - p.x;
    vp.originY += (vp.rect.bottom - vp.rect.top) / 2 - p.y;
    GetViewHooks().requestFullRedraw();
}

void Viewport::SetCursorCell(int32_t x, int32_t y) {
    Module().cursorCell = {x, y};
}

MapCell Viewport::GetCursorCell() {
    return Module().cursorCell;
}

void Viewport::ClearCursorCell() {
    Module().cursorCell = {0, 0};
}

ScreenPoint MapToScreen(int32_t x, int32_t y) {
    const Viewport& vp = Current();
    return Viewport::ProjectWithOrigin({vp.originX, vp.originY}, {x, y}, vp.tileHeight);
}

MapCell ScreenToMap(ScreenPoint origin, ScreenPoint point, int32_t tileHeight) {
    if (tileHeight == 0)
        return {kNoCell, kNoCell};
    const int32_t a = (2 * (point.x - origin.x)) / 3;
    const int32_t b = 2 * (point.y - origin.y);
    MapCell cell{(b + a) / (2 * tileHeight), (b - a) / (2 * tileHeight)};
    if (b + a < 0)
        --cell.x;
    if (b - a < 0)
        --cell.y;
    return cell;
}

void ScrollViewByMouse() {
    ViewModule& m = Module();
    const ViewHooks& hooks = GetViewHooks();
    if (m.skipBorderScroll) {
        m.skipBorderScroll = false;
        return;
    }
    const bool fullScreen = (Engine::State().mode.fullScreen & 1) != 0;
    const int32_t b = fullScreen ? 1 : 12;
    const int32_t margin = fullScreen ? 0 : 6;
    int32_t x = 0, y = 0;
    hooks.cursorPosition(x, y);
    int32_t mouseX = 0, mouseY = 0;
    hooks.mousePosition(mouseX, mouseY);

    if (hooks.isRightButtonReleased()) {
        for (int32_t n = kViewportCount - 1; n >= 0; --n) {
            const Viewport& vp = m.viewports[size_t(n)];
            if (vp.active && InRect(vp.rect, mouseX, mouseY)) {
                Viewport::Select(n);
                break;
            }
        }
    }

    const EngineRect r = Current().rect;
    if (!InRect(r, x, y) || hooks.isFrontEndScreenOnTop()) {
        m.rampState = 0;
        hooks.setMouseCursorShape(9);
        return;
    }

    struct Border {
        bool hit;
        uint32_t direction;
        int32_t shape;
    };
    const Border borders[] = {
        {x <= r.left + b && y <= r.top + b, 4, 5},
        {x <= r.left + b && y >= r.bottom - b - 1, 6, 7},
        {x >= r.right - b - 1 && y <= r.top + b, 5, 6},
        {x >= r.right - b - 1 && y >= r.bottom - b - 1, 7, 8},
        {x <= r.left + margin, 2, 3},
        {y <= r.top + margin, 0, 1},
        {x >= r.right - margin - 1, 3, 4},
        {y >= r.bottom - margin - 1, 1, 2},
    };
    for (const Border& border : borders) {
        if (border.hit) {
            Viewport::ScrollStep(border.direction, false);
            hooks.setMouseCursorShape(border.shape);
            return;
        }
    }

    m.rampState = 0;
    if (hooks.hasTopScreen())
        hooks.setMouseCursorShape(9);
    if (hooks.isMouseOverDialog()) {
        hooks.setMouseCursorShape(9);
        return;
    }
    if (!hooks.isRightButtonDown()) {
        m.dragActive = false;
        return;
    }
    if (hooks.hasSecondWindowObject())
        return;
    if (!m.dragActive) {
        m.dragAnchor = {mouseX, mouseY};
        m.dragActive = true;
        return;
    }
    const int32_t dx = mouseX - m.dragAnchor.x;
    const int32_t dy = mouseY - m.dragAnchor.y;
    m.dragAnchor = {mouseX, mouseY};
    if ((dx == 0 && dy == 0) || !MoveAllowed(CentreCell(), dx, dy))
        return;
    const ScreenPoint origin = Viewport::GetOrigin();
    Viewport::SetOrigin({origin.x + dx, origin.y + dy});
    hooks.requestScroll(dx, dy);
}

int32_t ArrowKeyScrollDirection(uint8_t pressed, uint8_t held) {
    switch (pressed) {
    case kArrowDown:
        return held & kArrowLeft ? 6 : held & kArrowRight ? 7 : 1;
    case kArrowLeft:
        return held & kArrowUp ? 4 : held & kArrowDown ? 6 : 2;
    case kArrowRight:
        return held & kArrowUp ? 5 : held & kArrowDown ? 7 : 3;
    case kArrowUp:
        return held & kArrowLeft ? 4 : held & kArrowRight ? 5 : 0;
    default:
        return -1;
    }
}

bool ScrollByArrowKey(uint8_t pressed, uint8_t held) {
    const int32_t direction = ArrowKeyScrollDirection(pressed, held);
    return direction >= 0 && Viewport::ScrollStep(uint32_t(direction), true);
}

void SetScreenRect(const EngineRect& rect) {
    Module().screenRect = rect;
}

EngineRect GetScreenRect() {
    return Module().screenRect;
}

void GetBaseTileSize(int32_t& w, int32_t& h) {
    w = kBaseTileWidth;
    h = kBaseTileHeight;
}

void GetBaseBlockSize(int32_t& w, int32_t& h) {
    w = Module().baseBlockWidth;
    h = Module().baseBlockHeight;
}

void SetBaseBlockSize(int32_t w, int32_t h) {
    Module().baseBlockWidth = w;
    Module().baseBlockHeight = h;
}
