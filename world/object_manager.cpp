#include "world/object_manager.h"

#include "files/chunk_stream.h"
#include "files/chunk_transfer.h"
#include "platform/endian.h"
#include "world/building.h"
#include "world/catchment_parties.h"
#include "world/span_piece.h"
#include "world/special_track.h"
#include "world/static_objects.h"
#include "world/world.h"
#include "world/world_errors.h"

#include <algorithm>
#include <cstdio>
#include <functional>
#include <map>
#include <queue>
#include <string>
#include <utility>

namespace {

constexpr uint32_t kGrowBy = 10;
constexpr uint32_t kMaxSlots = kObjectIndexMask; // indices 1..0x7FFFF
constexpr int32_t kMaxBuildingSubtype = 10;
constexpr int32_t kMaxMovingSubtype = 4;
constexpr int32_t kWalkerSubtype = 3;

// An object of a class that a later subsystem supplies: it carries the
// base chunks of its family and its kind, nothing more.
class StandInObject : public MapObject {
public:
    StandInObject(int32_t category, int32_t subtype, bool saved)
        : MapObject(category, subtype), saved_(saved) {}
    bool IsSaved() const override { return saved_; }

private:
    bool saved_;
};

class StandInBuilding : public Building {
public:
    explicit StandInBuilding(int32_t subtype) : Building(subtype) {}
};

struct CategoryList {
    std::vector<std::unique_ptr<MapObject>> slots;
    // Candidates for the lowest free slot; an entry whose slot has been
    // filled since is dropped when it comes up.
    std::priority_queue<uint32_t, std::vector<uint32_t>, std::greater<uint32_t>> freeSlots;

    void Resize(size_t size) {
        size_t old = slots.size();
        slots.resize(size);
        for (size_t i = old; i < size; ++i)
            freeSlots.push(uint32_t(i));
    }
    void Clear() {
        std::vector<std::unique_ptr<MapObject>>().swap(slots);
        freeSlots = {};
    }
};

// The current world's lists; its world deletes the objects while the tile
// map that their destructors touch is still whole.
struct ObjectLists final : WorldPart {
    static constexpr WorldPartId kPartId = WorldPartId::Objects;
    std::array<CategoryList, kObjectCategoryCount> lists;
};

std::array<CategoryList, kObjectCategoryCount>& Lists() {
    return CurrentWorld().Part<ObjectLists>().lists;
}

std::map<std::pair<int32_t, int32_t>, MapObjectConstructor>& Registry() {
    return CurrentWorld().objectClasses;
}

std::unique_ptr<MapObject> ConstructDefault(int32_t category, int32_t subtype) {
    if (std::unique_ptr<MapObject> object = ConstructStaticObject(category, subtype))
        return object;
    switch (category) {
    case kCategoryPlain:
        return std::make_unique<MapObject>();
    case kCategoryBuilding:
        switch (subtype) {
        case 0:
            return std::make_unique<Building>();
        case kFactorySubtype:
            return std::make_unique<FactoryBase>();
        case kStationSubtype:
            return std::make_unique<StationBase>();
        case kSpecialTrackSubtype:
            return std::make_unique<SpecialTrackBase>();
        default:
            return std::make_unique<StandInBuilding>(subtype);
        }
    case kCategoryMoving:
        return std::make_unique<StandInObject>(category, subtype, subtype != kWalkerSubtype);
    case kCategorySpan:
        return std::make_unique<SpanPiece>();
    default:
        return nullptr;
    }
}

std::unique_ptr<MapObject> Construct(int32_t category, int32_t subtype) {
    auto& registry = Registry();
    auto it = registry.find({category, subtype});
    if (it == registry.end())
        it = registry.find({category, -1});
    if (it != registry.end() && it->second)
        return it->second(subtype);
    return ConstructDefault(category, subtype);
}

// The slot an id names: its category's list and index, or false.
bool SlotOf(ObjectHandle id, uint32_t& category, uint32_t& slot) {
    category = id >> kObjectIndexBits;
    uint32_t index = id & kObjectIndexMask;
    if (category >= uint32_t(kObjectCategoryCount) || index == 0)
        return false;
    slot = index - 1;
    return true;
}

void PassOverBuildings(const std::function<void(MapObject&)>& call) {
    auto& list = Lists()[kCategoryBuilding].slots;
    for (size_t i = 0; i < list.size(); ++i)
        if (MapObject* object = list[i].get())
            call(*object);
}

} // namespace

void RegisterMapObjectClass(int32_t category, int32_t subtype, MapObjectConstructor constructor) {
    Registry()[{category, subtype}] = std::move(constructor);
}

bool IsKnownObjectKind(int32_t category, int32_t subtype) {
    switch (category) {
    case kCategoryPlain:
    case kCategorySpan:
        return true;
    case kCategoryBuilding:
        return subtype >= 0 && subtype <= kMaxBuildingSubtype;
    case kCategoryMoving:
        return subtype >= 0 && subtype <= kMaxMovingSubtype;
    default:
        return false;
    }
}

MapObject* CreateMapObject(int32_t category, int32_t subtype, ObjectHandle id) {
    if (!IsKnownObjectKind(category, subtype))
        return nullptr;
    CategoryList& list = Lists()[size_t(category)];
    uint32_t slot;
    if (id == 0xFFFFFFFFu) {
        while (!list.freeSlots.empty() && list.slots[list.freeSlots.top()])
            list.freeSlots.pop();
        if (list.freeSlots.empty()) {
            if (list.slots.size() >= kMaxSlots)
                return nullptr;
            list.Resize(std::min<size_t>(list.slots.size() + kGrowBy, kMaxSlots));
        }
        slot = list.freeSlots.top();
        list.freeSlots.pop();
    } else {
        uint32_t idCategory;
        if (!SlotOf(id, idCategory, slot) || idCategory != uint32_t(category))
            return nullptr;
        if (slot < list.slots.size() && list.slots[slot])
            return nullptr;
        if (slot >= list.slots.size()) {
            list.slots.reserve(std::max(size_t(slot) + 32, list.slots.capacity() * 3 / 2));
            list.Resize(size_t(slot) + 1);
        }
    }
    std::unique_ptr<MapObject> object = Construct(category, subtype);
    if (!object)
        return nullptr;
    object->AssignId(MakeObjectHandle(uint32_t(category), slot));
    list.slots[slot] = std::move(object);
    return list.slots[slot].get();
}

MapObject* MapObjectFromId(ObjectHandle id) {
    uint32_t category, slot;
    if (!SlotOf(id, category, slot))
        return nullptr;
    auto& list = Lists()[category].slots;
    return slot < list.size() ? list[slot].get() : nullptr;
}

MapObject* BuildingFromId(ObjectHandle id) {
    return (id >> kObjectIndexBits) == uint32_t(kCategoryBuilding) ? MapObjectFromId(id) : nullptr;
}

MapObject* MovingObjectFromId(ObjectHandle id) {
    return (id >> kObjectIndexBits) == uint32_t(kCategoryMoving) ? MapObjectFromId(id) : nullptr;
}

void DeleteMapObject(ObjectHandle id) {
    uint32_t category, slot;
    if (!SlotOf(id, category, slot))
        return;
    CategoryList& list = Lists()[category];
    if (slot >= list.slots.size() || !list.slots[slot])
        return;
    // The slot is empty before the destructor runs, which may delete others.
    std::unique_ptr<MapObject> doomed = std::move(list.slots[slot]);
    list.freeSlots.push(slot);
    doomed.reset();
}

void DeleteAllMapObjects() {
    for (CategoryList& list : Lists()) {
        for (size_t i = 0; i < list.slots.size(); ++i) {
            std::unique_ptr<MapObject> doomed = std::move(list.slots[i]);
            doomed.reset();
        }
        list.Clear();
    }
}

void GetMapObjects(std::vector<MapObject*>& out, uint32_t mode, int32_t category, int32_t subtype,
                   int32_t owner) {
    std::vector<MapObject*>().swap(out);
    if (category < 0 || category >= kObjectCategoryCount)
        return;
    for (const auto& slot : Lists()[size_t(category)].slots) {
        MapObject* object = slot.get();
        if (!object)
            continue;
        if ((mode & kSelectCategory) && object->GetCategory() != category)
            continue;
        if ((mode & kSelectSubtype) && object->GetSubtype() != subtype)
            continue;
        if ((mode & kSelectOwner) && object->GetOwner() != owner)
            continue;
        out.push_back(object);
    }
}

uint32_t MapObjectSlotCount(int32_t category) {
    if (category < 0 || category >= kObjectCategoryCount)
        return 0;
    return uint32_t(Lists()[size_t(category)].slots.size());
}

void UpdateBuildingsPeriod() {
    PassOverBuildings([](MapObject& o) { o.OnNewPeriod(); });
}
void UpdateBuildingsMonth() {
    PassOverBuildings([](MapObject& o) { o.OnNewMonth(); });
}
void UpdateBuildingsYear() {
    PassOverBuildings([](MapObject& o) { o.OnNewYear(); });
}
void UpdateBuildings(uint32_t gameTimeMs) {
    PassOverBuildings([gameTimeMs](MapObject& o) { o.Update(gameTimeMs); });
}
void ClearAllBuildingHighlights() {
    PassOverBuildings([](MapObject& o) { o.SetHighlight(0); });
}

namespace {

constexpr uint32_t kRecordSize = 12;

struct ObjectRecord {
    uint32_t id = 0;
    int32_t category = 0;
    int32_t subtype = 0;
};

void TransferRecord(ObjectRecord& r) {
    Transfer(r.id);
    Transfer(r.category);
    Transfer(r.subtype);
}

bool RefuseObjects(std::string reason) {
    ReportWorldError("object section refused: " + reason);
    DeleteAllMapObjects();
    return false;
}

template <class Fn>
void ForEachSavedObject(Fn&& fn) {
    for (CategoryList& list : Lists())
        for (size_t i = 0; i < list.slots.size(); ++i)
            if (MapObject* object = list.slots[i].get(); object && object->IsSaved())
                fn(*object);
}

} // namespace

bool SaveMapObjects() {
    uint32_t tag = ChunkTag("anz");
    BeginChunk(tag);
    uint8_t counts[16];
    for (int32_t c = 0; c < kObjectCategoryCount; ++c)
        plat::StoreLE32(counts + 4 * c, MapObjectSlotCount(c));
    TransferSized(counts, sizeof counts);
    EndChunk();

    tag = ChunkTag("objs");
    BeginChunk(tag);
    std::vector<ObjectRecord> records;
    ForEachSavedObject([&](MapObject& o) {
        records.push_back({o.GetId(), o.GetCategory(), o.GetSubtype()});
    });
    TransferList(records, kRecordSize, TransferRecord);
    EndChunk();

    ForEachSavedObject([](MapObject& object) { object.Save(); });
    return !StreamFailed();
}

bool LoadMapObjects() {
    std::vector<ObjectRecord> records;
    for (int step = 0; step < 2; ++step) {
        uint32_t tag = 0;
        BeginChunk(tag);
        if (tag == ChunkTag("anz")) {
            uint8_t counts[16] = {};
            TransferSized(counts, sizeof counts);
            for (int32_t c = 0; c < kObjectCategoryCount; ++c) {
                uint32_t n = plat::LoadLE32(counts + 4 * c);
                if (n > kMaxSlots) {
                    EndChunk();
                    return RefuseObjects("category " + std::to_string(c) + " claims " + std::to_string(n) +
                                         " slots");
                }
                Lists()[size_t(c)].Resize(std::max<size_t>(n, Lists()[size_t(c)].slots.size()));
            }
        } else if (tag == ChunkTag("objs")) {
            TransferList(records, kRecordSize, TransferRecord);
        }
        EndChunk();
        if (tag == 0)
            break;
    }
    if (StreamFailed())
        return RefuseObjects("the object list is damaged: " + StreamError());

    for (const ObjectRecord& r : records) {
        if (r.id == 0)
            continue;
        char text[96];
        std::snprintf(text, sizeof text, "id 0x%X (category %d, subtype %d)", r.id, r.category, r.subtype);
        if ((r.id & kObjectIndexMask) == 0)
            return RefuseObjects(std::string(text) + " has index 0");
        if ((r.id >> kObjectIndexBits) != uint32_t(r.category) || !IsKnownObjectKind(r.category, r.subtype))
            return RefuseObjects(std::string(text) + " names no object kind");
        if (MapObjectFromId(r.id))
            return RefuseObjects(std::string(text) + " is listed twice");
        if (!CreateMapObject(r.category, r.subtype, r.id))
            return RefuseObjects(std::string(text) + " cannot be created");
    }
    for (CategoryList& list : Lists())
        for (size_t i = 0; i < list.slots.size(); ++i)
            if (MapObject* object = list.slots[i].get())
                object->Load();
    if (StreamFailed())
        return RefuseObjects("an object's chunks are damaged: " + StreamError());
    return true;
}
