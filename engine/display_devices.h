// The display devices the engine can draw with and their usable modes,
// listed once per process for the display set-up, the mode dialog and the
// options screen.
#pragma once

#include "engine/display_mode.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

struct DisplayDevice {
    std::vector<DisplayMode> modes; // usable modes, sorted
    std::array<uint8_t, 16> guid{}; // all zero for the primary display
    std::string description;        // at most 79 characters
    std::string driver;             // at most 79 characters
    bool canRenderWindowed = false;
};

// What a display driver reports, before the engine's filters.
struct OfferedDisplayDevice {
    std::array<uint8_t, 16> guid{};
    std::string description;
    std::string driver;
    bool has3D = true;
    bool hardwareRasteriser = true;
    bool renders16 = true;
    bool renders32 = true;
    bool canRenderWindowed = true;
    int32_t desktopDepth = 32;
    std::vector<DisplayMode> modes;
};

namespace Engine {

// Sorts by bit depth, then width, height and refresh rate.
bool CompareDisplayModes(const DisplayMode& a, const DisplayMode& b);

// Keeps the devices that draw in 3D with a hardware rasteriser and, of
// each, the modes of at least 640 x 480 at 16 or more bits that it renders
// to, sorted.
std::vector<DisplayDevice> BuildDisplayDevices(const std::vector<OfferedDisplayDevice>& offered);

// The display this platform offers: one primary device that renders into
// an off-screen picture of any listed size, scaled to the window.
std::vector<OfferedDisplayDevice> PlatformDisplayDevices();

// The device list, built on the first call.
const std::vector<DisplayDevice>& EnumerateDisplayDevices();
const std::vector<DisplayDevice>& GetDisplayDevices();
// The listed device whose GUID the engine uses, or null.
const DisplayDevice* CurrentDisplayDevice();

} // namespace Engine
