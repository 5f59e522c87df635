#include "ui/layout_keywords.h"

namespace {

bool Contains(std::string_view keyword, std::string_view word) {
    return keyword.find(word) != std::string_view::npos;
}

bool IsOneOf(std::string_view keyword, std::string_view a, std::string_view b) {
    return keyword == a || keyword == b;
}

} // namespace

WidgetKind KindOfKeyword(std::string_view k) {
    if (k == "Dialog" || Contains(k, "Button"))
        return WidgetKind::Button;
    if (Contains(k, "TreeListBox"))
        return WidgetKind::TreeListBox;
    if (Contains(k, "ListBox"))
        return WidgetKind::ListBox;
    if (Contains(k, "ScrollBtn"))
        return WidgetKind::ScrollBtn;
    if (IsOneOf(k, "ScrollBar", "ScrollBarHI"))
        return WidgetKind::ScrollBar;
    if (IsOneOf(k, "ComboBox", "ComboBoxHI"))
        return WidgetKind::ComboBox;
    if (Contains(k, "Tab"))
        return WidgetKind::Tab;
    if (k == "View")
        return WidgetKind::View;
    if (k == "User")
        return WidgetKind::User;
    if (IsOneOf(k, "Spin", "SpinHI"))
        return WidgetKind::Spin;
    if (IsOneOf(k, "Text", "TextHI"))
        return WidgetKind::Text;
    if (IsOneOf(k, "StatusBar", "StatusBarP"))
        return WidgetKind::StatusBar;
    if (IsOneOf(k, "Edit", "EditHI"))
        return WidgetKind::Edit;
    if (k == "Menu")
        return WidgetKind::Menu;
    return WidgetKind::None;
}

const char* WidgetKindName(WidgetKind kind) {
    switch (kind) {
    case WidgetKind::None:
        return "none";
    case WidgetKind::Button:
        return "Button";
    case WidgetKind::TreeListBox:
        return "TreeListBox";
    case WidgetKind::ListBox:
        return "ListBox";
    case WidgetKind::ScrollBtn:
        return "ScrollBtn";
    case WidgetKind::ScrollBar:
        return "ScrollBar";
    case WidgetKind::ComboBox:
        return "ComboBox";
    case WidgetKind::Tab:
        return "Tab";
    case WidgetKind::View:
        return "View";
    case WidgetKind::User:
        return "User";
    case WidgetKind::Spin:
        return "Spin";
    case WidgetKind::Text:
        return "Text";
    case WidgetKind::StatusBar:
        return "StatusBar";
    case WidgetKind::Edit:
        return "Edit";
    case WidgetKind::Menu:
        return "Menu";
    }
    return "none";
}
