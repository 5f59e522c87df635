// Mission goals: the list of a campaign mission's goals, checked once per
// date step, and the mission's outcome. Saved as "win1" (decided byte and
// outcome) and "win2" (the goal records) in the section "WIN".
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

enum class GoalState : uint32_t { Reached = 0, Failed = 1, Open = 2 };
enum class GoalKind : uint32_t {
    Money = 0,
    Deadline = 1,
    Statistic = 2,
    FactoriesServed = 3,
    TownConnected = 4,
    StatisticSumColumn0 = 5,
    StatisticSumColumn2 = 6,
};
inline constexpr uint32_t kGoalKindCount = 7;
inline constexpr uint32_t kGoalRecordSize = 16;
// Every town, as the value of a town goal.
inline constexpr uint32_t kAllTowns = 0xFFFFFFFF;

struct MissionGoal {
    GoalState state = GoalState::Open;
    GoalKind kind = GoalKind::Money;
    // The amount (signed for money and sums), the year or the town number.
    uint64_t value = 0;
};

enum class MissionOutcome : uint32_t { Won = 0, Lost = 1, None = 2 };

// What the goals ask of the world. No answer (no local company, no such
// town) counts as not reached.
class MissionWorld {
public:
    virtual ~MissionWorld() = default;
    virtual uint32_t CurrentYear() const = 0;
    virtual std::optional<int64_t> LocalMoney() const { return std::nullopt; }
    virtual std::optional<int64_t> LocalStatistic(uint32_t /*row*/, uint32_t /*column*/) const {
        return std::nullopt;
    }
    // Whether every factory of owner 0 whose kind is 6 is served (true
    // when there is none).
    virtual std::optional<bool> AllKind6FactoriesServed() const { return std::nullopt; }
    // The town's connected mark, or every existing town's for kAllTowns.
    virtual std::optional<bool> TownConnected(uint32_t /*town*/) const { return std::nullopt; }
};

class MissionGoals {
public:
    void Clear();
    // False (and nothing added) for a kind outside 0 to 6.
    bool Add(const MissionGoal& goal);
    // The first goal of a kind.
    std::optional<MissionGoal> Find(GoalKind kind) const;
    // Updates every goal's state and decides the mission: lost when a goal
    // failed, won when every goal but the deadlines is reached (checked last).
    void Check(const MissionWorld& world);
    // Transfers "win1" and "win2" in the current stream's open chunk.
    // Loading fails on damaged records and leaves the goals cleared.
    bool Serialize();

    bool Decided() const { return decided_ != 0; }
    MissionOutcome Outcome() const { return outcome_; }
    const std::vector<MissionGoal>& Goals() const { return goals_; }

private:
    std::vector<MissionGoal> goals_;
    uint8_t decided_ = 0;
    MissionOutcome outcome_ = MissionOutcome::None;
};
