// Which company owns which headquarters: one entry per player slot, so the
// price and vehicle code can ask for a company's built parts.
#pragma once

#include <cstdint>

class Headquarter;

Headquarter* GetPlayerHeadquarter(uint32_t slot);
// Whether the slot's headquarters has part `bit` built; false without one.
bool PlayerHeadquarterHasPart(uint32_t slot, uint32_t bit);
// The Modifier of a Headquarter row (0 for a missing row).
float GetHeadquarterModifier(int32_t row);
// Empties the registry and the cached graphic-set index.
void ResetHeadquarters();
