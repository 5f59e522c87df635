// The stations and factories as the catchment passes see them. The
// transport network and the industry derive their classes from these; until
// then a station or factory is a plain building that links nothing.
#pragma once

#include "world/building.h"
#include "world/world_services.h"

#include <set>
#include <vector>

inline constexpr int32_t kFactorySubtype = 1;
inline constexpr int32_t kStationSubtype = 2;
inline constexpr int32_t kHouseSubtype = 3;
inline constexpr int32_t kStorageHallSubtype = 6;

class StationBase : public Building {
public:
    StationBase() : Building(kStationSubtype) {}

    virtual bool InService() const { return false; }
    virtual bool AreaContainsTile(int32_t x, int32_t y) const {
        (void)x;
        (void)y;
        return false;
    }
    // The rectangle of the station's layout on the map.
    virtual TileRect GetLayoutRect() const { return {x_, y_, width_, height_}; }
    virtual void ClearNeighbourStations() {}
    virtual void RebuildOwnMask() {}
    virtual void MergeNeighbourMasks() {}
    virtual void CleanCatchmentLinks() {}
    virtual void CollectCatchmentLinks(std::set<ObjectHandle>& out) const { (void)out; }
};

class FactoryBase : public Building {
public:
    FactoryBase() : Building(kFactorySubtype) {}

    virtual int32_t GetFactoryTyp() const { return 0; }
    // The side (0 or 1) and FactoryLayout row the factory is built with.
    virtual void SetLayout(uint32_t layoutVariant, int32_t layoutRow) {
        (void)layoutVariant;
        (void)layoutRow;
    }
    virtual void RebuildProductMasks() {}
    virtual void SetPartnerFactories(const std::vector<ObjectHandle>& ids) { (void)ids; }
    // A crop farm's field i takes the stage v (the harvester reports 0 as it
    // passes); an index out of range is ignored.
    virtual void SetFieldStage(uint32_t index, uint32_t value) { (void)index, (void)value; }
};
