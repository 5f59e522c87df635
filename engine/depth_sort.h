// The depth sort of a sprite list: puts the sort records of the kept
// sprites into drawing order, back to front, by the draw order rules.
#pragma once

#include "engine/draw_item.h"

#include <cstdint>
#include <vector>

namespace Engine {

// Fills order with the numbers 0 to count-1 of keys in drawing order.
//
// Each item stands on the screen diagonals x - y from x1 - y2 to x2 - y1.
// The diagonals are taken from the most negative up; each diagonal's items
// are sorted by DrawOrderLess with SortByDrawOrder, and an item met for the
// first time is placed right after the item before it on that diagonal
// (after the whole order when it comes first). Only the diagonals where
// items start matter, and where no two items of a diagonal share an edge
// coordinate (a y1 equal to another's y2, or an x1 to another's x2) the
// rules reduce to one total order: order key, then x2 + y2, then screen
// top, then queue order. Those diagonals find the item before each new one
// in that order among the items present; the others run the full sort.
void DepthSortOrder(const SortKey* keys, size_t count, std::vector<uint32_t>& order);

} // namespace Engine
