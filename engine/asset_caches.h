// Letting go of everything the asset side keeps in textures (cached
// sprites, interface pictures, cursors, made fonts, the text texture)
// before the engine frees its texture table, so that nothing keeps a handle
// that may be handed out again.
#pragma once

namespace Engine {

void ReleaseAssetCaches();

} // namespace Engine
