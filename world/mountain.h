// Mountains: buildings whose footprint is a shape template (a Mountains
// row's grid) rather than a rectangle. The shape's core cells are always
// taken; its other cells only where the tile is free.
#pragma once

#include "world/building.h"
#include "world/static_object_services.h"

#include <cstdint>

struct MountainShape;

class Mountain : public Building {
public:
    static constexpr int32_t kSubtype = 5;

    Mountain() : Building(kSubtype) {}
    // Frees every shape tile that still names this mountain.
    ~Mountain() override;

    void Serialize() override;
    SpriteRef GetGraphic() const override { return {13, graphicNumber_, templateIndex_}; }

    // Stores the graphic and template, takes size and position from the
    // template and stamps it: unconditionally when stamp is set, else only
    // where the tiles are free. The graphic's own size is not used.
    void Place(int32_t x, int32_t y, int32_t graphicNumber, int32_t templateIndex, int32_t graphicWidth,
               int32_t graphicHeight, bool stamp);
    int32_t GetGraphicNumber() const { return graphicNumber_; }
    void SetGraphicNumber(int32_t number) { graphicNumber_ = number; }
    int32_t GetTemplateIndex() const { return templateIndex_; }
    void SetTemplateIndex(int32_t index) { templateIndex_ = index; }
    // Whether a shape tile lies in open water.
    bool LiesInOpenWater() const;

private:
    int32_t graphicNumber_ = 0;
    int32_t templateIndex_ = 0;
};

// The shape of a Mountains row; null for a row without one.
const MountainShape* GetMountainTemplate(int32_t templateIndex);
// Whether the template fits with its anchor at (x, y).
bool CanPlaceMountainTemplate(int32_t templateIndex, int32_t x, int32_t y);
// Puts the template's footprint of `handle` on the map (tile map modes).
void StampMountainTemplate(int32_t templateIndex, uint32_t handle, int32_t x, int32_t y, uint32_t mode);
// Stamps every mountain again; false when one names no template (it stays
// without footprint).
bool ApplyMou1Templates();
void RemoveMountainsInOpenWater();
// Every tile 1 to 4 steps away along the four axes, where on the map, is
// water.
bool IsOpenWater(int32_t x, int32_t y);
