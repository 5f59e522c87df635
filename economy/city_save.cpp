// The towns' section of a saved game: the census counters, the town count
// and indexes, then per town its raw block ("cit1"), its reserved lots
// ("cit2"), its four priority grids and its plan ("cit3"), the id of its
// town-centre factory ("cit4") and the search layers of its grids
// ("cit5"), so that a loaded game searches exactly as the saved one did.
#include "economy/city.h"

#include "economy/factory.h"
#include "files/chunk_stream.h"
#include "files/chunk_transfer.h"
#include "platform/endian.h"
#include "vehicles/private_car.h"
#include "world/object_manager.h"
#include "world/world_map.h"
#include "world/world_warnings.h"

#include <cmath>
#include <cstring>
#include <memory>
#include <set>
#include <vector>

namespace {

constexpr uint32_t kTagBlock = ChunkTag("cit1");
constexpr uint32_t kTagLots = ChunkTag("cit2");
constexpr uint32_t kTagGrids = ChunkTag("cit3");
constexpr uint32_t kTagFactory = ChunkTag("cit4");
constexpr uint32_t kTagLayers = ChunkTag("cit5");
constexpr uint32_t kTags[] = {kTagBlock, kTagLots, kTagGrids, kTagFactory, kTagLayers};
constexpr uint32_t kBlockBytes = 568;
constexpr uint32_t kNameBytes = 64;
constexpr uint32_t kCensusBytes = 20;
constexpr int32_t kMaxTownSide = 255;

bool Loading() {
    return StreamMode() == kStreamLoad;
}

} // namespace

bool City::SerializeCity() {
    bool ok = true, block = false;
    TransferTagList(kTags, [&](uint32_t tag) {
        if (!ok)
            return;
        if (tag == kTagBlock) {
            uint8_t b[kBlockBytes] = {};
            plat::StoreLE32(b, uint32_t(centreX_));
            plat::StoreLE32(b + 4, uint32_t(centreY_));
            plat::StoreLE32(b + 8, uint32_t(width_));
            plat::StoreLE32(b + 12, uint32_t(height_));
            b[18] = sizeClass_;
            plat::StoreLE32(b + 20, population_);
            plat::StoreLE32(b + 24, growthState_);
            plat::StoreLE32(b + 28, gridState_);
            plat::StoreLE32(b + 32, uint32_t(style_));
            plat::StoreLE32(b + 36, uint32_t(index_));
            plat::StoreLE64(b + 40, uint64_t(lastGridTime_));
            plat::StoreLE64(b + 48, uint64_t(growthTime_));
            std::memcpy(b + 56, name_.data(), std::min<size_t>(name_.size(), kNameBytes - 1));
            std::memcpy(b + 120, growthFactorFlags_.data(), growthFactorFlags_.size());
            b[139] = spareFlag_;
            std::memcpy(b + 140, factoryCounts_.data(), factoryCounts_.size());
            plat::StoreLE32(b + 172, specialLevel_);
            plat::StoreLE32(b + 176, specialInProgress_);
            std::memcpy(b + 180, specialBuildingCounts_.data(), specialBuildingCounts_.size());
            uint32_t bits = 0;
            std::memcpy(&bits, &speed_, 4);
            plat::StoreLE32(b + 436, bits);
            for (size_t i = 0; i < styleValues_.size(); ++i)
                plat::StoreLE32(b + 440 + 4 * i, styleValues_[i]);
            std::memcpy(b + 496, reserved_.data(), reserved_.size());
            std::memcpy(b + 548, serviceFlags_.data(), serviceFlags_.size());
            b[567] = roadUpgradeDone_;
            if (TransferSized(b, kBlockBytes) != 4 + kBlockBytes) {
                WorldWarning("towns: the record of town %d is short", index_);
                ok = false;
                return;
            }
            if (!Loading())
                return;
            centreX_ = int32_t(plat::LoadLE32(b));
            centreY_ = int32_t(plat::LoadLE32(b + 4));
            width_ = int32_t(plat::LoadLE32(b + 8));
            height_ = int32_t(plat::LoadLE32(b + 12));
            sizeClass_ = b[18];
            population_ = plat::LoadLE32(b + 20);
            growthState_ = plat::LoadLE32(b + 24);
            gridState_ = plat::LoadLE32(b + 28);
            style_ = int32_t(plat::LoadLE32(b + 32));
            const int32_t storedIndex = int32_t(plat::LoadLE32(b + 36));
            lastGridTime_ = int64_t(plat::LoadLE64(b + 40));
            growthTime_ = int64_t(plat::LoadLE64(b + 48));
            const char* name = reinterpret_cast<const char*>(b + 56);
            name_.assign(name, strnlen(name, kNameBytes - 1));
            std::memcpy(growthFactorFlags_.data(), b + 120, growthFactorFlags_.size());
            spareFlag_ = b[139];
            std::memcpy(factoryCounts_.data(), b + 140, factoryCounts_.size());
            specialLevel_ = plat::LoadLE32(b + 172);
            specialInProgress_ = plat::LoadLE32(b + 176);
            std::memcpy(specialBuildingCounts_.data(), b + 180, specialBuildingCounts_.size());
            bits = plat::LoadLE32(b + 436);
            std::memcpy(&speed_, &bits, 4);
            for (size_t i = 0; i < styleValues_.size(); ++i)
                styleValues_[i] = plat::LoadLE32(b + 440 + 4 * i);
            std::memcpy(reserved_.data(), b + 496, reserved_.size());
            std::memcpy(serviceFlags_.data(), b + 548, serviceFlags_.size());
            roadUpgradeDone_ = b[567];
            // The centre must lie on the map, which is loaded before the
            // towns; the town's sums around it then stay far from overflow.
            const WorldMap& map = GetWorldMap();
            if (centreX_ < 0 || centreY_ < 0 || uint32_t(centreX_) >= map.GetWidth() ||
                uint32_t(centreY_) >= map.GetHeight()) {
                WorldWarning("towns: the centre (%d, %d) of town %d lies off the %u x %u map", centreX_,
                             centreY_, index_, map.GetWidth(), map.GetHeight());
                ok = false;
                return;
            }
            if (storedIndex != index_ || width_ < 1 || height_ < 1 || width_ > kMaxTownSide ||
                height_ > kMaxTownSide || width_ % 2 == 0 || height_ % 2 == 0 || sizeClass_ > 5 ||
                !std::isfinite(speed_) || speed_ < 0.0f) {
                WorldWarning("towns: the record of town %d does not hold together", index_);
                ok = false;
                return;
            }
            block = true;
            SizeTileData();
        } else if (tag == kTagLots) {
            std::vector<uint8_t> lots = reservedLots_;
            TransferVector(lots);
            if (!Loading())
                return;
            bool sound = block && lots.size() == size_t(width_) * size_t(height_);
            for (size_t i = 0; i < lots.size() && sound; ++i)
                sound = lots[i] <= kMaxHouseLevel;
            if (!sound) {
                WorldWarning("towns: the reserved lots of town %d are damaged, none are kept", index_);
                std::fill(reservedLots_.begin(), reservedLots_.end(), uint8_t(0));
                return;
            }
            reservedLots_ = std::move(lots);
        } else if (tag == kTagGrids) {
            if (Loading() && !block) {
                WorldWarning("towns: the grids of town %d come before its record", index_);
                ok = false;
                return;
            }
            for (CitySiteGrid& grid : grids_)
                ok = ok && grid.Transfer(uint32_t(width_), uint32_t(height_));
            ok = ok && plan_.Transfer(uint32_t(width_), uint32_t(height_));
            if (Loading() && ok)
                SizeTileData();
        } else if (tag == kTagFactory) {
            uint8_t b[4] = {};
            plat::StoreLE32(b, centreFactory_);
            TransferSized(b, 4);
            if (!Loading())
                return;
            const uint32_t id = plat::LoadLE32(b);
            // Only a town-centre factory can be a town's own.
            auto* factory = dynamic_cast<Factory*>(BuildingFromId(id));
            centreFactory_ = factory && factory->GetTypeIndex() == kTownCentreFactoryType ? id : 0;
            if (centreFactory_ == 0)
                WorldWarning("towns: town %d names %08x, which is no town-centre factory", index_, id);
        } else if (tag == kTagLayers) {
            if (Loading() && !block)
                return;
            for (CitySiteGrid& grid : grids_)
                grid.TransferLayers();
        }
    });
    if (Loading() && ok) {
        if (!block) {
            WorldWarning("towns: town %d has no record", index_);
            return false;
        }
        SizeTileData();
        if (centreFactory_ == 0) {
            CreateCentreFactory();
            WorldWarning("towns: town %d gets a new town-centre factory", index_);
        }
    }
    return ok && !StreamFailed();
}

bool SaveCities() {
    const std::array<uint32_t, 5>& census = CityCensus();
    uint8_t counters[kCensusBytes] = {};
    for (uint32_t level = 1; level <= 4; ++level)
        plat::StoreLE32(counters + 4 * (level - 1), census[level]);
    plat::StoreLE32(counters + 16, census[0]);
    TransferInChunk(counters, kCensusBytes);
    std::vector<uint32_t> indexes;
    for (int32_t i = 1; i <= GetCityCount(); ++i)
        if (GetCity(i))
            indexes.push_back(uint32_t(i));
    uint32_t count = uint32_t(indexes.size());
    Transfer(count);
    TransferVector(indexes);
    for (uint32_t index : indexes)
        if (!GetCity(int32_t(index))->SerializeCity())
            return false;
    SerializePrivateCarTable();
    return !StreamFailed();
}

bool LoadCities() {
    // Saves made before towns existed hold an empty section.
    if (ChunkBytesLeft() == 0) {
        DeleteAllCities();
        return true;
    }
    uint8_t counters[kCensusBytes] = {};
    uint32_t count = 0xFFFFFFFFu;
    std::vector<uint32_t> indexes;
    if (TransferInChunk(counters, kCensusBytes) != kCensusBytes || Transfer(count) != 4 ||
        count == 0xFFFFFFFFu || count > uint32_t(kMaxCities) || TransferVector(indexes) == 0 ||
        indexes.size() != count) {
        WorldWarning("towns: the town section is damaged");
        return false;
    }
    std::set<uint32_t> seen;
    for (uint32_t index : indexes) {
        if (index < 1 || index > uint32_t(kMaxCities) || !seen.insert(index).second) {
            WorldWarning("towns: town index %u is out of range or repeated", index);
            return false;
        }
    }
    // Towns still in the table belong to the world before the load; their
    // factory ids may name loaded objects now, which must stay.
    for (int32_t i = 1; i <= GetCityCount(); ++i)
        if (City* city = GetCity(i))
            city->centreFactory_ = 0;
    DeleteAllCities();
    std::array<uint32_t, 5>& census = CityCensus();
    for (uint32_t level = 1; level <= 4; ++level)
        census[level] = plat::LoadLE32(counters + 4 * (level - 1));
    census[0] = plat::LoadLE32(counters + 16);
    for (uint32_t index : indexes) {
        auto city = std::make_unique<City>();
        city->index_ = int32_t(index);
        City* loaded = city.get();
        if (!AddCity(std::move(city), int32_t(index)))
            return false;
        // A town that does not load leaves the table: its fields may be
        // anything.
        if (!loaded->SerializeCity()) {
            DeleteCity(int32_t(index));
            return false;
        }
    }
    // Saves made before the cars' record end with the towns.
    if (ChunkBytesLeft() > 0)
        SerializePrivateCarTable();
    return !StreamFailed();
}
