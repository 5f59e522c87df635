// The questions the tile map asks of a bridge or tunnel piece attached to a
// cell. Bridge spans derive from it; until they exist a span is this base,
// which runs nowhere and answers no height.
#pragma once

#include "world/map_object.h"

class SpanPiece : public MapObject {
public:
    SpanPiece() : MapObject(kCategorySpan, 0) {}

    // The straight direction mask the piece runs along: 5 or 10, 0 unknown.
    virtual uint32_t GetOrientation() const { return 0; }
    // The piece's height at the edge of a direction mask, -1 for none.
    virtual int32_t GetEdgeHeight(uint32_t mask) const {
        (void)mask;
        return -1;
    }
    // The route type it carries (a RouteBuilder row).
    virtual int32_t GetRouteType() const { return 0; }
    // Whether the piece is a tunnel portal, and whether its entrance is
    // the tile (x, y).
    virtual bool IsTunnel() const { return false; }
    virtual bool IsTunnelEntranceAt(int32_t x, int32_t y) const {
        (void)x;
        (void)y;
        return false;
    }
    virtual bool HasNext() const { return false; }
};
