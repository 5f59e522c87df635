// Factory events: demand events that change what a factory pays for one of
// its inputs for some years, the growth of a served factory, the closure of
// a factory, new factory lines and attraction sites; the running demand
// events are the "FSE" section of a saved game.
#pragma once

#include <cstdint>
#include <vector>

class Factory;

struct FactoryEventRecord {
    uint16_t endMonth = 0;
    uint16_t endYear = 0;
    uint32_t factory = 0;
    friend bool operator==(const FactoryEventRecord&, const FactoryEventRecord&) = default;
};

struct FactoryEventState {
    std::vector<FactoryEventRecord> events;
    // Set by a closure, cleared when a new factory line opens.
    uint8_t newLine = 0;
    // Demand events allowed at once; 0 until computed.
    uint32_t limit = 0;
};

FactoryEventState& GetFactoryEventState();
// The periodic check with month and year of the next tick.
void UpdateFactoryEvents();
void ResetFactoryEvents();
// The "FSE" section in the direction of the current stream; false when the
// stream failed.
bool SerializeFactoryEvents();

std::vector<int32_t> GetEventProducts(const Factory& factory);
bool StartDemandEvent(uint32_t month, uint32_t year);
bool TryExpandFactory();
bool OpenFactoryLine(uint32_t year);
bool OpenAttractionSite(uint32_t year);
