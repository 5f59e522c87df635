#include "ui/mouse_input.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

const UiRect kScreen{0, 0, 1024, 768};

TEST(MouseInput, RecordsOneCycleOfPressAndRelease) {
    MouseInput mouse;
    // Press and release before the frame: the frame sees only the release.
    mouse.RecordPress(MouseInput::Button::Left, {10, 10}, MouseInput::kShiftFlag, kScreen);
    mouse.RecordRelease(MouseInput::Button::Left, {12, 10}, 0, kScreen);
    EXPECT_FALSE(mouse.IsLeftButtonDown());
    EXPECT_TRUE(mouse.IsLeftButtonReleased());
    mouse.ConsumeMouseEvents();
    EXPECT_FALSE(mouse.IsLeftButtonReleased());

    // A held button survives the reset; wheel and flags do not.
    mouse.RecordPress(MouseInput::Button::Right, {5, 5}, 0, kScreen);
    mouse.RecordMove({6, 6}, MouseInput::kControlFlag);
    mouse.RecordWheel(-120);
    mouse.ConsumeMouseEvents();
    EXPECT_TRUE(mouse.IsRightButtonDown());
    EXPECT_EQ(mouse.GetWheelDelta(), 0);
    EXPECT_EQ(mouse.KeyFlags(), 0u);
    EXPECT_EQ(mouse.GetMousePos(), (UiPoint{6, 6}));

    // Outside the screen a press records nothing, so a drag in gives a release only.
    MouseInput outside;
    outside.RecordPress(MouseInput::Button::Left, {2000, 10}, 0, kScreen);
    EXPECT_FALSE(outside.IsLeftButtonDown());
    EXPECT_EQ(outside.GetMousePos(), (UiPoint{0, 0}));
    outside.RecordRelease(MouseInput::Button::Left, {20, 10}, 0, kScreen);
    EXPECT_TRUE(outside.IsLeftButtonReleased());

    // A double click is a double click and a new press.
    MouseInput twice;
    twice.RecordDoubleClick({30, 30}, 0, kScreen);
    EXPECT_TRUE(twice.IsDoubleClick());
    EXPECT_TRUE(twice.IsLeftButtonDown());
    twice.ConsumeMouseEvents();
    EXPECT_FALSE(twice.IsDoubleClick());
    EXPECT_TRUE(twice.IsLeftButtonDown());
}

class RecordingCursorHost : public CursorHost {
public:
    void SetStockCursor(StockCursor cursor) override { stock.push_back(cursor); }
    void ShowSystemCursor(bool show) override { shown.push_back(show); }
    void SetCursorImage(const CursorImage& image) override { images.push_back(image.frameWidth); }
    CursorImage CursorImageOf(int32_t n) override {
        CursorImage image;
        image.texture = TextureHandle(n);
        image.frameWidth = 10 + n;
        return image;
    }
    std::vector<StockCursor> stock;
    std::vector<bool> shown;
    std::vector<int32_t> images;
};

TEST(MouseInput, CursorShapesAndTheEngineCursor) {
    MouseInput mouse;
    RecordingCursorHost host;
    mouse.SetCursorHost(&host);
    for (int32_t n : {1, 4, 8, 6, 9, 0, 10})
        EXPECT_TRUE(mouse.SetCursorShape(n));
    EXPECT_EQ(host.stock,
              (std::vector<StockCursor>{StockCursor::SizeNorthSouth, StockCursor::SizeWestEast,
                                        StockCursor::SizeNorthWestSouthEast,
                                        StockCursor::SizeNorthEastSouthWest, StockCursor::Arrow}));
    EXPECT_EQ(mouse.CursorShape(), 10);
    EXPECT_EQ(mouse.GetCursorOffset(), 20);

    EXPECT_FALSE(mouse.ToggleCursorVisible());
    mouse.SetCursorShape(3);
    EXPECT_EQ(mouse.CursorShape(), 10) << "the engine cursor leaves the stored shape";
    EXPECT_EQ(mouse.GetCursorOffset(), 13);
    EXPECT_TRUE(mouse.ToggleCursorVisible());
    EXPECT_EQ(host.shown, (std::vector<bool>{false, true}));
    EXPECT_EQ(host.images, (std::vector<int32_t>{13, 0})) << "showing the platform cursor drops the image";
    EXPECT_EQ(mouse.GetCursorOffset(), 20);
}

} // namespace
