#include "ui/mouse_input.h"

void MouseInput::RecordMove(UiPoint at, uint32_t keyFlags) {
    position_ = at;
    keyFlags_ = keyFlags;
}

void MouseInput::RecordPress(Button button, UiPoint at, uint32_t keyFlags, const UiRect& screen) {
    if (!screen.Contains(at))
        return;
    position_ = at;
    if (button == Button::Left) {
        left_ = kDown;
        keyFlags_ = keyFlags;
    } else {
        right_ = kDown;
    }
}

void MouseInput::RecordRelease(Button button, UiPoint at, uint32_t keyFlags, const UiRect& screen) {
    if (!screen.Contains(at))
        return;
    position_ = at;
    if (button == Button::Left) {
        left_ = kReleased;
        keyFlags_ = keyFlags;
    } else {
        right_ = kReleased;
    }
}

void MouseInput::RecordDoubleClick(UiPoint at, uint32_t keyFlags, const UiRect& screen) {
    position_ = at;
    doubleClick_ = true;
    RecordPress(Button::Left, at, keyFlags, screen);
}

int32_t MouseInput::ConsumeMouseEvents() {
    if (left_ == kReleased)
        left_ = kIdle;
    if (right_ == kReleased)
        right_ = kIdle;
    doubleClick_ = false;
    keyFlags_ = 0;
    wheel_ = 0;
    return 0;
}

bool MouseInput::SetCursorShape(int32_t n) {
    if (cursorVisible_) {
        shape_ = n;
        if (!host_)
            return true;
        switch (n) {
        case 1:
        case 2:
            host_->SetStockCursor(StockCursor::SizeNorthSouth);
            break;
        case 3:
        case 4:
            host_->SetStockCursor(StockCursor::SizeWestEast);
            break;
        case 5:
        case 8:
            host_->SetStockCursor(StockCursor::SizeNorthWestSouthEast);
            break;
        case 6:
        case 7:
            host_->SetStockCursor(StockCursor::SizeNorthEastSouthWest);
            break;
        case 9:
            host_->SetStockCursor(StockCursor::Arrow);
            break;
        default:
            break;
        }
        return true;
    }
    if (host_) {
        engineCursor_ = host_->CursorImageOf(n);
        host_->SetCursorImage(engineCursor_);
    }
    return true;
}

bool MouseInput::ToggleCursorVisible() {
    cursorVisible_ = !cursorVisible_;
    if (host_)
        host_->ShowSystemCursor(cursorVisible_);
    if (cursorVisible_) {
        engineCursor_ = CursorImage();
        if (host_)
            host_->SetCursorImage(engineCursor_);
    }
    return cursorVisible_;
}

int32_t MouseInput::GetCursorOffset() const {
    return cursorVisible_ ? kSystemCursorOffset : engineCursor_.frameWidth;
}

MouseInput& MouseInput::Program() {
    static MouseInput input;
    return input;
}
