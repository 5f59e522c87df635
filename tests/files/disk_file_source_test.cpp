#include "files/disk_file_source.h"
#include "tests/files/scratch_folder.h"

#include <gtest/gtest.h>

namespace {

std::string ReadAll(VfsFile& file) {
    std::string bytes(file.Size(), '\0');
    uint32_t read = 0;
    EXPECT_TRUE(file.Read(uint32_t(bytes.size()), bytes.data(), &read));
    bytes.resize(read);
    return bytes;
}

class DiskFileSourceTest : public ::testing::Test {
protected:
    void SetUp() override {
        folder_.MakeFolder("root");
        source_ = CreateDiskFileSource(folder_ / "root");
        ASSERT_TRUE(source_);
    }

    std::string Open(std::string_view path) {
        RefPtr<VfsFile> file = source_->OpenFile(path, kAccessRead, kOpenExisting);
        return file ? ReadAll(*file) : "<none>";
    }

    ScratchFolder folder_;
    RefPtr<FileSource> source_;
};

TEST_F(DiskFileSourceTest, FindsPathsInAnyLetterCaseAndWithEitherSeparator) {
    folder_.Write("root/textures/sub/a.tga", "image");
    for (const char* path : {"textures\\sub\\a.tga", "Textures\\SUB\\A.TGA", "\\TEXTURES\\sub\\a.tga",
                             "textures/sub/A.tga", "textures\\\\.\\sub\\a.tga"}) {
        EXPECT_EQ(Open(path), "image") << path;
        EXPECT_TRUE(source_->FileExists(path)) << path;
    }
    EXPECT_EQ(Open("textures\\a.tga"), "<none>");
}

TEST_F(DiskFileSourceTest, NamesThatDifferOnlyInCaseResolveTheSameWayEveryTime) {
    folder_.Write("root/B.txt", "upper");
    folder_.Write("root/b.txt", "lower");
    const struct {
        const char* path;
        const char* content;
    } cases[] = {
        {"b.txt", "lower"}, // an exact name wins
        {"B.txt", "upper"},
        {"B.TXT", "upper"}, // otherwise the first in byte order
        {"b.TXT", "upper"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Open(c.path), c.content) << c.path;
}

TEST_F(DiskFileSourceTest, NoPathLeavesTheRoot) {
    folder_.Write("secret", "outside");
    folder_.Write("root/inside/x", "inside");
    for (const char* path : {"..\\secret", "inside\\..\\..\\secret", "\\..\\secret", "inside/../x", ".."}) {
        EXPECT_EQ(Open(path), "<none>") << path;
        EXPECT_FALSE(source_->FileExists(path)) << path;
        EXPECT_FALSE(source_->OpenFile(path, kAccessWrite, kOpenAlways)) << path;
    }
    EXPECT_FALSE(source_->OpenFile(std::string_view("x\0y", 3), kAccessWrite, kOpenAlways));
    FindRecord record;
    EXPECT_FALSE(source_->FindFirst(record, "..\\*", kFindAll));
    EXPECT_EQ(folder_.Read("secret"), "outside");
}

TEST_F(DiskFileSourceTest, SeesFilesThatAppearOrVanishAfterALookup) {
    EXPECT_FALSE(source_->FileExists("Data\\New.txt"));
    folder_.Write("root/data/new.txt", "fresh");
    EXPECT_TRUE(source_->FileExists("Data\\New.txt"));
    EXPECT_EQ(Open("data\\NEW.TXT"), "fresh");

    std::filesystem::remove(folder_ / "root/data/new.txt");
    EXPECT_FALSE(source_->FileExists("Data\\New.txt"));
    EXPECT_EQ(Open("data\\new.txt"), "<none>");
    folder_.Write("root/data/NEW.txt", "again");
    EXPECT_EQ(Open("data\\new.txt"), "again");
}

TEST_F(DiskFileSourceTest, DispositionsOpenCreateEmptyAndAppend) {
    const struct {
        uint32_t disposition;
        uint32_t access;
        bool existsBefore;
        bool opens;
        const char* after; // the file's content after writing "!" (null: no file)
    } cases[] = {
        {kOpenExisting, kAccessRead | kAccessWrite, false, false, nullptr},
        {kOpenExisting, kAccessRead | kAccessWrite, true, true, "!ld"},
        {kOpenAlways, kAccessWrite, false, true, "!"},
        {kOpenAlways, kAccessWrite, true, true, "!ld"},
        {kTruncateExisting, kAccessWrite, false, false, nullptr},
        {kTruncateExisting, kAccessWrite, true, true, "!"},
        {kTruncateExisting, kAccessRead, true, false, "old"},
        {kOpenAppend, kAccessWrite, true, true, "old!"},
        {kOpenAppend, kAccessWrite, false, true, "!"},
        {0, kAccessWrite, true, false, "old"},
        {5, kAccessWrite, true, false, "old"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "disposition " << c.disposition << ", exists " << c.existsBefore);
        std::filesystem::remove(folder_ / "root/f.txt");
        if (c.existsBefore)
            folder_.Write("root/f.txt", "old");
        RefPtr<VfsFile> file = source_->OpenFile("F.TXT", c.access, c.disposition);
        ASSERT_EQ(bool(file), c.opens);
        if (file) {
            uint32_t written = 0;
            EXPECT_TRUE(file->Write(1, "!", &written));
            EXPECT_EQ(written, 1u);
        }
        file.Reset();
        if (c.after)
            EXPECT_EQ(Open("f.txt"), c.after);
        else
            EXPECT_FALSE(std::filesystem::exists(folder_ / "root/f.txt"));
    }
}

TEST_F(DiskFileSourceTest, CreatesNewFilesInFoldersOfAnyCase) {
    folder_.MakeFolder("root/saves");
    RefPtr<VfsFile> file = source_->OpenFile("SAVES\\Game.mds", kAccessWrite, kOpenAlways);
    ASSERT_TRUE(file);
    EXPECT_TRUE(file->Write(2, "ok", nullptr));
    file.Reset();
    EXPECT_EQ(folder_.Read("root/saves/Game.mds"), "ok");
    EXPECT_FALSE(source_->OpenFile("nofolder\\x", kAccessWrite, kOpenAlways));
    EXPECT_FALSE(source_->OpenFile("saves", kAccessRead, kOpenExisting)) << "a folder is no file";
}

TEST_F(DiskFileSourceTest, ReadsStopAtTheEndAndSeeksStayInRange) {
    folder_.Write("root/f", "abcdef");
    RefPtr<VfsFile> file = source_->OpenFile("f", kAccessRead, kOpenExisting);
    ASSERT_TRUE(file);
    EXPECT_EQ(file->Size(), 6u);
    EXPECT_EQ(file->Seek(4, kSeekStart), 4u);
    char buffer[8] = {};
    uint32_t read = 0;
    EXPECT_TRUE(file->Read(8, buffer, &read));
    EXPECT_EQ(std::string(buffer, read), "ef");
    EXPECT_EQ(file->Seek(-3, kSeekEnd), 3u);
    EXPECT_EQ(file->Seek(-1, kSeekCurrent), 2u);
    EXPECT_EQ(file->Seek(-3, kSeekCurrent), kSeekFailed);
    EXPECT_EQ(file->Seek(0, 7), kSeekFailed);
    EXPECT_EQ(file->Seek(0, kSeekCurrent), 2u);
    EXPECT_FALSE(file->Write(1, "x", nullptr)) << "opened for reading only";
}

TEST_F(DiskFileSourceTest, SizesDeletesAndExistence) {
    folder_.Write("root/dir/f.bin", std::string(1234, 'x'));
    uint32_t size = 7;
    EXPECT_TRUE(source_->FileSize("DIR\\F.BIN", size));
    EXPECT_EQ(size, 1234u);
    EXPECT_TRUE(source_->FileSize("dir", size));
    EXPECT_EQ(size, 0u);
    EXPECT_FALSE(source_->FileSize("dir\\g.bin", size));
    EXPECT_TRUE(source_->FileExists("dir"));
    EXPECT_TRUE(source_->FileExists(""));

    EXPECT_TRUE(source_->Delete("Dir\\F.bin"));
    EXPECT_FALSE(source_->FileExists("dir\\f.bin"));
    EXPECT_FALSE(source_->Delete("dir\\f.bin"));
    EXPECT_FALSE(source_->Execute("dir", ""));
}

TEST_F(DiskFileSourceTest, FindsByWildcardInByteOrderAndFiltersByMode) {
    folder_.MakeFolder("root/maps/b");
    folder_.MakeFolder("root/maps/a");
    folder_.Write("root/maps/y.MDI", "yy");
    folder_.Write("root/maps/x.mdi", "x");
    folder_.Write("root/maps/README", "r");
    auto find = [&](std::string_view pattern, uint32_t mode) {
        std::vector<std::string> found;
        FindRecord record;
        for (bool more = source_->FindFirst(record, pattern, mode); more; more = source_->FindNext(record))
            found.push_back(record.fullPath);
        source_->FindClose();
        return found;
    };
    using Names = std::vector<std::string>;
    EXPECT_EQ(find("maps\\*", kFindFolders), (Names{"maps\\a", "maps\\b"}));
    EXPECT_EQ(find("Maps\\*.*", kFindFiles), (Names{"Maps\\README", "Maps\\x.mdi", "Maps\\y.MDI"}));
    EXPECT_EQ(find("\\maps\\*", kFindAll),
              (Names{"maps\\README", "maps\\a", "maps\\b", "maps\\x.mdi", "maps\\y.MDI"}));
    EXPECT_EQ(find("maps\\*.mdi", kFindAll), (Names{"maps\\x.mdi", "maps\\y.MDI"}));
    EXPECT_EQ(find("maps\\?.MDI", kFindFiles), (Names{"maps\\x.mdi", "maps\\y.MDI"}));
    EXPECT_EQ(find("maps\\readme.*", kFindFiles), (Names{"maps\\README"}));
    EXPECT_EQ(find("maps\\z*", kFindAll), Names{});
    EXPECT_EQ(find("nomaps\\*", kFindAll), Names{});

    FindRecord record;
    ASSERT_TRUE(source_->FindFirst(record, "maps\\y.mdi", kFindFiles));
    EXPECT_EQ(record.name, "y.MDI");
    EXPECT_EQ(record.size, 2u);
    EXPECT_EQ(record.attributes, kFileAttributeArchive);
    EXPECT_GE(record.written.year, 2000);
    EXPECT_EQ(source_->FindMode(), kFindFiles);
    EXPECT_EQ(source_->FindPattern(), "maps\\y.mdi");
    EXPECT_FALSE(source_->FindNext(record));
    EXPECT_TRUE(source_->FindClose());
    EXPECT_FALSE(source_->FindClose());
}

TEST_F(DiskFileSourceTest, LongPathsAreNeitherCutNorOverrun) {
    std::string relative;
    for (int i = 0; i < 6; ++i)
        relative += std::string(100, char('a' + i)) + "/";
    relative += std::string(200, 'z');
    folder_.Write("root/" + relative, "deep");
    std::string path = relative;
    for (char& c : path)
        if (c == '/')
            c = '\\';
    EXPECT_EQ(Open(path), "deep");

    FindRecord record;
    std::string pattern = path.substr(0, path.rfind('\\') + 1) + "*";
    ASSERT_TRUE(source_->FindFirst(record, pattern, kFindFiles));
    EXPECT_EQ(record.fullPath, path);
    EXPECT_EQ(record.name, std::string(200, 'z'));
}

TEST(CreateDiskFileSource, NeedsAnExistingFolderAndNoDriveLetter) {
    ScratchFolder folder;
    folder.MakeFolder("Game/Data");
    EXPECT_FALSE(CreateDiskFileSource(""));
    EXPECT_FALSE(CreateDiskFileSource("C:"));
    EXPECT_FALSE(CreateDiskFileSource("c:\\"));
    EXPECT_FALSE(CreateDiskFileSource("C:/Game/"));
    EXPECT_FALSE(CreateDiskFileSource(folder / "missing"));

    std::string written = folder.Path() + "\\GAME\\data\\";
    RefPtr<FileSource> source = CreateDiskFileSource(written);
    ASSERT_TRUE(source);
    EXPECT_EQ(source->SourcePath(), written);
    EXPECT_EQ(static_cast<DiskFileSource*>(source.Get())->HostRoot(), folder / "Game/Data");
}

TEST(SplitRelativePath, SkipsEmptyPartsAndRefusesParentFolders) {
    std::vector<std::string_view> names;
    ASSERT_TRUE(SplitRelativePath("\\a//b\\.\\c\\", names));
    EXPECT_EQ(names, (std::vector<std::string_view>{"a", "b", "c"}));
    ASSERT_TRUE(SplitRelativePath("", names));
    EXPECT_TRUE(names.empty());
    ASSERT_TRUE(SplitRelativePath("a..b\\...", names));
    EXPECT_EQ(names, (std::vector<std::string_view>{"a..b", "..."}));
    EXPECT_FALSE(SplitRelativePath("a\\..\\b", names));
}

} // namespace
