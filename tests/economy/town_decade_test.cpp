// Ten game years of a generated 128 x 128 map with towns and factories and
// no company: the towns grow by their plans and censuses, the factories
// make, take and keep stock by their kind's monthly rules, and a game saved
// at a few months and loaded continues to the world of the straight run.
// The sanitizer build, many times slower, plays three years.
#include "economy/city.h"
#include "economy/factory.h"
#include "economy/factory_types.h"
#include "economy/new_world.h"
#include "economy/town_services.h"
#include "gameloop/game.h"
#include "gameloop/new_game.h"
#include "gameloop/saved_game.h"
#include "platform/clock.h"
#include "world/game_clock.h"
#include "world/game_settings.h"
#include "world/living_building.h"
#include "world/map_check.h"
#include "world/object_manager.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>

namespace {

#if defined(__SANITIZE_ADDRESS__)
constexpr uint32_t kYears = 3;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr uint32_t kYears = 3;
#else
constexpr uint32_t kYears = 10;
#endif
#else
constexpr uint32_t kYears = 10;
#endif

// A frame of a second: the date steps catch up within it, and no frame
// spans two month changes.
constexpr uint32_t kFrameMs = 1000;

// What a factory held at the last month change, per output product.
struct OutputState {
    int32_t stock = 0;
    int32_t made = 0;
    // The rates of the last month's year: the month change produces before
    // the clock enters the new month.
    float base = 0.0f, most = 0.0f;
    // The unscaled most, which an expansion of the factory raises.
    float recordMax = 0.0f;
    float reserve = 0.0f;
    uint32_t lastHarvestMonth = 0;
    uint32_t harvests = 0;
};

class TownDecadeTest : public ::testing::Test {
protected:
    void SetUp() override {
        plat::Clock::UseFake(0);
        InstallPath() = "gamedata";
        ASSERT_TRUE(LoadGameTexts("gamedata", true));
        ConnectWorldModel(game_, world_);
        InstallTownsAndIndustry(game_);
        StartGame(game_, 1);
        NewWorldOptions options;
        options.settings.MapWidth = options.settings.MapHeight = 128;
        options.seed = 9;
        ASSERT_TRUE(GenerateNewWorld(game_, options));
        ASSERT_LT(GetFactoryDifficulty(), 2) << "the rules below are those of the easy and medium levels";
    }
    void TearDown() override { InstallPath() = "."; }

    uint32_t MonthsPlayed() {
        const LoopClock& clock = game_.Clock();
        return (clock.GetCurrentYear() - 1850) * 12 + clock.GetMonth();
    }
    // Plays frames until the next month change has run.
    void PlayMonth() {
        const uint32_t month = MonthsPlayed();
        while (MonthsPlayed() == month) {
            game_.AdvanceFrame(kFrameMs);
            game_.Step();
        }
    }
    uint32_t Hash() {
        std::vector<uint8_t> bytes;
        EXPECT_TRUE(SaveGameToMemory(game_, bytes));
        uint32_t value = 0;
        std::string reason;
        EXPECT_TRUE(HashSavedGame(bytes, value, reason)) << reason;
        return value;
    }

    Game game_;
    TownWorldHooks world_;
};

uint32_t TotalPopulation() {
    uint32_t population = 0;
    for (int32_t i = 1; i <= GetCityCount(); ++i)
        population += GetCity(i) ? GetCity(i)->GetPopulation() : 0;
    return population;
}

// Every house stands on a lot of its own town's plan, inside the town, at a
// level 1..4; a reserved lot lies on a planned lot with no house on it.
void CheckHousesKeepToThePlans(uint32_t month) {
    std::set<std::pair<int32_t, int32_t>> houses;
    for (LivingBuilding* house : BuildingsOf<LivingBuilding>(LivingBuilding::kSubtype)) {
        const City* city = GetCity(house->GetTown());
        ASSERT_NE(city, nullptr) << "month " << month;
        const int32_t x = house->GetX(), y = house->GetY();
        EXPECT_TRUE(city->Contains(x, y)) << "month " << month << " house at " << x << "," << y;
        EXPECT_EQ(city->GetPlan().GetValue(x, y), kPlanLot)
            << "month " << month << " house at " << x << "," << y;
        EXPECT_GE(house->GetLevel(), 1u);
        EXPECT_LE(house->GetLevel(), 4u);
        houses.insert({x, y});
    }
    for (int32_t i = 1; i <= GetCityCount(); ++i) {
        const City* city = GetCity(i);
        if (!city)
            continue;
        for (int32_t y = city->GetCentreY() - city->GetHeight() / 2;
             y <= city->GetCentreY() + city->GetHeight() / 2; ++y)
            for (int32_t x = city->GetCentreX() - city->GetWidth() / 2;
                 x <= city->GetCentreX() + city->GetWidth() / 2; ++x) {
                const uint8_t reserved = city->GetReservation(x, y);
                if (reserved == 0)
                    continue;
                EXPECT_LE(reserved, 4u);
                EXPECT_EQ(city->GetPlan().GetValue(x, y), kPlanLot)
                    << "month " << month << " lot at " << x << "," << y;
                EXPECT_EQ(houses.count({x, y}), 0u) << "month " << month << " a reserved lot under a house";
            }
    }
}

// A census of each town's houses gives the population it keeps and its size
// class; the growth state is one that the update's cycle passes through.
void CheckTownsFollowTheirCensus(uint32_t month) {
    std::map<int32_t, uint32_t> inhabitants;
    for (LivingBuilding* house : BuildingsOf<LivingBuilding>(LivingBuilding::kSubtype))
        inhabitants[house->GetTown()] += uint32_t(std::max(0, house->GetHousePopulation()));
    for (int32_t i = 1; i <= GetCityCount(); ++i) {
        City* city = GetCity(i);
        if (!city)
            continue;
        const uint32_t state = city->GetGrowthState();
        EXPECT_TRUE(state == 1 || state == 3 || state == 4 || state == 6)
            << "month " << month << " state " << state;
        city->TakeCensus();
        EXPECT_EQ(city->GetPopulation(), inhabitants[i]) << "month " << month << " town " << i;
        EXPECT_EQ(city->GetSizeClass(), GetCitySizeClass(inhabitants[i]))
            << "month " << month << " town " << i;
    }
}

// Nothing carries goods on this map, so each factory's stock changes only
// by its own monthly rule: deposits move their reserve into the store,
// processing plants and animal farms make their base amount a month up to
// the cap, crop farms bring one harvest a year, consumers hold nothing, and
// no store goes above a month's most.
class FactoryWatch {
public:
    void Start() { Observe(0, false); }

    void Observe(uint32_t month, bool check) {
        for (Factory* f : AllFactories()) {
            const int32_t kind = f->GetFactoryTyp();
            if (check && kind != kTownCentreFactoryKind)
                CheckAcceptance(*f, month);
            for (const auto& [p, record] : f->GetOutputs()) {
                OutputState& was = states_[{f->GetId(), p}];
                const int32_t stock = f->GetStore().GetQuantity(p);
                const int32_t made = f->GetStore().GetInCounter(p, 0);
                if (check)
                    CheckOutput(*f, kind, p, record, was, stock, made, month);
                was.stock = stock;
                was.made = made;
                was.base = f->GetBaseProduction(p);
                was.most = f->GetMaxProduction(p);
                was.recordMax = record.maxAmount;
                was.reserve = record.reserve;
            }
        }
    }

    uint32_t Harvests() const {
        uint32_t n = 0;
        for (const auto& [key, state] : states_)
            n += state.harvests;
        return n;
    }
    uint32_t Deposits() const { return deposits_; }

private:
    void CheckAcceptance(const Factory& f, uint32_t month) {
        const std::vector<int32_t>& list = f.GetAcceptedProducts();
        for (int32_t p = 0; p < int32_t(kProductSetSize); ++p) {
            const bool listed = std::find(list.begin(), list.end(), p) != list.end();
            if (f.GetFactoryTyp() == 6)
                continue;
            EXPECT_EQ(f.AcceptsProduct(p), listed)
                << "month " << month << " " << f.GetName() << " product " << p;
        }
    }

    void CheckOutput(const Factory& f, int32_t kind, int32_t p, const ProductionRecord& record,
                     OutputState& was, int32_t stock, int32_t made, uint32_t month) {
        const std::string where = "month " + std::to_string(month) + " " + f.GetName() + " product " +
                                  std::to_string(p) + " kind " + std::to_string(kind);
        // Town centres and attractions fill their stores weekly.
        if (kind == kTownCentreFactoryKind || kind == 6)
            return;
        // The month change rolls the counters before it produces, and
        // nothing comes in or goes out between months.
        EXPECT_EQ(f.GetStore().GetInCounter(p, 1), was.made) << where;
        EXPECT_EQ(f.GetStore().GetOutCounter(p, 0), 0) << where;
        EXPECT_EQ(f.GetStore().GetOutCounter(p, 1), 0) << where;
        // A store never grows above a month's most (which may have risen by
        // an expansion since the last month).
        const float most = std::max(was.most, f.GetMaxProduction(p));
        if (stock > was.stock) {
            EXPECT_LE(float(stock), most) << where;
        }
        const bool expanded = record.maxAmount != was.recordMax;
        switch (kind) {
        case 0:
            // What left the reserve is in the store.
            ++deposits_;
            EXPECT_EQ(stock - was.stock, made) << where;
            EXPECT_EQ(was.reserve - record.reserve, float(made)) << where;
            break;
        case 1:
        case 4: {
            // No input arrives, so the base amount is made up to the cap.
            const float c = was.most, a = was.base;
            if (!expanded && float(was.stock) <= c) {
                const int32_t expected = std::min(int32_t(a), int32_t(c - float(was.stock)));
                EXPECT_EQ(stock - was.stock, expected) << where;
                EXPECT_EQ(made, expected) << where;
            }
            break;
        }
        case 2:
            EXPECT_EQ(stock, 0) << where;
            break;
        case 3:
            if (stock != was.stock) {
                EXPECT_EQ(stock - was.stock, made) << where;
                if (was.harvests > 0) {
                    EXPECT_GE(month - was.lastHarvestMonth, 12u) << where << ": two harvests within a year";
                }
                was.lastHarvestMonth = month;
                ++was.harvests;
            }
            break;
        default:
            break;
        }
    }

    std::map<std::pair<uint32_t, int32_t>, OutputState> states_;
    uint32_t deposits_ = 0;
};

TEST_F(TownDecadeTest, TownsGrowByTheirPlansAndFactoriesByTheirRules) {
    const uint32_t towns = uint32_t(GetCityCount());
    ASSERT_GT(towns, 0u);
    const uint32_t startPopulation = TotalPopulation();
    FactoryWatch factories;
    {
        WorldScope scope(game_.GetWorld());
        factories.Start();
    }
    const uint32_t months = kYears * 12;
    for (uint32_t month = 1; month <= months; ++month) {
        PlayMonth();
        WorldScope scope(game_.GetWorld());
        factories.Observe(month, true);
        CheckHousesKeepToThePlans(month);
        if (month % 6 == 0 || month == months)
            CheckTownsFollowTheirCensus(month);
        if (HasFailure())
            break;
    }
    WorldScope scope(game_.GetWorld());
    EXPECT_GT(TotalPopulation(), startPopulation) << "the towns must grow for the test to mean anything";
    EXPECT_GT(factories.Deposits(), 0u) << "the map has no deposit to watch";
    EXPECT_TRUE(MapCheck::CheckCells());
    EXPECT_TRUE(MapCheck());
}

// Saved at a few months and loaded, the game ends where the straight run
// ends.
TEST_F(TownDecadeTest, AGameSavedAtAnyMonthContinuesExactly) {
    const uint32_t months = kYears * 12;
    const std::vector<uint32_t> saveAt = {1, months / 3 + 1, months - 5};
    std::map<uint32_t, std::vector<uint8_t>> saves;
    for (uint32_t month = 1; month <= months; ++month) {
        PlayMonth();
        if (std::find(saveAt.begin(), saveAt.end(), month) != saveAt.end()) {
            ASSERT_TRUE(SaveGameToMemory(game_, saves[month]));
        }
    }
    const uint32_t straight = Hash();
    for (const auto& [month, bytes] : saves) {
        ASSERT_TRUE(LoadGameFromMemory(game_, bytes));
        for (uint32_t m = month; m < months; ++m)
            PlayMonth();
        EXPECT_EQ(Hash(), straight) << "saved after month " << month;
    }
}

} // namespace
