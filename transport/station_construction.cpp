#include "transport/station_construction.h"

#include "data/generated/route_tables.h"
#include "gameloop/game_log.h"
#include "gameloop/station_commands.h"
#include "transport/construction_rules.h"
#include "transport/route_search.h"
#include "world/catchment.h"
#include "world/object_manager.h"
#include "world/player.h"
#include "world/player_statistics.h"
#include "world/prices.h"
#include "world/world.h"

#include <algorithm>

namespace {

struct ConstructionState : WorldAttachment {
    bool changed = false;
};

// Water stations release the water-route cells they claimed this far
// around their rectangle; other stations their track ends one tile out.
constexpr int32_t kWaterMargin = 10;
constexpr int32_t kEndMargin = 1;

bool InMap(int32_t x, int32_t y) {
    return x >= 0 && y >= 0 && GetWorldMap().InMap(uint32_t(x), uint32_t(y));
}

// Every tile of a rectangle.
template <typename Visit>
void ForTiles(const LayoutRect& r, Visit&& visit) {
    for (int32_t y = r.y; y < r.y + r.h; ++y)
        for (int32_t x = r.x; x < r.x + r.w; ++x)
            visit(x, y);
}

bool AreaFree(int32_t x, int32_t y, int32_t w, int32_t h, int32_t& cost) {
    const StationHooks& hooks = GetStationHooks();
    if (hooks.isAreaFree)
        return hooks.isAreaFree(x, y, w, h, cost);
    // Without the towns' area test: the footprint test alone, for nothing.
    cost = 0;
    return x >= 0 && y >= 0 && w >= 0 && h >= 0 &&
           GetWorldMap().PlaceFootprint(uint32_t(x), uint32_t(y), 0, uint32_t(w), uint32_t(h), 1);
}

bool ClearTiles(int32_t x, int32_t y, int32_t w, int32_t h, int32_t& cost) {
    const StationHooks& hooks = GetStationHooks();
    if (hooks.clearArea)
        return hooks.clearArea(x, y, w, h, cost);
    int32_t none = 0;
    return AreaFree(x, y, w, h, none);
}

// The land test of road and air stations: every tile of the station's
// rectangle free, without way or water, away from other stations.
bool LandRectangle(const LayoutRect& rect, bool tunnelTest, int32_t& cost) {
    const WorldMap& map = GetWorldMap();
    if (!InMap(rect.x, rect.y) || !InMap(rect.x + rect.w - 1, rect.y + rect.h - 1))
        return false;
    bool ok = true;
    ForTiles(rect, [&](int32_t x, int32_t y) {
        if (!ok)
            return;
        const uint32_t ux = uint32_t(x), uy = uint32_t(y);
        int32_t tileCost = 0;
        if (!AreaFree(x, y, 1, 1, tileCost) || map.HasRoad(ux, uy) || map.HasTrack(ux, uy) ||
            map.IsWater(ux, uy) || StationAtTile(x, y) || (tunnelTest && map.TouchesTunnelEntrance(ux, uy))) {
            ok = false;
            return;
        }
        cost += tileCost;
    });
    return ok;
}

// The clear test of water stations: no building, water-route value, span or
// station; land or water by the water-allowed switch.
bool ClearRectangle(const LayoutRect& rect, bool waterAllowed) {
    const WorldMap& map = GetWorldMap();
    if (!InMap(rect.x, rect.y) || !InMap(rect.x + rect.w - 1, rect.y + rect.h - 1))
        return false;
    bool ok = true;
    ForTiles(rect, [&](int32_t x, int32_t y) {
        const uint32_t ux = uint32_t(x), uy = uint32_t(y);
        if ((map.IsWater(ux, uy) && !waterAllowed) || map.GetBuildingAt(ux, uy) != 0 ||
            map.GetWaterwayValue(ux, uy) != 0 || map.GetLayer1Object(ux, uy) != 0 || StationAtTile(x, y))
            ok = false;
    });
    return ok;
}

int32_t Owner(const Station& station) {
    return station.GetOwner();
}

// A tile of a road station: a road cell naming the station.
void WriteRoadTile(Station& station, int32_t x, int32_t y, uint8_t mask, int32_t& cost) {
    if (!InMap(x, y))
        return;
    WorldMap& map = GetWorldMap();
    int32_t cleared = 0;
    if (ClearTiles(x, y, 1, 1, cleared))
        cost += cleared;
    const uint32_t ux = uint32_t(x), uy = uint32_t(y);
    if (map.GetCellKind(ux, uy) != kCellRoute)
        map.SetRouteKind(ux, uy, 2);
    map.SetRoadDirections(ux, uy, mask);
    map.SetCellBuilding(ux, uy, station.GetId());
    map.SetEdgeHeights(ux, uy, Owner(station), mask);
}

// A track piece of a station: a track cell of the route type naming the
// station; a tile that carries track keeps it and only names the station.
void WriteTrackTile(Station& station, int32_t x, int32_t y, uint8_t mask, uint32_t routeType, int32_t& cost) {
    if (!InMap(x, y))
        return;
    WorldMap& map = GetWorldMap();
    const uint32_t ux = uint32_t(x), uy = uint32_t(y);
    if (!map.HasTrack(ux, uy)) {
        int32_t cleared = 0;
        if (ClearTiles(x, y, 1, 1, cleared))
            cost += cleared;
        if (map.GetCellKind(ux, uy) != kCellRoute)
            map.SetRouteKind(ux, uy, 1);
        map.SetRouteType(1, ux, uy, routeType);
        map.SetTrackDirections(ux, uy, mask);
        map.SetEdgeHeights(ux, uy, Owner(station), mask);
    }
    map.SetCellBuilding(ux, uy, station.GetId());
}

// The route type of a loading area: that of the track already along it and
// one tile beyond each end; 0 when there is none or two that cannot meet.
uint32_t LoadAreaRouteType(const Station& station, const LayoutRect& rect) {
    const WorldMap& map = GetWorldMap();
    const bool alongY = station.GetRotationIndex() % 2 == 0;
    LayoutRect wide = rect;
    if (alongY) {
        wide.y -= 1;
        wide.h += 2;
    } else {
        wide.x -= 1;
        wide.w += 2;
    }
    uint32_t found = 0;
    bool conflict = false;
    ForTiles(wide, [&](int32_t x, int32_t y) {
        if (!InMap(x, y) || !map.HasTrack(uint32_t(x), uint32_t(y)))
            return;
        const uint32_t type = map.GetRouteTypeAt(1, uint32_t(x), uint32_t(y));
        if (type == 0 || type == found)
            return;
        if (found == 0) {
            found = type;
            return;
        }
        const RouteBuilderRow* a = RouteBuilderTable::Find(int32_t(found));
        const RouteBuilderRow* b = RouteBuilderTable::Find(int32_t(type));
        if (!a || !b || !a->CanCrossTrack || !b->CanCrossTrack)
            conflict = true;
        found = std::max(found, type);
    });
    return conflict ? 0 : found;
}

Station* PreviewAt(int32_t kind, uint32_t rotation, int32_t x, int32_t y, int32_t player) {
    LayoutRect whole;
    if (!GetLayoutArea(kind, 3, rotation, x, y, whole) || !InMap(whole.x, whole.y))
        return nullptr;
    Station* station = StationAtTile(whole.x, whole.y);
    if (!station)
        station = GetStation(GetWorldMap().GetCellBuilding(uint32_t(whole.x), uint32_t(whole.y)));
    // Only the player's own preview turns real.
    return station && station->IsPlanned() && station->GetOwner() == player ? station : nullptr;
}

// Walks the station's areas: areas 0, 1 and 9 are cleared (water stations
// clear nothing), then the station is written into the map.
int32_t ClearAndWrite(Station& station) {
    int32_t cost = 0;
    if (station.GetMode() != kModeWater) {
        for (uint32_t n : {0u, 1u, 9u}) {
            LayoutRect rect;
            if (!station.GetAreaRect(n, rect))
                continue;
            int32_t cleared = 0;
            if (ClearTiles(rect.x, rect.y, rect.w, rect.h, cleared))
                cost += cleared;
        }
    }
    cost += UpdateMapTiles(station);
    return cost;
}

// Builds a station object at the place, written into the map.
Station* CreateStation(int32_t kind, uint32_t rotation, int32_t x, int32_t y, int32_t player, bool preview) {
    auto* station = dynamic_cast<Station*>(CreateMapObject(kCategoryBuilding, kStationSubtype));
    if (!station)
        return nullptr;
    station->SetPlanned(preview);
    station->SetUp(player, rotation, kind, x, y);
    ClearAndWrite(*station);
    station->PlaceFootprint(false);
    return station;
}

void Relink() {
    LinkNeighbourStations();
    LinkFactoriesToStations();
    LinkStorageHallsToStations();
    LinkStationsToTowns();
    RefreshStations();
}

void MarkNetworkChanged(int32_t mode) {
    if (mode == kModeTrack)
        GetWorldMap().MarkTrackNetworkChanged();
    else if (mode == kModeRoad)
        GetWorldMap().MarkRoadNetworkChanged();
}

void CountStation(Player& player, int64_t delta) {
    if (PlayerStatistics* statistics = player.GetStatistics())
        statistics->AddToAccount(kStationCounter, delta);
}

void ExecuteBuild(const BuildStationCommand& command) {
    const int32_t playerId = command.GetPlayerId();
    const StationRow* row = StationTable::Find(int32_t(std::min<uint32_t>(command.kind, INT32_MAX)));
    if (!row || command.rotation > 3 || !GetWorldMap().InMap(command.x, command.y) ||
        !GetLayoutForKind(int32_t(command.kind))) {
        GameLog("%s: no station kind %u with rotation %u at (%u, %u) on the map", command.Name(),
                command.kind, command.rotation, command.x, command.y);
        return;
    }
    const int32_t kind = int32_t(command.kind);
    const uint32_t rotation = 1u << command.rotation;
    const int32_t x = int32_t(command.x), y = int32_t(command.y);
    const int32_t mode = row->ConnectionType;
    Player* player = GetPlayer(uint32_t(playerId));

    int32_t clearing = 0;
    Station* preview = nullptr;
    if (!CanPlaceStation(kind, rotation, x, y, playerId, clearing)) {
        preview = PreviewAt(kind, rotation, x, y, playerId);
        if (!preview) {
            if (command.preview)
                ConstructionChanged() = true;
            return;
        }
        clearing = 0;
    }
    if (command.preview) {
        // A preview leaves the networks' change marks as they were.
        WorldMap& map = GetWorldMap();
        const bool road = map.RoadNetworkChanged(), track = map.TrackNetworkChanged();
        if (preview)
            UpdateMapTiles(*preview);
        else
            CreateStation(kind, rotation, x, y, playerId, true);
        if (!road)
            map.ClearRoadNetworkChanged();
        if (!track)
            map.ClearTrackNetworkChanged();
        ConstructionChanged() = true;
        return;
    }
    if (!player)
        return;
    // Money is checked before anything changes.
    int64_t price = command.price;
    if (command.price == 0) {
        price = GetStationPrice(kind, uint32_t(std::max(GetCurrentGrafikSet(kind), 0)));
        if (!player->CanAfford(price + clearing))
            return;
    }
    Station* station = preview;
    if (station) {
        station->SetPlanned(false);
        UpdateMapTiles(*station);
    } else {
        station = CreateStation(kind, rotation, x, y, playerId, false);
        if (!station)
            return;
    }
    player->Pay(-price, kAccountStations, uint32_t(mode));
    if (command.price == 0)
        player->Pay(-int64_t(clearing), kAccountDemolition, uint32_t(mode));
    Relink();
    CountStation(*player, 1);
    MarkNetworkChanged(mode);
    ConstructionChanged() = true;
}

void ExecuteDemolish(const DemolishStationCommand& command) {
    Station* station = GetStation(command.stationId);
    if (!station)
        return;
    const bool preview = station->IsPlanned();
    if (!preview && !station->IsFree(15))
        return;
    Player* player = GetPlayer(command.GetPlayerId());
    // Only the owner takes a station down.
    if (!player || station->GetOwner() != int32_t(command.GetPlayerId()))
        return;
    const int32_t mode = station->GetMode();
    const int64_t cost =
        preview
            ? 0
            : GetStationDemolitionCost(station->GetKind(), uint32_t(std::max(station->GetGraphicStage(), 0)));
    if (!player->CanAfford(cost))
        return;
    MarkNetworkChanged(mode);
    if (!preview)
        CountStation(*player, -1);
    RemoveStation(command.stationId);
    LinkNeighbourStations();
    player->Pay(-cost, kAccountDemolition, 0);
    ConstructionChanged() = true;
}

void ExecuteExtend(const BuildStationExtentionCommand& command) {
    Station* station = GetStation(command.stationId);
    Player* player = GetPlayer(command.GetPlayerId());
    if (!station || !player || command.extension > INT32_MAX)
        return;
    // An extension without room is refused rather than paid for nothing.
    if (!station->CanAddExtension(command.extension)) {
        GameLog("%s: station %u has no room for extension %u", command.Name(), command.stationId,
                command.extension);
        return;
    }
    const int64_t price = GetStationExtentionPrice(int32_t(command.extension));
    if (!player->CanAfford(price))
        return;
    station->AddExtension(command.extension);
    player->Pay(-price, kAccountStations, command.extension);
    ConstructionChanged() = true;
}

} // namespace

void Station::UpgradeTo(int32_t x, int32_t y, int32_t kind) {
    const StationRow* row = StationTable::Find(kind);
    if (!row)
        return;
    SetTypeIndex(kind);
    layoutIndex_ = uint32_t(std::max(row->LayoutIndex, 0));
    originX_ = uint32_t(x);
    originY_ = uint32_t(y);
    SetPosition(x, y);
    const StationLayout* layout = GetLayout();
    if (GetMode() == kModeTrack && layout && layout->areas[StationLayout::kExtensionArea].used) {
        const LayoutArea& strip = layout->areas[StationLayout::kExtensionArea];
        const size_t length = size_t(std::max(strip.y2 - strip.y1 + 1, 0));
        std::vector<uint32_t> grown(length, kEmptySlot);
        const size_t start = length > extensions_.size() ? (length - extensions_.size()) / 2 : 0;
        for (size_t i = 0; i < extensions_.size() && start + i < length; ++i)
            grown[start + i] = extensions_[i];
        extensions_ = std::move(grown);
        GenerateDecorations();
    }
    UpdateMapTiles(*this);
}

bool StationRect(int32_t kind, uint32_t rotation, int32_t x, int32_t y, LayoutRect& out) {
    int32_t w = 0, h = 0;
    if (!GetStationSize(kind, RotationIndex(rotation), w, h))
        return false;
    out = LayoutRect{x, y, w, h, 0};
    return true;
}

bool CanPlaceStation(int32_t kind, uint32_t rotation, int32_t x, int32_t y, int32_t player,
                     int32_t& clearingCost) {
    (void)player;
    clearingCost = 0;
    const StationRow* row = StationTable::Find(kind);
    const StationLayout* layout = GetLayoutForKind(kind);
    LayoutRect whole;
    if (!row || !layout || !StationRect(kind, rotation, x, y, whole))
        return false;
    const int32_t mode = row->ConnectionType;
    const WorldMap& map = GetWorldMap();
    for (uint32_t n = 0; n < StationLayout::kAreas; ++n) {
        LayoutRect rect;
        if (!GetLayoutArea(kind, n, rotation, x, y, rect))
            continue;
        if (mode == kModeWater) {
            if (n == 0 || n == 1) {
                bool ok = true;
                ForTiles(rect, [&](int32_t tx, int32_t ty) {
                    if (!ok || !InMap(tx, ty)) {
                        ok = false;
                        return;
                    }
                    int32_t cost = 0;
                    if (map.GetBuildingAt(uint32_t(tx), uint32_t(ty)) != 0) {
                        ok = AreaFree(tx, ty, 1, 1, cost);
                        clearingCost += cost;
                    }
                });
                if (!ok || (rect.w > 0 && rect.h > 0 &&
                            !GetWorldMap().IsAreaBuildable(uint32_t(rect.x), uint32_t(rect.y),
                                                           uint32_t(rect.w), uint32_t(rect.h), 8)))
                    return false;
            } else if (n == 9) {
                bool ok = true;
                ForTiles(rect, [&](int32_t tx, int32_t ty) {
                    const uint32_t ux = uint32_t(tx), uy = uint32_t(ty);
                    if (!InMap(tx, ty) || !map.IsWater(ux, uy) || !map.IsNavigable(ux, uy) ||
                        map.GetBuildingAt(ux, uy) != 0 || map.HasRoad(ux, uy) || map.HasTrack(ux, uy) ||
                        StationAtTile(tx, ty))
                        ok = false;
                });
                if (!ok)
                    return false;
            }
            continue;
        }
        if (n == 0 || n == 1) {
            int32_t cost = 0;
            if (!AreaFree(rect.x, rect.y, rect.w, rect.h, cost))
                return false;
            clearingCost += cost;
        }
    }
    switch (mode) {
    case kModeRoad: {
        int32_t cost = 0;
        if (!LandRectangle(whole, true, cost))
            return false;
        return true;
    }
    case kModeTrack:
        return true;
    case kModeWater:
        return ClearRectangle(whole, true);
    case kModeAir: {
        int32_t cost = 0;
        return LandRectangle(whole, false, cost);
    }
    default:
        return false;
    }
}

int32_t UpdateMapTiles(Station& station) {
    const StationLayout* layout = station.GetLayout();
    if (!layout)
        return 0;
    WorldMap& map = GetWorldMap();
    int32_t cost = 0;
    switch (station.GetMode()) {
    case kModeRoad:
        for (uint32_t n = 0; n < StationLayout::kAreas; ++n) {
            LayoutRect rect;
            if (station.GetAreaRect(n, rect) && rect.mask != 0)
                ForTiles(rect, [&](int32_t x, int32_t y) { WriteRoadTile(station, x, y, rect.mask, cost); });
        }
        for (uint32_t n = 0; n < StationLayout::kPoints; ++n) {
            LayoutTile tile;
            if (station.GetPoint(n, tile) && tile.mask != 0)
                WriteRoadTile(station, tile.x, tile.y, tile.mask, cost);
        }
        // The entrance without a road of its own gets one across the
        // station's direction.
        if (LayoutTile entrance; station.GetPoint(0, entrance) && InMap(entrance.x, entrance.y) &&
                                 !map.HasRoad(uint32_t(entrance.x), uint32_t(entrance.y))) {
            const uint32_t rotation = station.GetRotation();
            WriteRoadTile(station, entrance.x, entrance.y, uint8_t(rotation == 8 ? 1 : rotation << 1), cost);
        }
        break;
    case kModeAir:
        for (uint32_t n = 0; n < StationLayout::kAreas; ++n) {
            LayoutRect rect;
            if (!station.GetAreaRect(n, rect))
                continue;
            ForTiles(rect, [&](int32_t x, int32_t y) {
                if (!InMap(x, y))
                    return;
                int32_t cleared = 0;
                if (ClearTiles(x, y, 1, 1, cleared))
                    cost += cleared;
                map.SetRouteKind(uint32_t(x), uint32_t(y), 8);
                map.SetCellBuilding(uint32_t(x), uint32_t(y), station.GetId());
            });
        }
        break;
    case kModeWater: {
        auto water = [&](int32_t x, int32_t y) {
            if (!InMap(x, y))
                return;
            map.SetRouteKind(uint32_t(x), uint32_t(y), 4);
            map.SetCellBuilding(uint32_t(x), uint32_t(y), station.GetId());
        };
        for (uint32_t n = 1; n < StationLayout::kLoadAreas; ++n) {
            LayoutRect rect;
            if (station.GetLoadAreaRect(n, rect))
                ForTiles(rect, water);
        }
        for (uint32_t n = 0; n < StationLayout::kConnPoints; ++n) {
            LayoutTile tile;
            if (station.GetConnPoint(n, tile))
                water(tile.x, tile.y);
        }
        for (uint32_t n = 0; n < StationLayout::kAreas; ++n) {
            LayoutRect rect;
            if (station.GetAreaRect(n, rect) && rect.mask != 0)
                ForTiles(rect, water);
        }
        // New water-route cells: routes kept as "none" may exist now.
        NoteWaterNetworkChanged();
        break;
    }
    case kModeTrack: {
        for (uint32_t n = 0; n < StationLayout::kAreas; ++n) {
            LayoutRect rect;
            if (station.GetAreaRect(n, rect) && rect.mask != 0)
                ForTiles(rect,
                         [&](int32_t x, int32_t y) { WriteTrackTile(station, x, y, rect.mask, 0, cost); });
        }
        const bool alongY = station.GetRotationIndex() % 2 == 0;
        for (uint32_t n = 1; n <= station.LoadAreaCount(); ++n) {
            LayoutRect rect;
            if (!station.GetLoadAreaRect(n, rect) || rect.mask == 0)
                continue;
            const uint32_t type = LoadAreaRouteType(station, rect);
            ForTiles(rect,
                     [&](int32_t x, int32_t y) { WriteTrackTile(station, x, y, rect.mask, type, cost); });
            // One piece beyond each end of the platform.
            if (alongY) {
                WriteTrackTile(station, rect.x, rect.y - 1, rect.mask, type, cost);
                WriteTrackTile(station, rect.x, rect.y + rect.h, rect.mask, type, cost);
            } else {
                WriteTrackTile(station, rect.x - 1, rect.y, rect.mask, type, cost);
                WriteTrackTile(station, rect.x + rect.w, rect.y, rect.mask, type, cost);
            }
        }
        break;
    }
    default:
        break;
    }
    return cost;
}

int64_t LayLoadAreaTrackAt(int32_t x, int32_t y, uint32_t row, int32_t player) {
    if (!InMap(x, y) || row == 0)
        return 0;
    WorldMap& map = GetWorldMap();
    // The piece beyond a platform's end names the station too.
    Station* station = GetStation(map.GetCellBuilding(uint32_t(x), uint32_t(y)));
    if (!station)
        station = StationAtTile(x, y);
    if (!station || station->GetMode() != kModeTrack || station->GetOwner() != player || station->IsPlanned())
        return 0;
    const bool alongY = station->GetRotationIndex() % 2 == 0;
    for (uint32_t n = 1; n <= station->LoadAreaCount(); ++n) {
        LayoutRect wide;
        if (!station->GetLoadAreaRect(n, wide) || wide.mask == 0)
            continue;
        if (alongY) {
            wide.y -= 1;
            wide.h += 2;
        } else {
            wide.x -= 1;
            wide.w += 2;
        }
        if (x < wide.x || x >= wide.x + wide.w || y < wide.y || y >= wide.y + wide.h)
            continue;
        int64_t cost = 0;
        ForTiles(wide, [&](int32_t tx, int32_t ty) {
            if (!InMap(tx, ty))
                return;
            const uint32_t ux = uint32_t(tx), uy = uint32_t(ty);
            const uint32_t old = map.GetRouteTypeAt(1, ux, uy);
            if (!map.HasTrack(ux, uy) || old == row || map.GetCellBuilding(ux, uy) != station->GetId() ||
                !CanUpgradeRouteType(old, row))
                return;
            map.SetRouteType(1, ux, uy, row);
            const int64_t price = int64_t(GetRouteConstructionCost(int32_t(row))) -
                                  (old != 0 ? int64_t(GetRouteConstructionCost(int32_t(old))) : 0);
            cost += std::max<int64_t>(price, 0);
        });
        return cost;
    }
    return 0;
}

void RemoveStation(ObjectHandle stationId) {
    Station* station = GetStation(stationId);
    if (!station)
        return;
    const int32_t mode = station->GetMode();
    LayoutRect rect;
    if (!StationRect(station->GetKind(), station->GetRotation(), station->GetOriginX(), station->GetOriginY(),
                     rect))
        rect = LayoutRect{station->GetOriginX(), station->GetOriginY(), 1, 1, 0};
    const int32_t margin = mode == kModeWater ? kWaterMargin : kEndMargin;
    WorldMap& map = GetWorldMap();
    const LayoutRect around{rect.x - margin, rect.y - margin, rect.w + 2 * margin, rect.h + 2 * margin, 0};
    ForTiles(around, [&](int32_t x, int32_t y) {
        if (InMap(x, y) && map.GetCellBuilding(uint32_t(x), uint32_t(y)) == stationId)
            map.ResetCell(uint32_t(x), uint32_t(y));
    });
    DeleteMapObject(stationId);
    if (mode == kModeWater) {
        MarkOpenWaterTiles();
        return;
    }
    if (mode == kModeRoad) {
        const LayoutRect ring{rect.x - 1, rect.y - 1, rect.w + 2, rect.h + 2, 0};
        ForTiles(ring, [&](int32_t x, int32_t y) {
            if (InMap(x, y) && map.HasRoad(uint32_t(x), uint32_t(y)) &&
                !map.TouchesTunnelEntrance(uint32_t(x), uint32_t(y)))
                map.UpdateRoadConnections(uint32_t(x), uint32_t(y));
        });
    }
}

bool& ConstructionChanged() {
    return CurrentWorld().Attached<ConstructionState>().changed;
}

void InstallStationCommands() {
    StationCommandHandlers handlers;
    handlers.build = ExecuteBuild;
    handlers.demolish = ExecuteDemolish;
    handlers.extend = ExecuteExtend;
    SetStationCommandHandlers(handlers);
}
