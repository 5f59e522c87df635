#include "engine/demo_scene.h"

#include "engine/asset_log.h"
#include "engine/draw_layers.h"
#include "engine/engine_services.h"
#include "engine/frame.h"
#include "engine/quad_draw.h"
#include "engine/surfaces.h"
#include "engine/textures.h"
#include "engine/tga_texture.h"
#include "engine/tga_writer.h"
#include "engine/viewport.h"
#include "files/file_location_hooks.h"
#include "files/virtual_file_system.h"

#include <algorithm>
#include <cstdio>

namespace Engine {

namespace {

const char* const kTerrain[] = {"gfx/terrain/000_0_00_00_00_grass.tga",
                                "gfx/terrain/001_0_00_00_00_meadow.tga",
                                "gfx/terrain/002_0_00_00_00_field.tga", "gfx/terrain/003_0_00_00_00_sand.tga",
                                "gfx/terrain/004_0_00_00_00_rock.tga"};
const char* const kMasks[] = {
    "gfx/terrain/masks/000_0_00_00_00_half.tga", "gfx/terrain/masks/001_0_00_00_00_corner.tga",
    "gfx/terrain/masks/002_0_00_00_00_edge.tga", "gfx/terrain/masks/003_0_00_00_00_twocorners.tga",
    "gfx/terrain/masks/004_0_00_00_00_threecorners.tga"};
constexpr int32_t kFontSizes[] = {10, 12, 14, 16, 20, 28, 10, 12, 14, 16, 20, 28};

// The glyph order of the default font sheets.
std::vector<uint8_t> GlyphOrder() {
    static const uint8_t kLast[] = {129, 141, 143, 144, 157, 160};
    std::vector<uint8_t> order;
    for (int b = 32; b <= 126; ++b)
        order.push_back(uint8_t(b));
    for (int b = 128; b <= 255; ++b)
        if (b != 129 && b != 141 && b != 143 && b != 144 && b != 157 && b != 160)
            order.push_back(uint8_t(b));
    order.insert(order.end(), std::begin(kLast), std::end(kLast));
    return order;
}

TextureHandle Load(const char* path, std::string& error, TextureSize* size = nullptr) {
    TextureSize info{};
    ClearAssetProblem();
    const TextureHandle h = LoadTgaTexture(path, DefaultTextureFormat(), size ? size : &info, true, 0);
    if (h == 0 && error.empty())
        error = std::string("cannot load ") + path +
                (LastAssetProblem().empty() ? std::string() : " (" + LastAssetProblem() + ")");
    return h;
}

// A 600 x 280 picture: colour bands under a soft diagonal light, framed.
std::vector<uint8_t> BannerTga() {
    constexpr int32_t w = 600, h = 280;
    std::vector<uint32_t> px(size_t(w) * h);
    for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x) {
            const uint32_t band = uint32_t(x / 75);
            uint32_t r = 60 + band * 24, g = 90 + uint32_t(y) * 150 / h, b = 200 - band * 20;
            const uint32_t light = uint32_t((x + y) % 200);
            r = std::min(255u, r + light / 8), g = std::min(255u, g + light / 8),
            b = std::min(255u, b + light / 8);
            const bool frame = x < 4 || y < 4 || x >= w - 4 || y >= h - 4;
            px[size_t(y) * w + x] = frame ? 0xFFF0F0F0 : (0xFF000000 | r << 16 | g << 8 | b);
        }
    return WriteTga(px, w, h);
}

} // namespace

bool DemoScene::MountInstallation(const std::string& folder, std::string& error) {
    VfsShutdown();
    RegisterStandardSourceTypes();
    if (!VfsAddSource("file", folder)) {
        error = "cannot use the folder " + folder;
        return false;
    }
    for (const char* dir : {"config", "fonts", "gfx", "gfx_uif"})
        VfsAddVirtualDir(dir, dir);
    return true;
}

void DemoScene::CentreView() {
    const EngineRect view = Viewport::GetRect();
    auto middle = [] {
        const EngineRect a = Viewport::TileBounds(0, 0), b = Viewport::TileBounds(kMapSize - 1, kMapSize - 1);
        return ScreenPoint{(a.left + a.right + b.left + b.right) / 4,
                           (a.top + a.bottom + b.top + b.bottom) / 4};
    };
    Viewport::SetOrigin({0, 0});
    const ScreenPoint m = middle();
    const ScreenPoint want{(view.left + view.right) / 2, (view.top + view.bottom) / 2};
    Viewport::SetOrigin({m.x - want.x, m.y - want.y});
    const ScreenPoint moved = middle();
    if (moved.x != want.x || moved.y != want.y) // the origin counts the other way
        Viewport::SetOrigin({want.x - m.x, want.y - m.y});
}

int32_t DemoScene::CornerClass(int32_t x, int32_t y) {
    // Patches of five classes with straight and diagonal borders.
    const int32_t band = ((x * 3 + y * 5) / 11 + (x * y) / 29) % 5;
    return (x >= 6 && x <= 9 && y >= 5 && y <= 8) ? 4 : band;
}

bool DemoScene::Load(std::string& error) {
    Release();
    for (const char* path : kTerrain)
        terrain_.push_back(Engine::Load(path, error));
    for (const char* path : kMasks)
        masks_.push_back(Engine::Load(path, error));
    sprite_ = Engine::Load("gfx/dummy.tga", error);
    TextureSize cursorSize{};
    cursor_ = Engine::Load("gfx_uif/cursor_08_0_0_01_01_arrow.tga", error, &cursorSize);
    const std::vector<uint8_t> order = GlyphOrder();
    for (int32_t i = 0; i < int32_t(std::size(kFontSizes)); ++i) {
        char path[40];
        std::snprintf(path, sizeof path, "fonts/Font%02d_%d.tga", i, kFontSizes[i]);
        const TextureHandle sheet = Engine::Load(path, error);
        if (sheet == 0)
            continue;
        const int32_t font = CreateBitmapFont(sheet, order.data(), int32_t(order.size()), kFontSizes[i]);
        if (font <= 0) {
            error = std::string("cannot cut the font ") + path;
            continue;
        }
        fonts_.push_back(font);
        fontSizes_.push_back(kFontSizes[i]);
    }
    const std::vector<uint8_t> banner = BannerTga();
    banner_ = new TiledImage;
    if (!banner_->LoadImage(banner.data(), banner.size(), DefaultTextureFormat(), 1, 0) && error.empty())
        error = "cannot cut the banner picture into textures";
    if (!error.empty())
        return false;
    CursorImage image;
    image.texture = cursor_;
    image.columns = image.rows = 1;
    image.frameWidth = image.frameHeight = 32;
    SetCursorImage(image);
    return true;
}

void DemoScene::Release() {
    for (TextureHandle h : terrain_)
        DeleteTexture(h);
    for (TextureHandle h : masks_)
        DeleteTexture(h);
    if (sprite_ != 0)
        DeleteTexture(sprite_);
    if (banner_ != nullptr)
        banner_->Release();
    banner_ = nullptr;
    terrain_.clear();
    masks_.clear();
    sprite_ = 0;
    cursor_ = 0;
    fonts_.clear();
    fontSizes_.clear();
}

bool DemoScene::Draw() {
    if (terrain_.size() != std::size(kTerrain) || masks_.size() != std::size(kMasks))
        return false;
    bool ok = true;
    for (int32_t layer : {1, 2})
        ResetLayer(layer);
    // Terrain: corners 0 to 3 are the tile's top, right, left and bottom
    // map points; each corner's class picks its texture.
    for (int32_t y = 0; y < kMapSize; ++y)
        for (int32_t x = 0; x < kMapSize; ++x) {
            const int32_t c[4] = {CornerClass(x, y), CornerClass(x + 1, y), CornerClass(x, y + 1),
                                  CornerClass(x + 1, y + 1)};
            uint32_t corners[4];
            TextureHandle textures[4];
            const uint32_t colours[4] = {0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF};
            for (int i = 0; i < 4; ++i) {
                corners[i] = uint32_t(c[i]) << 28;
                textures[i] = terrain_[size_t(c[i])];
            }
            ok &= DrawTerrainTileSimple(corners, textures, masks_.data(), colours, Viewport::TileBounds(x, y),
                                        0);
        }
    FlushQuads();

    // Sprites: the placeholder in each blend mode, plain and tinted, on a
    // row of tiles.
    static const uint32_t kTints[] = {0xFFFFFFFF, 0xFFFF8080};
    for (int32_t blend = 0; blend < 5; ++blend)
        for (int32_t t = 0; t < 2; ++t) {
            const int32_t mx = 2 + blend * 2 + t, my = 12;
            const EngineRect dest = Viewport::TileBounds(mx, my);
            const EngineRect sort{mx * 4, my * 4, mx * 4 + 3, my * 4 + 3};
            ok &= QueueSpriteTinted(1, sprite_, kTints[t], dest, sort, 0, blend, 0, 0, 0);
        }

    // Text in every font, one line each, down the right side.
    int32_t y = 8;
    for (size_t i = 0; i < fonts_.size(); ++i) {
        char line[64];
        std::snprintf(line, sizeof line, "Font%02zu %dpx: Marrowdale 0123 \xC4\xD6\xDC\xE9", i,
                      fontSizes_[i]);
        const EngineRect sort{0, 0, 1, 1};
        ok &= QueueBitmapText(2, fonts_[i], 0xFFFFFFFF, PointI32{620, y}, fontSizes_[i], sort, 0, line,
                              int32_t(std::char_traits<char>::length(line)), 0);
        y += fontSizes_[i] + 4;
    }
    // The picture over the lower right corner of the map.
    if (banner_ != nullptr) {
        const EngineRect view = Viewport::GetRect();
        ok &= banner_->Draw(0, {view.right - 620, view.bottom - 300, view.right - 20, view.bottom - 20},
                            0xFFFFFFFF, 1, 0);
    }

    // The sprite lists are sorted and drawn by their owner, here.
    for (int32_t layer : {1, 2}) {
        EnsureLayerSorted(layer);
        ok &= DrawSpriteLayer(layer);
    }
    FlushQuads();
    AddStatsLine(u"engine demo");
    return ok;
}

} // namespace Engine
