// Token layout of the aPLib format shared by its packer and depacker.
#pragma once

#include <cstdint>

namespace aplib {

// Short matches ("110" and one byte) reach offsets 1 to 127; their byte 0
// is the end token.
inline constexpr uint32_t kShortOffsetLimit = 128;
// One-byte matches ("111" and four bits) reach 15 bytes back; offset 0
// stands for a zero byte.
inline constexpr uint32_t kNearOffsetLimit = 16;

// A normal match stores its length less a bias that grows with the offset,
// because short matches far away never pay off.
inline constexpr uint32_t LengthBias(uint32_t offset) {
    if (offset < kShortOffsetLimit)
        return 2;
    if (offset >= 32000)
        return 2;
    if (offset >= 1280)
        return 1;
    return 0;
}

} // namespace aplib
