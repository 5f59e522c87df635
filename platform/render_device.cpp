#include "platform/render_device.h"

#include <algorithm>
#include <cstring>

namespace plat {

namespace {

struct Channels {
    uint8_t bits[4];  // a, r, g, b
    uint8_t shift[4]; // position of each channel's lowest bit
};

constexpr Channels kChannels[kPixelFormatCount] = {
    {{4, 4, 4, 4}, {12, 8, 4, 0}},  // 4444
    {{8, 8, 8, 8}, {24, 16, 8, 0}}, // 8888
    {{1, 5, 5, 5}, {15, 10, 5, 0}}, // 1555
    {{0, 5, 6, 5}, {0, 11, 5, 0}},  // 565
    {{0, 5, 5, 5}, {0, 10, 5, 0}},  // 555
    {{0, 8, 8, 8}, {0, 16, 8, 0}},  // X888
};

uint32_t Widen(uint32_t v, int bits) {
    const uint32_t max = (1u << bits) - 1;
    return (v * 255 + max / 2) / max;
}

uint32_t Narrow(uint32_t v, int bits) {
    const uint32_t max = (1u << bits) - 1;
    return (v * max + 127) / 255;
}

} // namespace

uint32_t NativeToArgb(PixelFormat format, uint32_t pixel) {
    const Channels& c = kChannels[static_cast<int>(format)];
    uint32_t out = 0;
    for (int i = 0; i < 4; ++i) {
        uint32_t v = 255;
        if (c.bits[i] != 0)
            v = Widen((pixel >> c.shift[i]) & ((1u << c.bits[i]) - 1), c.bits[i]);
        out |= v << (24 - 8 * i);
    }
    return out;
}

uint32_t ArgbToNative(PixelFormat format, uint32_t argb) {
    const Channels& c = kChannels[static_cast<int>(format)];
    uint32_t out = 0;
    for (int i = 0; i < 4; ++i) {
        if (c.bits[i] == 0)
            continue;
        out |= Narrow((argb >> (24 - 8 * i)) & 0xFF, c.bits[i]) << c.shift[i];
    }
    return out;
}

int BytesPerPixel(PixelFormat format) {
    switch (format) {
    case PixelFormat::Argb8888:
    case PixelFormat::Xrgb8888:
        return 4;
    default:
        return 2;
    }
}

bool ClipCopyRect(DevicePoint& at, DeviceRect& from, int32_t sw, int32_t sh, const DeviceRect& dstLimit) {
    if (from.left < 0) {
        at.x -= from.left;
        from.left = 0;
    }
    if (from.top < 0) {
        at.y -= from.top;
        from.top = 0;
    }
    from.right = std::min(from.right, sw);
    from.bottom = std::min(from.bottom, sh);
    if (at.x < dstLimit.left) {
        from.left += dstLimit.left - at.x;
        at.x = dstLimit.left;
    }
    if (at.y < dstLimit.top) {
        from.top += dstLimit.top - at.y;
        at.y = dstLimit.top;
    }
    from.right = std::min(from.right, from.left + (dstLimit.right - at.x));
    from.bottom = std::min(from.bottom, from.top + (dstLimit.bottom - at.y));
    return from.right > from.left && from.bottom > from.top;
}

GammaRamp GammaRamp::Identity() {
    GammaRamp ramp;
    for (int i = 0; i < 256; ++i) {
        const auto v = static_cast<uint16_t>(i * 257);
        ramp.red[i] = ramp.green[i] = ramp.blue[i] = v;
    }
    return ramp;
}

bool RenderDevice::UploadTexture(TextureId id, const void* pixels, int32_t pitch) {
    TextureLock lock;
    if (pixels == nullptr || !LockTexture(id, lock))
        return false;
    const size_t rowBytes = static_cast<size_t>(lock.width) * BytesPerPixel(lock.format);
    if (pitch < 0 || static_cast<size_t>(pitch) < rowBytes) {
        UnlockTexture(id);
        return false;
    }
    const auto* src = static_cast<const uint8_t*>(pixels);
    for (int32_t y = 0; y < lock.height; ++y)
        std::memcpy(lock.pixels + static_cast<size_t>(y) * lock.pitch, src + static_cast<size_t>(y) * pitch,
                    rowBytes);
    return UnlockTexture(id);
}

} // namespace plat
