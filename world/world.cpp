#include "world/world.h"

#include "world/game_clock.h"
#include "world/headquarter_registry.h"
#include "world/object_manager.h"
#include "world/player.h"

namespace world_detail {

thread_local constinit World* tCurrentWorld = nullptr;

World& DefaultWorld() {
    // Never destroyed: objects left at exit would otherwise die after what
    // their destructors touch.
    static World* world = new World();
    return *world;
}

} // namespace world_detail

World::World() = default;

World::~World() {
    // The objects' destructors reach their world through the accessors.
    WorldScope scope(*this);
    // Hooks capture a game that may be going too; teardown runs without.
    services = {};
    staticServices = {};
    generatorServices = {};
    specialEventHooks = {};
    while (!attachments_.empty()) {
        std::unique_ptr<WorldAttachment> last = std::move(attachments_.back().second);
        attachments_.pop_back();
        last.reset();
    }
    DeleteAllMapObjects();
    ResetHeadquarters();
    DeleteAllPlayers();
    for (size_t i = parts_.size(); i-- > 0;) {
        std::unique_ptr<WorldPart> part = std::move(parts_[i]);
        part.reset();
    }
    clock.reset();
}

void World::AdoptHooks(const World& other) {
    services = other.services;
    staticServices = other.staticServices;
    generatorServices = other.generatorServices;
    objectClasses = other.objectClasses;
    specialEventHooks = other.specialEventHooks;
}

void World::InheritUnsaved(const World& running) {
    AdoptHooks(running);
    gameRandom = running.gameRandom;
    runtimeRandom = running.runtimeRandom;
    houseRandom = running.houseRandom;
    clock = running.clock ? running.clock->Clone() : nullptr;
    region = running.region;
    uiState = running.uiState;
    generatorCounters = running.generatorCounters;
    postedDecorations = running.postedDecorations;
}

void World::SwapContents(World& other) {
    using std::swap;
    swap(map_, other.map_);
    swap(parts_, other.parts_);
    swap(attachments_, other.attachments_);
    swap(gameRandom, other.gameRandom);
    swap(runtimeRandom, other.runtimeRandom);
    swap(houseRandom, other.houseRandom);
    swap(clock, other.clock);
    swap(services, other.services);
    swap(staticServices, other.staticServices);
    swap(generatorServices, other.generatorServices);
    swap(objectClasses, other.objectClasses);
    swap(specialEvents, other.specialEvents);
    swap(specialEventHooks, other.specialEventHooks);
    swap(region, other.region);
    swap(uiState, other.uiState);
    swap(generatorCounters, other.generatorCounters);
    swap(postedDecorations, other.postedDecorations);
}
