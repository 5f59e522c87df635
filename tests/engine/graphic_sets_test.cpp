#include "vfs_fixture.h"

#include "engine/asset_log.h"
#include "engine/graphic_sets.h"
#include "engine/tiled_image.h"
#include "engine/viewport.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr int32_t kKind = 5;

class GraphicSetsTest : public VfsAssetTest {
protected:
    void SetUp() override {
        VfsAssetTest::SetUp();
        Viewport::ResetAll();
        GraphicSets::Init();
        Mount("art");
        Mount("gfx_uif");
        ASSERT_TRUE(TexturesTable::SetVirtualDirName(kKind, "art"));
        ASSERT_TRUE(TexturesTable::SetVirtualDirName(GraphicSets::kInterfaceKind, "gfx_uif"));
        WritePicture("art/dummy.tga", 4, 4, 0xFF00FF00);
        WritePicture("art/007_houses/007_0_00_00_00_red.tga", 120, 60);
    }
    void TearDown() override {
        GraphicSets::ReleaseAll();
        GraphicSets::ClearNamesAndCursors();
        VfsAssetTest::TearDown();
    }
};

TEST(SpriteKey, OrdersByTheSignedSecondWordThenTheFirst) {
    SpriteKey noColour; // colour 255: the second word is negative
    SpriteKey colour0 = noColour;
    colour0.colour = 0;
    SpriteKey frame1 = colour0;
    frame1.frame = 1;
    SpriteKey kind9 = colour0;
    kind9.kind = 9;
    SpriteKeyLess less;
    EXPECT_TRUE(less(noColour, colour0));
    EXPECT_TRUE(less(colour0, frame1));
    EXPECT_TRUE(less(colour0, kind9));
    EXPECT_TRUE(less(kind9, frame1)); // the second word decides first
    EXPECT_FALSE(less(colour0, colour0));
}

TEST_F(GraphicSetsTest, PatternsFollowTheNamingScheme) {
    // A found folder keeps the virtual directory it was searched under.
    EXPECT_EQ(GraphicSets::GetFilePattern(kKind, 7, 2, 0), "art/007_houses\\007_0_02_00_00_*.tga");
    // No number folder: the kind's folder itself.
    EXPECT_EQ(GraphicSets::GetFilePattern(kKind, 8, 0, 0), "art/008_0_00_00_00_*.tga");
    GraphicSets::SetFieldA(3).SetFieldB(12);
    EXPECT_EQ(GraphicSets::GetFilePattern(kKind, 8, 1, 1), "art/008_1_01_03_12_*.tga");
    // The request was reset by the last call.
    EXPECT_EQ(GraphicSets::GetFilePattern(kKind, 8, 1, 1), "art/008_1_01_00_00_*.tga");
    // Colour folders: the chosen one, else colour 0, then the number folder inside.
    std::filesystem::create_directories(root / "art/000_plain/009_ship");
    std::filesystem::create_directories(root / "art/002_blue");
    GraphicSets::SelectColour(2);
    EXPECT_EQ(GraphicSets::GetFilePattern(kKind, 9, 0, 0), "art/002_blue\\009_0_00_00_00_*.tga");
    GraphicSets::SelectColour(4);
    EXPECT_EQ(GraphicSets::GetFilePattern(kKind, 9, 0, 0), "art/000_plain\\009_ship\\009_0_00_00_00_*.tga");
    EXPECT_EQ(GraphicSets::GetFilePattern(40, 1, 0, 0), "");
}

TEST_F(GraphicSetsTest, AKeyIsLoadedOnceAndAMissIsSearchedOnce) {
    TiledImage* house = SpriteFetch(kKind, 7, 0);
    ASSERT_NE(house, nullptr);
    EXPECT_EQ(house->displayWidth, 120);
    EXPECT_EQ(house->refCount, 1);
    // Deleting the file does not matter once the key is cached.
    std::filesystem::remove(root / "art/007_houses/007_0_00_00_00_red.tga");
    EXPECT_EQ(SpriteFetch(kKind, 7, 0), house);

    // A missing frame comes from the kind's dummy; the miss is kept.
    TiledImage* missing = SpriteFetch(kKind, 7, 3);
    ASSERT_NE(missing, nullptr);
    EXPECT_EQ(missing->displayWidth, 4);
    WritePicture("art/007_houses/007_0_03_00_00_late.tga", 30, 30);
    EXPECT_EQ(SpriteFetch(kKind, 7, 3), missing);
    EXPECT_EQ(GraphicSets::CachedSpriteCount(), 2u);

    // Without a fallback loader a missing picture is none, and cached as such.
    GraphicSets::SetFallbackLoader(nullptr);
    EXPECT_EQ(SpriteFetch(kKind, 7, 4), nullptr);
    WritePicture("art/007_houses/007_0_04_00_00_late.tga", 30, 30);
    EXPECT_EQ(SpriteFetch(kKind, 7, 4), nullptr);
    // A kind without a folder gives none.
    EXPECT_EQ(SpriteFetch(41, 1, 0), nullptr);
}

// A kind folder below a virtual directory ("gfx/terrain"): the files it
// finds, loose or in a number folder, open again.
TEST_F(GraphicSetsTest, KindFoldersBelowAVirtualDirectoryLoad) {
    Mount("gfx");
    ASSERT_TRUE(TexturesTable::SetVirtualDirName(1, "gfx/terrain"));
    WritePicture("gfx/terrain/001_0_00_00_00_meadow.tga", 16, 8);
    WritePicture("gfx/terrain/002_rock/002_0_00_00_00_rock.tga", 24, 8);
    GraphicSets::SetFallbackLoader(nullptr);
    const TiledImage* meadow = SpriteFetch(1, 1, 0);
    ASSERT_NE(meadow, nullptr);
    EXPECT_EQ(meadow->displayWidth, 16);
    GraphicSets::SetFallbackLoader(nullptr);
    const TiledImage* rock = SpriteFetch(1, 2, 0);
    ASSERT_NE(rock, nullptr);
    EXPECT_EQ(rock->displayWidth, 24);
}

TEST_F(GraphicSetsTest, EveryFetchResetsTheRequest) {
    GraphicSets::SetFieldA(1).SetFieldB(2).SelectColour(3).SetFallbackLoader(nullptr);
    SpriteFetch(kKind, 7, 0);
    const SpriteRequest& request = GraphicSets::Request();
    EXPECT_EQ(request.key.fieldA, 0);
    EXPECT_EQ(request.key.fieldB, 0);
    EXPECT_EQ(request.key.colour, 255);
    EXPECT_EQ(request.loader, &GraphicSets::DefaultLoader);
    // Also after a hit.
    GraphicSets::SelectColour(7);
    SpriteFetch(kKind, 7, 0);
    EXPECT_EQ(request.key.colour, 255);
}

TEST_F(GraphicSetsTest, ALoaderThatKeepsFailingIsAskedOnce) {
    static int calls = 0;
    calls = 0;
    GraphicSets::SetFallbackLoader([](TiledImage** slot) {
        ++calls;
        *slot = nullptr;
        return false;
    });
    EXPECT_EQ(SpriteFetch(kKind, 99, 0), nullptr);
    EXPECT_EQ(calls, 1);
}

TEST_F(GraphicSetsTest, ASelectorWithoutItsOwnFileFallsBackToFieldBZero) {
    TiledImage* base = SpriteFetch(kKind, 7, 0);
    GraphicSets::SetFieldB(5);
    EXPECT_EQ(SpriteFetch(kKind, 7, 0), base);
    EXPECT_EQ(base->refCount, 2);
}

TEST_F(GraphicSetsTest, CompanionTextAndSubImagesComeWithFieldAZero) {
    WriteText("art/007_houses/007_0_00_00_00_red.txt", "3\n1 2 3 4\n\n260,7 9\n");
    std::vector<uint32_t> outlined(120 * 60, 0xFF808080);
    WriteFile("art/007_houses/007_0_00_00_01_red.tga", WriteTga(outlined, 120, 60));
    TiledImage* house = SpriteFetch(kKind, 7, 0);
    ASSERT_NE(house, nullptr);
    const SpriteCompanionData* companion = GraphicSets::GetCompanion(house);
    ASSERT_NE(companion, nullptr);
    EXPECT_EQ(companion->count, 3u);
    using Pairs = std::vector<std::pair<uint8_t, uint8_t>>;
    ASSERT_EQ(companion->lines.size(), 3u);
    EXPECT_EQ(companion->lines[0], (Pairs{{1, 2}, {3, 4}}));
    EXPECT_TRUE(companion->lines[1].empty());
    EXPECT_EQ(companion->lines[2], (Pairs{{4, 7}})); // 260 wraps into a byte; a lone 9 makes no pair
    EXPECT_TRUE(house->hasSubImages);

    GraphicSets::SetFieldA(1);
    WritePicture("art/007_houses/007_0_00_01_00_red.tga", 120, 60);
    TiledImage* variant = SpriteFetch(kKind, 7, 0);
    ASSERT_NE(variant, nullptr);
    EXPECT_NE(variant, house);
    EXPECT_EQ(GraphicSets::GetCompanion(variant), nullptr);
    EXPECT_FALSE(variant->hasSubImages);
}

// Damaged files of a graphic set are named in the log: a companion text
// that does not start with a number is dropped but its picture is kept;
// a damaged picture gives the kind's dummy.
TEST_F(GraphicSetsTest, DamagedCompanionTextsAndPicturesAreReported) {
    WritePicture("art/008_barns/008_0_00_00_00_barn.tga", 120, 60);
    WriteText("art/008_barns/008_0_00_00_00_barn.txt", "walls\n1 2\n");
    ClearAssetProblem();
    TiledImage* barn = SpriteFetch(kKind, 8, 0);
    ASSERT_NE(barn, nullptr);
    EXPECT_EQ(barn->displayWidth, 120);
    EXPECT_EQ(GraphicSets::GetCompanion(barn), nullptr);
    EXPECT_NE(LastAssetProblem().find("008_0_00_00_00_barn.txt"), std::string::npos) << LastAssetProblem();

    std::vector<uint8_t> cut = WriteTga(std::vector<uint32_t>(120 * 60, 0xFF808080), 120, 60);
    cut.resize(cut.size() / 2);
    WriteFile("art/009_mills/009_0_00_00_00_mill.tga", cut);
    ClearAssetProblem();
    TiledImage* mill = SpriteFetch(kKind, 9, 0);
    ASSERT_NE(mill, nullptr);
    EXPECT_EQ(mill->displayWidth, 4); // the dummy
    EXPECT_NE(LastAssetProblem().find("009_0_00_00_00_mill.tga"), std::string::npos) << LastAssetProblem();
    EXPECT_NE(LastAssetProblem().find("the pixel data ends early"), std::string::npos)
        << "the decoder's reason: " << LastAssetProblem();
}

TEST_F(GraphicSetsTest, CursorsLoadOnFirstUseFromTheirNames) {
    WritePicture("gfx_uif/cursor_00_15_00_03_02_up.tga", 96, 64);
    WritePicture("gfx_uif/cursor_01_00_00_00_02_bad.tga", 96, 64);
    const CursorImage& up = GraphicSets::GetCursor(1);
    ASSERT_NE(up.texture, 0u);
    EXPECT_EQ(up.hotspotX, 15);
    EXPECT_EQ(up.columns, 3);
    EXPECT_EQ(up.rows, 2);
    EXPECT_EQ(up.frameWidth, 32);
    EXPECT_EQ(up.frameHeight, 32);
    EXPECT_EQ(&GraphicSets::GetCursor(1), &up);
    ClearAssetProblem();
    EXPECT_EQ(GraphicSets::GetCursor(2).texture, 0u);
    EXPECT_NE(LastAssetProblem().find("cursor_01"), std::string::npos);
    EXPECT_EQ(GraphicSets::GetCursor(3).texture, 0u); // no file
    EXPECT_EQ(GraphicSets::GetCursor(0).texture, 0u);
    EXPECT_EQ(GraphicSets::GetCursor(11).texture, 0u);
    EXPECT_EQ(GraphicSets::GetCursor(-1).texture, 0u);
}

TEST_F(GraphicSetsTest, InterfacePicturesByName) {
    WritePicture("gfx_uif/button.tga", 40, 80);
    TiledImage* button = GraphicSets::FetchByName("button.tga", 2);
    ASSERT_NE(button, nullptr);
    EXPECT_EQ(button->displayHeight, 40);
    EXPECT_EQ(GraphicSets::FetchByName("button.tga", 2), button);
    // Missing: the interface kind's dummy, or none without a loader.
    WritePicture("gfx_uif/dummy.tga", 2, 2);
    TiledImage* missing = GraphicSets::FetchByName("nothing.tga", 1);
    ASSERT_NE(missing, nullptr);
    EXPECT_EQ(missing->displayWidth, 2);
    GraphicSets::SetFallbackLoader(nullptr);
    EXPECT_EQ(GraphicSets::FetchByName("other.tga", 1), nullptr);
    EXPECT_EQ(GraphicSets::CachedNameCount(), 4u);
}

} // namespace

namespace {

TEST_F(GraphicSetsTest, TheDefaultCursorsOfTheGameDataAllLoad) {
    VfsShutdown();
    RegisterStandardSourceTypes();
    ASSERT_TRUE(VfsAddSource("file", "gamedata"));
    ASSERT_TRUE(VfsAddVirtualDir("gfx_uif", "gfx_uif"));
    for (int32_t n = 1; n < GraphicSets::kCursorCount; ++n) {
        SCOPED_TRACE(n);
        const CursorImage& cursor = GraphicSets::GetCursor(n);
        ASSERT_NE(cursor.texture, 0u) << LastAssetProblem();
        EXPECT_GE(cursor.columns * cursor.rows, 1);
        EXPECT_LE(cursor.columns * cursor.rows, 16);
        EXPECT_LE(cursor.frameWidth, 64);
        EXPECT_LE(cursor.frameHeight, 64);
        EXPECT_GE(cursor.hotspotX, 0);
        EXPECT_LT(cursor.hotspotX, cursor.frameWidth);
        EXPECT_LT(cursor.hotspotY, cursor.frameHeight);
    }
}

} // namespace
