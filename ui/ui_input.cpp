#include "ui/ui_input.h"

#include "ui/widgets/edit.h"

namespace {

// Code page 1252 at 0x80 to 0x9F; the rest of 0xA0 to 0xFF is Latin-1.
constexpr uint16_t kHighCharacters[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                          0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                          0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                          0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

uint32_t KeyFlagsOf(const plat::InputEvent& event, const MouseInput& mouse) {
    uint32_t flags = 0;
    if (mouse.IsLeftButtonDown())
        flags |= 0x01;
    if (mouse.IsRightButtonDown())
        flags |= 0x02;
    if (event.modifiers & plat::kShift)
        flags |= MouseInput::kShiftFlag;
    if (event.modifiers & plat::kCtrl)
        flags |= MouseInput::kControlFlag;
    return flags;
}

} // namespace

std::optional<uint8_t> InterfaceByteOf(uint32_t c) {
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF))
        return uint8_t(c);
    for (uint8_t i = 0; i < 32; ++i) {
        if (kHighCharacters[i] == c)
            return uint8_t(0x80 + i);
    }
    return std::nullopt;
}

bool RecordUiInput(const plat::InputEvent& event, DialogManager& manager, MouseInput& mouse,
                   const UiRect& screen) {
    using Type = plat::InputEvent::Type;
    const UiPoint at{event.x, event.y};
    switch (event.type) {
    case Type::MouseMove:
        mouse.RecordMove(at, KeyFlagsOf(event, mouse));
        return true;
    case Type::MouseDown:
    case Type::MouseUp: {
        if (event.button != 1 && event.button != 3)
            return false;
        const auto button = event.button == 1 ? MouseInput::Button::Left : MouseInput::Button::Right;
        if (event.type == Type::MouseDown && button == MouseInput::Button::Left && event.clicks == 2)
            mouse.RecordDoubleClick(at, KeyFlagsOf(event, mouse), screen);
        else if (event.type == Type::MouseDown)
            mouse.RecordPress(button, at, KeyFlagsOf(event, mouse), screen);
        else
            mouse.RecordRelease(button, at, KeyFlagsOf(event, mouse), screen);
        return true;
    }
    case Type::Wheel:
        // One step of the wheel is 120 units.
        mouse.RecordWheel(event.wheel * 120);
        return true;
    case Type::KeyDown:
        switch (event.key) {
        case plat::vk::kLeft:
        case plat::vk::kRight:
        case plat::vk::kDelete:
            manager.SetUiKeyInput(uint32_t(event.key), kUiKeyKindKey);
            return true;
        case plat::vk::kReturn:
        case plat::vk::kBack:
        case plat::vk::kEscape:
            // Characters of their own, as typed characters are.
            manager.SetUiKeyInput(uint32_t(event.key), kUiKeyKindCharacter);
            return true;
        default:
            return false;
        }
    case Type::Text:
        if (const std::optional<uint8_t> byte = InterfaceByteOf(event.text); byte && *byte >= 0x20) {
            manager.SetUiKeyInput(*byte, kUiKeyKindCharacter);
            return true;
        }
        return false;
    default:
        return false;
    }
}
