// Loads arbitrary bytes as a saved game's map view section ("WoP"). Whatever
// the bytes, the water records give usable values where they are drawn and
// the state stores again as its three chunks.
#include "files/chunk_stream.h"
#include "files/memory_stream.h"
#include "view/map_view_state.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace {

void Check(bool condition) {
    if (!condition)
        __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    MapViewState state;
    {
        SaveStreamScope scope;
        std::string text;
        uint32_t version = 0;
        if (!BeginSaveStream(OpenMemoryReadStream(std::span(data, size)), text, version))
            return 0;
        for (int i = 0; i < 16; ++i) {
            uint32_t tag = 0;
            BeginChunk(tag);
            const bool found = tag == ChunkTag("WoP");
            if (found)
                state.Serialize();
            EndChunk();
            if (found || tag == 0)
                break;
        }
        CloseStream();
    }
    for (const WaterAnimation& w : state.water) {
        const WaterAnimation s = w.Sanitised();
        Check(s.periodA != 0 && s.periodB != 0);
        for (float f : {s.shiftAU, s.shiftAV, s.shiftBU, s.shiftBV, s.waveAStepX, s.waveAStepY, s.waveBStepX,
                        s.waveBStepY, s.amplitudeX, s.amplitudeY, s.turnsA, s.turnsB})
            Check(std::isfinite(f));
    }
    std::vector<uint8_t> bytes;
    SaveStreamScope scope;
    std::string text(kSaveHeaderText);
    uint32_t version = kSaveStreamVersion;
    Check(BeginSaveStream(OpenMemoryWriteStream(bytes), text, version));
    Check(state.Serialize());
    Check(CloseStream());
    return 0;
}
