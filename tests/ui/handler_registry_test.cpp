#include "ui/handler_registry.h"

#include <gtest/gtest.h>

namespace {

int calls = 0;
void Okay(UifControl*) {
    ++calls;
}
void Cancel(UifControl*) {
    calls += 10;
}

TEST(HandlerRegistry, FindsOnlyRegisteredNamesOfTheClass) {
    HandlerRegistry registry;
    const HandlerEntry table[] = {{"Okay", &Okay}, {"Cancel", &Cancel}};
    EXPECT_TRUE(registry.RegisterTable("FE_Options", table));
    EXPECT_FALSE(registry.Register("FE_Options", "Okay", &Cancel)) << "a second Okay is refused";
    EXPECT_FALSE(registry.Register("FE_Options", "", &Cancel));
    EXPECT_FALSE(registry.Register("FE_Options", "Null", nullptr));
    EXPECT_EQ(registry.Find("FE_Options", "Okay"), &Okay);
    EXPECT_EQ(registry.Find("FE_Options", "okay"), nullptr) << "names match exactly";
    EXPECT_EQ(registry.Find("FE_Main", "Okay"), nullptr);
    EXPECT_EQ(registry.Names().size(), 2u);
}

TEST(HandlerMap, BindsEveryNamedRecordAndKeepsMissingOnesNull) {
    HandlerRegistry registry;
    registry.Register("UIF_Test", "Okay", &Okay);
    registry.Register("UIF_Test", "Pick", &Cancel);
    UifLayoutRecord frame, listOwn, slotNamed, slotEmpty, misspelt;
    frame.Handler = "Init";
    slotNamed.Handler = "Pick";
    misspelt.Handler = "Okey";
    const UifLayoutRecord* records[] = {&frame, &listOwn, &slotNamed, &slotEmpty, &misspelt, nullptr};

    HandlerMap map;
    map.Entry("UIF_Test", "Pick") = &Okay; // loading again overwrites
    BindHandlers(map, registry, "UIF_Test", records);
    EXPECT_TRUE(map.Has("UIF_Test", "Init"));
    EXPECT_EQ(map.Find("UIF_Test", "Init"), nullptr);
    EXPECT_EQ(map.Find("UIF_Test", "Pick"), &Cancel);
    EXPECT_TRUE(map.Has("UIF_Test", "Okey"));
    EXPECT_EQ(map.Find("UIF_Test", "Okey"), nullptr);
    EXPECT_FALSE(map.Has("UIF_Test", "")) << "empty names bind nothing";
    EXPECT_FALSE(map.Has("UIF_Test", "Okay")) << "only names of the layout are bound";

    // Lookup by Entry creates a null entry, as the Escape and Enter keys do.
    EXPECT_EQ(map.Entry("UIF_Other", "Cancel"), nullptr);
    EXPECT_TRUE(map.Has("UIF_Other", "Cancel"));
}

} // namespace
