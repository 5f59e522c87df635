// The world of one game as one object: the tile map with its row pools, the
// objects, the players, the special events, the random streams, the game
// clock, the hooks that the layers above install, the generator's counters
// and the decorations posted while no session listens. The accessors of each
// part (GetWorldMap(), Services(), GameRandom() and the like) work on the
// current world; a WorldScope makes a world current for a while. Without
// one, a process-wide default world is current, so tools and tests that
// hold no game keep working as before.
#pragma once

#include "world/game_settings.h"
#include "world/map_generator.h"
#include "world/map_generator_services.h"
#include "world/random_streams.h"
#include "world/special_events.h"
#include "world/static_object_services.h"
#include "world/world_map.h"
#include "world/world_services.h"

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <utility>
#include <vector>

class GameClock;
class MapObject;

// State of a world module that keeps it out of its header; made on first
// use and destroyed with its world, in the order of WorldPartId.
class WorldPart {
public:
    virtual ~WorldPart() = default;
};

// The world's own parts. A world destroys them from the last to the first,
// so that objects go before the map they stand on is emptied and after the
// players and events that refer to them.
enum class WorldPartId : uint32_t {
    Objects,
    Headquarters,
    Players,
    ProductsInUse,
    Count,
};

// State that a layer above keeps per world (the towns, say). Attached on
// first use; destroyed before the world's own parts, the last attached
// first.
class WorldAttachment {
public:
    virtual ~WorldAttachment() = default;
};

class World {
public:
    World();
    ~World();
    World(const World&) = delete;
    World& operator=(const World&) = delete;

    WorldMap& Map() { return map_; }
    const WorldMap& Map() const { return map_; }

    // The random streams: the world's generator, the runtime-style one of
    // the map generator and the company names (seeded 1 at the start), and
    // the town houses' stream.
    WorldRandomStream gameRandom;
    RuntimeRandomStream runtimeRandom{1};
    WorldRandomStream houseRandom;

    // The game clock; none until CreateGameClock.
    std::unique_ptr<GameClock> clock;

    // Hooks of the layers above; they capture the game that installed them.
    WorldServices services;
    StaticObjectServices staticServices;
    MapGeneratorServices generatorServices;

    // The classes that the object factory builds for a (category,
    // subtype) pair where a layer above supplies its own.
    std::map<std::pair<int32_t, int32_t>, std::function<std::unique_ptr<MapObject>(int32_t)>> objectClasses;
    // The special events, and their hooks into the factories above.
    SpecialEvents::State specialEvents;
    SpecialEvents::Hooks specialEventHooks;

    // The running game's region and its in-game settings.
    uint32_t region = 1;
    UiState uiState;

    // The island pass's counters of the last generator run.
    MapGeneratorCounters generatorCounters;
    // Decoration commands posted while no session listens, oldest first.
    std::vector<DecorationRecord> postedDecorations;

    template <class T>
    T& Part() {
        std::unique_ptr<WorldPart>& part = parts_[size_t(T::kPartId)];
        if (!part)
            part = std::make_unique<T>();
        return static_cast<T&>(*part);
    }

    // The attachment of type T, made on first use. Each type is keyed by
    // the address of its own tag.
    template <class T>
    T& Attached() {
        const void* key = &AttachmentKey<T>::tag;
        for (auto& [k, attachment] : attachments_)
            if (k == key)
                return static_cast<T&>(*attachment);
        attachments_.emplace_back(key, std::make_unique<T>());
        return static_cast<T&>(*attachments_.back().second);
    }

    // Takes over the hooks that the layers above installed in another world
    // (services, object classes, event hooks), so that a world built for a
    // load behaves as the one it replaces.
    void AdoptHooks(const World& other);
    // Starts a world built for a load from what a saved game does not
    // hold, or may lack, of the running one: its hooks, random streams,
    // clock (a copy of the same kind), region and in-game settings, the
    // generator's counters and the posted decorations.
    void InheritUnsaved(const World& running);
    // Exchanges everything two worlds hold; each world keeps its address,
    // so that what refers to a game's world stays valid across a load.
    void SwapContents(World& other);

private:
    template <class T>
    struct AttachmentKey {
        static inline const char tag = 0;
    };

    WorldMap map_;
    std::array<std::unique_ptr<WorldPart>, size_t(WorldPartId::Count)> parts_;
    std::vector<std::pair<const void*, std::unique_ptr<WorldAttachment>>> attachments_;
};

namespace world_detail {
World& DefaultWorld();
extern thread_local constinit World* tCurrentWorld;
} // namespace world_detail

// The current world of this thread: the innermost WorldScope's, or the
// process-wide default world.
inline World& CurrentWorld() {
    World* world = world_detail::tCurrentWorld;
    return world ? *world : world_detail::DefaultWorld();
}

// Makes a world current on this thread until the scope ends; scopes nest.
class WorldScope {
public:
    explicit WorldScope(World& world) : previous_(world_detail::tCurrentWorld) {
        world_detail::tCurrentWorld = &world;
    }
    ~WorldScope() { world_detail::tCurrentWorld = previous_; }
    WorldScope(const WorldScope&) = delete;
    WorldScope& operator=(const WorldScope&) = delete;

private:
    World* previous_;
};

inline WorldMap& GetWorldMap() {
    return CurrentWorld().Map();
}

inline CellRows& Rows() {
    return CurrentWorld().Map().Rows();
}
