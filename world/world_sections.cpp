#include "world/world_sections.h"

#include "files/chunk_stream.h"
#include "world/bridge_span.h"
#include "world/game_clock.h"
#include "world/headquarter_registry.h"
#include "world/object_manager.h"
#include "world/player.h"
#include "world/special_events.h"
#include "world/world_errors.h"
#include "world/world_map.h"

void ResetWorldState() {
    DeleteAllMapObjects();
    ResetHeadquarters();
    DeleteAllPlayers();
    SpecialEvents::EndAll();
    ResetCellRows();
    GetWorldMap().ResetState();
}

bool SaveWorldSections() {
    uint32_t tag = ChunkTag("time");
    BeginChunk(tag);
    if (GameClock* clock = GetGameClock())
        clock->Serialize();
    EndChunk();

    tag = ChunkTag("gmap");
    BeginChunk(tag);
    bool ok = GetWorldMap().SaveWorldMap();
    EndChunk();

    tag = ChunkTag("obj");
    BeginChunk(tag);
    ok = SaveMapObjects() && ok;
    EndChunk();

    tag = ChunkTag("plr");
    BeginChunk(tag);
    SavePlayers();
    EndChunk();

    tag = ChunkTag("SPE");
    BeginChunk(tag);
    SpecialEvents::Serialize();
    EndChunk();

    tag = 0;
    BeginChunk(tag);
    EndChunk();
    return ok && !StreamFailed();
}

bool LoadWorldSections() {
    ResetWorldState();
    ClearWorldError();
    bool ok = true;
    for (;;) {
        uint32_t tag = 0;
        BeginChunk(tag);
        if (tag == ChunkTag("time")) {
            if (GameClock* clock = GetGameClock())
                ok = clock->Serialize() && ok;
        } else if (tag == ChunkTag("gmap")) {
            ok = GetWorldMap().LoadWorldMap() && ok;
        } else if (tag == ChunkTag("obj")) {
            ok = ok && LoadMapObjects();
            ValidateBridgeChains();
        } else if (tag == ChunkTag("plr")) {
            ok = LoadPlayers() && ok;
        } else if (tag == ChunkTag("SPE")) {
            // The monthly step that follows a load belongs to the game loop.
            SpecialEvents::EndAll();
            SpecialEvents::Serialize();
            SpecialEvents::ApplyAllRunning();
        }
        EndChunk();
        if (tag == 0 || !ok || StreamFailed())
            break;
    }
    if (StreamFailed()) {
        ReportWorldError("the world sections are damaged: " + StreamError());
        return false;
    }
    return ok;
}
