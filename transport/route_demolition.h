// Taking road and track away again: the demolition of a rectangle (each
// tile with the arms of the company's way that lead out of it through
// crossings to the next piece), and the revert of a line of tentative
// pieces back to what lay there before. Both write the tiles at once.
#pragma once

#include <cstdint>

// Demolishes the company's way of the mode (1 track, 2 road) on one tile:
// its price, and with priceOnly false the tile changed. 0 when nothing of
// the company's may go there (another's way, a building, a vehicle).
int64_t DemolishRouteTile(uint32_t x, uint32_t y, uint32_t mode, uint32_t player, bool priceOnly);

// Demolishes every tile of the rectangle between the two corners (in any
// order); the summed price. Corners off the map demolish nothing.
int64_t DemolishRouteRect(int32_t x1, int32_t y1, int32_t x2, int32_t y2, uint32_t mode, uint32_t player,
                          bool priceOnly);

// Takes the pieces of a straight line between the two tiles away again,
// putting back the way that a tentative piece was laid over.
void RevertRouteLine(int32_t x1, int32_t y1, int32_t x2, int32_t y2, uint32_t mode, uint32_t player);
