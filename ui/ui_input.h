// The window's input events as the interface records them: mouse events
// into the mouse state, keys and typed characters into the dialog manager's
// key input. Typed characters arrive as Unicode from the platform's text
// input (so every keyboard layout types what it shows) and are converted to
// the interface code page; those it lacks are dropped.
#pragma once

#include "platform/video/window.h"
#include "ui/dialog_manager.h"
#include "ui/mouse_input.h"

#include <cstdint>
#include <optional>

// The byte of a Unicode character in code page 1252; none when it has none.
std::optional<uint8_t> InterfaceByteOf(uint32_t codePoint);

// Records one event; true when the interface took it.
bool RecordUiInput(const plat::InputEvent& event, DialogManager& manager, MouseInput& mouse,
                   const UiRect& screen);
