#include "engine/display_devices.h"

#include "engine/engine_state.h"

#include <algorithm>

namespace Engine {

namespace {

constexpr size_t kMaxDescription = 79;

std::vector<DisplayDevice>& DeviceList() {
    static std::vector<DisplayDevice> list;
    return list;
}

bool gEnumerated = false;

} // namespace

bool CompareDisplayModes(const DisplayMode& a, const DisplayMode& b) {
    if (a.bitsPerPixel != b.bitsPerPixel)
        return a.bitsPerPixel < b.bitsPerPixel;
    if (a.width != b.width)
        return a.width < b.width;
    if (a.height != b.height)
        return a.height < b.height;
    return a.refreshRate < b.refreshRate;
}

std::vector<DisplayDevice> BuildDisplayDevices(const std::vector<OfferedDisplayDevice>& offered) {
    std::vector<DisplayDevice> out;
    for (const OfferedDisplayDevice& o : offered) {
        if (!o.has3D || !o.hardwareRasteriser)
            continue;
        DisplayDevice d;
        d.guid = o.guid;
        d.description = o.description.substr(0, kMaxDescription);
        d.driver = o.driver.substr(0, kMaxDescription);
        for (const DisplayMode& m : o.modes) {
            if (m.bitsPerPixel < 16 || m.width < 640 || m.height < 480)
                continue;
            if ((m.bitsPerPixel == 32 && o.renders32) || (m.bitsPerPixel == 16 && o.renders16))
                d.modes.push_back({m.width, m.height, m.bitsPerPixel, m.refreshRate, 1});
        }
        const bool primary = std::all_of(o.guid.begin(), o.guid.end(), [](uint8_t b) { return b == 0; });
        d.canRenderWindowed =
            primary && o.canRenderWindowed &&
            ((o.desktopDepth == 32 && o.renders32) || (o.desktopDepth == 16 && o.renders16));
        std::sort(d.modes.begin(), d.modes.end(), CompareDisplayModes);
        out.push_back(std::move(d));
    }
    return out;
}

std::vector<OfferedDisplayDevice> PlatformDisplayDevices() {
    OfferedDisplayDevice d;
    d.description = "Primary Display";
    d.driver = "OpenGL 3.3 renderer";
    static const int32_t kSizes[][2] = {{640, 480},  {800, 600},  {1024, 768},
                                        {1152, 864}, {1280, 960}, {1280, 1024}};
    for (int32_t depth : {16, 32})
        for (const auto& s : kSizes)
            d.modes.push_back({s[0], s[1], depth, 60, 1});
    return {d};
}

const std::vector<DisplayDevice>& EnumerateDisplayDevices() {
    if (!gEnumerated) {
        DeviceList() = BuildDisplayDevices(PlatformDisplayDevices());
        gEnumerated = true;
    }
    return DeviceList();
}

const std::vector<DisplayDevice>& GetDisplayDevices() {
    return EnumerateDisplayDevices();
}

const DisplayDevice* CurrentDisplayDevice() {
    for (const DisplayDevice& d : EnumerateDisplayDevices())
        if (d.guid == State().deviceGuid)
            return &d;
    return nullptr;
}

} // namespace Engine
