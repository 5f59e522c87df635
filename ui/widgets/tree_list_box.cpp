#include "ui/widgets/tree_list_box.h"

#include "ui/dialog.h"
#include "ui/dialog_manager.h"
#include "ui/widgets/scroll_bar.h"

#include <algorithm>

void TreeListBox::Init(std::string className, std::string layoutName, Dialog* dialog, ScrollBar* scrollBar) {
    Attach(std::move(className), std::move(layoutName), dialog);
    if (!record_.ToolTipText.empty())
        SetToolTipText(record_.ToolTipText);
    scrollBar_ = scrollBar;
}

void TreeListBox::BindScrollButton(UifControl* button, ScrollBar* bar) {
    if (!buttons_[0])
        buttons_[0] = button;
    else if (!buttons_[1])
        buttons_[1] = button;
    if (buttons_[0] && buttons_[1] &&
        buttons_[0]->GetLayoutRecord().Rect.top > buttons_[1]->GetLayoutRecord().Rect.top)
        std::swap(buttons_[0], buttons_[1]);
    if (!scrollBar_)
        scrollBar_ = bar;
    UifControl* lower = buttons_[1] ? buttons_[1] : buttons_[0];
    // Rows of no height make no page.
    if (lower && RowHeight() > 0)
        pageRows_ = std::max((lower->GetLayoutRecord().Rect.bottom - record_.Rect.top) / RowHeight(), 0);
    lastRow_ = pageRows_;
}

void TreeListBox::Walk(const std::function<bool(TreeListItem&, int32_t)>& visit) const {
    int32_t row = 0;
    std::function<bool(const std::vector<std::unique_ptr<TreeListItem>>&)> walk =
        [&](const std::vector<std::unique_ptr<TreeListItem>>& items) {
            for (const auto& item : items) {
                if (!visit(*item, row++))
                    return false;
                if (item->expanded && !walk(item->children))
                    return false;
            }
            return true;
        };
    walk(roots_);
}

void TreeListBox::CountRows() {
    int32_t count = 0;
    Walk([&](TreeListItem&, int32_t) {
        ++count;
        return true;
    });
    rowCount_ = count;
}

int32_t TreeListBox::DescendantCount(const TreeListItem& item, bool shownOnly) const {
    int32_t count = 0;
    if (shownOnly && !item.expanded)
        return 0;
    for (const auto& child : item.children)
        count += 1 + DescendantCount(*child, shownOnly);
    return count;
}

TreeListItem* TreeListBox::GetItemAtRow(int32_t row) const {
    TreeListItem* found = nullptr;
    Walk([&](TreeListItem& item, int32_t r) {
        if (r == row)
            found = &item;
        return r < row;
    });
    return found;
}

int32_t TreeListBox::GetRowOfItem(const TreeListItem* item) const {
    int32_t found = -1;
    Walk([&](TreeListItem& candidate, int32_t r) {
        if (&candidate == item)
            found = r;
        return found < 0;
    });
    return found;
}

TreeListItem* TreeListBox::FindItem(int32_t id, TreeListItem* start) const {
    std::function<TreeListItem*(const std::vector<std::unique_ptr<TreeListItem>>&)> find =
        [&](const std::vector<std::unique_ptr<TreeListItem>>& items) -> TreeListItem* {
        for (const auto& item : items) {
            if (item->id == id)
                return item.get();
            if (item->hasChildren) {
                if (TreeListItem* inner = find(item->children))
                    return inner;
            }
        }
        return nullptr;
    };
    if (start) {
        if (start->id == id)
            return start;
        return find(start->children);
    }
    return find(roots_);
}

void TreeListBox::RefreshScrollBar() {
    if (!scrollBar_)
        return;
    scrollBar_->BindTree(this);
}

TreeListItem* TreeListBox::AddItem(std::unique_ptr<TreeListItem> item) {
    if (!item)
        return nullptr;
    if (fresh_)
        Clear();
    TreeListItem* added = item.get();
    added->textColour = record_.Colour1;
    added->selectedColour = record_.Colour2;
    added->font = record_.Font;
    if (added->parent) {
        added->parent->hasChildren = true;
        added->parent->children.push_back(std::move(item));
    } else {
        roots_.push_back(std::move(item));
    }
    if (fresh_) {
        fresh_ = false;
        Reveal(added);
    }
    if (scrollBar_) {
        CountRows();
        RefreshScrollBar();
    }
    return added;
}

void TreeListBox::RemoveItem(TreeListItem* item) {
    if (!item)
        return;
    auto& siblings = item->parent ? item->parent->children : roots_;
    auto it = std::find_if(siblings.begin(), siblings.end(), [&](const auto& p) { return p.get() == item; });
    if (it == siblings.end())
        return;
    // Pointers into the removed subtree are forgotten with it.
    auto inside = [&](const TreeListItem* p) {
        for (; p; p = p->parent) {
            if (p == item)
                return true;
        }
        return false;
    };
    for (TreeListItem** p : {&selected_, &found_, &highlighted_, &previous_, &remembered_}) {
        if (inside(*p))
            *p = nullptr;
    }
    siblings.erase(it);
    CountRows();
    RefreshScrollBar();
}

void TreeListBox::Clear() {
    roots_.clear();
    checkPending_ = false;
    rowCount_ = firstVisible_ = 0;
    found_ = selected_ = highlighted_ = previous_ = remembered_ = nullptr;
    UifControl* first = buttons_[0];
    UifControl* second = buttons_[1];
    buttons_[0] = buttons_[1] = nullptr;
    pageRows_ = lastRow_ = 0;
    if (first)
        BindScrollButton(first, nullptr);
    if (second)
        BindScrollButton(second, nullptr);
}

void TreeListBox::Reveal(TreeListItem* item) {
    if (selected_) {
        previous_ = selected_;
        selected_->state = 0;
    }
    selected_ = item;
    item->state = 1;
    if (!buttons_[1] || pageRows_ <= 0)
        return;
    int32_t f = firstVisible_;
    int32_t row = GetRowOfItem(item);
    if (row < 0)
        return;
    f = std::min(f, row);
    const int32_t n = row + 1;
    CountRows();
    const int32_t d = DescendantCount(*item, true);
    if (n + d - f <= pageRows_) {
        if (item->expanded) {
            item->rememberedFirstRow = f;
        } else if (f != item->rememberedFirstRow && rowCount_ - f < pageRows_) {
            f -= pageRows_ - (rowCount_ - f);
        }
    } else {
        item->rememberedFirstRow = f;
        const int32_t k = n - f;
        // Both are positive here: k counts the item's own row.
        const int32_t r = pageRows_ < k ? k % pageRows_ : pageRows_ % k;
        f += d - r <= k - 1 ? d - r : k - 1;
    }
    if (f < 0 || !buttons_[1]->IsVisible())
        f = std::max(f, 0);
    firstVisible_ = f;
    lastRow_ = f + pageRows_;
}

void TreeListBox::SelectItem(TreeListItem* item) {
    if (!item)
        return;
    if (item->parent)
        item->parent->expanded = true;
    CountRows();
    Reveal(item);
    RefreshScrollBar();
    if (scrollBar_) {
        if (item->expanded)
            scrollBar_->FollowBack();
        else
            scrollBar_->FollowForward();
    }
}

void TreeListBox::ClearSelection() {
    if (selected_)
        selected_->state = 0;
    selected_ = nullptr;
}

void TreeListBox::SetFirstVisibleRow(int32_t row) {
    firstVisible_ = std::max(row, 0);
    lastRow_ = firstVisible_ + pageRows_;
    if (firstVisible_ > 0 && lastRow_ > rowCount_) {
        lastRow_ = rowCount_;
        firstVisible_ = std::max(lastRow_ - pageRows_, 0);
    }
}

void TreeListBox::ScrollDown() {
    if (!disabled_ && lastRow_ < rowCount_) {
        ++firstVisible_;
        ++lastRow_;
    }
}

void TreeListBox::ScrollUp() {
    if (!disabled_ && firstVisible_ >= 1) {
        --firstVisible_;
        --lastRow_;
    }
}

UiRect TreeListBox::RowRect(int32_t row) const {
    UiRect r = record_.Rect;
    r.Offset(0, (row - firstVisible_) * RowHeight());
    return r;
}

TreeListItem* TreeListBox::FindAt(UiPoint point, UiRect& rowRect) const {
    TreeListItem* found = nullptr;
    rowRect = record_.Rect;
    Walk([&](TreeListItem& item, int32_t row) {
        if (row < firstVisible_)
            return true;
        rowRect = RowRect(row);
        if (buttons_[1] && buttons_[1]->IsVisible() &&
            rowRect.bottom >= buttons_[1]->GetLayoutRecord().Rect.bottom) {
            rowRect.Offset(0, buttons_[1]->GetLayoutRecord().Rect.bottom - rowRect.bottom);
            if (rowRect.Contains(point))
                found = &item;
            return false;
        }
        if (rowRect.Contains(point)) {
            found = &item;
            return false;
        }
        return true;
    });
    return found;
}

UifControl* TreeListBox::HitTestQuiet(UiPoint point) {
    if (!visible_)
        return nullptr;
    UiRect rowRect;
    found_ = FindAt(point, rowRect);
    if (!found_)
        return nullptr;
    return !found_->backgroundCollapsed.empty() ? this : nullptr;
}

UifControl* TreeListBox::HitTest(UiPoint point) {
    if (!visible_ || disabled_)
        return nullptr;
    UifControl* hit = HitTestQuiet(point);
    if (toolTip_)
        toolTip_->UpdateHover(found_ != nullptr, point);
    return hit;
}

bool TreeListBox::UpdateInput(UiPoint point, bool held) {
    if (!visible_ || disabled_)
        return false;
    DialogManager& manager = Manager();
    const UiInputSnapshot& snapshot = manager.Snapshot();
    if (!held) {
        if (HitTest(point)) {
            // A drop-down closes on the click that chose its item.
            if (dropDown_ && snapshot.leftReleased) {
                if (visible_)
                    Hide();
                fire_ = true;
                clicked_ = wasPressed_ = checkPending_ = false;
                return true;
            }
            if (snapshot.wheel > 0) {
                ScrollUp();
                if (scrollBar_)
                    scrollBar_->FollowForward();
            } else if (snapshot.wheel < 0) {
                ScrollDown();
                if (scrollBar_)
                    scrollBar_->FollowBack();
            }
            if (found_ && record_.Keyword == "TreeListBoxHI") {
                if (highlighted_ && highlighted_ != selected_)
                    highlighted_->state = 0;
                if (found_ != selected_) {
                    found_->state = 2;
                    highlighted_ = found_;
                }
            }
        } else {
            if (dropDown_) {
                if (selected_)
                    selected_->state = 0;
                selected_ = remembered_;
                if (selected_)
                    selected_->state = 1;
            }
            if (highlighted_ && highlighted_ != selected_)
                highlighted_->state = 0;
        }
        fire_ = clicked_;
        clicked_ = wasPressed_ = checkPending_ = false;
        return true;
    }
    const bool onTree = HitTest(point) != nullptr;
    if (dropDown_ && (!found_ || wasPressed_ || !onTree)) {
        if (selected_)
            selected_->state = 0;
        if (found_) {
            found_->state = 1;
            selected_ = found_;
        }
        return true;
    }
    if (!onTree || !found_ || wasPressed_)
        return true;
    UiRect rowRect;
    FindAt(point, rowRect);
    TreeListItem* item = found_;
    if (item->hasChildren) {
        UiRect icon = item->iconRect;
        if (centredIcons_) {
            const int32_t h = icon.Height();
            icon = {rowRect.left + item->iconRect.left, rowRect.top + rowRect.Height() / 2 - h / 2,
                    rowRect.left + item->iconRect.left + icon.Width(),
                    rowRect.top + rowRect.Height() / 2 - h / 2 + h};
        } else {
            icon.Offset(rowRect.left, rowRect.top);
        }
        bool toggle = snapshot.doubleClick;
        if (icon.Contains(point)) {
            manager.PlayUiSound(kUiSoundClick, nullptr);
            toggle = !item->iconExpanded.empty();
        }
        if (toggle && DescendantCount(*item, false) >= 2) {
            item->expanded = !item->expanded;
            if (expandCallback_)
                expandCallback_(item);
            Reveal(item);
            CountRows();
            if (lastRow_ > rowCount_) {
                const int32_t excess = lastRow_ - rowCount_;
                firstVisible_ = std::max(firstVisible_ - excess, 0);
                lastRow_ -= excess;
            }
            RefreshScrollBar();
            if (scrollBar_) {
                if (item->expanded)
                    scrollBar_->FollowBack();
                else
                    scrollBar_->FollowForward();
            }
        }
    }
    UiRect check = item->checkRect;
    check.Offset(rowRect.left, rowRect.top);
    checkPending_ = !item->checkRect.IsEmpty() && check.Contains(point);
    clicked_ = true;
    if (selected_)
        selected_->state = 0;
    item->state = 1;
    selected_ = item;
    wasPressed_ = true;
    return true;
}

bool TreeListBox::FireHandler(UiHandler handler) {
    if (disabled_ || !fire_)
        return false;
    if (handler)
        handler(this);
    if (toolTip_)
        toolTip_->Hide();
    return true;
}

void TreeListBox::ShowScrollControls(bool show) {
    for (UifControl* button : buttons_) {
        if (button)
            show ? button->Show() : button->Hide();
    }
    if (scrollBar_)
        show ? scrollBar_->Show() : scrollBar_->Hide();
}

void TreeListBox::Show() {
    if (dropDown_)
        remembered_ = selected_;
    visible_ = true;
    ShowScrollControls(true);
}

void TreeListBox::Hide() {
    visible_ = false;
    ShowScrollControls(false);
}

void TreeListBox::Draw(int32_t layer) {
    if (!visible_ || !dialog_)
        return;
    layer = LayerFor(layer);
    UiPainter& painter = Manager().Painter();
    const int32_t limit = buttons_[1] ? buttons_[1]->GetLayoutRecord().Rect.bottom : INT32_MAX;
    Walk([&](TreeListItem& item, int32_t row) {
        if (row < firstVisible_)
            return true;
        const UiRect r = RowRect(row);
        if (r.top >= limit)
            return false;
        if (!item.backgroundCollapsed.empty())
            painter.DrawImageFrame(layer, item.expanded ? item.backgroundExpanded : item.backgroundCollapsed,
                                   4, item.state, r, colour_);
        UiImageSize size;
        if (!item.marker.empty() && painter.ImageSize(item.marker, 1, size)) {
            const int32_t x = r.left + r.Width() / 2 - size.frameWidth / 2,
                          y = r.top + r.Height() / 2 - size.frameHeight / 2;
            painter.DrawImageFrame(layer, item.marker, 1, 0,
                                   {x, y, x + size.frameWidth, y + size.frameHeight}, 0xFFFFFFFF);
        }
        const std::string& icon = item.expanded ? item.iconExpanded : item.iconCollapsed;
        if (!icon.empty()) {
            UiRect at = item.iconRect;
            if (centredIcons_) {
                const int32_t top = r.top + r.Height() / 2 - at.Height() / 2;
                at = {r.left + at.left, top, r.left + at.left + at.Width(), top + at.Height()};
            } else {
                at.Offset(r.left, r.top);
            }
            painter.DrawImageFrame(layer, icon, 4, item.state, at, colour_);
        }
        if (!item.checkRect.IsEmpty()) {
            const std::string& image = item.checkState == 1   ? item.check1
                                       : item.checkState == 2 ? item.check2
                                                              : item.check0;
            const int32_t top = r.top + r.Height() / 2 - item.checkRect.Height() / 2;
            painter.DrawImageFrame(layer, image, 4, item.state,
                                   {r.left + item.checkRect.left, top, r.left + item.checkRect.right,
                                    top + item.checkRect.Height()},
                                   colour_);
        }
        if (!item.text.empty()) {
            const int32_t width = painter.TextWidth(item.font, item.text);
            int32_t x = r.left + item.iconRect.right + record_.Value3 + 5;
            if (record_.Value1 == 1)
                x = r.left + record_.Rect.Width() / 2 - width / 2 + record_.Value3;
            else if (record_.Value1 == 2)
                x = r.right - width - record_.Value3;
            const uint32_t colour = ((item.state != 0 ? item.selectedColour : item.textColour) & 0xFFFFFF) |
                                    (colour_ & 0xFF000000);
            painter.DrawText(layer, item.font, {x, r.top + record_.Value4}, colour, item.text);
        }
        return true;
    });
    if (buttons_[1])
        ShowScrollControls(rowCount_ > pageRows_);
}
