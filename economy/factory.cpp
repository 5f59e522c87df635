#include "economy/factory.h"

#include "data/generated/economy_tables.h"
#include "data/generated/terrain_tables.h"
#include "economy/city.h"
#include "files/chunk_stream.h"
#include "platform/endian.h"
#include "world/game_clock.h"
#include "world/object_manager.h"
#include "world/packed_field.h"
#include "world/prices.h"
#include "world/world_map.h"

#include <cmath>
#include <cstring>
#include <vector>

namespace {

constexpr uint32_t kTagLayout = ChunkTag("fac4");
constexpr uint32_t kTagName = ChunkTag("fac9");
constexpr uint32_t kTags[] = {kTagLayout, kTagName};
constexpr uint32_t kLayoutBytes = 36;
// The longest name a loaded factory keeps.
constexpr size_t kMaxFactoryName = 255;
// A factory is named after its town with one of these.
constexpr const char* kNameEndings[] = {"Works", "Mill",    "Yard",   "Fields",
                                        "Depot", "Landing", "Hollow", "Reach"};
constexpr uint32_t kMaxNameNumber = 1000;

std::vector<Factory*> AllFactories() {
    return BuildingsOf<Factory>(kFactorySubtype);
}

int32_t Distance(int32_t x0, int32_t y0, int32_t x1, int32_t y1) {
    float dx = float(x0 - x1), dy = float(y0 - y1);
    return int32_t(std::sqrt(dx * dx + dy * dy));
}

bool NameTaken(const std::string& name, int32_t kind, const Factory* self) {
    for (const Factory* other : AllFactories())
        if (other != self && other->GetFactoryTyp() != kTownCentreFactoryKind &&
            other->GetFactoryTyp() == kind && other->GetName() == name)
            return true;
    return false;
}

} // namespace

Factory::Factory() = default;

int32_t Factory::GetFactoryTyp() const {
    const FactoryRow* row = FactoryTable::Find(typeIndex_);
    if (row)
        return row->FactoryTyp;
    return typeIndex_ == kTownCentreFactoryType ? kTownCentreFactoryKind : 0;
}

void Factory::SetLayout(uint32_t layoutVariant, int32_t layoutRow) {
    layoutVariant_ = layoutVariant;
    size_ = layoutRow;
}

void Factory::FinishSetup() {
    const GameClock* clock = GetGameClock();
    foundingYear_ = clock ? clock->GetCurrentYear() : kFirstYear;
    MakeName();
}

void Factory::MakeName() {
    const FactoryRow* row = FactoryTable::Find(typeIndex_);
    const int32_t kind = GetFactoryTyp();
    const int32_t town = NearestTown(x_ + width_ / 2, y_ + height_ / 2);
    const City* city = GetCity(town);
    if (!city) {
        uint32_t count = 0;
        for (const Factory* other : AllFactories())
            count += other->GetTypeIndex() == typeIndex_ ? 1 : 0;
        name_ = (row ? row->Name : std::string("Factory")) + " " + std::to_string(count);
        return;
    }
    std::string townName = city->GetName().empty() ? "City " + std::to_string(town) : city->GetName();
    if (kind == kTownCentreFactoryKind) {
        name_ = townName;
        return;
    }
    for (const char* ending : kNameEndings) {
        std::string candidate = townName + " " + ending;
        if (!NameTaken(candidate, kind, this)) {
            name_ = candidate;
            return;
        }
    }
    std::string candidate;
    for (uint32_t n = 2; n <= kMaxNameNumber; ++n) {
        candidate = townName + " " + kNameEndings[n % std::size(kNameEndings)] + " " + std::to_string(n);
        if (!NameTaken(candidate, kind, this))
            break;
    }
    name_ = candidate;
}

void Factory::Serialize() {
    Building::Serialize();
    TransferTagList(kTags, [this](uint32_t tag) {
        if (tag == kTagLayout) {
            TransferPackedSized<kLayoutBytes>(
                [this](uint8_t* b) {
                    plat::StoreLE32(b, layoutVariant_);
                    plat::StoreLE32(b + 4, uint32_t(linkValue_));
                    plat::StoreLE32(b + 8, uint32_t(size_));
                    plat::StoreLE32(b + 12, stageStart_);
                    plat::StoreLE32(b + 16, stageCheckTime_);
                    b[20] = growthState_;
                    b[21] = animFrame_;
                    uint32_t bits = 0;
                    std::memcpy(&bits, &eventFactor_, 4);
                    plat::StoreLE32(b + 24, bits);
                    plat::StoreLE32(b + 28, uint32_t(eventProduct_));
                    plat::StoreLE32(b + 32, foundingYear_);
                },
                [this](const uint8_t* b) {
                    layoutVariant_ = plat::LoadLE32(b);
                    linkValue_ = int32_t(plat::LoadLE32(b + 4));
                    size_ = int32_t(plat::LoadLE32(b + 8));
                    stageStart_ = plat::LoadLE32(b + 12);
                    stageCheckTime_ = plat::LoadLE32(b + 16);
                    growthState_ = b[20];
                    animFrame_ = b[21];
                    uint32_t bits = plat::LoadLE32(b + 24);
                    std::memcpy(&eventFactor_, &bits, 4);
                    if (!std::isfinite(eventFactor_))
                        eventFactor_ = 1.0f;
                    eventProduct_ = int32_t(plat::LoadLE32(b + 28));
                    foundingYear_ = plat::LoadLE32(b + 32);
                });
        } else if (tag == kTagName) {
            SerializeString(name_);
            if (name_.size() > kMaxFactoryName)
                name_.resize(kMaxFactoryName);
        }
    });
}

void Factory::GetDebugText(std::string& out) const {
    out = name_ + " (type " + std::to_string(typeIndex_) + ", kind " + std::to_string(GetFactoryTyp()) + ")";
}

void RenameAllFactories() {
    std::vector<Factory*> factories = AllFactories();
    for (Factory* factory : factories)
        factory->ClearName();
    for (Factory* factory : factories)
        factory->MakeName();
}

bool FactoryPlacingTest(int32_t x, int32_t y, int32_t placingType) {
    const FactoryPlacingTypesRow* row = FactoryPlacingTypesTable::Find(placingType);
    if (!row)
        return true;
    WorldMap& map = GetWorldMap();
    if (row->NeedsTrees != -1) {
        const int64_t r = std::max(0, row->TreeRadius);
        int64_t trees = 0;
        for (int64_t ty = int64_t(y) - r; ty <= int64_t(y) + r; ++ty) {
            for (int64_t tx = int64_t(x) - r; tx <= int64_t(x) + r; ++tx) {
                if (tx < 0 || ty < 0 || !map.InMap(uint32_t(tx), uint32_t(ty)))
                    continue;
                const WorldCell& cell = *map.CellAt(uint32_t(tx), uint32_t(ty));
                if (cell.Kind() == kCellDecoration && ((cell.word1 & decoration_bits::kOriginBit) ||
                                                       (cell.word1 >> decoration_bits::kColumnShift) == 0))
                    ++trees;
            }
        }
        if (trees < row->NeedsTrees)
            return false;
    }
    if (x < 0 || y < 0 || !map.InMap(uint32_t(x), uint32_t(y)))
        return true;
    int32_t terrainType = map.GetTerrainType(uint32_t(x), uint32_t(y));
    return terrainType < 0 || row->NeedsTerrain.IntCell(0, uint32_t(terrainType)) != 0;
}

bool FactoryFarEnoughFromTown(int32_t x, int32_t y, int32_t factoryType) {
    const City* city = GetCity(NearestTown(x, y));
    if (!city)
        return true;
    const FactoryRow* row = FactoryTable::Find(factoryType);
    int32_t minimum = row ? row->MinimumDistanceToCity : 0;
    return Distance(x, y, city->GetCentreX(), city->GetCentreY()) >= minimum;
}

bool FactoryOfTypeWithin(int32_t x, int32_t y, int32_t factoryType, int32_t distance) {
    for (const Factory* factory : AllFactories()) {
        if (factoryType != -1 && factory->GetTypeIndex() != factoryType)
            continue;
        if (Distance(x, y, factory->GetX(), factory->GetY()) < distance)
            return true;
    }
    return false;
}

void DeleteFactoriesButTownCentres() {
    std::vector<ObjectHandle> doomed;
    for (const Factory* factory : AllFactories())
        if (factory->GetFactoryTyp() != kTownCentreFactoryKind &&
            factory->GetTypeIndex() != kTownCentreFactoryType)
            doomed.push_back(factory->GetId());
    for (ObjectHandle id : doomed)
        DeleteMapObject(id);
}

void UpdateProductsInUse() {
    ClearProductFlags();
    for (const Factory* factory : AllFactories()) {
        const FactoryRow* row = FactoryTable::Find(factory->GetTypeIndex());
        if (!row)
            continue;
        for (uint32_t r = 0; r < row->ProduceProduct.RowCount(); ++r) {
            int32_t product = row->ProduceProduct.IntCell(0, r);
            if (product == -1)
                break;
            if (product >= 0 && uint32_t(product) < kProductFlagCount)
                SetProductFlag(uint32_t(product));
        }
    }
}
