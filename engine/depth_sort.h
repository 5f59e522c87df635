// The depth sort of a sprite list: puts the sort records of the kept
// sprites into drawing order, back to front, by the draw order rules.
#pragma once

#include "engine/draw_item.h"

#include <cstdint>
#include <vector>

namespace Engine {

// Fills order with the numbers 0 to count-1 of keys in drawing order. Each
// key's rectangle must pass CheckDrawRect.
//
// Each item stands on the screen diagonals x - y from x1 - y2 to x2 - y1.
// The order starts with the first queued item of the most negative
// diagonal. The diagonals are taken from there up; each diagonal's items
// are sorted by DrawOrderLess with SortByDrawOrder from queue order, and an
// item met for the first time is placed right after the item before it on
// that diagonal (after the whole order when it comes first). Only the
// diagonals where items start matter. The rules reduce to one total order
// (a larger order key, then a larger x2 + y2, then a larger screen top,
// then queue order) for any pair that shares no edge coordinate (one's x1
// on the other's x2, or y1 on y2), so a diagonal whose pairs sharing an
// edge are ordered alike by both sorts like the total order: there the
// item before each new one is found among the items present by rank.
// Other diagonals, and crowded ones, run the full sort.
void DepthSortOrder(const SortKey* keys, size_t count, std::vector<uint32_t>& order);

} // namespace Engine
