#include "files/pack_archive.h"
#include "platform/endian.h"
#include "platform/message.h"
#include "tests/files/file_size_limit.h"
#include "tests/files/scratch_folder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <set>

namespace {

// FILETIMEs of 2001 and 2002.
constexpr uint64_t kOld = 126227808000000000;
constexpr uint64_t kNew = 126543168000000000;

std::string ReadEntry(PackArchive& archive, std::string_view name) {
    PackEntrySlot* slot = archive.OpenEntry(name);
    if (!slot)
        return "<none>";
    std::string bytes(slot->entry->unpackedSize, '\0');
    EXPECT_TRUE(archive.ReadEntry(slot, reinterpret_cast<uint8_t*>(bytes.data()), int32_t(bytes.size())));
    EXPECT_TRUE(archive.CloseEntry(slot));
    return bytes;
}

std::string Noise(size_t size, uint32_t seed) {
    std::string bytes(size, '\0');
    for (char& c : bytes) {
        seed = seed * 1664525 + 1013904223;
        c = char(seed >> 24);
    }
    return bytes;
}

// Writes a data file and its index as given, sorted or not.
void WriteArchive(const std::string& dataPath, uint32_t method, std::vector<PackEntry> entries,
                  const std::string& data) {
    ASSERT_TRUE(plat::WriteFileAtomically(dataPath, data));
    std::vector<uint8_t> index;
    std::string error;
    ASSERT_TRUE(EncodePackIndex({method, std::move(entries)}, index, error)) << error;
    ASSERT_TRUE(plat::WriteFileAtomically(PackIndexPath(dataPath), index.data(), index.size()));
}

PackEntry Stored(std::string name, uint32_t offset, uint32_t size) {
    PackEntry entry;
    entry.compressedFlag = 0;
    entry.offset = offset;
    entry.unpackedSize = size;
    entry.extension = PackExtensionOf(name);
    entry.name = std::move(name);
    return entry;
}

class PackArchiveTest : public ::testing::TestWithParam<uint8_t> {
protected:
    void SetUp() override {
        previousSink_ = plat::SetMessageSink([this](const std::string& text, const std::string& caption) {
            messages_.push_back(caption + ": " + text);
        });
    }
    void TearDown() override { plat::SetMessageSink(previousSink_); }

    // Packs the folder src below the scratch folder into name.pkq.
    std::string Build(const std::string& src, const std::string& name, bool expectSuccess = true) {
        PackArchive builder;
        builder.SetMethod(GetParam());
        builder.SetRootFolder(folder_ / src);
        bool scanned = builder.ScanFolder();
        std::string path = folder_ / (name + ".pkq");
        bool built = builder.BuildPackArchive(path);
        EXPECT_EQ(scanned && built, expectSuccess) << builder.LastError();
        return path;
    }

    ScratchFolder folder_;
    std::vector<std::string> messages_;
    plat::MessageSink previousSink_;
};

INSTANTIATE_TEST_SUITE_P(Methods, PackArchiveTest, ::testing::Values(kMethodLzss, kMethodAplib),
                         [](const auto& p) { return p.param == kMethodLzss ? "Lzss" : "Aplib"; });

TEST_P(PackArchiveTest, BuildsAndReadsBackEveryFileInAnyLetterCase) {
    const std::string big = Noise(70000, 1) + std::string(50000, 'a');
    folder_.Write("src/textures/a.tga", "alpha", kOld);
    folder_.Write("src/Textures2/B.tga", big);
    folder_.Write("src/x", "x");
    folder_.Write("src/empty.txt", "");
    std::string path = Build("src", "gfx");

    PackArchive archive;
    ASSERT_TRUE(archive.Open(path, 4, 2)) << archive.LastError();
    EXPECT_EQ(archive.Method(), GetParam());
    ASSERT_EQ(archive.Entries().size(), 4u);
    // In name order without regard to case, where "2" comes before "\\".
    EXPECT_EQ(archive.Entries()[0].name, "empty.txt");
    EXPECT_EQ(archive.Entries()[1].name, "Textures2\\B.tga");
    EXPECT_EQ(archive.Entries()[2].name, "textures\\a.tga");
    EXPECT_EQ(archive.Entries()[2].extension, "tga");
    EXPECT_EQ(archive.Entries()[2].writeTime, kOld);

    EXPECT_EQ(ReadEntry(archive, "Textures\\A.TGA"), "alpha");
    EXPECT_EQ(ReadEntry(archive, "textures2\\b.tga"), big);
    EXPECT_EQ(ReadEntry(archive, "X"), "x");
    EXPECT_EQ(ReadEntry(archive, "empty.txt"), "");
    EXPECT_EQ(ReadEntry(archive, "textures\\a.tg"), "<none>");
    EXPECT_EQ(ReadEntry(archive, ""), "<none>");
    EXPECT_TRUE(messages_.empty());
}

TEST_P(PackArchiveTest, AnArchiveBuiltIntoItsOwnFolderLeavesItsFilesOut) {
    folder_.Write("src/a", "alpha");
    folder_.MakeFolder("src/sub");
    for (int round = 0; round < 2; ++round) {
        PackArchive builder;
        builder.SetMethod(GetParam());
        builder.SetRootFolder(folder_ / "src");
        ASSERT_TRUE(builder.ScanFolder());
        ASSERT_TRUE(builder.BuildPackArchive(folder_ / "src/sub/a.pkq")) << builder.LastError();
    }
    PackArchive archive;
    ASSERT_TRUE(archive.Open(folder_ / "src/sub/a.pkq", 1, 2));
    ASSERT_EQ(archive.Entries().size(), 1u);
    EXPECT_EQ(archive.Entries()[0].name, "a");

    // A refresh of the archive's own folder leaves them out too.
    folder_.Write("src/b", "beta", kNew);
    archive.SetRootFolder(folder_ / "src");
    ASSERT_TRUE(archive.ScanFolder());
    ASSERT_TRUE(archive.RefreshFromFolder()) << archive.LastError();
    ASSERT_TRUE(archive.Open(folder_ / "src/sub/a.pkq", 1, 2));
    std::vector<std::string> names;
    for (const PackEntry& entry : archive.Entries())
        names.push_back(entry.name);
    EXPECT_EQ(names, (std::vector<std::string>{"a", "b"}));
}

TEST_P(PackArchiveTest, AnEmptyFileTakesNoBytesAndTheBuildGoesOn) {
    folder_.Write("src/a.txt", "");
    folder_.Write("src/b.txt", "bbbbbbbb");
    std::string path = Build("src", "gfx");
    PackArchive archive;
    ASSERT_TRUE(archive.Open(path, 1, 2));
    const PackEntry& empty = archive.Entries()[0];
    EXPECT_EQ(empty.packedSize, 0u);
    EXPECT_EQ(empty.unpackedSize, 0u);
    const PackEntry& full = archive.Entries()[1];
    EXPECT_EQ(full.offset, 0u);
    EXPECT_EQ(std::filesystem::file_size(path), full.StoredSize());
    EXPECT_EQ(ReadEntry(archive, "b.txt"), "bbbbbbbb");
}

TEST_P(PackArchiveTest, FilesThatCannotBePackedAreReportedAndTheRestIsBuilt) {
    folder_.Write("src/" + std::string(200, 'n'), "too long a name");
    folder_.Write("src/ok.txt", "fine");
    std::string path = Build("src", "gfx", false);
    ASSERT_EQ(messages_.size(), 1u);
    EXPECT_NE(messages_[0].find("Error adding file"), std::string::npos);
    PackArchive archive;
    ASSERT_TRUE(archive.Open(path, 1, 2));
    EXPECT_EQ(archive.Entries().size(), 1u);
    EXPECT_EQ(ReadEntry(archive, "ok.txt"), "fine");
}

TEST_P(PackArchiveTest, EachOpenEntryKeepsItsOwnBytesAndPosition) {
    const std::string a = Noise(3000, 2);
    const std::string b = Noise(5000, 3);
    folder_.Write("src/a", a);
    folder_.Write("src/b", b);
    PackArchive archive;
    ASSERT_TRUE(archive.Open(Build("src", "gfx"), 4, 2));
    PackEntrySlot* first = archive.OpenEntry("a");
    PackEntrySlot* second = archive.OpenEntry("b");
    ASSERT_TRUE(first && second);
    std::string readA(a.size(), '\0');
    std::string readB(b.size(), '\0');
    auto* outA = reinterpret_cast<uint8_t*>(readA.data());
    auto* outB = reinterpret_cast<uint8_t*>(readB.data());
    ASSERT_TRUE(archive.ReadEntry(first, outA, 1000));
    ASSERT_TRUE(archive.ReadEntry(second, outB, 2500));
    ASSERT_TRUE(archive.ReadEntry(first, outA + 1000, 2000));
    ASSERT_TRUE(archive.ReadEntry(second, outB + 2500, 2500));
    EXPECT_EQ(readA, a);
    EXPECT_EQ(readB, b);
}

TEST_P(PackArchiveTest, SeeksAndReadsStayInsideTheEntry) {
    folder_.Write("src/a", "0123456789");
    folder_.Write("src/z", "last entry");
    PackArchive archive;
    ASSERT_TRUE(archive.Open(Build("src", "gfx"), 2, 2));
    for (const char* name : {"a", "z"}) {
        PackEntrySlot* slot = archive.OpenEntry(name);
        ASSERT_TRUE(slot);
        uint8_t buffer[16] = {};
        ASSERT_TRUE(archive.ReadEntry(slot, buffer, 10));
        EXPECT_FALSE(archive.ReadEntry(slot, buffer, 1)) << "one byte past the end";
        EXPECT_TRUE(archive.ReadEntry(slot, buffer, 0));
        EXPECT_EQ(slot->position, 10u);
        EXPECT_TRUE(archive.SeekEntry(slot, 4));
        ASSERT_TRUE(archive.ReadEntry(slot, buffer, 6));
        EXPECT_FALSE(archive.SeekEntry(slot, 11));
        EXPECT_FALSE(archive.ReadEntry(slot, buffer, -1));
        EXPECT_TRUE(archive.CloseEntry(slot));
        EXPECT_FALSE(archive.CloseEntry(slot));
        EXPECT_FALSE(archive.ReadEntry(slot, buffer, 1));
    }
    EXPECT_EQ(ReadEntry(archive, "a").substr(4), "456789");
}

TEST_P(PackArchiveTest, SlotsRunOutUntilOneIsClosed) {
    folder_.Write("src/a", "a");
    PackArchive archive;
    ASSERT_TRUE(archive.Open(Build("src", "gfx"), 4, 2));
    std::vector<PackEntrySlot*> slots;
    for (int i = 0; i < 4; ++i)
        slots.push_back(archive.OpenEntry("a"));
    for (PackEntrySlot* slot : slots)
        ASSERT_TRUE(slot);
    EXPECT_FALSE(archive.OpenEntry("a"));
    EXPECT_TRUE(archive.CloseEntry(slots[2]));
    EXPECT_EQ(archive.OpenEntry("a"), slots[2]);

    PackArchive other;
    ASSERT_TRUE(other.Open(archive.DataPath(), 1, 2));
    uint8_t byte;
    EXPECT_FALSE(other.ReadEntry(slots[0], &byte, 1)) << "a slot of another archive";
    EXPECT_FALSE(other.CloseEntry(slots[0]));
}

TEST_P(PackArchiveTest, ExtractsTheTreeWithItsTimes) {
    folder_.Write("src/textures/a.tga", "alpha", kOld);
    folder_.Write("src/textures/deep/b.tga", Noise(2000, 4), kNew);
    folder_.Write("src/c", "");
    PackArchive archive;
    ASSERT_TRUE(archive.Open(Build("src", "gfx"), 1, 2));
    ASSERT_TRUE(archive.ExtractAll(folder_ / "out")) << archive.LastError();
    EXPECT_EQ(folder_.Read("out/textures/a.tga"), "alpha");
    EXPECT_EQ(folder_.Read("out/textures/deep/b.tga"), Noise(2000, 4));
    EXPECT_EQ(folder_.Read("out/c"), "");
    uint64_t time = 0;
    ASSERT_TRUE(ReadFileWriteTime(folder_ / "out/textures/a.tga", time));
    EXPECT_EQ(time, kOld);
}

TEST_P(PackArchiveTest, RefreshRepacksNewerFilesAndAddsNewOnes) {
    folder_.Write("src/same", "unchanged", kOld);
    folder_.Write("src/grow", "short", kOld);
    folder_.Write("src/shrink", Noise(1000, 5), kOld);
    std::string path = Build("src", "gfx");
    PackArchive before;
    ASSERT_TRUE(before.Open(path, 1, 2));
    const uint32_t sameOffset = before.FindEntry("same")->offset;
    const uint32_t shrinkOffset = before.FindEntry("shrink")->offset;
    before.Close();

    folder_.Write("src/grow", Noise(3000, 6), kNew);
    folder_.Write("src/shrink", "tiny", kNew);
    folder_.Write("src/added", "new file", kNew);
    PackArchive archive;
    ASSERT_TRUE(archive.Open(path, 1, 2));
    archive.SetRootFolder(folder_ / "src");
    ASSERT_TRUE(archive.ScanFolder());
    ASSERT_TRUE(archive.RefreshFromFolder()) << archive.LastError();

    ASSERT_TRUE(archive.Open(path, 1, 2));
    EXPECT_EQ(ReadEntry(archive, "same"), "unchanged");
    EXPECT_EQ(ReadEntry(archive, "grow"), Noise(3000, 6));
    EXPECT_EQ(ReadEntry(archive, "shrink"), "tiny");
    EXPECT_EQ(ReadEntry(archive, "added"), "new file");
    EXPECT_EQ(archive.FindEntry("same")->offset, sameOffset);
    EXPECT_EQ(archive.FindEntry("grow")->writeTime, kNew);
    archive.Close();

    // The bytes the first index named are free once the new index stands:
    // the next refresh puts what fits there instead of growing the file.
    const auto size = std::filesystem::file_size(path);
    folder_.Write("src/shrink", Noise(200, 11), kNew + 1);
    ASSERT_TRUE(archive.Open(path, 1, 2));
    ASSERT_TRUE(archive.ScanFolder());
    ASSERT_TRUE(archive.RefreshFromFolder()) << archive.LastError();
    ASSERT_TRUE(archive.Open(path, 1, 2));
    EXPECT_EQ(ReadEntry(archive, "shrink"), Noise(200, 11));
    EXPECT_EQ(archive.FindEntry("shrink")->offset, shrinkOffset);
    EXPECT_EQ(std::filesystem::file_size(path), size);
}

TEST_P(PackArchiveTest, UpdatesReplaceOlderEntriesAndAddNewOnes) {
    folder_.Write("installed/shrinks", Noise(2000, 7), kOld);
    folder_.Write("installed/grows", "small", kOld);
    folder_.Write("installed/newer", "installed is newer", kNew);
    folder_.Write("installed/kept", "kept");
    std::string installedPath = Build("installed", "gfx");
    folder_.Write("package/Shrinks", "tiny now", kNew);
    folder_.Write("package/grows", Noise(3000, 8), kNew);
    folder_.Write("package/newer", "package is older", kOld);
    folder_.Write("package/sub/added", "added", kNew);
    std::string packagePath = Build("package", "update");

    PackArchive package;
    ASSERT_TRUE(package.Open(packagePath, 1, 2));
    // Nothing is written over bytes the installed index names.
    const uint32_t grownBy = package.FindEntry("grows")->StoredSize() +
                             package.FindEntry("sub\\added")->StoredSize() +
                             package.FindEntry("shrinks")->StoredSize();
    package.Close();
    PackArchive archive;
    ASSERT_TRUE(archive.Open(installedPath, 1, 2));
    const auto sizeBefore = std::filesystem::file_size(installedPath);
    std::vector<int32_t> progress;
    archive.SetUpdateProgress([&](int32_t percent) { progress.push_back(percent); });
    ASSERT_TRUE(archive.ApplyUpdate(packagePath)) << archive.LastError();
    EXPECT_FALSE(archive.IsOpen());
    EXPECT_EQ(progress, (std::vector<int32_t>{20, 40, 60, 80, 100}));
    EXPECT_EQ(std::filesystem::file_size(installedPath), sizeBefore + grownBy);

    ASSERT_TRUE(archive.Open(installedPath, 1, 2));
    EXPECT_EQ(ReadEntry(archive, "shrinks"), "tiny now");
    EXPECT_EQ(archive.FindEntry("shrinks")->name, "shrinks");
    EXPECT_EQ(archive.FindEntry("shrinks")->writeTime, kNew);
    EXPECT_EQ(ReadEntry(archive, "grows"), Noise(3000, 8));
    EXPECT_EQ(ReadEntry(archive, "newer"), "installed is newer");
    EXPECT_EQ(ReadEntry(archive, "kept"), "kept");
    EXPECT_EQ(ReadEntry(archive, "SUB\\ADDED"), "added");

    // Applying the same package again changes nothing: the times now match.
    const auto sizeAfter = std::filesystem::file_size(installedPath);
    ASSERT_TRUE(archive.ApplyUpdate(packagePath));
    EXPECT_EQ(std::filesystem::file_size(installedPath), sizeAfter);
    for (const auto& item : std::filesystem::directory_iterator(folder_.Path()))
        EXPECT_EQ(item.path().string().find(".tmp"), std::string::npos) << item.path();
}

// What an archive lists, each entry with the bytes it extracts to.
std::map<std::string, std::string> ListAndExtract(const std::string& path, const std::string& scratch) {
    std::map<std::string, std::string> contents;
    PackArchive archive;
    if (!archive.Open(path, 1, 2))
        return {{"<cannot open>", archive.LastError()}};
    std::filesystem::remove_all(scratch);
    if (!archive.ExtractAll(scratch))
        return {{"<cannot extract>", archive.LastError()}};
    for (const PackEntry& entry : archive.Entries()) {
        std::string bytes;
        std::string file = scratch + "/" + entry.name;
        std::replace(file.begin(), file.end(), '\\', '/');
        if (!plat::ReadWholeFile(file, bytes))
            bytes = "<not extracted>";
        contents[entry.name] = bytes;
    }
    return contents;
}

TEST_P(PackArchiveTest, UpdateAndRefreshCutShortAnywhereLeaveTheArchiveAsBefore) {
    folder_.Write("installed/shrinks", Noise(300, 7), kOld);
    folder_.Write("installed/grows", "small", kOld);
    folder_.Write("installed/kept", "kept", kOld);
    const std::string path = Build("installed", "gfx");
    folder_.Write("package/shrinks", "tiny now", kNew);
    folder_.Write("package/grows", Noise(400, 8), kNew);
    folder_.Write("package/sub/added", "added", kNew);
    const std::string packagePath = Build("package", "update");
    const std::string data = folder_.Read("gfx.pkq");
    const std::string index = folder_.Read("gfx.ind");
    const std::string scratch = folder_ / "extracted";
    const auto before = ListAndExtract(path, scratch);
    ASSERT_EQ(before.size(), 3u);

    struct Case {
        const char* name;
        std::function<bool(PackArchive&)> run;
    };
    const Case cases[] = {
        {"update", [&](PackArchive& archive) { return archive.ApplyUpdate(packagePath); }},
        {"refresh",
         [&](PackArchive& archive) {
             archive.SetRootFolder(folder_ / "package");
             return archive.ScanFolder() && archive.RefreshFromFolder();
         }},
    };
    for (const Case& c : cases) {
        auto restore = [&] {
            folder_.Write("gfx.pkq", data);
            folder_.Write("gfx.ind", index);
        };
        PackArchive archive;
        restore();
        ASSERT_TRUE(archive.Open(path, 1, 2));
        ASSERT_TRUE(c.run(archive)) << c.name << ": " << archive.LastError();
        const auto after = ListAndExtract(path, scratch);
        ASSERT_EQ(after.size(), 4u) << c.name;
        ASSERT_NE(after, before);
        // Write limits that cut every write of the operation: at its first
        // byte, inside it and at its last, for each entry's new bytes in the
        // data file and for the index.
        std::set<uint64_t> limits = {0, 1, data.size()};
        PackArchive updated;
        ASSERT_TRUE(updated.Open(path, 1, 2));
        for (const PackEntry& entry : updated.Entries()) {
            uint64_t begin = entry.offset, end = begin + entry.StoredSize();
            limits.insert({begin, begin + 1, (begin + end) / 2, end - 1, end});
        }
        updated.Close();
        const uint64_t indexSize = std::filesystem::file_size(folder_ / "gfx.ind");
        limits.insert({indexSize / 2, indexSize - 1, indexSize});
        for (uint64_t limit : limits) {
            restore();
            bool ok = false;
            {
                FileSizeLimit full(limit);
                if (archive.Open(path, 1, 2))
                    ok = c.run(archive);
            }
            EXPECT_EQ(ListAndExtract(path, scratch), ok ? after : before) << c.name << " cut at " << limit;
            if (HasFailure())
                return;
        }
    }
}

TEST_P(PackArchiveTest, UpdatesOfAnotherMethodOrWithDamageWriteNothing) {
    folder_.Write("installed/a", Noise(500, 9), kOld);
    std::string installedPath = Build("installed", "gfx");
    std::string data = folder_.Read("gfx.pkq");
    std::string index = folder_.Read("gfx.ind");

    folder_.Write("package/a", "newer", kNew);
    PackArchive other;
    other.SetMethod(GetParam() == kMethodLzss ? kMethodAplib : kMethodLzss);
    other.SetRootFolder(folder_ / "package");
    ASSERT_TRUE(other.ScanFolder());
    ASSERT_TRUE(other.BuildPackArchive(folder_ / "other.pkq"));

    folder_.Write("package/b", Noise(800, 10), kNew);
    std::string damagedPath = Build("package", "damaged");
    // Cut b's packed bytes short in the package's index.
    PackArchive damaged;
    ASSERT_TRUE(damaged.Open(damagedPath, 1, 2));
    PackIndex cut{damaged.Method(), damaged.Entries()};
    damaged.Close();
    for (PackEntry& entry : cut.entries)
        if (entry.name == "b")
            entry.packedSize /= 2;
    std::string error;
    ASSERT_TRUE(WritePackIndex(folder_ / "damaged.ind", cut, error));

    for (const std::string& package : {folder_ / "other.pkq", damagedPath, folder_ / "missing.pkq"}) {
        PackArchive archive;
        ASSERT_TRUE(archive.Open(installedPath, 1, 2));
        EXPECT_FALSE(archive.ApplyUpdate(package)) << package;
        EXPECT_FALSE(archive.LastError().empty());
        EXPECT_EQ(folder_.Read("gfx.pkq"), data);
        EXPECT_EQ(folder_.Read("gfx.ind"), index);
    }
}

TEST(PackIndexPath, ReplacesTheLastThreeCharactersOfTheFileName) {
    const std::pair<const char*, const char*> cases[] = {
        {"gfx.pkq", "gfx.ind"}, {"dir/UIF.PKQ", "dir/UIF.ind"}, {"pkq", "ind"},     {"ab", "ab.ind"},
        {"od/x", "od/x.ind"},   {"a.b/cd", "a.b/cd.ind"},       {"a/xyz", "a/ind"},
    };
    for (const auto& [data, index] : cases)
        EXPECT_EQ(PackIndexPath(data), index) << data;
}

TEST(PackArchiveOpen, FindsBothFilesInAnyLetterCase) {
    ScratchFolder folder;
    folder.MakeFolder("Gfx");
    WriteArchive(folder / "Gfx/GFX.PKQ", kMethodAplib, {Stored("a", 0, 3)}, "abc");
    std::filesystem::rename(folder / "Gfx/GFX.ind", folder / "Gfx/GFX.IND");
    PackArchive archive;
    ASSERT_TRUE(archive.Open(folder.Path() + "\\gfx\\gfx.pkq", 1, 2)) << archive.LastError();
    EXPECT_EQ(ReadEntry(archive, "A"), "abc");
}

TEST(PackArchiveOpen, RefusesIndexesThatDoNotFitTheirFiles) {
    ScratchFolder folder;
    const std::string path = folder / "gfx.pkq";
    const struct {
        const char* what;
        std::function<void(std::vector<uint8_t>& index, std::string& data)> damage;
    } cases[] = {
        {"no index file", [&](auto&, auto&) { std::filesystem::remove(folder / "gfx.ind"); }},
        {"no data file", [&](auto&, auto&) { std::filesystem::remove(path); }},
        {"a header cut short", [](auto& index, auto&) { index.resize(6); }},
        {"a count beyond the index", [](auto& index, auto&) { plat::StoreLE32(index.data() + 4, 3); }},
        {"a huge count", [](auto& index, auto&) { plat::StoreLE32(index.data() + 4, 0xFFFFFFFF); }},
        {"bytes after the last entry", [](auto& index, auto&) { index.push_back(0); }},
        {"an entry cut short", [](auto& index, auto&) { index.resize(index.size() - 1); }},
        {"a name without its zero",
         [](auto& index, auto&) { std::fill_n(index.begin() + 8 + 228 + 16, 200, uint8_t('n')); }},
        {"a data file cut short", [](auto&, auto& data) { data.pop_back(); }},
        {"an offset past the end", [](auto& index, auto&) { plat::StoreLE32(index.data() + 8 + 228, 9); }},
        {"an offset that wraps",
         [](auto& index, auto&) { plat::StoreLE32(index.data() + 8 + 228, 0xFFFFFFFE); }},
        {"a packed size past the end",
         [](auto& index, auto&) {
             plat::StoreLE32(index.data() + 8 + 4, 1);
             plat::StoreLE32(index.data() + 8 + 8, 100);
         }},
        {"an unknown method for a packed entry",
         [](auto& index, auto&) {
             plat::StoreLE32(index.data(), 5);
             plat::StoreLE32(index.data() + 8 + 4, 1);
             plat::StoreLE32(index.data() + 8 + 8, 2);
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::string data = "abcdefgh";
        std::vector<uint8_t> index;
        std::string error;
        ASSERT_TRUE(EncodePackIndex({kMethodAplib, {Stored("a", 0, 4), Stored("b", 4, 4)}}, index, error));
        WriteArchive(path, kMethodAplib, {}, "");
        c.damage(index, data);
        if (std::filesystem::exists(path)) {
            ASSERT_TRUE(plat::WriteFileAtomically(path, data));
        }
        if (std::filesystem::exists(folder / "gfx.ind")) {
            ASSERT_TRUE(plat::WriteFileAtomically(folder / "gfx.ind", index.data(), index.size()));
        }
        PackArchive archive;
        EXPECT_FALSE(archive.Open(path, 1, 2));
        EXPECT_FALSE(archive.IsOpen());
        EXPECT_FALSE(archive.LastError().empty());
        EXPECT_FALSE(archive.OpenEntry("a"));
        WriteArchive(path, kMethodAplib, {}, "");
    }
}

TEST(PackArchiveOpen, EmptyAndUnsortedIndexesWork) {
    ScratchFolder folder;
    const std::string path = folder / "gfx.pkq";
    WriteArchive(path, kMethodLzss, {}, "");
    PackArchive archive;
    ASSERT_TRUE(archive.Open(path, 4, 2));
    EXPECT_FALSE(archive.OpenEntry("a"));
    EXPECT_FALSE(archive.FindEntry("a"));

    WriteArchive(path, kMethodLzss, {Stored("z", 0, 1), Stored("B", 1, 1), Stored("a", 2, 1)}, "zba");
    ASSERT_TRUE(archive.Open(path, 1, 2));
    EXPECT_EQ(ReadEntry(archive, "a"), "a");
    EXPECT_EQ(ReadEntry(archive, "b"), "b");
    EXPECT_EQ(ReadEntry(archive, "Z"), "z");
}

TEST(PackArchiveOpen, DamagedPackedEntriesFailToOpen) {
    ScratchFolder folder;
    const std::string path = folder / "gfx.pkq";
    // An LZSS stream of one flag byte and two literals.
    PackEntry lzss = Stored("x", 0, 2);
    lzss.compressedFlag = kPackCompressedFlag;
    lzss.packedSize = 3;
    const struct {
        const char* what;
        uint32_t method;
        uint32_t unpackedSize;
    } cases[] = {
        {"fewer bytes than announced", kMethodLzss, 3},
        {"more than any stream can hold", kMethodLzss, 1000},
        {"not an aPLib container", kMethodAplib, 2},
        {"a size beyond the limit", kMethodLzss, PackArchive::kMaxExpandedSize + 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        lzss.unpackedSize = c.unpackedSize;
        WriteArchive(path, c.method, {lzss},
                     std::string("\xFF"
                                 "ab",
                                 3));
        PackArchive archive;
        ASSERT_TRUE(archive.Open(path, 1, 2));
        EXPECT_FALSE(archive.OpenEntry("x"));
        EXPECT_NE(archive.LastError().find("damaged"), std::string::npos);
    }
    lzss.unpackedSize = 2;
    WriteArchive(path, kMethodLzss, {lzss},
                 std::string("\xFF"
                             "ab",
                             3));
    PackArchive archive;
    ASSERT_TRUE(archive.Open(path, 1, 2));
    EXPECT_EQ(ReadEntry(archive, "x"), "ab");
}

TEST(PackArchiveExtract, RefusesNamesThatLeaveTheFolder) {
    ScratchFolder folder;
    const std::string path = folder / "gfx.pkq";
    WriteArchive(path, kMethodAplib, {Stored("..\\escaped", 0, 1), Stored("ok\\file", 1, 1)}, "xy");
    PackArchive archive;
    ASSERT_TRUE(archive.Open(path, 1, 2));
    EXPECT_FALSE(archive.ExtractAll(folder / "out"));
    EXPECT_FALSE(std::filesystem::exists(folder / "escaped"));
    EXPECT_EQ(folder.Read("out/ok/file"), "y");
}

TEST(PackArchiveExtract, DamagedEntriesAreLeftOutAndTheRestIsWritten) {
    ScratchFolder folder;
    const std::string path = folder / "gfx.pkq";
    PackEntry huge = Stored("huge", 0, 0xFFFFFFFF);
    huge.compressedFlag = kPackCompressedFlag;
    huge.packedSize = 1;
    WriteArchive(path, kMethodAplib, {huge, Stored("sub\\ok", 1, 1)}, "xy");
    PackArchive archive;
    ASSERT_TRUE(archive.Open(path, 1, 2));
    EXPECT_FALSE(archive.ExtractAll(folder / "out"));
    EXPECT_NE(archive.LastError().find("damaged"), std::string::npos) << archive.LastError();
    EXPECT_FALSE(std::filesystem::exists(folder / "out/huge"));
    EXPECT_EQ(folder.Read("out/sub/ok"), "y");
}

TEST(PackArchiveExtract, EveryFailureIsReportedAndLinksInsideTheDestinationAreNotFollowed) {
    ScratchFolder folder;
    const std::string path = folder / "gfx.pkq";
    PackEntry huge = Stored("huge", 0, 0xFFFFFFFF);
    huge.compressedFlag = kPackCompressedFlag;
    huge.packedSize = 1;
    WriteArchive(path, kMethodAplib,
                 {huge, Stored("..\\up", 0, 1), Stored("linked\\file", 1, 1), Stored("target", 1, 1),
                  Stored("ok", 0, 1)},
                 "xy");
    folder.MakeFolder("outside");
    folder.Write("outside/target", "kept");
    folder.MakeFolder("out");
    std::filesystem::create_symlink(folder / "outside", folder / "out/linked");
    std::filesystem::create_symlink(folder / "outside/target", folder / "out/target");

    PackArchive archive;
    ASSERT_TRUE(archive.Open(path, 1, 2));
    EXPECT_FALSE(archive.ExtractAll(folder / "out"));
    const std::vector<std::string>& failures = archive.Failures();
    ASSERT_EQ(failures.size(), 4u) << archive.LastError();
    EXPECT_NE(failures[0].find("'..\\up'"), std::string::npos) << failures[0];
    EXPECT_NE(failures[1].find("damaged"), std::string::npos) << failures[1];
    EXPECT_NE(failures[2].find("'linked\\file' is left out"), std::string::npos) << failures[2];
    EXPECT_NE(failures[3].find("'target' is left out"), std::string::npos) << failures[3];
    EXPECT_EQ(archive.LastError(), failures.back());
    EXPECT_FALSE(std::filesystem::exists(folder / "outside/file"));
    EXPECT_EQ(folder.Read("outside/target"), "kept");
    EXPECT_TRUE(std::filesystem::is_symlink(folder / "out/target"));
    EXPECT_EQ(folder.Read("out/ok"), "x");
}

class PackArchiveFind : public ::testing::Test {
protected:
    void SetUp() override {
        std::vector<PackEntry> entries;
        for (const char* name : {"a.tga", "textures\\a.tga", "textures\\foobar.tga", "textures\\sub\\b.tga",
                                 "textures\\sub\\c.tga", "textures\\sub2\\d.tga", "textures\\x.bmp"})
            entries.push_back(Stored(name, 0, 0));
        WriteArchive(folder_ / "gfx.pkq", kMethodAplib, entries, "");
        ASSERT_TRUE(archive_.Open(folder_ / "gfx.pkq", 1, 2));
    }

    std::vector<std::string> Find(std::string_view pattern, int32_t mode) {
        std::vector<std::string> names;
        std::string name;
        for (archive_.FindFirst(name, pattern, mode); !name.empty(); archive_.FindNext(name, mode))
            names.push_back(name);
        return names;
    }

    ScratchFolder folder_;
    PackArchive archive_;
};

TEST_F(PackArchiveFind, ListsByFolderAndExtension) {
    using Names = std::vector<std::string>;
    // "2" sorts before "\\".
    EXPECT_EQ(Find("textures\\*.tga", 1),
              (Names{"textures\\a.tga", "textures\\foobar.tga", "textures\\sub2\\d.tga",
                     "textures\\sub\\b.tga", "textures\\sub\\c.tga"}));
    EXPECT_EQ(Find("TEXTURES\\*.BMP", 1), (Names{"textures\\x.bmp"}));
    EXPECT_EQ(Find("textures\\foo.tga", 1), (Names{"textures\\foobar.tga"}));
    EXPECT_EQ(Find("textures\\*", 2), (Names{"textures\\sub2", "textures\\sub"}));
    EXPECT_EQ(Find("*", 2), (Names{"textures"}));
    EXPECT_EQ(Find("*.*", 3).size(), 7u);
    EXPECT_EQ(Find("maps\\*.tga", 1), Names{});
    EXPECT_EQ(Find("textures\\*.wav", 1), Names{});
}

TEST_F(PackArchiveFind, GivesTheFoundRecordAndItsEntry) {
    std::string name;
    PackEntry record;
    archive_.FindFirst(name, "textures\\sub\\*.tga", 1, &record);
    EXPECT_EQ(record.name, "textures\\sub\\b.tga");
    EXPECT_EQ(archive_.FoundEntry(), archive_.FindEntry("textures\\sub\\b.tga"));
    archive_.FindFirst(name, "textures\\sub*", 2);
    EXPECT_EQ(name, "textures\\sub2");
    EXPECT_EQ(archive_.FoundEntry(), nullptr);
    EXPECT_TRUE(archive_.HasFolder("TEXTURES\\SUB"));
    EXPECT_TRUE(archive_.HasFolder("textures\\sub\\"));
    EXPECT_FALSE(archive_.HasFolder("textures\\su"));
}

} // namespace
