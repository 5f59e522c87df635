// Unpacks arbitrary bytes as an "AP32" container. With the first byte odd,
// the rest is taken as a bare stream and given a header whose sizes and
// checksums are right, so that the checks after depacking are reached too.
#include "files/aplib.h"
#include "files/crc32.h"
#include "platform/endian.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <optional>
#include <span>
#include <vector>

namespace {

constexpr size_t kMaxUnpacked = 1 << 18;

void Check(std::span<const uint8_t> container, std::optional<std::span<const uint8_t>> expected) {
    std::optional<uint32_t> announced = AplibContainerUnpackedSize(container);
    if (!announced) {
        if (expected)
            __builtin_trap();
        return;
    }
    const size_t capacity = std::min<size_t>(*announced, kMaxUnpacked);
    auto out = std::make_unique_for_overwrite<uint8_t[]>(capacity);
    std::optional<size_t> n = AplibUnpackContainer(container, {out.get(), capacity});
    if (n && *n != *announced)
        __builtin_trap();
    if (expected && (!n || *n != expected->size() || std::memcmp(out.get(), expected->data(), *n) != 0))
        __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1)
        return 0;
    std::span<const uint8_t> body(data + 1, size - 1);
    if (!(data[0] & 1)) {
        Check(body, std::nullopt);
        return 0;
    }
    auto plain = std::make_unique_for_overwrite<uint8_t[]>(kMaxUnpacked);
    std::optional<size_t> n = AplibDepack(body, {plain.get(), kMaxUnpacked});
    if (!n)
        return 0;
    std::vector<uint8_t> container(kAplibContainerHeaderSize);
    plat::StoreLE32(&container[0], kAplibContainerTag);
    plat::StoreLE32(&container[4], kAplibContainerHeaderSize);
    plat::StoreLE32(&container[8], uint32_t(body.size()));
    plat::StoreLE32(&container[12], Crc32(body));
    plat::StoreLE32(&container[16], uint32_t(*n));
    plat::StoreLE32(&container[20], Crc32({plain.get(), *n}));
    container.insert(container.end(), body.begin(), body.end());
    Check(container, std::span<const uint8_t>(plain.get(), *n));
    return 0;
}
