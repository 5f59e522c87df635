// The hover text box of a widget (or of the map): shown beside the mouse
// once the mouse has rested on its owner longer than the delay, measured in
// 6-pixel cells and drawn from a 9-frame background image. A text of digits
// only is a tooltip text id, resolved when drawn.
#pragma once

#include "ui/ui_types.h"

#include <cstdint>
#include <string>

class DialogManager;
class UifControl;

class ToolTip {
public:
    enum State : int32_t { kHidden = 0, kShown = 2 };
    static constexpr int32_t kCell = 6;

    explicit ToolTip(DialogManager& manager) : manager_(manager) {}

    // Stores the owner and the image (when given) and lays out the text.
    void SetText(UifControl* owner, const std::string& text, const std::string* image, uint32_t textColour);
    void LayoutText(const std::string& text);
    // Called every frame by the owner's hit test with whether the mouse is on it.
    void UpdateHover(bool hovered, UiPoint point);
    void Hide();
    void Position(UiPoint point);
    void Draw(int32_t layer);
    // The box's top-left, and where a single-line text would start.
    void GetPlacement(UiPoint& corner, UiPoint& centre) const;

    void SetDelay(uint32_t ms) { delay_ = ms; }
    uint32_t GetDelay() const { return delay_; }
    void SetFont(int32_t font) { font_ = font; }
    int32_t GetFont() const { return font_; }
    void SetTextColour(uint32_t colour) { textColour_ = colour; }
    uint32_t GetTextColour() const { return textColour_; }
    int32_t GetState() const { return state_; }
    int32_t GetColumns() const { return columns_; }
    int32_t GetRows() const { return rows_; }
    const UiRect& Box() const { return box_; }
    const std::string& GetText() const { return text_; }
    const std::string& GetImage() const { return image_; }

private:
    struct Layout {
        int32_t columns = 0, rows = 0, lines = 0, textWidth = 0, lineHeight = 0, totalHeight = 0;
        int32_t widest = 0;
    };
    Layout Measure(const std::string& text, int32_t& font, bool withSwitches) const;

    DialogManager& manager_;
    int32_t state_ = kHidden;
    UiRect box_;
    int32_t columns_ = 0;
    int32_t rows_ = 0;
    uint32_t delay_ = 1;
    uint32_t hoverStamp_ = 0;
    std::string image_;
    std::string text_;
    int32_t lineCount_ = 0;
    uint32_t textColour_ = 0xFFFFFFFF;
    int32_t textWidth_ = 0;
    int32_t lineHeight_ = 0;
    int32_t font_ = 0;
    UifControl* owner_ = nullptr;
};

// A line's font switch: form feed, "ont(", a number, ",", a value, ")".
// Gives the font and the line without the switch; false when the line has
// none or it is incomplete.
bool ParseFontSwitch(std::string_view line, int32_t& font, std::string_view& rest);
