// What the viewports need from the layers above the engine (the map, the map
// view, the mouse, the screens and the main window), handed in as callbacks
// by whoever owns them. Every hook has a harmless default, so the engine
// runs alone in tools and tests.
#pragma once

#include <cstdint>
#include <functional>

struct ViewHooks {
    // The map's size in tiles.
    std::function<int32_t()> mapWidth;
    std::function<int32_t()> mapHeight;
    // The map view: redraw everything; scroll the kept picture by (dx, dy).
    std::function<void()> requestFullRedraw;
    std::function<void(int32_t dx, int32_t dy)> requestScroll;
    // The mouse as the interface stored it for this frame, in client pixels.
    std::function<void(int32_t& x, int32_t& y)> mousePosition;
    // The cursor as the platform reports it now, in client pixels.
    std::function<void(int32_t& x, int32_t& y)> cursorPosition;
    std::function<bool()> isRightButtonDown;
    std::function<bool()> isRightButtonReleased;
    std::function<bool()> isMouseOverDialog;
    // 1 to 9: the border arrows and the normal arrow.
    std::function<void(int32_t shape)> setMouseCursorShape;
    std::function<bool()> hasTopScreen;
    std::function<bool()> isFrontEndScreenOnTop;
    // Whether the main window holds its optional second object.
    std::function<bool()> hasSecondWindowObject;
};

// Replaces the hooks; empty members take their defaults (a 256 x 256 map,
// the mouse at (0, 0), no buttons, no screens, no requests).
void SetViewHooks(ViewHooks hooks);
const ViewHooks& GetViewHooks();
