#include "ui/screen_stack.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// Writes "<name>.<operation>" for every call into a shared log.
class LoggingScreen : public Screen {
public:
    LoggingScreen(std::string screenName, std::vector<std::string>& log) : log_(log) {
        name = std::move(screenName);
    }
    ~LoggingScreen() override { log_.push_back(name + ".delete"); }
    bool Enter() override {
        log_.push_back(name + ".Enter");
        return Screen::Enter();
    }
    bool Leave() override {
        log_.push_back(name + ".Leave");
        return Screen::Leave();
    }
    bool Step() override {
        log_.push_back(name + ".Step");
        return true;
    }

private:
    std::vector<std::string>& log_;
};

class ScreenStackTest : public ::testing::Test {
protected:
    Screen* Push(const std::string& name) {
        auto screen = std::make_unique<LoggingScreen>(name, log);
        Screen* raw = screen.get();
        EXPECT_TRUE(stack.PushScreen(std::move(screen)));
        return raw;
    }
    // The log since the last call.
    std::vector<std::string> Calls() {
        std::vector<std::string> calls;
        calls.swap(log);
        return calls;
    }
    using Log = std::vector<std::string>;

    std::vector<std::string> log;
    ScreenStack stack;
};

TEST_F(ScreenStackTest, EntersStepsAndReentersTheUncoveredScreen) {
    Screen* idle = Push("Idle");
    stack.UpdateScreens();
    EXPECT_EQ(Calls(), Log{"Idle.Enter"}) << "a new screen is entered, not stepped, in its first update";
    EXPECT_EQ(idle->state, Screen::kRunning);
    stack.UpdateScreens();
    EXPECT_EQ(Calls(), Log{"Idle.Step"});

    Push("FE_Main");
    stack.UpdateScreens();
    stack.UpdateScreens();
    EXPECT_EQ(Calls(), (Log{"FE_Main.Enter", "FE_Main.Step"}))
        << "the covered screen is neither stepped nor left";
    EXPECT_EQ(idle->state, Screen::kRunning);

    EXPECT_TRUE(stack.CloseTopScreen());
    EXPECT_EQ(Calls(), (Log{"FE_Main.Leave", "FE_Main.delete"}));
    EXPECT_EQ(idle->state, Screen::kToEnter);
    stack.UpdateScreens();
    EXPECT_EQ(Calls(), Log{"Idle.Enter"});
}

TEST_F(ScreenStackTest, IdleIsNeverClosed) {
    Screen* idle = Push("Idle");
    EXPECT_FALSE(stack.CloseTopScreen());
    EXPECT_EQ(stack.Top(), idle) << "Idle stays on the stack, alive";
    EXPECT_TRUE(Calls().empty());

    idle->state = Screen::kCloseRequested;
    stack.UpdateScreens();
    EXPECT_EQ(stack.Top(), idle);
    EXPECT_EQ(stack.Size(), 1u);
    EXPECT_TRUE(Calls().empty());

    // Names are compared exactly.
    for (const char* name : {"Idle2", "idle"}) {
        Push(name);
        EXPECT_TRUE(stack.CloseTopScreen()) << name;
        EXPECT_EQ(Calls(), (Log{std::string(name) + ".Leave", std::string(name) + ".delete"}));
    }
}

TEST_F(ScreenStackTest, StatesDecideWhatTheUpdateDoes) {
    Push("Idle");
    Screen* top = Push("UIF_Popup");
    struct Case {
        int32_t state;
        Log calls;
        size_t size;
    };
    const Case cases[] = {
        {Screen::kLeaveRequested, {"UIF_Popup.Leave"}, 2},
        {Screen::kLeft, {}, 2},
        {99, {}, 2},
        // A close request closes the screen once; nothing is pushed back.
        {Screen::kCloseRequested, {"UIF_Popup.Leave", "UIF_Popup.delete"}, 1},
    };
    for (const Case& c : cases) {
        top->state = c.state;
        stack.UpdateScreens();
        EXPECT_EQ(Calls(), c.calls) << c.state;
        EXPECT_EQ(stack.Size(), c.size) << c.state;
    }
    EXPECT_EQ(stack.Top()->state, Screen::kToEnter);
}

TEST_F(ScreenStackTest, PushPopAndClear) {
    EXPECT_FALSE(stack.PushScreen(nullptr));
    EXPECT_EQ(stack.Pop(), nullptr);
    EXPECT_TRUE(stack.CloseTopScreen()) << "an empty stack closes nothing and succeeds";
    stack.UpdateScreens();

    Push("Idle");
    Push("FE_Main");
    std::unique_ptr<Screen> popped = stack.Pop();
    ASSERT_TRUE(popped);
    EXPECT_EQ(popped->name, "FE_Main");
    EXPECT_TRUE(Calls().empty()) << "a pop neither leaves nor deletes";
    popped.reset();
    Calls();

    Push("FE_Options");
    stack.Clear();
    EXPECT_EQ(Calls(), (Log{"FE_Options.delete", "Idle.delete"})) << "top first, never left";
    EXPECT_TRUE(stack.Empty());
}

} // namespace
