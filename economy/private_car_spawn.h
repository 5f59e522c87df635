// The towns' side of the private cars: once per 500 ms of game time each
// town of 21 inhabitants or more that has fewer cars than its size class
// allows gets at most one new car, on a free straight road beside one of
// its houses.
#pragma once

#include <cstdint>

void SpawnPrivateCars(uint32_t now);
// The cars a town of the size class may have (CitySizeNrPKWs); 0 when the
// class has no entry.
uint32_t PrivateCarLimit(uint32_t sizeClass);
