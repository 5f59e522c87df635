// Static text of the layouts: a caption (or a text file of the skin) in a
// numbered font, optionally over a background image, word-wrapped, aligned
// and clipped at the bottom; "\tc" centres runs and "\ft" switches fonts.
// "TextHI" reacts to the mouse like a flat button.
#pragma once

#include "ui/control.h"

class Text : public UifControl {
public:
    // Largest text file read for a text widget.
    static constexpr size_t kMaxTextFileSize = 64 * 1024;

    void Init(std::string className, std::string layoutName, Dialog* dialog);
    void SetText(const std::string& text) { text_ = text; }
    const std::string& GetText() const { return text_; }
    const std::string& GetCaption() const { return record_.Caption; }
    const std::string& GetImageName() const { return record_.Image; }
    void SetImageName(std::string name) { record_.Image = std::move(name); }
    void SetDrawFlag(uint32_t flag) { drawFlag_ = flag; }
    void SetWrap(bool wrap) { wrap_ = wrap; }
    bool WasNothingDrawn() const { return nothingDrawn_; }
    virtual void SetLineHeight(int32_t height) { lineHeight_ = height; }
    int32_t GetState() const { return state_; }

    UifControl* HitTest(UiPoint point) override;
    UifControl* HitTestQuiet(UiPoint point) override;
    bool UpdateInput(UiPoint point, bool held) override;
    void Draw(int32_t layer) override;
    void Enable() override {
        disabled_ = false;
        state_ = 0;
    }
    void Disable() override {
        disabled_ = true;
        state_ = 3;
    }

private:
    bool IsHover() const { return record_.Keyword == "TextHI"; }
    bool HasImage() const;
    void DrawPlain(int32_t layer, uint32_t colour);
    void DrawFormatted(int32_t layer, uint32_t colour);

    int32_t state_ = 0;
    int32_t lineHeight_ = 0;
    uint32_t drawFlag_ = 0;
    bool nothingDrawn_ = false;
    bool wrap_ = true;
    int32_t textWidth_ = 0;
    int32_t textHeight_ = 0;
    std::string text_;
};

// A file name of the skin's text folder: no folders, no "..".
bool IsSafeTextFileName(std::string_view name);
