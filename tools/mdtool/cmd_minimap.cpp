// mdtool minimap: paints a saved game's minimap, the small (256 x 256) or
// the large (512 x 512) image, as the game keeps it, into a PNG file.
#include "tools/mdtool/command.h"
#include "tools/mdtool/png_encode.h"

#include "economy/town_services.h"
#include "gameloop/game.h"
#include "gameloop/new_game.h"
#include "gameloop/saved_game.h"
#include "gameloop/world_model.h"
#include "platform/clock.h"
#include "platform/file.h"
#include "view/minimap.h"
#include "view/view_sections.h"
#include "world/game_settings.h"

#include <cstdio>

namespace mdtool {
namespace {

constexpr const char* kMiniMapUsage = "minimap SAVEFILE --out FILE.png [--large] [--data DIR]";

// A 565 pixel as opaque ARGB, the low bits filled from the high ones.
uint32_t Argb(uint16_t p) {
    const uint32_t r = (p >> 11) & 31, g = (p >> 5) & 63, b = p & 31;
    return 0xFF000000u | ((r << 3 | r >> 2) << 16) | ((g << 2 | g >> 4) << 8) | (b << 3 | b >> 2);
}

int RunMiniMap(const Args& args) {
    std::string save, out, data = "gamedata";
    bool large = false;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--out" && i + 1 < args.size())
            out = args[++i];
        else if (args[i] == "--data" && i + 1 < args.size())
            data = args[++i];
        else if (args[i] == "--large")
            large = true;
        else if (save.empty() && args[i].rfind("--", 0) != 0)
            save = args[i];
        else
            return Usage(kMiniMapUsage);
    }
    if (save.empty() || out.empty())
        return Usage(kMiniMapUsage);
    InstallPath() = data;
    plat::Clock::UseFake(0);
    Game game;
    TownWorldHooks world;
    ConnectWorldModel(game, world);
    InstallTownsAndIndustry(game);
    InstallViewSections(game);
    const auto done = [&game](int status) {
        UninstallViewSections(game);
        UninstallTownsAndIndustry();
        return status;
    };
    if (!LoadGameTexts(data, false))
        return done(Fail(data + ": the game data cannot be read"));
    StartGame(game, 0);
    if (!LoadGame(game, save))
        return done(Fail(save + ": not a saved game this build can load"));
    WorldScope scope(game.GetWorld());
    MiniMap& miniMap = MiniMapOf();
    miniMap.InvalidateAll();
    miniMap.Update();
    const int32_t side = large ? MiniMap::kLargeSide : MiniMap::kSmallSide;
    const std::vector<uint16_t>& image = miniMap.Image(!large);
    std::vector<uint32_t> pixels(image.size());
    for (size_t i = 0; i < image.size(); ++i)
        pixels[i] = Argb(image[i]);
    std::vector<uint8_t> png;
    if (!EncodePngImage(pixels, side, side, png))
        return done(Fail("the picture cannot be encoded"));
    std::string error;
    if (!plat::WriteFileAtomically(out, png.data(), png.size(), &error))
        return done(Fail(out + ": " + error));
    std::printf("%s: %d x %d pixels\n", out.c_str(), side, side);
    return done(0);
}

} // namespace

MDTOOL_COMMAND("minimap", kMiniMapUsage, RunMiniMap);

} // namespace mdtool
