// Loads arbitrary bytes as a saved game's interface state ("gsta"). Whatever
// the bytes, every block keeps its size, the neutral player's owner flag is
// set, the zoom used is a valid level, and the state stores again.
#include "files/chunk_stream.h"
#include "files/memory_stream.h"
#include "view/interface_state.h"

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
    InterfaceState state;
    bool loaded = false;
    {
        SaveStreamScope scope;
        std::string text;
        uint32_t version = 0;
        if (!BeginSaveStream(OpenMemoryReadStream(std::span(data, size)), text, version))
            return 0;
        for (int i = 0; i < 16; ++i) {
            uint32_t tag = 0;
            BeginChunk(tag);
            const bool found = tag == ChunkTag("gsta");
            if (found) {
                state.Serialize();
                loaded = true;
            }
            EndChunk();
            if (found || tag == 0)
                break;
        }
        CloseStream();
    }
    if (loaded)
        Check(state.OwnerFlag(4) == 1);
    Check(state.ViewZoomLevel() >= 0 && state.ViewZoomLevel() <= 14);
    std::vector<uint8_t> bytes;
    SaveStreamScope scope;
    std::string text(kSaveHeaderText);
    uint32_t version = kSaveStreamVersion;
    Check(BeginSaveStream(OpenMemoryWriteStream(bytes), text, version));
    Check(state.Serialize());
    Check(CloseStream());
    // Header, section-free chunks: five blocks of their sizes and the end.
    Check(bytes.size() >= 8 + 116 + 76 + 36 + 44 + 24 + 8);
    return 0;
}
