// Factories on a generated map with the default game data: over some game
// months they fill their stores by their kinds' rules, take what they
// accept, and a game saved at a month change goes on exactly after a load.
#include "economy/city.h"
#include "economy/factory.h"
#include "economy/factory_types.h"
#include "economy/new_world.h"
#include "economy/town_services.h"
#include "gameloop/game.h"
#include "gameloop/new_game.h"
#include "gameloop/saved_game.h"
#include "platform/clock.h"
#include "transport/station.h"
#include "world/game_settings.h"

#include <gtest/gtest.h>

namespace {

class FactoryWorldTest : public ::testing::Test {
protected:
    void SetUp() override {
        plat::Clock::UseFake(0);
        InstallPath() = "gamedata";
        ASSERT_TRUE(LoadGameTexts("gamedata", true));
        ConnectWorldModel(game_, world_);
        InstallTownsAndIndustry(game_);
        StartGame(game_, 1);
        NewWorldOptions options;
        options.settings.MapWidth = options.settings.MapHeight = 256;
        options.seed = 5;
        ASSERT_TRUE(GenerateNewWorld(game_, options));
    }
    void TearDown() override { InstallPath() = "."; }

    void Run(int frames) {
        for (int i = 0; i < frames; ++i) {
            game_.AdvanceFrame(25);
            game_.Step();
        }
    }
    // Runs until the next date step changes the month.
    void RunToMonthChange() {
        const uint32_t month = game_.Clock().GetMonth();
        while (game_.Clock().GetMonth() == month ||
               game_.Clock().GetNextTickMonth() == game_.Clock().GetMonth())
            Run(1);
    }
    std::vector<uint8_t> Saved() {
        std::vector<uint8_t> bytes;
        EXPECT_TRUE(SaveGameToMemory(game_, bytes));
        return bytes;
    }

    Game game_;
    TownWorldHooks world_;
};

TEST_F(FactoryWorldTest, FactoriesProduceAcceptAndStockByTheirKinds) {
    std::vector<Factory*> factories = AllFactories();
    ASSERT_FALSE(factories.empty());
    Run(3 * 3000 + 100); // three months and a little
    std::map<int32_t, uint32_t> kinds;
    uint32_t sharing = 0;
    const StationHooks& hooks = GetStationHooks();
    for (Factory* f : AllFactories()) {
        const int32_t kind = f->GetFactoryTyp();
        ++kinds[kind];
        for (int32_t p : f->GetAcceptedProducts()) {
            EXPECT_TRUE(f->GetStore().Contains(p));
            EXPECT_EQ(hooks.factoryAccepts(*f, p), f->AcceptsProduct(p));
        }
        for (const auto& [p, record] : f->GetOutputs()) {
            const uint32_t stock = f->GetStock(p);
            EXPECT_TRUE(f->GetStore().Contains(p));
            if (kind == 0) {
                EXPECT_GT(stock, 0u) << f->GetName();
                EXPECT_LE(float(stock), f->GetMaxProduction(p)) << f->GetName();
                EXPECT_LT(record.reserve,
                          GetProduceProductReserve(f->GetTypeIndex(), 0) * f->GetSizeFactor());
            } else if (kind == 1 || kind == 4) {
                // No deliveries yet: the base amount of three months, capped.
                const int32_t base = int32_t(f->GetBaseProduction(p));
                EXPECT_EQ(int64_t(stock), std::min<int64_t>(3 * base, int64_t(f->GetMaxProduction(p))))
                    << f->GetName();
            } else if (kind == 2) {
                EXPECT_EQ(stock, 0u);
            }
        }
        if (kind == kTownCentreFactoryKind && !f->GetPassengersWaiting().empty()) {
            ++sharing;
            uint32_t waiting = 0;
            for (const auto& [id, count] : f->GetPassengersWaiting())
                waiting += count;
            EXPECT_EQ(waiting, f->GetStock(kPassengerProduct));
            EXPECT_LE(f->GetPassengersWaiting().size(), 10u);
        }
    }
    EXPECT_GT(kinds[0], 0u);
    EXPECT_GT(kinds[kTownCentreFactoryKind], 1u);
    EXPECT_GT(sharing, 0u) << "town centres send passengers to each other";

    // A delivery is taken by a plant and stocked.
    for (Factory* f : AllFactories()) {
        if (f->GetFactoryTyp() != 1 || f->GetAcceptedProducts().empty())
            continue;
        const int32_t input = f->GetAcceptedProducts()[0];
        const uint32_t before = f->GetStock(input);
        ASSERT_TRUE(f->AcceptsProduct(input));
        GetStationHooks().factoryReceive(*f, input);
        EXPECT_EQ(f->GetStock(input), before + 1);
        EXPECT_GT(f->GetDemandFactor(input), 0.0f);
        break;
    }
}

TEST_F(FactoryWorldTest, AGameSavedAtAMonthChangeGoesOnExactly) {
    Run(500);
    RunToMonthChange();
    const std::vector<uint8_t> atChange = Saved();
    Run(3100);
    const std::vector<uint8_t> ran = Saved();
    ASSERT_TRUE(LoadGameFromMemory(game_, atChange));
    Run(3100);
    EXPECT_EQ(Saved(), ran);
}

} // namespace
