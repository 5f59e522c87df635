#include "economy/town_services.h"

#include "economy/area_clearing.h"
#include "economy/city.h"
#include "economy/city_config.h"
#include "economy/factory.h"
#include "economy/factory_cargo.h"
#include "economy/factory_events.h"
#include "economy/private_car_spawn.h"
#include "files/chunk_stream.h"
#include "gameloop/building_commands.h"
#include "gameloop/game.h"
#include "gameloop/mission_goals.h"
#include "gameloop/new_game.h"
#include "gameloop/route_commands.h"
#include "transport/route_command_handlers.h"
#include "transport/route_search.h"
#include "transport/signal_commands.h"
#include "transport/signals.h"
#include "transport/special_track.h"
#include "transport/station.h"
#include "transport/station_layout.h"
#include "vehicles/private_car.h"
#include "world/catchment.h"
#include "world/living_building.h"
#include "world/map_generator_services.h"
#include "world/object_manager.h"
#include "world/player.h"
#include "world/static_object_services.h"
#include "world/world_services.h"

#include <memory>

void TownWorldHooks::ResetWorld() {
    DeleteAllCities();
    ResetFactoryEvents();
    VehicleWorldHooks::ResetWorld();
    ClearPrivateCarTable();
}

void TownWorldHooks::NewGameInit(uint32_t mapWidth, uint32_t mapHeight) {
    DeleteAllCities();
    ResetFactoryEvents();
    VehicleWorldHooks::NewGameInit(mapWidth, mapHeight);
    ClearPrivateCarTable();
    LoadStationConfig();
    LoadCityConfig();
}

void TownWorldHooks::UpdateCities(uint32_t t) {
    ::UpdateCities(t);
}

void TownWorldHooks::UpdatePrivateCars(uint32_t t) {
    SpawnPrivateCars(t);
}

uint32_t TownWorldHooks::GetTownCursor() const {
    return GetCityCursor();
}

bool TownWorldHooks::SetTownCursor(uint32_t cursor) {
    return SetCityCursor(cursor);
}

void TownWorldHooks::RebuildDerivedState() {
    VehicleWorldHooks::RebuildDerivedState();
    // A loaded game's stations need their layouts, and its water routes
    // the open water marked again.
    if (GetStationLayouts().Size() == 0)
        LoadStationConfig();
    MarkOpenWaterTiles();
    UpdateProductsInUse();
    // A loaded game's towns need their plan rules.
    if (!CityConfigLoaded())
        LoadCityConfig();
}

void TownWorldHooks::UpdateSpecialEvents() {
    VehicleWorldHooks::UpdateSpecialEvents();
    UpdateFactoryEvents();
}

void TownWorldHooks::YearlyUpdates() {
    VehicleWorldHooks::YearlyUpdates();
    CheckAttractionTimeouts();
}

std::optional<bool> TownWorldHooks::AllKind6FactoriesServed() const {
    return AllAttractionsServed(0);
}

std::optional<bool> TownWorldHooks::TownConnected(uint32_t town) const {
    if (town != kAllTowns) {
        City* city = town >= 1 && town <= uint32_t(kMaxCities) ? GetCity(int32_t(town)) : nullptr;
        return city && city->ServiceFlags()[0] == 1;
    }
    for (int32_t i = 1; i <= kMaxCities; ++i)
        if (City* city = GetCity(i); city && city->ServiceFlags()[0] != 1)
            return false;
    return true;
}

namespace {

void InstallGeneratorHooks(Game& game) {
    MapGeneratorServices& g = GeneratorServices();
    g.resetWorld = [&game] {
        DeleteAllCities();
        ResetWorld(game);
        // The reset leaves no companies; a new world starts with the local
        // one and the neutral one that owns towns and factories.
        CreatePlayers();
    };
    g.removeAllTowns = [] { DeleteAllCities(true); };
    g.createTown = [](int32_t x, int32_t y, int32_t width, int32_t height, int32_t style) {
        City* city = CreateCity(x, y, width, height, style);
        if (!city)
            return 0;
        city->InitPlan(false);
        return city->GetIndex();
    };
    g.growTown = [](int32_t town) {
        City* city = GetCity(town);
        return city && city->Update(0, true) != 0;
    };
    g.townPopulation = [](int32_t town) {
        const City* city = GetCity(town);
        return city ? city->GetPopulation() : 0u;
    };
    g.setTownName = [](int32_t town, const std::string& name) {
        if (City* city = GetCity(town))
            city->SetName(name);
    };
    g.removeTown = [](int32_t town) {
        if (City* city = GetCity(town)) {
            city->Demolish();
            DeleteCity(town);
        }
    };
    g.renameAllFactories = RenameAllFactories;
    g.deleteFactories = DeleteFactoriesButTownCentres;
    g.factoryPlacingTest = FactoryPlacingTest;
    g.factoryFarEnoughFromTown = FactoryFarEnoughFromTown;
    g.factoryOfTypeWithin = FactoryOfTypeWithin;
    g.canPlaceFactory = [](const FactoryRequest& request) {
        return BuildFactoryCommand::CanPlace(request, kNeutralPlayerSlot);
    };
    g.postBuildFactory = [&game](const FactoryRequest& request) {
        BuildFactoryCommand command(uint32_t(request.x), uint32_t(request.y), uint32_t(request.type),
                                    uint32_t(request.size), uint32_t(request.orientation));
        command.SetPlayerId(kNeutralPlayerSlot);
        game.Post(command);
    };
    g.prepareStep = [&game](GeneratedWorldStep step) {
        switch (step) {
        case GeneratedWorldStep::DeleteAllSchedules:
            game.Hooks().DeleteAllSchedules();
            break;
        case GeneratedWorldStep::ClearMissionGoals:
            game.Goals().Clear();
            break;
        case GeneratedWorldStep::ClearPrivateCars:
            ClearPrivateCarTable();
            break;
        case GeneratedWorldStep::UpdateProductsInUse:
            UpdateProductsInUse();
            break;
        case GeneratedWorldStep::LinkStationsAndBuildings:
            RunAllCatchmentPasses();
            break;
        case GeneratedWorldStep::MarkOpenWaterTiles:
            MarkOpenWaterTiles();
            break;
        case GeneratedWorldStep::CreateRoutePlanners:
            CreateRoutePlanners();
            break;
        case GeneratedWorldStep::RebuildRoutePlannerGraphs:
            RebuildRoutePlannerGraph(kRouteModeRoad);
            RebuildRoutePlannerGraph(kRouteModeTrack);
            break;
        default:
            // The vehicles, the transport network and the interface do not
            // exist yet; their steps have nothing to do.
            break;
        }
    };
}

} // namespace

void InstallTownsAndIndustry(Game& game) {
    WorldScope scope(game.GetWorld());
    RegisterMapObjectClass(kCategoryBuilding, kFactorySubtype,
                           [](int32_t) { return std::make_unique<Factory>(); });

    WorldServices& world = Services();
    world.cityCount = GetCityCount;
    world.cityCentre = [](int32_t index, int32_t& x, int32_t& y) {
        const City* city = GetCity(index);
        if (!city)
            return false;
        x = city->GetCentreX();
        y = city->GetCentreY();
        return true;
    };
    world.townFactoryOfHouse = [](const MapObject& house) -> uint32_t {
        const auto* living = dynamic_cast<const LivingBuilding*>(&house);
        const City* city = living ? GetCity(living->GetTown()) : nullptr;
        return city ? city->GetCentreFactoryId() : 0u;
    };
    StaticObjectServices& statics = StaticServices();
    statics.specialBuildingCount = [](uint32_t town, uint32_t type) -> uint8_t* {
        City* city = town <= uint32_t(kMaxCities) ? GetCity(int32_t(town)) : nullptr;
        return city && type < 256 ? city->SpecialBuildingCounts() + type : nullptr;
    };
    statics.townLinkedObject = [](uint32_t town) -> MapObject* {
        const City* city = town <= uint32_t(kMaxCities) ? GetCity(int32_t(town)) : nullptr;
        return city ? city->LinkedObject() : nullptr;
    };

    InstallGeneratorHooks(game);
    InstallStationsOnTownLand();
    InstallSignals(game);
    InstallFactoryStationHooks();
    InstallFactoryCargoHooks();
    game.SetSectionSerializer(SaveSection::Factories, SerializeFactoryEvents);
    InstallVehicles(game);
    InstallSpecialTracks();
    InstallSignalCommands();
    InstallRouteCommands(game);
    game.SetSectionSerializer(SaveSection::Towns,
                              [] { return StreamMode() == kStreamLoad ? LoadCities() : SaveCities(); });
}

void UninstallTownsAndIndustry() {
    RegisterMapObjectClass(kCategoryBuilding, kFactorySubtype, nullptr);
    RegisterMapObjectClass(kCategoryBuilding, kStationSubtype, nullptr);
    RegisterMapObjectClass(kCategoryBuilding, kSpecialTrackSubtype, nullptr);
    SetRouteCommandHandlers({});
    GetStationHooks() = StationHooks{};
    UninstallFactoryCargoHooks();
    WorldServices& world = Services();
    world.cityCount = nullptr;
    world.cityCentre = nullptr;
    world.townFactoryOfHouse = nullptr;
    StaticServices().specialBuildingCount = nullptr;
    StaticServices().townLinkedObject = nullptr;
    GeneratorServices() = {};
}
