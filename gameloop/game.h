// The running game: the session, the clock, the world's random generator,
// the loop's timestamps and profiler, the mission goals, and the world
// update that executes received commands and runs the ticks in their fixed
// order. The parts of the world that later subsystems own are reached
// through WorldHooks and the saved-game sections.
#pragma once

#include "gameloop/game_command.h"
#include "gameloop/game_random.h"
#include "gameloop/loop_clock.h"
#include "gameloop/mission_goals.h"
#include "gameloop/profiler.h"
#include "gameloop/session.h"
#include "gameloop/world_hooks.h"
#include "world/world.h"

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

// The loop's timestamps, in game milliseconds.
struct LoopTimes {
    uint32_t lastTownUpdate = 0;
    uint32_t tickTime = 0;
    uint32_t lastSecondPass = 0;
    uint32_t lastProduction = 0;
    uint32_t lastScript = 0;
};

// The sixteen sections of a saved game, in their order.
enum class SaveSection : uint32_t {
    Time = 0,
    MiniMap,
    WorldMap,
    Schedules,
    Objects,
    Players,
    Towns,
    UiState,
    RoutePlanner,
    Session,
    SpecialEvents,
    Factories,
    MapView,
    Mission,
    News,
    Signals,
};
inline constexpr size_t kSaveSectionCount = 16;

struct AutosaveSettings {
    // The user's setting; off until a game asks for it.
    bool enabled = false;
    // The folder that holds the save folders "save" and "mpsave".
    std::string baseFolder = ".";
    // The name the autosaves start with (the save folder's name).
    std::string name = "Game";
};

class Game final : public PlayerSlots, private MissionWorld {
public:
    Game();
    ~Game() override;

    // The game's world, current from the game's making to its end (games
    // end in the reverse order of their making) and during each step.
    World& GetWorld() { return *world_; }

    // Replaces the session by a new local one.
    void CreateLocalSession();
    NetSession& Session() { return *session_; }
    LoopClock& Clock() { return *clock_; }
    // The clock that the headless game advances, or none when the clock is
    // another kind.
    FrameClock* GetFrameClock();
    void SetClock(std::unique_ptr<LoopClock> clock) { clock_ = std::move(clock); }
    // Sets the clock and hands back the one it replaces.
    std::unique_ptr<LoopClock> ReplaceClock(std::unique_ptr<LoopClock> clock) {
        std::swap(clock, clock_);
        return clock;
    }
    void SetWorldHooks(WorldHooks* hooks) { hooks_ = hooks ? hooks : &noHooks_; }
    WorldHooks& Hooks() { return *hooks_; }
    // What the mission goals read of the world; none reads only the clock.
    void SetMissionWorld(const MissionWorld* world) { missionWorld_ = world; }

    GameRandomStream& Random() { return random_; }
    MissionGoals& Goals() { return goals_; }
    LoopTimes& Times() { return times_; }
    Profiler& GetProfiler() { return profiler_; }
    AutosaveSettings& Autosave() { return autosave_; }

    // The map's size in tiles: the world map's, or the size a new game or a
    // load set without one.
    uint32_t MapWidth() const;
    uint32_t MapHeight() const;
    void SetMapSize(uint32_t width, uint32_t height) {
        mapWidth_ = width;
        mapHeight_ = height;
    }

    bool IsStarted() const { return started_ != 0; }
    void SetStarted(bool started) { started_ = started ? 1 : 0; }

    // The company slots, as the world's players fill them.
    bool IsOccupied(uint8_t slot) const override {
        return slot < kCompanySlotCount && hooks_->HasPlayer(slot);
    }

    // The routine that writes and reads a section's content, or none for
    // an empty section.
    using SectionSerializer = std::function<bool()>;
    void SetSectionSerializer(SaveSection section, SectionSerializer serializer);
    const SectionSerializer& GetSectionSerializer(SaveSection section) const;

    // Moves the game time of a headless frame on: the frame clock by ms,
    // any other clock through the platform's fake clock.
    void AdvanceFrame(uint32_t ms);
    // One frame: the world update, then the profiler's counters cleared.
    // Nothing while no game is started.
    void Step();
    // Executes the received commands and runs the ticks that the session
    // allows, then the effects and the profiler report.
    void UpdateWorld();
    // Executes every command that the session hands back now.
    void DrainCommands();
    // The developer overlay's statistics: the profiler's lines, the
    // consistency state and the session's figures.
    std::vector<std::string> StatsLines() const;
    // Posts a command through the session.
    bool Post(const GameCommand& command) { return PostGameCommand(*session_, command); }

private:
    void RunTick();
    void RunDateStep();
    uint32_t CurrentYear() const override { return clock_->GetCurrentYear(); }

    std::unique_ptr<World> world_;
    WorldScope worldScope_;
    std::unique_ptr<NetSession> session_;
    std::unique_ptr<LoopClock> clock_;
    WorldHooks noHooks_;
    WorldHooks* hooks_ = &noHooks_;
    const MissionWorld* missionWorld_ = nullptr;
    GameRandomStream random_;
    MissionGoals goals_;
    LoopTimes times_;
    Profiler profiler_;
    AutosaveSettings autosave_;
    uint32_t started_ = 0;
    uint32_t mapWidth_ = 0;
    uint32_t mapHeight_ = 0;
    std::array<SectionSerializer, kSaveSectionCount> sections_;
};
