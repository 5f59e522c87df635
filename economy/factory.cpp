#include "economy/factory.h"

#include "data/generated/economy_tables.h"
#include "data/generated/terrain_tables.h"
#include "economy/city.h"
#include "economy/factory_types.h"
#include "transport/station.h"
#include "vehicles/building_walker.h"
#include "world/catchment.h"
#include "world/game_clock.h"
#include "world/object_manager.h"
#include "world/packed_field.h"
#include "world/prices.h"
#include "world/random_streams.h"
#include "world/world_map.h"
#include "world/world_warnings.h"

#include <algorithm>
#include <cmath>

namespace {

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

bool ValidProduct(int32_t product) {
    return product >= 0 && uint32_t(product) < kProductSetSize;
}

} // namespace

std::vector<Factory*> AllFactories() {
    return BuildingsOf<Factory>(kFactorySubtype);
}

Factory* GetFactory(ObjectHandle id) {
    return dynamic_cast<Factory*>(BuildingFromId(id));
}

Factory::Factory() = default;
Factory::~Factory() {
    if (GetFactoryTyp() == 4)
        RemoveBuildingWalkers(id_);
}

int32_t Factory::GetFactoryTyp() const {
    const FactoryRow* row = FactoryTable::Find(typeIndex_);
    if (row)
        return row->FactoryTyp;
    return typeIndex_ == kTownCentreFactoryType ? kTownCentreFactoryKind : 0;
}

void Factory::SetLayout(uint32_t side, int32_t layoutRow) {
    linkValue_ = side == 1 ? 1 : 0;
    size_ = layoutRow;
}

void Factory::SetExtent(int32_t width, int32_t height) {
    width_ = width;
    height_ = height;
    if (typeIndex_ == kTownCentreFactoryType && acceptedProducts_.empty() && outputs_.empty()) {
        AddProductEntries(true);
        RebuildAfterLoad();
    }
}

void Factory::FinishSetup() {
    Init();
}

int32_t Factory::GetTownIndex() const {
    if (GetFactoryTyp() != kTownCentreFactoryKind)
        return 0;
    const City* city = linkValue_ >= 1 && linkValue_ <= kMaxCities ? GetCity(linkValue_) : nullptr;
    if (city && city->GetCentreFactoryId() == id_)
        return linkValue_;
    // A town that made its centre without telling it its index.
    for (int32_t i = 1; i <= GetCityCount(); ++i)
        if (const City* c = GetCity(i); c && c->GetCentreFactoryId() == id_)
            return i;
    return 0;
}

uint32_t Factory::GetTownInhabitants() const {
    const City* city = GetCity(GetTownIndex());
    return city ? city->GetPopulation() : 0;
}

float Factory::GetSizeFactor() const {
    if (size_ == 0 || size_ == 3)
        return 1.0f;
    if (size_ == 1 || size_ == 2)
        return GetSizeMultiplier(typeIndex_, uint32_t(size_ - 1), 0);
    if (size_ >= 4)
        return GetSizeMultiplier(typeIndex_, uint32_t(size_ - 4), 0);
    return 1.0f;
}

void Factory::AddProductEntries(bool withOutputs) {
    const FactoryRow* row = FactoryTable::Find(typeIndex_);
    if (!row)
        return;
    for (uint32_t r = 0;; ++r) {
        const int32_t p = row->AcceptProduct.IntCell(0, r);
        if (p == -1)
            break;
        if (!ValidProduct(p))
            continue;
        acceptedProducts_.push_back(p);
        store_.AddProduct(p);
    }
    if (withOutputs)
        InsertOutputs();
}

void Factory::InsertOutputs() {
    const float f = GetSizeFactor();
    for (uint32_t r = 0;; ++r) {
        const int32_t p = TruncToInt(GetProduceProductValue(typeIndex_, r, 0));
        if (p == -1)
            break;
        if (!ValidProduct(p))
            continue;
        outputs_.try_emplace(p, ProductionRecord{GetProduceProductReserve(typeIndex_, r) * f,
                                                 GetProduceProductBaseAmount(typeIndex_, r) * f,
                                                 GetProduceProductMaxAmount(typeIndex_, r) * f});
        store_.AddProduct(p);
    }
}

void Factory::SetupProducts() {
    acceptedProducts_.clear();
    outputs_.clear();
    AddProductEntries(true);
    RebuildAfterLoad();
}

void Factory::ResizeFieldStages() {
    fieldStages_.assign(GetFactoryLayoutColumnCount(size_, GetSide()), 0);
}

void Factory::Init() {
    acceptedProducts_.clear();
    outputs_.clear();
    store_.Clear();
    const int32_t kind = GetFactoryTyp();
    AddProductEntries(kind != 6);
    fieldStages_.clear();
    if (kind != 6) {
        const uint32_t n = GetFactoryLayoutRowCount(size_, GetSide());
        if (n > 0)
            layoutVariant_ = GameRandom() % n;
        else if (kind != kTownCentreFactoryKind)
            WorldWarning("factory type %d: layout row %d has no variants for side %d", typeIndex_, size_,
                         GetSide());
        if (kind == 4)
            CreateBuildingWalkers(id_);
        if (kind == 3)
            ResizeFieldStages();
    }
    RebuildAfterLoad();
    if (kind == 6) {
        const GameClock* clock = GetGameClock();
        foundingYear_ = clock ? clock->GetCurrentYear() : kFirstYear;
        linkValue_ = GetBuildingResource(typeIndex_, 0, 1);
        if (linkValue_ < 0)
            linkValue_ = 0;
    }
    MakeName();
    if (kind == kTownCentreFactoryKind || kind == 6)
        UpdateFactoriesOfKind5And6();
    UpdateProductsInUse();
}

void Factory::InitTownCentre(int32_t town) {
    linkValue_ = town;
    acceptedProducts_.clear();
    outputs_.clear();
    store_.Clear();
    AddProductEntries(true);
    RebuildAfterLoad();
    UpdateFactoriesOfKind5And6();
}

void Factory::RebuildAfterLoad() {
    smoke_.clear();
    const FactoryRow* row = FactoryTable::Find(typeIndex_);
    const uint32_t rows = row ? row->SmokePosition.RowCount() : 0;
    for (uint32_t r = 0; r < rows; ++r) {
        const int32_t key = row->SmokePosition.IntCell(0, r);
        // The phases need no random draw: smoke is only drawn, and a loaded
        // game must go on with the same random numbers.
        smoke_[key].push_back(SmokeEntry{r, (r * 3) & 7, CurrentGameTimeMs()});
    }
    moduleFrames_.clear();
    const int32_t kind = GetFactoryTyp();
    if (kind != 3 && kind != 4 && kind != 5 && kind != 6)
        moduleFrames_.assign(GetFactoryLayoutColumnCount(size_, GetSide()), 1);
}

void Factory::SetLinkedFactories(const std::vector<ObjectHandle>& ids) {
    linkedFactories_.clear();
    for (ObjectHandle id : ids)
        if (id != id_)
            linkedFactories_.insert(id);
}

void Factory::UpdateStationLinkSets() {
    acceptedSet_.reset();
    producedSet_.reset();
    const int32_t kind = GetFactoryTyp();
    // A town centre of a game saved before town centres had products gets
    // them now.
    if (kind == kTownCentreFactoryKind && acceptedProducts_.empty() && outputs_.empty() &&
        FactoryTable::Find(typeIndex_)) {
        if (const int32_t town = GetTownIndex())
            InitTownCentre(town);
    }
    if (kind == kTownCentreFactoryKind) {
        const uint32_t h = GetTownInhabitants();
        for (int32_t p : acceptedProducts_) {
            if (p == kPassengerProduct || p == kMailProduct ||
                int64_t(h) >= int64_t(GetProductMinimumInhabitants(p)))
                acceptedSet_.set(size_t(p));
        }
    } else {
        if (kind != 6)
            for (int32_t p : acceptedProducts_)
                acceptedSet_.set(size_t(p));
        if (linkValue_ > 0) {
            const int32_t material = GetBuildingResource(typeIndex_, 0, 0);
            if (ValidProduct(material))
                acceptedSet_.set(size_t(material));
        } else if (linkValue_ == 0) {
            acceptedSet_.set(size_t(kPassengerProduct));
        }
    }
    for (const auto& entry : outputs_)
        producedSet_.set(size_t(entry.first));
}

void Factory::MakeName() {
    const int32_t kind = GetFactoryTyp();
    const int32_t town = NearestTown(x_ + width_ / 2, y_ + height_ / 2);
    const City* city = GetCity(town);
    if (!city) {
        name_ = GetFactoryTypeName(typeIndex_);
        if (name_.empty())
            name_ = "Factory";
        name_ += " " + std::to_string(GetFactoryCountOfType(typeIndex_));
        return;
    }
    std::string townName = city->GetName().empty() ? "City " + std::to_string(town) : city->GetName();
    if (kind == kTownCentreFactoryKind) {
        name_ = townName;
        return;
    }
    const std::vector<std::string> endings = GetFactoryNameEndings();
    for (const std::string& ending : endings) {
        std::string candidate = townName + " " + ending;
        if (!NameTaken(candidate, kind, this)) {
            name_ = candidate;
            return;
        }
    }
    const std::string ending = endings.empty() ? std::string() : endings[GameRandom() % endings.size()];
    std::string candidate;
    for (uint32_t n = 1; n <= 1000; ++n) {
        candidate = townName + (ending.empty() ? "" : " " + ending) + " " + std::to_string(n);
        if (!NameTaken(candidate, kind, this))
            break;
    }
    name_ = candidate;
}

std::string Factory::GetDisplayName() const {
    if (GetFactoryTyp() == kTownCentreFactoryKind) {
        const City* city = GetCity(GetTownIndex());
        return city ? city->GetName() : name_;
    }
    return name_;
}

// Acceptance and demand.

bool Factory::AcceptsProduct(int32_t p) const {
    const int32_t kind = GetFactoryTyp();
    if (kind == 6) {
        if (linkValue_ > 0)
            return p == GetBuildingResource(typeIndex_, 0, 0);
        if (p == kPassengerProduct)
            return true;
    }
    if (kind == kTownCentreFactoryKind) {
        if (p == kPassengerProduct || p == kMailProduct)
            return true;
        if (std::find(acceptedProducts_.begin(), acceptedProducts_.end(), p) == acceptedProducts_.end())
            return false;
        const uint32_t h = GetTownInhabitants();
        const int32_t perUnit = GetProductInhabitantsPerUnit(p);
        if (perUnit <= 0 || int64_t(h) < int64_t(GetProductMinimumInhabitants(p)))
            return false;
        return int64_t(store_.GetQuantity(p)) < int64_t(h / uint32_t(perUnit));
    }
    const int32_t level = GetFactoryDifficulty();
    for (int32_t a : acceptedProducts_) {
        if (a != p)
            continue;
        if (level == 0 || level == 1)
            return true;
        if (level != 2)
            continue;
        const int64_t stock = store_.GetQuantity(p);
        if (kind == 2) {
            if (!outputs_.empty() && float(stock) < 2.0f * GetMaxProduction(outputs_.begin()->first))
                return true;
            continue;
        }
        for (const auto& entry : outputs_)
            if (GetProductResourceNeeded(entry.first) == p &&
                float(stock) < 2.0f * GetMaxProduction(entry.first))
                return true;
    }
    return false;
}

namespace {

// 1.0 below a month's maximum, then 0.1 less per ten months in store, at
// least 0.1. A maximum below one unit counts as none.
float StockFactor(int64_t stock, float maximum, float none) {
    if (float(stock) < maximum)
        return 1.0f;
    if (maximum < 1.0f)
        return none;
    const int64_t k = (stock / int64_t(TruncToInt(maximum))) / 10;
    return std::max(0.1f, 1.0f - float(k));
}

} // namespace

float Factory::GetDemandFactor(int32_t p) const {
    float base = 1.0f;
    if (eventProduct_ != -1 && eventProduct_ == p)
        base = eventFactor_;
    const int32_t kind = GetFactoryTyp();
    if (kind == kTownCentreFactoryKind) {
        if (p == kPassengerProduct || p == kMailProduct)
            return base;
        const uint32_t h = GetTownInhabitants();
        const int32_t perUnit = GetProductInhabitantsPerUnit(p);
        if (perUnit <= 0 || int64_t(h) < int64_t(GetProductMinimumInhabitants(p)) ||
            int64_t(store_.GetQuantity(p)) >= int64_t(h / uint32_t(perUnit)))
            return 0.0f;
        return base;
    }
    const int32_t level = GetFactoryDifficulty();
    if (level == 0 || level == 2)
        return base;
    if (level != 1)
        return 0.0f;
    const int64_t stock = store_.GetQuantity(p);
    if (kind == 2) {
        const float c = outputs_.empty() ? 0.0f : GetMaxProduction(outputs_.begin()->first);
        if (float(stock) < c)
            return base;
        // No maximum (or one below a unit, which would divide by zero).
        if (c < 1.0f)
            return 0.1f;
        return StockFactor(stock, c, 0.1f) * base;
    }
    if (p == kPassengerProduct || p == kMailProduct)
        return base;
    for (const auto& entry : outputs_) {
        if (GetProductResourceNeeded(entry.first) != p)
            continue;
        const float c = GetMaxProduction(entry.first);
        if (c <= 0.0f)
            return 0.0f;
        const float f = StockFactor(stock, c, 0.0f);
        return f * base;
    }
    return 0.0f;
}

bool Factory::TakeUnit(int32_t product) {
    if (store_.GetQuantity(product) <= 0)
        return false;
    return store_.TakeQuantity(product, 1);
}

void Factory::TakePassengers(ObjectHandle destination, uint32_t n) {
    auto it = passengersWaiting_.find(destination);
    if (it == passengersWaiting_.end())
        return;
    n = std::min(n, it->second);
    it->second -= n;
    store_.TakeQuantity(
        kPassengerProduct,
        int32_t(std::min<uint32_t>(n, uint32_t(std::max(0, store_.GetQuantity(kPassengerProduct))))));
}

void Factory::TakeMail(ObjectHandle destination, uint32_t n) {
    auto it = mailWaiting_.find(destination);
    if (it == mailWaiting_.end())
        return;
    n = std::min(n, it->second);
    it->second -= n;
    store_.TakeQuantity(kMailProduct, int32_t(std::min<uint32_t>(
                                          n, uint32_t(std::max(0, store_.GetQuantity(kMailProduct))))));
}

int32_t Factory::GetDeliveredBuildingUnits() const {
    if (GetFactoryTyp() != 6)
        return 0;
    const int64_t delivered = int64_t(GetBuildingResource(typeIndex_, 0, 1)) - linkValue_;
    return int32_t(std::clamp<int64_t>(delivered, INT32_MIN, INT32_MAX));
}

uint8_t Factory::GetConstructionAlpha() const {
    const int32_t needed = GetBuildingResource(typeIndex_, 0, 1);
    if (GetFactoryTyp() != 6 || linkValue_ <= 0 || needed <= 0)
        return 255;
    const float v = 255.0f - (float(linkValue_) / float(needed)) * 128.0f;
    return uint8_t(std::clamp(TruncToInt(v), 0, 255));
}

void Factory::ReceiveUnit(int32_t p) {
    if (GetFactoryTyp() == 6 && linkValue_ >= 1) {
        if (p != GetBuildingResource(typeIndex_, 0, 0))
            return;
        if (--linkValue_ == 0) {
            InsertOutputs();
            UpdateFactoriesOfKind5And6();
            RefreshStations();
        }
        return;
    }
    if (p == kPassengerProduct || p == kMailProduct)
        return;
    store_.AddQuantity(p, 1);
}

bool Factory::AttractionTimedOut() const {
    if (GetFactoryTyp() != 6 || foundingYear_ < 1 || GetUiState().MissionDifficulty != 0xFFFFFFFFu)
        return false;
    const int32_t needed = GetBuildingResource(typeIndex_, 0, 1);
    if (linkValue_ != needed || needed <= 0)
        return false;
    const GameClock* clock = GetGameClock();
    const uint32_t year = clock ? clock->GetNextYear() : kFirstYear;
    // A founding year after this one (a damaged save) never times out.
    if (foundingYear_ > year)
        return false;
    const GlobalConstantsRow* constants = GlobalConstantsTable::Find(0);
    const int32_t limit = constants ? constants->AttractionNoMaterialTimeLimit : 0;
    return int64_t(year - foundingYear_) > int64_t(limit);
}

uint32_t Factory::GetMonthOutput() const {
    uint32_t total = 0;
    for (const auto& entry : outputs_)
        total += uint32_t(store_.GetInCounter(entry.first, 0));
    return total;
}

void Factory::SetFieldStage(uint32_t index, uint32_t value) {
    if (index < fieldStages_.size())
        fieldStages_[index] = value;
}

// Growing: the footprint of the next size on a free area beside it.

namespace {

struct Footprint {
    int32_t w = 0, h = 0;
};

Footprint LayoutFootprint(int32_t row, int32_t side) {
    return {GetFactoryLayoutValue(row, uint32_t(side), 0), GetFactoryLayoutValue(row, uint32_t(side), 1)};
}

// The corner of the grown footprint for a direction.
void GrownCorner(bool farm, int32_t direction, Footprint from, Footprint to, int32_t& x, int32_t& y) {
    const int32_t dx = from.w - to.w, dy = from.h - to.h;
    if (farm) {
        if (direction == 0 || direction == 2)
            x += dx;
        if (direction == 0 || direction == 1)
            y += dy;
    } else {
        if (direction == 1)
            x += dx;
        if (direction == 2)
            y += dy;
    }
}

} // namespace

bool Factory::CanExpand(std::vector<int32_t>& directions) const {
    directions.clear();
    const int32_t kind = GetFactoryTyp();
    if (kind == 6 || kind == kTownCentreFactoryKind)
        return false;
    const bool farm = kind == 3 || kind == 4;
    if (size_ >= (farm ? 5 : 2) || size_ < 0)
        return false;
    for (int32_t d = 0; d < 4; ++d) {
        const int32_t side = farm ? GetSide() : (d < 2 ? 0 : 1);
        const Footprint to = LayoutFootprint(size_ + 1, side);
        if (to.w < width_ || to.h < height_ || to.w < 1 || to.h < 1)
            continue;
        int32_t x = x_, y = y_;
        GrownCorner(farm, d, {width_, height_}, to, x, y);
        if (x < 0 || y < 0 || !GetWorldMap().InMap(uint32_t(x), uint32_t(y)) ||
            !GetWorldMap().InMap(uint32_t(x + to.w - 1), uint32_t(y + to.h - 1)))
            continue;
        // Every tile of the grown footprint outside the old one must be free.
        bool free = true;
        for (int32_t ty = y; ty < y + to.h && free; ++ty)
            for (int32_t tx = x; tx < x + to.w && free; ++tx) {
                if (tx >= x_ && tx < x_ + width_ && ty >= y_ && ty < y_ + height_)
                    continue;
                free = GetWorldMap().IsAreaBuildable(uint32_t(tx), uint32_t(ty), 1, 1, 0);
            }
        if (free)
            directions.push_back(d);
    }
    return !directions.empty();
}

void Factory::Expand(int32_t direction) {
    const int32_t kind = GetFactoryTyp();
    const bool farm = kind == 3 || kind == 4;
    if (!farm)
        linkValue_ = direction < 2 ? 0 : 1;
    const Footprint to = LayoutFootprint(size_ + 1, GetSide());
    int32_t x = x_, y = y_;
    GrownCorner(farm, direction, {width_, height_}, to, x, y);
    const int32_t oldX = x_, oldY = y_, oldW = width_, oldH = height_;
    ++size_;
    const uint32_t n = GetFactoryLayoutRowCount(size_, GetSide());
    layoutVariant_ = n > 0 ? GameRandom() % n : 0;
    // The old footprint's cells are freed and the new one written.
    WorldMap& map = GetWorldMap();
    for (int32_t ty = oldY; ty < oldY + oldH; ++ty)
        for (int32_t tx = oldX; tx < oldX + oldW; ++tx)
            if (map.InMap(uint32_t(tx), uint32_t(ty)) && map.GetBuildingAt(uint32_t(tx), uint32_t(ty)) == id_)
                map.PlaceFootprint(uint32_t(tx), uint32_t(ty), 0, 1, 1, 2);
    Place(x, y, kFactorySubtype, to.w, to.h, 1);
    SetupProducts();
    if (kind == 3) {
        ResizeFieldStages();
        growthState_ = 0;
    }
    RunAllCatchmentPasses();
}

// The lists of all factories.

void RenameAllFactories() {
    std::vector<Factory*> factories = AllFactories();
    for (Factory* factory : factories)
        factory->ClearName();
    for (Factory* factory : factories)
        factory->MakeName();
}

void ResetAllFactoryProducts() {
    for (Factory* factory : AllFactories())
        factory->SetupProducts();
    RefreshStations();
    RenameAllFactories();
}

void UpdateFactoriesOfKind5And6() {
    LinkSpecialFactories();
}

bool AllAttractionsServed(int32_t owner) {
    std::set<ObjectHandle> served;
    bool collected = false;
    for (const Factory* factory : AllFactories()) {
        if (factory->GetOwner() != owner || factory->GetFactoryTyp() != 6)
            continue;
        if (!collected) {
            served = CollectServedBuildings();
            collected = true;
        }
        if (!served.count(factory->GetId()))
            return false;
    }
    return true;
}

void CheckAttractionTimeouts() {
    std::vector<ObjectHandle> doomed;
    for (const Factory* factory : AllFactories())
        if (factory->AttractionTimedOut())
            doomed.push_back(factory->GetId());
    for (ObjectHandle id : doomed) {
        UnlinkBuildingFromAllStations(id);
        DeleteMapObject(id);
    }
    if (!doomed.empty()) {
        UpdateFactoriesOfKind5And6();
        RefreshStations();
    }
}

bool CloseRandomFactory() {
    std::vector<Factory*> candidates;
    for (Factory* factory : AllFactories()) {
        const int32_t kind = factory->GetFactoryTyp();
        if (kind != kTownCentreFactoryKind && kind != 6)
            candidates.push_back(factory);
    }
    if (candidates.empty())
        return false;
    for (int32_t draw = 0; draw < 11; ++draw) {
        Factory* factory = candidates[GameRandom() % candidates.size()];
        if (GetFactoryCountOfType(factory->GetTypeIndex()) == 1)
            continue;
        GetFactoryWorldState().factoryClosed = true;
        UnlinkBuildingFromAllStations(factory->GetId());
        DeleteMapObject(factory->GetId());
        UpdateProductsInUse();
        return true;
    }
    return false;
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

void InstallFactoryStationHooks() {
    StationHooks& hooks = GetStationHooks();
    hooks.factoryType = [](const MapObject& building) {
        const auto* factory = dynamic_cast<const Factory*>(&building);
        return factory ? factory->GetFactoryTyp() : -1;
    };
    hooks.factoryAccepts = [](const MapObject& building, int32_t product) {
        const auto* factory = dynamic_cast<const Factory*>(&building);
        return factory && factory->AcceptsProduct(product);
    };
    hooks.factoryProducts = [](const MapObject& building, std::vector<int32_t>& products) {
        if (const auto* factory = dynamic_cast<const Factory*>(&building))
            for (const auto& entry : factory->GetOutputs())
                products.push_back(entry.first);
    };
    hooks.factoryDemand = [](const MapObject& building, int32_t product) {
        const auto* factory = dynamic_cast<const Factory*>(&building);
        return factory ? factory->GetDemandFactor(product) : 0.0f;
    };
    hooks.factoryReceive = [](MapObject& building, int32_t product) {
        if (auto* factory = dynamic_cast<Factory*>(&building))
            factory->ReceiveUnit(product);
    };
}
