#include "gameloop/mission_goals.h"

#include "files/chunk_stream.h"
#include "gameloop/game_log.h"
#include "platform/endian.h"

namespace {

constexpr uint32_t kWin1 = ChunkTag("win1");
constexpr uint32_t kWin2 = ChunkTag("win2");

// Whether a goal's kind is now met (true) or failed (deadline).
bool Reached(const MissionGoal& goal, const MissionWorld& world) {
    int64_t amount = int64_t(goal.value);
    switch (goal.kind) {
    case GoalKind::Money: {
        auto money = world.LocalMoney();
        return money && *money >= amount;
    }
    case GoalKind::Statistic: {
        auto value = world.LocalStatistic(10, 0);
        return value && *value >= int64_t(uint32_t(goal.value));
    }
    case GoalKind::FactoriesServed: {
        auto served = world.AllKind6FactoriesServed();
        return served && *served;
    }
    case GoalKind::TownConnected: {
        auto connected = world.TownConnected(uint32_t(goal.value));
        return connected && *connected;
    }
    case GoalKind::StatisticSumColumn0:
    case GoalKind::StatisticSumColumn2: {
        uint32_t column = goal.kind == GoalKind::StatisticSumColumn0 ? 0 : 2;
        int64_t sum = 0;
        for (uint32_t row = 7; row <= 9; ++row) {
            auto value = world.LocalStatistic(row, column);
            if (!value)
                return false;
            sum += *value;
        }
        return sum >= amount;
    }
    case GoalKind::Deadline:
        break;
    }
    return false;
}

} // namespace

void MissionGoals::Clear() {
    goals_.clear();
    goals_.shrink_to_fit();
    decided_ = 0;
    outcome_ = MissionOutcome::None;
}

bool MissionGoals::Add(const MissionGoal& goal) {
    if (uint32_t(goal.kind) >= kGoalKindCount)
        return false;
    MissionGoal added = goal;
    added.state = GoalState::Open;
    goals_.push_back(added);
    return true;
}

std::optional<MissionGoal> MissionGoals::Find(GoalKind kind) const {
    for (const MissionGoal& goal : goals_)
        if (goal.kind == kind)
            return goal;
    return std::nullopt;
}

void MissionGoals::Check(const MissionWorld& world) {
    if (decided_ || goals_.empty())
        return;
    size_t reached = 0;
    size_t toReach = 0;
    for (MissionGoal& goal : goals_) {
        if (goal.kind != GoalKind::Deadline)
            ++toReach;
        if (goal.state != GoalState::Reached) {
            if (goal.kind == GoalKind::Deadline) {
                if (world.CurrentYear() > uint32_t(goal.value))
                    goal.state = GoalState::Failed;
            } else if (Reached(goal, world)) {
                goal.state = GoalState::Reached;
            }
        }
        if (goal.state == GoalState::Failed) {
            decided_ = 1;
            outcome_ = MissionOutcome::Lost;
        } else if (goal.state == GoalState::Reached && goal.kind != GoalKind::Deadline) {
            ++reached;
        }
    }
    // Every goal that is not a deadline must be reached, however many
    // deadlines the list holds.
    if (reached == toReach) {
        decided_ = 1;
        outcome_ = MissionOutcome::Won;
    }
}

bool MissionGoals::Serialize() {
    bool loading = StreamMode() == kStreamLoad;
    if (loading)
        Clear();

    uint32_t tag = kWin1;
    BeginChunk(tag);
    if (tag != kWin1) {
        EndChunk();
        return true;
    }
    uint8_t head[8] = {decided_, 0, 0, 0};
    plat::StoreLE32(head + 4, uint32_t(outcome_));
    TransferSized(head, sizeof head);
    EndChunk();
    if (loading) {
        uint32_t outcome = plat::LoadLE32(head + 4);
        if (head[0] > 1 || outcome > uint32_t(MissionOutcome::None)) {
            GameLog("mission goals: damaged outcome (%u, %u)", head[0], outcome);
            return false;
        }
        decided_ = head[0];
        outcome_ = MissionOutcome(outcome);
    }

    tag = kWin2;
    BeginChunk(tag);
    if (tag != kWin2) {
        EndChunk();
        return true;
    }
    uint32_t count = uint32_t(goals_.size());
    uint32_t storedSize = TransferListHeader(count, kGoalRecordSize);
    if (loading) {
        if (storedSize == 0 || StreamFailed()) {
            EndChunk();
            GameLog("mission goals: damaged goal list");
            Clear();
            return false;
        }
        goals_.resize(count);
    }
    for (MissionGoal& goal : goals_) {
        // A shorter stored record leaves the missing fields at their defaults.
        uint8_t record[kGoalRecordSize] = {};
        plat::StoreLE32(record, uint32_t(goal.state));
        plat::StoreLE32(record + 4, uint32_t(goal.kind));
        plat::StoreLE64(record + 8, goal.value);
        TransferListElement(record, kGoalRecordSize, loading ? storedSize : kGoalRecordSize);
        if (!loading)
            continue;
        uint32_t state = plat::LoadLE32(record);
        uint32_t kind = plat::LoadLE32(record + 4);
        if (state > uint32_t(GoalState::Open) || kind >= kGoalKindCount) {
            EndChunk();
            GameLog("mission goals: damaged goal (state %u, kind %u)", state, kind);
            Clear();
            return false;
        }
        goal.state = GoalState(state);
        goal.kind = GoalKind(kind);
        goal.value = plat::LoadLE64(record + 8);
    }
    EndChunk();
    if (loading && StreamFailed()) {
        Clear();
        return false;
    }
    return true;
}
