#include "engine/asset_caches.h"

#include "engine/font_manager.h"
#include "engine/graphic_sets.h"
#include "engine/text_draw.h"

namespace Engine {

void ReleaseAssetCaches() {
    GraphicSets::ReleaseAll();
    GraphicSets::ClearNamesAndCursors();
    // The definitions stay; the fonts are made again on next use.
    FontManager::SetGdiFonts(FontManager::UsesGdiFonts());
    ReleaseTextTexture();
}

} // namespace Engine
