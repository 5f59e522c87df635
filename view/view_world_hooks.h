// The world hooks of a game that is shown: the towns' hooks, with the
// presentation's per-frame updates (timed effects, landscape extras, spray)
// after the ticks, and their lists emptied or rebuilt when the world is
// reset, a new game starts or a game is loaded.
#pragma once

#include "economy/town_services.h"

class ViewWorldHooks : public TownWorldHooks {
public:
    void ResetWorld() override;
    void NewGameInit(uint32_t mapWidth, uint32_t mapHeight) override;
    void AfterLoad() override;
    void UpdateEffects(uint32_t t) override;
    void UpdateGimmicks(uint32_t t) override;
    void UpdateSurf() override;
};
