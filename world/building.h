// Buildings: map objects of category 1 with a rectangular footprint of
// tiles that they place on the tile map and take away again when they die.
#pragma once

#include "world/map_object.h"
#include "world/static_object_services.h"
#include "world/tile_point.h"

#include <cstdint>

class Building : public MapObject {
public:
    Building() : MapObject(kCategoryBuilding, 0) {}
    explicit Building(int32_t subtype) : MapObject(kCategoryBuilding, subtype) {}
    // Resets the footprint tiles that still name this building.
    ~Building() override;

    void Serialize() override;

    // Stores subtype, position and size, then places the footprint: force
    // places without testing, otherwise only on a free area. False when the
    // tile map refused the footprint (the fields are set all the same).
    bool Place(int32_t x, int32_t y, int32_t subtype, int32_t width, int32_t height, uint8_t force);
    virtual void Draw() {}

    // Hooks that derived buildings fill in; the base does nothing or
    // answers the quiet value written beside it.
    virtual void Hook30(int32_t a, int32_t b) { (void)a, (void)b; }
    virtual void Hook31(int32_t a) { (void)a; }
    virtual uint8_t Hook32() const { return 0xFF; }
    // Hands the building to the sound system as a source (special buildings).
    virtual void OfferSound(int32_t a) { (void)a; }
    virtual void Hook34() {}
    virtual uint8_t Hook35() const { return 0xFF; }
    // The picture the building is drawn with; set -1 for none.
    virtual SpriteRef GetGraphic() const { return {-1, 0, 0}; }
    virtual int32_t Hook37(int32_t a, int32_t b) const { return (void)a, (void)b, 0; }
    virtual int32_t Hook42() const { return 0; }
    virtual int32_t Hook43(int32_t a) const { return (void)a, 0; }
    virtual void Hook44(int32_t a, int32_t b) { (void)a, (void)b; }
    virtual int32_t Hook46() const { return 0; }

    int32_t GetValue() const { return value_; }
    void SetValue(int32_t value) { value_ = value; }
    int32_t GetWidth() const { return width_; }
    int32_t GetHeight() const { return height_; }
    // Distance of the footprints' centres; 100000000 for no building.
    float DistanceTo(const Building* other) const;
    int32_t GetBuildingSubtype() const { return GetSubtype(); }
    TilePoint GetCentre() const;

protected:
    // The "bld1" chunk.
    void SerializeBuildingChunk();

    int32_t value_ = 0;
    int32_t width_ = 0;
    int32_t height_ = 0;
};
