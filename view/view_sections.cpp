#include "view/view_sections.h"

#include "data/column_hooks.h"
#include "engine/engine_state.h"
#include "engine/viewport.h"
#include "files/chunk_stream.h"
#include "gameloop/game.h"
#include "view/interface_state.h"
#include "view/map_view_state.h"
#include "view/minimap.h"
#include "view/spray.h"

bool SerializeMapViewSection() {
    return MapViewOf().Serialize();
}

bool SerializeInterfaceSection() {
    InterfaceState& ui = InterfaceStateOf();
    if (StreamMode() != kStreamLoad) {
        if (Engine::State().started)
            ui.SetView(Viewport::GetOrigin().x, Viewport::GetOrigin().y, uint32_t(Viewport::GetZoomLevel()));
        ui.SetMiniMapSmall(MiniMapOf().smallSize != 0);
        return ui.Serialize();
    }
    if (!ui.Serialize())
        return false;
    MiniMapOf().smallSize = ui.MiniMapSmall() ? 1 : 0;
    ApplyInterfaceState();
    // The map is whole by now (the interface follows the world's sections).
    MiniMapOf().PrepareForGame();
    return true;
}

bool SerializeMiniMapSection() {
    // Written only; a load skips the section.
    if (StreamMode() == kStreamLoad)
        return true;
    // The images show the map as it is saved, painted or not before.
    MiniMap& miniMap = MiniMapOf();
    if (!miniMap.Painted())
        miniMap.InvalidateAll();
    miniMap.Update();
    return miniMap.Save();
}

void InstallViewSections(Game& game) {
    game.SetSectionSerializer(SaveSection::MapView, SerializeMapViewSection);
    game.SetSectionSerializer(SaveSection::UiState, SerializeInterfaceSection);
    game.SetSectionSerializer(SaveSection::MiniMap, SerializeMiniMapSection);
    ColumnHooks& hooks = GetColumnHooks();
    hooks.miniMapColorsChanged = [] {
        InvalidateMiniMapColours();
        MiniMap& miniMap = MiniMapOf();
        miniMap.ClearUpdates();
        miniMap.InvalidateAll();
    };
    hooks.playerColorsChanged = [] { InvalidatePlayerColours(); };
    hooks.setSprayCurve = [](int32_t kind, SprayCurveId id, const ValueTable& table) {
        const bool ok = SprayCurves::Set(kind, id, table);
        InvalidateSprayCurves();
        return ok;
    };
    hooks.getSprayCurve = [](int32_t kind, SprayCurveId id, ValueTable* out) {
        return SprayCurves::Get(kind, id, out);
    };
}

void UninstallViewSections(Game& game) {
    for (SaveSection s : {SaveSection::MapView, SaveSection::UiState, SaveSection::MiniMap})
        game.SetSectionSerializer(s, nullptr);
    GetColumnHooks().miniMapColorsChanged = nullptr;
    GetColumnHooks().playerColorsChanged = nullptr;
    GetColumnHooks().setSprayCurve = nullptr;
    GetColumnHooks().getSprayCurve = nullptr;
}
