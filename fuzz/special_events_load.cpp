// Loads arbitrary bytes as a saved game's special-events section ("SPE").
// Whatever the bytes, every running event and planned row names an event of
// its kind, plans stay within their limit, and ten years of monthly steps
// run without fault.
#include "data/generated/tables.h"
#include "files/chunk_stream.h"
#include "files/memory_stream.h"
#include "world/game_clock.h"
#include "world/special_events.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace {

void Check(bool condition) {
    if (!condition)
        __builtin_trap();
}

void EnsureEvents() {
    if (SpecialEventsTable::RowCount() > 0)
        return;
    for (int32_t row = 0; row < 6; ++row) {
        SpecialEventsRow* event = SpecialEventsTable::GetOrCreateRow(row);
        event->EventTyp = row % 3;
        event->StartYear = 1850 + row * 10;
        event->EndYear = 1900 + row * 20;
        event->Probability = 30 + row * 10;
        event->NrOfYearsRunning = row % 4;
        event->CounterPer100Years = row % 2;
        event->ProductFreightPriceChange.Resize(2, 1);
        event->ProductFreightPriceChange.SetCell(0, 0, -1.0f);
        event->ProductFreightPriceChange.SetCell(1, 0, 1.5f);
    }
    ProductTable::GetOrCreateRow(0);
    ProductTable::GetOrCreateRow(3);
}

void CheckState() {
    for (uint32_t kind = 0; kind < SpecialEvents::kKindCount; ++kind) {
        const int16_t running = SpecialEvents::RunningEvent(kind);
        if (running != -1) {
            const SpecialEventsRow* event = SpecialEventsTable::Find(running);
            Check(event && event->EventTyp == int32_t(kind));
        }
        Check(SpecialEvents::Plan(kind).size() <= SpecialEvents::kMaxPlannedEvents);
        for (uint32_t row : SpecialEvents::Plan(kind)) {
            const SpecialEventsRow* event = SpecialEventsTable::Find(int32_t(row));
            Check(event && event->EventTyp == int32_t(kind));
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    EnsureEvents();
    if (!GetGameClock())
        CreateGameClock(1);
    GameClock& clock = *GetGameClock();
    clock.SetYear(1850 + uint32_t(size % 120));
    SpecialEvents::EndAll();
    std::string text;
    uint32_t version = 0;
    {
        SaveStreamScope scope;
        if (!BeginSaveStream(OpenMemoryReadStream(std::span(data, size)), text, version))
            return 0;
        for (int i = 0; i < 16; ++i) {
            uint32_t tag = 0;
            BeginChunk(tag);
            const bool found = tag == ChunkTag("SPE");
            if (found)
                SpecialEvents::Load();
            EndChunk();
            if (found || tag == 0)
                break;
        }
        CloseStream();
    }
    CheckState();
    for (uint32_t month = 0; month < 120; ++month) {
        clock.AddTicks(uint32_t(749 - clock.GetTicks() % 750));
        SpecialEvents::Update();
        clock.Tick();
        CheckState();
    }
    SpecialEvents::EndAll();
    return 0;
}
