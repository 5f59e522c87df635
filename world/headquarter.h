// A company's headquarters: a building of up to five parts, the base part
// from construction and four bought later. Each part gives its owner a
// bonus, costs money every month and enlarges the building.
#pragma once

#include "world/building.h"
#include "world/static_object_services.h"

#include <cstdint>
#include <string>

class Headquarter : public Building {
public:
    static constexpr int32_t kSubtype = 9;
    static constexpr uint32_t kPartCount = 5;

    Headquarter() : Building(kSubtype) {}
    // Leaves the registry when it is the one registered for its owner.
    ~Headquarter() override;

    void OnNewMonth() override;
    void Serialize() override;
    void GetInfoText(std::string& out) const override;

    bool HasFlag(uint32_t bit) const { return bit < kPartCount && (parts_ >> bit & 1u) != 0; }
    // Adds a part once; a part already built or outside 0-4 changes nothing.
    void AddPart(uint32_t bit);
    bool IsComplete() const { return (parts_ & 0x1Fu) == 0x1Fu; }
    uint32_t GetParts() const { return parts_; }
    uint32_t GetPartCount() const { return partCount_; }
    // Stores the owner and registers the building under that slot.
    void SetOwner(uint8_t slot);
    SpriteRef GetGraphic() const override;

private:
    void Register();

    uint32_t parts_ = 1;
    uint32_t partCount_ = 0;
};

// The graphic-set index of the current region and year.
int32_t GetHeadquarterGfxIndex();
// The cell (r, c) of a Headquarter row's GrafikSet table, -1 outside.
int32_t GetHeadquarterGrafikSet(int32_t row, uint32_t r, uint32_t c);
// Texts with every "\n" escape made a line break.
std::string GetHeadquarterToolTip(int32_t row);
std::string GetHeadquarterName(int32_t row);
