// Screens and the stacks that run them: every top-level mode of the program
// is a Screen; a stack owns its screens and, once per update, runs only the
// one on top according to its state.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <string>

class Screen {
public:
    enum State : int32_t {
        kLeaveRequested = 1,
        kToEnter = 2,
        kRunning = 3,
        kCloseRequested = 4,
        kLeft = 5,
    };

    virtual ~Screen() = default;

    // Enter sets the state to running, Leave to left; the stack looks at
    // none of the results.
    virtual bool Enter() {
        state = kRunning;
        return true;
    }
    virtual bool Leave() {
        state = kLeft;
        return true;
    }
    virtual bool Step() { return true; }
    // The input handler; the map screen ("Idle") reads the frame's input here.
    virtual void OnInput(const void* /*event*/) {}
    virtual void OnMouseDown(const void* /*event*/) {}
    virtual void OnMouseUp(const void* /*event*/) {}
    virtual void OnMouseMove(const void* /*event*/) {}

    std::string name;
    int32_t state = kToEnter;
};

// The name of the map screen at the bottom of the in-game stack.
inline constexpr const char* kIdleScreenName = "Idle";

class ScreenStack {
public:
    ScreenStack() = default;
    // Releases the screens still on the stack.
    virtual ~ScreenStack() = default;
    ScreenStack(const ScreenStack&) = delete;
    ScreenStack& operator=(const ScreenStack&) = delete;

    // Puts the screen on top, state unchanged; false for null.
    bool PushScreen(std::unique_ptr<Screen> screen);
    // Takes the top screen off without leaving it; null when empty.
    std::unique_ptr<Screen> Pop();
    Screen* Top() const { return screens_.empty() ? nullptr : screens_.back().get(); }
    bool Empty() const { return screens_.empty(); }
    size_t Size() const { return screens_.size(); }
    // Deletes every screen, top first, without leaving them.
    void Clear();
    // Leaves and deletes the top screen and has the uncovered one entered
    // again. The "Idle" screen is never closed: with it on top nothing
    // changes and the answer is false. True otherwise, also when empty.
    bool CloseTopScreen();
    // Runs the top screen once according to its state.
    void UpdateScreens();

    // The program's two stacks: the application's and the in-game one.
    static ScreenStack& Application();
    static ScreenStack& InGame();

private:
    std::deque<std::unique_ptr<Screen>> screens_;
};
