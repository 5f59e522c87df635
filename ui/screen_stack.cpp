#include "ui/screen_stack.h"

bool ScreenStack::PushScreen(std::unique_ptr<Screen> screen) {
    if (!screen)
        return false;
    screens_.push_back(std::move(screen));
    return true;
}

std::unique_ptr<Screen> ScreenStack::Pop() {
    if (screens_.empty())
        return nullptr;
    std::unique_ptr<Screen> top = std::move(screens_.back());
    screens_.pop_back();
    return top;
}

void ScreenStack::Clear() {
    while (!screens_.empty())
        screens_.pop_back();
}

bool ScreenStack::CloseTopScreen() {
    Screen* top = Top();
    if (top && top->name == kIdleScreenName)
        return false;
    if (std::unique_ptr<Screen> closed = Pop())
        closed->Leave();
    if (Screen* uncovered = Top())
        uncovered->state = Screen::kToEnter;
    return true;
}

void ScreenStack::UpdateScreens() {
    Screen* top = Top();
    if (!top)
        return;
    switch (top->state) {
    case Screen::kLeaveRequested:
        top->Leave();
        break;
    case Screen::kToEnter:
        top->Enter();
        top->state = Screen::kRunning;
        break;
    case Screen::kRunning:
        top->Step();
        break;
    case Screen::kCloseRequested:
        // Closes any screen but "Idle", which stays as it is.
        CloseTopScreen();
        break;
    default:
        break;
    }
}

ScreenStack& ScreenStack::Application() {
    static ScreenStack stack;
    return stack;
}

ScreenStack& ScreenStack::InGame() {
    static ScreenStack stack;
    return stack;
}
