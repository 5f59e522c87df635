// Reads arbitrary bytes as a compressed save: the header's sizes and the
// packed payload. An accepted file expands to exactly the announced length,
// packs again and expands to the same bytes; its plain chunk file then
// reaches the header check.
#include "files/chunk_stream.h"
#include "files/memory_stream.h"
#include "files/packed_save.h"
#include "platform/endian.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace {

// Bigger announced lengths are refused the same way; they only slow the run.
constexpr uint32_t kMaxFuzzedPlainSize = 16u << 20;

void Check(bool condition) {
    if (!condition)
        __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::span<const uint8_t> file(data, size);
    if (size >= kPackedSaveHeaderSize && plat::LoadLE32(data + 4) > kMaxFuzzedPlainSize)
        return 0;
    std::vector<uint8_t> plain;
    std::string error;
    if (!UnpackSaveImage(file, plain, &error)) {
        Check(!error.empty() && plain.empty());
        return 0;
    }
    Check(plain.size() == plat::LoadLE32(data + 4));

    std::vector<uint8_t> repacked, again;
    Check(PackSaveImage(plain, repacked));
    Check(UnpackSaveImage(repacked, again));
    Check(again == plain);

    std::string text;
    uint32_t version = 0;
    BeginSaveStream(OpenMemoryReadStream(std::span<const uint8_t>(plain)), text, version);
    CloseStream();
    return 0;
}
