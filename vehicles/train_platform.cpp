#include "vehicles/train_platform.h"

#include <algorithm>

namespace {

bool IsLong(const PlatformCar& car) {
    return car.length > kQuartersPerSquare;
}

// The train position a car of the trail stands on: the one before the
// position its own length and the cars ahead reach, never below 0.
uint32_t TrailPosition(const std::vector<PlatformCar>& cars, size_t i) {
    int64_t quarters = 0;
    for (size_t j = 0; j <= i; ++j)
        quarters += std::max(cars[j].length, 0);
    const int64_t position = (quarters + kQuartersPerSquare - 1) / kQuartersPerSquare;
    return uint32_t(std::clamp<int64_t>(position - 1, 0, kMaxTrainCars - 1));
}

} // namespace

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
