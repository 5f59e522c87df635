// Feeds arbitrary mouse and key input to the demonstration dialog, which
// holds every widget kind: no crash, no sanitizer finding, and the dialog
// manager's state stays consistent (the pressed control belongs to an open
// dialog, the focused edit to a dialog that is open).
#include "files/file_location_hooks.h"
#include "files/virtual_file_system.h"
#include "platform/clock.h"
#include "ui/dialog_manager.h"
#include "ui/widgets/edit.h"
#include "ui/widgets/list_box.h"

#include <cstdlib>
#include <string>

namespace {

void Require(bool condition) {
    if (!condition)
        std::abort();
}

// Every image is 64 pixels wide and 32 high a frame, opaque where it lies.
class FuzzPainter : public UiPainter {
public:
    bool ImageSize(std::string_view image, int32_t frames, UiImageSize& size) override {
        if (image.empty() || frames < 1)
            return false;
        size = {64, 32};
        return true;
    }
    uint32_t ImagePixel(std::string_view, int32_t, int32_t, const UiRect& placed, UiPoint point) override {
        return placed.Contains(point) ? 0xFF000000u : 0;
    }
    void DrawImageFrame(int32_t, std::string_view, int32_t, int32_t, const UiRect&, uint32_t) override {}
    void DrawImageRegion(int32_t, std::string_view, int32_t, const UiRect&, const UiRect&,
                         uint32_t) override {}
    void DrawText(int32_t, int32_t, UiPoint, uint32_t, std::string_view) override {}
    int32_t TextWidth(int32_t, std::string_view text) override { return int32_t(text.size()) * 7; }
    int32_t TextHeight(int32_t) override { return 12; }
    void FillRect(int32_t, const UiRect&, uint32_t) override {}
};

void SetUp() {
    RegisterStandardSourceTypes();
    Require(VfsAddSource("file", std::string(MD_SOURCE_DIR) + "/gamedata"));
    Require(VfsAddVirtualDir("uif", "uif"));
    plat::Clock::UseFake(1);
}

bool IsOpen(const DialogManager& manager, const UifControl* control) {
    for (Dialog* dialog : manager.GetOpenDialogs()) {
        if (control && control->GetDialog() == dialog)
            return true;
    }
    return false;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool ready = (SetUp(), true);
    (void)ready;
    FuzzPainter painter;
    MouseInput mouse;
    HandlerRegistry registry;
    DialogManager manager;
    manager.SetPainter(&painter);
    manager.SetMouse(&mouse);
    manager.SetRegistry(&registry);
    manager.SetScreenSize(800, 600);
    Require(manager.LoadLayout("UIF_WidgetDemo"));
    manager.OpenDialog("UIF_WidgetDemo");
    const UiRect screen{0, 0, 800, 600};
    Dialog* demo = manager.FindDialog("UIF_WidgetDemo");
    for (int32_t i = 0; demo && i < demo->GetControlCount(); ++i) {
        if (auto* list = demo->GetControlAs<ListBox>(i)) {
            for (int r = 0; r < 9; ++r) {
                ListRowTexts row;
                row.text = "row " + std::to_string(r);
                list->AddRow(row);
            }
        }
        // Edits scroll their text or not by the input's first byte.
        if (auto* edit = demo->GetControlAs<Edit>(i); edit && size > 0)
            edit->SetScrolling(data[0] % 2 != 0);
    }

    for (size_t i = 0; i + 2 < size; i += 3) {
        const UiPoint at{int32_t(data[i + 1]) * 800 / 256, int32_t(data[i + 2]) * 600 / 256};
        switch (data[i] % 10) {
        case 0:
            mouse.RecordMove(at, data[i] & 0x0C);
            break;
        case 1:
            mouse.RecordPress(MouseInput::Button::Left, at, data[i] & 0x0C, screen);
            break;
        case 2:
            mouse.RecordRelease(MouseInput::Button::Left, at, data[i] & 0x0C, screen);
            break;
        case 3:
            mouse.RecordDoubleClick(at, 0, screen);
            break;
        case 4:
            mouse.RecordWheel(int32_t(int8_t(data[i + 1])) * 120);
            break;
        case 5:
            manager.SetUiKeyInput(data[i + 1], 1);
            break; // a character
        case 6:
            manager.SetUiKeyInput(data[i + 1] % 3 == 0 ? 37 : (data[i + 1] % 3 == 1 ? 39 : 46), 0);
            break;
        case 7:
            plat::Clock::Advance(data[i + 1] * 4u);
            break;
        case 8:
            if (data[i + 1] == 0)
                manager.CloseDialog("UIF_WidgetDemo");
            break;
        default:
            plat::Clock::Advance(16);
            manager.TakeInputSnapshot();
            manager.UpdateDialogs();
            manager.DrawDialogs();
            mouse.ConsumeMouseEvents();
            manager.ClearUiKeyInput();
            Require(!manager.GetPressedControl() || IsOpen(manager, manager.GetPressedControl()));
            Require(!Edit::Focused() || IsOpen(manager, Edit::Focused()));
            break;
        }
    }
    manager.DestroyAllDialogs();
    Require(Edit::Focused() == nullptr);
    return 0;
}
