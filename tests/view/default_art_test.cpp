// The pictures shipped in gamedata/ are complete for what the shipped
// tables ask for: every graphic set's folder exists with the placeholder
// its missing pictures fall back to, every vehicle type has a picture for
// each of its rotations, and the movers (town cars, the animals of the
// livestock farms, the harvesters of the crop farms) have theirs.
#include "data/database.h"
#include "data/file_locations.h"
#include "data/generated/economy_tables.h"
#include "data/generated/vehicle_tables.h"
#include "platform/file.h"
#include "view/vehicle_drawing.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <map>
#include <set>
#include <string>

namespace {

constexpr int32_t kVehicleKind = 11;
constexpr int32_t kLivestockFarm = 4;

class DefaultArtTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        std::string text;
        ASSERT_TRUE(plat::ReadWholeFile("gamedata/config/MDConfig.gen", text));
        Database db;
        db.Init();
        ASSERT_TRUE(db.Read(text));
        ASSERT_TRUE(db.ApplyAllTables(KindSelector::All));
    }

    // The folder of a graphic kind under gamedata/, empty when the kind has none.
    static std::string KindFolder(int32_t kind) {
        const char* name = TexturesTable::GetVirtualDirNameOf(kind);
        return name ? std::string("gamedata/") + name : std::string();
    }

    // The names of the pictures in a kind's folder.
    static const std::set<std::string>& Pictures(int32_t kind) {
        static std::map<int32_t, std::set<std::string>> cache;
        auto [at, fresh] = cache.try_emplace(kind);
        if (fresh) {
            std::error_code ec;
            for (const auto& entry : std::filesystem::directory_iterator(KindFolder(kind), ec))
                if (entry.is_regular_file())
                    at->second.insert(entry.path().filename().string());
        }
        return at->second;
    }

    // Whether a picture of (kind, number, frame, fieldA, fieldB) at zoom
    // variant 0 is there under the naming scheme.
    static bool HasPicture(int32_t kind, int32_t number, int32_t frame, int32_t a, int32_t b) {
        char prefix[32];
        std::snprintf(prefix, sizeof prefix, "%03d_0_%02d_%02d_%02d_", number, frame, a, b);
        const std::set<std::string>& names = Pictures(kind);
        auto it = names.lower_bound(prefix);
        return it != names.end() && it->rfind(prefix, 0) == 0 && it->ends_with(".tga");
    }
};

TEST_F(DefaultArtTest, EveryGraphicSetHasItsFolderAndPlaceholder) {
    ASSERT_GT(TexturesTable::RowCount(), kHarvesterSpriteKind);
    for (int32_t kind = 0; kind < TexturesTable::RowCount(); ++kind) {
        const std::string folder = KindFolder(kind);
        ASSERT_FALSE(folder.empty()) << kind;
        EXPECT_TRUE(std::filesystem::is_regular_file(folder + "/dummy.tga"))
            << "kind " << kind << ": " << folder;
    }
    // The movers' sets are folders of their own, so that their numbers do not
    // take other sets' pictures.
    for (int32_t kind : {kPrivateCarSpriteKind, kHarvesterSpriteKind})
        EXPECT_NE(KindFolder(kind), "gamedata/gfx") << kind;
}

TEST_F(DefaultArtTest, EveryVehicleTypeHasEachRotation) {
    int32_t types = 0;
    for (int32_t row = 0; row < VehicleTable::RowCount(); ++row) {
        const VehicleRow* v = VehicleTable::Find(row);
        if (!v)
            continue;
        ++types;
        for (int32_t r = 0; r < std::max(v->NrOfRotations, 1); ++r) {
            EXPECT_TRUE(HasPicture(kVehicleKind, row, 0, r, 0)) << "vehicle " << row << " rotation " << r;
        }
    }
    EXPECT_GT(types, 0);
}

TEST_F(DefaultArtTest, EveryMoverHasItsPictures) {
    for (int32_t row = 0; row < PrivateCarTable::RowCount(); ++row) {
        const PrivateCarRow* car = PrivateCarTable::Find(row);
        for (int32_t r = 0; car && r < std::max(car->NrOfRotations, 1); ++r) {
            EXPECT_TRUE(HasPicture(kPrivateCarSpriteKind, row, 0, r, 0)) << "town car " << row << " " << r;
        }
    }
    // A town car of a type without a picture of its own takes the first's.
    EXPECT_TRUE(HasPicture(kPrivateCarSpriteKind, 0, 0, 0, 0));

    int32_t farms = 0, harvesters = 0;
    for (int32_t row = 0; row < FactoryTable::RowCount(); ++row) {
        const FactoryRow* f = FactoryTable::Find(row);
        if (!f)
            continue;
        if (f->FactoryTyp == kLivestockFarm) {
            ++farms;
            for (int32_t r = 0; r < kMoverRotations; ++r)
                for (int32_t a = 0; a < std::max(f->NrOfAnimalFrames, 1); ++a) {
                    EXPECT_TRUE(HasPicture(kAnimalSpriteKind, row, kAnimalSpriteFrame, r, a))
                        << "animal of farm " << row << " rotation " << r << " step " << a;
                }
        }
        const ValueTable& ids = f->HarvesterIDTable;
        for (uint32_t i = 0; ids.ColumnCount() >= 2 && i < ids.RowCount(); ++i) {
            ++harvesters;
            for (int32_t r = 0; r < kMoverRotations; ++r) {
                EXPECT_TRUE(HasPicture(kHarvesterSpriteKind, ids.IntCell(1, i), 0, r, 0))
                    << "harvester " << ids.IntCell(1, i) << " of farm " << row << " rotation " << r;
            }
        }
    }
    EXPECT_GT(farms, 0);
    EXPECT_GT(harvesters, 0);
}

} // namespace
