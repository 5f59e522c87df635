#include "transport/pathfinder.h"

#include "platform/clock.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>

namespace {

constexpr uint32_t kNoRef = UINT32_MAX;
constexpr uint32_t kMaxCoordinate = UINT16_MAX;
// Rows of the key window: the distance limits and the bits for x and y.
struct KeyRow {
    uint32_t maxDx;
    uint32_t maxDy;
    uint32_t xBits;
    uint32_t yBits;
};
constexpr KeyRow kKeyRows[] = {
    {504, 504, 9, 9},   {252, 1008, 8, 10}, {1008, 252, 10, 8}, {126, 2016, 7, 11},
    {2016, 126, 11, 7}, {63, 4032, 6, 12},  {4032, 63, 12, 6},
};

uint64_t PlatformMicros() {
    return plat::Clock::Timestamp() / 1000u;
}

// A quarter of a right angle clockwise: 1 -> 3 -> 2 -> 6 -> 4 -> 12 -> 8 -> 9 -> 1.
uint8_t TurnClockwise(uint8_t mask) {
    switch (mask) {
    case 1:
        return 3;
    case 3:
        return 2;
    case 2:
        return 6;
    case 6:
        return 4;
    case 4:
        return 12;
    case 12:
        return 8;
    case 8:
        return 9;
    case 9:
        return 1;
    default:
        return 0;
    }
}

uint8_t TurnCounterClockwise(uint8_t mask) {
    switch (mask) {
    case 3:
        return 1;
    case 2:
        return 3;
    case 6:
        return 2;
    case 4:
        return 6;
    case 12:
        return 4;
    case 8:
        return 12;
    case 9:
        return 8;
    case 1:
        return 9;
    default:
        return 0;
    }
}

bool Inside(PathPoint p, const PathRect& r) {
    return p.x >= r.x0 && p.x <= r.x1 && p.y >= r.y0 && p.y <= r.y1;
}

PathStep MakeStep(PathPoint p) {
    PathStep step;
    step.x = uint16_t(p.x);
    step.y = uint16_t(p.y);
    return step;
}

} // namespace

uint8_t ReverseDirection(uint8_t mask) {
    return uint8_t(((mask >> 2) | (mask << 2)) & 15);
}

void OffsetOfDirection(uint8_t mask, int32_t& dx, int32_t& dy) {
    dx = (mask & 2) ? 1 : (mask & 8) ? -1 : 0;
    dy = (mask & 4) ? 1 : (mask & 1) ? -1 : 0;
}

bool ChooseKeyWindow(uint32_t dx, uint32_t dy, uint32_t& xBits, uint32_t& yBits) {
    for (const KeyRow& row : kKeyRows) {
        if (dx < row.maxDx && dy < row.maxDy) {
            xBits = row.xBits;
            yBits = row.yBits;
            return true;
        }
    }
    return false;
}

// The records of one search: a directly keyed table of 2^18 slots with its
// membership bitmap, and beside it an open-addressed overflow for tiles whose
// slot another tile holds already (so no reachable tile is lost to a key
// collision), and the open list as a 1-based binary heap of record refs.
// A ref below kDirectSlots is a slot; above, an overflow record.
struct Pathfinder::Store {
    std::vector<PathStep> direct = std::vector<PathStep>(kDirectSlots);
    std::vector<uint32_t> bitmap = std::vector<uint32_t>(kDirectSlots / 32);
    std::vector<PathStep> overflow;
    std::vector<uint32_t> overflowIndex; // overflow position + 1; 0 is empty
    uint32_t overflowBits = 0;
    std::vector<uint32_t> heap = std::vector<uint32_t>(1);
    uint32_t xMask = 511;
    uint32_t yBits = 9;
    uint32_t yMask = 511;

    PathStep& At(uint32_t ref) { return ref < kDirectSlots ? direct[ref] : overflow[ref - kDirectSlots]; }
    uint32_t F(uint32_t ref) { return At(ref).g + At(ref).h; }
    uint32_t Key(uint32_t x, uint32_t y) const { return ((x & xMask) << yBits) | (y & yMask); }
    bool Used(uint32_t key) const { return (bitmap[key >> 5] >> (key & 31)) & 1; }

    void Clear() {
        std::fill(bitmap.begin(), bitmap.end(), 0u);
        // A search over a whole large map may have grown the overflow to
        // tens of MiB: that much is not kept for the next one.
        if (overflow.capacity() > kDirectSlots) {
            std::vector<PathStep>().swap(overflow);
            std::vector<uint32_t>().swap(overflowIndex);
            overflowBits = 0;
        }
        overflow.clear();
        if (!overflowIndex.empty())
            std::fill(overflowIndex.begin(), overflowIndex.end(), 0u);
        heap.resize(1);
        if (heap.capacity() > 4 * kDirectSlots) {
            heap.shrink_to_fit();
            heap.reserve(65537);
        }
    }

    uint32_t Hash(uint32_t x, uint32_t y) const {
        return uint32_t(((x << 16) | y) * 0x9E3779B1u) >> (32 - overflowBits);
    }

    // The overflow slot of a tile: its record's index + 1, or 0 where the
    // probe found an empty slot (written to *emptySlot).
    uint32_t FindOverflow(uint32_t x, uint32_t y, uint32_t* emptySlot) const {
        if (overflowIndex.empty())
            return 0;
        const uint32_t mask = uint32_t(overflowIndex.size()) - 1;
        for (uint32_t i = Hash(x, y);; i = (i + 1) & mask) {
            const uint32_t entry = overflowIndex[i];
            if (entry == 0) {
                if (emptySlot)
                    *emptySlot = i;
                return 0;
            }
            const PathStep& step = overflow[entry - 1];
            if (step.x == x && step.y == y)
                return entry;
        }
    }

    void GrowOverflowIndex() {
        overflowBits = overflowBits == 0 ? 12 : overflowBits + 1;
        overflowIndex.assign(size_t(1) << overflowBits, 0u);
        const uint32_t mask = uint32_t(overflowIndex.size()) - 1;
        for (uint32_t n = 0; n < overflow.size(); ++n) {
            uint32_t i = Hash(overflow[n].x, overflow[n].y);
            while (overflowIndex[i] != 0)
                i = (i + 1) & mask;
            overflowIndex[i] = n + 1;
        }
    }

    // The record of a tile, or kNoRef.
    uint32_t Find(uint32_t x, uint32_t y) const {
        const uint32_t key = Key(x, y);
        if (!Used(key))
            return kNoRef;
        if (direct[key].x == x && direct[key].y == y)
            return key;
        const uint32_t entry = FindOverflow(x, y, nullptr);
        return entry ? kDirectSlots + entry - 1 : kNoRef;
    }

    // The record of the candidate's tile, made from the candidate when the
    // tile is new (isNew set); kNoRef when a new record would pass the limit.
    uint32_t Insert(const PathStep& candidate, uint32_t& count, uint32_t limit, bool& isNew) {
        isNew = false;
        const uint32_t key = Key(candidate.x, candidate.y);
        if (!Used(key)) {
            if (count >= limit)
                return kNoRef;
            direct[key] = candidate;
            bitmap[key >> 5] |= 1u << (key & 31);
            ++count;
            isNew = true;
            return key;
        }
        if (direct[key].x == candidate.x && direct[key].y == candidate.y)
            return key;
        uint32_t empty = 0;
        if (const uint32_t entry = FindOverflow(candidate.x, candidate.y, &empty))
            return kDirectSlots + entry - 1;
        if (count >= limit)
            return kNoRef;
        if ((overflow.size() + 1) * 2 > overflowIndex.size()) {
            overflow.push_back(candidate);
            GrowOverflowIndex();
        } else {
            overflow.push_back(candidate);
            overflowIndex[empty] = uint32_t(overflow.size());
        }
        ++count;
        isNew = true;
        return kDirectSlots + uint32_t(overflow.size()) - 1;
    }

    void Place(uint32_t position, uint32_t ref) {
        heap[position] = ref;
        At(ref).openPosition = position;
    }

    // Moves an entry up while its parent's f is not smaller: among equal f
    // the newest entry rises to the top.
    void SiftUp(uint32_t position) {
        const uint32_t ref = heap[position];
        const uint32_t f = F(ref);
        while (position > 1) {
            const uint32_t parent = heap[position / 2];
            if (F(parent) < f)
                break;
            Place(position, parent);
            position /= 2;
        }
        Place(position, ref);
    }

    void Push(uint32_t ref) {
        At(ref).state = kStepOpen;
        heap.push_back(ref);
        SiftUp(uint32_t(heap.size()) - 1);
    }

    uint32_t Pop() {
        const uint32_t top = heap[1];
        const uint32_t last = heap.back();
        heap.pop_back();
        const uint32_t count = uint32_t(heap.size()) - 1;
        if (count > 0) {
            uint32_t position = 1;
            const uint32_t f = F(last);
            for (;;) {
                uint32_t child = position * 2;
                if (child > count)
                    break;
                if (child + 1 <= count && F(heap[child]) >= F(heap[child + 1]))
                    ++child;
                if (f < F(heap[child]))
                    break;
                Place(position, heap[child]);
                position = child;
            }
            Place(position, last);
        }
        At(top).openPosition = 0;
        return top;
    }
};

Pathfinder::Pathfinder() : store_(std::make_unique<Store>()), clock_(PlatformMicros) {
    path_.reserve(2048);
    store_->heap.reserve(65537);
}

Pathfinder::~Pathfinder() = default;

Pathfinder& Pathfinder::SetStepCheck(StepCheckFn fn) {
    stepCheck_ = fn;
    return *this;
}

Pathfinder& Pathfinder::SetStepCost(StepCostFn fn) {
    stepCost_ = fn;
    return *this;
}

Pathfinder& Pathfinder::SetHeuristic(HeuristicFn fn) {
    heuristic_ = fn;
    return *this;
}

Pathfinder& Pathfinder::SetGoalTest(GoalTestFn fn) {
    goalTest_ = fn;
    return *this;
}

Pathfinder& Pathfinder::SetFlags(uint32_t flags) {
    flags_ = flags;
    return *this;
}

void Pathfinder::SetClock(MicrosClock clock) {
    clock_ = clock ? clock : PlatformMicros;
}

void Pathfinder::SetStoreLimit(uint32_t records) {
    storeLimit_ = std::max(records, kDirectSlots);
}

uint64_t Pathfinder::Now() const {
    return clock_();
}

void Pathfinder::Log(const std::string& message) {
    if (logging_ && logSink_)
        logSink_(message);
}

void Pathfinder::ClearStore() {
    store_->Clear();
    recordCount_ = 0;
    expansions_ = 0;
    storeFull_ = false;
}

int32_t Pathfinder::CheckSetup() {
    if (!stepCheck_ || !stepCost_ || !heuristic_)
        return kIdle;
    // Records keep 16-bit coordinates: a rectangle beyond them cannot be searched.
    if (rect_.x0 >= rect_.x1 || rect_.y0 >= rect_.y1 || rect_.x0 < 0 || rect_.y0 < 0 ||
        uint32_t(rect_.x1) > kMaxCoordinate || uint32_t(rect_.y1) > kMaxCoordinate)
        return kWindowInvalid;
    if (!Inside(start_, rect_))
        return kStartInvalid;
    if (!Inside(goal_, rect_))
        return kGoalInvalid;
    const PathStep start = MakeStep(start_);
    if (heuristic_(start, goal_, context_) > kImpossible || !stepCheck_(start, &start, context_))
        return kStartInvalid;
    const PathStep goal = MakeStep(goal_);
    if (heuristic_(goal, goal_, context_) != 0 || !stepCheck_(goal, &goal, context_))
        return kGoalInvalid;
    // Points too far apart for every key window are still searched: the
    // overflow holds the tiles that share a slot.
    return kReady;
}

int32_t Pathfinder::Setup(PathPoint start, PathPoint goal, PathRect rect, uint32_t neighbours) {
    start_ = start;
    goal_ = goal;
    rect_ = rect;
    neighbours_ = neighbours == 8 ? 8 : 4;
    const int32_t check = CheckSetup();
    if (check != kReady) {
        state_ = check;
        return check;
    }
    if (!ChooseKeyWindow(uint32_t(std::abs(start_.x - goal_.x)), uint32_t(std::abs(start_.y - goal_.y)),
                         keyXBits_, keyYBits_)) {
        keyXBits_ = 9;
        keyYBits_ = 9;
    }
    store_->xMask = (1u << keyXBits_) - 1;
    store_->yBits = keyYBits_;
    store_->yMask = (1u << keyYBits_) - 1;
    ClearStore();
    totalMicros_ = 0;
    state_ = kReady;
    return kReady;
}

int32_t Pathfinder::Search(bool recheck) {
    const bool timed = (flags_ & kOptionTimeBudget) != 0;
    const bool clocked = timed || logging_;
    const uint64_t callStart = clocked ? Now() : 0;
    auto finish = [&](int32_t state) {
        if (clocked)
            totalMicros_ += Now() - callStart;
        return state;
    };
    const int32_t check = CheckSetup();
    if (check != kReady) {
        state_ = check;
        return finish(state_);
    }
    if (state_ == kReady) {
        if (Start() != kSearching)
            return finish(state_);
    } else if (state_ == kSearching) {
        if (recheck && !Recheck()) {
            ClearStore();
            Log("Pathfinder - Restarting Search");
            state_ = kReady;
            return finish(state_);
        }
    } else {
        return finish(state_);
    }
    Run(timed, (flags_ & kOptionNodeLimit) != 0, callStart);
    return finish(state_);
}

int32_t Pathfinder::SearchToCompletion() {
    const int32_t check = CheckSetup();
    if (check != kReady) {
        state_ = check;
        return state_;
    }
    if (state_ == kReady && Start() != kSearching)
        return state_;
    if (state_ == kSearching)
        Run(false, false, 0);
    return state_;
}

int32_t Pathfinder::Start() {
    PathStep start = MakeStep(start_);
    start.h = heuristic_(start, goal_, context_);
    if (start_.x == goal_.x && start_.y == goal_.y) {
        path_.clear();
        start.state = kStepGoal;
        path_.push_back(start);
        state_ = kGoalReached;
        return state_;
    }
    bool isNew = false;
    const uint32_t ref = store_->Insert(start, recordCount_, storeLimit_, isNew);
    store_->Push(ref);
    state_ = kSearching;
    return state_;
}

bool Pathfinder::Recheck() {
    Store& s = *store_;
    auto checkRecord = [&](const PathStep& step) {
        if (step.g == 0)
            return true;
        int32_t dx = 0;
        int32_t dy = 0;
        OffsetOfDirection(step.back, dx, dy);
        const uint32_t ref = s.Find(uint32_t(step.x + dx), uint32_t(step.y + dy));
        return stepCheck_(step, ref == kNoRef ? nullptr : &s.At(ref), context_);
    };
    for (uint32_t key = 0; key < kDirectSlots; ++key) {
        if (s.Used(key) && !checkRecord(s.direct[key]))
            return false;
    }
    for (const PathStep& step : s.overflow) {
        if (!checkRecord(step))
            return false;
    }
    return true;
}

int32_t Pathfinder::Run(bool useBudget, bool useNodeLimit, uint64_t callStart) {
    Store& s = *store_;
    uint32_t passes = 0;
    char text[128];
    while (s.heap.size() > 1) {
        if (useNodeLimit && ++passes >= nodesPerCall_) {
            Log("Pathfinder - NodesNumber reached");
            return state_;
        }
        const uint32_t ref = s.Pop();
        PathStep& step = s.At(ref);
        if (step.x == goal_.x && step.y == goal_.y) {
            step.state = kStepGoal;
            BuildPath(ref);
            std::snprintf(text, sizeof text, "Pathfinder - SearchTime: %" PRIu64 " mus, (%d,%d) -> (%d,%d)",
                          totalMicros_, start_.x, start_.y, goal_.x, goal_.y);
            Log(text);
            state_ = kGoalReached;
            return state_;
        }
        if (goalTest_ && goalTest_(step, context_)) {
            step.state = kStepAccepted;
            BuildPath(ref);
            std::snprintf(text, sizeof text, "Pathfinder - FinishTime: %" PRIu64 " mus, (%d,%d) -> (%d,%d)",
                          totalMicros_, start_.x, start_.y, goal_.x, goal_.y);
            Log(text);
            state_ = kAccepted;
            return state_;
        }
        Expand(ref);
        ++expansions_;
        if (storeFull_ || recordCount_ >= storeLimit_) {
            storeFull_ = true;
            state_ = kNoPath;
            return state_;
        }
        s.At(ref).state = kStepClosed;
        if (useBudget && Now() - callStart > timeBudget_) {
            Log("Pathfinder - Timeslice elapsed");
            return state_;
        }
    }
    std::snprintf(text, sizeof text, "Pathfinder - No Path Found: (%d,%d) -> (%d,%d)", start_.x, start_.y,
                  goal_.x, goal_.y);
    Log(text);
    state_ = kNoPath;
    return state_;
}

void Pathfinder::Expand(uint32_t ref) {
    Store& s = *store_;
    // A copy: new overflow records may move the stored one.
    const PathStep from = s.At(ref);
    const bool isStart = from.g == 0;
    uint8_t order[8];
    uint32_t count = 0;
    if (neighbours_ == 8) {
        uint8_t d = 0;
        if (isStart) {
            d = uint8_t((start_.x > goal_.x   ? 8
                         : start_.x < goal_.x ? 2
                                              : 0) |
                        (start_.y > goal_.y   ? 1
                         : start_.y < goal_.y ? 4
                                              : 0));
        } else {
            d = ReverseDirection(from.back);
        }
        const uint8_t cw = TurnClockwise(d);
        const uint8_t ccw = TurnCounterClockwise(d);
        const uint8_t cw2 = TurnClockwise(cw);
        const uint8_t ccw2 = TurnCounterClockwise(ccw);
        order[0] = d;
        order[1] = cw;
        order[2] = ccw;
        order[3] = cw2;
        order[4] = ccw2;
        order[5] = TurnCounterClockwise(ccw2);
        order[6] = TurnClockwise(cw2);
        order[7] = ReverseDirection(d);
        count = 8;
    } else if (isStart) {
        const uint8_t xDir = start_.x >= goal_.x ? 8 : 2;
        const uint8_t yDir = start_.y >= goal_.y ? 1 : 4;
        const bool alongX = std::abs(start_.x - goal_.x) >= std::abs(start_.y - goal_.y);
        const uint8_t primary = alongX ? xDir : yDir;
        const uint8_t secondary = alongX ? yDir : xDir;
        order[0] = primary;
        order[1] = secondary;
        order[2] = ReverseDirection(secondary);
        order[3] = ReverseDirection(primary);
        count = 4;
    } else {
        const uint8_t straight = ReverseDirection(from.back);
        const bool alongX = straight == 2 || straight == 8;
        const uint8_t side = alongX ? (start_.y >= goal_.y ? 1 : 4) : (start_.x >= goal_.x ? 8 : 2);
        order[0] = straight;
        order[1] = side;
        order[2] = ReverseDirection(side);
        order[3] = from.back;
        count = 4;
    }

    for (uint32_t i = 0; i < count; ++i) {
        const uint8_t dir = order[i];
        if (dir == 0 || (!isStart && dir == from.back))
            continue;
        int32_t dx = 0;
        int32_t dy = 0;
        OffsetOfDirection(dir, dx, dy);
        const int32_t nx = int32_t(from.x) + dx;
        const int32_t ny = int32_t(from.y) + dy;
        if (nx < rect_.x0 || nx > rect_.x1 || ny < rect_.y0 || ny > rect_.y1)
            continue;
        PathStep candidate;
        candidate.x = uint16_t(nx);
        candidate.y = uint16_t(ny);
        candidate.back = ReverseDirection(dir);
        candidate.h = heuristic_(candidate, goal_, context_);
        if (candidate.h > kImpossible)
            continue;
        if (!stepCheck_(candidate, &from, context_))
            continue;
        // A real move costs at least 1: a g of 0 marks the start, and a path
        // would end at a tile reached for free.
        const uint32_t cost = std::max<uint32_t>(stepCost_(candidate, from, context_), 1);
        const uint64_t g = uint64_t(from.g) + cost;
        if (cost > kImpossible || g > kImpossible)
            continue;
        candidate.g = uint32_t(g);
        bool isNew = false;
        const uint32_t found = s.Insert(candidate, recordCount_, storeLimit_, isNew);
        if (found == kNoRef) {
            storeFull_ = true;
            continue;
        }
        if (isNew) {
            s.Push(found);
            continue;
        }
        PathStep& known = s.At(found);
        if (known.g <= candidate.g)
            continue;
        known.g = candidate.g;
        known.back = candidate.back;
        if (known.state == kStepOpen) {
            s.SiftUp(known.openPosition);
        } else if (known.state == kStepClosed) {
            known.state = kStepNew;
            s.Push(found);
        }
    }
}

void Pathfinder::BuildPath(uint32_t ref) {
    Store& s = *store_;
    path_.clear();
    // Each record is copied once at most: a chain longer than the store
    // would be a loop.
    for (uint32_t guard = 0; ref != kNoRef && guard <= recordCount_; ++guard) {
        const PathStep& step = s.At(ref);
        path_.push_back(step);
        if (step.g == 0)
            break;
        int32_t dx = 0;
        int32_t dy = 0;
        OffsetOfDirection(step.back, dx, dy);
        ref = s.Find(uint32_t(step.x + dx), uint32_t(step.y + dy));
    }
    if (path_.size() >= 2)
        path_.back().back = ReverseDirection(path_[path_.size() - 2].back);
}

void Pathfinder::ClearPath() {
    std::vector<PathStep>().swap(path_);
}

int32_t Pathfinder::ValidatePath() {
    if (path_.empty() || !stepCheck_)
        return kNoPath;
    const size_t n = path_.size();
    const PathStep& start = path_.back();
    if (!stepCheck_(start, &start, context_) || (n >= 2 && start.back != ReverseDirection(path_[n - 2].back)))
        return kStartInvalid;
    const PathStep& end = path_.front();
    if (end.state == kStepGoal && !stepCheck_(end, &end, context_))
        return kGoalInvalid;
    for (size_t i = n - 1; i > 0; --i) {
        if (!stepCheck_(path_[i - 1], &path_[i], context_))
            return kIdle;
    }
    return end.state == kStepGoal ? kGoalReached : kAccepted;
}

PathRect SearchWindowForPair(PathPoint start, PathPoint goal, PathRect bounds) {
    if (bounds.x0 > bounds.x1 || bounds.y0 > bounds.y1 || !Inside(start, bounds) || !Inside(goal, bounds))
        return bounds;
    uint32_t xBits = 0;
    uint32_t yBits = 0;
    if (!ChooseKeyWindow(uint32_t(std::abs(start.x - goal.x)), uint32_t(std::abs(start.y - goal.y)), xBits,
                         yBits))
        return bounds;
    auto axis = [](int32_t a, int32_t b, int32_t extent, int32_t low, int32_t high, int32_t& outLow,
                   int32_t& outHigh) {
        outLow = (a + b) / 2 - extent / 2;
        outHigh = outLow + extent - 1;
        if (outHigh > high) {
            outHigh = high;
            outLow = high - extent + 1;
        }
        outLow = std::max(outLow, low);
    };
    PathRect window;
    axis(start.x, goal.x, int32_t(1) << xBits, bounds.x0, bounds.x1, window.x0, window.x1);
    axis(start.y, goal.y, int32_t(1) << yBits, bounds.y0, bounds.y1, window.y0, window.y1);
    return window;
}

PathRect SearchWindowWithMargin(int32_t margin, PathPoint start, PathPoint goal, PathRect bounds) {
    if (bounds.x0 > bounds.x1 || bounds.y0 > bounds.y1 || !Inside(start, bounds) || !Inside(goal, bounds))
        return bounds;
    auto axis = [margin](int32_t a, int32_t b, int32_t high, int32_t& outLow, int32_t& outHigh) {
        const int32_t lo = std::min(a, b);
        const int32_t hi = std::max(a, b);
        outLow = std::max(std::max(lo - margin / 2, hi - margin), 0);
        outHigh = std::min(std::min(lo + margin, hi + margin / 2), high);
    };
    PathRect window;
    axis(start.x, goal.x, bounds.x1, window.x0, window.x1);
    axis(start.y, goal.y, bounds.y1, window.y0, window.y1);
    return window;
}
