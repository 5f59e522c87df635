// Towns: a centre tile with its rectangle, a name, a style and the
// population of its houses, kept in a table of 100 slots addressed by the
// town index 1..100. A town lays out street blocks by its plan, builds and
// raises houses on planned lots, adds special buildings and builds and
// upgrades its roads, one step at a time as its growth delay allows; every
// choice among equal sites is a draw of the game's generator.
#pragma once

#include "economy/city_plan.h"
#include "economy/city_site_grid.h"

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class MapObject;

inline constexpr int32_t kMaxCities = 100;
inline constexpr size_t kMaxCityNameChars = 63;
// The factory row every town owns for its passengers and mail.
inline constexpr int32_t kTownCentreFactoryType = 999;
inline constexpr int32_t kMaxHouseLevel = 4;
// Growth states.
enum : uint32_t {
    kGrowPlanBlock = 0,
    kGrowSpecialBuilding = 1,
    kGrowCheckPlan = 2,
    kGrowUpgradeHouse = 3,
    kGrowBuildHouse = 4,
    kGrowUpgradeRoad = 5,
    kGrowBuildRoad = 6,
};
// Search layers of the grids.
inline constexpr uint32_t kGridShapeBase = 0, kGridShape = 1, kGridDistributionBase = 2,
                          kGridDistribution = 3;

struct CityArea {
    int32_t left = 0, top = 0, right = 0, bottom = 0;
};

class City {
public:
    // The copied CityStyle values, in their saved order.
    enum StyleValue : uint32_t {
        kBlockSet,
        kBuildingSet,
        kShapeTerrain,
        kShapeBuilding,
        kShapeCenter,
        kShapeRoad,
        kDistributionTerrain,
        kDistributionBuilding,
        kDistributionCenter,
        kDistributionRoad,
        kPlaceReservation,
        kXDim,
        kYDim,
        kBaseSpeed,
        kStyleValues
    };

    // An empty town for loading: every field zero, no town-centre factory.
    City();
    // Deletes the town-centre factory; the table slot is emptied by the table.
    ~City();
    City(const City&) = delete;
    City& operator=(const City&) = delete;

    // One action of the growth state; 1 when it was a growth step. Without
    // force nothing happens before the growth delay has passed.
    int32_t Update(uint32_t t, bool force);
    // Removes the town's houses, special buildings and roads from the map.
    void Demolish();
    void TakeCensus();
    int32_t UpgradeHouses();
    int32_t UpgradeHouse(uint32_t level);
    int32_t BuildHouse();
    int32_t RestyleHouse();
    int32_t TryBuildSpecialBuilding();
    int32_t PlaceSpecialBuilding(int32_t type);
    int32_t UpgradeRoad();
    int32_t BuildRoad();
    void ComputeBaseGrids();
    void ApplyBuildingInfluence();
    // Lays the plan (checking it first with repair); the planner's answer.
    int32_t InitPlan(bool repair);

    void SetName(const std::string& name);
    const std::string& GetName() const { return name_; }
    void SetStyle(int32_t style);
    int32_t GetIndex() const { return index_; }
    int32_t GetCentreX() const { return centreX_; }
    int32_t GetCentreY() const { return centreY_; }
    int32_t GetWidth() const { return width_; }
    int32_t GetHeight() const { return height_; }
    int32_t GetStyle() const { return style_; }
    uint32_t GetStyleValue(StyleValue v) const { return styleValues_[v]; }
    uint32_t GetPopulation() const { return population_; }
    uint8_t GetSizeClass() const { return sizeClass_; }
    uint32_t GetGrowthState() const { return growthState_; }
    void SetGrowthState(uint32_t state) { growthState_ = state; }
    // Houses and reserved lots of the last census.
    uint32_t GetHouseCount() const { return houses_; }
    int64_t GetGrowthTime() const { return growthTime_; }
    void SetGrowthTime(int64_t t) { growthTime_ = t; }
    int64_t GetLastGridTime() const { return lastGridTime_; }
    void SetLastGridTime(int64_t t) { lastGridTime_ = t; }
    bool IsRoadUpgradeDone() const { return roadUpgradeDone_ != 0; }
    // The rectangle without its outermost rows and columns.
    bool Contains(int32_t x, int32_t y) const;
    // Whether a map tile lies in the town rectangle, with its cell.
    bool CellOf(int32_t x, int32_t y, uint32_t& column, uint32_t& row) const;
    uint8_t GetReservation(int32_t x, int32_t y) const;
    void SetReservation(int32_t x, int32_t y, uint8_t level);
    CityArea GetBuiltArea() const;
    uint32_t GetGrowthDelay() const;
    // The tile set of the style for the current year.
    uint8_t GetCurrentTileSet() const;
    // Per SpecialBuildingTown row, the special buildings standing in the town.
    uint8_t* SpecialBuildingCounts() { return specialBuildingCounts_.data(); }
    uint32_t GetSpecialBuildingLevel() const { return specialLevel_; }
    uint8_t* FactoryCounts() { return factoryCounts_.data(); }
    uint8_t* ServiceFlags() { return serviceFlags_.data(); }
    // The town-centre factory's id, 0 without one.
    uint32_t GetCentreFactoryId() const { return centreFactory_; }
    MapObject* LinkedObject() const;
    CitySiteGrid& GetGrid(uint32_t which) { return grids_[which]; }
    CitySiteGrid& GetShapeBaseGrid() { return grids_[kGridShapeBase]; }
    CitySiteGrid& GetDistributionGrid() { return grids_[kGridDistribution]; }
    CityPlan& GetPlan() { return plan_; }
    const CityPlan& GetPlan() const { return plan_; }

    // The town's chunks, both directions (city_save.cpp).
    bool SerializeCity();

private:
    friend City* CreateCity(int32_t x, int32_t y, int32_t width, int32_t height, int32_t style);
    friend bool LoadCities();
    friend int32_t AddCity(std::unique_ptr<City> city, int32_t index);
    friend void UpdateCities(uint32_t t);
    friend void PregrowCities();

    // Sizes the per-tile data and links the grids and the plan.
    void SizeTileData();
    void LayCentreCross();
    // Runs the state's action; 1 after a growth step.
    int32_t RunState(bool force);
    // RunState for the pre-growth, which skips the actions of a town that
    // went a whole cycle without any effect while no town changed anything:
    // they would fail again alike.
    int32_t RunStatePregrowing();
    void RefreshGridsAt(int64_t t);
    void UpgradeRoadTile(int32_t x, int32_t y);
    void MakeTownRoad(int32_t x, int32_t y, uint32_t mask);
    void CreateCentreFactory();

    int32_t centreX_ = 0;
    int32_t centreY_ = 0;
    int32_t width_ = 0;
    int32_t height_ = 0;
    uint8_t sizeClass_ = 0;
    uint32_t population_ = 0;
    uint32_t growthState_ = 0;
    uint32_t gridState_ = 0;
    int32_t style_ = 0;
    int32_t index_ = 0;
    int64_t lastGridTime_ = 0;
    int64_t growthTime_ = 0;
    std::string name_;
    std::array<uint8_t, 19> growthFactorFlags_{};
    uint8_t spareFlag_ = 0;
    std::array<uint8_t, 32> factoryCounts_{};
    uint32_t specialLevel_ = 0;
    uint32_t specialInProgress_ = 0;
    std::array<uint8_t, 256> specialBuildingCounts_{};
    float speed_ = 1.0f;
    std::array<uint32_t, kStyleValues> styleValues_{};
    std::array<uint8_t, 52> reserved_{};
    std::array<uint8_t, 19> serviceFlags_{};
    uint8_t roadUpgradeDone_ = 0;
    uint32_t centreFactory_ = 0;
    std::array<CitySiteGrid, 4> grids_;
    CityPlan plan_;
    std::vector<uint8_t> reservedLots_;
    uint32_t houses_ = 0;
    // Reserved lots by level, of the last census.
    std::array<uint32_t, 5> reservedByLevel_{};
    // The pre-growth's run of actions without effect: its length, the
    // towns' change count when it began, and the census it took.
    uint32_t quietActions_ = 0;
    uint64_t quietSince_ = 0;
    std::array<uint32_t, 5> quietCensus_{};
};

// Founds a town at a tile in the first free slot: its town-centre factory,
// the cross of roads at its centre, the road upgrade and the grids. Null
// when the table is full or the tile is off the map.
City* CreateCity(int32_t x, int32_t y, int32_t width, int32_t height, int32_t style);
// Stores a town at an index (0: the first free slot), raising the count to
// it; the index used, or 0 when the slot is taken or out of range.
int32_t AddCity(std::unique_ptr<City> city, int32_t index);
// The town of index 1..100, or null.
City* GetCity(int32_t index);
// The highest index filled since the table was last cleared.
int32_t GetCityCount();
// Empties all 100 slots and the counters, deleting the towns (their houses
// and roads stay on the map).
void ClearCityTable();
// Deletes one town (its slot stays empty; the count stays).
void DeleteCity(int32_t index);
// Deletes every town and clears the table; with removeFromMap the towns'
// houses and roads go too.
void DeleteAllCities(bool removeFromMap = false);

// The town whose centre is nearest to (x, y) by Manhattan distance, the
// lower index of equals; 0 when there is none.
int32_t NearestTown(int32_t x, int32_t y);
// As NearestTown, but 0 unless a centre lies nearer than 10000.
int32_t FindNearestCity(int32_t x, int32_t y);
// 0..5: the first i (0..4) whose CityPopulationSizeLimit row i + 1 the
// population stays below; a missing row ends the search at i.
uint32_t GetCitySizeClass(uint32_t population);
// The town road's route type: 10 (asphalt) from its years on, else 8.
uint32_t GetTownRoadType();
// The census counters of the last census: total, then levels 1..4.
std::array<uint32_t, 5>& CityCensus();

// The world loop's town update: serves the town at the cursor, as many
// steps as it is due, then moves the cursor on.
void UpdateCities(uint32_t t);
uint32_t GetCityCursor();
bool SetCityCursor(uint32_t cursor);
// Grows the towns for the years from 1850 to the clock's year, 9000 town
// updates a year.
void PregrowCities();
inline constexpr uint32_t kPregrowCallsPerYear = 9000;
// Sets every town's growth time and last grid time to the clock's time.
void ResetCityTimers();
void ClearCityServiceFlags();

// The footprint of a special-building type (from its graphic); without a
// provider every type is 2 x 2.
std::function<bool(int32_t type, int32_t& w, int32_t& h)>& SpecialBuildingFootprint();

// The "city" section of a saved game. Loading expects the map objects
// already loaded; it refuses (false) indexes, sizes and names that do not
// hold together.
bool SaveCities();
bool LoadCities();
