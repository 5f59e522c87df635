#include "engine/asset_log.h"
#include "engine/font_registry.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

bool Load(FontRegistry& registry, const std::string& text) {
    return registry.LoadFromMemory(text.data(), text.size());
}

TEST(FontRegistry, EveryFontElementIsOneDefinitionInFileOrder) {
    FontRegistry registry;
    ASSERT_TRUE(Load(registry, R"(<?xml version="1.0"?>
<Fonts>
    <Font name="Font00" size="12" family="2" extra="x"/>
    <Other name="NotAFont" size="1"/>
    <Group><Font size="9" name="Font01"/></Group>
    <Font name="Font02" size="large"/>
    <Font name="Font03" size=" 14px" family="-3"/>
</Fonts>)"));
    ASSERT_EQ(registry.Count(), 4);
    struct Expect {
        const char* name;
        int32_t size, family;
    };
    const Expect expected[] = {{"Font00", 12, 2}, {"Font01", 9, 0}, {"Font02", 0, 0}, {"Font03", 14, -3}};
    for (int32_t n = 0; n < 4; ++n) {
        SCOPED_TRACE(n);
        FontDefinition d;
        ASSERT_TRUE(registry.GetFont(n, d));
        EXPECT_EQ(d.name, expected[n].name);
        EXPECT_EQ(d.size, expected[n].size);
        EXPECT_EQ(d.family, expected[n].family);
    }
    FontDefinition d;
    EXPECT_FALSE(registry.GetFont(4, d));
    EXPECT_FALSE(registry.GetFont(-1, d));
}

TEST(FontRegistry, NamesThatCannotNameAFileKeepTheirNumberButDefineNoFont) {
    FontRegistry registry;
    ASSERT_TRUE(Load(registry,
                     R"(<Fonts><Font size="10"/><Font name="a*b" size="10"/><Font name="x/y"/>)"
                     R"(<Font name="x\y"/><Font name="q?"/><Font name="Good_" size="10"/></Fonts>)"));
    ASSERT_EQ(registry.Count(), 6);
    FontDefinition d;
    for (int32_t n = 0; n < 5; ++n)
        EXPECT_FALSE(registry.GetFont(n, d)) << n;
    ASSERT_TRUE(registry.GetFont(5, d));
    EXPECT_EQ(d.name, "Good_");
}

TEST(FontRegistry, AFileThatIsNotWellFormedLeavesNoDefinitions) {
    FontRegistry registry;
    ASSERT_TRUE(Load(registry, R"(<Fonts><Font name="A" size="1"/></Fonts>)"));
    const std::string bad[] = {"", "<Fonts><Font name=\"B\" size=\"2\"/>", "<Fonts><Font name=B/></Fonts>",
                               std::string("<Fonts>\0</Fonts>", 16)};
    for (const std::string& text : bad) {
        ClearAssetProblem();
        EXPECT_FALSE(Load(registry, text));
        EXPECT_EQ(registry.Count(), 0);
        EXPECT_NE(LastAssetProblem().find("fonts.xml"), std::string::npos);
    }
}

TEST(FontRegistry, LoadsFromAHostPathInAnyCase) {
    auto folder = std::filesystem::temp_directory_path() / ("md_fonts_" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder / "Config");
    std::ofstream(folder / "Config" / "Fonts.XML") << R"(<Fonts><Font name="F" size="8"/></Fonts>)";
    FontRegistry registry;
    EXPECT_TRUE(registry.Load((folder / "config\\fonts.xml").string()));
    EXPECT_EQ(registry.Count(), 1);
    EXPECT_FALSE(registry.Load((folder / "config/missing.xml").string()));
    EXPECT_EQ(registry.Count(), 0);
    std::filesystem::remove_all(folder);
}

} // namespace
