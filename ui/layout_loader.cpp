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
#include "ui/widgets/tab.h"
#include "ui/widgets/text.h"
#include "ui/widgets/tree_list_box.h"
#include "ui/widgets/user_view.h"

#include <algorithm>

namespace {

// The first widget made so far with this Id and one of the keywords, in
// the keywords' order.
// Among the tab's page when one is loading, else among the dialog's widgets.
template <size_t N>
UifControl* FindPartner(const Dialog& dialog, const Tab* container, int32_t id,
                        const std::array<std::string_view, N>& keywords) {
    for (std::string_view keyword : keywords) {
        if (UifControl* found =
                container ? container->FindChild(id, keyword) : dialog.FindControl(id, keyword))
            return found;
    }
    return nullptr;
}

// Gives the widget its names, dialog and partners.
void InitWidget(UifControl* widget, const LayoutWidget& planned, const std::string& className,
                const std::string& layoutName, Dialog* dialog, const Tab* container) {
    const int32_t id = planned.record.Id;
    auto partner = [&](const auto& keywords) { return FindPartner(*dialog, container, id, keywords); };
    if (auto* button = dynamic_cast<Button*>(widget)) {
        button->Init(className, layoutName, dialog, partner(kComboKeywords));
    } else if (auto* bar = dynamic_cast<StatusBar*>(widget)) {
        bar->Init(className, layoutName, dialog);
    } else if (auto* user = dynamic_cast<User*>(widget)) {
        user->Init(className, layoutName, dialog);
    } else if (auto* view = dynamic_cast<View*>(widget)) {
        view->Init(className, layoutName, dialog);
    } else if (auto* text = dynamic_cast<Text*>(widget)) {
        text->Init(className, layoutName, dialog);
    } else if (auto* edit = dynamic_cast<Edit*>(widget)) {
        edit->Init(className, layoutName, dialog);
    } else if (auto* list = dynamic_cast<ListBox*>(widget)) {
        auto* scrollBar = dynamic_cast<ScrollBar*>(partner(kScrollBarKeywords));
        list->InitFromLayout(true, className, layoutName, dialog, planned.record, scrollBar);
        for (const UifLayoutRecord& slot : planned.rowSlots)
            list->InitFromLayout(false, {}, {}, dialog, slot, nullptr);
        // The bar above the list follows it from now on.
        if (scrollBar)
            scrollBar->Bind(list);
    } else if (auto* scrollBar = dynamic_cast<ScrollBar*>(widget)) {
        scrollBar->Init(className, layoutName, dialog, dynamic_cast<ListBox*>(partner(kListKeywords)));
    } else if (auto* scrollButton = dynamic_cast<ScrollBtn*>(widget)) {
        auto* partnerList = dynamic_cast<ListBox*>(partner(kListKeywords));
        auto* tree = dynamic_cast<TreeListBox*>(partner(kTreeKeywords));
        auto* partnerBar = dynamic_cast<ScrollBar*>(partner(kScrollBarKeywords));
        if (partnerList)
            partnerList->AttachScrollControl(scrollButton, partnerBar);
        if (tree)
            tree->BindScrollButton(scrollButton, partnerBar);
        if (partnerBar) {
            partnerBar->Bind(partnerList);
            if (tree)
                partnerBar->BindTree(tree);
        }
        scrollButton->Init(className, layoutName, dialog, partnerBar, partnerList, tree);
    } else if (auto* tree = dynamic_cast<TreeListBox*>(widget)) {
        auto* partnerBar = dynamic_cast<ScrollBar*>(partner(kScrollBarKeywords));
        tree->Init(className, layoutName, dialog, partnerBar);
        if (partnerBar)
            partnerBar->BindTree(tree);
    } else if (auto* spin = dynamic_cast<Spin*>(widget)) {
        spin->Init(className, layoutName, dialog);
    } else if (auto* menu = dynamic_cast<Menu*>(widget)) {
        menu->Init(className, layoutName, dialog);
    } else if (auto* combo = dynamic_cast<ComboBox*>(widget)) {
        auto* partnerList = dynamic_cast<ListBox*>(partner(kListKeywords));
        combo->Init(className, layoutName, dialog, partnerList,
                    partnerList ? nullptr : dynamic_cast<TreeListBox*>(partner(kTreeKeywords)));
    } else if (auto* tab = dynamic_cast<Tab*>(widget)) {
        tab->Init(className, layoutName, dialog);
    }
}

// The records whose handler names are bound: every row slot of a list.
void CollectRecords(UifControl* control, std::vector<const UifLayoutRecord*>& records) {
    if (auto* list = dynamic_cast<ListBox*>(control)) {
        for (const ListBoxRow& row : list->GetRows())
            records.push_back(&row.record);
    } else {
        records.push_back(&control->GetLayoutRecord());
    }
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
    case WidgetKind::Tab:
        return std::make_unique<Tab>();
    case WidgetKind::TreeListBox:
        return std::make_unique<TreeListBox>();
    default:
        return nullptr;
    }
}

} // namespace

bool DialogManager::LoadLayout(std::string_view name) {
    return Load(name, nullptr);
}

bool DialogManager::LoadLayoutInto(std::string_view name, Tab* tab) {
    return tab && tab->GetDialog() && Load(name, tab);
}

bool DialogManager::Load(std::string_view name, Tab* container) {
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
    // Handlers of a page are the tab's dialog's.
    const std::string className = container ? container->GetOwnerDialogName() : base;
    std::unique_ptr<Dialog> made;
    Dialog* dialog = container ? container->GetDialog() : nullptr;
    if (!container) {
        made = std::make_unique<Dialog>(*this);
        made->SetName(base);
        dialog = made.get();
    }

    std::vector<const UifLayoutRecord*> records;
    for (const LayoutWidget& planned : plan.widgets) {
        std::unique_ptr<UifControl> widget = MakeWidget(planned.kind);
        widget->Record() = planned.record;
        InitWidget(widget.get(), planned, className, base, dialog, container);
        CollectRecords(widget.get(), records);
        // Tabs always join the dialog, also from a page.
        if (container && planned.kind != WidgetKind::Tab)
            container->AddChild(std::move(widget));
        else
            dialog->AddControl(std::move(widget));
    }
    if (plan.hasMinimiseButton) {
        auto button = std::make_unique<Button>();
        button->Record() = plan.minimiseButton.record;
        button->Init(className, base, dialog, nullptr);
        if (container)
            container->AddChild(std::move(button));
        else
            dialog->SetMinimizeButton(std::move(button));
    }
    if (container)
        records.push_back(&container->GetLayoutRecord());
    BindHandlers(handlers_, *registry_, className, records);

    std::string initName;
    if (!container) {
        dialog->SetModal(plan.widgets[0].record.Value2 != 0);
        // The frame keeps its file position as its face offset and is
        // centred; the other widgets, given relative to the dialog, follow
        // its corner.
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
        initName = frame->GetLayoutRecord().Handler;
        dialogs_.push_back(std::move(made));
    } else if (UifControl* first = container->GetChild(0)) {
        initName = first->GetLayoutRecord().Handler;
    }
    noLayoutYet_ = false;
    // The Init handler may load further layouts; this one is on the chain.
    loadChain_.push_back(base);
    if (UiHandler init = handlers_.Entry(className, initName))
        init(nullptr);
    loadChain_.pop_back();
    inputConsumed_ = true;
    return true;
}
