// The station's loading-area lookups by tile and route, its demolition
// cost, and the products of the buildings it serves.
#include "transport/station.h"

#include "data/generated/route_tables.h"
#include "world/catchment.h"
#include "world/game_clock.h"
#include "world/object_manager.h"
#include "world/prices.h"
#include "world/storage_hall.h"
#include "world/world.h"

#include <algorithm>

namespace {

bool RectHolds(const LayoutRect& r, int32_t x, int32_t y) {
    return x >= 0 && y >= 0 && x >= r.x && y >= r.y && x < r.x + r.w && y < r.y + r.h;
}

bool ColumnFor(int32_t vehicleType, const RouteBuilderRow& row, bool& needed) {
    needed = true;
    switch (vehicleType) {
    case 5:
    case 6:
        return row.CanCrossTrack;
    case 7:
    case 8:
        return row.OverheadLine;
    case 9:
        return row.IsMonoRail;
    case 10:
        return row.IsSupraConductor;
    case 17:
        return row.IsHorseTrack;
    default:
        needed = false;
        return true;
    }
}

// Whether a building takes part for a player: its own or the neutral
// player's; storage halls only the player's own.
bool TakesPart(const MapObject& building, int32_t player) {
    if (building.GetSubtype() == kStorageHallSubtype)
        return building.GetOwner() == player;
    return building.GetOwner() == player || building.GetOwner() == kNeutralOwner;
}

} // namespace

uint32_t Station::FindLoadAreaAt(int32_t x, int32_t y) const {
    if (GetMode() != kModeTrack || x < 0 || y < 0)
        return 0;
    for (uint32_t n = 1; n <= LoadAreaCount(); ++n) {
        LayoutRect rect;
        if (GetLoadAreaRect(n, rect) && RectHolds(rect, x, y) &&
            GetWorldMap().HasTrack(uint32_t(x), uint32_t(y)))
            return n;
    }
    return 0;
}

uint32_t Station::FindLoadAreaAtOrEnd(int32_t x, int32_t y) const {
    if (GetMode() != kModeTrack)
        return 0;
    if (const uint32_t n = FindLoadAreaAt(x, y))
        return n;
    for (uint32_t n = 1; n <= LoadAreaCount(); ++n) {
        for (uint32_t end : {2 * n - 1, 2 * n}) {
            LayoutTile tile;
            if (GetConnPoint(end, tile) && tile.x == x && tile.y == y)
                return n;
        }
    }
    return 0;
}

bool Station::SuitsVehicle(uint32_t n, int32_t vehicleType) const {
    if (n < 1)
        return false;
    bool needed = false;
    const RouteBuilderRow probe;
    ColumnFor(vehicleType, probe, needed);
    if (!needed)
        return true;
    LayoutTile tile;
    if (!GetLoadPoint(n, tile) || tile.x < 0 || tile.y < 0)
        return false;
    const RouteBuilderRow* row =
        RouteBuilderTable::Find(int32_t(GetWorldMap().GetRouteTypeAt(1, uint32_t(tile.x), uint32_t(tile.y))));
    return row && ColumnFor(vehicleType, *row, needed);
}

bool Station::SuitsVehicleAtAnyLoadArea(int32_t vehicleType) const {
    for (uint32_t n = 1; n <= LoadAreaCount(); ++n)
        if (SuitsVehicle(n, vehicleType))
            return true;
    return false;
}

bool Station::ChooseLoadAreaByRoute(uint32_t& n, int32_t x, int32_t y, const RouteVehicle* vehicle) const {
    if (x < 0 || y < 0)
        return false;
    uint32_t best = 0;
    uint32_t bestCost = 0;
    bool givenHasRoute = false;
    for (uint32_t i = 1; i <= LoadAreaCount(); ++i) {
        LayoutTile tile;
        if (!GetLoadPoint(i, tile) || tile.x < 0 || tile.y < 0)
            continue;
        // A list of its own: an air route without one reports no distance.
        WaypointList route;
        const uint32_t cost =
            SearchRouteByMode(uint32_t(GetMode()), uint32_t(tile.x), uint32_t(tile.y), uint32_t(x),
                              uint32_t(y), &route, vehicle, GetOwner(), 0, nullptr, nullptr);
        if (cost == 0 || cost > 50000)
            continue;
        if (i == n)
            givenHasRoute = true;
        if (best == 0 || cost < bestCost) {
            best = i;
            bestCost = cost;
        }
    }
    if (best == 0)
        return false;
    if (!givenHasRoute)
        n = best;
    return true;
}

int64_t Station::GetDemolitionCost() const {
    int64_t cost = GetStationDemolitionCost(GetKind(), uint32_t(std::max(GetGraphicStage(), 0)));
    if (GetMode() != kModeTrack)
        return cost;
    const WorldMap& map = GetWorldMap();
    const bool alongY = GetRotationIndex() % 2 == 0;
    for (uint32_t n = 1; n <= LoadAreaCount(); ++n) {
        LayoutRect rect;
        if (!GetLoadAreaRect(n, rect))
            continue;
        LayoutRect wide = rect;
        if (alongY) {
            wide.y -= 1;
            wide.h += 2;
        } else {
            wide.x -= 1;
            wide.w += 2;
        }
        for (int32_t y = wide.y; y < wide.y + wide.h; ++y)
            for (int32_t x = wide.x; x < wide.x + wide.w; ++x)
                if (x >= 0 && y >= 0 && map.InMap(uint32_t(x), uint32_t(y)))
                    cost += GetRouteDemolitionCost(int32_t(map.GetRouteTypeAt(1, uint32_t(x), uint32_t(y))));
    }
    return cost;
}

bool Station::AcceptsProduct(int32_t product, int32_t vehicleOwner) const {
    const StationHooks& hooks = GetStationHooks();
    std::vector<const Station*> group{this};
    for (const auto& [id, value] : linkedStations_)
        if (const Station* station = GetStation(id))
            group.push_back(station);
    for (const Station* station : group) {
        for (const auto& [id, mask] : station->linkedBuildings_) {
            const MapObject* building = BuildingFromId(id);
            if (!building || !(mask & kLinkServes) || building->GetSubtype() != 1 ||
                !TakesPart(*building, vehicleOwner))
                continue;
            if (hooks.factoryAccepts && hooks.factoryAccepts(*building, product))
                return true;
        }
        for (const auto& [id, mask] : station->linkedBuildings_) {
            const auto* hall = dynamic_cast<const StorageHall*>(BuildingFromId(id));
            if (hall && (mask & kLinkServes) && TakesPart(*hall, vehicleOwner) && hall->CanStore(product))
                return true;
        }
    }
    return false;
}

float Station::DeliverProduct(const Load& load) {
    const StationHooks& hooks = GetStationHooks();
    std::vector<Station*> group{this};
    for (const auto& [id, value] : linkedStations_)
        if (Station* station = GetStation(id))
            group.push_back(station);
    MapObject* best = nullptr;
    float bestFactor = 0.0f;
    for (Station* station : group) {
        for (const auto& [id, mask] : station->linkedBuildings_) {
            MapObject* building = BuildingFromId(id);
            if (!building || !(mask & kLinkServes) || building->GetSubtype() != 1 ||
                !TakesPart(*building, load.owner) || !hooks.factoryAccepts ||
                !hooks.factoryAccepts(*building, load.product))
                continue;
            const float factor = hooks.factoryDemand ? hooks.factoryDemand(*building, load.product) : 1.0f;
            // Of equal factors the first found stays.
            if (!best || factor > bestFactor) {
                best = building;
                bestFactor = factor;
            }
        }
    }
    if (best) {
        const auto* factory = dynamic_cast<const Building*>(best);
        const TilePoint centre = factory ? factory->GetCentre() : TilePoint{best->GetX(), best->GetY()};
        const int32_t distance = TileDistance(TilePoint{load.loadX, load.loadY}, centre);
        const uint32_t elapsed = CurrentGameTimeMs() - load.loadTime;
        const int32_t income =
            CalcFreightIncome(load.product, bestFactor, elapsed, uint32_t(std::max(distance, 0)), 1.0f);
        if (hooks.factoryReceive)
            hooks.factoryReceive(*best, load.product);
        return float(income);
    }
    for (Station* station : group) {
        for (const auto& [id, mask] : station->linkedBuildings_) {
            auto* hall = dynamic_cast<StorageHall*>(BuildingFromId(id));
            if (hall && (mask & kLinkServes) && TakesPart(*hall, load.owner) &&
                hall->CanStore(load.product)) {
                hall->AddUnit(load.product, load.loadTime, uint32_t(load.loadX), uint32_t(load.loadY));
                return 0.0f;
            }
        }
    }
    return 0.0f;
}

void Station::UpdateProductSet() {
    products_.reset();
    const StationHooks& hooks = GetStationHooks();
    for (const auto& [id, mask] : linkedBuildings_) {
        const MapObject* building = BuildingFromId(id);
        if (!building || !(mask & kLinkServes))
            continue;
        if (building->GetSubtype() == kStorageHallSubtype) {
            // A hall stores anything.
            products_.set();
            return;
        }
        if (building->GetSubtype() != 1 || !TakesPart(*building, GetOwner()) || !hooks.factoryProducts)
            continue;
        std::vector<int32_t> products;
        hooks.factoryProducts(*building, products);
        for (int32_t product : products)
            if (product >= 0 && size_t(product) < products_.size())
                products_.set(size_t(product));
    }
}

void Station::MergeLinkedStationProducts() {
    for (const auto& [id, value] : linkedStations_)
        if (const Station* station = GetStation(id))
            products_ |= station->products_;
}

void Station::GetTownFactoriesOfGroup(std::set<ObjectHandle>& out) const {
    out.insert(townFactories_.begin(), townFactories_.end());
    for (const auto& [id, value] : linkedStations_)
        if (const Station* station = GetStation(id))
            out.insert(station->townFactories_.begin(), station->townFactories_.end());
}

void Station::GetLinkedFactories(std::set<ObjectHandle>& out) const {
    const StationHooks& hooks = GetStationHooks();
    for (const auto& [id, mask] : linkedBuildings_) {
        const MapObject* building = BuildingFromId(id);
        if (building && building->GetSubtype() == 1 &&
            (!hooks.factoryType || hooks.factoryType(*building) != 5))
            out.insert(id);
    }
}
