#include "files/file_location_hooks.h"

#include "data/file_locations.h"
#include "files/pack_archive.h"
#include "files/virtual_file_system.h"
#include "tests/files/scratch_folder.h"

#include <gtest/gtest.h>

namespace {

class FileLocationHooksTest : public ::testing::Test {
protected:
    void SetUp() override {
        Reset();
        RegisterStandardSourceTypes();
        InstallFileLocationHooks();
        ASSERT_TRUE(SetInstallPath(folder_.Path()));
    }
    void TearDown() override { Reset(); }

    static void Reset() {
        VfsShutdown();
        GetVfsHooks() = {};
        RootTable::Clear();
        RootVirtualDirsTable::Clear();
    }

    std::string Cat(std::string_view path, VfsLocation* location = nullptr) {
        RefPtr<VfsFile> file = VfsOpen(path, kAccessRead, kOpenExisting, location);
        if (!file)
            return "<none>";
        std::string bytes(file->Size(), '\0');
        file->Read(uint32_t(bytes.size()), bytes.data(), nullptr);
        return bytes;
    }

    ScratchFolder folder_;
};

TEST_F(FileLocationHooksTest, RootRowsAddSourcesAtTheInstallationFolder) {
    folder_.Write("textures/a.tga", "loose");
    folder_.Write("packed/textures/b.tga", "packed");
    folder_.MakeFolder("gfx");
    PackArchive builder;
    builder.SetRootFolder(folder_ / "packed");
    ASSERT_TRUE(builder.ScanFolder());
    ASSERT_TRUE(builder.BuildPackArchive(folder_ / "gfx/gfx.pkq"));

    EXPECT_TRUE(RootTable::SetURI(0, "file://%base%"));
    EXPECT_TRUE(RootTable::SetURI(1, "pkq://%base%\\GFX\\gfx.pkq"));
    EXPECT_FALSE(RootTable::SetURI(2, "FILE://%base%")) << "type names are lower case";
    EXPECT_FALSE(RootTable::SetURI(3, "pkq://%base%\\missing.pkq"));

    VfsLocation location;
    EXPECT_EQ(Cat("Textures\\A.TGA", &location), "loose");
    EXPECT_EQ(location.typeName, "file");
    EXPECT_EQ(Cat("textures\\b.tga", &location), "packed");
    EXPECT_EQ(location.typeName, "pkq");
    EXPECT_EQ(location.sourcePath, folder_.Path() + "\\GFX\\gfx.pkq");
}

TEST_F(FileLocationHooksTest, SettingAVirtualDirectoryRowAgainReplacesItsFolder) {
    folder_.Write("skins/blue/x.tga", "blue");
    folder_.Write("skins/red/x.tga", "red");
    ASSERT_TRUE(RootTable::SetURI(0, "file://%base%"));

    ASSERT_TRUE(RootVirtualDirsTable::SetName(0, "skins\\blue -> gfx_uif"));
    EXPECT_EQ(Cat("gfx_uif/x.tga"), "blue");
    ASSERT_TRUE(RootVirtualDirsTable::SetName(0, "skins\\red -> gfx_uif"));
    EXPECT_EQ(Cat("gfx_uif/x.tga"), "red");
}

} // namespace
