#include "engine/view_hooks.h"

#include <utility>

namespace {

ViewHooks WithDefaults(ViewHooks hooks) {
    if (!hooks.mapWidth)
        hooks.mapWidth = [] { return int32_t(256); };
    if (!hooks.mapHeight)
        hooks.mapHeight = [] { return int32_t(256); };
    if (!hooks.requestFullRedraw)
        hooks.requestFullRedraw = [] {};
    if (!hooks.requestScroll)
        hooks.requestScroll = [](int32_t, int32_t) {};
    if (!hooks.mousePosition)
        hooks.mousePosition = [](int32_t& x, int32_t& y) { x = y = 0; };
    if (!hooks.cursorPosition)
        hooks.cursorPosition = hooks.mousePosition;
    if (!hooks.isRightButtonDown)
        hooks.isRightButtonDown = [] { return false; };
    if (!hooks.isRightButtonReleased)
        hooks.isRightButtonReleased = [] { return false; };
    if (!hooks.isMouseOverDialog)
        hooks.isMouseOverDialog = [] { return false; };
    if (!hooks.setMouseCursorShape)
        hooks.setMouseCursorShape = [](int32_t) {};
    if (!hooks.hasTopScreen)
        hooks.hasTopScreen = [] { return false; };
    if (!hooks.isFrontEndScreenOnTop)
        hooks.isFrontEndScreenOnTop = [] { return false; };
    if (!hooks.hasSecondWindowObject)
        hooks.hasSecondWindowObject = [] { return false; };
    return hooks;
}

ViewHooks& Hooks() {
    static ViewHooks hooks = WithDefaults({});
    return hooks;
}

} // namespace

void SetViewHooks(ViewHooks hooks) {
    Hooks() = WithDefaults(std::move(hooks));
}

const ViewHooks& GetViewHooks() {
    return Hooks();
}
