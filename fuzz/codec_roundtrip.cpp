// Packs arbitrary bytes with the codec the first byte picks (LZSS, bare
// aPLib format, "AP32" container) into exactly the worst-case room, and
// unpacks into exactly the input's size: the input must come back.
#include "files/aplib.h"
#include "files/lzss.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <optional>
#include <span>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1)
        return 0;
    std::span<const uint8_t> src(data + 1, size - 1);
    const int codec = data[0] % 3;
    const size_t room = codec == 0   ? LzssMaxPackedSize(src.size())
                        : codec == 1 ? AplibMaxPackedSize(src.size())
                                     : AplibMaxContainerSize(src.size());
    auto packed = std::make_unique<uint8_t[]>(room);
    std::optional<size_t> n = codec == 0   ? LzssEncode(src, {packed.get(), room})
                              : codec == 1 ? AplibPack(src, {packed.get(), room})
                                           : AplibPackContainer(src, {packed.get(), room});
    if (!n || *n > room)
        __builtin_trap();

    auto out = std::make_unique<uint8_t[]>(src.size());
    std::span<const uint8_t> stream(packed.get(), *n);
    std::span<uint8_t> dst(out.get(), src.size());
    std::optional<size_t> m = codec == 0   ? LzssDecode(stream, dst)
                              : codec == 1 ? AplibDepack(stream, dst)
                                           : AplibUnpackContainer(stream, dst);
    if (!m || *m != src.size() || (!src.empty() && std::memcmp(out.get(), src.data(), src.size()) != 0))
        __builtin_trap();
    return 0;
}
