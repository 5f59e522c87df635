// The base of everything that stands or moves on the map: an object id,
// category and subtype, a tile position, a type row, an owner and a
// highlight flag, with the hooks that the object manager, the calendar and
// the catchment passes call.
#pragma once

#include <cstdint>
#include <string>

using ObjectHandle = uint32_t;

inline constexpr uint32_t kObjectIndexBits = 19;
inline constexpr uint32_t kObjectIndexMask = (1u << kObjectIndexBits) - 1;
inline constexpr int32_t kObjectCategoryCount = 4;
inline constexpr int32_t kNeutralOwner = 4;

inline constexpr ObjectHandle MakeObjectHandle(uint32_t category, uint32_t slot) {
    return (category << kObjectIndexBits) | (slot + 1);
}

enum ObjectCategory : int32_t {
    kCategoryPlain = 0,
    kCategoryBuilding = 1,
    kCategoryMoving = 2,
    kCategorySpan = 3,
};

class MapObject {
public:
    MapObject() = default;
    MapObject(int32_t category, int32_t subtype) : category_(category), subtype_(subtype) {}
    virtual ~MapObject() = default;
    MapObject(const MapObject&) = delete;
    MapObject& operator=(const MapObject&) = delete;

    // Calendar and time hooks, called on every building.
    virtual void OnNewPeriod() {}
    virtual void OnNewMonth() {}
    virtual void OnNewYear() {}
    virtual void Update(uint32_t gameTimeMs) { (void)gameTimeMs; }

    // Transfers the object's chunks through the current stream, both
    // directions: the base's "gob1" first, then each class's own.
    virtual void Serialize() { SerializeOwnChunk(); }
    void Load() { Serialize(); }
    void Save() { Serialize(); }
    virtual void SerializeOwnChunk();

    virtual void FinishSetup() {}
    virtual void AddCatchmentLink(ObjectHandle building) { (void)building; }
    virtual void LinkNeighbourStation(ObjectHandle station) { (void)station; }
    virtual void RemoveCatchmentLink(ObjectHandle building) { (void)building; }
    // Sets the value of a link to a building the object already serves.
    virtual void SetCatchmentLinkValue(ObjectHandle building, uint32_t value) { (void)building, (void)value; }
    virtual uint32_t GetHighlight() const { return highlighted_; }
    virtual void SetHighlight(uint32_t value) { highlighted_ = value; }
    virtual bool IsSaved() const { return true; }

    ObjectHandle GetId() const { return id_; }
    int32_t GetCategory() const { return category_; }
    int32_t GetSubtype() const { return subtype_; }
    void GetPosition(int32_t& x, int32_t& y) const {
        x = x_;
        y = y_;
    }
    int32_t GetX() const { return x_; }
    int32_t GetY() const { return y_; }
    void SetPosition(int32_t x, int32_t y) {
        x_ = x;
        y_ = y;
    }
    void SetTypeIndex(const int32_t& value) { typeIndex_ = value; }
    int32_t GetTypeIndex() const { return typeIndex_; }
    int32_t GetOwner() const { return owner_; }
    void SetOwner(int32_t slot) { owner_ = slot; }
    virtual void GetDebugText(std::string& out) const { (void)out; }
    virtual void GetInfoText(std::string& out) const { (void)out; }

    // Set by the manager when the object takes its slot; never by a file.
    void AssignId(ObjectHandle id) { id_ = id; }

protected:
    void SetSubtypeForPlace(int32_t subtype) { subtype_ = subtype; }

    ObjectHandle id_ = 0;
    int32_t category_ = 0;
    int32_t subtype_ = 0;
    int32_t x_ = -1;
    int32_t y_ = -1;
    int32_t typeIndex_ = -1;
    int32_t owner_ = kNeutralOwner;
    uint32_t highlighted_ = 0;
};
