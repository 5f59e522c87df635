// A factory's chunks "fac1" to "fac9" in a saved game, with the checks of
// what was loaded.
#include "data/generated/economy_tables.h"
#include "economy/city.h"
#include "economy/factory.h"
#include "economy/factory_types.h"
#include "files/chunk_stream.h"
#include "files/chunk_transfer.h"
#include "platform/endian.h"
#include "world/packed_field.h"
#include "world/world_warnings.h"

#include <cmath>
#include <cstring>

namespace {

constexpr uint32_t kTags[] = {ChunkTag("fac1"), ChunkTag("fac2"), ChunkTag("fac3"),
                              ChunkTag("fac4"), ChunkTag("fac5"), ChunkTag("fac6"),
                              ChunkTag("fac7"), ChunkTag("fac8"), ChunkTag("fac9")};
constexpr uint32_t kLayoutBytes = 36;
// The longest name a loaded factory keeps.
constexpr size_t kMaxFactoryName = 255;
// More fields than this come from a damaged file.
constexpr uint32_t kMaxFieldStages = 1024;

bool Loading() {
    return StreamMode() == kStreamLoad;
}

// A stored count bounded by the entries the rest of the chunk can hold.
uint32_t BoundedCount(uint32_t count, uint32_t entryBytes, const char* what) {
    const uint32_t room = ChunkBytesLeft() / entryBytes;
    if (Loading() && count > room) {
        WorldWarning("factory: %u %s announced, room for %u", count, what, room);
        return room;
    }
    return count;
}

void TransferWaiting(std::map<ObjectHandle, uint32_t>& waiting, const char* what) {
    uint32_t count = uint32_t(waiting.size());
    Transfer(count);
    if (!Loading()) {
        for (const auto& entry : waiting) {
            uint32_t id = entry.first, n = entry.second;
            TransferSizedValue(id);
            TransferSizedValue(n);
        }
        return;
    }
    waiting.clear();
    count = BoundedCount(count, 16, what);
    for (uint32_t i = 0; i < count; ++i) {
        uint32_t id = 0, n = 0;
        TransferSizedValue(id);
        TransferSizedValue(n);
        waiting.emplace(id, n);
    }
}

} // namespace

void Factory::Serialize() {
    Building::Serialize();
    SerializeFactory();
    if (Loading())
        CheckLoaded();
}

void Factory::SerializeFactory() {
    TransferTagList(kTags, [this](uint32_t tag) {
        switch (tag) {
        case ChunkTag("fac1"):
            store_.Serialize();
            if (!Loading()) {
                uint32_t end = 0;
                BeginChunk(end);
                EndChunk();
            }
            break;
        case ChunkTag("fac2"):
            TransferVector(acceptedProducts_);
            break;
        case ChunkTag("fac3"): {
            uint32_t count = uint32_t(outputs_.size());
            Transfer(count);
            if (!Loading()) {
                for (auto& [p, record] : outputs_) {
                    int32_t id = p;
                    TransferSizedValue(id);
                    float values[3] = {record.reserve, record.baseAmount, record.maxAmount};
                    TransferPackedSized<12>(
                        [&](uint8_t* b) {
                            for (int i = 0; i < 3; ++i) {
                                uint32_t bits = 0;
                                std::memcpy(&bits, &values[i], 4);
                                plat::StoreLE32(b + 4 * i, bits);
                            }
                        },
                        [](const uint8_t*) {});
                }
                break;
            }
            outputs_.clear();
            count = BoundedCount(count, 24, "products made");
            for (uint32_t i = 0; i < count; ++i) {
                int32_t id = -1;
                TransferSizedValue(id);
                ProductionRecord record;
                TransferPackedSized<12>([](uint8_t*) {},
                                        [&](const uint8_t* b) {
                                            float values[3];
                                            for (int k = 0; k < 3; ++k) {
                                                uint32_t bits = plat::LoadLE32(b + 4 * k);
                                                std::memcpy(&values[k], &bits, 4);
                                                if (!std::isfinite(values[k]))
                                                    values[k] = 0.0f;
                                            }
                                            record = {values[0], values[1], values[2]};
                                        });
                outputs_.emplace(id, record);
            }
            break;
        }
        case ChunkTag("fac4"):
            TransferPackedSized<kLayoutBytes>(
                [this](uint8_t* b) {
                    plat::StoreLE32(b, layoutVariant_);
                    plat::StoreLE32(b + 4, uint32_t(linkValue_));
                    plat::StoreLE32(b + 8, uint32_t(size_));
                    plat::StoreLE32(b + 12, stageStart_);
                    plat::StoreLE32(b + 16, stageCheckTime_);
                    b[20] = growthState_;
                    b[21] = uint8_t(animFrame_);
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
                    animFrame_ = int8_t(b[21]);
                    uint32_t bits = plat::LoadLE32(b + 24);
                    std::memcpy(&eventFactor_, &bits, 4);
                    eventProduct_ = int32_t(plat::LoadLE32(b + 28));
                    foundingYear_ = plat::LoadLE32(b + 32);
                });
            break;
        case ChunkTag("fac5"):
            TransferWaiting(passengersWaiting_, "passenger destinations");
            break;
        case ChunkTag("fac6"): {
            uint32_t count = uint32_t(linkedFactories_.size());
            Transfer(count);
            if (!Loading()) {
                for (ObjectHandle id : linkedFactories_) {
                    uint32_t value = id;
                    TransferSizedValue(value);
                }
                break;
            }
            linkedFactories_.clear();
            count = BoundedCount(count, 8, "linked factories");
            for (uint32_t i = 0; i < count; ++i) {
                uint32_t id = 0;
                TransferSizedValue(id);
                linkedFactories_.insert(id);
            }
            break;
        }
        case ChunkTag("fac7"):
            TransferVector(fieldStages_);
            break;
        case ChunkTag("fac8"):
            TransferWaiting(mailWaiting_, "mail destinations");
            break;
        case ChunkTag("fac9"):
            SerializeString(name_);
            if (name_.size() > kMaxFactoryName)
                name_.resize(kMaxFactoryName);
            if (const size_t nul = name_.find('\0'); nul != std::string::npos)
                name_.resize(nul);
            break;
        default:
            break;
        }
    });
}

void Factory::CheckLoaded() {
    if (!FactoryTable::Find(typeIndex_) && typeIndex_ != kTownCentreFactoryType)
        WorldWarning("factory %08x: type %d has no Factory row; it makes and takes nothing", id_, typeIndex_);
    auto validProduct = [](int32_t p) { return p >= 0 && uint32_t(p) < kProductSetSize; };
    const size_t accepted = acceptedProducts_.size();
    std::erase_if(acceptedProducts_, [&](int32_t p) { return !validProduct(p); });
    if (acceptedProducts_.size() != accepted)
        WorldWarning("factory %08x: %zu accepted products out of range dropped", id_,
                     accepted - acceptedProducts_.size());
    for (auto it = outputs_.begin(); it != outputs_.end();) {
        if (validProduct(it->first)) {
            ++it;
            continue;
        }
        WorldWarning("factory %08x: made product %d out of range dropped", id_, it->first);
        it = outputs_.erase(it);
    }
    if (!std::isfinite(eventFactor_)) {
        WorldWarning("factory %08x: demand factor is not a number; reset", id_);
        eventFactor_ = 1.0f;
    }
    if (eventProduct_ != -1 && !validProduct(eventProduct_)) {
        WorldWarning("factory %08x: event product %d out of range; event dropped", id_, eventProduct_);
        eventProduct_ = -1;
        eventFactor_ = 1.0f;
    }
    if (growthState_ > 4) {
        WorldWarning("factory %08x: growth state %u reset", id_, growthState_);
        growthState_ = 0;
    }
    if (GetFactoryTyp() == kTownCentreFactoryKind && (linkValue_ < 0 || linkValue_ > kMaxCities)) {
        WorldWarning("factory %08x: town %d out of range", id_, linkValue_);
        linkValue_ = 0;
    }
    if (fieldStages_.size() > kMaxFieldStages) {
        WorldWarning("factory %08x: %zu fields cut to %u", id_, fieldStages_.size(), kMaxFieldStages);
        fieldStages_.resize(kMaxFieldStages);
    }
    // The fields are drawn from the layout's list: their count follows it.
    if (GetFactoryTyp() == 3) {
        const size_t columns = GetFactoryLayoutColumnCount(size_, GetSide());
        if (fieldStages_.size() != columns)
            fieldStages_.resize(columns, 0);
    }
    RebuildAfterLoad();
}
