// A town's plan: one byte per tile of the town rectangle that marks the
// planned streets and building lots, and the planner that fills it with
// rectangular street blocks, each a ring of road around its lots, laid
// from existing road corners.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

class City;

inline constexpr uint8_t kPlanOpen = 0;
inline constexpr uint8_t kPlanBlocked = 1;
inline constexpr uint8_t kPlanOpenToo = 2;
inline constexpr uint8_t kPlanRoad = 3;
inline constexpr uint8_t kPlanLot = 4;

class CityPlan {
public:
    void Resize(uint32_t width, uint32_t height);
    // Ties the plan to its town and the town rectangle's top-left tile.
    void Link(uint32_t index, int32_t left, int32_t top) {
        town_ = index;
        left_ = left;
        top_ = top;
    }
    uint32_t GetTown() const { return town_; }
    City* GetCity() const;
    uint32_t GetWidth() const { return width_; }
    uint32_t GetHeight() const { return height_; }
    bool IsPlanned() const { return planned_ != 0; }
    void SetPlanned(bool planned) { planned_ = planned ? 1 : 0; }

    // Every value open, the planned flag clear.
    void Clear();
    // The value at a map tile inside the town rectangle.
    uint8_t GetValue(int32_t x, int32_t y) const;
    void SetValue(int32_t x, int32_t y, uint8_t v);
    // Whether a map tile lies in the plan rectangle.
    bool InPlan(int32_t x, int32_t y) const;
    uint8_t GetCell(uint32_t column, uint32_t row) const { return plan_[size_t(row) * width_ + column]; }
    void SetCell(uint32_t column, uint32_t row, uint8_t v) { plan_[size_t(row) * width_ + column] = v; }
    uint8_t GetBackupCell(uint32_t column, uint32_t row) const {
        return backup_[size_t(row) * width_ + column];
    }

    // 1 when the plan fits the map; with repair, the conflicts are opened
    // up with the ground around them and the answer is 0.
    int32_t Validate(bool repair);
    bool IsEnclosedLot(uint32_t column, uint32_t row) const;
    // The directions whose neighbour has a road or a planned road, masked by
    // filter; 0 at a junction of three or four.
    uint32_t RoadNeighbourMask(int32_t x, int32_t y, uint32_t filter) const;

    // The plan's "data" chunk, both directions; loading refuses a size
    // other than the town's.
    bool Transfer(uint32_t townWidth, uint32_t townHeight);

private:
    uint32_t width_ = 0;
    uint32_t height_ = 0;
    uint32_t town_ = 0;
    int32_t left_ = 0;
    int32_t top_ = 0;
    uint32_t planned_ = 0;
    std::vector<uint8_t> backup_;
    std::vector<uint8_t> plan_;
};

// The parameter of BlockCornerFits: the plan, and the block found.
struct BlockSearch {
    CityPlan* plan = nullptr;
    int32_t x = 0, y = 0;
    uint32_t mask = 0;
    uint32_t width = 0, height = 0;
    uint32_t pass = 1;
};

class CityPlanner {
public:
    explicit CityPlanner(City& city) : city_(city) {}
    // 1 when planning is complete, 0 when a block was laid (only without
    // loop).
    int32_t PlanBlocks(bool loop);
    int32_t PlanAll() { return PlanBlocks(true); }
    bool FindNextBlock(uint32_t pass, BlockSearch& found);
    bool ChooseBlockSize(int32_t cx, int32_t cy, uint32_t pass, uint32_t mask, uint32_t& width,
                         uint32_t& height);
    void MarkBlock(int32_t cx, int32_t cy, uint32_t mask, uint32_t width, uint32_t height);
    static void FillSquare(CityPlan& plan, int32_t x, int32_t y, int32_t r, uint8_t v);

private:
    City& city_;
};

// The predicate that tries a block at a road corner diagonal to the tile.
int32_t BlockCornerFits(int32_t priority, int32_t x, int32_t y, void* param);
