// Packs bytes with the codec the first byte picks (LZSS, bare aPLib format,
// "AP32" container) into exactly the worst-case room, and unpacks into
// exactly the input's size: the input must come back.
//
// Short inputs alone never reach the packers' far paths (offsets of 1280,
// 32000 and more, the wrap of the match chain ring), so the second byte may
// spread the rest of the input: it is laid down several times, apart by a
// gap that the next two bytes size (up to about 190 kB) and that holds
// noise, zeros, or the input again with one byte changed.
#include "files/aplib.h"
#include "files/lzss.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <optional>
#include <span>
#include <vector>

namespace {

constexpr size_t kMaxSpread = 192 * 1024;

std::vector<uint8_t> Spread(uint8_t layout, size_t gap, std::span<const uint8_t> motif) {
    const int copies = 2 + (layout >> 4) % 3;
    std::vector<uint8_t> out;
    uint32_t noise = 0x9E3779B9u ^ uint32_t(gap);
    for (int copy = 0; copy < copies && out.size() < kMaxSpread; ++copy) {
        out.insert(out.end(), motif.begin(), motif.end());
        if (copy + 1 == copies)
            break;
        size_t fill = std::min(gap, kMaxSpread - std::min(out.size(), kMaxSpread));
        for (size_t i = 0; i < fill; ++i) {
            switch (layout & 3) {
            case 1:
                noise ^= noise << 13, noise ^= noise >> 17, noise ^= noise << 5;
                out.push_back(uint8_t(noise));
                break;
            case 2:
                out.push_back(0);
                break;
            default:
                out.push_back(motif.empty() ? uint8_t(i) : uint8_t(motif[i % motif.size()] + (i == 0)));
                break;
            }
        }
    }
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1)
        return 0;
    const int codec = data[0] % 3;
    std::span<const uint8_t> src(data + 1, size - 1);
    std::vector<uint8_t> spread;
    if (size >= 4 && (data[1] & 3) != 0) {
        const size_t gap = size_t(data[2] | data[3] << 8) * 3;
        spread = Spread(data[1], gap, src.subspan(3));
        src = spread;
    }
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
