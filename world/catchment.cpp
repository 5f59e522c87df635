#include "world/catchment.h"

#include "data/generated/economy_tables.h"
#include "world/catchment_parties.h"
#include "world/object_manager.h"
#include "world/world_map.h"
#include "world/world_services.h"

#include <algorithm>
#include <cmath>
#include <functional>

void FootprintWalker::Set(int32_t x0, int32_t y0, int32_t x1, int32_t y1) {
    x0_ = x0;
    y0_ = y0;
    x1_ = x1;
    y1_ = y1;
    cx_ = x0;
    cy_ = y0;
    done_ = 0;
}

void FootprintWalker::Start(FootprintVisitor* visitor) {
    cx_ = x0_;
    cy_ = y0_;
    done_ = 0;
    visitor_ = visitor;
}

bool FootprintWalker::Step(uint32_t budget) {
    if (done_ || x0_ > x1_ || y0_ > y1_) {
        done_ = 1;
        return false;
    }
    for (uint32_t i = 0; i < budget; ++i) {
        if (visitor_)
            visitor_->Visit(cx_, cy_);
        if (++cx_ > x1_) {
            cx_ = x0_;
            if (++cy_ > y1_) {
                done_ = 1;
                return false;
            }
        }
    }
    return true;
}

namespace {

constexpr uint32_t kWalkBudget = 10000;

// Walks a rectangle to its end, in steps of the usual budget.
class LambdaVisitor : public FootprintVisitor {
public:
    explicit LambdaVisitor(std::function<void(int32_t, int32_t)> fn) : fn_(std::move(fn)) {}
    void Visit(int32_t x, int32_t y) override {
        if (x >= 0 && y >= 0 && GetWorldMap().InMap(uint32_t(x), uint32_t(y)))
            fn_(x, y);
    }

private:
    std::function<void(int32_t, int32_t)> fn_;
};

void WalkRect(const TileRect& r, int32_t grow, const std::function<void(int32_t, int32_t)>& fn) {
    int64_t x0 = int64_t(r.x) - grow, y0 = int64_t(r.y) - grow;
    int64_t x1 = int64_t(r.x) + r.width - 1 + grow, y1 = int64_t(r.y) + r.height - 1 + grow;
    // Only the part on the map can hold anything.
    x0 = std::max<int64_t>(x0, 0);
    y0 = std::max<int64_t>(y0, 0);
    x1 = std::min<int64_t>(x1, int64_t(GetWorldMap().GetWidth()) - 1);
    y1 = std::min<int64_t>(y1, int64_t(GetWorldMap().GetHeight()) - 1);
    if (x0 > x1 || y0 > y1)
        return;
    LambdaVisitor visitor(fn);
    FootprintWalker walker;
    walker.Set(int32_t(x0), int32_t(y0), int32_t(x1), int32_t(y1));
    walker.Start(&visitor);
    while (walker.Step(kWalkBudget)) {
    }
}

// The ring of tiles within r of a footprint, the footprint left out.
void WalkRing(const TileRect& r, int32_t grow, const std::function<void(int32_t, int32_t)>& fn) {
    WalkRect(r, grow, [&](int32_t x, int32_t y) {
        if (x >= r.x && x < r.x + r.width && y >= r.y && y < r.y + r.height)
            return;
        fn(x, y);
    });
}

TileRect FootprintOf(const Building& b) {
    return {b.GetX(), b.GetY(), b.GetWidth(), b.GetHeight()};
}

MapObject* BuildingOnTile(int32_t x, int32_t y) {
    WorldMap& map = GetWorldMap();
    uint32_t id = map.GetBuildingAt(uint32_t(x), uint32_t(y));
    if (id == 0)
        id = map.GetCellBuilding(uint32_t(x), uint32_t(y));
    return BuildingFromId(id);
}

// The station a tile belongs to: by its building cell, or for a tile
// without one, by the area of the station found there.
StationBase* StationOfTile(int32_t x, int32_t y) {
    WorldMap& map = GetWorldMap();
    uint32_t id = map.GetBuildingAt(uint32_t(x), uint32_t(y));
    if (id == 0)
        id = map.GetCellBuilding(uint32_t(x), uint32_t(y));
    if (id != 0)
        return dynamic_cast<StationBase*>(BuildingFromId(id));
    if (!Services().stationAtTile)
        return nullptr;
    auto* station = dynamic_cast<StationBase*>(Services().stationAtTile(uint32_t(x), uint32_t(y)));
    return station && station->AreaContainsTile(x, y) ? station : nullptr;
}

TileRect StationLayout(int32_t x, int32_t y, int32_t stationType, int32_t rotation) {
    if (Services().stationLayoutArea)
        return Services().stationLayoutArea(stationType, DirectionMask(uint32_t(rotation)), x, y);
    return {x, y, 1, 1};
}

ObjectHandle TownFactoryOfHouse(const MapObject& house) {
    return Services().townFactoryOfHouse ? Services().townFactoryOfHouse(house) : 0;
}

void HighlightStationsInRing(const TileRect& footprint) {
    WalkRing(footprint, StationRadius(), [](int32_t x, int32_t y) {
        if (StationBase* station = StationOfTile(x, y))
            station->SetHighlight(1);
    });
}

} // namespace

int32_t StationRadius() {
    const GlobalConstantsRow* row = GlobalConstantsTable::Find(0);
    return row && row->StationRadius > 0 ? row->StationRadius : 0;
}

int32_t TileDistance(TilePoint a, TilePoint b) {
    double dx = double(a.x) - b.x, dy = double(a.y) - b.y;
    return int32_t(std::sqrt(dx * dx + dy * dy));
}

bool IsNearAnyTown(int32_t x, int32_t y, int32_t radius) {
    const WorldServices& s = Services();
    if (!s.cityCount || !s.cityCentre)
        return false;
    int32_t count = s.cityCount();
    for (int32_t i = 1; i <= count; ++i) {
        int32_t cx, cy;
        if (s.cityCentre(i, cx, cy) && TileDistance({x, y}, {cx, cy}) < radius)
            return true;
    }
    return false;
}

bool IsBuildingOfSubtypeNear(int32_t x, int32_t y, int32_t subtype, int32_t radius) {
    std::vector<MapObject*> objects;
    GetMapObjects(objects, kSelectCategory | kSelectSubtype, kCategoryBuilding, subtype, 0);
    for (MapObject* o : objects) {
        if (subtype == kStationSubtype) {
            auto* station = dynamic_cast<StationBase*>(o);
            if (!station || !station->InService())
                continue;
        }
        if (TileDistance({x, y}, {o->GetX(), o->GetY()}) < radius)
            return true;
    }
    return false;
}

bool CompareBuildingsBySubtype(ObjectHandle a, ObjectHandle b) {
    auto* ba = dynamic_cast<Building*>(BuildingFromId(a));
    auto* bb = dynamic_cast<Building*>(BuildingFromId(b));
    if (!ba || !bb)
        return false;
    if (ba->GetBuildingSubtype() != bb->GetBuildingSubtype())
        return ba->GetBuildingSubtype() < bb->GetBuildingSubtype();
    return a < b;
}

void LinkNeighbourStations() {
    std::vector<StationBase*> stations = BuildingsOf<StationBase>(kStationSubtype);
    for (StationBase* s : stations)
        s->ClearNeighbourStations();
    for (StationBase* s : stations) {
        WalkRect(s->GetLayoutRect(), 1, [s](int32_t x, int32_t y) {
            StationBase* found = StationOfTile(x, y);
            if (!found || found->GetOwner() != s->GetOwner())
                return;
            s->LinkNeighbourStation(found->GetId());
            found->LinkNeighbourStation(s->GetId());
        });
    }
}

void LinkFactoriesToStations() {
    std::vector<FactoryBase*> factories = BuildingsOf<FactoryBase>(kFactorySubtype);
    for (FactoryBase* f : factories)
        f->RebuildProductMasks();
    int32_t r = StationRadius();
    for (FactoryBase* f : factories) {
        WalkRect(FootprintOf(*f), r, [f](int32_t x, int32_t y) {
            StationBase* station = StationOfTile(x, y);
            if (station && (station->GetOwner() == f->GetOwner() || f->GetOwner() == kNeutralOwner))
                station->AddCatchmentLink(f->GetId());
        });
    }
}

void LinkStorageHallsToStations() {
    int32_t r = StationRadius();
    for (Building* hall : BuildingsOf<Building>(kStorageHallSubtype)) {
        WalkRect(FootprintOf(*hall), r, [hall](int32_t x, int32_t y) {
            StationBase* station = StationOfTile(x, y);
            if (station && station->GetOwner() == hall->GetOwner())
                station->AddCatchmentLink(hall->GetId());
        });
    }
}

void LinkStationsToTowns() {
    int32_t r = StationRadius();
    for (StationBase* s : BuildingsOf<StationBase>(kStationSubtype)) {
        s->CleanCatchmentLinks();
        WalkRect(s->GetLayoutRect(), r, [s](int32_t x, int32_t y) {
            MapObject* house = BuildingFromId(GetWorldMap().GetBuildingAt(uint32_t(x), uint32_t(y)));
            if (!house || house->GetSubtype() != kHouseSubtype)
                return;
            if (ObjectHandle factory = TownFactoryOfHouse(*house))
                s->AddCatchmentLink(factory);
        });
    }
}

void RefreshStations() {
    std::vector<StationBase*> stations = BuildingsOf<StationBase>(kStationSubtype);
    for (StationBase* s : stations)
        s->RebuildOwnMask();
    for (StationBase* s : stations)
        s->MergeNeighbourMasks();
}

void LinkSpecialFactories() {
    std::vector<FactoryBase*> special;
    std::vector<ObjectHandle> ids;
    for (FactoryBase* f : BuildingsOf<FactoryBase>(kFactorySubtype)) {
        int32_t typ = f->GetFactoryTyp();
        if (typ == 5 || typ == 6) {
            special.push_back(f);
            ids.push_back(f->GetId());
        }
    }
    for (FactoryBase* f : special)
        f->SetPartnerFactories(ids);
}

void RunAllCatchmentPasses() {
    LinkNeighbourStations();
    LinkFactoriesToStations();
    LinkStorageHallsToStations();
    LinkStationsToTowns();
    RefreshStations();
    LinkSpecialFactories();
}

void ShowCatchmentMarks(int32_t x, int32_t y, int32_t stationType, int32_t rotation) {
    if (!Services().queueCatchmentMarker)
        return;
    WalkRing(StationLayout(x, y, stationType, rotation), StationRadius(),
             [](int32_t tx, int32_t ty) { Services().queueCatchmentMarker(tx, ty); });
}

void MarkBuildingsInCatchment(int32_t x, int32_t y, int32_t stationType, int32_t rotation) {
    WalkRing(StationLayout(x, y, stationType, rotation), StationRadius(), [](int32_t tx, int32_t ty) {
        MapObject* b = BuildingOnTile(tx, ty);
        if (b && (b->GetSubtype() == kFactorySubtype || b->GetSubtype() == kHouseSubtype ||
                  b->GetSubtype() == kStorageHallSubtype))
            b->SetHighlight(1);
    });
}

void MarkStationsNearFactory(int32_t x, int32_t y, int32_t factoryType, int32_t a, int32_t b) {
    TileRect size = Services().factoryPreviewSize ? Services().factoryPreviewSize(factoryType, a, b)
                                                  : TileRect{0, 0, 1, 1};
    HighlightStationsInRing({x, y, size.width, size.height});
}

void MarkStationsNearStorageHall(int32_t x, int32_t y, int32_t hallType) {
    TileRect size = Services().hallPreviewSize ? Services().hallPreviewSize(hallType) : TileRect{0, 0, 1, 1};
    HighlightStationsInRing({x, y, size.width, size.height});
}

std::vector<MapObject*> CollectBuildingsInCatchment(int32_t x, int32_t y, int32_t stationType,
                                                    int32_t rotation) {
    std::set<ObjectHandle> ids;
    WalkRing(StationLayout(x, y, stationType, rotation), StationRadius(), [&ids](int32_t tx, int32_t ty) {
        MapObject* b = BuildingOnTile(tx, ty);
        if (!b)
            return;
        if (b->GetSubtype() == kFactorySubtype)
            ids.insert(b->GetId());
        else if (b->GetSubtype() == kHouseSubtype)
            if (ObjectHandle factory = TownFactoryOfHouse(*b))
                ids.insert(factory);
    });
    std::vector<MapObject*> out;
    for (ObjectHandle id : ids)
        if (MapObject* o = MapObjectFromId(id))
            out.push_back(o);
    return out;
}

std::set<ObjectHandle> CollectServedBuildings() {
    std::set<ObjectHandle> served;
    for (StationBase* s : BuildingsOf<StationBase>(kStationSubtype))
        s->CollectCatchmentLinks(served);
    return served;
}

std::vector<MapObject*> ListUnservedFactories() {
    std::set<ObjectHandle> served = CollectServedBuildings();
    std::vector<MapObject*> out;
    for (FactoryBase* f : BuildingsOf<FactoryBase>(kFactorySubtype)) {
        int32_t typ = f->GetFactoryTyp();
        if (typ != 5 && typ != 6 && !served.count(f->GetId()))
            out.push_back(f);
    }
    return out;
}
