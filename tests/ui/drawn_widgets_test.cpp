// The demonstration dialog drawn by the engine on the GL device, off-screen,
// checked by its pixels: a button's caption, a list's rows, the scroll
// bar's knob where the list stands, and an edit's caret.
#include "data/file_locations.h"
#include "engine/demo_scene.h"
#include "engine/display_mode.h"
#include "engine/font_manager.h"
#include "engine/frame.h"
#include "engine/graphic_sets.h"
#include "engine/viewport.h"
#include "files/virtual_file_system.h"
#include "platform/clock.h"
#include "platform/video/gl_render_device.h"
#include "platform/video/window.h"
#include "ui/dialog_manager.h"
#include "ui/widgets/button.h"
#include "ui/widgets/edit.h"
#include "ui/widgets/list_box.h"
#include "ui/widgets/scroll_bar.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

constexpr int32_t kWidth = 1024, kHeight = 768;

class DrawnWidgetsTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string error;
        ASSERT_TRUE(Engine::DemoScene::MountInstallation("gamedata", error)) << error;
        ASSERT_TRUE(VfsAddVirtualDir("uif", "uif"));
        TexturesTable::SetVirtualDirName(GraphicSets::kInterfaceKind, "gfx_uif");
        FontManager::SetDefinitionFile("gamedata/config/fonts.xml");
        plat::PreferOffscreenVideo();
        ASSERT_TRUE(window.Open("ui test", kWidth, kHeight, false, true)) << window.Error();
        device = plat::MakeGlRenderDevice(window, &error);
        ASSERT_TRUE(device) << error;
        ASSERT_TRUE(Engine::EngineInit(device.get(), {}, DisplayMode{kWidth, kHeight, 16, 60, 0}));
        started = true;
        Viewport::SetMainRect({0, 0, kWidth, kHeight});
        *Engine::StatsOverlayFlag() = 0;
        FontManager::Init(true);
        plat::Clock::UseFake(1000);
        manager = std::make_unique<DialogManager>();
        manager->SetMouse(&mouse);
        manager->SetRegistry(&registry);
        manager->SetScreenSize(kWidth, kHeight);
        ASSERT_TRUE(manager->LoadLayout("UIF_WidgetDemo"));
        manager->OpenDialog("UIF_WidgetDemo");
        dialog = manager->FindDialog("UIF_WidgetDemo");
        ASSERT_TRUE(dialog);
    }
    void TearDown() override {
        if (manager)
            manager->DestroyAllDialogs();
        manager.reset();
        if (started)
            Engine::ReleaseEngine();
        FontManager::Reset();
        device.reset();
        window.Close();
        VfsShutdown();
        plat::Clock::UseReal();
    }
    // Draws a frame and reads the picture back.
    void Frame() {
        plat::Clock::Advance(16);
        ASSERT_TRUE(Engine::BeginFrame());
        manager->TakeInputSnapshot();
        manager->UpdateDialogs();
        manager->DrawDialogs();
        ASSERT_TRUE(Engine::PresentFrame());
        mouse.ConsumeMouseEvents();
        manager->ClearUiKeyInput();
        ASSERT_TRUE(device->ReadPixels(plat::RenderTarget::BackBuffer, {0, 0, kWidth, kHeight}, pixels));
    }
    uint32_t At(int32_t x, int32_t y) const { return pixels[size_t(y) * kWidth + size_t(x)] & 0xFFFFFF; }
    static bool Near(uint32_t a, uint32_t b) {
        for (int shift = 0; shift < 24; shift += 8) {
            if (std::abs(int((a >> shift) & 0xFF) - int((b >> shift) & 0xFF)) > 12)
                return false;
        }
        return true;
    }
    // How many pixels of the rectangle are near the colour.
    int32_t Count(const UiRect& r, uint32_t colour) const {
        int32_t n = 0;
        for (int32_t y = r.top; y < r.bottom; ++y)
            for (int32_t x = r.left; x < r.right; ++x)
                n += Near(At(x, y), colour);
        return n;
    }
    // How many pixels are light: the small fonts' glyphs are smoothed, so
    // white text shows as light pixels over a darker face.
    int32_t Light(const UiRect& r) const {
        int32_t n = 0;
        for (int32_t y = r.top; y < r.bottom; ++y)
            for (int32_t x = r.left; x < r.right; ++x) {
                const uint32_t c = At(x, y);
                n += ((c >> 16) & 0xFF) >= 0xA0 && ((c >> 8) & 0xFF) >= 0xA0 && (c & 0xFF) >= 0xA0;
            }
        return n;
    }
    UifControl* Control(int32_t n) const { return dialog->GetControl(n); }

    plat::Window window;
    std::unique_ptr<plat::RenderDevice> device;
    bool started = false;
    MouseInput mouse;
    HandlerRegistry registry;
    std::unique_ptr<DialogManager> manager;
    Dialog* dialog = nullptr;
    std::vector<uint32_t> pixels;
};

constexpr uint32_t kFace = 0x506A86, kRow = 0x222C38, kGold = 0xE0B040;

TEST_F(DrawnWidgetsTest, CaptionsRowsKnobAndCaretShowInThePicture) {
    auto* button = dynamic_cast<Button*>(Control(3));
    auto* bar = dynamic_cast<ScrollBar*>(Control(12));
    auto* list = dynamic_cast<ListBox*>(Control(13));
    auto* edit = dynamic_cast<Edit*>(Control(10));
    ASSERT_TRUE(button && bar && list && edit);

    Frame();
    const UiRect face = button->GetLayoutRecord().Rect;
    EXPECT_EQ(Light(face), 0) << "no caption yet";
    EXPECT_GT(Count(face, kFace), face.Width() * face.Height() / 2);

    button->SetText("Okay");
    for (int r = 0; r < 40; ++r) {
        ListRowTexts row;
        row.text = "Row " + std::to_string(r);
        list->AddRow(row);
    }
    Frame();
    EXPECT_GT(Light(face), 10) << "the caption is drawn over the face";
    const UiRect firstRow = list->RowScreenRect(0);
    EXPECT_GT(Count(firstRow, kRow), firstRow.Width() * firstRow.Height() / 2) << "the row's background";
    EXPECT_GT(Light(firstRow), 6) << "the row's text";

    // The knob stands at the track's start, then at its end with the list.
    const UiRect track = bar->GetLayoutRecord().Rect;
    EXPECT_TRUE(Near(At(track.left + 8, bar->KnobRect().top + 3), kFace));
    EXPECT_FALSE(Near(At(track.left + 8, track.bottom - 3), kFace));
    list->ScrollTo(36);
    Frame();
    EXPECT_EQ(list->GetFirstVisibleRow(), 36);
    EXPECT_TRUE(Near(At(track.left + 8, track.bottom - 3), kFace)) << "the knob moved to the end";

    // A click gives the edit the focus; its caret blinks on.
    const UiRect field = edit->GetLayoutRecord().Rect;
    mouse.RecordMove({field.left + 100, field.top + 10}, 0);
    mouse.RecordPress(MouseInput::Button::Left, {field.left + 100, field.top + 10}, 0,
                      {0, 0, kWidth, kHeight});
    Frame();
    mouse.RecordRelease(MouseInput::Button::Left, {field.left + 100, field.top + 10}, 0,
                        {0, 0, kWidth, kHeight});
    Frame();
    ASSERT_TRUE(edit->IsEditing());
    for (int i = 0; i < 30 && !edit->IsCaretVisible(); ++i)
        Frame();
    ASSERT_TRUE(edit->IsCaretVisible());
    Frame();
    const UiPoint caret = edit->CaretPosition();
    EXPECT_GT(Count({caret.x, caret.y, caret.x + 2, caret.y + 16}, kGold), 20) << "the caret at " << caret.x;
}

} // namespace
