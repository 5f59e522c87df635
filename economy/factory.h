// Factories: buildings of a factory type (a Factory row) with a layout side
// and size, a founding year and a name made from the nearest town. Each
// keeps its stock, what it makes and takes, the passengers and mail waiting
// at it, and the other town centres and attractions it sends them to. The
// placement tests that the map generator asks before it builds them, and
// the set of products that existing factories make.
#pragma once

#include "world/catchment_parties.h"
#include "world/product_quantity_map.h"

#include <bitset>
#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

inline constexpr int32_t kPassengerProduct = 998;
inline constexpr int32_t kMailProduct = 999;
inline constexpr uint32_t kProductSetSize = 1024;

// What a factory makes of one product a month, scaled by its size.
struct ProductionRecord {
    float reserve = 0.0f;
    float baseAmount = 0.0f;
    float maxAmount = 0.0f;
    friend bool operator==(const ProductionRecord&, const ProductionRecord&) = default;
};

struct SmokeEntry {
    uint32_t row = 0;
    uint32_t frame = 0;
    uint32_t lastChange = 0;
};

class Factory : public FactoryBase {
public:
    Factory();
    ~Factory() override;

    // The type's FactoryTyp; the town centre counts as kind 5 even without
    // its row.
    int32_t GetFactoryTyp() const override;
    // The side (0 or 1, kept as the link value of an ordinary kind) and the
    // FactoryLayout row.
    void SetLayout(uint32_t side, int32_t layoutRow) override;
    // Set-up after the build command placed the factory.
    void FinishSetup() override;
    void Serialize() override;
    void GetDebugText(std::string& out) const override;
    void GetInfoText(std::string& out) const override;

    // Calendar and time: the week runs the town centre's step, the month
    // production, the 50 ms update smoke and crop growth.
    void OnNewPeriod() override;
    void OnNewMonth() override;
    void Update(uint32_t gameTimeMs) override;
    void RebuildProductMasks() override { UpdateStationLinkSets(); }
    void SetPartnerFactories(const std::vector<ObjectHandle>& ids) override { SetLinkedFactories(ids); }

    // The type's main building image.
    SpriteRef GetGraphic() const override { return {3, typeIndex_, 0}; }
    uint32_t GetLayoutVariant() const { return layoutVariant_; }
    int32_t GetLayoutRow() const { return size_; }
    uint32_t GetFoundingYear() const { return foundingYear_; }
    const std::string& GetName() const { return name_; }
    void ClearName() { name_.clear(); }
    void MakeName();
    // Sets the footprint's size without placing it (the town centre's); a
    // town centre not set up yet takes its products from its type then.
    void SetExtent(int32_t width, int32_t height);

    // Set-up of a town's own factory (type 999): its town and its products.
    void InitTownCentre(int32_t town);
    // Set-up by the type: products, layout variant, fields, name.
    void Init();
    // The accept list, the production list and stock entries from the type.
    void SetupProducts();
    // Smoke and module frames, which are not saved.
    void RebuildAfterLoad();
    void UpdateStationLinkSets();
    void SetLinkedFactories(const std::vector<ObjectHandle>& ids);

    // The layout side, a town centre's town or an attraction's missing units.
    int32_t GetLinkValue() const { return linkValue_; }
    void SetLinkValue(int32_t value) { linkValue_ = value; }
    int32_t GetSize() const { return size_; }
    void SetSize(int32_t value) { size_ = value; }
    int8_t GetAnimFrame() const { return animFrame_; }
    void SetAnimFrame(int8_t frame) { animFrame_ = frame; }
    // The side of an ordinary kind (0 or 1).
    int32_t GetSide() const { return linkValue_ == 1 ? 1 : 0; }
    // The town of a town centre, 0 when there is none.
    int32_t GetTownIndex() const;
    // Inhabitants of the town of a town centre; 0 without a town.
    uint32_t GetTownInhabitants() const;
    float GetSizeFactor() const;

    // Monthly rates of a product, scaled; 0 when it is not made here.
    float GetBaseProduction(int32_t product) const;
    float GetMaxProduction(int32_t product) const;
    void MonthlyUpdate();
    void Produce();
    void ProductionTick(uint32_t now);
    void SetFieldStage(uint32_t index, uint32_t value) override;
    // Sends the field machine over a ripe crop farm.
    void SendHarvester();

    bool AcceptsProduct(int32_t product) const;
    float GetDemandFactor(int32_t product) const;
    bool ProducesProduct(int32_t product) const { return outputs_.count(product) != 0; }
    uint32_t GetStock(int32_t product) const { return uint32_t(store_.GetQuantity(product)); }
    bool TakeUnit(int32_t product);
    // A unit a station unloads here.
    void ReceiveUnit(int32_t product);
    void TakePassengers(ObjectHandle destination, uint32_t n);
    void TakeMail(ObjectHandle destination, uint32_t n);
    bool IsAttractionOpen() const { return GetFactoryTyp() == 6 && linkValue_ == 0; }
    int32_t GetDeliveredBuildingUnits() const;
    uint8_t GetConstructionAlpha() const;
    // Whether an attraction site waited too long for material.
    bool AttractionTimedOut() const;
    std::string GetDisplayName() const;
    void TownCentreStep();
    void AttractionStep();

    // Factory events: the demand event on one product.
    float GetEventFactor() const { return eventFactor_; }
    int32_t GetEventProduct() const { return eventProduct_; }
    void SetEvent(int32_t product, float factor) {
        eventProduct_ = product;
        eventFactor_ = factor;
    }
    bool CanExpand(std::vector<int32_t>& directions) const;
    void Expand(int32_t direction);

    const ProductQuantityMap& GetStore() const { return store_; }
    const std::map<int32_t, ProductionRecord>& GetOutputs() const { return outputs_; }
    const std::vector<int32_t>& GetAcceptedProducts() const { return acceptedProducts_; }
    const std::vector<uint32_t>& GetFieldStages() const { return fieldStages_; }
    const std::vector<uint8_t>& GetModuleFrames() const { return moduleFrames_; }
    const std::map<ObjectHandle, uint32_t>& GetPassengersWaiting() const { return passengersWaiting_; }
    const std::map<ObjectHandle, uint32_t>& GetMailWaiting() const { return mailWaiting_; }
    const std::set<ObjectHandle>& GetLinkedFactories() const { return linkedFactories_; }
    const std::bitset<kProductSetSize>& GetAcceptedSet() const { return acceptedSet_; }
    const std::bitset<kProductSetSize>& GetProducedSet() const { return producedSet_; }
    uint8_t GetGrowthState() const { return growthState_; }
    // The units made this month (in-counters of the outputs).
    uint32_t GetMonthOutput() const;

private:
    void AddProductEntries(bool withOutputs);
    void InsertOutputs();
    void ResizeFieldStages();
    void ProduceDeposit();
    void ProduceProcessing();
    void ProduceConsumer();
    void ProduceCrop();
    void ProduceAnimalFarm();
    void ProduceWoodCutter();
    void AddToStock(int32_t product, int32_t amount);
    void RefillStock(bool townCentre);
    void ChooseDestinations(std::vector<Factory*> candidates, bool mail);
    void ShareOut(bool mail);
    void SerializeFactory();
    void CheckLoaded();

    ProductQuantityMap store_;
    std::map<int32_t, ProductionRecord> outputs_;
    std::vector<int32_t> acceptedProducts_;
    std::vector<uint32_t> fieldStages_;
    uint32_t layoutVariant_ = 0;
    int32_t linkValue_ = 0;
    int32_t size_ = 0;
    uint32_t stageStart_ = 0;
    uint32_t stageCheckTime_ = 0;
    uint8_t growthState_ = 0;
    int8_t animFrame_ = 1;
    float eventFactor_ = 1.0f;
    int32_t eventProduct_ = -1;
    uint32_t foundingYear_ = 0;
    std::map<ObjectHandle, uint32_t> passengersWaiting_;
    std::set<ObjectHandle> linkedFactories_;
    std::map<ObjectHandle, uint32_t> mailWaiting_;
    std::string name_;
    std::vector<uint8_t> moduleFrames_;
    std::map<int32_t, std::vector<SmokeEntry>> smoke_;
    std::bitset<kProductSetSize> acceptedSet_;
    std::bitset<kProductSetSize> producedSet_;
};

// The factory kind of the towns' own factories, which the generator keeps.
inline constexpr int32_t kTownCentreFactoryKind = 5;

// Every factory, in slot order.
std::vector<Factory*> AllFactories();
// The factory of an object id, or null.
Factory* GetFactory(ObjectHandle id);
// Every factory gets its name again (after the towns exist).
void RenameAllFactories();
// Whether the tile suits a FactoryPlacingTypes row: enough trees around
// when the row asks for them, and a terrain type the row allows. A missing
// row or entry allows it.
bool FactoryPlacingTest(int32_t x, int32_t y, int32_t placingType);
// True without towns, else whether the nearest town's centre lies at least
// the type's MinimumDistanceToCity away.
bool FactoryFarEnoughFromTown(int32_t x, int32_t y, int32_t factoryType);
// Whether a factory of the type (any for -1) stands closer than distance.
bool FactoryOfTypeWithin(int32_t x, int32_t y, int32_t factoryType, int32_t distance);
// Deletes every factory but the towns' own.
void DeleteFactoriesButTownCentres();
// Clears the products-in-use flags and sets those of every product an
// existing factory type makes.
void UpdateProductsInUse();
// Collects every town centre and attraction and links each to the others.
void UpdateFactoriesOfKind5And6();
// Removes the attraction sites that never got material (the yearly check);
// they are collected first and deleted after the pass.
void CheckAttractionTimeouts();
// Closes one factory at random (not the only one of its type, nor a town
// centre or attraction); true when one closed.
bool CloseRandomFactory();
// Whether every attraction of the owner is served by a station (true when
// there is none).
bool AllAttractionsServed(int32_t owner);
// Products again from the types on every factory, then names.
void ResetAllFactoryProducts();
// The wood of the trees a wood cutter can reach.
int64_t FactoryWoodInReach(const Factory& factory);
// Makes stations ask the current world's factories what they take and
// make, and deliver to them.
void InstallFactoryStationHooks();
