#include "files/pack_file_source.h"
#include "files/virtual_file_system.h"
#include "tests/files/scratch_folder.h"

#include <gtest/gtest.h>

namespace {

class PackFileSourceTest : public ::testing::Test {
protected:
    void SetUp() override {
        folder_.Write("src/textures/foobar.tga", "foobar image");
        folder_.Write("src/textures/sub/b.tga", std::string(5000, 'b') + "end");
        folder_.Write("src/readme.txt", "0123456789");
        PackArchive builder;
        builder.SetRootFolder(folder_ / "src");
        ASSERT_TRUE(builder.ScanFolder());
        ASSERT_TRUE(builder.BuildPackArchive(folder_ / "gfx.pkq"));
        source_ = CreatePackFileSource(folder_ / "gfx.pkq");
        ASSERT_TRUE(source_);
    }

    RefPtr<VfsFile> Open(std::string_view path) {
        return source_->OpenFile(path, kAccessRead, kOpenExisting);
    }

    ScratchFolder folder_;
    RefPtr<FileSource> source_;
};

TEST_F(PackFileSourceTest, TheFactoryNeedsAnArchiveThatOpens) {
    EXPECT_FALSE(CreatePackFileSource(folder_ / "missing.pkq"));
    folder_.Write("bad.pkq", "data");
    folder_.Write("bad.ind", "index too short");
    EXPECT_FALSE(CreatePackFileSource(folder_ / "bad.pkq"));
    EXPECT_EQ(source_->SourcePath(), folder_ / "gfx.pkq");
}

TEST_F(PackFileSourceTest, OpensEntriesByAnySpellingOfTheirPath) {
    for (const char* path :
         {"textures\\foobar.tga", "TEXTURES\\FooBar.TGA", "textures/foobar.tga", "\\textures\\foobar.tga"}) {
        RefPtr<VfsFile> file = Open(path);
        ASSERT_TRUE(file) << path;
        std::string bytes(file->Size(), '\0');
        uint32_t read = 0;
        ASSERT_TRUE(file->Read(uint32_t(bytes.size()), bytes.data(), &read));
        EXPECT_EQ(read, bytes.size());
        EXPECT_EQ(bytes, "foobar image");
    }
    EXPECT_FALSE(Open("textures\\foo.tga"));
    RefPtr<VfsFile> file = source_->OpenFile("readme.txt", kAccessWrite, kTruncateExisting);
    ASSERT_TRUE(file) << "entries open read-only whatever is asked";
    EXPECT_FALSE(file->Write(1, "x", nullptr));
    EXPECT_FALSE(source_->Delete("readme.txt"));
    EXPECT_EQ(file->Size(), 10u);
}

TEST_F(PackFileSourceTest, AFifthOpenWaitsForAFreeSlot) {
    std::vector<RefPtr<VfsFile>> files;
    for (int i = 0; i < 4; ++i)
        files.push_back(Open("textures\\sub\\b.tga"));
    for (const auto& file : files)
        ASSERT_TRUE(file);
    EXPECT_FALSE(Open("readme.txt"));
    files.pop_back();
    EXPECT_TRUE(Open("readme.txt"));
}

TEST_F(PackFileSourceTest, ExistenceAndSizeNeedTheExactNameAndOpenNothing) {
    uint32_t size = 0;
    EXPECT_TRUE(source_->FileSize("Textures\\Sub\\B.tga", size));
    EXPECT_EQ(size, 5003u);
    EXPECT_FALSE(source_->FileSize("textures\\sub", size));

    const struct {
        const char* path;
        bool exists;
    } cases[] = {
        {"textures\\foobar.tga", true},
        {"TEXTURES\\FOOBAR.TGA", true},
        {"textures\\foo.tga", false},
        {"textures\\foobar.tg", false},
        {"textures", true},
        {"textures\\sub\\", true},
        {"texture", false},
        {"readme", false},
        {"nothing.txt", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(source_->FileExists(c.path), c.exists) << c.path;

    std::vector<RefPtr<VfsFile>> files;
    for (int i = 0; i < PackFileSource::kSlotCount; ++i)
        files.push_back(Open("readme.txt"));
    for (const auto& file : files)
        EXPECT_TRUE(file) << "every slot was still free";
}

TEST_F(PackFileSourceTest, SeeksMoveTheReadPosition) {
    RefPtr<VfsFile> file = Open("readme.txt");
    ASSERT_TRUE(file);
    const struct {
        int32_t distance;
        uint32_t origin;
        uint32_t result;
        char next; // the byte read next, or 0 at the end
    } steps[] = {
        {3, kSeekStart, 3, '3'},          {2, kSeekCurrent, 5, '5'},
        {-2, kSeekEnd, 8, '8'},           {0, kSeekEnd, 10, 0},
        {1, kSeekEnd, kSeekFailed, 0},    {-11, kSeekCurrent, kSeekFailed, 0},
        {-1, kSeekStart, kSeekFailed, 0}, {0, 3, kSeekFailed, 0},
        {-10, kSeekEnd, 0, '0'},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(testing::Message() << step.distance << " from " << step.origin);
        EXPECT_EQ(file->Seek(step.distance, step.origin), step.result);
        char byte = 0;
        if (step.next) {
            ASSERT_TRUE(file->Read(1, &byte, nullptr));
            EXPECT_EQ(byte, step.next);
            file->Seek(-1, kSeekCurrent);
        } else if (step.result != kSeekFailed) {
            EXPECT_FALSE(file->Read(1, &byte, nullptr));
        }
    }
}

TEST_F(PackFileSourceTest, FindsFillRecordsFromTheIndex) {
    FindRecord record;
    record.attributes = 99;
    ASSERT_TRUE(source_->FindFirst(record, "textures\\*", kFindFolders));
    EXPECT_EQ(record.fullPath, "textures\\sub");
    EXPECT_EQ(record.name, "sub");
    EXPECT_EQ(record.size, 0u);
    EXPECT_EQ(record.attributes, 0u);
    EXPECT_FALSE(source_->FindNext(record));
    EXPECT_TRUE(source_->FindClose());

    ASSERT_TRUE(source_->FindFirst(record, "textures\\*.tga", kFindFiles));
    EXPECT_EQ(record.fullPath, "textures\\foobar.tga");
    EXPECT_EQ(record.name, "foobar.tga");
    EXPECT_EQ(record.size, 12u);
    ASSERT_TRUE(source_->FindNext(record));
    EXPECT_EQ(record.fullPath, "textures\\sub\\b.tga");
    EXPECT_EQ(record.size, 5003u);
    EXPECT_FALSE(source_->FindNext(record));
    EXPECT_EQ(source_->FindMode(), kFindFiles);
    EXPECT_EQ(source_->FindPattern(), "textures\\*.tga");
}

TEST_F(PackFileSourceTest, OpenFilesOutliveTheFileSystem) {
    VfsShutdown();
    ASSERT_TRUE(VfsRegisterSourceType("pkq", CreatePackFileSource));
    ASSERT_TRUE(VfsAddSource("pkq", folder_ / "gfx.pkq"));
    source_.Reset();
    RefPtr<VfsFile> file = VfsOpen("textures\\sub\\b.tga", kAccessRead, kOpenExisting);
    ASSERT_TRUE(file);
    VfsShutdown();
    std::string bytes(file->Size(), '\0');
    ASSERT_TRUE(file->Read(uint32_t(bytes.size()), bytes.data(), nullptr));
    EXPECT_EQ(bytes.substr(5000), "end");
}

} // namespace
