// A town's building-site priority grid: one signed priority per tile of the
// town rectangle, spread as cones from terrain, roads, the centre and
// buildings, and four search layers that sort the tiles into 100 buckets
// by priority, so that a growth step finds the best tile that passes its
// predicates without scoring every tile.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

// A tile test: non-zero passes. param is the predicate's own value (a
// town, a plan, a small record that the predicate may write).
using TilePredicate = int32_t (*)(int32_t priority, int32_t x, int32_t y, void* param);
struct Predicate {
    TilePredicate test = nullptr;
    void* param = nullptr;
};
// 1 when every predicate passes (an empty list passes); stops at the first
// that fails.
int32_t RunPredicateList(int32_t priority, int32_t x, int32_t y, std::span<const Predicate> predicates);

// Set by the plan predicates when they fail; the pruning search drops a
// tile from its bucket when it is set after the tile failed.
bool& BlockedByPlan();

class CitySiteGrid {
public:
    static constexpr int32_t kNothing = INT32_MIN;
    static constexpr uint32_t kLayers = 4;
    static constexpr uint32_t kBuckets = 100;

    struct Tile {
        uint32_t x = 0, y = 0;
    };
    struct Hit {
        uint32_t x = 0, y = 0, position = 0;
    };
    struct Layer {
        bool built = false;
        std::array<std::vector<Tile>, kBuckets> buckets;
        std::vector<Hit> results;
    };

    // Sizes the priorities (new cells 0), empties every layer.
    void Resize(uint32_t width, uint32_t height);
    // Ties the grid to its town and the town rectangle's top-left tile.
    void Link(uint32_t index, int32_t left, int32_t top) {
        town_ = index;
        left_ = left;
        top_ = top;
    }
    uint32_t GetTown() const { return town_; }
    uint32_t GetWidth() const { return width_; }
    uint32_t GetHeight() const { return height_; }

    // One cell by map tile; callers pass tiles of the town rectangle.
    int8_t Get(int32_t x, int32_t y) const;
    void Set(int32_t x, int32_t y, int8_t value);
    // Cells by town-rectangle column and row.
    int8_t GetCell(uint32_t column, uint32_t row) const { return values_[size_t(row) * width_ + column]; }
    void SetCell(uint32_t column, uint32_t row, int8_t v) { values_[size_t(row) * width_ + column] = v; }
    void ClearValues();

    // Cones around a map tile, over the tiles of the map inside the town:
    // terrain (radius 8) and cone (radius |v|) raise a cell to the cone's
    // value, add adds the cone to the cell.
    void SpreadTerrain(int32_t x, int32_t y, int32_t v);
    void SpreadCone(int32_t x, int32_t y, int32_t v);
    void SpreadAdd(int32_t x, int32_t y, int32_t v);

    void BuildLayer(uint32_t layer);
    void ClearBuilt(uint32_t layer) { layers_[layer].built = false; }
    bool IsBuilt(uint32_t layer) const { return layers_[layer].built; }
    Layer& GetLayer(uint32_t layer) { return layers_[layer]; }
    const Layer& GetLayer(uint32_t layer) const { return layers_[layer]; }

    // The searches answer the priority of the hit (kNothing and count 0
    // without one); x, y are the first hit's tile.
    int32_t FindSite(uint32_t layer, std::span<const Predicate> predicates, int32_t& x, int32_t& y,
                     uint32_t& count, bool stopAtFirst, bool prune);
    int32_t FindAllSites(uint32_t layer, std::span<const Predicate> predicates, int32_t& x, int32_t& y,
                         uint32_t& count, bool stopAtFirst, bool prune);
    int32_t FindSitePruning(uint32_t layer, std::span<const Predicate> predicates, int32_t& x, int32_t& y,
                            uint32_t& count, bool stopAtFirst, bool prune);

    // The grid's "data" chunk, both directions. Loading refuses (false,
    // with a log line) a size that differs from the town's.
    bool Transfer(uint32_t townWidth, uint32_t townHeight);
    // The search layers, both directions; a damaged record leaves the
    // layer unbuilt (with a log line), so that it is rebuilt.
    void TransferLayers();

private:
    enum class Mode { First, All, Pruning };
    int32_t Search(Mode mode, uint32_t layer, std::span<const Predicate> predicates, int32_t& x, int32_t& y,
                   uint32_t& count, bool stopAtFirst, bool prune);
    // Strictly inside the town rectangle (City::Contains).
    bool Inside(int32_t x, int32_t y) const {
        return x > left_ && x < left_ + int32_t(width_) - 1 && y > top_ && y < top_ + int32_t(height_) - 1;
    }
    template <typename Write>
    void Spread(int32_t x, int32_t y, int32_t radius, Write write);

    uint32_t width_ = 0;
    uint32_t height_ = 0;
    uint32_t town_ = 0;
    int32_t left_ = 0;
    int32_t top_ = 0;
    std::vector<int8_t> values_;
    std::array<Layer, kLayers> layers_;
};
