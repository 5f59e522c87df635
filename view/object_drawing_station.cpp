// The drawing of stations: their ground pieces, buildings, owner's icon
// and name sign.
#include "data/generated/route_tables.h"
#include "engine/graphic_sets.h"
#include "transport/station.h"
#include "view/object_drawing.h"
#include "view/object_drawing_parts.h"
#include "world/yearly_modifiers.h"

#include <algorithm>

namespace {

constexpr int32_t kStationKind = 10;
constexpr int32_t kTinted = 17;

} // namespace

int32_t DrawStationParts(const Building& building, uint32_t ownerColour, bool buildingsShown) {
    const auto* station = dynamic_cast<const Station*>(&building);
    if (!station)
        return -1;
    const Station& s = *station;
    const StationLayout* layout = s.GetLayout();
    const StationRow* row = StationTable::Find(s.GetKind());
    if (!layout || !row)
        return 0;
    const int32_t rotation = std::max(s.GetRotationIndex(), 0);
    const uint32_t key = ObjectDepthKey(s.GetId(), 1);
    const bool air = s.GetMode() == 3;
    const uint32_t colour = s.IsPlanned() ? GetRouteUnderConstructionColor() : ownerColour;
    int32_t w = 0, h = 0;
    GetStationSize(s.GetKind(), 0, w, h);
    int32_t n = 0;
    for (const LayoutPart& part : layout->parts) {
        if (!part.used)
            continue;
        int32_t turn = -1;
        if (part.c >= 5 && part.c <= 8)
            turn = (rotation + part.c - 5) % 4;
        else if ((part.c == 9 || (part.c == 4 && !air)) && buildingsShown)
            turn = (rotation + part.f) % 4;
        else if (part.c == 0 && buildingsShown)
            turn = rotation;
        if (turn < 0)
            continue;
        LayoutTile tile;
        if (!TurnLayoutPoint(part.x, part.y, 0, w, h, s.GetRotation(), s.GetOriginX(), s.GetOriginY(), tile))
            continue;
        GraphicSets::SelectColour(uint8_t(s.GetGraphicStage()));
        GraphicSets::SetFieldA(uint8_t(turn));
        n += QueueAt(SpriteFetch(kStationKind, row->GrafikIndex, part.v), tile.x, tile.y, 0, colour, kTinted,
                     key)
                 ? 1
                 : 0;
    }
    n += DrawOwnerIcon(s, s.GetOriginX(), s.GetOriginY(), key);
    if (ObjectDrawSwitchesOf().signs)
        n += DrawSign(s.GetOriginX(), s.GetOriginY(), s.GetName(), key);
    return n;
}
