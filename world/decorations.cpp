// Decorations on the tile map, the change logs that record their removal
// and the marked rectangle of a building under construction.
#include "world/world_map.h"

#include "world/world_services.h"

#include <algorithm>

using namespace decoration_bits;

namespace {

std::vector<DecorationRecord>& PostedDecorations() {
    return CurrentWorld().postedDecorations;
}

constexpr uint32_t kMaxDecorationNumber = 127;
// frame + 1 must fit the seven bits it is read back from.
constexpr uint32_t kMaxDecorationFrame = 126;
constexpr uint32_t kMaxDecorationSize = 7;

} // namespace

std::vector<DecorationRecord> TakePostedDecorations() {
    std::vector<DecorationRecord> out;
    out.swap(PostedDecorations());
    return out;
}

bool WorldMap::PlaceDecoration(uint32_t x, uint32_t y, uint32_t number, uint32_t frame) {
    if (number > kMaxDecorationNumber || frame > kMaxDecorationFrame)
        return false;
    uint32_t n = Services().decorationSize ? Services().decorationSize(number, frame) : 1;
    if (n == 0)
        n = 1;
    if (n > kMaxDecorationSize || !RectInMap(x, y, n, n))
        return false;
    for (uint32_t ty = y; ty < y + n; ++ty) {
        for (uint32_t tx = x; tx < x + n; ++tx) {
            const WorldCell& cell = *CellAt(tx, ty);
            uint32_t kind = cell.Kind();
            if (kind == kCellFootprint || kind == kCellRoute || kind == kCellDecoration ||
                kind >= kCellKindCount)
                return false;
            if (GetSlotObject(cell, 0) != 0 || GetSlotObject(cell, 1) != 0)
                return false;
        }
    }
    uint32_t graphic = (number << 8) + frame + 1;
    for (uint32_t dy = 0; dy < n; ++dy) {
        for (uint32_t dx = 0; dx < n; ++dx) {
            WorldCell& cell = *CellAt(x + dx, y + dy);
            ChangeKind(cell, kCellDecoration);
            uint32_t bits = (graphic << kGraphicShift);
            if (dx == 0 && dy == 0)
                bits |= kOriginBit | (n << kColumnShift);
            else
                bits |= (dx << kColumnShift) | (dy << kRowShift);
            cell.word1 = (cell.word1 & 0x1FF) | bits;
        }
    }
    InvalidateMiniMap(int32_t(x), int32_t(y), int32_t(x + n), int32_t(y + n));
    return true;
}

bool WorldMap::IsDecorationFree(uint32_t x, uint32_t y) const {
    const WorldCell* cell = FindCell(x, y);
    if (!cell)
        return false;
    uint32_t kind = cell->Kind();
    if (kind == kCellFootprint || kind == kCellRoute || kind == kCellDecoration)
        return false;
    return ((cell->word0 >> 25) & 15) == 0;
}

WorldCell* WorldMap::FindDecorationOrigin(uint32_t& x, uint32_t& y) {
    WorldCell* cell = FindCell(x, y);
    if (!cell || cell->Kind() != kCellDecoration || (cell->word1 & kOriginBit))
        return cell;
    x -= (cell->word1 >> kColumnShift) & 7;
    y -= (cell->word1 >> kRowShift) & 7;
    return FindCell(x, y);
}

void WorldMap::RemoveDecorationAt(uint32_t x, uint32_t y) {
    WorldCell* cell = FindCell(x, y);
    if (!cell || cell->Kind() != kCellDecoration)
        return;
    uint32_t ox = x, oy = y;
    WorldCell* origin = FindDecorationOrigin(ox, oy);
    if (!origin || origin->Kind() != kCellDecoration || !(origin->word1 & kOriginBit)) {
        // A damaged square: clear the one cell, there is nothing to record.
        ChangeKind(*cell, kCellPlain);
        InvalidateMiniMap(int32_t(x), int32_t(y), int32_t(x + 1), int32_t(y + 1));
        return;
    }
    uint32_t word = origin->word1;
    uint32_t n = std::max(1u, (word >> kColumnShift) & 7);
    DecorationRecord record{ox, oy, (word >> 17) & 127, ((word >> kGraphicShift) & 127) - 1};
    for (auto& log : changeLogs_)
        log->records_.push_back(record);
    for (uint32_t ty = oy; ty < oy + n && ty < height_; ++ty)
        for (uint32_t tx = ox; tx < ox + n && tx < width_; ++tx)
            if (CellAt(tx, ty)->Kind() == kCellDecoration)
                ChangeKind(*CellAt(tx, ty), kCellPlain);
    InvalidateMiniMap(int32_t(ox), int32_t(oy), int32_t(ox + n), int32_t(oy + n));
}

MapChangeLog* WorldMap::CreateMapChangeLog() {
    changeLogs_.push_back(std::make_unique<MapChangeLog>());
    return changeLogs_.back().get();
}

void WorldMap::DeleteMapChangeLog(MapChangeLog* log) {
    auto it =
        std::find_if(changeLogs_.begin(), changeLogs_.end(), [&](const auto& p) { return p.get() == log; });
    if (it == changeLogs_.end())
        return;
    for (const DecorationRecord& r : log->records_) {
        if (Services().postPlaceDecoration)
            Services().postPlaceDecoration(r.x, r.y, r.number, r.frame);
        else
            PostedDecorations().push_back(r);
    }
    changeLogs_.erase(it);
}

void WorldMap::SetMarkedRect(int32_t left, int32_t top, int32_t right, int32_t bottom) {
    if (!marked_.set) {
        marked_ = {};
        marked_.set = true;
    }
    auto mark = [&](int32_t l, int32_t t, int32_t r, int32_t b, bool on) {
        int32_t x0 = std::max(l, 0), y0 = std::max(t, 0);
        int32_t x1 = std::min<int64_t>(r, width_), y1 = std::min<int64_t>(b, height_);
        for (int32_t y = y0; y < y1; ++y) {
            for (int32_t x = x0; x < x1; ++x) {
                WorldCell& cell = *CellAt(uint32_t(x), uint32_t(y));
                if (cell.Kind() != kCellDecoration)
                    continue;
                cell.word1 = on ? cell.word1 | kMarkBit : cell.word1 & ~kMarkBit;
            }
        }
    };
    if (left != marked_.left || top != marked_.top || right != marked_.right || bottom != marked_.bottom)
        mark(marked_.left, marked_.top, marked_.right, marked_.bottom, false);
    mark(left, top, right, bottom, true);
    marked_.left = left;
    marked_.top = top;
    marked_.right = right;
    marked_.bottom = bottom;
}
