// Reads arbitrary bytes as a station layout file. Whatever the bytes, no
// layout has more loading areas than can be reserved, every query by
// rotation answers without fault, and a second read of the same text into
// the same table gives the same layouts.
#include "transport/station_layout.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace {

void Check(bool condition) {
    if (!condition)
        __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    StationLayouts layouts;
    layouts.Read(text, "fuzz");
    Check(layouts.Size() <= StationLayouts::kMaxLayoutNumber + 1);
    for (uint32_t n = 0; n < layouts.Size(); ++n) {
        const StationLayout* layout = layouts.Get(n);
        if (!layout)
            continue;
        Check(layout->LoadAreaCount() <= StationLayout::kMaxLoadAreaCount);
        for (uint32_t rotation : {1u, 2u, 4u, 8u}) {
            for (const LayoutArea& area : layout->areas) {
                LayoutRect rect;
                if (area.used)
                    Check(TurnLayoutArea(area, 7, 3, rotation, 100, 200, rect));
            }
            for (const WaypointList& route : layout->routes) {
                for (uint32_t i = 0; i < route.Count(); ++i) {
                    LayoutTile tile;
                    const Waypoint& p = route.Get(i);
                    Check(TurnLayoutPoint(int32_t(p.x), int32_t(p.y), p.direction, 7, 3, rotation, 100, 200,
                                          tile));
                }
            }
        }
    }
    StationLayouts again;
    again.Read(text, "fuzz");
    Check(again.Size() == layouts.Size());
    return 0;
}
