// A display mode: the size and depth of the picture the engine draws, its
// refresh rate and whether it fills the screen.
#pragma once

#include <cstdint>

struct DisplayMode {
    int32_t width = 0;
    int32_t height = 0;
    int32_t bitsPerPixel = 0;
    int32_t refreshRate = 0;
    uint8_t fullScreen = 0;

    bool operator==(const DisplayMode&) const = default;
};

namespace Engine {

// Switches the engine to the mode: the device's targets, the pixel
// formats, the frame lists and the clip. Defined with the device set-up.
bool SetDisplayMode(const DisplayMode& mode);

} // namespace Engine
