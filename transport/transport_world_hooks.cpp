#include "transport/transport_world_hooks.h"

#include "transport/route_construction.h"
#include "transport/route_planner.h"
#include "transport/signals.h"

void TransportWorldHooks::ResetWorld() {
    DeleteAllSignals();
    GetConstructionQueue().Clear();
    GetBuildRoutePlanner().plannedType = 0;
    DeleteRoutePlanners();
    WorldModelHooks::ResetWorld();
}

void TransportWorldHooks::NewGameInit(uint32_t mapWidth, uint32_t mapHeight) {
    DeleteAllSignals();
    GetConstructionQueue().Clear();
    WorldModelHooks::NewGameInit(mapWidth, mapHeight);
    CreateRoutePlanners();
}

void TransportWorldHooks::RebuildDerivedState() {
    WorldModelHooks::RebuildDerivedState();
    // The graphs are built from the loaded map by their first query; the
    // blocks are recomputed at the next refresh.
    CreateRoutePlanners();
    MarkSignalsDirty();
}

void TransportWorldHooks::RefreshSignalsIfDirty() {
    ::RefreshSignalsIfDirty();
}

void TransportWorldHooks::SetSignalsDirty() {
    MarkSignalsDirty();
}

void TransportWorldHooks::StepConstruction(uint32_t t) {
    StepRouteConstruction(t);
}
