// A reusable, time-sliced A* search over map tiles on integer costs. It knows
// nothing of the world: its user gives a search rectangle, a start and a goal
// and callbacks for the step check, the step cost and the heuristic. One
// search may be spread over many calls, each bounded by a time budget or a
// number of expansions; the result is the chain of tiles from the goal back
// to the start.
//
// The directly keyed table of 2^18 slots is backed by an overflow for tiles
// whose slot is taken, so a search over a large map loses no tile and start
// and goal may lie any distance apart; up to the store limit, a search finds
// what a plain A* over the whole rectangle finds, step for step.
//
// Determinism: the clock is read only while option kOptionTimeBudget is set.
// A search run with options 0 or kOptionNodeLimit, or by SearchToCompletion,
// gives the same answer on every machine.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

// The record kept for every visited tile.
struct PathStep {
    uint16_t x = 0;
    uint16_t y = 0;
    // 1-based position in the open list while the record is open.
    uint32_t openPosition = 0;
    // Cost from the start; 0 only on the start.
    uint32_t g = 0;
    // The heuristic's estimate to the goal.
    uint32_t h = 0;
    // The direction mask leading back to the tile this one was reached from.
    uint8_t back = 0;
    uint8_t state = 0;
};

struct PathRect {
    int32_t x0 = 0;
    int32_t y0 = 0;
    int32_t x1 = 0;
    int32_t y1 = 0;
};

struct PathPoint {
    int32_t x = -1;
    int32_t y = -1;
    bool operator==(const PathPoint&) const = default;
};

class Pathfinder {
public:
    // Record states.
    static constexpr uint8_t kStepNew = 0;
    static constexpr uint8_t kStepOpen = 1;
    static constexpr uint8_t kStepClosed = 2;
    static constexpr uint8_t kStepGoal = 3;
    static constexpr uint8_t kStepAccepted = 4;

    // Search states.
    static constexpr int32_t kIdle = -5;
    static constexpr int32_t kStartInvalid = -4;
    static constexpr int32_t kGoalInvalid = -3;
    static constexpr int32_t kWindowInvalid = -2;
    static constexpr int32_t kNoPath = -1;
    static constexpr int32_t kSearching = 0;
    static constexpr int32_t kReady = 1;
    static constexpr int32_t kAccepted = 2;
    static constexpr int32_t kGoalReached = 3;

    // Option bits.
    static constexpr uint32_t kOptionTimeBudget = 1;
    static constexpr uint32_t kOptionNodeLimit = 2;

    // Any cost or estimate above this stands for impossible.
    static constexpr uint32_t kImpossible = (1u << 28) - 1;
    // Slots of the directly keyed table.
    static constexpr uint32_t kDirectSlots = 1u << 18;
    // Records a search may hold by default: every tile of a 2048 x 2048 map.
    static constexpr uint32_t kDefaultStoreLimit = 1u << 22;

    using StepCheckFn = bool (*)(const PathStep& to, const PathStep* from, void* context);
    using StepCostFn = uint32_t (*)(const PathStep& to, const PathStep& from, void* context);
    using HeuristicFn = uint32_t (*)(const PathStep& tile, PathPoint goal, void* context);
    using GoalTestFn = bool (*)(const PathStep& tile, void* context);
    using LogSink = std::function<void(const std::string& message)>;
    // Microseconds on a monotonic clock.
    using MicrosClock = uint64_t (*)();

    Pathfinder();
    ~Pathfinder();
    Pathfinder(const Pathfinder&) = delete;
    Pathfinder& operator=(const Pathfinder&) = delete;

    Pathfinder& SetStepCheck(StepCheckFn fn);
    Pathfinder& SetStepCost(StepCostFn fn);
    Pathfinder& SetHeuristic(HeuristicFn fn);
    Pathfinder& SetGoalTest(GoalTestFn fn);
    Pathfinder& SetFlags(uint32_t flags);
    void SetContext(void* context) { context_ = context; }
    void SetNodesPerCall(uint32_t count) { nodesPerCall_ = count; }
    void SetTimeBudget(uint32_t micros) { timeBudget_ = micros; }
    void SetLogging(bool on) { logging_ = on; }
    void SetLogSink(LogSink sink) { logSink_ = std::move(sink); }
    // The clock of the time budget; the platform's by default.
    void SetClock(MicrosClock clock);
    // The most records one search may hold (at least the direct table's
    // slots); reaching it ends the search with kNoPath and StoreFull().
    void SetStoreLimit(uint32_t records);

    StepCostFn GetStepCost() const { return stepCost_; }
    HeuristicFn GetHeuristic() const { return heuristic_; }
    void* GetContext() const { return context_; }
    uint32_t GetFlags() const { return flags_; }
    int32_t GetState() const { return state_; }
    // Users write kIdle to abandon a search.
    void SetState(int32_t state) { state_ = state; }
    PathPoint GetStart() const { return start_; }
    PathPoint GetGoal() const { return goal_; }
    // The result, from the goal (first) to the start (last).
    const std::vector<PathStep>& GetPath() const { return path_; }
    // Whether the last kNoPath came from a full store rather than from an
    // exhausted open list: such an answer says nothing about the map and
    // must not be kept as "no route".
    bool StoreFull() const { return storeFull_; }
    // Records held by the current search and tiles expanded since set-up.
    uint32_t RecordCount() const { return recordCount_; }
    uint64_t Expansions() const { return expansions_; }
    uint64_t TotalMicros() const { return totalMicros_; }

    // Stores the points, the rectangle (inclusive) and the neighbour count
    // (4 or 8) and clears the store; kReady or an error state.
    int32_t Setup(PathPoint start, PathPoint goal, PathRect rect, uint32_t neighbours);
    // One call of the time-sliced search; the new state.
    int32_t Search(bool recheck);
    // Runs the search to its end, ignoring the time budget and the node
    // limit: the answer depends only on the callbacks. The final state.
    int32_t SearchToCompletion();
    void ClearPath();
    // Re-checks the result path against the current step check.
    int32_t ValidatePath();

private:
    struct Store;

    int32_t CheckSetup();
    void ClearStore();
    int32_t Start();
    int32_t Run(bool useBudget, bool useNodeLimit, uint64_t callStart);
    bool Recheck();
    void Expand(uint32_t ref);
    void BuildPath(uint32_t ref);
    void Log(const std::string& message);
    uint64_t Now() const;

    std::unique_ptr<Store> store_;
    std::vector<PathStep> path_;
    int32_t state_ = kIdle;
    uint32_t flags_ = kOptionTimeBudget;
    uint32_t neighbours_ = 4;
    PathPoint start_;
    PathPoint goal_;
    PathRect rect_;
    uint32_t timeBudget_ = 20000;
    uint32_t nodesPerCall_ = 100;
    uint64_t totalMicros_ = 0;
    void* context_ = nullptr;
    bool logging_ = false;
    StepCheckFn stepCheck_ = nullptr;
    StepCostFn stepCost_ = nullptr;
    HeuristicFn heuristic_ = nullptr;
    GoalTestFn goalTest_ = nullptr;
    LogSink logSink_;
    MicrosClock clock_ = nullptr;
    uint32_t keyXBits_ = 9;
    uint32_t keyYBits_ = 9;
    uint32_t storeLimit_ = kDefaultStoreLimit;
    uint32_t recordCount_ = 0;
    uint64_t expansions_ = 0;
    bool storeFull_ = false;
};

// Direction helpers on the masks 1 (y - 1), 2 (x + 1), 4 (y + 1), 8 (x - 1)
// and their unions for the diagonals.
uint8_t ReverseDirection(uint8_t mask);
void OffsetOfDirection(uint8_t mask, int32_t& dx, int32_t& dy);

// The key window's bits for a start-goal distance: false when the points
// are too far apart for any window.
bool ChooseKeyWindow(uint32_t dx, uint32_t dy, uint32_t& xBits, uint32_t& yBits);

// The largest key window holding both points, centred on them and kept
// inside bounds; bounds itself when none fits.
PathRect SearchWindowForPair(PathPoint start, PathPoint goal, PathRect bounds);
// A window around both points with a margin per axis, cut to bounds.
PathRect SearchWindowWithMargin(int32_t margin, PathPoint start, PathPoint goal, PathRect bounds);
