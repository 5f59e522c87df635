#include "world/random_streams.h"

#include "world/world.h"

uint32_t GameRandom() {
    return CurrentWorld().gameRandom.Next();
}

void SetGameRandomSeed(uint32_t seed) {
    CurrentWorld().gameRandom.Seed(seed);
}

uint32_t GetGameRandomSeed() {
    return CurrentWorld().gameRandom.State();
}

uint32_t RuntimeRandom() {
    return CurrentWorld().runtimeRandom.Next();
}

void SeedRuntimeRandom(uint32_t seed) {
    CurrentWorld().runtimeRandom.Seed(seed);
}

WorldRandomStream& HouseRandomStream() {
    return CurrentWorld().houseRandom;
}
