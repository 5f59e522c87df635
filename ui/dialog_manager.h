// The dialog manager: owns the open dialogs in z-order (the top one last),
// loads them from layouts, finds, raises and closes them by layout name,
// runs their per-frame input and draws them with the queued tooltips. Also
// keeps what widgets share: the screen and work rectangles, the frame's
// input snapshot, the key input, the pressed control and the punctuation.
#pragma once

#include "ui/dialog.h"
#include "ui/handler_registry.h"
#include "ui/layout_reader.h"
#include "ui/mouse_input.h"
#include "ui/ui_painter.h"
#include "ui/ui_types.h"

#include <memory>
#include <string>
#include <string_view>
#include <vector>

class Tab;
class ToolTip;

// The frame's input, taken from the mouse state once per frame.
struct UiInputSnapshot {
    UiPoint cursor;
    // Where the left button went down; (-1, -1) when no press is under way.
    UiPoint pressPoint{-1, -1};
    bool leftHeld = false;
    bool leftReleased = false;
    bool rightHeld = false;
    bool rightReleased = false;
    bool doubleClick = false;
    int32_t wheel = 0;
};

inline constexpr uint32_t kUiKeyEscape = 27;
inline constexpr uint32_t kUiKeyEnter = 13;
inline constexpr uint32_t kUiKeyLeft = 37;
inline constexpr uint32_t kUiKeyRight = 39;
inline constexpr uint32_t kUiKeyDelete = 46;
// The height of the in-game bar below the work rectangle.
inline constexpr int32_t kUiBarHeight = 24;

class DialogManager {
public:
    // The services default to the engine painter, no sounds, the program's
    // mouse state and handler registry.
    DialogManager();
    ~DialogManager();
    DialogManager(const DialogManager&) = delete;
    DialogManager& operator=(const DialogManager&) = delete;

    void SetPainter(UiPainter* painter) { painter_ = painter; }
    UiPainter& Painter() { return *painter_; }
    // Null goes back to silence.
    void SetSoundPlayer(UiSoundPlayer* sounds) { sounds_ = sounds ? sounds : &noSounds_; }
    bool PlayUiSound(int32_t row, const UiPoint* at) { return sounds_->PlayUiSound(row, at); }
    void SetMouse(MouseInput* mouse) { mouse_ = mouse; }
    MouseInput& Mouse() { return *mouse_; }
    void SetRegistry(const HandlerRegistry* registry) { registry_ = registry; }
    HandlerMap& GetHandlerMap() { return handlers_; }

    // Keeps the punctuation, the skin name and the rectangles.
    void Init(std::string punctuation, std::string skinName, const UiRect& screen, const UiRect& work);
    // Sets the screen rectangle and the work rectangle 24 pixels less high.
    void SetScreenSize(int32_t width, int32_t height);
    const UiRect& GetUiScreenRect() const { return screen_; }
    void SetUiScreenRect(const UiRect& r) { screen_ = r; }
    const UiRect& GetUiWorkRect() const { return work_; }
    void SetUiWorkRect(const UiRect& r) { work_ = r; }
    const std::string& GetUiPunctuation() const { return punctuation_; }
    const std::string& GetUiSkinName() const { return skinName_; }

    // Fills the frame's input snapshot from the mouse state.
    void TakeInputSnapshot();
    const UiInputSnapshot& Snapshot() const { return snapshot_; }
    UiInputSnapshot& MutableSnapshot() { return snapshot_; }
    void SetUiKeyInput(uint32_t key, uint32_t second) {
        keyWord_ = key;
        keySecond_ = second;
    }
    void ClearUiKeyInput() {
        keyWord_ = 0;
        keySecond_ &= 0xFFFF0000u;
    }
    uint64_t GetUiKeyInput() const { return uint64_t(keySecond_) << 32 | keyWord_; }
    uint32_t KeyWord() const { return keyWord_; }

    UifControl* GetPressedControl() const { return pressed_; }
    void SetUiClickTaken(bool taken) { clickTaken_ = taken; }
    void SetUiClickedControl(UifControl* control) { clickedByUi_ = control; }
    void SetUiInputConsumed() { inputConsumed_ = true; }
    bool IsUiInputConsumed() const { return inputConsumed_; }
    void SetTabHeld(bool held) { tabHeld_ = held; }
    bool IsTabHeld() const { return tabHeld_; }
    bool AreUiToolTipsEnabled() const { return true; }

    // Loads "uif/<name>.uif", appends its dialog, centres it on the screen,
    // binds its handlers and calls its Init handler. False, adding nothing,
    // for a layout that cannot be read or planned.
    bool LoadLayout(std::string_view name);
    // Loads a tab's page: the widgets become the tab's children, bound
    // under the tab's dialog, and are not placed.
    bool LoadLayoutInto(std::string_view name, Tab* tab);
    // The tab group that took its first tab while tabs load their pages.
    int32_t& TabActiveGroup() { return tabActiveGroup_; }

    // The first open dialog of the name (".uif" and what follows ignored)
    // that is not closing; null when none.
    Dialog* FindDialog(std::string_view name) const;
    // The same, closing dialogs included.
    Dialog* FindDialogAny(std::string_view name) const;
    bool MoveDialog(std::string_view name, int32_t x, int32_t y);
    // Raises and activates the dialog; nothing while a press is under way.
    void OpenDialog(std::string_view name);
    // Marks the dialog closing; the next UpdateDialogs destroys it.
    void CloseDialog(std::string_view name);
    void UpdateDialogs();
    void DrawDialogs();
    void QueueToolTip(ToolTip* toolTip) { toolTips_.push_back(toolTip); }
    void ClearToolTipQueue() { toolTips_.clear(); }
    void DestroyAllDialogs();
    Dialog* GetTopDialog() const { return dialogs_.empty() ? nullptr : dialogs_.back().get(); }
    Dialog* GetModalDialog() const;
    bool IsAnyDialogHeld() const;
    void RunDialogCallbacks();
    void DeactivateDialog(Dialog* dialog);
    bool IsMouseOverDialog();
    UifControl* FindControlAt(bool includeFrames, UiPoint point) const;
    std::vector<Dialog*> GetOpenDialogs() const;
    bool IsOpen(const Dialog* dialog) const;

    // The program's dialog manager.
    static DialogManager& Program();

private:
    void DialogStep();
    bool Load(std::string_view name, Tab* container);
    void DestroyDialog(Dialog* dialog);
    // While Tab is held in game only these dialogs count.
    static bool IsTabDialog(const std::string& name);

    UiPainter* painter_;
    UiSoundPlayer* sounds_;
    MouseInput* mouse_;
    const HandlerRegistry* registry_;
    std::unique_ptr<UiPainter> enginePainter_;
    NullUiSoundPlayer noSounds_;

    std::vector<std::unique_ptr<Dialog>> dialogs_;
    UiRect screen_{0, 0, 1024, 768};
    UiRect work_{0, 0, 1024, 768 - kUiBarHeight};
    UiInputSnapshot snapshot_;
    uint32_t keyWord_ = 0;
    uint32_t keySecond_ = 0;
    UifControl* pressed_ = nullptr;
    UifControl* clickedByUi_ = nullptr;
    bool clickTaken_ = false;
    bool inputConsumed_ = false;
    bool noLayoutYet_ = true;
    bool tabHeld_ = false;
    std::vector<ToolTip*> toolTips_;
    std::string punctuation_;
    std::string skinName_;
    HandlerMap handlers_;
    // Layouts being loaded, so that a layout never loads itself.
    std::vector<std::string> loadChain_;
    int32_t tabActiveGroup_ = -1;
};
