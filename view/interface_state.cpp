#include "view/interface_state.h"

#include "files/chunk_stream.h"
#include "view/map_view_state.h"

#include <algorithm>

namespace {

constexpr uint32_t kWindowTag = ChunkTag("gUI1");
constexpr uint32_t kControlBarTag = ChunkTag("gIc1");
constexpr uint32_t kSetupTag = ChunkTag("gST1");
constexpr uint32_t kMiniMapTag = ChunkTag("gmm1");
constexpr uint32_t kSoundTag = ChunkTag("gSFX");

constexpr int32_t kLargestZoomLevel = 14;

// The dialogs' working values in their order: -1 is 0xFFFFFFFF.
constexpr std::array<uint32_t, InterfaceState::kWorkingValueCount> kWorkingDefaults = {
    0,           0xFFFFFFFFu, 0, 0,           0,           3,           0, 0, 0,           1,           1,
    0xFFFFFFFFu, 0xFFFFFFFFu, 0, 0xFFFFFFFFu, 0,           0,           0, 1, 0xFFFFFFFFu, 0xFFFFFFFFu, 0,
    0xFFFFFFFFu, 0xFFFFFFFFu, 0, 1,           0xFFFFFFFFu, 0xFFFFFFFFu,
};

} // namespace

void InterfaceState::ResetWindow() {
    window.fill(0);
    SetU32(window, 0, 1);
    SetU32(window, 4, 1);
    for (uint32_t i = 0; i < 2 * kDialogPositionCount; ++i)
        SetU32(window, 8 + 4 * i, 0xFFFFFFFFu);
    SetU32(window, 96, 9);
    window[100] = window[101] = window[102] = 1;
}

void InterfaceState::ResetControlBar() {
    controlBar.fill(0);
    controlBar[0] = 1;
    controlBar[12] = 1;
    controlBar[13] = 1;
    for (size_t offset : {4, 24, 28, 36, 40, 44, 56, 60})
        SetU32(controlBar, offset, 1);
}

void InterfaceState::ResetSetup() {
    setup.fill(0);
    SetU32(setup, 4, 1850);
    SetU32(setup, 8, 1);
    SetU32(setup, 12, 0xFFFFFFFFu);
    SetU32(setup, 16, 0xFFFFFFFFu);
}

void InterfaceState::ResetMiniMap() {
    miniMap.fill(0);
    SetMiniMapPosition(-1, -1);
    miniMap[8] = 1;
    miniMap[9] = 1;
    for (uint32_t p = 0; p < kOwnerFlagCount; ++p)
        SetOwnerFlag(p, 1);
}

void InterfaceState::ResetKeepingSetup() {
    workingValues = kWorkingDefaults;
    ResetMiniMap();
    ResetControlBar();
    SetSoundSwitches(1, 1, 1);
    ResetWindow();
    dialogSizes = {250, 300, 350, 400};
    dialogModes = {0, 1, 0, 1};
    vehicleGroups.fill(0);
}

void InterfaceState::Reset() {
    ResetKeepingSetup();
    ResetSetup();
}

int32_t InterfaceState::ViewZoomLevel() const {
    return int32_t(std::min<uint32_t>(StoredZoomLevel(), kLargestZoomLevel));
}

void InterfaceState::SetView(int32_t x, int32_t y, uint32_t zoom) {
    SetU32(window, 88, uint32_t(x));
    SetU32(window, 92, uint32_t(y));
    SetU32(window, 96, zoom);
}

void InterfaceState::SetSoundSwitches(uint32_t music, uint32_t ambient, uint32_t vehicles) {
    SetU32(sound, 0, music);
    SetU32(sound, 4, ambient);
    SetU32(sound, 8, vehicles);
}

bool InterfaceState::Serialize() {
    static constexpr uint32_t kTags[] = {kWindowTag, kControlBarTag, kSetupTag, kMiniMapTag, kSoundTag};
    TransferTagList(kTags, [this](uint32_t tag) {
        switch (tag) {
        case kWindowTag:
            TransferSized(window.data(), kWindowBytes);
            break;
        case kControlBarTag:
            TransferSized(controlBar.data(), kControlBarBytes);
            break;
        case kSetupTag:
            TransferSized(setup.data(), kSetupBytes);
            break;
        case kMiniMapTag:
            TransferSized(miniMap.data(), kMiniMapBytes);
            break;
        case kSoundTag:
            TransferSized(sound.data(), kSoundBytes);
            break;
        default:
            break;
        }
    });
    if (StreamMode() == kStreamLoad)
        SetOwnerFlag(4, 1);
    return !StreamFailed();
}

InterfaceState& InterfaceStateOf(World& world) {
    return world.Attached<InterfaceState>();
}

void ApplyInterfaceState(World& world) {
    const InterfaceState& ui = InterfaceStateOf(world);
    MapViewState& view = MapViewOf(world);
    view.viewToggle = ui.OverlaySetting();
    view.showTrees = ui.ShowTrees() ? 1 : 0;
    view.showBuildings = ui.ShowBuildings() ? 1 : 0;
    for (uint32_t p = 0; p < kPlayerColourCount; ++p)
        view.SetPlayerColourShown(p, ui.CompanyColours() != 0);
    view.waterDetail = ui.WaterSetting() ? 2 : 0;
}

uint32_t RegionCodeToIndex(uint32_t code) {
    switch (code) {
    case 2:
        return 1;
    case 4:
        return 2;
    default:
        return 0;
    }
}

void ToggleMapOverlay(World& world) {
    MapViewState& view = MapViewOf(world);
    view.ToggleOverlay();
    InterfaceStateOf(world).SetOverlaySetting(view.viewToggle);
}
