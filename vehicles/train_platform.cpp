#include "vehicles/train_platform.h"

#include "transport/station.h"
#include "vehicles/schedule.h"
#include "vehicles/vehicle.h"
#include "vehicles/vehicle_trail.h"
#include "world/world_map.h"

#include <bit>

#include <algorithm>

namespace {

bool IsLong(const PlatformCar& car) {
    return car.length > kQuartersPerSquare;
}

} // namespace

uint32_t TrailPosition(const std::vector<PlatformCar>& cars, size_t i) {
    int64_t quarters = 0;
    for (size_t j = 0; j <= i; ++j)
        quarters += std::max(cars[j].length, 0);
    const int64_t position = (quarters + kQuartersPerSquare - 1) / kQuartersPerSquare;
    return uint32_t(std::clamp<int64_t>(position - 1, 0, kMaxTrainCars - 1));
}

std::array<PlatformTile, kMaxTrainCars> LayPlatformPositions(int32_t x, int32_t y, uint32_t direction,
                                                             uint32_t platformSquares, int32_t mapWidth,
                                                             int32_t mapHeight) {
    static constexpr int32_t kDx[4] = {0, 1, 0, -1};
    static constexpr int32_t kDy[4] = {-1, 0, 1, 0};
    const uint32_t d = direction & 3u;
    std::array<PlatformTile, kMaxTrainCars> out{};
    for (uint32_t i = 0; i < kMaxTrainCars; ++i) {
        const PlatformTile at{x - kDx[d] * int32_t(i), y - kDy[d] * int32_t(i)};
        const bool onMap = at.x >= 0 && at.y >= 0 && at.x < mapWidth && at.y < mapHeight;
        if (i > 0 && (i >= platformSquares || !onMap))
            out[i] = out[i - 1];
        else
            out[i] = at;
    }
    return out;
}

void SetPlatformCarModes(std::vector<PlatformCar>& cars, uint32_t platformSquares) {
    int64_t budget = int64_t(kQuartersPerSquare) * platformSquares;
    bool flagged = false;
    for (size_t i = 0; i < cars.size() && i < kMaxTrainCars; ++i) {
        PlatformCar& car = cars[i];
        const int32_t length = car.length;
        budget -= length;
        if (budget - length >= -(length / 2)) {
            car.mode = kCarFollowsTrail;
            continue;
        }
        if (flagged) {
            car.mode = kCarWaits;
            continue;
        }
        // The first car that does not fit.
        car.mode = kCarMovesAlone;
        flagged = true;
        if (i + 1 >= cars.size())
            continue;
        PlatformCar& next = cars[i + 1];
        if (IsLong(car)) {
            if (budget < 1) {
                car.mode = kCarFollowsTrail;
                next.mode = IsLong(next) ? kCarLongTransition : kCarMovesAlone;
            } else if (budget >= length / 2) {
                car.mode = kCarFollowsTrail;
                if (!IsLong(next)) {
                    // The next car is handled as an ordinary one.
                    flagged = false;
                    continue;
                }
                next.mode = kCarMovesAlone;
            } else if (IsLong(next)) {
                if (next.progress <= 0.5f) {
                    car.mode = kCarFollowsTrail;
                    next.mode = kCarMovesAlone;
                } else {
                    next.mode = kCarLongTransition;
                }
            } else {
                next.mode = kCarMovesAlone;
            }
            ++i;
        } else if (budget > 0) {
            car.mode = kCarFollowsTrail;
            if (budget >= next.length / 2)
                next.mode = kCarMovesAlone;
            else
                next.mode = next.progress <= 0.5f ? kCarMovesAlone : kCarLongTransition;
            ++i;
        }
    }
}

void AdvanceCars(std::vector<PlatformCar>& cars, const std::array<PlatformTile, kMaxTrainCars>& positions,
                 uint32_t& lastUpdate, uint32_t now, uint32_t timePerTile) {
    if (lastUpdate == 0)
        lastUpdate = now;
    // A time of 0 per square would finish squares without end.
    const uint32_t step = std::max<uint32_t>(timePerTile, 1);
    const size_t n = std::min<size_t>(cars.size(), kMaxTrainCars);
    std::array<bool, kMaxTrainCars> marked{};
    // Only the milliseconds at which some square ends change anything.
    uint32_t t = lastUpdate;
    while (n > 0 && t <= now) {
        for (size_t i = 0; i < n; ++i) {
            PlatformCar& car = cars[i];
            // A car far behind the clock (a stale time) finishes at most
            // as many squares as a train has cars: more change nothing.
            if (car.end < t && t - car.end > uint64_t(step) * kMaxTrainCars)
                car.end = uint32_t(uint64_t(t) - uint64_t(step) * kMaxTrainCars);
            // Every square of the car that ended by t.
            while (car.end <= t) {
                if (car.mode == kCarMovesAlone) {
                    if (!marked[i])
                        car.mode = kCarFollowsTrail;
                    if (i + 1 < n) {
                        PlatformCar& next = cars[i + 1];
                        if (IsLong(car) || marked[i]) {
                            if (next.mode == kCarWaits) {
                                const int32_t deciding =
                                    next.progress >= car.progress ? next.length : car.length;
                                next.mode =
                                    deciding < kQuartersPerSquare ? kCarMovesAlone : kCarLongTransition;
                                next.x = car.x;
                                next.y = car.y;
                            }
                        } else {
                            marked[i + 1] = true;
                            const bool nextLong = next.length >= kQuartersPerSquare;
                            next.mode = nextLong && car.length >= kQuartersPerSquare ? kCarLongTransition
                                                                                     : kCarMovesAlone;
                            next.x = car.x;
                            next.y = car.y;
                        }
                    }
                }
                if (car.mode == kCarFollowsTrail) {
                    const PlatformTile& at = i == 0 && car.length <= kQuartersPerSquare
                                                 ? positions[0]
                                                 : positions[TrailPosition(cars, i)];
                    car.x = at.x;
                    car.y = at.y;
                } else if (car.mode == kCarLongTransition) {
                    car.mode = kCarMovesAlone;
                } else if (car.mode == kCarWaits && i > 0 && cars[i - 1].mode == kCarFollowsTrail) {
                    car.mode = kCarLongTransition;
                }
                car.start = car.end;
                if (car.end > UINT32_MAX - step) {
                    // The clock's end: the car waits there.
                    car.end = UINT32_MAX;
                    break;
                }
                car.end = car.end + step;
            }
        }
        // On to the next millisecond at which a square ends.
        uint32_t soonest = now + 1;
        bool any = false;
        for (size_t i = 0; i < n; ++i)
            if (cars[i].end <= now && cars[i].end > t) {
                soonest = any ? std::min(soonest, cars[i].end) : cars[i].end;
                any = true;
            }
        if (!any)
            break;
        t = soonest;
    }
    lastUpdate = now;
}

void RetimeCars(std::vector<PlatformCar>& cars, uint32_t nextWake, uint32_t timePerTile) {
    for (PlatformCar& car : cars) {
        const uint32_t span = car.end - car.start;
        // A square of no length is done.
        const float p = span == 0 ? 1.0f : float(nextWake - car.start) / float(span);
        car.start = nextWake - uint32_t(float(timePerTile) * p);
        car.end = car.start + timePerTile;
    }
}

// ---- The vehicle's side: its motion records as platform cars. ----

namespace {

std::vector<PlatformCar> CarsOf(const std::vector<Vehicle::MotionRecord>& motion) {
    std::vector<PlatformCar> cars;
    for (size_t i = 0; i < motion.size() && i < kMaxTrainCars; ++i) {
        const Vehicle::MotionRecord& m = motion[i];
        PlatformCar car;
        car.length = int32_t(std::min<uint32_t>(m[kCarLength], 4 * kMaxTrainCars));
        car.mode = m[kCarMode] <= kCarLongTransition ? m[kCarMode] : uint32_t(kCarFollowsTrail);
        car.start = m[kCarStart];
        car.end = m[kCarEnd];
        car.x = int32_t(m[kCarX]);
        car.y = int32_t(m[kCarY]);
        car.progress = std::bit_cast<float>(m[kCarProgress]);
        cars.push_back(car);
    }
    return cars;
}

void StoreCars(const std::vector<PlatformCar>& cars, std::vector<Vehicle::MotionRecord>& motion) {
    for (size_t i = 0; i < cars.size() && i < motion.size(); ++i) {
        Vehicle::MotionRecord& m = motion[i];
        m[kCarMode] = cars[i].mode;
        m[kCarStart] = cars[i].start;
        m[kCarEnd] = cars[i].end;
        m[kCarX] = uint32_t(cars[i].x);
        m[kCarY] = uint32_t(cars[i].y);
    }
}

// Direction index 0 north, 1 east, 2 south, 3 west of a heading mask.
uint32_t DirectionIndex(uint32_t heading) {
    switch (heading) {
    case 2:
        return 1;
    case 4:
        return 2;
    case 8:
        return 3;
    default:
        return 0;
    }
}

} // namespace

void Vehicle::PlaceAtPlatform(int32_t x, int32_t y, uint32_t heading) {
    if (GetConnectionType() != kModeTrack)
        return;
    Station* station = schedule_ && GetCurrentStop() < schedule_->GetStopCount()
                           ? schedule_->GetStopStation(GetCurrentStop())
                           : nullptr;
    uint32_t squares = station ? station->GetLoadAreaLength() : 0;
    uint32_t n = 0;
    LayoutRect rect;
    if (station && station->FindLoadAreaContaining(x, y, n) && station->GetLoadAreaRect(n, rect)) {
        // Not come in by a step (placed at the stop): the train lies along
        // the platform from the head's end of it.
        if (heading != 1 && heading != 2 && heading != 4 && heading != 8) {
            if (rect.w >= rect.h)
                heading = x == rect.x ? 8 : 2;
            else
                heading = y == rect.y ? 1 : 4;
        }
        // The platform's squares from the head back.
        static constexpr int32_t kDx[4] = {0, 1, 0, -1};
        static constexpr int32_t kDy[4] = {-1, 0, 1, 0};
        const uint32_t d = DirectionIndex(heading);
        squares = 0;
        for (int32_t px = x, py = y; px >= rect.x && px < rect.x + rect.w && py >= rect.y &&
                                     py < rect.y + rect.h && squares < kMaxTrainCars;
             px -= kDx[d], py -= kDy[d])
            ++squares;
    }
    const WorldMap& map = GetWorldMap();
    ReleaseLanes();
    const auto positions = LayPlatformPositions(x, y, DirectionIndex(heading), squares,
                                                int32_t(map.GetWidth()), int32_t(map.GetHeight()));
    // The train's own squares are laid anew; the trail behind them keeps
    // the way it came, where the signal block it holds is found.
    const uint32_t tiles = std::min<uint32_t>(GetTrainTiles(), uint32_t(trail_.size()));
    for (uint32_t i = 0; i < tiles; ++i) {
        trail_[i] = {positions[i].x, positions[i].y};
        trailObjects_[i] = 0;
    }
    SetPosition(x, y);
    std::vector<PlatformCar> cars = CarsOf(motion_);
    SetPlatformCarModes(cars, squares);
    // The cars that stand on the platform stand on their own squares.
    for (size_t i = 0; i < cars.size(); ++i)
        if (cars[i].mode == kCarFollowsTrail) {
            const PlatformTile& at = positions[TrailPosition(cars, i)];
            cars[i].x = at.x;
            cars[i].y = at.y;
        }
    StoreCars(cars, motion_);
    SetOccupiedLength(GetTrainTiles());
    block_[29] = uint8_t(heading);
    block_[124] = uint8_t(heading);
    ClaimLanes();
    CloseCrossingsAhead();
}

void Vehicle::TimeCarsForStep(uint32_t delay, bool departing) {
    if (GetConnectionType() != kModeTrack || motion_.empty())
        return;
    const uint32_t previous = U32(20);
    if (departing) {
        // Leaving a stop: every car starts its square with the head, so
        // that the waiting ones are pulled in square by square.
        for (MotionRecord& m : motion_) {
            m[kCarStart] = previous;
            m[kCarEnd] = previous + delay;
        }
        SetU32(64, previous);
    }
    // A short first car is the head: its square is the one just begun.
    MotionRecord& first = motion_[0];
    if (first[kCarLength] <= kQuarterSquares) {
        first[kCarX] = uint32_t(trail_[0].x);
        first[kCarY] = uint32_t(trail_[0].y);
        first[kCarStart] = previous - delay;
        first[kCarEnd] = previous;
    }
}

void Vehicle::AdvanceUnits(uint32_t now) {
    if (GetConnectionType() != kModeTrack || motion_.empty() ||
        (GetState() != kStateMoving && GetState() != kStatePassing))
        return;
    uint32_t last = U32(64);
    // A clock behind the last update moves nothing.
    if (last != 0 && now < last)
        return;
    std::vector<PlatformCar> cars = CarsOf(motion_);
    std::array<PlatformTile, kMaxTrainCars> positions{};
    for (uint32_t i = 0; i < kMaxTrainCars && i < trail_.size(); ++i)
        positions[i] = {trail_[i].x, trail_[i].y};
    AdvanceCars(cars, positions, last, now, U32(100));
    StoreCars(cars, motion_);
    SetU32(64, last);
}
