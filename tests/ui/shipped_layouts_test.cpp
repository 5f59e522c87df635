// The layouts that ship with the game load as the game loads them, and
// together they use every widget kind the loader makes.
#include "ui/layout_files.h"
#include "ui/widgets/tab.h"

#include "ui_driver.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>

namespace {

std::vector<std::string> ShippedLayouts() {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator("gamedata/uif")) {
        if (entry.path().extension() == ".uif")
            names.push_back(entry.path().stem().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

TEST(ShippedLayouts, LoadAndCoverEveryWidgetKind) {
    const std::vector<std::string> names = ShippedLayouts();
    ASSERT_FALSE(names.empty());
    UiDriver ui;
    ASSERT_TRUE(VfsAddSource("file", std::filesystem::absolute("gamedata").string()));
    std::set<WidgetKind> kinds;
    for (const std::string& name : names) {
        LayoutPlan plan;
        ASSERT_TRUE(LoadLayoutPlan(name, plan)) << LastAssetProblem();
        for (const LayoutWidget& widget : plan.widgets) {
            kinds.insert(widget.kind);
            // Every image named is one of the default skin's.
            std::vector<std::string> images = {widget.record.Image, widget.record.ToolTipImage,
                                               widget.record.Image2};
            for (const UifLayoutRecord& slot : widget.rowSlots)
                images.push_back(slot.Image);
            for (const std::string& image : images) {
                if (!image.empty()) {
                    EXPECT_TRUE(std::filesystem::exists("gamedata/gfx_uif/" + image))
                        << name << ": " << image;
                }
            }
        }
        EXPECT_TRUE(ui.manager.LoadLayout(name)) << name << ": " << LastAssetProblem();
    }
    for (WidgetKind kind : {WidgetKind::Button, WidgetKind::ListBox, WidgetKind::ScrollBtn,
                            WidgetKind::ScrollBar, WidgetKind::ComboBox, WidgetKind::Tab, WidgetKind::View,
                            WidgetKind::User, WidgetKind::Spin, WidgetKind::Text, WidgetKind::StatusBar,
                            WidgetKind::Edit, WidgetKind::Menu, WidgetKind::TreeListBox})
        EXPECT_TRUE(kinds.count(kind)) << WidgetKindName(kind);

    // The demo's tabs load their pages on the first frame.
    ui.manager.DestroyAllDialogs();
    ASSERT_TRUE(ui.manager.LoadLayout("UIF_WidgetDemo"));
    ui.manager.OpenDialog("UIF_WidgetDemo");
    ui.Frame();
    Dialog* demo = ui.manager.FindDialog("UIF_WidgetDemo");
    ASSERT_TRUE(demo);
    int32_t pages = 0;
    for (int32_t i = 0; i < demo->GetControlCount(); ++i) {
        if (auto* tab = demo->GetControlAs<Tab>(i))
            pages += tab->GetChildren().empty() ? 0 : 1;
    }
    EXPECT_EQ(pages, 2);
}

} // namespace
