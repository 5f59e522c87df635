// Storage halls: buildings beside a company's stations that keep units of
// storable products, first in, first out per product, up to the capacity
// of their kind (a StoragePlace row, the hall's type index).
#pragma once

#include "world/building.h"
#include "world/static_object_services.h"

#include <array>
#include <cstdint>
#include <deque>
#include <map>
#include <string>

class StorageHall : public Building {
public:
    static constexpr int32_t kSubtype = 6;
    // A unit as the delivering station hands it in and gets it back.
    using Unit = std::array<uint32_t, 3>;

    StorageHall() : Building(kSubtype) {}

    void Serialize() override;
    void GetDebugText(std::string& out) const override;
    void GetInfoText(std::string& out) const override;
    SpriteRef GetGraphic() const override { return {19, typeIndex_, 0}; }

    int32_t GetStock(int32_t product) const;
    bool HasStock(int32_t product) const { return GetStock(product) > 0; }
    // Storable product and room for one more unit of any product.
    bool CanStore(int32_t product) const;
    // Appends a unit; the caller has asked CanStore.
    bool AddUnit(int32_t product, uint32_t a, uint32_t b, uint32_t c);
    // Hands out the oldest unit of a product: its first word, then the
    // other two. Nothing happens for a product without units.
    void TakeUnit(int32_t product, uint32_t& first, uint32_t (&rest)[2]);
    int32_t GetUnitCount() const { return unitCount_; }
    const std::map<int32_t, std::deque<Unit>>& Stock() const { return stock_; }

private:
    void RecountUnits();

    std::map<int32_t, std::deque<Unit>> stock_;
    int32_t unitCount_ = 0;
};

// The Name of a StoragePlace row with "\n" escapes made line breaks.
void GetStoragePlaceName(std::string& out, int32_t row);
void ClearStoragePlaceTable();
