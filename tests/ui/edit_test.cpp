#include "ui/ui_input.h"
#include "ui/widgets/edit.h"

#include "ui_driver.h"

#include <gtest/gtest.h>

namespace {

std::vector<std::string> done;
UiDriver* driver = nullptr;
void Done(UifControl* c) {
    Dialog* dialog = driver->manager.FindDialog("UIF_Edits");
    done.push_back(std::string(c ? "widget" : "null") + ":" + dialog->GetControlAs<Edit>(1)->GetText());
}

class EditTest : public ::testing::Test {
protected:
    void SetUp() override {
        driver = &ui;
        done.clear();
        ui.painter.images["dlg"] = {400, 300};
        ui.painter.images["field"] = {200, 80}; // 4 frames of 200 x 20
        ui.registry.Register("UIF_Edits", "Done", &Done);
        std::string text;
        for (const LineSpec& line : {
                 LineSpec("Dialog", 0, 0, 0, 400, 300).Image("dlg"),
                 LineSpec("Edit", 1, 10, 10, 210, 30, "Done").Image("field"),
                 LineSpec("EditHI", 2, 10, 50, 70, 70, "Done").Image("field"),
             })
            text += LayoutLine(line);
        ui.WriteLayout("UIF_Edits", text + "END\n");
        ASSERT_TRUE(ui.manager.LoadLayout("UIF_Edits")) << LastAssetProblem();
        ui.manager.OpenDialog("UIF_Edits");
        dialog = ui.manager.FindDialog("UIF_Edits");
        edit = dialog->GetControlAs<Edit>(1);
        small = dialog->GetControlAs<Edit>(2);
        ASSERT_TRUE(edit && small);
        edit->SetText("old");
        ui.Frame();
    }
    void Focus(Edit* which) {
        const UiRect r = which->GetLayoutRecord().Rect;
        ui.Click(r.left + 5, r.top + 5);
    }
    void Type(const std::string& text) {
        for (char c : text) {
            ui.manager.SetUiKeyInput(uint8_t(c), kUiKeyKindCharacter);
            ui.Frame();
        }
    }
    void Key(uint32_t key, uint32_t kind = kUiKeyKindKey) {
        ui.manager.SetUiKeyInput(key, kind);
        ui.Frame();
    }

    UiDriver ui;
    Dialog* dialog = nullptr;
    Edit* edit = nullptr;
    Edit* small = nullptr;
};

TEST_F(EditTest, TypingReplacesThenEditsAtTheCaret) {
    Focus(edit);
    ASSERT_TRUE(edit->IsEditing());
    EXPECT_EQ(Edit::Focused(), edit);
    EXPECT_TRUE(edit->IsReplacingAll());
    Type("ab");
    EXPECT_EQ(edit->GetText(), "ab") << "the first character replaces the whole text";
    Key(kUiKeyLeft);
    Type("X");
    EXPECT_EQ(edit->GetText(), "aXb");
    EXPECT_EQ(edit->CaretIndex(), 2);
    EXPECT_EQ(edit->CaretPosition().x, edit->GetLayoutRecord().Rect.left + 12);
    Key(kUiKeyDelete);
    EXPECT_EQ(edit->GetText(), "aX");
    Key(kUiCharBackspace, kUiKeyKindCharacter);
    EXPECT_EQ(edit->GetText(), "a");
    Key(kUiKeyRight);
    EXPECT_EQ(done, std::vector<std::string>{"widget:old"}) << "only the focus click fired";
    done.clear();
    Key(kUiKeyEnter, kUiKeyKindCharacter);
    EXPECT_EQ(done, std::vector<std::string>{"null:a"}) << "Enter runs the handler once";
    EXPECT_FALSE(edit->IsEditing());
    EXPECT_EQ(Edit::Focused(), nullptr);
}

TEST_F(EditTest, LeftAndRightKeepTheTextAndBackspaceClearsIt) {
    Focus(edit);
    Key(kUiKeyRight);
    EXPECT_FALSE(edit->IsReplacingAll());
    EXPECT_EQ(edit->GetText(), "old");
    Focus(small);
    Focus(edit);
    Key(kUiCharBackspace, kUiKeyKindCharacter);
    EXPECT_EQ(edit->GetText(), "");
}

TEST_F(EditTest, LengthsAreBounded) {
    edit->SetMaxLength(4);
    edit->SetText("abcdefgh");
    EXPECT_EQ(edit->GetText(), "abcd");
    Focus(edit);
    Key(kUiKeyRight);
    Type("xyz");
    EXPECT_EQ(edit->GetText(), "abcd") << "the maximum length refuses more";

    // The box is full: a 60-pixel box takes (60 - 0) / 6 - 1 characters.
    Focus(small);
    Type("1234567890123");
    EXPECT_EQ(small->GetText(), "123456789");

    // A text replaced under the caret never leaves the caret past its end.
    Focus(edit);
    Key(kUiKeyRight);
    edit->SetText("");
    Key(kUiKeyDelete);
    Key(kUiCharBackspace, kUiKeyKindCharacter);
    Type("q");
    EXPECT_EQ(edit->GetText(), "q");
}

TEST_F(EditTest, AnotherEditTakingTheFocusRunsTheFirstOnesHandler) {
    Focus(edit);
    Type("new");
    done.clear();
    Focus(small);
    EXPECT_EQ(done, (std::vector<std::string>{"null:new", "widget:new"})) << "focus loss, then the click";
    EXPECT_FALSE(edit->IsEditing());
    EXPECT_TRUE(small->IsEditing());
}

TEST_F(EditTest, TheCaretBlinks) {
    Focus(edit);
    const bool first = edit->IsCaretVisible();
    for (int i = 0; i < 24; ++i) // 16 ms a frame: past 350 ms
        ui.Frame();
    EXPECT_NE(edit->IsCaretVisible(), first);
}

TEST(UiInput, TypedCharactersBecomeInterfaceBytes) {
    const std::pair<uint32_t, int32_t> cases[] = {
        {'a', 'a'}, {0xE9, 0xE9}, {0x20AC, 0x80}, {0x0178, 0x9F}, {0x4E2D, -1}, {0x1F600, -1}, {0x81, 0x81},
    };
    for (const auto& [unicode, byte] : cases) {
        const std::optional<uint8_t> got = InterfaceByteOf(unicode);
        EXPECT_EQ(got ? int32_t(*got) : -1, byte) << unicode;
    }

    DialogManager manager;
    MouseInput mouse;
    const UiRect screen{0, 0, 640, 480};
    plat::InputEvent event;
    event.type = plat::InputEvent::Type::Text;
    event.text = 0x20AC;
    EXPECT_TRUE(RecordUiInput(event, manager, mouse, screen));
    EXPECT_EQ(manager.GetUiKeyInput(), (uint64_t(kUiKeyKindCharacter) << 32) | 0x80);
    event.text = 0x4E2D;
    EXPECT_FALSE(RecordUiInput(event, manager, mouse, screen))
        << "characters the code page lacks are dropped";

    event = {};
    event.type = plat::InputEvent::Type::KeyDown;
    event.key = plat::vk::kBack;
    EXPECT_TRUE(RecordUiInput(event, manager, mouse, screen));
    EXPECT_EQ(manager.GetUiKeyInput(), (uint64_t(kUiKeyKindCharacter) << 32) | 8);
    event.key = plat::vk::kLeft;
    EXPECT_TRUE(RecordUiInput(event, manager, mouse, screen));
    EXPECT_EQ(manager.GetUiKeyInput(), uint64_t(kUiKeyLeft));

    event = {};
    event.type = plat::InputEvent::Type::MouseDown;
    event.button = 1;
    event.x = 20;
    event.y = 30;
    event.modifiers = plat::kShift;
    RecordUiInput(event, manager, mouse, screen);
    EXPECT_TRUE(mouse.IsLeftButtonDown());
    EXPECT_EQ(mouse.KeyFlags(), MouseInput::kShiftFlag);
    EXPECT_FALSE(mouse.IsDoubleClick());
    event.clicks = 2;
    RecordUiInput(event, manager, mouse, screen);
    EXPECT_TRUE(mouse.IsDoubleClick()) << "the second press of a double click";
}

TEST_F(EditTest, AScrollingEditShowsAWindowThatFollowsTheCaret) {
    // 60 pixels wide: nine characters of 6 pixels fit.
    small->SetScrolling(true);
    Focus(small);
    const int32_t left = small->GetLayoutRecord().Rect.left;
    Type("abcdefghijklmno");
    EXPECT_EQ(small->GetText(), "abcdefghijklmno") << "typing goes on past the box's width";
    EXPECT_EQ(small->GetVisibleText(), "ghijklmno");
    EXPECT_EQ(small->CaretPosition().x, left + 54);
    for (int i = 0; i < 9; ++i)
        Key(kUiKeyLeft);
    EXPECT_EQ(small->CaretIndex(), 6);
    EXPECT_EQ(small->CaretPosition().x, left);
    Key(kUiKeyLeft);
    EXPECT_EQ(small->GetFirstVisible(), 0) << "at the left edge the window steps back";
    EXPECT_EQ(small->GetVisibleText(), "abcdefghi");
    EXPECT_EQ(small->CaretIndex(), 6);
    EXPECT_EQ(small->CaretPosition().x, left + 36);
    for (int i = 0; i < 4; ++i)
        Key(kUiKeyRight);
    EXPECT_EQ(small->GetFirstVisible(), 8) << "at the right edge it steps on";
    EXPECT_EQ(small->GetVisibleText(), "ijklmno");
    EXPECT_EQ(small->CaretIndex(), 9);
    Key(kUiCharBackspace, kUiKeyKindCharacter);
    EXPECT_EQ(small->GetText(), "abcdefghjklmno");
    EXPECT_EQ(small->GetFirstVisible(), 0) << "deleting at the left edge steps back";
    EXPECT_EQ(small->GetVisibleText(), "abcdefghj");
    EXPECT_EQ(small->CaretPosition().x, left + 48);
    Key(kUiKeyDelete);
    EXPECT_EQ(small->GetText(), "abcdefghklmno");
    EXPECT_TRUE(ui.painter.Find("abcdefghk")) << "the window is drawn";
    small->SetMaxLength(14);
    Type("XYZ");
    EXPECT_EQ(small->GetText(), "abcdefghXklmno") << "the maximum length holds";
    Key(kUiKeyEnter, kUiKeyKindCharacter);
    EXPECT_FALSE(small->IsEditing());
    const std::string shown = small->GetVisibleText();
    ASSERT_FALSE(shown.empty());
    small->Clear();
    ui.Frame();
    EXPECT_EQ(small->GetVisibleText(), "");
    EXPECT_FALSE(ui.painter.Find(shown)) << "a cleared edit shows nothing";
}

} // namespace
