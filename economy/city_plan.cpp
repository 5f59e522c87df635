#include "economy/city_plan.h"

#include "economy/city.h"
#include "economy/city_config.h"
#include "economy/town_predicates.h"
#include "files/chunk_transfer.h"
#include "platform/endian.h"
#include "world/random_streams.h"
#include "world/world_map.h"
#include "world/world_warnings.h"

#include <bit>

namespace {

constexpr int32_t kDx[4] = {0, 1, 0, -1};
constexpr int32_t kDy[4] = {-1, 0, 1, 0};

bool InMap(int32_t x, int32_t y) {
    return x >= 0 && y >= 0 && GetWorldMap().InMap(uint32_t(x), uint32_t(y));
}

bool HasRoad(int32_t x, int32_t y) {
    return InMap(x, y) && GetWorldMap().HasRoad(uint32_t(x), uint32_t(y));
}

bool HasTrack(int32_t x, int32_t y) {
    return InMap(x, y) && GetWorldMap().HasTrack(uint32_t(x), uint32_t(y));
}

bool CanTakeRoute(int32_t x, int32_t y) {
    return InMap(x, y) && GetWorldMap().CanBuildRouteAt(uint32_t(x), uint32_t(y));
}

} // namespace

City* CityPlan::GetCity() const {
    return ::GetCity(int32_t(town_));
}

void CityPlan::Resize(uint32_t width, uint32_t height) {
    width_ = width;
    height_ = height;
    plan_.assign(size_t(width) * height, 0);
    backup_.assign(size_t(width) * height, 0);
}

void CityPlan::Clear() {
    std::fill(plan_.begin(), plan_.end(), kPlanOpen);
    planned_ = 0;
}

bool CityPlan::InPlan(int32_t x, int32_t y) const {
    return x >= left_ && y >= top_ && x < left_ + int32_t(width_) && y < top_ + int32_t(height_);
}

uint8_t CityPlan::GetValue(int32_t x, int32_t y) const {
    return plan_[size_t(y - top_) * width_ + size_t(x - left_)];
}

void CityPlan::SetValue(int32_t x, int32_t y, uint8_t v) {
    plan_[size_t(y - top_) * width_ + size_t(x - left_)] = v;
}

uint32_t CityPlan::RoadNeighbourMask(int32_t x, int32_t y, uint32_t filter) const {
    uint32_t m = 0;
    for (uint32_t d = 0; d < 4; ++d) {
        const int32_t nx = x + kDx[d], ny = y + kDy[d];
        if (InMap(nx, ny) && InPlan(nx, ny) && (HasRoad(nx, ny) || GetValue(nx, ny) == kPlanRoad))
            m |= 1u << d;
    }
    if (std::popcount(m) >= 3)
        return 0;
    return filter & m;
}

bool CityPlan::IsEnclosedLot(uint32_t column, uint32_t row) const {
    const uint8_t v = GetCell(column, row);
    if (v != kPlanOpen && v != kPlanOpenToo)
        return false;
    const int32_t x = left_ + int32_t(column), y = top_ + int32_t(row);
    if (InMap(x, y) && (HoldsBuilding(x, y) || !FootprintFree(x, y) || HasRoad(x, y) || HasTrack(x, y)))
        return false;
    for (uint32_t d = 0; d < 4; ++d) {
        int64_t c = column, r = row;
        for (;;) {
            c += kDx[d];
            r += kDy[d];
            if (c < 0 || r < 0 || c >= int64_t(width_) || r >= int64_t(height_))
                return false;
            if (GetCell(uint32_t(c), uint32_t(r)) == kPlanRoad)
                break;
        }
    }
    return true;
}

int32_t CityPlan::Validate(bool repair) {
    backup_ = plan_;
    bool conflicts = false;
    for (uint32_t row = 0; row < height_; ++row) {
        for (uint32_t column = 0; column < width_; ++column) {
            const int32_t x = left_ + int32_t(column), y = top_ + int32_t(row);
            if (!InMap(x, y))
                continue;
            const uint8_t v = GetCell(column, row);
            const bool conflict = (v == kPlanRoad && !CanTakeRoute(x, y)) ||
                                  (v == kPlanLot && !HoldsBuilding(x, y) && !FootprintFree(x, y));
            if (!conflict)
                continue;
            if (!repair)
                return 0;
            SetCell(column, row, kPlanBlocked);
            conflicts = true;
        }
    }
    if (!conflicts)
        return 1;
    for (uint32_t row = 0; row < height_; ++row) {
        for (uint32_t column = 0; column < width_; ++column) {
            if (GetCell(column, row) != kPlanBlocked)
                continue;
            CityPlanner::FillSquare(*this, left_ + int32_t(column), top_ + int32_t(row), 2, kPlanOpen);
            SetCell(column, row, kPlanOpen);
        }
    }
    return 0;
}

bool CityPlan::Transfer(uint32_t townWidth, uint32_t townHeight) {
    const bool loading = StreamMode() == kStreamLoad;
    uint32_t tag = ChunkTag("data");
    BeginChunk(tag);
    bool ok = true;
    if (loading && tag != ChunkTag("data")) {
        WorldWarning("towns: town %u has no plan where one belongs", town_);
        ok = false;
    } else {
        uint8_t head[36] = {};
        plat::StoreLE32(head, width_);
        plat::StoreLE32(head + 4, height_);
        plat::StoreLE32(head + 8, town_);
        plat::StoreLE32(head + 12, planned_);
        std::vector<uint8_t> backup = backup_, plan = plan_;
        const bool whole = TransferSized(head, sizeof head) == 4 + sizeof head;
        TransferVector(backup);
        TransferVector(plan);
        if (loading) {
            const uint32_t w = plat::LoadLE32(head), h = plat::LoadLE32(head + 4);
            const size_t cells = size_t(w) * h;
            bool values = true;
            for (uint8_t v : plan)
                values = values && v <= kPlanLot;
            if (!whole || w != townWidth || h != townHeight || plan.size() != cells ||
                backup.size() != cells || !values) {
                WorldWarning("towns: the plan of town %u does not fit the town's %u x %u tiles", town_,
                             townWidth, townHeight);
                ok = false;
            } else {
                width_ = w;
                height_ = h;
                planned_ = plat::LoadLE32(head + 12) != 0 ? 1 : 0;
                backup_ = std::move(backup);
                plan_ = std::move(plan);
            }
        }
    }
    EndChunk();
    return ok && !StreamFailed();
}

int32_t BlockCornerFits(int32_t, int32_t x, int32_t y, void* param) {
    BlockSearch& search = *static_cast<BlockSearch*>(param);
    City* city = search.plan->GetCity();
    if (!city)
        return 0;
    struct Corner {
        int32_t dx, dy;
        uint32_t mask;
    };
    static constexpr Corner kCorners[4] = {{-1, -1, 6}, {-1, 1, 3}, {1, -1, 12}, {1, 1, 9}};
    CityPlanner planner(*city);
    for (const Corner& c : kCorners) {
        const int32_t cx = x + c.dx, cy = y + c.dy;
        if (!InMap(cx, cy) || !search.plan->InPlan(cx, cy) ||
            !(HasRoad(cx, cy) || search.plan->GetValue(cx, cy) == kPlanRoad))
            continue;
        uint32_t w = 0, h = 0;
        if (planner.ChooseBlockSize(cx, cy, search.pass, c.mask, w, h)) {
            search.x = cx;
            search.y = cy;
            search.mask = c.mask;
            search.width = w;
            search.height = h;
            return 1;
        }
    }
    return 0;
}

bool CityPlanner::ChooseBlockSize(int32_t cx, int32_t cy, uint32_t pass, uint32_t mask, uint32_t& width,
                                  uint32_t& height) {
    const BlockSizeSet& set = GetBlockSizeSet(city_.GetStyleValue(City::kBlockSet), pass == 2);
    if (set.count == 0)
        return false;
    const CityPlan& plan = city_.GetPlan();
    uint32_t fitting[kMaxBlockSizes] = {};
    uint32_t fits = 0;
    for (uint32_t k = 0; k < set.count && k < kMaxBlockSizes; ++k) {
        const int32_t w = int32_t(set.sizes[k].width), h = int32_t(set.sizes[k].height);
        const int32_t x0 = (mask & 8) ? cx - (w - 1) : cx, x1 = x0 + w - 1;
        const int32_t y0 = (mask & 1) ? cy - (h - 1) : cy, y1 = y0 + h - 1;
        if (!InMap(x0, y0) || !InMap(x1, y1) || !city_.Contains(x0, y0) || !city_.Contains(x1, y1))
            continue;
        bool ok = true;
        auto ringTile = [&](int32_t x, int32_t y) {
            const uint8_t v = plan.GetValue(x, y);
            return (HasRoad(x, y) || CanTakeRoute(x, y)) &&
                   (v == kPlanOpen || v == kPlanOpenToo || v == kPlanRoad);
        };
        for (int32_t x = x0; x <= x1 && ok; ++x)
            ok = ringTile(x, y0) && ringTile(x, y1);
        for (int32_t y = y0; y <= y1 && ok; ++y)
            ok = ringTile(x0, y) && ringTile(x1, y);
        // No street may run alongside the block's edges.
        auto alongside = [&](int32_t x, int32_t y, uint32_t filter) {
            return InMap(x, y) && city_.Contains(x, y) &&
                   (HasRoad(x, y) || plan.GetValue(x, y) == kPlanRoad) &&
                   plan.RoadNeighbourMask(x, y, filter) != 0;
        };
        for (int32_t x = x0; x <= x1 && ok; ++x)
            ok = !alongside(x, y0 - 1, 10) && !alongside(x, y1 + 1, 10);
        for (int32_t y = y0; y <= y1 && ok; ++y)
            ok = !alongside(x0 - 1, y, 5) && !alongside(x1 + 1, y, 5);
        for (int32_t y = y0 + 1; y < y1 && ok; ++y) {
            for (int32_t x = x0 + 1; x < x1 && ok; ++x) {
                const uint8_t v = plan.GetValue(x, y);
                ok = (v == kPlanOpen || v == kPlanOpenToo) && !HasRoad(x, y) && !HasTrack(x, y) &&
                     (HoldsBuilding(x, y) || FootprintFree(x, y));
            }
        }
        if (ok)
            fitting[fits++] = k;
    }
    if (fits == 0)
        return false;
    const uint32_t r = GameRandom() % fits;
    width = set.sizes[fitting[r]].width;
    height = set.sizes[fitting[r]].height;
    return true;
}

void CityPlanner::MarkBlock(int32_t cx, int32_t cy, uint32_t mask, uint32_t width, uint32_t height) {
    CityPlan& plan = city_.GetPlan();
    const int32_t w = int32_t(width), h = int32_t(height);
    const int32_t x0 = (mask & 8) ? cx - (w - 1) : cx, x1 = x0 + w - 1;
    const int32_t y0 = (mask & 1) ? cy - (h - 1) : cy, y1 = y0 + h - 1;
    for (int32_t y = y0; y <= y1; ++y)
        for (int32_t x = x0; x <= x1; ++x)
            if (plan.InPlan(x, y))
                plan.SetValue(x, y, x == x0 || x == x1 || y == y0 || y == y1 ? kPlanRoad : kPlanLot);
}

void CityPlanner::FillSquare(CityPlan& plan, int32_t x, int32_t y, int32_t r, uint8_t v) {
    for (int32_t j = y - r; j <= y + r; ++j)
        for (int32_t i = x - r; i <= x + r; ++i)
            if (plan.InPlan(i, j) && plan.GetValue(i, j) != kPlanBlocked)
                plan.SetValue(i, j, v);
}

bool CityPlanner::FindNextBlock(uint32_t pass, BlockSearch& found) {
    CityPlan& plan = city_.GetPlan();
    CitySiteGrid& grid = city_.GetShapeBaseGrid();
    found = BlockSearch{};
    found.plan = &plan;
    found.pass = pass;
    const Predicate list[] = {{DiagonalRoadNear, &plan},
                              {FootprintTestPredicate, nullptr},
                              {PlanIsOpen, &plan},
                              {BlockCornerFits, &found}};
    int32_t x = 0, y = 0;
    uint32_t count = 0;
    const int32_t p = grid.FindSite(0, list, x, y, count, false, true);
    if (p == CitySiteGrid::kNothing || count == 0)
        return false;
    if (count == 1)
        return true;
    const std::vector<CitySiteGrid::Tile>& bucket = grid.GetLayer(0).buckets[size_t(p)];
    if (bucket.empty())
        return false;
    const CitySiteGrid::Tile tile = bucket[GameRandom() % count % bucket.size()];
    CountParam first{p, 0, 1};
    const Predicate again[] = {{DiagonalRoadNear, &plan},
                               {FootprintTestPredicate, nullptr},
                               {PlanIsOpen, &plan},
                               {BlockCornerFits, &found},
                               {CountToTarget, &first}};
    return RunPredicateList(p, int32_t(tile.x), int32_t(tile.y), again) != 0;
}

int32_t CityPlanner::PlanBlocks(bool loop) {
    BlockSearch block;
    for (uint32_t pass = 1; pass <= 2; ++pass) {
        if (pass == 2)
            city_.GetShapeBaseGrid().ClearBuilt(0);
        while (FindNextBlock(pass, block)) {
            MarkBlock(block.x, block.y, block.mask, block.width, block.height);
            if (!loop)
                return 0;
        }
    }
    CityPlan& plan = city_.GetPlan();
    for (uint32_t row = 0; row < plan.GetHeight(); ++row) {
        for (uint32_t column = 0; column < plan.GetWidth(); ++column) {
            if (!plan.IsEnclosedLot(column, row))
                continue;
            const uint8_t backup = plan.GetBackupCell(column, row);
            plan.SetCell(column, row, backup != 0 ? backup : kPlanLot);
        }
    }
    plan.SetPlanned(true);
    return 1;
}
