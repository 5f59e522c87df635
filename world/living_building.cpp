#include "world/living_building.h"

#include "data/generated/tables.h"
#include "files/chunk_stream.h"
#include "platform/endian.h"
#include "world/game_clock.h"
#include "world/packed_field.h"
#include "world/random_streams.h"

namespace {

constexpr uint32_t kTagHouse = ChunkTag("lvb1");
constexpr uint32_t kTags[] = {kTagHouse};
constexpr uint32_t kHouseBytes = 11;
constexpr uint32_t kMaxVariantFrames = 100;

bool growingHouses = true;

uint32_t CurrentYear() {
    const GameClock* clock = GetGameClock();
    return clock ? clock->GetCurrentYear() : kFirstYear;
}

MapObject* TownObject(uint8_t town) {
    const auto& hook = StaticServices().townLinkedObject;
    return hook ? hook(town) : nullptr;
}

} // namespace

LivingBuilding::LivingBuilding() : Building(kSubtype) {
    DrawRandomPick();
}

void LivingBuilding::DrawRandomPick() {
    randomPick_ = uint8_t((HouseRandomStream().Next() >> 30) + 1);
}

uint8_t LivingBuilding::StartingShownLevel(uint8_t level) const {
    return growingHouses ? 0 : level;
}

void LivingBuilding::Init(uint8_t town, uint8_t style, uint8_t level, uint8_t variant) {
    town_ = town;
    style_ = style;
    level_ = level;
    variant_ = variant;
    builtYear_ = uint16_t(CurrentYear());
    stageTime_ = CurrentGameTimeMs();
    shownLevel_ = StartingShownLevel(level);
    DrawRandomPick();
    subtype_ = kSubtype;
}

void LivingBuilding::SetLevel(uint8_t level) {
    level_ = level;
    shownLevel_ = StartingShownLevel(level);
    stageTime_ = CurrentGameTimeMs();
}

void LivingBuilding::Rebuild(uint8_t variant) {
    variant_ = variant;
    builtYear_ = uint16_t(CurrentYear());
}

void LivingBuilding::Update(uint32_t gameTimeMs) {
    if (shownLevel_ >= level_)
        return;
    const CityGrowingConfigRow* config = CityGrowingConfigTable::Find(0);
    const float stageLength = config ? float(config->OneLevelBuildingTime) : 0.0f;
    if (!(float(stageTime_) + stageLength < float(gameTimeMs)))
        return;
    // From the fourth stage on a house is finished at once.
    if (shownLevel_ >= 4 && shownLevel_ < 255)
        shownLevel_ = level_;
    else
        ++shownLevel_;
    stageTime_ = gameTimeMs;
    if (StaticServices().requestObjectRedraw)
        StaticServices().requestObjectRedraw();
}

void LivingBuilding::Serialize() {
    Building::Serialize();
    TransferTagList(kTags, [this](uint32_t tag) {
        if (tag != kTagHouse)
            return;
        TransferPackedSized<kHouseBytes>(
            [this](uint8_t* bytes) {
                bytes[0] = level_;
                bytes[1] = variant_;
                bytes[2] = style_;
                bytes[3] = town_;
                plat::StoreLE32(bytes + 4, stageTime_);
                bytes[8] = shownLevel_;
                plat::StoreLE16(bytes + 9, builtYear_);
            },
            [this](const uint8_t* bytes) {
                level_ = bytes[0];
                variant_ = bytes[1];
                style_ = bytes[2];
                town_ = bytes[3];
                stageTime_ = plat::LoadLE32(bytes + 4);
                shownLevel_ = bytes[8];
                builtYear_ = plat::LoadLE16(bytes + 9);
            });
    });
}

uint32_t LivingBuilding::GetHighlight() const {
    const MapObject* town = TownObject(town_);
    return town ? town->GetHighlight() : highlighted_;
}

void LivingBuilding::SetHighlight(uint32_t value) {
    if (MapObject* town = TownObject(town_))
        town->SetHighlight(value);
    else
        highlighted_ = value;
}

SpriteRef LivingBuilding::GetGraphic() const {
    if (shownLevel_ != level_) {
        SpriteRef stage{15, shownLevel_, 0};
        stage.colourFolder = kStageFolder;
        return stage;
    }
    SpriteRef sprite{15, int32_t(level_) - 1, variant_};
    sprite.colourFolder = style_;
    return sprite;
}

int32_t LivingBuilding::GetHousePopulation() const {
    const LivingBuildingRow* row = LivingBuildingTable::Find(style_);
    return row ? row->Population.IntCell(0, uint32_t(level_) - 1u) : -1;
}

int32_t LivingBuilding::GetHouseDemolitionCost() const {
    const LivingBuildingRow* row = LivingBuildingTable::Find(style_);
    if (!row || level_ < 1 || level_ > 6)
        return 0;
    return row->DemolitionCost.IntCell(0, uint32_t(level_) - 1u);
}

void SetMapGeneratorFlag(bool growing) {
    growingHouses = growing;
}

bool GetMapGeneratorFlag() {
    return growingHouses;
}

int32_t GetLivingBuildingValue(int32_t row, uint32_t i, uint32_t j) {
    const LivingBuildingRow* record = LivingBuildingTable::Find(row);
    if (!record || i >= record->Counters.size() || j >= record->Counters[i].size())
        return 0;
    return record->Counters[i][j];
}

void CountLivingBuildingVariants() {
    const auto& hasFrame = StaticServices().hasFrameFile;
    const int32_t rows = LivingBuildingTable::RowCount();
    for (int32_t style = 0; style < rows; ++style) {
        LivingBuildingRow* row = LivingBuildingTable::FindMutable(style);
        if (!row)
            continue;
        for (uint32_t level = 0; level < 4; ++level) {
            int32_t count = 0;
            for (uint32_t frame = 0; frame < kMaxVariantFrames && hasFrame; ++frame) {
                SpriteRef sprite{15, int32_t(level), int32_t(frame)};
                sprite.colourFolder = style;
                if (hasFrame(sprite))
                    ++count;
            }
            row->Counters[0][level] = count;
        }
    }
}
