#include "world/special_building.h"

#include "data/generated/tables.h"
#include "files/chunk_stream.h"
#include "world/packed_field.h"
#include "world/world_warnings.h"

namespace {

constexpr uint32_t kTagTown = ChunkTag("spb1");
constexpr uint32_t kTags[] = {kTagTown};

uint8_t* TownCount(uint8_t town, int32_t type) {
    const auto& hook = StaticServices().specialBuildingCount;
    if (!hook || type < 0 || type >= SpecialBuildingTownTable::RowCount())
        return nullptr;
    return hook(town, uint32_t(type));
}

} // namespace

SpecialBuilding::~SpecialBuilding() {
    if (uint8_t* count = TownCount(town_, typeIndex_)) {
        // A count already at 0 stays there instead of wrapping.
        if (*count > 0)
            --*count;
        else
            WorldWarning("special building %u: town %u counts no building of type %d", id_, town_,
                         typeIndex_);
    }
}

void SpecialBuilding::Init(uint8_t town, int32_t type) {
    town_ = town;
    typeIndex_ = type;
    subtype_ = kSubtype;
    if (uint8_t* count = TownCount(town_, typeIndex_)) {
        if (*count < 255)
            ++*count;
    }
}

void SpecialBuilding::Serialize() {
    Building::Serialize();
    TransferTagList(kTags, [this](uint32_t tag) {
        if (tag == kTagTown)
            TransferPackedSized<1>([this](uint8_t* bytes) { bytes[0] = town_; },
                                   [this](const uint8_t* bytes) { town_ = bytes[0]; });
    });
}

int32_t SpecialBuilding::GetAttractivity() const {
    const SpecialBuildingTownRow* row = SpecialBuildingTownTable::Find(typeIndex_);
    return row ? row->Attractivity : 0;
}

int32_t SpecialBuilding::GetSoundIndex() const {
    const SpecialBuildingTownRow* row = SpecialBuildingTownTable::Find(typeIndex_);
    return row ? row->SoundIndex : -1;
}

SoundRect SpecialBuilding::GetRect() const {
    // Wraps like the stored fields instead of overflowing.
    return {x_, y_, int32_t(uint32_t(x_) + uint32_t(width_)), int32_t(uint32_t(y_) + uint32_t(height_))};
}

bool IsSpecialBuildingAllowedInStyle(int32_t type, int32_t style) {
    const SpecialBuildingTownRow* row = SpecialBuildingTownTable::Find(type);
    if (!row)
        return false;
    const ValueTable& styles = row->AllowedInCityStyle;
    if (styles.RowCount() == 0)
        return false;
    for (uint32_t column = 0; column < styles.ColumnCount(); ++column) {
        const int32_t cell = styles.IntCell(column, 0);
        if (cell == style || cell == -1)
            return true;
    }
    return false;
}

void SpecialBuilding::OfferSound(int32_t a) {
    (void)a;
    if (StaticServices().offerSoundSource)
        StaticServices().offerSoundSource(*this, soundValue_);
}
