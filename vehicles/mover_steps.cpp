#include "vehicles/mover_steps.h"

#include "data/generated/route_tables.h"
#include "world/world_map.h"

uint32_t RoadSpeedLimitAt(int32_t x, int32_t y) {
    const WorldMap& map = GetWorldMap();
    if (x < 0 || y < 0 || !map.InMap(uint32_t(x), uint32_t(y)))
        return 0;
    const RouteBuilderRow* row =
        RouteBuilderTable::Find(int32_t(map.GetRouteTypeAt(2, uint32_t(x), uint32_t(y))));
    return row && row->SpeedLimit > 0 ? uint32_t(row->SpeedLimit) : 0;
}

bool LoadedMoverFits(const MoverRecord& r) {
    const WorldMap& map = GetWorldMap();
    for (auto [x, y] :
         {std::pair{r.x, r.y}, std::pair{r.previousX, r.previousY}, std::pair{r.beforeX, r.beforeY}})
        if (x < 0 || y < 0 || !map.InMap(uint32_t(x), uint32_t(y)))
            return false;
    for (uint8_t d : r.directions)
        if (d != 0 && !IsSingleDirection(d))
            return false;
    return true;
}
