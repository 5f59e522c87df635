#include "gameloop/game.h"

#include "gameloop/saved_game.h"
#include "platform/clock.h"

#include <cstdio>

namespace {

// Whether more than interval ms have passed from since to t: since +
// interval < t, without a sum that could wrap near the end of 32 bits.
bool MoreThanSince(uint32_t t, uint32_t since, uint32_t interval) {
    return t > since && t - since > interval;
}

} // namespace

Game::Game()
    : world_(std::make_unique<World>()), worldHold_(*world_), session_(std::make_unique<LocalSession>()),
      clock_(std::make_unique<FrameClock>()), random_(*world_) {}

Game::~Game() = default;

void Game::CreateLocalSession() {
    session_ = std::make_unique<LocalSession>();
}

FrameClock* Game::GetFrameClock() {
    return dynamic_cast<FrameClock*>(clock_.get());
}

uint32_t Game::MapWidth() const {
    uint32_t width = 0, height = 0;
    return hooks_->GetMapSize(width, height) ? width : mapWidth_;
}

uint32_t Game::MapHeight() const {
    uint32_t width = 0, height = 0;
    return hooks_->GetMapSize(width, height) ? height : mapHeight_;
}

void Game::AdvanceFrame(uint32_t ms) {
    if (FrameClock* clock = GetFrameClock())
        clock->Advance(ms);
    else
        plat::Clock::Advance(ms);
}

void Game::SetSectionSerializer(SaveSection section, SectionSerializer serializer) {
    sections_[size_t(section)] = std::move(serializer);
}

const Game::SectionSerializer& Game::GetSectionSerializer(SaveSection section) const {
    return sections_[size_t(section)];
}

std::vector<std::string> Game::StatsLines() const {
    std::vector<std::string> lines = profiler_.StatsLines();
    // A local game has no peer to fall out of step with.
    lines.push_back("In Sync.");
    char text[160];
    std::snprintf(text, sizeof text,
                  "Server speed %02.2f. Pace %02.2f. Net Time %u. Local Time %u. MQueue %u. Session %u. %s",
                  double(clock_->GetSpeed()), 1.0, session_->GetNetTime(), clock_->GetTime(),
                  uint32_t(session_->QueuedMessages()), session_->GetTickCounter(),
                  session_->IsNetworkGame() ? "network" : "local");
    lines.push_back(text);
    return lines;
}

void Game::Step() {
    if (!IsStarted())
        return;
    WorldScope scope(*world_);
    UpdateWorld();
    profiler_.ClearCounters();
}

void Game::DrainCommands() {
    WorldScope scope(*world_);
    uint64_t start = plat::Clock::Timestamp();
    while (std::unique_ptr<GameCommand> command = session_->NextReceivedCommand(*this))
        command->Execute(*this);
    profiler_.AddSince(ProfileBucket::StateChange, start);
}

void Game::UpdateWorld() {
    WorldScope scope(*world_);
    int budget = session_->IsNetworkGame() ? 100 : 1;
    DrainCommands();
    while (budget > 0 && session_->CanRunTick()) {
        RunTick();
        --budget;
    }
    uint32_t t = clock_->GetTime();
    uint64_t start = plat::Clock::Timestamp();
    hooks_->UpdateEffects(t);
    profiler_.AddSince(ProfileBucket::Effects, start);
    start = plat::Clock::Timestamp();
    hooks_->UpdateGimmicks(t);
    profiler_.AddSince(ProfileBucket::Gimmick, start);
    start = plat::Clock::Timestamp();
    hooks_->UpdateSurf();
    profiler_.AddSince(ProfileBucket::Brandung, start);
    profiler_.AddSince(ProfileBucket::Firework, plat::Clock::Timestamp());
    profiler_.Report(plat::Clock::Timestamp());
}

void Game::RunTick() {
    // The consistency check of network games is posted here when the game
    // time is a multiple of 60000; a local game has no peer to compare with.

    uint32_t t = clock_->GetTime();
    uint64_t start = plat::Clock::Timestamp();
    // Towns catch up in steps of 200 ms, each with the same time.
    while (MoreThanSince(t, times_.lastTownUpdate, 200)) {
        hooks_->UpdateCities(t);
        times_.lastTownUpdate += 200;
    }
    profiler_.AddSince(ProfileBucket::CityG, start);

    start = plat::Clock::Timestamp();
    hooks_->RefreshSignalsIfDirty();
    times_.tickTime = clock_->GetTime();
    hooks_->StepConstruction(times_.tickTime);
    hooks_->UpdateMovingObjects(times_.tickTime);
    if (MoreThanSince(times_.tickTime, times_.lastSecondPass, 1000)) {
        hooks_->ResolveDeadlocks();
        times_.lastSecondPass = times_.tickTime;
    }
    profiler_.AddSince(ProfileBucket::Vehicles, start);

    start = plat::Clock::Timestamp();
    hooks_->UpdatePrivateCars(times_.tickTime);
    profiler_.AddSince(ProfileBucket::PrivateCars, start);

    start = plat::Clock::Timestamp();
    while (session_->IsDateStepDue(clock_->GetTime()))
        RunDateStep();
    profiler_.AddSince(ProfileBucket::World, start);

    start = plat::Clock::Timestamp();
    t = clock_->GetTime();
    if (MoreThanSince(t, times_.lastProduction, 50)) {
        times_.lastProduction = t;
        hooks_->BroadcastTimeUpdate(t);
    }
    profiler_.AddSince(ProfileBucket::Production, start);

    start = plat::Clock::Timestamp();
    if (MoreThanSince(t, times_.lastScript, 100))
        times_.lastScript = t;
    profiler_.AddSince(ProfileBucket::Script, start);

    start = plat::Clock::Timestamp();
    if (clock_->GetSpeed() > 0.0f)
        hooks_->UpdatePlayers();
    profiler_.AddSince(ProfileBucket::Players, start);

    session_->EndTick(clock_->GetTime());
    DrainCommands();
}

void Game::RunDateStep() {
    uint32_t yearBefore = clock_->GetCurrentYear();
    uint32_t period = clock_->GetPeriod();
    uint32_t month = clock_->GetMonth();
    uint32_t nextMonth = clock_->GetNextTickMonth();
    uint32_t nextYear = clock_->GetNextTickYear();
    uint32_t nextPeriod = clock_->GetNextTickPeriod();

    if (period != nextPeriod)
        hooks_->BroadcastPeriodChange();
    if (month != nextMonth) {
        hooks_->BroadcastMonthChange();
        hooks_->UpdateSpecialEvents();
        hooks_->UpdatePlayersMonthly();
        hooks_->SetSignalsDirty();
    }
    if (!goals_.Decided()) {
        goals_.Check(missionWorld_ ? *missionWorld_ : static_cast<const MissionWorld&>(*this));
        if (goals_.Decided())
            hooks_->AddNews(6);
    }
    clock_->AdvanceTick();
    if (yearBefore != nextYear)
        AutoSave(*this);
    session_->AdvanceDateStep();
}
