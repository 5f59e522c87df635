#include "files/aplib.h"
#include "files/chunk_stream.h"
#include "files/packed_save.h"
#include "platform/endian.h"
#include "platform/file.h"
#include "tests/files/save_fixture.h"

#include <gtest/gtest.h>

#include <random>

namespace {

using namespace save_fixture;

bool SaveWorldTo(std::unique_ptr<SaveStream> stream, World world) {
    std::string text(kSaveHeaderText);
    uint32_t version = kSaveStreamVersion;
    if (!BeginSaveStream(std::move(stream), text, version))
        return false;
    world.Serialize();
    return CloseStream();
}

TEST(PackedSave, RoundTripsAWholeSave) {
    ScratchFolder dir;
    const std::string path = dir / "game.mds";
    const World world = LargeWorld();
    ASSERT_TRUE(SaveWorldTo(OpenPackedWriteStream(path), world)) << StreamError();

    Bytes file;
    ASSERT_TRUE(plat::ReadWholeFile(path, file));
    ASSERT_GE(file.size(), kPackedSaveHeaderSize);
    const Bytes plain = StoreWorld(world);
    EXPECT_EQ(plat::LoadLE32(file.data()), file.size() - kPackedSaveHeaderSize);
    EXPECT_EQ(plat::LoadLE64(file.data() + 4), plain.size());
    Bytes unpacked;
    ASSERT_TRUE(UnpackSaveImage(file, unpacked));
    EXPECT_EQ(unpacked, plain);
    EXPECT_LT(file.size(), plain.size());

    World loaded;
    std::string text;
    uint32_t version = 0;
    ASSERT_TRUE(BeginSaveStream(OpenPackedReadStream(path), text, version));
    loaded.Serialize();
    ASSERT_TRUE(CloseStream()) << StreamError();
    EXPECT_EQ(loaded, world);
    EXPECT_EQ(text, kSaveHeaderText);
    EXPECT_EQ(version, kSaveStreamVersion);
    EXPECT_EQ(dir.FileCount(), 1u);
}

TEST(PackedSave, IncompressibleDataPacksWithinTheCodecsWorstCase) {
    Bytes plain(1 << 20);
    std::mt19937 random(7);
    for (uint8_t& byte : plain)
        byte = uint8_t(random());
    Bytes file;
    ASSERT_TRUE(PackSaveImage(plain, file));
    EXPECT_LE(file.size(), kPackedSaveHeaderSize + AplibMaxPackedSize(plain.size()));
    Bytes unpacked;
    ASSERT_TRUE(UnpackSaveImage(file, unpacked));
    EXPECT_EQ(unpacked, plain);
}

TEST(PackedSave, DamagedFilesAreRefusedWithAReason) {
    const Bytes plain = StoreWorld(SmallWorld());
    Bytes good;
    ASSERT_TRUE(PackSaveImage(plain, good));
    const uint32_t packedLength = uint32_t(good.size() - kPackedSaveHeaderSize);
    struct Case {
        const char* name;
        std::function<void(Bytes&)> damage;
        const char* reason;
    };
    const Case cases[] = {
        {"shorter than the header", [](Bytes& f) { f.resize(11); }, "too short"},
        {"packed length beyond the file", [&](Bytes& f) { PutLE32(f, 0, packedLength + 1); },
         "does not match"},
        {"bytes after the packed ones", [](Bytes& f) { f.push_back(0); }, "does not match"},
        {"plain length beyond any save", [](Bytes& f) { PutLE32(f, 4, kMaxPackedSavePlainSize + 1); },
         "beyond any saved game"},
        {"plain length one short", [&](Bytes& f) { PutLE32(f, 4, uint32_t(plain.size() - 1)); },
         "do not expand to the announced"},
        {"plain length one long", [&](Bytes& f) { PutLE32(f, 4, uint32_t(plain.size() + 1)); },
         "do not expand to the announced"},
        {"packed bytes cut short",
         [&](Bytes& f) {
             f.resize(f.size() - 3);
             PutLE32(f, 0, packedLength - 3);
         },
         "do not expand to the announced"},
    };
    ScratchFolder dir;
    for (const Case& c : cases) {
        Bytes file = good;
        c.damage(file);
        Bytes unpacked = {1, 2, 3};
        std::string error;
        EXPECT_FALSE(UnpackSaveImage(file, unpacked, &error)) << c.name;
        EXPECT_NE(error.find(c.reason), std::string::npos) << c.name << ": " << error;
        EXPECT_EQ(unpacked, (Bytes{1, 2, 3})) << c.name;

        ASSERT_TRUE(plat::WriteFileAtomically(dir / "damaged.mds", file.data(), file.size()));
        EXPECT_EQ(OpenPackedReadStream(dir / "damaged.mds"), nullptr) << c.name;
    }
    EXPECT_EQ(OpenPackedReadStream(dir / "missing.mds"), nullptr);
}

TEST(PackedSave, FailedSavesKeepTheOldFile) {
    ScratchFolder dir;
    const std::string target = dir / "game.mds";
    ASSERT_TRUE(plat::WriteFileAtomically(target, "old save"));
    {
        FileSizeLimit limit(16 * 1024);
        EXPECT_FALSE(SaveWorldTo(OpenPackedWriteStream(target), LargeWorld()));
    }
    std::string text(kSaveHeaderText);
    uint32_t version = kSaveStreamVersion;
    ASSERT_TRUE(BeginSaveStream(OpenPackedWriteStream(target), text, version));
    uint32_t tag = ChunkTag("time");
    BeginChunk(tag);
    EXPECT_FALSE(CloseStream());

    std::string content;
    ASSERT_TRUE(plat::ReadWholeFile(target, content));
    EXPECT_EQ(content, "old save");
    EXPECT_EQ(dir.FileCount(), 1u);
    EXPECT_EQ(OpenPackedWriteStream(dir / "no-such-folder/game.mds"), nullptr);
}

} // namespace
