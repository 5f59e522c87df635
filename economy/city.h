// Towns: a centre tile with its rectangle, a name, a style and the
// population of its houses, kept in a table of 100 slots addressed by the
// town index 1..100. A town grows one step at a time: a house on a free lot
// beside its roads, a house raised a level, or a road laid along its street
// grid; every choice is fixed by the map, so growth is the same everywhere.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>

class MapObject;

inline constexpr int32_t kMaxCities = 100;
inline constexpr size_t kMaxCityNameChars = 63;
// The factory row every town owns for its passengers and mail.
inline constexpr int32_t kTownCentreFactoryType = 999;
// Town roads run along every kStreetSpacing-th row and column from the centre.
inline constexpr int32_t kStreetSpacing = 4;
inline constexpr int32_t kMaxHouseLevel = 4;

class City {
public:
    // An empty town for loading: every field zero, no town-centre factory.
    City();
    // Deletes the town-centre factory; the table slot is emptied by the table.
    ~City();
    City(const City&) = delete;
    City& operator=(const City&) = delete;

    // One growth step when the growth delay has passed since the last one
    // (always with force). 1 when the town grew, else 0.
    int32_t Update(uint32_t t, bool force);
    // Removes the town's houses and roads from the map.
    void Remove();
    // Counts the town's houses and their inhabitants; sets population and
    // size class.
    void TakeCensus();

    void SetName(const std::string& name);
    const std::string& GetName() const { return name_; }
    int32_t GetIndex() const { return index_; }
    int32_t GetCentreX() const { return centreX_; }
    int32_t GetCentreY() const { return centreY_; }
    int32_t GetWidth() const { return width_; }
    int32_t GetHeight() const { return height_; }
    int32_t GetStyle() const { return style_; }
    uint32_t GetPopulation() const { return population_; }
    uint8_t GetSizeClass() const { return sizeClass_; }
    uint32_t GetHouseCount() const { return houses_; }
    int64_t GetGrowthTime() const { return growthTime_; }
    void SetGrowthTime(int64_t t) { growthTime_ = t; }
    // The rectangle without its outermost rows and columns.
    bool Contains(int32_t x, int32_t y) const;
    // Milliseconds of game time between two growth steps.
    uint32_t GetGrowthDelay() const;
    // Per SpecialBuildingTown row, the special buildings standing in the town.
    uint8_t* SpecialBuildingCounts() { return specialBuildingCounts_.data(); }
    // The town-centre factory's id, 0 without one.
    uint32_t GetCentreFactoryId() const { return centreFactory_; }
    MapObject* LinkedObject() const;

    // The saved block and the factory id, both directions (city_save.cpp).
    bool SerializeCity();

private:
    friend City* CreateCity(int32_t x, int32_t y, int32_t width, int32_t height, int32_t style);
    friend bool LoadCities();
    friend int32_t AddCity(std::unique_ptr<City> city, int32_t index);

    void SetStyle(int32_t style);
    void LayCentreCross();
    bool BuildHouse();
    bool UpgradeHouse();
    // Calls visit(house, x, y) for each footprint tile inside the town's
    // area that belongs to one of its houses.
    template <typename Visit>
    void ForEachHouseTile(Visit visit) const;
    bool BuildRoad();
    bool LaysRoad(int32_t x, int32_t y) const;
    bool IsTownRoad(int32_t x, int32_t y) const;
    void PlaceRoad(int32_t x, int32_t y, uint32_t directions);

    int32_t centreX_ = 0;
    int32_t centreY_ = 0;
    int32_t width_ = 0;
    int32_t height_ = 0;
    uint8_t sizeClass_ = 0;
    uint32_t population_ = 0;
    int32_t style_ = 0;
    int32_t index_ = 0;
    int64_t lastGridTime_ = 0;
    int64_t growthTime_ = 0;
    std::string name_;
    std::array<uint8_t, 256> specialBuildingCounts_{};
    float speed_ = 1.0f;
    // XDim, YDim and the other values of the style row, as saved.
    std::array<uint32_t, 14> styleValues_{};
    uint32_t centreFactory_ = 0;
    // From the last census: houses and the sum of their levels.
    uint32_t houses_ = 0;
    uint32_t levelSum_ = 0;
};

// Founds a town at a tile in the first free slot: its town-centre factory
// and the cross of roads at its centre. Null when the table is full.
City* CreateCity(int32_t x, int32_t y, int32_t width, int32_t height, int32_t style);
// Stores a town at an index (0: the first free slot), raising the count to
// it; the index used, or 0 when the slot is taken or out of range.
int32_t AddCity(std::unique_ptr<City> city, int32_t index);
// The town of index 1..100, or null.
City* GetCity(int32_t index);
// The highest index filled since the table was last cleared.
int32_t GetCityCount();
// Empties all 100 slots and the counters. The table owns its towns, so
// they are deleted with it (their houses and roads stay on the map).
void ClearCityTable();
// Deletes one town (its slot stays empty; the count stays).
void DeleteCity(int32_t index);
// Deletes every town and clears the table; with removeFromMap the towns'
// houses and roads go too.
void DeleteAllCities(bool removeFromMap = false);

// The town whose centre is nearest to (x, y) by Manhattan distance, the
// lower index of equals; 0 when there is none.
int32_t NearestTown(int32_t x, int32_t y);
// 0..5: the first i (0..4) whose CityPopulationSizeLimit row i + 1 the
// population stays below; a missing row ends the search at i.
uint32_t GetCitySizeClass(uint32_t population);

// The world loop's town update: serves the town at the cursor, then moves
// the cursor on.
void UpdateCities(uint32_t t);
// The cursor: the table position (from 0) of the town the next update
// serves. Setting refuses (false) a position the table does not have.
uint32_t GetCityCursor();
bool SetCityCursor(uint32_t cursor);
// Grows the towns for the years from 1850 to the clock's year, at most
// kMaxPregrowYears of them and a few steps per town and year; the houses
// appear finished meanwhile.
void PregrowCities();
inline constexpr uint32_t kMaxPregrowYears = 150;
inline constexpr uint32_t kPregrowStepsPerYear = 4;
// Sets every town's growth time to the clock's time.
void ResetCityTimers();

// The "city" section of a saved game. Loading expects the map objects
// already loaded; it refuses (false) indexes, sizes and names that do not
// hold together.
bool SaveCities();
bool LoadCities();
