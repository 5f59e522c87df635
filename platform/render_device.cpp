#include "platform/render_device.h"

#include <cstring>

namespace plat {

int BytesPerPixel(PixelFormat format) {
    switch (format) {
    case PixelFormat::Argb8888:
    case PixelFormat::Xrgb8888:
        return 4;
    default:
        return 2;
    }
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
