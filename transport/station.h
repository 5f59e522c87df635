// The station: the building at which the vehicles of one transport mode stop,
// load and unload. It keeps its kind (a `Station` row) and rotation, its
// name, its extensions and upgrade stage, the reservations of its loading
// areas, its links to the buildings and stations around it, the platform
// decorations of a track station and its income; and it answers which of
// its areas and connection points lie at a tile.
#pragma once

#include "transport/route_search.h"
#include "transport/station_layout.h"
#include "world/building.h"
#include "world/catchment_parties.h"

#include <array>
#include <bitset>
#include <cstdint>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

class Station : public StationBase {
public:
    static constexpr uint32_t kEmptySlot = 89;
    static constexpr uint32_t kNameBytes = 64;
    static constexpr uint32_t kBlockBytes = 140;
    // The link mask a catchment link starts with; it serves (delivery and
    // the product set) while it holds kLinkServes.
    static constexpr uint32_t kLinkMade = 3;
    static constexpr uint32_t kLinkServes = 2;
    static constexpr uint16_t kPlainDecoration = 50;
    static constexpr uint32_t kIncomeKinds = 3;

    Station() = default;

    void Serialize() override;
    void OnNewPeriod() override { SettleAccounts(); }
    void AddCatchmentLink(ObjectHandle building) override { LinkBuilding(building); }
    void LinkNeighbourStation(ObjectHandle station) override { LinkStation(station); }
    void RemoveCatchmentLink(ObjectHandle building) override { UnlinkBuilding(building); }
    void SetCatchmentLinkValue(ObjectHandle building, uint32_t value) override;
    void GetInfoText(std::string& out) const override;

    // The catchment passes' view of the station: its links and product set.
    bool InService() const override { return !IsPlanned(); }
    TileRect GetLayoutRect() const override;
    void ClearNeighbourStations() override { ClearLinkedStations(); }
    void RebuildOwnMask() override { UpdateProductSet(); }
    void MergeNeighbourMasks() override { MergeLinkedStationProducts(); }
    void CleanCatchmentLinks() override { UnlinkTownFactories(); }
    void CollectCatchmentLinks(std::set<ObjectHandle>& out) const override;

    // Set-up by the build command: kind, rotation bit and origin.
    void SetUp(int32_t owner, uint32_t rotation, int32_t kind, int32_t x, int32_t y);
    // Becomes a station of a larger kind at a new origin, keeping the
    // object: a track station's extension strip grows around its old
    // contents and its platforms get new decorations; the map cells are
    // written again.
    void UpgradeTo(int32_t x, int32_t y, int32_t kind);
    // Writes the footprint of the extension strip's rectangle (a test only
    // unless build is set); false when the rectangle cannot be placed.
    bool PlaceFootprint(bool build);

    int32_t GetKind() const { return GetTypeIndex(); }
    // The transport mode of the kind; -1 without a `Station` row.
    int32_t GetMode() const;
    uint32_t GetRotation() const { return rotation_; }
    int32_t GetRotationIndex() const { return RotationIndex(rotation_); }
    int32_t GetOriginX() const { return int32_t(originX_); }
    int32_t GetOriginY() const { return int32_t(originY_); }
    uint32_t GetLayoutIndex() const { return layoutIndex_; }
    const StationLayout* GetLayout() const;
    int32_t GetGraphicStage() const { return graphicStage_; }

    const std::string& GetName() const { return name_; }
    // At most 63 bytes are kept; a cut never splits a UTF-8 sequence.
    void SetName(const std::string& name);
    // A name no other station bears: the town's name with a suffix, or a
    // numbered one outside towns.
    void MakeStationName();

    // Reservations and the single place of air and water stations.
    void SetLoadAreaReserved(uint32_t n, bool on);
    bool IsLoadAreaReserved(uint32_t n) const;
    void SetBusySlot(uint8_t slot) { busySlot_ = slot; }
    uint8_t GetBusySlot() const { return busySlot_; }
    void AddKey(ObjectHandle vehicle) { vehicles_.insert(vehicle); }
    void EraseKey(ObjectHandle vehicle) { vehicles_.erase(vehicle); }
    bool HasVehicle(ObjectHandle vehicle) const { return vehicles_.count(vehicle) != 0; }
    const std::set<ObjectHandle>& GetVehicles() const { return vehicles_; }

    // Extensions and upgrade stages.
    const std::vector<uint32_t>& GetExtensions() const { return extensions_; }
    uint32_t GetExtensionTypeMask() const { return extensionTypes_; }
    bool HasExtensionType(uint32_t mask) const { return (extensionTypes_ & mask) != 0; }
    bool HasExtension(uint32_t id) const;
    bool CanAddExtension(uint32_t id) const;
    void AddExtension(uint32_t id);
    int32_t GetExtensionOfType(uint32_t typeBit) const;
    float GetExtensionFactor(uint32_t typeBit, uint32_t selector) const;
    // 3, 2 or 1 for the highest stage in the list, else 0.
    uint32_t GetUpgradeLevel() const;

    // Platform decorations of a track station, one list per loading area.
    const std::vector<std::vector<uint16_t>>& GetDecorations() const { return decorations_; }
    void GenerateDecorations();

    // Links.
    void LinkBuilding(ObjectHandle id);
    void LinkStation(ObjectHandle id);
    void UnlinkBuilding(ObjectHandle id);
    void UnlinkTownFactories();
    void ClearLinkedStations() { linkedStations_.clear(); }
    uint32_t GetLinkValue(ObjectHandle id) const;
    void SetLinkValue(ObjectHandle id, uint32_t mask);
    const std::map<ObjectHandle, uint32_t>& GetLinkedBuildings() const { return linkedBuildings_; }
    const std::map<ObjectHandle, uint32_t>& GetLinkedStations() const { return linkedStations_; }
    const std::set<ObjectHandle>& GetTownFactories() const { return townFactories_; }
    void GetLinkedStationNames(std::string& out) const;

    // Income and the periodic settlement.
    void AddIncome(uint32_t kind, int32_t amount);
    int32_t GetIncome(uint32_t kind) const { return kind < kIncomeKinds ? incomeNow_[kind] : 0; }
    int32_t GetLastIncome(uint32_t kind) const { return kind < kIncomeKinds ? incomeLast_[kind] : 0; }
    // The kind's base cost at the graphic stage and each extension's
    // running cost, counted once however many slots it takes.
    int64_t GetRunningCost() const;
    void SettleAccounts();
    bool IsPlanned() const { return planned_ != 0; }
    void SetPlanned(bool on) { planned_ = on ? 1 : 0; }

    // Lookups on the layout, turned and moved to the station.
    bool GetAreaRect(uint32_t n, LayoutRect& out) const;
    bool GetLoadAreaRect(uint32_t n, LayoutRect& out) const;
    bool GetPoint(uint32_t n, LayoutTile& out) const;
    bool GetLoadPoint(uint32_t n, LayoutTile& out) const;
    bool GetConnPoint(uint32_t n, LayoutTile& out) const;
    uint32_t LoadAreaCount() const;
    uint32_t GetConnectionMaskAt(int32_t x, int32_t y) const;
    // From the start number n on, the first connection point at the tile.
    bool FindConnPointAt(int32_t x, int32_t y, uint32_t& n, uint8_t& mask) const;
    bool FindLoadAreaContaining(int32_t x, int32_t y, uint32_t& n) const;
    bool AreaContainsTile(int32_t x, int32_t y) const override;
    bool GetEntryPoint(int32_t& x, int32_t& y) const;
    bool GetExitPoint(int32_t& x, int32_t& y) const;
    uint32_t GetLoadAreaLength() const;
    uint32_t GetWayMaskAt(int32_t x, int32_t y) const;
    // Free loading areas: a loading area counts as free when its
    // reservation bit is clear (numbers 32 and above have none).
    uint32_t CountFreeLoadAreas(bool besidesBusy) const;
    uint32_t FindFreeLoadArea(bool besidesBusy) const;
    bool IsFree(uint32_t n) const;

    // Track stations: the loading area whose rectangle holds the tile and
    // whose tile there carries track; AtOrEnd also answers n at the
    // connection points 2n - 1 and 2n. 0 for none and for other modes.
    uint32_t FindLoadAreaAt(int32_t x, int32_t y) const;
    uint32_t FindLoadAreaAtOrEnd(int32_t x, int32_t y) const;
    // Whether a vehicle of the type can use loading area n: the track at its
    // load point must carry the column the type needs.
    bool SuitsVehicle(uint32_t n, int32_t vehicleType) const;
    bool SuitsVehicleAtAnyLoadArea(int32_t vehicleType) const;
    // The loading area nearest by route to (x, y) for the player: n is kept
    // when it has a route, else made the cheapest (the lowest number of
    // equal costs). False, n unchanged, when none has a route.
    bool ChooseLoadAreaByRoute(uint32_t& n, int32_t x, int32_t y, const RouteVehicle* vehicle) const;
    // The kind's demolition cost at the graphic stage, and for a track
    // station the track of each loading area with its two end pieces.
    int64_t GetDemolitionCost() const;

    // Products: whether the group takes a product from a vehicle of the
    // owner, and the products offered and accepted around the station.
    bool AcceptsProduct(int32_t product, int32_t vehicleOwner) const;
    // Pays one load delivered by a vehicle of the owner: the accepting
    // factory of the group with the highest demand takes it and the income
    // is answered; else the first storage hall that can stores it (0).
    struct Load {
        int32_t product = -1;
        int32_t owner = 0;
        uint32_t loadTime = 0;
        int32_t loadX = 0;
        int32_t loadY = 0;
    };
    float DeliverProduct(const Load& load);
    void UpdateProductSet();
    void MergeLinkedStationProducts();
    const std::bitset<1024>& GetProductSet() const { return products_; }
    // The town factories of the station and its linked stations.
    void GetTownFactoriesOfGroup(std::set<ObjectHandle>& out) const;
    // The linked buildings that are factories of a kind other than 5.
    void GetLinkedFactories(std::set<ObjectHandle>& out) const;

    // The 140-byte block of "sta1" as it is saved.
    std::array<uint8_t, kBlockBytes> BlockImage() const;

private:
    void SerializeStationChunks();
    void ReadBlock(const std::array<uint8_t, kBlockBytes>& block);

    std::set<ObjectHandle> vehicles_;
    std::vector<uint32_t> extensions_;
    std::array<uint32_t, 3> highlights_{};
    std::vector<std::vector<uint16_t>> decorations_;
    std::set<ObjectHandle> townFactories_;
    std::bitset<1024> products_;

    uint32_t rotation_ = 1;
    uint32_t layoutIndex_ = 0;
    std::string name_;
    uint32_t originX_ = 0;
    uint32_t originY_ = 0;
    uint32_t placement_ = 0;
    uint8_t busySlot_ = 0;
    int32_t graphicStage_ = 0;
    int32_t positionX_ = 0;
    int32_t positionY_ = 0;
    uint32_t extensionTypes_ = 0;
    uint32_t reservations_ = 0;
    std::array<int32_t, kIncomeKinds> incomeNow_{};
    std::array<int32_t, kIncomeKinds> incomeLast_{};
    // The block's bytes that hold no field, kept as loaded.
    std::array<uint8_t, kBlockBytes> spare_{};

    uint8_t planned_ = 0;
    std::map<ObjectHandle, uint32_t> linkedBuildings_;
    std::map<ObjectHandle, uint32_t> linkedStations_;
};

// What stations ask of the layers above: towns, factories and sprites.
// Empty hooks: no towns, no factories, no decoration frames.
struct StationHooks {
    // The town whose area holds the tile: its number (0 none) and name.
    std::function<int32_t(int32_t x, int32_t y, std::string& name)> townAt;
    // The `FactoryTyp` of a factory building, -1 for other buildings.
    std::function<int32_t(const MapObject& building)> factoryType;
    // Whether the decoration frame exists in a graphic set.
    std::function<bool(int32_t graphicSet, int32_t frame)> decorationFrameExists;
    // Whether a factory accepts a product, and the products it makes and
    // takes. Empty: none.
    std::function<bool(const MapObject& factory, int32_t product)> factoryAccepts;
    std::function<void(const MapObject& factory, std::vector<int32_t>& products)> factoryProducts;
    // A factory's demand factor for a product, and its taking a delivered
    // unit. Empty: 1.0, and nothing is kept.
    std::function<float(const MapObject& factory, int32_t product)> factoryDemand;
    std::function<void(MapObject& factory, int32_t product)> factoryReceive;
    // Slots a sprite of the kind's graphic takes on the extension strip.
    std::function<uint32_t(int32_t kind, uint32_t frame)> slotCount;
    // The towns' area tests: whether a rectangle is free once its houses
    // are cleared, and the clearing; each reports the houses' cost.
    // Empty: the footprint test alone, clearing nothing.
    std::function<bool(int32_t x, int32_t y, int32_t w, int32_t h, int32_t& cost)> isAreaFree;
    std::function<bool(int32_t x, int32_t y, int32_t w, int32_t h, int32_t& cost)> clearArea;
};
// The hooks of the process: they reach the current world's towns and
// factories through the layers above.
StationHooks& GetStationHooks();

// The station of an object id, or null.
Station* GetStation(ObjectHandle id);
// Every station, in slot order.
std::vector<Station*> AllStations();
bool IsStationNameTaken(const std::string& name);
void RenameAllStations();
void UnlinkBuildingFromAllStations(ObjectHandle id);
// The station at or next to a tile, or null.
Station* StationAtTile(int32_t x, int32_t y);
// The graphic set of a kind in the current year.
int32_t GetCurrentGrafikSet(int32_t kind);

// The text of a row with its "\n" escapes made line breaks.
std::string GetStationExtentionName(int32_t n);
std::string GetTerminalToolTip(int32_t n);

// Makes the object factory build stations and the route rules and the tile
// map see them, in the current world.
void InstallStations();
