// The base of every widget made from a layout line: visibility, the
// disabled flag, the fire and auto-repeat bookkeeping, the colour with its
// alpha, the names of its layout and handler class, its tooltip and the
// dialog that owns it. The dialog and the dialog manager drive every widget
// through these operations.
#pragma once

#include "ui/handler_registry.h"
#include "ui/layout_record.h"
#include "ui/tooltip.h"
#include "ui/ui_types.h"

#include <cstdint>
#include <memory>
#include <string>

class Dialog;
class DialogManager;

class UifControl {
public:
    using HoverCallback = void (*)(UifControl*);

    UifControl() = default;
    virtual ~UifControl() = default;
    UifControl(const UifControl&) = delete;
    UifControl& operator=(const UifControl&) = delete;

    // The names and the owning dialog, given by the loader.
    void Attach(std::string className, std::string layoutName, Dialog* dialog);

    virtual const UifLayoutRecord& GetLayoutRecord() const { return record_; }
    // The names the screens use for the record and the tooltip text.
    const UifLayoutRecord& GetInfo() const { return GetLayoutRecord(); }
    void SetToolTip(const std::string& text) { SetToolTipText(text); }
    UifLayoutRecord& Record() { return record_; }
    const std::string& GetTypeName() const { return record_.Keyword; }
    const std::string& GetClassName() const { return className_; }
    const std::string& GetLayoutName() const { return layoutName_; }
    Dialog* GetDialog() const { return dialog_; }
    DialogManager& Manager() const;

    bool IsVisible() const { return visible_; }
    bool IsDisabled() const { return disabled_; }
    virtual void Show() { visible_ = true; }
    virtual void Hide() { visible_ = false; }
    virtual void Enable() { disabled_ = false; }
    virtual void Disable() { disabled_ = true; }

    // The widget when the point is on it (telling the tooltip), else null.
    virtual UifControl* HitTest(UiPoint point) = 0;
    // The same without touching the tooltip.
    virtual UifControl* HitTestQuiet(UiPoint point) = 0;
    // The per-frame mouse handling; true when the widget took the input.
    virtual bool UpdateInput(UiPoint point, bool held) = 0;
    bool IsFiring() const { return alwaysFire_ || repeating_ || fire_; }
    // Runs the bound handler (null allowed) when the widget fires, opens
    // its OpenLayout and hides the tooltip; false when disabled or not firing.
    virtual bool FireHandler(UiHandler handler);

    virtual void Draw(int32_t layer) = 0;
    virtual void DrawToolTip(int32_t layer);
    // A combo box opens or closes its list; other widgets do nothing.
    virtual void ToggleList() {}

    virtual void MoveBy(int32_t dx, int32_t dy) { record_.Rect.Offset(dx, dy); }
    UiPoint GetPosition() const { return {record_.Rect.left, record_.Rect.top}; }
    void SetPosition(UiPoint p) { MoveBy(p.x - record_.Rect.left, p.y - record_.Rect.top); }
    UiPoint GetSize() const { return {record_.Rect.Width(), record_.Rect.Height()}; }
    virtual void SetSize(UiPoint size) {
        record_.Rect.right = record_.Rect.left + size.x;
        record_.Rect.bottom = record_.Rect.top + size.y;
    }

    int32_t GetLayoutValue() const { return record_.Font; }
    void SetLayoutValue(int32_t value) { record_.Font = value; }
    uint32_t GetUserData() const { return userData_; }
    void SetUserData(uint32_t data) { userData_ = data; }
    void SetDrawLayer(int32_t layer) { drawLayer_ = layer; }
    int32_t GetDrawLayer() const { return drawLayer_; }

    // A non-empty text creates the tooltip and sets its text; an empty text
    // deletes it.
    virtual void SetToolTipText(const std::string& text);
    bool HasToolTip() const { return toolTip_ != nullptr; }
    ToolTip* GetToolTip() const { return toolTip_.get(); }
    // The tooltip's state, columns and image; 0 or empty without a tooltip.
    int32_t GetToolTipState() const { return toolTip_ ? toolTip_->GetState() : 0; }
    int32_t GetToolTipColumns() const { return toolTip_ ? toolTip_->GetColumns() : 0; }
    std::string GetToolTipImage() const { return toolTip_ ? toolTip_->GetImage() : std::string(); }
    bool GetToolTipPlacement(UiPoint& corner, UiPoint& centre) const;
    void ResetToolTip();

    void SetHoverCallback(HoverCallback callback) { hover_ = callback; }
    void CallHoverCallback() {
        if (hover_)
            hover_(this);
    }
    uint32_t GetColour() const { return colour_; }
    void SetAlpha(uint8_t alpha) { colour_ = uint32_t(alpha) << 24 | 0xFFFFFF; }
    void SetAlwaysFire(bool on) { alwaysFire_ = on; }
    bool IsAlwaysFire() const { return alwaysFire_; }
    uint32_t GetRepeatDelay() const { return repeatDelay_; }
    void SetRepeatDelay(uint32_t ms) { repeatDelay_ = ms; }
    uint32_t GetRepeatInterval() const { return repeatInterval_; }
    void SetRepeatInterval(uint32_t ms) { repeatInterval_ = ms; }
    uint32_t GetRepeatStamp() const { return repeatStamp_; }
    void SetRepeatStamp(uint32_t ms) { repeatStamp_ = ms; }
    void SetTileImage(bool on) { tileImage_ = on; }
    bool IsDialogActive() const { return dialogActive_; }
    void SetDialogActive(bool on) { dialogActive_ = on; }

protected:
    // The layer to draw into: drawLayer when set, else the dialog's.
    int32_t LayerFor(int32_t layer) const { return drawLayer_ > 0 ? drawLayer_ : layer; }
    // Starts auto-repeat once the press has lasted longer than the delay.
    void UpdateRepeatStart();
    void StopRepeat() {
        repeating_ = false;
        repeatStamp_ = 0;
    }
    // The OpenLayout and tooltip steps of firing.
    void OpenLayoutAndHideToolTip();

    UifLayoutRecord record_;
    bool dialogActive_ = false;
    bool visible_ = true;
    bool disabled_ = false;
    bool wasPressed_ = false;
    bool fire_ = false;
    bool alwaysFire_ = false;
    bool repeating_ = false;
    uint32_t repeatDelay_ = 0;
    uint32_t repeatInterval_ = 0;
    uint32_t repeatStamp_ = 0;
    bool tileImage_ = false;
    uint32_t colour_ = 0xFFFFFFFF;
    int32_t drawLayer_ = 0;
    std::string className_;
    std::string layoutName_;
    HoverCallback hover_ = nullptr;
    std::unique_ptr<ToolTip> toolTip_;
    uint32_t userData_ = 0;
    Dialog* dialog_ = nullptr;
};

// A caption's interface text: the text of the number it starts with, or
// empty when it does not start with a digit or the number has no text.
std::string ResolveTextId(const std::string& caption);
// A tooltip text id's text, "???" when the number has none.
std::string ResolveToolTipId(const std::string& text);
