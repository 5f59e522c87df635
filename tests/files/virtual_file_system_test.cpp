#include "files/virtual_file_system.h"

#include <gtest/gtest.h>
#include <set>

namespace {

class StubFile : public VfsFile {
public:
    bool Read(uint32_t, void*, uint32_t*) override { return true; }
    uint32_t Size() override { return 0; }
};

// A source that holds a set of paths and logs every question as
// "<source>:<operation> <path>".
class RecordingSource : public FileSource {
public:
    RecordingSource(std::string path, std::vector<std::string>& log, std::set<std::string> files)
        : path_(std::move(path)), log_(log), files_(std::move(files)) {}

    RefPtr<VfsFile> OpenFile(std::string_view path, uint32_t, uint32_t) override {
        log_.push_back(path_ + ":open " + std::string(path));
        if (!files_.count(std::string(path)))
            return nullptr;
        return RefPtr<VfsFile>::Adopt(new StubFile);
    }
    bool FindFirst(FindRecord& record, std::string_view pattern, uint32_t) override {
        log_.push_back(path_ + ":find " + std::string(pattern));
        if (!files_.count(std::string(pattern)))
            return false;
        record = FindRecord{};
        record.fullPath = path_ + "/" + std::string(pattern);
        return true;
    }
    bool FindNext(FindRecord&) override { return false; }
    bool FindClose() override {
        log_.push_back(path_ + ":close");
        return true;
    }
    const std::string& SourcePath() const override { return path_; }
    const std::string& FindPattern() const override { return path_; }

private:
    std::string path_;
    std::vector<std::string>& log_;
    std::set<std::string> files_;
};

class VirtualFileSystemTest : public ::testing::Test {
protected:
    void SetUp() override { VfsShutdown(); }
    void TearDown() override { VfsShutdown(); }

    // Registers the type "test" whose sources hold the files given here.
    void RegisterTestType(std::map<std::string, std::set<std::string>> files) {
        ASSERT_TRUE(VfsRegisterSourceType("test", [this, files](std::string_view path) -> RefPtr<FileSource> {
            ++created_;
            auto held = files.find(std::string(path));
            if (held == files.end())
                return nullptr;
            return RefPtr<FileSource>::Adopt(new RecordingSource(std::string(path), log_, held->second));
        }));
    }

    std::vector<std::string> log_;
    int created_ = 0;
};

TEST_F(VirtualFileSystemTest, AsksEverySourceForOneCandidateBeforeTheNext) {
    RegisterTestType({{"A", {}}, {"B", {"skins\\blue\\x.tga"}}});
    ASSERT_TRUE(VfsAddSource("test", "A"));
    ASSERT_TRUE(VfsAddSource("test", "B"));
    ASSERT_TRUE(VfsAddVirtualDir("gfx_uif", "gfx_uif"));
    ASSERT_TRUE(VfsAddVirtualDir("gfx_uif", "skins\\blue\\"));

    VfsLocation location;
    EXPECT_TRUE(VfsOpen("gfx_uif/x.tga", kAccessRead, kOpenExisting, &location));
    EXPECT_EQ(log_, (std::vector<std::string>{"A:open gfx_uif\\x.tga", "B:open gfx_uif\\x.tga",
                                              "A:open skins\\blue\\x.tga", "B:open skins\\blue\\x.tga"}));
    EXPECT_EQ(location.typeName, "test");
    EXPECT_EQ(location.sourcePath, "B");
    EXPECT_EQ(location.path, "skins\\blue\\x.tga");
}

TEST_F(VirtualFileSystemTest, PathsWithoutAVirtualDirectoryGoUnchangedOrNowhere) {
    RegisterTestType({{"A", {"maps\\x.mdi", "nodir/x"}}});
    ASSERT_TRUE(VfsAddSource("test", "A"));

    EXPECT_TRUE(VfsOpen("maps\\x.mdi", kAccessRead, kOpenExisting));
    EXPECT_EQ(log_, (std::vector<std::string>{"A:open maps\\x.mdi"}));

    // "nodir" names no virtual directory: nothing is asked, even though the
    // literal path exists.
    log_.clear();
    EXPECT_FALSE(VfsOpen("nodir/x", kAccessRead, kOpenExisting));
    EXPECT_TRUE(log_.empty());
}

TEST_F(VirtualFileSystemTest, AddingASourceTwiceKeepsOne) {
    RegisterTestType({{"A", {"x"}}});
    EXPECT_TRUE(VfsAddSource("test", "A"));
    EXPECT_TRUE(VfsAddSource("test", "A"));
    EXPECT_EQ(created_, 1);
    VfsOpen("x", kAccessRead, kOpenExisting);
    EXPECT_EQ(log_.size(), 1u);
}

TEST_F(VirtualFileSystemTest, SourceTypesAreKeptInLowerCaseAndComparedExactly) {
    int calls = 0;
    auto factory = [&](std::string_view path) -> RefPtr<FileSource> {
        ++calls;
        return RefPtr<FileSource>::Adopt(new RecordingSource(std::string(path), log_, {}));
    };
    EXPECT_FALSE(VfsRegisterSourceType("", factory));
    EXPECT_FALSE(VfsRegisterSourceType("file", nullptr));
    ASSERT_TRUE(VfsRegisterSourceType("FILE", factory));
    EXPECT_FALSE(VfsAddSource("FILE", "A"));
    EXPECT_FALSE(VfsAddSource("pkq", "A"));
    EXPECT_EQ(calls, 0);
    EXPECT_TRUE(VfsAddSource("file", "A"));

    RegisterTestType({});
    EXPECT_FALSE(VfsAddSource("test", "nothing there"));
}

TEST_F(VirtualFileSystemTest, VirtualDirectoriesAddAndRemoveFolders) {
    RegisterTestType({{"A", {}}});
    ASSERT_TRUE(VfsAddSource("test", "A"));
    auto candidates = [&](const char* path) {
        log_.clear();
        VfsOpen(path, kAccessRead, kOpenExisting);
        return log_;
    };

    ASSERT_TRUE(VfsAddVirtualDir("maps", "c:\\data"));
    ASSERT_TRUE(VfsAddVirtualDir("maps", "c:\\data\\"));
    ASSERT_TRUE(VfsAddVirtualDir("top", ""));
    EXPECT_EQ(candidates("maps/x"), (std::vector<std::string>{"A:open c:\\data\\x", "A:open c:\\data\\x"}));
    EXPECT_EQ(candidates("top/x"), (std::vector<std::string>{"A:open x"}));
    EXPECT_EQ(candidates("MAPS/x"), std::vector<std::string>{});

    EXPECT_TRUE(VfsRemoveVirtualDir("maps", "c:\\data"));
    EXPECT_EQ(candidates("maps/x"), (std::vector<std::string>{"A:open c:\\data\\x"}));
    EXPECT_TRUE(VfsRemoveVirtualDir("maps", "c:\\data\\"));
    EXPECT_TRUE(VfsRemoveVirtualDir("maps", "c:\\elsewhere"));
    EXPECT_EQ(candidates("maps/x"), std::vector<std::string>{});
    EXPECT_FALSE(VfsRemoveVirtualDir("unknown", "c:\\data"));
}

TEST_F(VirtualFileSystemTest, FindsInTheSameOrderAndClosesTheRememberedSource) {
    RegisterTestType({{"A", {"gfx\\a.tga"}}, {"B", {"gfx\\a.tga", "skin\\a.tga"}}});
    ASSERT_TRUE(VfsAddSource("test", "A"));
    ASSERT_TRUE(VfsAddSource("test", "B"));
    ASSERT_TRUE(VfsAddVirtualDir("g", "gfx"));
    ASSERT_TRUE(VfsAddVirtualDir("g", "skin"));

    EXPECT_FALSE(VfsFindClose());
    FindRecord record;
    ASSERT_TRUE(VfsFindFirst(record, "g/a.tga", kFindAll));
    EXPECT_EQ(record.fullPath, "A/gfx\\a.tga");
    log_.clear();
    EXPECT_TRUE(VfsFindClose());
    EXPECT_EQ(log_, std::vector<std::string>{"A:close"});
    EXPECT_FALSE(VfsFindClose());

    std::vector<FindRecord> records(1);
    ASSERT_TRUE(VfsFindAll(records, "g/a.tga", kFindAll));
    ASSERT_EQ(records.size(), 4u);
    EXPECT_EQ(records[1].fullPath, "A/gfx\\a.tga");
    EXPECT_EQ(records[2].fullPath, "B/gfx\\a.tga");
    EXPECT_EQ(records[3].fullPath, "B/skin\\a.tga");

    std::vector<FindRecord> none;
    EXPECT_FALSE(VfsFindAll(none, "g/b.tga", kFindAll));
}

TEST_F(VirtualFileSystemTest, ShutdownForgetsEverythingButOpenFilesStayUsable) {
    RegisterTestType({{"A", {"x"}}});
    ASSERT_TRUE(VfsAddSource("test", "A"));
    ASSERT_TRUE(VfsAddVirtualDir("d", "f"));
    RefPtr<VfsFile> file = VfsOpen("x", kAccessRead, kOpenExisting);
    ASSERT_TRUE(file);

    EXPECT_TRUE(VfsShutdown());
    uint32_t read = 1;
    EXPECT_TRUE(file->Read(0, nullptr, &read));
    EXPECT_FALSE(VfsOpen("x", kAccessRead, kOpenExisting));
    EXPECT_FALSE(VfsAddSource("test", "A"));
    log_.clear();
    EXPECT_FALSE(VfsOpen("d/x", kAccessRead, kOpenExisting));
    EXPECT_TRUE(log_.empty());
}

} // namespace
