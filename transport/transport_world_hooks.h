// The world model's hooks with the transport network added: the reset and
// a new game drop the signals and the route graphs, a loaded game gets
// fresh graphs, and the loop refreshes the signal blocks and lets the
// construction workers work.
#pragma once

#include "gameloop/world_model.h"

class TransportWorldHooks : public WorldModelHooks {
public:
    void ResetWorld() override;
    void NewGameInit(uint32_t mapWidth, uint32_t mapHeight) override;
    void RebuildDerivedState() override;
    void RefreshSignalsIfDirty() override;
    void SetSignalsDirty() override;
    void StepConstruction(uint32_t t) override;
};
