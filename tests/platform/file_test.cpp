#include "platform/endian.h"
#include "platform/file.h"
#include "platform/message.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <thread>
#include <utility>
#include <vector>

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

// Whole reads stop at the limit their format allows: a file past it is
// refused by its size before anything is read, a device that never ends is
// no file, and a FIFO without a writer reads as empty instead of waiting.
TEST(File, WholeReadsKeepToTheirLimit) {
    TempDir dir;
    ASSERT_TRUE(plat::WriteFileAtomically(dir / "ten", "0123456789"));
    {
        plat::File sparse;
        ASSERT_TRUE(sparse.Open(dir / "sparse", plat::File::Mode::Write));
    }
    fs::resize_file(dir / "sparse", uint64_t(2) << 30);
    ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
    struct Case {
        std::string path;
        uint64_t limit;
        bool read;
        const char* reason;
    } cases[] = {
        {dir / "ten", 10, true, ""},
        {dir / "ten", 9, false, "10 bytes, more than the 9"},
        {dir / "sparse", uint64_t(1) << 30, false, "more than"},
        {"/dev/zero", 1 << 20, false, "is a character device, not a file"},
        {dir / "fifo", 100, true, ""},
        {dir / "missing", 100, false, "cannot be opened (No such file"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        std::vector<uint8_t> bytes = {7};
        std::string error;
        EXPECT_EQ(plat::ReadWholeFile(c.path, bytes, c.limit, &error), c.read);
        if (c.read) {
            EXPECT_TRUE(error.empty());
        } else {
            EXPECT_NE(error.find(c.reason), std::string::npos) << error;
            EXPECT_EQ(bytes, std::vector<uint8_t>{7});
        }
    }
}

TEST(File, FifoIsReadToItsEndWithinTheLimit) {
    TempDir dir;
    const std::string fifo = dir / "fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    for (const auto& [limit, read] : {std::pair<uint64_t, bool>{100000, true}, {99999, false}}) {
        // The writer holds the FIFO open before the reader comes (a second
        // reader lets its open finish), so that the reader waits for its
        // data rather than finding an empty FIFO.
        plat::File writer;
        std::thread feed([&] { ASSERT_TRUE(writer.Open(fifo, plat::File::Mode::Write)); });
        plat::File keep;
        ASSERT_TRUE(keep.Open(fifo, plat::File::Mode::Read));
        feed.join();
        std::thread write([&] {
            std::string data(100000, 'x');
            writer.Write(data.data(), data.size());
            writer.Close();
        });
        std::string text, error;
        EXPECT_EQ(plat::ReadWholeFile(fifo, text, limit, &error), read) << error;
        if (read) {
            EXPECT_EQ(text.size(), 100000u);
        }
        write.join();
        // Held to the end, so that the writer never writes to a FIFO
        // without readers.
        keep.Close();
    }
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
    std::string error;
    EXPECT_FALSE(plat::WriteFileAtomically(dir / "no-such-folder/file", "x", &error));
    EXPECT_NE(error.find("no-such-folder"), std::string::npos) << error;
}

std::string Content(const std::string& path) {
    std::string text;
    return plat::ReadWholeFile(path, text) ? text : "<unreadable>";
}

TEST(AtomicFileWriter, LinksAreWrittenThroughAndModesKept) {
    struct Case {
        const char* name;
        std::function<void(const TempDir&)> setUp; // makes "out" and what it leads to
        const char* file;                          // what holds the new content after the write
        fs::perms mode;                            // the mode that file has then
    };
    const fs::perms kNewFile =
        fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read | fs::perms::others_read;
    const Case cases[] = {
        {"new file", [](const TempDir&) {}, "out", kNewFile},
        {"private file keeps 0600",
         [](const TempDir& dir) {
             ASSERT_TRUE(plat::WriteFileAtomically(dir / "out", "old"));
             fs::permissions(dir / "out", fs::perms::owner_read | fs::perms::owner_write);
         },
         "out", fs::perms::owner_read | fs::perms::owner_write},
        {"executable keeps 0755",
         [](const TempDir& dir) {
             ASSERT_TRUE(plat::WriteFileAtomically(dir / "out", "old"));
             fs::permissions(dir / "out", fs::perms::owner_all | fs::perms::group_read |
                                              fs::perms::group_exec | fs::perms::others_read |
                                              fs::perms::others_exec);
         },
         "out",
         fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec | fs::perms::others_read |
             fs::perms::others_exec},
        {"relative link",
         [](const TempDir& dir) {
             fs::create_directory(dir / "sub");
             ASSERT_TRUE(plat::WriteFileAtomically(dir / "sub/real", "old"));
             fs::permissions(dir / "sub/real", fs::perms::owner_read | fs::perms::owner_write);
             fs::create_symlink("sub/real", dir / "out");
         },
         "sub/real", fs::perms::owner_read | fs::perms::owner_write},
        {"chain of links, the last absolute",
         [](const TempDir& dir) {
             ASSERT_TRUE(plat::WriteFileAtomically(dir / "real", "old"));
             fs::create_symlink(dir / "real", dir / "middle");
             fs::create_symlink("middle", dir / "out");
         },
         "real", kNewFile},
        {"dangling link makes its target",
         [](const TempDir& dir) { fs::create_symlink("made", dir / "out"); }, "made", kNewFile},
    };
    for (const Case& c : cases) {
        TempDir dir;
        c.setUp(dir);
        const bool wasLink = fs::is_symlink(dir / "out");
        std::string error;
        ASSERT_TRUE(plat::WriteFileAtomically(dir / "out", "new", &error)) << c.name << ": " << error;
        EXPECT_EQ(Content(dir / c.file), "new") << c.name;
        EXPECT_EQ(Content(dir / "out"), "new") << c.name;
        EXPECT_EQ(fs::is_symlink(dir / "out"), wasLink) << c.name;
        EXPECT_EQ(fs::status(dir / c.file).permissions(), c.mode) << c.name;
    }
}

TEST(AtomicFileWriter, OnlyRegularFilesAreReplaced) {
    struct Case {
        const char* name;
        std::function<bool(const std::string&)> make; // false: cannot be made here
        const char* kind;
    };
    const Case cases[] = {
        {"FIFO", [](const std::string& path) { return ::mkfifo(path.c_str(), 0600) == 0; }, "a FIFO"},
        {"folder", [](const std::string& path) { return fs::create_directory(path); }, "a folder"},
        // Only root may make a device node; as root, a null device stands in
        // for /dev/null.
        {"character device",
         [](const std::string& path) { return ::mknod(path.c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0; },
         "a character device"},
    };
    for (const Case& c : cases) {
        for (bool throughLink : {false, true}) {
            TempDir dir;
            if (!c.make(dir / "node"))
                continue;
            if (throughLink)
                fs::create_symlink("node", dir / "out");
            const std::string path = dir / (throughLink ? "out" : "node");
            const auto type = fs::symlink_status(dir / "node").type();
            plat::AtomicFileWriter writer(path);
            EXPECT_FALSE(writer.Open()) << c.name;
            EXPECT_NE(writer.Error().find(c.kind), std::string::npos) << c.name << ": " << writer.Error();
            EXPECT_NE(writer.Error().find("not a regular file"), std::string::npos) << c.name;
            EXPECT_FALSE(writer.Write("x")) << c.name;
            EXPECT_FALSE(writer.Commit()) << c.name;
            EXPECT_EQ(fs::symlink_status(dir / "node").type(), type) << c.name;
            EXPECT_EQ(fs::is_symlink(dir / "out"), throughLink) << c.name;
            EXPECT_EQ(std::distance(fs::directory_iterator(dir.path), fs::directory_iterator()),
                      throughLink ? 2 : 1)
                << c.name;
        }
    }
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
    std::string outer, inner;
    auto original = plat::SetMessageSink(
        [&](const std::string& text, const std::string& caption) { outer += caption + text; });
    auto previous = plat::SetMessageSink(
        [&](const std::string& text, const std::string& caption) { inner = caption + "|" + text; });
    plat::ShowMessage("", "Error SetPACKMemBuf");
    EXPECT_EQ(inner, "Error SetPACKMemBuf|");
    EXPECT_EQ(outer, "");
    plat::SetMessageSink(previous);
    plat::ShowMessage("b", "a");
    EXPECT_EQ(outer, "ab");
    EXPECT_EQ(inner, "Error SetPACKMemBuf|");
    plat::SetMessageSink(original);
}

} // namespace
