#include "world/random_streams.h"

namespace {
WorldRandomStream gameStream;
RuntimeRandomStream runtimeStream;
WorldRandomStream houseStream;
} // namespace

uint32_t GameRandom() {
    return gameStream.Next();
}

void SetGameRandomSeed(uint32_t seed) {
    gameStream.Seed(seed);
}

uint32_t GetGameRandomSeed() {
    return gameStream.State();
}

uint32_t RuntimeRandom() {
    return runtimeStream.Next();
}

void SeedRuntimeRandom(uint32_t seed) {
    runtimeStream.Seed(seed);
}

uint32_t GetRuntimeRandomState() {
    return runtimeStream.State();
}

WorldRandomStream& HouseRandomStream() {
    return houseStream;
}
