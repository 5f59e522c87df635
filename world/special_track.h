// Switches and crossings as the tile map sees them: a building whose route
// data live in the object rather than in its cells. The transport network
// derives the real class from it.
#pragma once

#include "world/building.h"

inline constexpr int32_t kSpecialTrackSubtype = 8;

class SpecialTrackBase : public Building {
public:
    SpecialTrackBase() : Building(kSpecialTrackSubtype) {}

    virtual int32_t GetRouteType() const { return 0; }
    // Its SpecialTracks row.
    virtual int32_t GetType() const { return typeIndex_; }
    virtual uint32_t GetNodeId(int32_t x, int32_t y) const {
        (void)x;
        (void)y;
        return 0;
    }
    virtual void SetNodeId(int32_t x, int32_t y, uint32_t value) {
        (void)x;
        (void)y;
        (void)value;
    }
    virtual uint32_t GetCellSlot(int32_t x, int32_t y, uint32_t i, uint32_t mask) const {
        (void)x;
        (void)y;
        (void)i;
        (void)mask;
        return 0;
    }
    virtual void SetCellSlot(int32_t x, int32_t y, uint32_t i, uint32_t value, uint32_t mask) {
        (void)x;
        (void)y;
        (void)i;
        (void)value;
        (void)mask;
    }
    virtual int32_t GetEdgeHeight(uint32_t mask) const {
        (void)mask;
        return -1;
    }
    virtual void RecomputeDerivedState() {}
};
