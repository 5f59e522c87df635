#include "ui/widgets/scroll_bar.h"

#include "platform/clock.h"
#include "ui/dialog.h"
#include "ui/dialog_manager.h"
#include "ui/widgets/list_box.h"
#include "ui/widgets/tree_list_box.h"

#include <algorithm>

void ScrollBar::Init(std::string className, std::string layoutName, Dialog* dialog, ListBox* list) {
    Attach(std::move(className), std::move(layoutName), dialog);
    UiRect& r = record_.Rect;
    // The arrow buttons take Value2 at both ends of the long side; the
    // track image is drawn under them.
    if (r.Height() > r.Width()) {
        r.top += record_.Value2;
        r.bottom -= record_.Value2;
    } else {
        r.left += record_.Value2;
        r.right -= record_.Value2;
    }
    vertical_ = r.Height() > r.Width();
    if (!record_.ToolTipText.empty())
        SetToolTipText(record_.ToolTipText);
    if (!record_.Caption.empty())
        record_.Caption = ResolveTextId(record_.Caption);
    list_ = list;
}

void ScrollBar::RefreshRange() {
    if (tree_) {
        total_ = tree_->GetRowCount();
        page_ = tree_->GetPageRows();
    } else if (list_) {
        total_ = list_->GetRowCount();
        page_ = list_->GetPageRows();
    }
}

int32_t ScrollBar::FirstVisible() const {
    return tree_ ? tree_->GetFirstVisibleRow() : list_ ? list_->GetFirstVisibleRow() : position_;
}

void ScrollBar::BindTree(TreeListBox* tree) {
    tree_ = tree;
    Bind(list_);
}

void ScrollBar::Bind(ListBox* list) {
    list_ = list;
    RefreshRange();
    if (total_ == 0 || page_ <= 0 || float(total_) / float(page_) < 1.0f) {
        knobLength_ = 0;
        knob_ = {};
        return;
    }
    knobLength_ = std::max(int32_t(float(TrackLength()) / (float(total_) / float(page_))), kMinKnob);
    middleCount_ = knobLength_ - 12;
    UiImageSize knob{12, 12};
    if (dialog_)
        Manager().Painter().ImageSize(record_.Image2, 12, knob);
    const UiRect& r = record_.Rect;
    if (vertical_) {
        const int32_t left = r.left + r.Width() / 2 - knob.frameWidth / 2;
        knob_ = {left, r.top, left + knob.frameWidth, r.top + middleCount_ + 13};
    } else {
        const int32_t top = r.top + r.Height() / 2 - knob.frameHeight / 2;
        knob_ = {r.left, top, r.left + middleCount_ + 13, top + knob.frameHeight};
    }
}

void ScrollBar::SetKnobStart(int32_t start) {
    if (vertical_) {
        const int32_t length = knob_.Height();
        knob_.top = start;
        knob_.bottom = start + length;
    } else {
        const int32_t length = knob_.Width();
        knob_.left = start;
        knob_.right = start + length;
    }
}

void ScrollBar::SyncKnob() {
    if (total_ == 0 && page_ == 0)
        RefreshRange();
    // Each division is by a range that is known to be positive.
    if (list_ && total_ > page_ && knobLength_ > 0) {
        const int64_t offset =
            int64_t(list_->GetFirstVisibleRow()) * (TrackLength() - knobLength_) / (total_ - page_);
        SetKnobStart(TrackStart() + int32_t(offset));
    }
}

void ScrollBar::Follow(bool forward, bool /*verticalPair*/) {
    RefreshRange();
    if (knobLength_ == 0 || total_ <= page_ || disabled_)
        return;
    if (forward && position_ + page_ < total_)
        ++position_;
    else if (!forward && position_ > 0)
        --position_;
    if ((tree_ && tree_->ShowsAllRows()) || (!tree_ && list_ && list_->ShowsAllRows()))
        return;
    const int64_t offset = int64_t(FirstVisible()) * (TrackLength() - knobLength_) / (total_ - page_);
    SetKnobStart(TrackStart() + int32_t(offset));
}

void ScrollBar::Page(bool forward) {
    RefreshRange();
    int32_t target = 0;
    if (forward)
        target = std::min({FirstVisible() + page_, total_ - 1, total_ - page_});
    else
        target = std::max(FirstVisible() - page_, 0);
    target = std::max(target, 0);
    if (list_)
        list_->SetFirstVisibleRow(target);
    if (tree_)
        tree_->SetFirstVisibleRow(target);
    if (!list_ && !tree_)
        position_ = target;
    Follow(!forward, vertical_);
}

UifControl* ScrollBar::HitTest(UiPoint point) {
    UifControl* hit = HitTestQuiet(point);
    if (toolTip_)
        toolTip_->UpdateHover(record_.Rect.Contains(point), point);
    return hit;
}

UifControl* ScrollBar::HitTestQuiet(UiPoint point) {
    if (!visible_ || !dialog_ || !record_.Rect.Contains(point))
        return nullptr;
    UiPainter& painter = Manager().Painter();
    UiImageSize size;
    if (!painter.ImageSize(record_.Image, 1, size))
        return nullptr;
    UiRect placed = record_.Rect;
    if (vertical_) {
        placed.top -= record_.Value2;
        placed.bottom += record_.Value2;
    } else {
        placed.left -= record_.Value2;
        placed.right += record_.Value2;
    }
    return (painter.ImagePixel(record_.Image, 1, 0, placed, point) >> 24) != 0 ? this : nullptr;
}

bool ScrollBar::InDragZone(UiPoint point) const {
    // Across the track only: along it the knob stops at the ends.
    const UiRect& r = record_.Rect;
    return vertical_ ? point.x >= r.left - kDragZone && point.x < r.right + kDragZone
                     : point.y >= r.top - kDragZone && point.y < r.bottom + kDragZone;
}

bool ScrollBar::UpdateInput(UiPoint point, bool held) {
    if (!visible_ || disabled_)
        return false;
    DialogManager& manager = Manager();
    const UiInputSnapshot& snapshot = manager.Snapshot();
    if (!snapshot.leftHeld && !snapshot.leftReleased)
        dragging_ = false;
    SetFrames(0);
    RefreshRange();
    auto dragStep = [&] {
        SetFrames(1);
        const int32_t along = vertical_ ? point.y : point.x;
        if (!dragging_) {
            dragging_ = true;
            grabOffset_ = along - KnobStart();
        }
        const int32_t start =
            std::clamp(along - grabOffset_, TrackStart(), TrackStart() + TrackLength() - knobLength_ + 1);
        SetKnobStart(start);
        const int32_t range = total_ - page_;
        const int32_t room = TrackLength() - knobLength_;
        // A track no longer than its knob has no room to move in.
        position_ = range <= 0 || room <= 0 ? 0 : int32_t(int64_t(range) * (start - TrackStart()) / room);
        position_ = std::clamp(position_, 0, std::max(range, 0));
        if (list_)
            list_->SetFirstVisibleRow(position_);
        if (tree_)
            tree_->SetFirstVisibleRow(position_);
    };
    if (!held) {
        if (record_.Rect.Contains(point) && !OnKnob(point)) {
            Dialog* modal = manager.GetModalDialog();
            if (modal && modal != dialog_)
                return false;
            if (snapshot.leftReleased && !knob_.IsEmpty()) {
                const bool back = vertical_ ? point.y < knob_.top : point.x < knob_.left;
                Page(!back);
            }
        }
        if (dragging_) {
            if (snapshot.leftReleased) {
                dragging_ = false;
                manager.Mouse().ConsumeMouseEvents();
            } else if (InDragZone(point)) {
                dragStep();
            }
        }
        if (OnKnob(point) && record_.Keyword == "ScrollBarHI")
            SetFrames(2);
        if (!dragging_)
            grabOffset_ = 0;
        return true;
    }
    if (toolTip_)
        toolTip_->Hide();
    if (!OnKnob(point) && !dragging_)
        return true;
    if ((list_ && list_->ShowsAllRows()) || (tree_ && tree_->ShowsAllRows()))
        return false;
    if (knobLength_ == 0)
        return true;
    if (!InDragZone(point))
        return true;
    dragStep();
    return true;
}

bool ScrollBar::FireHandler(UiHandler handler) {
    if (disabled_ || !dragging_)
        return false;
    if (handler)
        handler(this);
    if (toolTip_)
        toolTip_->Hide();
    return true;
}

void ScrollBar::Show() {
    if ((list_ && !list_->IsVisible()) || (tree_ && !tree_->IsVisible()))
        return;
    visible_ = true;
}

void ScrollBar::Draw(int32_t layer) {
    if (!visible_ || !dialog_)
        return;
    layer = LayerFor(layer);
    UiPainter& painter = Manager().Painter();
    UiRect track = record_.Rect;
    if (vertical_) {
        track.top -= record_.Value2;
        track.bottom += record_.Value2;
    } else {
        track.left -= record_.Value2;
        track.right += record_.Value2;
    }
    painter.DrawImageFrame(layer, record_.Image, 1, 0, track, colour_);
    UiImageSize knob;
    if (knob_.IsEmpty() || !painter.ImageSize(record_.Image2, 12, knob))
        return;
    UiPoint at{knob_.left, knob_.top};
    auto piece = [&](int32_t frame) {
        painter.DrawImageFrame(layer, record_.Image2, 12, frame,
                               {at.x, at.y, at.x + knob.frameWidth, at.y + knob.frameHeight}, colour_);
    };
    auto step = [&](int32_t n) {
        if (vertical_)
            at.y += n;
        else
            at.x += n;
    };
    piece(frames_[0]);
    step(5);
    for (int32_t i = 0; i < middleCount_; ++i) {
        step(1);
        piece(frames_[1]);
    }
    step(1);
    piece(frames_[2]);
}

void ScrollBtn::Init(std::string className, std::string layoutName, Dialog* dialog, ScrollBar* bar,
                     ListBox* list, TreeListBox* tree) {
    Attach(std::move(className), std::move(layoutName), dialog);
    bar_ = bar;
    list_ = list;
    tree_ = tree;
    const std::string& k = record_.Keyword;
    if (k == "ScrollBtnLeft" || k == "ScrollBtnLeftHI")
        role_ = Role::Left;
    else if (k == "ScrollBtnRight" || k == "ScrollBtnRightHI")
        role_ = Role::Right;
    else if (k == "ScrollBtnDown" || k == "ScrollBtnDownHI")
        role_ = Role::Down;
    else if (k == "ScrollBtnComboBox")
        role_ = Role::ComboBox;
    else
        role_ = Role::Up;
    if (!record_.ToolTipText.empty())
        SetToolTipText(record_.ToolTipText);
    if (!record_.Caption.empty())
        record_.Caption = ResolveTextId(record_.Caption);
}

void ScrollBtn::Fire() {
    if (list_ && list_->IsComboOwned() && role_ == Role::ComboBox) {
        if (list_->IsVisible())
            list_->Hide();
        else
            list_->Show();
        return;
    }
    switch (role_) {
    case Role::Up:
    case Role::ComboBox:
        if (list_)
            list_->ScrollUp();
        if (bar_)
            bar_->FollowForward();
        if (tree_) {
            tree_->ScrollUp();
            if (bar_)
                bar_->FollowForward();
        }
        break;
    case Role::Down:
        if (list_)
            list_->ScrollDown();
        if (bar_)
            bar_->FollowBack();
        if (tree_) {
            tree_->ScrollDown();
            if (bar_)
                bar_->FollowBack();
        }
        break;
    case Role::Right:
        if (list_)
            list_->ScrollDown();
        if (bar_)
            bar_->FollowForwardH();
        break;
    case Role::Left:
        if (list_)
            list_->ScrollUp();
        if (bar_)
            bar_->FollowBackH();
        break;
    }
}

UifControl* ScrollBtn::HitTest(UiPoint point) {
    UifControl* hit = visible_ && !disabled_ ? HitTestQuiet(point) : nullptr;
    if (toolTip_)
        toolTip_->UpdateHover(hit != nullptr, point);
    return hit;
}

UifControl* ScrollBtn::HitTestQuiet(UiPoint point) {
    if (!visible_ || !dialog_ || !record_.Rect.Contains(point))
        return nullptr;
    UiPainter& painter = Manager().Painter();
    UiImageSize size;
    if (!painter.ImageSize(record_.Image, 4, size))
        return nullptr;
    const UiRect& r = record_.Rect;
    const UiRect placed{r.left, r.top, r.left + size.frameWidth, r.top + size.frameHeight};
    return (painter.ImagePixel(record_.Image, 4, state_, placed, point) >> 24) != 0 ? this : nullptr;
}

bool ScrollBtn::UpdateInput(UiPoint point, bool held) {
    if (!visible_ || disabled_)
        return false;
    if (held) {
        if (HitTest(point)) {
            const uint32_t now = plat::Clock::Millis() | 1u;
            if (!repeating_ && repeatDelay_ != 0 && repeatInterval_ != 0) {
                if (repeatStamp_ == 0)
                    repeatStamp_ = now;
                if (now - repeatStamp_ > repeatDelay_) {
                    repeating_ = true;
                    repeatStamp_ = 0;
                }
            } else if (repeating_) {
                if (repeatStamp_ == 0)
                    repeatStamp_ = now;
                if (now - repeatStamp_ > repeatInterval_) {
                    repeatStamp_ = 0;
                    Fire();
                }
            }
        }
        if (toolTip_)
            toolTip_->Hide();
        state_ = 1;
        wasPressed_ = clicked_ = true;
        return true;
    }
    const std::string& k = record_.Keyword;
    const bool hover =
        k == "ScrollBtnUpHI" || k == "ScrollBtnDownHI" || k == "ScrollBtnLeftHI" || k == "ScrollBtnRightHI";
    if (HitTest(point)) {
        clicked_ = wasPressed_;
        wasPressed_ = false;
        if (clicked_)
            Manager().PlayUiSound(kUiSoundClick, nullptr);
        state_ = hover ? 2 : 0;
        if (clicked_ && !repeating_)
            Fire();
    } else {
        wasPressed_ = clicked_ = false;
        state_ = 0;
    }
    StopRepeat();
    fire_ = clicked_;
    return true;
}

bool ScrollBtn::FireHandler(UiHandler handler) {
    if (disabled_ || !clicked_)
        return false;
    if (handler)
        handler(this);
    OpenLayoutAndHideToolTip();
    return true;
}

void ScrollBtn::Show() {
    if ((list_ && !list_->IsVisible()) || (tree_ && !tree_->IsVisible()))
        return;
    visible_ = true;
}

void ScrollBtn::Draw(int32_t layer) {
    if (!visible_ || !dialog_)
        return;
    Manager().Painter().DrawImageFrame(LayerFor(layer), record_.Image, 4, state_, record_.Rect, colour_);
}
