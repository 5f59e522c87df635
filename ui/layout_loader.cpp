// The layout loader of the dialog manager: makes a dialog's widgets from a
// planned layout, pairs partners, places the dialog in the middle of the
// screen, binds the handlers and calls the Init handler.
#include "ui/dialog_manager.h"

#include "engine/asset_log.h"
#include "ui/layout_files.h"
#include "ui/widgets/button.h"
#include "ui/widgets/combo_box.h"
#include "ui/widgets/edit.h"
#include "ui/widgets/list_box.h"
#include "ui/widgets/scroll_bar.h"
#include "ui/widgets/spin_menu.h"
#include "ui/widgets/status_bar.h"
#include "ui/widgets/text.h"
#include "ui/widgets/user_view.h"

#include <algorithm>

namespace {

// The first widget made so far with this Id and one of the keywords, in
// the keywords' order.
template <size_t N>
UifControl* FindPartner(const Dialog& dialog, int32_t id, const std::array<std::string_view, N>& keywords) {
    for (std::string_view keyword : keywords) {
        if (UifControl* found = dialog.FindControl(id, keyword))
            return found;
    }
    return nullptr;
}

// A widget of the kind, not yet initialised; null for a kind this program
// does not make.
std::unique_ptr<UifControl> MakeWidget(WidgetKind kind) {
    switch (kind) {
    case WidgetKind::Button:
        return std::make_unique<Button>();
    case WidgetKind::StatusBar:
        return std::make_unique<StatusBar>();
    case WidgetKind::User:
        return std::make_unique<User>();
    case WidgetKind::View:
        return std::make_unique<View>();
    case WidgetKind::Text:
        return std::make_unique<Text>();
    case WidgetKind::Edit:
        return std::make_unique<Edit>();
    case WidgetKind::ListBox:
        return std::make_unique<ListBox>();
    case WidgetKind::ScrollBar:
        return std::make_unique<ScrollBar>();
    case WidgetKind::ScrollBtn:
        return std::make_unique<ScrollBtn>();
    case WidgetKind::ComboBox:
        return std::make_unique<ComboBox>();
    case WidgetKind::Spin:
        return std::make_unique<Spin>();
    case WidgetKind::Menu:
        return std::make_unique<Menu>();
    default:
        return nullptr;
    }
}

} // namespace

bool DialogManager::LoadLayout(std::string_view name) {
    const std::string base = LayoutBaseName(name);
    if (std::find(loadChain_.begin(), loadChain_.end(), base) != loadChain_.end()) {
        LogAssetProblem("layout uif/%s.uif: opens itself while it loads", base.c_str());
        return false;
    }
    LayoutPlan plan;
    if (!LoadLayoutPlan(base, plan))
        return false;
    for (const LayoutWidget& widget : plan.widgets) {
        if (!MakeWidget(widget.kind)) {
            LogAssetProblem("layout uif/%s.uif: line %d: widget \"%s\" is not available", base.c_str(),
                            int(widget.lineNumber), widget.record.Keyword.c_str());
            return false;
        }
    }

    auto dialog = std::make_unique<Dialog>(*this);
    dialog->SetName(base);
    for (LayoutWidget& planned : plan.widgets) {
        std::unique_ptr<UifControl> widget = MakeWidget(planned.kind);
        widget->Record() = planned.record;
        const int32_t id = planned.record.Id;
        if (auto* button = dynamic_cast<Button*>(widget.get()))
            button->Init(base, base, dialog.get(), FindPartner(*dialog, id, kComboKeywords));
        else if (auto* bar = dynamic_cast<StatusBar*>(widget.get()))
            bar->Init(base, base, dialog.get());
        else if (auto* user = dynamic_cast<User*>(widget.get()))
            user->Init(base, base, dialog.get());
        else if (auto* view = dynamic_cast<View*>(widget.get()))
            view->Init(base, base, dialog.get());
        else if (auto* text = dynamic_cast<Text*>(widget.get()))
            text->Init(base, base, dialog.get());
        else if (auto* edit = dynamic_cast<Edit*>(widget.get()))
            edit->Init(base, base, dialog.get());
        else if (auto* list = dynamic_cast<ListBox*>(widget.get())) {
            auto* bar = dynamic_cast<ScrollBar*>(FindPartner(*dialog, id, kScrollBarKeywords));
            list->InitFromLayout(true, base, base, dialog.get(), planned.record, bar);
            for (const UifLayoutRecord& slot : planned.rowSlots)
                list->InitFromLayout(false, {}, {}, dialog.get(), slot, nullptr);
            // The bar above the list follows it from now on.
            if (bar)
                bar->Bind(list);
        } else if (auto* bar = dynamic_cast<ScrollBar*>(widget.get())) {
            bar->Init(base, base, dialog.get(),
                      dynamic_cast<ListBox*>(FindPartner(*dialog, id, kListKeywords)));
        } else if (auto* button = dynamic_cast<ScrollBtn*>(widget.get())) {
            auto* list = dynamic_cast<ListBox*>(FindPartner(*dialog, id, kListKeywords));
            auto* bar = dynamic_cast<ScrollBar*>(FindPartner(*dialog, id, kScrollBarKeywords));
            if (list)
                list->AttachScrollControl(button, bar);
            if (bar)
                bar->Bind(list);
            button->Init(base, base, dialog.get(), bar, list);
        } else if (auto* spin = dynamic_cast<Spin*>(widget.get())) {
            spin->Init(base, base, dialog.get());
        } else if (auto* menu = dynamic_cast<Menu*>(widget.get())) {
            menu->Init(base, base, dialog.get());
        } else if (auto* combo = dynamic_cast<ComboBox*>(widget.get())) {
            combo->Init(base, base, dialog.get(),
                        dynamic_cast<ListBox*>(FindPartner(*dialog, id, kListKeywords)));
        }
        dialog->AddControl(std::move(widget));
    }
    if (plan.hasMinimiseButton) {
        auto button = std::make_unique<Button>();
        button->Record() = plan.minimiseButton.record;
        button->Init(base, base, dialog.get(), nullptr);
        dialog->SetMinimizeButton(std::move(button));
    }
    dialog->SetModal(plan.widgets[0].record.Value2 != 0);

    std::vector<const UifLayoutRecord*> records;
    for (int32_t i = 0; i < dialog->GetControlCount(); ++i) {
        UifControl* control = dialog->GetControl(i);
        if (auto* list = dynamic_cast<ListBox*>(control)) {
            // Every row slot of a list names a handler of its own.
            for (const ListBoxRow& row : list->GetRows())
                records.push_back(&row.record);
        } else {
            records.push_back(&control->GetLayoutRecord());
        }
    }
    BindHandlers(handlers_, *registry_, base, records);

    // The frame keeps its file position as its face offset and is centred;
    // the other widgets, given relative to the dialog, follow its corner.
    UifControl* frame = dialog->GetControl(0);
    UiRect& rect = frame->Record().Rect;
    if (auto* button = dynamic_cast<Button*>(frame))
        button->SetFaceOffset({rect.left, rect.top});
    const int32_t cx = (screen_.left + screen_.right) / 2, cy = (screen_.top + screen_.bottom) / 2;
    const int32_t hw = rect.Width() / 2, hh = rect.Height() / 2;
    rect = {cx - hw, cy - hh, cx + hw, cy + hh};
    for (int32_t i = 1; i < dialog->GetControlCount(); ++i)
        dialog->GetControl(i)->MoveBy(rect.left, rect.top);
    if (UifControl* minimise = dialog->GetMinimizeButton())
        minimise->MoveBy(rect.left, rect.top);

    const std::string initName = frame->GetLayoutRecord().Handler;
    dialogs_.push_back(std::move(dialog));
    noLayoutYet_ = false;
    // The Init handler may load further layouts; this one is on the chain.
    loadChain_.push_back(base);
    if (UiHandler init = handlers_.Entry(base, initName))
        init(nullptr);
    loadChain_.pop_back();
    inputConsumed_ = true;
    return true;
}
