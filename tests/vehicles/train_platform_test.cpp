// Train cars at a platform: which cars stand on it, which wait behind, and
// how the waiting cars are pulled in when the train moves.
#include "vehicles/train_platform.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<PlatformCar> Cars(std::vector<int32_t> lengths, std::vector<float> progress = {}) {
    std::vector<PlatformCar> cars;
    for (size_t i = 0; i < lengths.size(); ++i) {
        PlatformCar car;
        car.length = lengths[i];
        car.progress = i < progress.size() ? progress[i] : 0.0f;
        cars.push_back(car);
    }
    return cars;
}

std::vector<uint32_t> Modes(const std::vector<PlatformCar>& cars) {
    std::vector<uint32_t> modes;
    for (const PlatformCar& car : cars)
        modes.push_back(car.mode);
    return modes;
}

TEST(TrainPlatformTest, CarModesByPlatformLength) {
    struct Case {
        const char* what;
        uint32_t squares;
        std::vector<int32_t> lengths;
        std::vector<float> progress;
        std::vector<uint32_t> modes;
    };
    const Case cases[] = {
        {"three short cars fit four squares", 4, {4, 4, 4}, {}, {0, 0, 0}},
        {"a fourth short car does not", 4, {4, 4, 4, 4}, {}, {0, 0, 0, 1}},
        {"two squares: the second car moves alone, the rest wait", 2, {4, 4, 4, 4}, {}, {0, 1, 2, 2}},
        {"no platform: the first car moves alone", 0, {4, 4}, {}, {1, 2}},
        {"a short car with a little budget stands, the next moves alone", 2, {3, 4, 4}, {}, {0, 0, 1}},
        {"... or, when it is far along, turns", 2, {3, 4, 4}, {0.0f, 0.0f, 0.8f}, {0, 0, 3}},
        {"a long car past the budget: it stands, the long next one turns", 2, {8, 8, 4}, {}, {0, 3, 2}},
        {"a long car half in with a short next: the next is an ordinary car",
         3,
         {2, 7, 4, 4},
         {},
         {0, 0, 1, 2}},
        {"a long car barely in, the long next far along", 3, {9, 8, 4}, {0.0f, 0.9f}, {1, 3, 2}},
        {"a long car barely in, the long next just started", 3, {9, 8, 4}, {0.0f, 0.2f}, {0, 1, 2}},
        {"an empty train", 4, {}, {}, {}},
    };
    for (const Case& c : cases) {
        std::vector<PlatformCar> cars = Cars(c.lengths, c.progress);
        SetPlatformCarModes(cars, c.squares);
        EXPECT_EQ(Modes(cars), c.modes) << c.what;
    }
}

TEST(TrainPlatformTest, PositionsStayOnThePlatformAndTheMap) {
    // Head at (5, 5) facing east: the train lies to the west.
    auto positions = LayPlatformPositions(5, 5, 1, 3, 64, 64);
    EXPECT_EQ(positions[0].x, 5);
    EXPECT_EQ(positions[1].x, 4);
    EXPECT_EQ(positions[2].x, 3);
    EXPECT_EQ(positions[3].x, 3) << "past the platform the last square repeats";
    EXPECT_EQ(positions[127].x, 3);
    // A head at the map's edge facing west: the positions behind would be
    // east of it, off a map of width 7.
    positions = LayPlatformPositions(6, 2, 3, 10, 7, 7);
    EXPECT_EQ(positions[0].x, 6);
    EXPECT_EQ(positions[1].x, 6) << "off the map the last position repeats";
    EXPECT_EQ(positions[1].y, 2);
}

TEST(TrainPlatformTest, WaitingCarsArePulledInOneAfterTheOther) {
    std::vector<PlatformCar> cars = Cars({4, 4, 4, 4});
    SetPlatformCarModes(cars, 2);
    ASSERT_EQ(Modes(cars), (std::vector<uint32_t>{0, 1, 2, 2}));
    const auto positions = LayPlatformPositions(10, 10, 1, 8, 64, 64);
    for (PlatformCar& car : cars) {
        car.start = 1000;
        car.end = 1100;
    }
    uint32_t last = 0;
    AdvanceCars(cars, positions, last, 1000, 100);
    EXPECT_EQ(last, 1000u);
    EXPECT_EQ(Modes(cars), (std::vector<uint32_t>{0, 1, 2, 2})) << "no square has ended yet";
    AdvanceCars(cars, positions, last, 1100, 100);
    EXPECT_EQ(cars[1].mode, 0u) << "the car that moved alone joins the trail";
    EXPECT_NE(cars[2].mode, 2u) << "the first waiting car is pulled in";
    AdvanceCars(cars, positions, last, 1500, 100);
    EXPECT_EQ(Modes(cars), (std::vector<uint32_t>{0, 0, 0, 1}))
        << "a car pulled in this advance keeps moving";
    AdvanceCars(cars, positions, last, 1600, 100);
    EXPECT_EQ(Modes(cars), (std::vector<uint32_t>{0, 0, 0, 0})) << "in the end every car follows the trail";
    EXPECT_EQ(cars[0].x, 10);
    EXPECT_EQ(cars[0].end, 1700u);
}

TEST(TrainPlatformTest, AStandingTrainKeepsItsWaitingCars) {
    std::vector<PlatformCar> cars = Cars({4, 4, 4, 4});
    SetPlatformCarModes(cars, 2);
    for (PlatformCar& car : cars)
        car.end = 5000;
    uint32_t last = 1000;
    const auto positions = LayPlatformPositions(10, 10, 1, 2, 64, 64);
    AdvanceCars(cars, positions, last, 4999, 100);
    EXPECT_EQ(cars[2].mode, 2u);
    EXPECT_EQ(cars[3].mode, 2u);
}

TEST(TrainPlatformTest, ZeroTimesNeitherHangNorDivide) {
    // A time of 0 per square still ends; a square of no length re-times.
    std::vector<PlatformCar> cars = Cars({4, 4});
    const auto positions = LayPlatformPositions(3, 3, 0, 4, 64, 64);
    uint32_t last = 1;
    AdvanceCars(cars, positions, last, 50, 0);
    EXPECT_EQ(last, 50u);
    EXPECT_GT(cars[0].end, 50u);
    cars[0].start = cars[0].end = 700;
    RetimeCars(cars, 700, 200);
    EXPECT_EQ(cars[0].end - cars[0].start, 200u);
}

TEST(TrainPlatformTest, RetimingKeepsEachCarsShare) {
    std::vector<PlatformCar> cars = Cars({4});
    cars[0].start = 1000;
    cars[0].end = 1400;
    // At 1100 a quarter of the square is done; at 200 ms per square the
    // square now started 50 ms before.
    RetimeCars(cars, 1100, 200);
    EXPECT_EQ(cars[0].start, 1050u);
    EXPECT_EQ(cars[0].end, 1250u);
}

} // namespace
