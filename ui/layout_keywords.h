// Which widget class a layout keyword makes, tested in the loader's order:
// some keywords must match exactly, others need only contain a word.
#pragma once

#include <array>
#include <string_view>

enum class WidgetKind {
    None, // "END" and any keyword that makes nothing
    Button,
    TreeListBox,
    ListBox,
    ScrollBtn,
    ScrollBar,
    ComboBox,
    Tab,
    View,
    User,
    Spin,
    Text,
    StatusBar,
    Edit,
    Menu,
};

WidgetKind KindOfKeyword(std::string_view keyword);
const char* WidgetKindName(WidgetKind kind);

// The list keywords that partners are looked up by, in search order.
inline constexpr std::array<std::string_view, 12> kListKeywords = {
    "ListBoxText",           "ListBoxIcon",          "ListBoxTextAndIcon", "ListBoxTextHI",
    "ListBoxIconHI",         "ListBoxTextAndIconHI", "ListBoxADVText",     "ListBoxADVIcon",
    "ListBoxADVTextAndIcon", "ListBoxADVTextHI",     "ListBoxADVIconHI",   "ListBoxADVTextAndIconHI",
};
inline constexpr std::array<std::string_view, 2> kTreeKeywords = {"TreeListBox", "TreeListBoxHI"};
inline constexpr std::array<std::string_view, 2> kScrollBarKeywords = {"ScrollBar", "ScrollBarHI"};
inline constexpr std::array<std::string_view, 2> kComboKeywords = {"ComboBox", "ComboBoxHI"};
