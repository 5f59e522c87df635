// A test scene of what the engine draws, from the default art: a small map
// of terrain tiles with transitions, sprites in every blend mode and tint,
// bitmap text in every default font, a picture cut into a grid of textures,
// the cursor and the statistics overlay.
// The engine demo tool and window show it; tests compare backends with it.
#pragma once

#include "engine/surface.h"
#include "engine/tiled_image.h"

#include <cstdint>
#include <string>
#include <vector>

namespace Engine {

class DemoScene {
public:
    static constexpr int32_t kMapSize = 16;

    // Mounts an installation folder in the virtual file system (the folders
    // "config", "fonts", "gfx" and "gfx_uif").
    static bool MountInstallation(const std::string& folder, std::string& error);

    // Loads the textures and fonts through the virtual file system; the
    // engine must be started.
    bool Load(std::string& error);
    void Release();

    // Draws the terrain and queues everything else; call between
    // BeginFrame and PresentFrame.
    bool Draw();

    // Scrolls the current viewport so that the map's middle is in the
    // middle of its rectangle.
    static void CentreView();

    // The corner class of a map point, from a fixed pattern.
    static int32_t CornerClass(int32_t x, int32_t y);

private:
    std::vector<TextureHandle> terrain_;
    std::vector<TextureHandle> masks_;
    TextureHandle sprite_ = 0;
    TiledImage* banner_ = nullptr; // larger than a texture may be: a grid of them
    TextureHandle cursor_ = 0;
    std::vector<int32_t> fonts_;     // bitmap font numbers (from 1)
    std::vector<int32_t> fontSizes_; // their cell heights
};

} // namespace Engine
