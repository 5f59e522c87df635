#include "ui/widgets/combo_box.h"

#include "ui/dialog.h"
#include "ui/dialog_manager.h"
#include "ui/widgets/list_box.h"
#include "ui/widgets/tree_list_box.h"

void ComboBox::Init(std::string className, std::string layoutName, Dialog* dialog, ListBox* list,
                    TreeListBox* tree) {
    Attach(std::move(className), std::move(layoutName), dialog);
    list_ = list;
    tree_ = tree;
    if (list_) {
        list_->SetComboOwner(this);
        list_->Hide();
    }
    if (tree_) {
        tree_->SetDropDown(true);
        tree_->Hide();
    }
    if (!record_.Caption.empty())
        caption_ = ResolveTextId(record_.Caption);
    if (!record_.ToolTipText.empty())
        SetToolTipText(record_.ToolTipText);
}

void ComboBox::Toggle() {
    if (list_) {
        if (list_->IsVisible()) {
            list_->Hide();
            open_ = false;
        } else {
            // The list shows only while the combo is open.
            open_ = true;
            list_->Show();
        }
    }
    if (tree_) {
        if (tree_->IsVisible()) {
            tree_->Hide();
            open_ = false;
        } else {
            open_ = true;
            tree_->Show();
        }
    }
}

void ComboBox::SetText(const std::string& text) {
    caption_ = text;
    UiPainter& painter = Manager().Painter();
    const int32_t w = painter.TextWidth(record_.Font, text), h = painter.TextHeight(record_.Font);
    const UiRect& r = record_.Rect;
    const int32_t left = r.left + r.Width() / 2 - w / 2, top = r.top + r.Height() / 2 - h / 2;
    textRect_ = {left, top, left + w, top + h};
}

void ComboBox::AddRow(const ListRowTexts& content) {
    if (list_)
        list_->AddRow(content);
}

void ComboBox::Clear() {
    if (list_)
        list_->Clear();
}

int32_t ComboBox::GetSelection() const {
    return list_ ? list_->GetSelection() : -1;
}

void ComboBox::SetSelection(int32_t n) {
    if (list_)
        list_->SetSelection(n);
}

bool ComboBox::FaceTakes(UiPoint point) {
    UiPainter& painter = Manager().Painter();
    UiImageSize size;
    if (!record_.Rect.Contains(point) || !painter.ImageSize(record_.Image, 4, size))
        return false;
    const UiRect& r = record_.Rect;
    const UiRect placed{r.left, r.top, r.left + size.frameWidth, r.top + size.frameHeight};
    return (painter.ImagePixel(record_.Image, 4, state_, placed, point) >> 24) != 0;
}

UifControl* ComboBox::HitTest(UiPoint point) {
    if (!visible_ || disabled_) {
        if (toolTip_)
            toolTip_->UpdateHover(!Manager().Snapshot().leftHeld && record_.Rect.Contains(point), point);
        return nullptr;
    }
    const bool hit = FaceTakes(point) && !(dialog_ && dialog_->IsCovered(point, this));
    if (toolTip_)
        toolTip_->UpdateHover(hit, point);
    return hit ? this : nullptr;
}

UifControl* ComboBox::HitTestQuiet(UiPoint point) {
    if (!visible_ || disabled_)
        return nullptr;
    return FaceTakes(point) && !(dialog_ && dialog_->IsCovered(point, this)) ? this : nullptr;
}

bool ComboBox::UpdateInput(UiPoint point, bool held) {
    if (!visible_ || disabled_) {
        if (held && toolTip_)
            toolTip_->Hide();
        return false;
    }
    state_ = 0;
    if (HitTest(point)) {
        if (record_.Keyword == "ComboBoxHI")
            state_ = 2;
        if (held) {
            if (toolTip_)
                toolTip_->Hide();
            if (dialog_)
                dialog_->CloseOtherLists(this);
            wasPressed_ = true;
        }
        if (Manager().Snapshot().leftReleased)
            clicked_ = wasPressed_;
        if (clicked_) {
            Toggle();
            fire_ = true;
            wasPressed_ = clicked_ = false;
        } else {
            fire_ = false;
        }
    } else {
        wasPressed_ = clicked_ = false;
        fire_ = false;
    }
    return true;
}

bool ComboBox::FireHandler(UiHandler handler) {
    if (disabled_ || !fire_)
        return false;
    if (handler)
        handler(this);
    OpenLayoutAndHideToolTip();
    return true;
}

void ComboBox::Draw(int32_t layer) {
    if (!visible_ || !dialog_)
        return;
    layer = LayerFor(layer);
    UiPainter& painter = Manager().Painter();
    const UiRect& r = record_.Rect;
    painter.DrawImageFrame(layer, record_.Image, 4, state_, r, colour_);
    std::string text;
    std::string icon;
    if (list_) {
        ListRowTexts row;
        if (list_->GetRow(list_->GetSelection(), row)) {
            text = row.text;
            icon = !row.image2.empty() ? row.image2 : row.image3;
        }
    } else if (tree_) {
        if (const TreeListItem* item = tree_->GetSelectedItem()) {
            text = item->text;
            icon = item->expanded ? item->iconExpanded : item->iconCollapsed;
        }
    }
    UiImageSize size;
    if (!icon.empty() && painter.ImageSize(icon, 1, size)) {
        const int32_t top = r.top + r.Height() / 2 - size.frameHeight / 2;
        painter.DrawImageFrame(
            layer, icon, 1, 0,
            {r.left + record_.Value3, top, r.left + record_.Value3 + size.frameWidth, top + size.frameHeight},
            colour_);
    }
    if (!text.empty()) {
        const int32_t y = r.top + record_.Value4 + r.Height() / 2 - painter.TextHeight(record_.Font) / 2;
        painter.DrawText(layer, record_.Font, {r.left + record_.Value3, y},
                         (record_.Colour1 & 0xFFFFFF) | (colour_ & 0xFF000000), text);
    }
}
