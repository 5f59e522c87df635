// PrepareGeneratedWorld: the fixed re-initialisation of the game's parts
// after the generator has built a world. The world model's own steps run
// here; the others go, in their place in the order, to the layers above.
#include "world/game_clock.h"
#include "world/game_settings.h"
#include "world/headquarter_registry.h"
#include "world/map_generator.h"
#include "world/map_generator_services.h"
#include "world/special_events.h"
#include "world/world_services.h"

namespace {

void Step(GeneratedWorldStep step) {
    if (const auto& hook = GeneratorServices().prepareStep)
        hook(step);
}

} // namespace

void PrepareGeneratedWorld() {
    using S = GeneratedWorldStep;
    Step(S::ClearVehicleIndex);
    Step(S::ClearNews);
    ResetUiState();
    Step(S::DeleteAllSchedules);
    SpecialEvents::Reset();
    Step(S::ClearMissionGoals);
    const bool network = Services().isNetworkGame && Services().isNetworkGame();
    CreateGameClock(network ? 2 : 0);
    Step(S::ClearPrivateCars);
    Step(S::ClearSignals);
    Step(S::CreateRoutePlanners);
    Step(S::MarkOpenWaterTiles);
    Step(S::RebuildRoutePlannerGraphs);
    Step(S::InitGimmickTileLists);
    SpecialEvents::Update();
    Step(S::CreateBuildRoutePlanner);
    ResetHeadquarters();
    Step(S::LinkStationsAndBuildings);
    Step(S::UpdateProductsInUse);
}
