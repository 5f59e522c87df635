#include "platform/endian.h"
#include "platform/file.h"
#include "platform/message.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace fs = std::filesystem;

namespace {

struct TempDir {
    fs::path path;
    TempDir() {
        std::string pattern = (fs::temp_directory_path() / "md-file-test-XXXXXX").string();
        path = ::mkdtemp(pattern.data());
    }
    ~TempDir() { fs::remove_all(path); }
    std::string operator/(const std::string& name) const { return (path / name).string(); }
};

TEST(File, ReadsBackWhatWasWritten) {
    TempDir dir;
    ASSERT_TRUE(plat::WriteFileAtomically(dir / "a.bin", "hello"));
    std::string text;
    ASSERT_TRUE(plat::ReadWholeFile(dir / "a.bin", text));
    EXPECT_EQ(text, "hello");

    plat::File file;
    ASSERT_TRUE(file.Open(dir / "a.bin", plat::File::Mode::Read));
    EXPECT_EQ(file.Size(), 5u);
    ASSERT_TRUE(file.Seek(3));
    char buf[8] = {};
    EXPECT_EQ(file.Read(buf, sizeof buf), 2u);
    EXPECT_STREQ(buf, "lo");
}

TEST(File, MissingFilesAndFoldersAreFailuresThatLeaveOutputAlone) {
    TempDir dir;
    std::string text = "kept";
    EXPECT_FALSE(plat::ReadWholeFile(dir / "missing", text));
    EXPECT_FALSE(plat::ReadWholeFile(dir.path.string(), text));
    EXPECT_EQ(text, "kept");
    plat::File file;
    EXPECT_FALSE(file.Open(dir.path.string(), plat::File::Mode::Read));
}

TEST(AtomicFileWriter, OldFileSurvivesUntilCommit) {
    TempDir dir;
    const std::string target = dir / "save.bin";
    ASSERT_TRUE(plat::WriteFileAtomically(target, "old"));
    {
        plat::AtomicFileWriter writer(target);
        ASSERT_TRUE(writer.Open());
        ASSERT_TRUE(writer.Write("new content"));
        std::string during;
        ASSERT_TRUE(plat::ReadWholeFile(target, during));
        EXPECT_EQ(during, "old");
        // Destroyed without Commit: abandoned.
    }
    std::string after;
    ASSERT_TRUE(plat::ReadWholeFile(target, after));
    EXPECT_EQ(after, "old");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path), fs::directory_iterator()), 1);

    plat::AtomicFileWriter writer(target);
    ASSERT_TRUE(writer.Open());
    ASSERT_TRUE(writer.Write("new"));
    ASSERT_TRUE(writer.Commit());
    ASSERT_TRUE(plat::ReadWholeFile(target, after));
    EXPECT_EQ(after, "new");
}

TEST(AtomicFileWriter, ReplacesFilesWhoseNamesLeaveNoRoomForASuffix) {
    TempDir dir;
    const std::string target = dir / std::string(250, 'n');
    ASSERT_TRUE(plat::WriteFileAtomically(target, "old"));
    ASSERT_TRUE(plat::WriteFileAtomically(target, "new"));
    std::string text;
    ASSERT_TRUE(plat::ReadWholeFile(target, text));
    EXPECT_EQ(text, "new");
}

TEST(AtomicFileWriter, UnwritableFolderFails) {
    TempDir dir;
    EXPECT_FALSE(plat::WriteFileAtomically(dir / "no-such-folder/file", "x"));
}

TEST(Endian, LittleEndianLayout) {
    uint8_t bytes[8];
    plat::StoreLE32(bytes, 0x68656164u); // "head" as a multi-character constant
    EXPECT_EQ(std::string(reinterpret_cast<char*>(bytes), 4), "daeh");
    EXPECT_EQ(plat::LoadLE32(bytes), 0x68656164u);
    plat::StoreLE64(bytes, 0x0102030405060708ull);
    EXPECT_EQ(bytes[0], 0x08);
    EXPECT_EQ(bytes[7], 0x01);
    EXPECT_EQ(plat::LoadLE64(bytes), 0x0102030405060708ull);
    plat::StoreLE16(bytes, 0xBEEF);
    EXPECT_EQ(plat::LoadLE16(bytes), 0xBEEF);
}

TEST(MessageSink, ReplaceableAndRestorable) {
    std::string seen;
    auto previous = plat::SetMessageSink(
        [&](const std::string& text, const std::string& caption) { seen = caption + "|" + text; });
    plat::ShowMessage("", "Error SetPACKMemBuf");
    EXPECT_EQ(seen, "Error SetPACKMemBuf|");
    plat::SetMessageSink(previous);
}

} // namespace
