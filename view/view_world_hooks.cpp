#include "view/view_world_hooks.h"

#include "engine/engine_state.h"
#include "engine/frame.h"
#include "engine/screen.h"
#include "platform/clock.h"
#include "platform/local_date.h"
#include "view/gimmicks.h"
#include "view/interface_state.h"
#include "view/minimap.h"
#include "view/object_drawing.h"
#include "view/screen_effects.h"
#include "view/sound_system.h"
#include "view/spray.h"
#include "world/game_clock.h"

namespace {

void StartPresentation() {
    InitGimmickTileLists();
    MiniMapOf().PrepareForGame();
    InstallObjectSoundHandOver();
}

} // namespace

void ViewWorldHooks::ResetWorld() {
    TownWorldHooks::ResetWorld();
    DeleteAllGimmicks();
    DeleteAllScreenEffects();
    SprayOf().instances.clear();
}

void ViewWorldHooks::NewGameInit(uint32_t mapWidth, uint32_t mapHeight) {
    TownWorldHooks::NewGameInit(mapWidth, mapHeight);
    StartPresentation();
}

void ViewWorldHooks::AfterLoad() {
    TownWorldHooks::AfterLoad();
    StartPresentation();
    EnableMusic(InterfaceStateOf().MusicOn() ? 1 : 0);
}

void ViewWorldHooks::UpdateEffects(uint32_t) {
    UpdateScreenEffects(plat::Clock::Millis());
}

void ViewWorldHooks::UpdateGimmicks(uint32_t t) {
    GimmickInputs in;
    const GameClock* clock = GetGameClock();
    in.paused = !clock || clock->GetSpeed() == 0.0f;
    in.year = clock ? clock->GetCurrentYear() : 0;
    plat::LocalDate(in.day, in.month);
    in.realMs = plat::Clock::Millis();
    if (Engine::State().started) {
        in.idleSeconds = uint32_t(Engine::TimeSinceInput() / 1000);
        Engine::GetScreenSize(&in.screenWidth, &in.screenHeight);
    }
    ::UpdateGimmicks(t, in);
}

void ViewWorldHooks::UpdateSurf() {
    UpdateSpray(plat::Clock::Millis());
}
