#include "ui/skins.h"

#include "ui_fixture.h"

#include <gtest/gtest.h>

namespace {

TEST(Skins, AddTheSkinFolderToTheInterfaceImagesAndRefuseEscapes) {
    ScratchInstall install;
    install.Write("skins/blue/button.tga", "blue");
    install.Write("skins/red/button.tga", "red");
    ASSERT_TRUE(install.MountFolder());
    auto read = [] {
        RefPtr<VfsFile> file = VfsOpen("gfx_uif/button.tga", kAccessRead, kOpenExisting);
        if (!file)
            return std::string("none");
        std::string text(file->Size(), '\0');
        file->Read(file->Size(), text.data(), nullptr);
        return text;
    };
    Skins skins;
    EXPECT_EQ(read(), "none");
    EXPECT_TRUE(skins.SetSkin("blue"));
    EXPECT_EQ(read(), "blue");
    EXPECT_TRUE(skins.SetSkin("red"));
    EXPECT_EQ(read(), "red") << "the old skin's folder is taken away";
    for (const char* bad : {"", "..", "../x", "a\\b", "a/b"})
        EXPECT_FALSE(skins.SetSkin(bad)) << bad;
    EXPECT_EQ(skins.GetSkinName(), "red");
    EXPECT_TRUE(skins.RemoveSkin());
    EXPECT_EQ(read(), "none");
    EXPECT_EQ(skins.GetSkinName(), "red");
}

} // namespace
