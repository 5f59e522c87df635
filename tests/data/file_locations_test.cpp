// The file-location tables against a fake virtual file system that knows
// the source types "file" and "pkq" and records every registration.
#include "data/file_locations.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace {

using Pair = std::pair<std::string, std::string>;

class FileLocations : public ::testing::Test {
protected:
    void SetUp() override {
        Reset();
        VfsHooks& hooks = GetVfsHooks();
        hooks.addSource = [this](const std::string& type, const std::string& path) {
            if (type != "file" && type != "pkq")
                return false;
            sources.emplace_back(type, path);
            return true;
        };
        hooks.addVirtualDir = [this](const std::string& name, const std::string& folder) {
            if (refuseDirs)
                return false;
            dirs.emplace_back(name, folder);
            return true;
        };
        hooks.removeVirtualDir = [this](const std::string& name, const std::string& folder) {
            removed.emplace_back(name, folder);
        };
        ASSERT_TRUE(SetInstallPath("/opt/game"));
    }
    void TearDown() override { Reset(); }

    static void Reset() {
        GetVfsHooks() = {};
        RootTable::Clear();
        RootVirtualDirsTable::Clear();
        TexturesTable::Clear();
        SetInstallPath("");
    }

    std::vector<Pair> sources;
    std::vector<Pair> dirs;
    std::vector<Pair> removed;
    bool refuseDirs = false;
};

TEST_F(FileLocations, SettingARootRowGrowsTheTableWithEmptyRows) {
    ASSERT_TRUE(RootTable::SetURI(2, "file://data"));
    EXPECT_EQ(RootTable::RowCount(), 3);
    for (int32_t row : {0, 1}) {
        std::string out = "x";
        ASSERT_TRUE(RootTable::GetURI(row, &out));
        EXPECT_EQ(out, "");
    }
    std::string out;
    EXPECT_FALSE(RootTable::GetURI(3, &out));
    EXPECT_FALSE(RootTable::GetURI(-1, &out));
    EXPECT_EQ(sources, (std::vector<Pair>{{"file", "data"}}));
}

struct UriCase {
    const char* uri;
    bool result;
    std::vector<Pair> sources;
};

TEST_F(FileLocations, RootUrisRegisterTheirSource) {
    const UriCase cases[] = {
        {"file://%base%", true, {{"file", "/opt/game"}}},
        {"pkq://%base%\\gfx\\gfx.pkq", true, {{"pkq", "/opt/game\\gfx\\gfx.pkq"}}},
        {"file://%base%/%base%", true, {{"file", "/opt/game/%base%"}}},
        {"file://", true, {{"file", ""}}},
        {"file://a://b", true, {{"file", "a://b"}}},
        // Type names are compared exactly, as the file system keeps them.
        {"FILE://%base%", false, {}},
        {"zip://x", false, {}},
        // Only the path names the installation folder.
        {"%base%://x", false, {}},
    };
    for (const UriCase& c : cases) {
        sources.clear();
        EXPECT_EQ(RootTable::SetURI(0, c.uri), c.result) << c.uri;
        EXPECT_EQ(sources, c.sources) << c.uri;
        std::string stored;
        ASSERT_TRUE(RootTable::GetURI(0, &stored));
        EXPECT_EQ(stored, c.uri);
    }
}

TEST_F(FileLocations, ARootUriWithoutSeparatorKeepsTheRow) {
    ASSERT_TRUE(RootTable::SetURI(0, "file://%base%"));
    EXPECT_FALSE(RootTable::SetURI(0, "file:/data"));
    EXPECT_FALSE(RootTable::SetURI(1, nullptr));
    EXPECT_FALSE(RootTable::SetURI(-1, "file://x"));
    EXPECT_EQ(RootTable::Rows(), (std::vector<std::string>{"file://%base%", ""}));
    EXPECT_EQ(sources.size(), 1u);
}

TEST_F(FileLocations, AnEmptyInstallPathStillMakesAPath) {
    ASSERT_TRUE(SetInstallPath(""));
    EXPECT_TRUE(RootTable::SetURI(0, "file://%base%"));
    EXPECT_FALSE(RootTable::SetURI(0, "%base%://"));
    EXPECT_EQ(sources, (std::vector<Pair>{{"file", ""}}));
}

struct DirCase {
    const char* definition;
    const char* folder;
    const char* name;
};

TEST_F(FileLocations, VirtualDirDefinitionsLoseOnlyTheSpacesTouchingTheArrow) {
    const DirCase cases[] = {
        {"gfx->textures", "gfx", "textures"},
        {"  my gfx  ->  tex tures ", "  my gfx", "tex tures "},
        {"%base%\\gfx -> gfx", "%base%\\gfx", "gfx"},
        {"folder ->", "folder", ""},
        {"folder ->   ", "folder", ""},
        {"-> name", "", "name"},
        {"   -> name", "", "name"},
        {"a -> b -> c", "a", "b -> c"},
        {"\tfolder\t->\tname", "\tfolder\t", "\tname"},
    };
    for (size_t i = 0; i < std::size(cases); ++i) {
        const DirCase& c = cases[i];
        const int32_t row = int32_t(i);
        ASSERT_TRUE(RootVirtualDirsTable::SetName(row, c.definition)) << c.definition;
        ASSERT_FALSE(dirs.empty());
        EXPECT_EQ(dirs.back(), Pair(c.name, c.folder)) << c.definition;
        EXPECT_EQ(RootVirtualDirsTable::VirtualDirNames()[i], c.name);
        std::string stored;
        ASSERT_TRUE(RootVirtualDirsTable::GetName(row, &stored));
        EXPECT_EQ(stored, c.definition);
    }
}

TEST_F(FileLocations, AVirtualDirWithoutArrowStoresNothing) {
    EXPECT_FALSE(RootVirtualDirsTable::SetName(1, "gfx = textures"));
    EXPECT_FALSE(RootVirtualDirsTable::SetName(0, nullptr));
    EXPECT_FALSE(RootVirtualDirsTable::SetName(-1, "a -> b"));
    EXPECT_TRUE(dirs.empty());
    EXPECT_EQ(RootVirtualDirsTable::Rows(), (std::vector<std::string>{"", ""}));
    EXPECT_EQ(RootVirtualDirsTable::VirtualDirNames(), (std::vector<std::string>{"", ""}));
}

TEST_F(FileLocations, SettingAVirtualDirRowAgainTakesTheOldDefinitionBack) {
    ASSERT_TRUE(RootVirtualDirsTable::SetName(0, "skins\\old -> skin"));
    ASSERT_TRUE(RootVirtualDirsTable::SetName(1, "fonts -> fonts"));
    ASSERT_TRUE(RootVirtualDirsTable::SetName(0, "skins\\new -> skin"));
    // Applying the same database again leaves one registration per row.
    ASSERT_TRUE(RootVirtualDirsTable::SetName(1, "fonts -> fonts"));

    EXPECT_EQ(removed, (std::vector<Pair>{{"skin", "skins\\old"}, {"fonts", "fonts"}}));
    EXPECT_EQ(dirs,
              (std::vector<Pair>{
                  {"skin", "skins\\old"}, {"fonts", "fonts"}, {"skin", "skins\\new"}, {"fonts", "fonts"}}));
    EXPECT_EQ(RootVirtualDirsTable::VirtualDirNames(), (std::vector<std::string>{"skin", "fonts"}));
}

TEST_F(FileLocations, ARefusedVirtualDirIsNotTakenBackLater) {
    refuseDirs = true;
    EXPECT_FALSE(RootVirtualDirsTable::SetName(0, "a -> x"));
    refuseDirs = false;
    EXPECT_TRUE(RootVirtualDirsTable::SetName(0, "b -> x"));
    // An invalid definition leaves the row and its registration alone.
    EXPECT_FALSE(RootVirtualDirsTable::SetName(0, "no arrow"));
    EXPECT_TRUE(RootVirtualDirsTable::SetName(0, "c -> x"));
    EXPECT_EQ(removed, (std::vector<Pair>{{"x", "b"}}));
}

TEST_F(FileLocations, WithoutHooksTheSettersOnlyStore) {
    GetVfsHooks() = {};
    EXPECT_TRUE(RootTable::SetURI(0, "file://%base%"));
    EXPECT_TRUE(RootVirtualDirsTable::SetName(0, "a -> b"));
    EXPECT_TRUE(RootVirtualDirsTable::SetName(0, "c -> d"));
    EXPECT_EQ(RootTable::Rows(), (std::vector<std::string>{"file://%base%"}));
    EXPECT_EQ(RootVirtualDirsTable::VirtualDirNames(), (std::vector<std::string>{"d"}));
}

TEST_F(FileLocations, TexturesNameTheDirectoryOfEachGraphicSet) {
    ASSERT_TRUE(TexturesTable::SetVirtualDirName(32, "images"));
    EXPECT_TRUE(TexturesTable::SetVirtualDirName(1, nullptr));
    EXPECT_FALSE(TexturesTable::SetVirtualDirName(-1, "x"));
    EXPECT_EQ(TexturesTable::RowCount(), 33);

    ASSERT_NE(TexturesTable::GetVirtualDirNameOf(32), nullptr);
    EXPECT_STREQ(TexturesTable::GetVirtualDirNameOf(32), "images");
    EXPECT_STREQ(TexturesTable::GetVirtualDirNameOf(0), "");
    EXPECT_EQ(TexturesTable::GetVirtualDirNameOf(33), nullptr);
    EXPECT_EQ(TexturesTable::GetVirtualDirNameOf(-1), nullptr);

    std::string out = "kept";
    EXPECT_FALSE(TexturesTable::GetVirtualDirName(33, &out));
    EXPECT_EQ(out, "kept");
    ASSERT_TRUE(TexturesTable::GetVirtualDirName(32, &out));
    EXPECT_EQ(out, "images");
}

TEST_F(FileLocations, TheFileTablesRefuseAbsurdRows) {
    EXPECT_FALSE(RootTable::SetURI(INT32_MAX, "file://x"));
    EXPECT_FALSE(RootVirtualDirsTable::SetName(INT32_MAX, "a -> b"));
    EXPECT_FALSE(TexturesTable::SetVirtualDirName(INT32_MAX, "x"));
    EXPECT_TRUE(sources.empty());
    EXPECT_EQ(RootTable::RowCount() + RootVirtualDirsTable::RowCount() + TexturesTable::RowCount(), 0);
}

struct InstallPathCase {
    std::string set;
    bool result;
    std::string path;
};

TEST_F(FileLocations, TheInstallPathLosesItsTrailingSeparators) {
    const std::string longest(kMaxInstallPathLength, 'a');
    const InstallPathCase cases[] = {
        {"/opt/game/", true, "/opt/game"},
        {"C:\\Games\\Md\\\\", true, "C:\\Games\\Md"},
        {"/", true, "/"},
        {"//", true, "/"},
        {"", true, ""},
        {longest + "/", true, longest},
        {longest + "a", false, "/opt/game"},
    };
    for (const InstallPathCase& c : cases) {
        ASSERT_TRUE(SetInstallPath("/opt/game"));
        EXPECT_EQ(SetInstallPath(c.set), c.result) << c.set;
        EXPECT_EQ(GetInstallPath(), c.path) << c.set;
    }
}

} // namespace
