#include "ui/widgets/list_box.h"

#include "ui/dialog.h"
#include "ui/dialog_manager.h"
#include "ui/widgets/combo_box.h"
#include "ui/widgets/scroll_bar.h"

#include <algorithm>
#include <cstdlib>

namespace {

bool EndsWithHI(const std::string& keyword) {
    return keyword.size() >= 2 && keyword.compare(keyword.size() - 2, 2, "HI") == 0;
}

bool Contains(const std::string& text, std::string_view word) {
    return text.find(word) != std::string::npos;
}

bool IsTextAndIconKeyword(const std::string& k) {
    return k == "ListBoxTextAndIcon" || k == "ListBoxTextAndIconHI" || k == "ListBoxADVTextAndIcon" ||
           k == "ListBoxADVTextAndIconHI";
}

bool IsTextKind(const std::string& k) {
    return k == "ListBoxText" || k == "ListBoxTextHI" || k == "ListBoxADVText" || k == "ListBoxADVTextHI";
}

bool IsIconOnlyKind(const std::string& k) {
    return k == "ListBoxIcon" || k == "ListBoxIconHI" || k == "ListBoxADVIcon" || k == "ListBoxADVIconHI";
}

} // namespace

void ListBox::InitFromLayout(bool first, std::string className, std::string layoutName, Dialog* dialog,
                             const UifLayoutRecord& record, ScrollBar* scrollBar) {
    ListBoxRow row;
    row.record = record;
    if (!record.Image.empty())
        row.image1 = record.Image;
    if (!record.Image2.empty())
        row.image2 = record.Image2;
    ++lastVisible_;
    ++pageRows_;
    ++slotRows_;
    imageSetParam_ = 4;
    if (IsTextAndIconKeyword(record.Keyword))
        textAndIcon_ = true;
    rows_.push_back(std::move(row));
    if (first) {
        record_ = record;
        Attach(std::move(className), std::move(layoutName), dialog);
        vertical_ = record.Value2 != 1;
        if (record.Value2 > 1)
            lineSpacing_ = record.Value2;
        if (record.Value1 >= 0 && record.Value1 <= 2)
            alignment_ = record.Value1;
        if (!record.ToolTipText.empty())
            SetToolTipText(record.ToolTipText);
        scrollBar_ = scrollBar;
    }
    if (rows_.size() >= 2 && rowGap_ == 0) {
        const UiRect& a = rows_[0].record.Rect;
        const UiRect& b = rows_[1].record.Rect;
        rowGap_ = vertical_ ? b.top - a.bottom : b.left - a.right;
    }
    dialog_ = dialog;
}

void ListBox::AttachScrollControl(UifControl* button, ScrollBar* bar) {
    if (!scrollButtons_[0])
        scrollButtons_[0] = button;
    else if (!scrollButtons_[1])
        scrollButtons_[1] = button;
    if (!scrollBar_)
        scrollBar_ = bar;
}

const UifLayoutRecord& ListBox::GetLayoutRecord() const {
    return rows_.empty() ? record_ : rows_[0].record;
}

void ListBox::RefreshScrollBar() {
    if (scrollBar_)
        scrollBar_->Refresh();
}

std::string ListBox::TakeLine(std::string& rest, int32_t width, int32_t font) {
    UiPainter& painter = Manager().Painter();
    const int32_t usable = width - 32;
    std::string line;
    int32_t lineWidth = 0;
    size_t i = 0;
    while (i < rest.size()) {
        if (rest[i] == '\n') {
            ++i;
            break;
        }
        if (rest[i] == '\\' && i + 1 < rest.size() && rest[i + 1] == 'n') {
            i += 2;
            break;
        }
        size_t end = rest.find_first_of(" \n\\", i);
        while (end != std::string::npos && rest[end] == '\\' &&
               !(end + 1 < rest.size() && rest[end + 1] == 'n'))
            end = rest.find_first_of(" \n\\", end + 1);
        const size_t wordEnd = end == std::string::npos ? rest.size() : end;
        const bool spaceFollows = wordEnd < rest.size() && rest[wordEnd] == ' ';
        const std::string word = rest.substr(i, wordEnd - i + (spaceFollows ? 1 : 0));
        const int32_t wordWidth = painter.TextWidth(font, word);
        if (lineWidth + wordWidth < usable) {
            line += word;
            lineWidth += wordWidth;
            i = wordEnd + (spaceFollows ? 1 : 0);
            continue;
        }
        if (!line.empty())
            break;
        // One word wider than the row: cut between characters, taking at
        // least one so that even a very narrow row makes progress.
        size_t taken = 0;
        while (i + taken < wordEnd &&
               (taken == 0 || painter.TextWidth(font, rest.substr(i, taken + 1)) < usable))
            ++taken;
        line = rest.substr(i, taken);
        i += taken;
        break;
    }
    rest.erase(0, i);
    return line;
}

void ListBox::AddRow(const ListRowTexts& content) {
    if (rows_.empty())
        return;
    std::string rest = content.text;
    do {
        ListBoxRow target;
        if (rowCount_ < pageRows_ && size_t(rowCount_) < rows_.size()) {
            target = rows_[size_t(rowCount_)];
        } else {
            target = rows_.back();
            target.record.Rect = NextRowRect();
            target.state = 0;
        }
        if (content.font != 0)
            target.record.Font = content.font;
        std::string line;
        if (wrapText_) {
            line = TakeLine(rest, target.record.Rect.Width(), target.record.Font);
        } else {
            line = rest;
            rest.clear();
        }
        const std::string& punctuation = Manager().GetUiPunctuation();
        if (wrapText_ && rowCount_ >= 2 && !line.empty() && punctuation.find(line[0]) != std::string::npos) {
            rows_[size_t(rowCount_ - 1)].text += line[0];
            line.erase(0, 1);
        }
        target.text = line;
        target.text2 = content.text2;
        target.tint = content.tint;
        if (!content.image1.empty())
            target.image1 = content.image1;
        target.image2 = content.image2;
        target.image3 = content.image3;
        if (rowCount_ < pageRows_ && size_t(rowCount_) < rows_.size())
            rows_[size_t(rowCount_)] = std::move(target);
        else
            rows_.push_back(std::move(target));
        ++rowCount_;
        RefreshScrollBar();
        SetFirstVisibleRow(0);
    } while (wrapText_ && !rest.empty());
}

UiRect ListBox::NextRowRect() const {
    UiRect r = rows_.back().record.Rect;
    if (vertical_)
        r.Offset(0, r.Height());
    else
        r.Offset(r.Width(), 0);
    if (rows_.size() >= 2) {
        const UiRect& last = rows_[rows_.size() - 1].record.Rect;
        const UiRect& before = rows_[rows_.size() - 2].record.Rect;
        if (vertical_)
            r.Offset(0, last.top - before.bottom);
        else
            r.Offset(last.left - before.right, 0);
    }
    return r;
}

void ListBox::AppendRow(const ListRowTexts& content) {
    if (rows_.empty())
        return;
    size_t source = 0;
    for (size_t i = std::min(size_t(rowCount_), rows_.size()); i-- > 0;) {
        if (rows_[i].HasContent()) {
            source = i;
            break;
        }
    }
    const bool inSlot = rowCount_ < pageRows_ && size_t(rowCount_) < rows_.size();
    ListBoxRow row = rows_[source];
    row.record.Rect = inSlot ? rows_[size_t(rowCount_)].record.Rect : NextRowRect();
    row.state = 0;
    if (content.font != 0)
        row.record.Font = content.font;
    row.text = content.text;
    row.text2 = content.text2;
    row.tint = content.tint;
    if (!content.image1.empty())
        row.image1 = content.image1;
    if (!content.image2.empty())
        row.image2 = content.image2;
    if (!content.image3.empty())
        row.image3 = content.image3;
    if (inSlot)
        rows_[size_t(rowCount_)] = std::move(row);
    else
        rows_.push_back(std::move(row));
    ++rowCount_;
    RefreshScrollBar();
}

void ListBox::AddSlot(const std::string& keyword, const std::string& handler, const UiRect& rect,
                      const std::string& text, const std::string& image1, const std::string& image2,
                      bool vertical, int32_t lastVisibleRow) {
    ListBoxRow row;
    if (!rows_.empty()) {
        row.record = rows_[0].record;
        row.record.Image = row.record.Image2 = row.record.OpenLayout = "";
    }
    row.record.Keyword = keyword;
    row.record.Handler = handler;
    row.record.Rect = rect;
    row.text = text;
    row.image1 = image1;
    row.image2 = image2;
    // Slots stand before the rows added beyond them.
    const size_t at = std::min(size_t(slotRows_), rows_.size());
    rows_.insert(rows_.begin() + std::ptrdiff_t(at), std::move(row));
    vertical_ = vertical;
    lastVisible_ = std::clamp(lastVisibleRow, 0, int32_t(rows_.size()));
    firstVisible_ = std::min(firstVisible_, lastVisible_);
    ++pageRows_;
    ++slotRows_;
    if (rowCount_ > int32_t(at))
        ++rowCount_; // a row beyond the slots moved one place on
    if (selectedRow_ >= int32_t(at))
        ++selectedRow_;
    RefreshScrollBar();
}

std::string ListBox::GetRowImage(int32_t index) const {
    return index >= 0 && size_t(index) < rows_.size() ? rows_[size_t(index)].image1 : std::string();
}

void ListBox::SetRowImage(int32_t index, const std::string& name) {
    if (ListBoxRow* row = RowAt(index))
        row->image1 = name;
}

void ListBox::SetAllRowImages(const std::string& name) {
    UiImageSize size;
    if (rows_.size() < 2 || !Manager().Painter().ImageSize(name, imageSetParam_, size))
        return;
    const UiRect& a = rows_[0].record.Rect;
    const UiRect& b = rows_[1].record.Rect;
    const int32_t gap = vertical_ ? b.top - a.bottom : b.left - a.right;
    for (ListBoxRow& row : rows_)
        row.image1 = name;
    UiRect& first = rows_[0].record.Rect;
    first = {first.left, first.top, first.left + size.frameWidth, first.top + size.frameHeight};
    for (size_t i = 1; i < rows_.size(); ++i) {
        const UiRect& previous = rows_[i - 1].record.Rect;
        UiRect& r = rows_[i].record.Rect;
        if (vertical_)
            r = {previous.left, previous.bottom + gap, previous.left + size.frameWidth,
                 previous.bottom + gap + size.frameHeight};
        else
            r = {previous.right + gap, previous.top, previous.right + gap + size.frameWidth,
                 previous.top + size.frameHeight};
    }
}

void ListBox::SetRowGap(int32_t gap) {
    rowGap_ = gap;
    if (rows_.size() < 2)
        return;
    const UiRect first = rows_[0].record.Rect;
    for (size_t i = 1; i < rows_.size(); ++i) {
        const UiRect& previous = rows_[i - 1].record.Rect;
        UiRect& r = rows_[i].record.Rect;
        if (vertical_) {
            r.top = previous.bottom + gap;
            r.bottom = r.top + first.Height();
        } else {
            r.left = previous.right + gap;
            r.right = r.left + first.Width();
        }
    }
}

void ListBox::InsertRow(int32_t index, const ListRowTexts& content) {
    if (index < 0 || size_t(index) >= rows_.size())
        return;
    ListBoxRow copy = rows_[size_t(index)];
    if (!content.text.empty()) {
        copy.text = content.text;
        copy.text2 = content.text2;
    }
    if (!content.image2.empty())
        copy.image2 = content.image2;
    if (!content.image3.empty())
        copy.image3 = content.image3;
    if (!content.image1.empty())
        copy.image1 = content.image1;
    for (int32_t i = index; i < rowCount_ && size_t(i) < rows_.size(); ++i) {
        UiRect& r = rows_[size_t(i)].record.Rect;
        r.Offset(0, r.Height());
    }
    rows_.insert(rows_.begin() + index, std::move(copy));
    ++rowCount_;
    if (selectedRow_ >= index)
        ++selectedRow_;
    RefreshScrollBar();
    SetFirstVisibleRow(0);
}

void ListBox::SetRowTexts(int32_t index, const ListRowTexts& content) {
    ListBoxRow* row = RowAt(index);
    if (!row)
        return;
    row->text = content.text;
    row->text2 = content.text2;
    row->image2 = content.image2;
    row->image3 = content.image3;
}

void ListBox::RemoveRow(int32_t index) {
    if (index < 0 || index >= rowCount_ || size_t(index) >= rows_.size())
        return;
    const UifLayoutRecord first = rows_[0].record;
    for (int32_t i = index + 1; i < rowCount_ && size_t(i) < rows_.size(); ++i) {
        ListBoxRow& to = rows_[size_t(i - 1)];
        const ListBoxRow& from = rows_[size_t(i)];
        const UiRect keep = to.record.Rect;
        const std::string image = to.image1;
        to = from;
        to.record.Rect = keep;
        if (fixedIcons_)
            to.image1 = image;
    }
    UifLayoutRecord& row0 = rows_[0].record;
    row0.Font = first.Font;
    row0.Colour1 = first.Colour1;
    row0.Colour2 = first.Colour2;
    row0.Colour3 = first.Colour3;
    row0.Colour4 = first.Colour4;
    row0.Handler = first.Handler;
    ListBoxRow& last = rows_[size_t(rowCount_ - 1)];
    last.state = 0;
    last.text.clear();
    last.text2.clear();
    last.image2.clear();
    last.image3.clear();
    // The selection follows the row it marked.
    if (selectedRow_ == index)
        selectedRow_ = -1;
    else if (selectedRow_ > index)
        --selectedRow_;
    if (anchorRow_ >= rowCount_ - 1)
        anchorRow_ = -1;
    if (rowCount_ - 1 >= pageRows_)
        rows_.erase(rows_.begin() + (rowCount_ - 1));
    --rowCount_;
    if (firstVisible_ + pageRows_ >= rowCount_ && lastVisible_ > firstVisible_ &&
        lastVisible_ > std::max(rowCount_, pageRows_))
        --lastVisible_;
    RefreshScrollBar();
    SetFirstVisibleRow(0);
}

void ListBox::Clear() {
    hoverRow_ = selectedRow_ = anchorRow_ = -1;
    pageRows_ = slotRows_;
    if (rows_.size() > size_t(pageRows_))
        rows_.resize(size_t(pageRows_));
    for (ListBoxRow& row : rows_) {
        row.state = 0;
        row.text.clear();
        row.image2.clear();
        row.image3.clear();
    }
    rowCount_ = 0;
    RefreshScrollBar();
    firstVisible_ = 0;
    lastVisible_ = pageRows_;
    selectedRows_.clear();
}

bool ListBox::GetRow(int32_t index, ListRowTexts& content) const {
    if (index < 0 || size_t(index) >= rows_.size())
        return false;
    const ListBoxRow& row = rows_[size_t(index)];
    content.text = row.text;
    content.image1 = row.image1;
    content.image2 = row.image2;
    content.image3 = row.image3;
    content.text2 = row.text2;
    content.tint = row.tint;
    content.unused = 0xFFFFFFFF;
    content.font = 0;
    return true;
}

ListBoxRow* ListBox::RowAt(int32_t index) {
    return index >= 0 && size_t(index) < rows_.size() ? &rows_[size_t(index)] : nullptr;
}

void ListBox::SetPageRows(int32_t n) {
    pageRows_ = std::max(n, 0);
    firstVisible_ = 0;
    lastVisible_ = std::min(pageRows_, int32_t(rows_.size()));
    RefreshScrollBar();
}

void ListBox::SetSelection(int32_t n) {
    if (n < 0 || size_t(n) >= rows_.size()) {
        selectedRow_ = anchorRow_ = -1;
        return;
    }
    if (ListBoxRow* old = RowAt(selectedRow_))
        old->state = 0;
    selectedRow_ = anchorRow_ = n;
    rows_[size_t(n)].state = 1;
}

const std::vector<int32_t>& ListBox::GetSelectedRows() {
    selectedRows_.clear();
    for (size_t i = 0; i < rows_.size(); ++i) {
        if (rows_[i].state == 1)
            selectedRows_.push_back(int32_t(i));
    }
    return selectedRows_;
}

void ListBox::SetSelectedRows(const std::vector<int32_t>& rows) {
    selectedRows_ = rows;
    for (int32_t i : rows) {
        if (ListBoxRow* row = RowAt(i))
            row->state = 1;
    }
}

void ListBox::SetFirstVisibleRow(int32_t n) {
    if (disabled_ || firstVisible_ + 1 >= int32_t(rows_.size()))
        return;
    n = std::max(n, 0);
    auto move = [&] {
        firstVisible_ = n;
        lastVisible_ = n + pageRows_;
        if (n > 0 && lastVisible_ > rowCount_) {
            lastVisible_ = rowCount_;
            firstVisible_ = std::max(rowCount_ - pageRows_, 0);
        }
        lastVisible_ = std::min(lastVisible_, int32_t(rows_.size()));
    };
    if (fixedIcons_ || lastVisible_ - firstVisible_ < 2) {
        move();
        return;
    }
    // Background images are decorations of the page's positions: the top,
    // middle and bottom decoration stay where they are while rows scroll.
    const std::string top = rows_[size_t(firstVisible_)].image1;
    const std::string middle = rows_[size_t(firstVisible_ + 1)].image1;
    const std::string bottom = rows_[size_t(lastVisible_ - 1)].image1;
    rows_[size_t(firstVisible_)].image1 = rows_[size_t(firstVisible_ + 1)].image1;
    rows_[size_t(lastVisible_ - 1)].image1 = rows_[size_t(lastVisible_ - 2)].image1;
    move();
    if (lastVisible_ - firstVisible_ < 1)
        return;
    rows_[size_t(firstVisible_)].image1 = top;
    for (int32_t i = firstVisible_ + 1; i < lastVisible_ - 1; ++i)
        rows_[size_t(i)].image1 = middle;
    rows_[size_t(lastVisible_ - 1)].image1 = bottom;
}

void ListBox::ScrollTo(int32_t n) {
    SetFirstVisibleRow(rowCount_ > pageRows_ ? n : 0);
    if (scrollBar_)
        scrollBar_->SyncKnob();
}

void ListBox::ScrollDown() {
    if (disabled_ || lastVisible_ >= rowCount_ || size_t(lastVisible_) >= rows_.size())
        return;
    ++firstVisible_;
    ++lastVisible_;
    if (!fixedIcons_) {
        rows_[size_t(firstVisible_)].image1 = rows_[size_t(firstVisible_ - 1)].image1;
        rows_[size_t(lastVisible_ - 1)].image1 = rows_[size_t(lastVisible_ - 2)].image1;
        if (lastVisible_ - 3 >= 0)
            rows_[size_t(lastVisible_ - 2)].image1 = rows_[size_t(lastVisible_ - 3)].image1;
    }
}

void ListBox::ScrollUp() {
    if (disabled_ || firstVisible_ < 1)
        return;
    --firstVisible_;
    --lastVisible_;
    if (!fixedIcons_ && size_t(lastVisible_) < rows_.size()) {
        rows_[size_t(firstVisible_)].image1 = rows_[size_t(firstVisible_ + 1)].image1;
        if (size_t(firstVisible_ + 2) < rows_.size())
            rows_[size_t(firstVisible_ + 1)].image1 = rows_[size_t(firstVisible_ + 2)].image1;
        rows_[size_t(lastVisible_ - 1)].image1 = rows_[size_t(lastVisible_)].image1;
        if (lastVisible_ - 3 >= 0)
            rows_[size_t(lastVisible_ - 2)].image1 = rows_[size_t(lastVisible_ - 3)].image1;
    }
}

void ListBox::SetComboOwner(ComboBox* combo) {
    comboOwned_ = true;
    comboOwner_ = combo;
    SetSelection(0);
}

UiRect ListBox::RowScreenRect(int32_t i) const {
    UiRect r = rows_[size_t(i)].record.Rect;
    if (firstVisible_ > 0 && i >= 1) {
        const UiRect& previous = rows_[size_t(i - 1)].record.Rect;
        if (vertical_)
            r.Offset(0, -firstVisible_ * (r.Height() + (r.top - previous.bottom)));
        else
            r.Offset(-firstVisible_ * (r.Width() + (r.left - previous.right)), 0);
    }
    return r;
}

bool ListBox::IsHoverKind(const ListBoxRow& row) const {
    return EndsWithHI(row.record.Keyword);
}

bool ListBox::FindRow(UiPoint point, bool quiet) {
    UiPainter& painter = Manager().Painter();
    const int32_t last = std::min(lastVisible_, int32_t(rows_.size()));
    for (int32_t i = firstVisible_; i < last; ++i) {
        const ListBoxRow& row = rows_[size_t(i)];
        const UiRect at = RowScreenRect(i);
        if (rowRectHit_) {
            if (at.Contains(point))
                return true;
            continue;
        }
        UiImageSize size;
        if (row.image1.empty() || !painter.ImageSize(row.image1, imageSetParam_, size))
            continue;
        if (!noPixelHit_) {
            const UiRect placed{at.left, at.top, at.left + at.Width(), at.top + at.Height()};
            const uint32_t frame = std::min<uint32_t>(row.state, uint32_t(imageSetParam_ - 1));
            if ((painter.ImagePixel(row.image1, imageSetParam_, int32_t(frame), placed, point) >> 24) == 0)
                continue;
        }
        if (IsTextKind(row.record.Keyword) && row.text.empty() && !comboOwned_)
            continue;
        if (IsIconOnlyKind(row.record.Keyword) && row.image2.empty() && row.image3.empty())
            continue;
        if (!at.Contains(point))
            continue;
        if (toolTip_ && !quiet)
            toolTip_->UpdateHover(true, point);
        if (comboOwned_ && row.text.empty())
            hoverRow_ = row.image3.empty() ? selectedRow_ : i;
        else
            hoverRow_ = i;
        return true;
    }
    if (toolTip_ && !quiet)
        toolTip_->UpdateHover(false, point);
    hoverRow_ = -1;
    return false;
}

UifControl* ListBox::HitTest(UiPoint point) {
    if (!visible_ || disabled_ || rows_.empty())
        return nullptr;
    if (FindRow(point, false))
        return dialog_ && dialog_->IsCovered(point, this) ? nullptr : this;
    return !inputRect_.IsEmpty() && inputRect_.Contains(point) ? this : nullptr;
}

UifControl* ListBox::HitTestQuiet(UiPoint point) {
    if (!visible_ || rows_.empty())
        return nullptr;
    if (FindRow(point, true))
        return dialog_ && dialog_->IsCovered(point, this) ? nullptr : this;
    return !inputRect_.IsEmpty() && inputRect_.Contains(point) ? this : nullptr;
}

bool ListBox::UpdateInput(UiPoint point, bool held) {
    if (!visible_ || disabled_ || rows_.empty())
        return false;
    DialogManager& manager = Manager();
    const int32_t last = std::min(lastVisible_, int32_t(rows_.size()));
    if (!multiSelect_) {
        for (int32_t i = firstVisible_; i < last; ++i) {
            if (i != selectedRow_)
                rows_[size_t(i)].state = 0;
        }
    }
    const UiInputSnapshot& snapshot = manager.Snapshot();
    const uint32_t keys = manager.Mouse().KeyFlags();
    const bool shift = (keys & MouseInput::kShiftFlag) != 0;
    const bool ctrl = (keys & MouseInput::kControlFlag) != 0;
    if (snapshot.doubleClick && held && HitTest(point)) {
        fire_ = true;
        return true;
    }
    if (held) {
        if (toolTip_)
            toolTip_->UpdateHover(false, point);
        wasPressed_ = true;
        fire_ = comboOwned_;
        if (comboOwned_)
            manager.PlayUiSound(kUiSoundClick, nullptr);
        if (HitTest(point) && hoverRow_ >= 0 && size_t(hoverRow_) < rows_.size()) {
            ListBoxRow& hovered = rows_[size_t(hoverRow_)];
            if (!multiSelect_ || (!shift && !ctrl)) {
                if (!hovered.HasContent()) {
                    if (ListBoxRow* selected = RowAt(selectedRow_))
                        selected->state = 1;
                    return false;
                }
                if (multiSelect_) {
                    for (ListBoxRow& row : rows_)
                        row.state = 0;
                }
                hovered.state = 1;
                if (!multiSelect_ && selectedRow_ != hoverRow_) {
                    if (ListBoxRow* selected = RowAt(selectedRow_))
                        selected->state = 0;
                }
            } else if (shift && !ctrl) {
                const int32_t anchor = anchorRow_ < 0 ? 0 : anchorRow_;
                const int32_t low = std::min(anchor, hoverRow_), high = std::max(anchor, hoverRow_);
                for (int32_t i = 0; i < int32_t(rows_.size()); ++i)
                    rows_[size_t(i)].state = i >= low && i <= high ? 1 : 0;
                if (hoverRow_ < anchor) {
                    selectedRow_ = hoverRow_;
                    return true;
                }
            } else {
                return true;
            }
        }
        if (comboOwned_) {
            selectedRow_ = hoverRow_;
            Hide();
            if (comboOwner_)
                comboOwner_->ClearOpen();
        }
        return true;
    }
    if (HitTest(point)) {
        Dialog* modal = manager.GetModalDialog();
        if (!modal || modal == dialog_) {
            if (snapshot.wheel > 0) {
                ScrollUp();
                if (scrollBar_)
                    scrollBar_->FollowBack();
            } else if (snapshot.wheel < 0) {
                ScrollDown();
                if (scrollBar_)
                    scrollBar_->FollowForward();
            }
        }
        fire_ = wasPressed_;
        wasPressed_ = false;
        if (fire_ && hoverRow_ >= 0 && size_t(hoverRow_) < rows_.size()) {
            ListBoxRow& row = rows_[size_t(hoverRow_)];
            if (!row.HasContent())
                return false;
            manager.PlayUiSound(kUiSoundClick, nullptr);
            if (!multiSelect_) {
                selectedRow_ = hoverRow_;
                row.state = 1;
            } else if (ctrl) {
                if (IsHoverKind(row))
                    row.state = row.state == 1 ? 2 : 1;
                else
                    row.state = row.state == 1 ? 0 : 1;
                selectedRow_ = anchorRow_ = hoverRow_;
            } else {
                selectedRow_ = hoverRow_;
                if (!shift)
                    anchorRow_ = hoverRow_;
            }
        }
    } else {
        if (ListBoxRow* selected = RowAt(selectedRow_))
            selected->state = 1;
        fire_ = wasPressed_ = false;
    }
    if (hoverRow_ >= 0 && size_t(hoverRow_) < rows_.size() && IsHoverKind(rows_[size_t(hoverRow_)])) {
        for (int32_t i = firstVisible_; i < last; ++i) {
            ListBoxRow& row = rows_[size_t(i)];
            if (row.state != 1)
                row.state = i == hoverRow_ ? 2 : 0;
        }
    }
    return true;
}

bool ListBox::FireHandler(UiHandler handler) {
    if (disabled_ || !fire_)
        return false;
    if (handler)
        handler(this);
    if (ListBoxRow* row = RowAt(hoverRow_); row && !row->record.OpenLayout.empty() && dialog_) {
        const std::string layout = row->record.OpenLayout;
        UpdateInput({0, 0}, false);
        if (Manager().LoadLayout(layout))
            Manager().OpenDialog(layout);
    }
    if (toolTip_)
        toolTip_->UpdateHover(false, {0, 0});
    return true;
}

UifControl* ListBox::WidgetAt(UiPoint point) {
    if (HitTest(point))
        return this;
    for (UifControl* button : scrollButtons_) {
        if (button && button->HitTest(point))
            return button;
    }
    if (scrollBar_ && scrollBar_->HitTest(point))
        return scrollBar_;
    if (dialog_ && !rows_.empty()) {
        for (const char* keyword : {"Button", "ButtonHI"}) {
            UifControl* partner = dialog_->FindControl(rows_[0].record.Id, keyword);
            if (partner && partner->HitTest(point))
                return partner;
        }
    }
    return nullptr;
}

void ListBox::MoveBy(int32_t dx, int32_t dy) {
    record_.Rect.Offset(dx, dy);
    for (ListBoxRow& row : rows_)
        row.record.Rect.Offset(dx, dy);
    if (!inputRect_.IsEmpty())
        inputRect_.Offset(dx, dy);
}

void ListBox::Enable() {
    disabled_ = false;
    for (int32_t i = firstVisible_; i < std::min(lastVisible_, int32_t(rows_.size())); ++i)
        rows_[size_t(i)].state = 0;
}

void ListBox::Disable() {
    disabled_ = true;
    for (int32_t i = firstVisible_; i < std::min(lastVisible_, int32_t(rows_.size())); ++i)
        rows_[size_t(i)].state = 3;
}

void ListBox::ShowScrollControls(bool show) {
    for (UifControl* button : scrollButtons_) {
        if (button) {
            if (show)
                button->Show();
            else
                button->Hide();
        }
    }
    if (scrollBar_) {
        if (show)
            scrollBar_->Show();
        else
            scrollBar_->Hide();
    }
}

void ListBox::Show() {
    if (comboOwned_ && !(comboOwner_ && comboOwner_->IsOpen()))
        return;
    visible_ = true;
    ShowScrollControls(true);
}

void ListBox::Hide() {
    visible_ = false;
    ShowScrollControls(false);
}

void ListBox::SetToolTipText(const std::string& text) {
    if (text.empty() || !dialog_)
        return;
    if (!toolTip_)
        toolTip_ = std::make_unique<ToolTip>(Manager());
    if (!rows_.empty())
        toolTip_->SetText(this, text, &rows_[0].record.ToolTipImage, rows_[0].record.ToolTipValue);
}

void ListBox::DrawToolTip(int32_t layer) {
    if (visible_ && toolTip_ && toolTip_->GetState() == ToolTip::kShown)
        toolTip_->Draw(layer);
}

void ListBox::DrawRowText(int32_t layer, const ListBoxRow& row, const UiRect& at, int32_t x, int32_t y,
                          uint32_t colour, int32_t font) {
    UiPainter& painter = Manager().Painter();
    const UiRect& layoutRect = row.record.Rect;
    const UifLayoutRecord& first = rows_[0].record;
    if (Contains(row.text, "\\tl") || Contains(row.text, "\\tr")) {
        // Columns: a marker, then the column's offset from row 0's left.
        std::string segment;
        int32_t segmentX = x;
        bool rightAlign = false;
        auto flush = [&] {
            if (segment.empty())
                return;
            if (!segment.empty() && segment.back() == ' ')
                segment.pop_back();
            const int32_t drawX = rightAlign ? segmentX - painter.TextWidth(font, segment) : segmentX;
            painter.DrawText(layer, font, {drawX, y}, colour, segment);
            segment.clear();
        };
        size_t start = 0;
        bool readOffset = false;
        while (start <= row.text.size()) {
            size_t end = row.text.find(' ', start);
            if (end == std::string::npos)
                end = row.text.size();
            const std::string word = row.text.substr(start, end - start);
            start = end + 1;
            if (readOffset) {
                readOffset = false;
                segmentX = first.Rect.left + std::atoi(word.c_str());
            } else if (word == "\\tl" || word == "\\tr") {
                flush();
                rightAlign = word == "\\tr";
                readOffset = true;
            } else if (!word.empty()) {
                segment += word + " ";
            }
            if (end == row.text.size())
                break;
        }
        flush();
        return;
    }
    const int32_t advance = lineSpacing_ != 0 ? lineSpacing_ : textHeight_;
    const int32_t space = painter.TextWidth(font, " ");
    const int32_t lineStart = layoutRect.left + (alignment_ == 2 ? -first.Value3 : first.Value3) + 5;
    int32_t lineY = y;
    size_t start = 0;
    while (start <= row.text.size()) {
        size_t end = row.text.find('\n', start);
        if (end == std::string::npos)
            end = row.text.size();
        const std::string line = row.text.substr(start, end - start);
        start = end + 1;
        // Words of the line, broken where the next would pass the right edge.
        std::vector<std::string> pieces;
        std::string current;
        int32_t currentWidth = 0;
        const int32_t limit = layoutRect.right - (alignment_ == 0 ? x : lineStart);
        size_t w = 0;
        while (w <= line.size()) {
            size_t wordEnd = line.find(' ', w);
            if (wordEnd == std::string::npos)
                wordEnd = line.size();
            const std::string word = line.substr(w, wordEnd - w);
            w = wordEnd + 1;
            const int32_t wordWidth = painter.TextWidth(font, word);
            if (!current.empty() && currentWidth + space + wordWidth > limit) {
                pieces.push_back(current);
                current.clear();
                currentWidth = 0;
            }
            if (!current.empty()) {
                current += ' ';
                currentWidth += space;
            }
            current += word;
            currentWidth += wordWidth;
            if (wordEnd == line.size())
                break;
        }
        pieces.push_back(current);
        for (size_t p = 0; p < pieces.size(); ++p) {
            if (lineY >= at.bottom || lineY + textHeight_ > at.bottom)
                return;
            const int32_t width = painter.TextWidth(font, pieces[p]);
            int32_t drawX = (p == 0 && lineY == y) ? x : lineStart;
            if (alignment_ == 1)
                drawX = layoutRect.left + layoutRect.Width() / 2 - width / 2;
            else if (alignment_ == 2)
                drawX = layoutRect.right - width - first.Value3;
            if (!pieces[p].empty())
                painter.DrawText(layer, font, {drawX, lineY}, colour, pieces[p]);
            lineY += advance;
        }
        if (end == row.text.size())
            break;
    }
}

void ListBox::Draw(int32_t layer) {
    if (!visible_ || !dialog_ || rows_.empty())
        return;
    layer = LayerFor(layer);
    UiPainter& painter = Manager().Painter();
    const UifLayoutRecord& first = rows_[0].record;
    const int32_t last = std::min(lastVisible_, int32_t(rows_.size()));
    for (int32_t i = firstVisible_; i < last; ++i) {
        ListBoxRow& row = rows_[size_t(i)];
        const std::string& keyword = row.record.Keyword;
        if ((keyword == "ListBoxADVText" || keyword == "ListBoxADVTextHI") && scrollButtons_[1]) {
            if (rowCount_ > pageRows_) {
                const UiRect button = scrollButtons_[1]->GetLayoutRecord().Rect;
                if (button.left < row.record.Rect.right) {
                    for (int32_t k = 0; k < rowCount_ && size_t(k) < rows_.size(); ++k)
                        rows_[size_t(k)].record.Rect.right -= button.Width();
                }
                ShowScrollControls(true);
            } else {
                ShowScrollControls(false);
            }
        }
        const UiRect at = RowScreenRect(i);
        const bool isAdvText = keyword == "ListBoxADVText" || keyword == "ListBoxADVTextHI";
        if (isAdvText && row.text.empty())
            continue;
        const int32_t frame = int32_t(std::min<uint32_t>(row.state, 3));
        UiImageSize icon2, icon3;
        const bool hasIcon2 = !row.image2.empty() && painter.ImageSize(row.image2, imageSetParam_, icon2);
        const bool hasIcon3 = !row.image3.empty() && painter.ImageSize(row.image3, 1, icon3);
        const bool iconKind = Contains(keyword, "Icon");
        if (!iconKind) {
            painter.DrawImageFrame(layer, row.image1, imageSetParam_, frame, at, colour_);
        } else if (hasIcon2 || hasIcon3) {
            painter.DrawImageFrame(layer, row.image1, imageSetParam_, frame, at, colour_);
            int32_t w = hasIcon2 ? icon2.frameWidth : icon3.frameWidth;
            int32_t h = hasIcon2 ? icon2.frameHeight : icon3.frameHeight;
            UiRect target;
            if (!textAndIcon_) {
                if (w > at.Width() && w > 0) {
                    const float s = float(at.Width()) / float(w);
                    w = int32_t(float(w) * s);
                    h = int32_t(float(h) * s);
                }
                if (h > at.Height() && h > 0) {
                    const float s = float(at.Height()) / float(h);
                    w = int32_t(float(w) * s);
                    h = int32_t(float(h) * s);
                }
                const int32_t left = at.left + at.Width() / 2 - w / 2, top = at.top + at.Height() / 2 - h / 2;
                target = {left, top, left + w, top + h};
            } else {
                const int32_t side = std::min(std::min(w, at.Width()), std::min(h, at.Height()));
                const int32_t left = at.left + 5, top = at.top + at.Height() / 2 - side / 2;
                target = {left, top, left + side, top + side};
            }
            if (hasIcon2)
                painter.DrawImageFrame(layer, row.image2, imageSetParam_, frame, target, colour_);
            else
                painter.DrawImageFrame(layer, row.image3, 1, 0, target, row.tint);
        } else {
            continue;
        }
        if (row.text.empty())
            continue;
        const int32_t font = row.record.Font == -1 ? first.Font : row.record.Font;
        textHeight_ = painter.TextHeight(font);
        int32_t x = at.left + 5;
        if (textAndIcon_ && hasIcon2)
            x += icon2.frameWidth + 5;
        int32_t y = at.top + at.Height() / 2 - textHeight_ / 2;
        const int32_t width = painter.TextWidth(font, row.text);
        if (alignment_ == 1)
            x = row.record.Rect.left + row.record.Rect.Width() / 2 - width / 2;
        else if (alignment_ == 2)
            x = row.record.Rect.right - width;
        if (verticalAlignment_ == 3)
            y = at.top;
        else if (verticalAlignment_ == 5)
            y = at.bottom - textHeight_;
        const UifLayoutRecord& colours = perRowColours_ ? row.record : first;
        const bool adv = Contains(keyword, "ListBoxADV");
        uint32_t colour = colours.Colour1;
        switch (row.state) {
        case 1:
            colour = adv ? first.Colour2 : colours.Colour2;
            break;
        case 2:
            colour = adv ? first.Colour3 : colours.Colour3;
            break;
        case 3:
            colour = colours.Colour4;
            break;
        default:
            break;
        }
        colour = (colour & 0xFFFFFF) | (colour_ & 0xFF000000);
        const bool columns = Contains(row.text, "\\tl") || Contains(row.text, "\\tr");
        const int32_t offset = alignment_ == 2 ? -first.Value3 : first.Value3;
        if (columns)
            DrawRowText(layer, row, at, x, y, colour, font);
        else
            DrawRowText(layer, row, at, x + offset, y + first.Value4, colour, font);
    }
}
