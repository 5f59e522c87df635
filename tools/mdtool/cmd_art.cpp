// mdtool art: paints the project's default art (bitmap fonts and their
// definitions, text colours, mouse cursors, the placeholder sprite, the
// first terrain tiles and transition masks, the vehicles and movers, the
// interface skin) into an installation folder, or checks that the folder
// holds exactly what it would paint.
#include "tools/mdtool/art_font.h"
#include "tools/mdtool/art_image.h"
#include "tools/mdtool/art_skin.h"
#include "tools/mdtool/command.h"

#include "engine/tga_writer.h"
#include "platform/file.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace mdtool {
namespace {

using art::ArtImage;
using art::Point;

constexpr const char* kArtUsage = "art build|check INSTALLDIR";
constexpr const char* kFontDir = "/usr/share/fonts/truetype/dejavu/";
constexpr const char* kFontLicence = "/usr/share/doc/fonts-dejavu-core/copyright";

using Files = std::map<std::string, std::vector<uint8_t>>;

std::vector<uint8_t> Tga(const ArtImage& image) {
    TgaWriteOptions options;
    options.runLength = true;
    return WriteTga(image.Pixels(), image.Width(), image.Height(), options);
}

std::vector<uint8_t> Bytes(const std::string& text) {
    return {text.begin(), text.end()};
}

// Twelve fonts: six pixel sizes in the regular and the bold face.
struct FontSpec {
    const char* face;
    int32_t size;
};
constexpr FontSpec kFonts[] = {
    {"DejaVuSans.ttf", 10},      {"DejaVuSans.ttf", 12},      {"DejaVuSans.ttf", 14},
    {"DejaVuSans.ttf", 16},      {"DejaVuSans.ttf", 20},      {"DejaVuSans.ttf", 28},
    {"DejaVuSans-Bold.ttf", 10}, {"DejaVuSans-Bold.ttf", 12}, {"DejaVuSans-Bold.ttf", 14},
    {"DejaVuSans-Bold.ttf", 16}, {"DejaVuSans-Bold.ttf", 20}, {"DejaVuSans-Bold.ttf", 28},
};

bool AddFonts(Files& files, std::string& error) {
    std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Fonts>\n";
    for (size_t i = 0; i < std::size(kFonts); ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "Font%02zu", i);
        auto sheet = art::RenderFontSheet(std::string(kFontDir) + kFonts[i].face, kFonts[i].size, error);
        if (!sheet)
            return false;
        files["fonts/" + std::string(name) + "_" + std::to_string(kFonts[i].size) + ".tga"] = Tga(*sheet);
        xml += "  <Font name=\"" + std::string(name) + "\" size=\"" + std::to_string(kFonts[i].size) +
               "\" family=\"0\"/>\n";
    }
    xml += "</Fonts>\n";
    files["config/fonts.xml"] = Bytes(xml);
    std::vector<uint8_t> licence;
    if (!plat::ReadWholeFile(kFontLicence, licence)) {
        error = std::string("cannot read the font licence ") + kFontLicence;
        return false;
    }
    const std::string head = "The bitmap fonts in this folder are rendered from the DejaVu fonts,\n"
                             "which are distributed under the following terms.\n\n";
    licence.insert(licence.begin(), head.begin(), head.end());
    files["fonts/LICENSE-fonts.txt"] = std::move(licence);
    return true;
}

void AddTextColours(Files& files) {
    static const uint32_t kColours[16] = {
        0xFFFFFFFF, 0xFF000000, 0xFFF0D890, 0xFFE04030, 0xFF60C050, 0xFF5080E0, 0xFFF0C020, 0xFFA0A0A0,
        0xFF505050, 0xFF30A0A0, 0xFFC060C0, 0xFFF09040, 0xFF90E0F0, 0xFF804020, 0xFFD0F080, 0xFF2040A0,
    };
    for (int i = 0; i < 16; ++i) {
        char name[40];
        std::snprintf(name, sizeof name, "gfx_uif/textcolor_%02d.tga", i);
        files[name] = Tga(ArtImage(4, 4, kColours[i]));
    }
}

// One cursor frame of 32 x 32: an outlined polygon.
void DrawOutlined(ArtImage& image, int32_t ox, int32_t oy, const std::vector<Point>& shape, uint32_t fill) {
    std::vector<Point> moved;
    for (const Point& p : shape)
        moved.push_back({p.x + float(ox), p.y + float(oy)});
    // A dark rim one pixel wide around the shape, then the shape.
    for (int dy = -1; dy <= 1; ++dy)
        for (int dx = -1; dx <= 1; ++dx) {
            std::vector<Point> rim;
            for (const Point& p : moved)
                rim.push_back({p.x + float(dx), p.y + float(dy)});
            image.FillPolygon(rim, 0xFF101010);
        }
    image.FillPolygon(moved, fill);
}

void AddCursors(Files& files) {
    constexpr int32_t kFrame = 32;
    // The scroll arrows: eight directions, six frames that move the arrow
    // towards its edge and back.
    struct Scroll {
        const char* name;
        int dx, dy;
    };
    const Scroll scrolls[8] = {
        {"cursor_00_15_00_03_02_up.tga", 0, -1},       {"cursor_01_15_31_03_02_down.tga", 0, 1},
        {"cursor_02_00_16_03_02_left.tga", -1, 0},     {"cursor_03_31_16_03_02_right.tga", 1, 0},
        {"cursor_04_00_00_03_02_leftup.tga", -1, -1},  {"cursor_05_31_00_03_02_rightup.tga", 1, -1},
        {"cursor_06_00_31_03_02_leftdown.tga", -1, 1}, {"cursor_07_31_31_03_02_rightdown.tga", 1, 1},
    };
    static const int kPulse[6] = {0, 1, 2, 3, 2, 1};
    for (const Scroll& s : scrolls) {
        ArtImage image(3 * kFrame, 2 * kFrame);
        // Unit vectors along the arrow (f) and across it (g); diagonals are
        // scaled by 0.7 so all arrows are about as long.
        const float len = s.dx != 0 && s.dy != 0 ? 0.7071f : 1.0f;
        const float fx = float(s.dx) * len, fy = float(s.dy) * len;
        const float gx = -fy, gy = fx;
        for (int f = 0; f < 6; ++f) {
            const float cx = 16 + fx * float(kPulse[f]) * 1.5f, cy = 16 + fy * float(kPulse[f]) * 1.5f;
            auto at = [&](float along, float across) {
                return Point{cx + fx * along + gx * across, cy + fy * along + gy * across};
            };
            const std::vector<Point> arrow = {at(11, 0),  at(1, 9),  at(1, 4), at(-9, 4),
                                              at(-9, -4), at(1, -4), at(1, -9)};
            DrawOutlined(image, (f % 3) * kFrame, (f / 3) * kFrame, arrow, 0xFFF0E8C0);
        }
        image.Set(0, 0, art::kKeyColour);
        files[std::string("gfx_uif/") + s.name] = Tga(image);
    }

    // The pointer, hotspot at its tip.
    ArtImage arrow(kFrame, kFrame);
    DrawOutlined(arrow, 0, 0, {{1, 1}, {1, 22}, {6, 17}, {10, 26}, {13, 25}, {9, 16}, {16, 16}}, 0xFFFFFFFF);
    arrow.Set(0, 0, art::kKeyColour);
    files["gfx_uif/cursor_08_0_0_01_01_arrow.tga"] = Tga(arrow);

    // The repair cursor: a spanner.
    ArtImage spanner(kFrame, kFrame);
    DrawOutlined(spanner, 0, 0,
                 {{4, 2}, {10, 2}, {10, 8}, {27, 25}, {25, 27}, {8, 10}, {2, 10}, {2, 4}, {5, 7}, {7, 5}},
                 0xFFC0C8D0);
    spanner.Set(0, 0, art::kKeyColour);
    files["gfx_uif/cursor_09_01_01_01_01_repair.tga"] = Tga(spanner);
}

// A 120 x 40 tile diamond: alpha 0 outside it.
bool InDiamond(float x, float y) {
    return std::abs(x - 60) / 60 + std::abs(y - 20) / 20 <= 1;
}

// Terrain pictures are squares of the map's terrain texture size, stretched
// over a tile's 120 x 40 rectangle: the tile's diamond is the square's
// inscribed diamond. Power-of-two squares fill their texture exactly, so the
// masks' turned and mirrored coordinates meet the tile's.
constexpr int32_t kTerrainSize = 64;

bool InSquareDiamond(float x, float y) {
    const float s = x / kTerrainSize, t = y / kTerrainSize;
    return std::abs(s - 0.5f) + std::abs(t - 0.5f) <= 0.5f;
}

ArtImage TerrainTile(uint32_t base, uint32_t seed, float grain) {
    ArtImage tile(kTerrainSize, kTerrainSize);
    for (int32_t y = 0; y < kTerrainSize; ++y)
        for (int32_t x = 0; x < kTerrainSize; ++x) {
            int hits = 0;
            for (int sy = 0; sy < 4; ++sy)
                for (int sx = 0; sx < 4; ++sx)
                    hits +=
                        InSquareDiamond(float(x) + (float(sx) + 0.5f) / 4, float(y) + (float(sy) + 0.5f) / 4);
            if (hits == 0)
                continue;
            // Hash noise for texture, a little more light towards the
            // north-west (the left and top of the diamond).
            const float light =
                1.0f + grain * (art::Noise(x, y, seed) - 0.5f) + 0.06f * (1.0f - float(x + y) / kTerrainSize);
            uint32_t px = uint32_t(hits * 255 / 16) << 24;
            for (int shift = 0; shift < 24; shift += 8) {
                const float c = float((base >> shift) & 0xFF) * light;
                px |= uint32_t(std::clamp(c, 0.0f, 255.0f)) << shift;
            }
            tile.Set(x, y, px);
        }
    return tile;
}

void AddTerrain(Files& files) {
    struct Class {
        const char* name;
        uint32_t colour;
        float grain;
    };
    const Class classes[] = {
        {"grass", 0xFF4E8C3A, 0.25f},         {"meadow", 0xFF7A9A44, 0.3f}, {"field", 0xFF9C8048, 0.35f},
        {"sand", 0xFFD8C48A, 0.15f},          {"rock", 0xFF8A847C, 0.4f},   {"snow", 0xFFF0F4F8, 0.08f},
        {"shallow water", 0xFF3A78B0, 0.12f},
    };
    for (size_t i = 0; i < std::size(classes); ++i) {
        char name[64];
        std::snprintf(name, sizeof name, "gfx/terrain/%03zu_0_00_00_00_%s.tga", i, classes[i].name);
        std::string file = name;
        std::replace(file.begin(), file.end(), ' ', '_');
        files[file] = Tga(TerrainTile(classes[i].colour, uint32_t(i + 1), classes[i].grain));
    }
    // Any terrain picture that is missing: a plain magenta tile.
    files["gfx/terrain/dummy.tga"] = Tga(TerrainTile(0xFFC040C0u, 99, 0.1f));
    // Transition masks: white, with alpha covering half the diamond, one
    // corner, one edge, two opposite corners or all but one corner, fading
    // towards the rest; turned and mirrored by the engine's quad orientations.
    struct Mask {
        const char* name;
        float (*weight)(float u, float v); // u, v in 0..1 along the diamond's two axes
    };
    const Mask masks[] = {
        {"half", [](float u, float) { return std::clamp((0.6f - u) / 0.2f, 0.0f, 1.0f); }},
        {"corner", [](float u, float v) { return std::max(0.0f, 1.0f - (u + v)); }},
        {"edge", [](float u, float) { return 1.0f - u; }},
        {"twocorners", [](float u, float v) { return std::max(1.0f - (u + v), (u + v) - 1.0f); }},
        {"threecorners", [](float u, float v) { return 1.0f - std::max(0.0f, (u + v) - 1.0f); }},
    };
    for (size_t i = 0; i < std::size(masks); ++i) {
        ArtImage mask(kTerrainSize, kTerrainSize);
        for (int32_t y = 0; y < kTerrainSize; ++y)
            for (int32_t x = 0; x < kTerrainSize; ++x) {
                const float px = float(x) + 0.5f, py = float(y) + 0.5f;
                if (!InSquareDiamond(px, py))
                    continue;
                // Diamond axes: u runs from the north-west edge to the
                // south-east one, v from the north-east edge to the south-west.
                const float s = px / kTerrainSize, t = py / kTerrainSize;
                const float u = std::clamp(s + t - 0.5f, 0.0f, 1.0f);
                const float v = std::clamp(t - s + 0.5f, 0.0f, 1.0f);
                const float w = std::clamp(masks[i].weight(u, v) * 1.6f - 0.3f, 0.0f, 1.0f);
                mask.Set(x, y, uint32_t(w * 255.0f + 0.5f) << 24 | 0xFFFFFF);
            }
        char name[64];
        std::snprintf(name, sizeof name, "gfx/terrain/masks/%03zu_0_00_00_00_%s.tga", i, masks[i].name);
        files[name] = Tga(mask);
    }
}

void AddPlaceholder(Files& files) {
    // A tile-sized diamond in a checker of magenta and dark grey: plainly
    // "picture missing".
    ArtImage dummy(120, 40);
    dummy.FillShape(0, 0, 120, 40, 0xFFFF00FF, [](float x, float y) {
        return InDiamond(x, y) && ((int(x) / 10 + int(y) / 5) % 2 == 0);
    });
    dummy.FillShape(0, 0, 120, 40, 0xFF303030, [](float x, float y) {
        return InDiamond(x, y) && ((int(x) / 10 + int(y) / 5) % 2 == 1);
    });
    files["gfx/dummy.tga"] = Tga(dummy);
}

// Placeholders of the map objects, one per graphic kind's folder, which
// every picture of the kind falls back to: a block of one tile in a
// colour of its own (the roof lighter, the sides darker), so that each
// kind stands out from the terrain and from the others.
void AddObjectPlaceholders(Files& files) {
    struct Kind {
        const char* folder;
        uint32_t colour;
        int32_t height; // of the sides, in pixels; 0 for a flat picture
    };
    static constexpr Kind kKinds[] = {
        {"factories", 0xFFC03020u, 40}, {"signs", 0xFFF0E0A0u, 0},         {"fences", 0xFF806040u, 0},
        {"routes", 0xFF707070u, 0},     {"headquarters", 0xFFE0C020u, 50}, {"stations", 0xFF3060E0u, 24},
        {"icons", 0xFFFFFFFFu, 0},      {"mountains", 0xFF8C8070u, 30},    {"houses", 0xFFD07030u, 30},
        {"special", 0xFFA040C0u, 40},   {"halls", 0xFF20A0A0u, 30},
    };
    for (const Kind& k : kKinds) {
        if (std::string(k.folder) == "routes") {
            // Route atlases are cut into cells: one plain colour fills them all.
            files[std::string("gfx/") + k.folder + "/dummy.tga"] = Tga(ArtImage(64, 64, k.colour));
            continue;
        }
        const int32_t h = k.height;
        ArtImage block(120, 40 + h);
        const auto shade = [&k](uint32_t percent) {
            uint32_t out = 0xFF000000u;
            for (int shift : {0, 8, 16}) {
                const uint32_t c = (k.colour >> shift & 0xFFu) * percent / 100u;
                out |= std::min(c, 0xFFu) << shift;
            }
            return out;
        };
        if (h > 0) {
            block.FillPolygon({{0, 20}, {60, 40}, {60, float(40 + h)}, {0, float(20 + h)}}, shade(70));
            block.FillPolygon({{60, 40}, {120, 20}, {120, float(20 + h)}, {60, float(40 + h)}}, shade(50));
        }
        block.FillShape(0, 0, 120, 40, shade(100), [](float x, float y) { return InDiamond(x, y); });
        files[std::string("gfx/") + k.folder + "/dummy.tga"] = Tga(block);
    }
}

// A box stretched along its heading with a lighter roof and a dark front,
// light enough that an owner's colour tints it: the picture of a vehicle
// or mover. Rotation r of R faces heading r / R + 1/2 of a turn (0 north,
// clockwise); sines come from a table of sixteenths of a turn, so every
// machine paints the same.
struct BoxLook {
    float length, width; // in tiles
    float height;        // in pixels
    uint32_t colour;
};

uint32_t Shade(uint32_t colour, uint32_t percent) {
    uint32_t out = 0xFF000000u;
    for (int shift : {0, 8, 16})
        out |= std::min((colour >> shift & 0xFFu) * percent / 100u, 0xFFu) << shift;
    return out;
}

// The convex hull of the points, in order (monotone chain).
std::vector<Point> Hull(std::vector<Point> pts) {
    std::sort(pts.begin(), pts.end(),
              [](const Point& a, const Point& b) { return a.x < b.x || (a.x == b.x && a.y < b.y); });
    const auto cross = [](const Point& o, const Point& a, const Point& b) {
        return (a.x - o.x) * (b.y - o.y) - (a.y - o.y) * (b.x - o.x);
    };
    std::vector<Point> out(2 * pts.size());
    size_t k = 0;
    for (size_t i = 0; i < pts.size(); ++i) {
        while (k >= 2 && cross(out[k - 2], out[k - 1], pts[i]) <= 0)
            --k;
        out[k++] = pts[i];
    }
    for (size_t i = pts.size() - 1, t = k + 1; i > 0; --i) {
        while (k >= t && cross(out[k - 2], out[k - 1], pts[i - 1]) <= 0)
            --k;
        out[k++] = pts[i - 1];
    }
    out.resize(k > 0 ? k - 1 : 0);
    return out;
}

// `bob` lifts the body by that many pixels (a step of a walking animal).
ArtImage BoxPicture(const BoxLook& look, int32_t r, int32_t rotations, float bob = 0.0f) {
    static constexpr float kSin16[16] = {
        0.0f, 0.38268343f,  0.70710678f,  0.92387953f,  1.0f,  0.92387953f,  0.70710678f,  0.38268343f,
        0.0f, -0.38268343f, -0.70710678f, -0.92387953f, -1.0f, -0.92387953f, -0.70710678f, -0.38268343f};
    constexpr int32_t kW = 96, kH = 64;
    const int32_t step = (r * (16 / rotations) + 8) % 16;         // sixteenths of a turn
    const float ax = kSin16[step], ay = -kSin16[(step + 4) % 16]; // heading on the map
    const float bx = -ay, by = ax;                                // across it
    // A map offset (tiles) to the picture, whose middle is the car's point.
    const auto project = [&](float mx, float my, float lift) {
        return Point{float(kW) / 2 + (mx - my) * 60.0f, float(kH) / 2 + 8 + (mx + my) * 20.0f - lift - bob};
    };
    const float l = look.length / 2, w = look.width / 2;
    const float cx[4] = {l * ax + w * bx, l * ax - w * bx, -l * ax - w * bx, -l * ax + w * bx};
    const float cy[4] = {l * ay + w * by, l * ay - w * by, -l * ay - w * by, -l * ay + w * by};
    std::vector<Point> body, roof;
    for (int i = 0; i < 4; ++i) {
        body.push_back(project(cx[i], cy[i], 0));
        body.push_back(project(cx[i], cy[i], look.height));
        roof.push_back(project(cx[i], cy[i], look.height));
    }
    ArtImage image(kW, kH);
    image.FillPolygon(Hull(body), Shade(look.colour, 60));
    image.FillPolygon(roof, Shade(look.colour, 100));
    // The front third of the roof, dark: which way it goes.
    const float f = l / 3;
    std::vector<Point> front = {project(cx[0], cy[0], look.height), project(cx[1], cy[1], look.height),
                                project(cx[1] - f * ax, cy[1] - f * ay, look.height),
                                project(cx[0] - f * ax, cy[0] - f * ay, look.height)};
    image.FillPolygon(front, Shade(look.colour, 35));
    return image;
}

// The vehicles of every shipped type, one picture per rotation.
void AddVehicles(Files& files) {
    struct Family {
        int32_t first, last; // rows of the Vehicle table
        int32_t rotations;
        BoxLook look;
    };
    static constexpr Family kFamilies[] = {
        {0, 7, 8, {0.7f, 0.32f, 16.0f, 0xFFF0E0A0u}},   // buses, vans, lorries
        {8, 13, 8, {0.8f, 0.3f, 14.0f, 0xFFE0E0E0u}},   // engines
        {14, 17, 8, {0.95f, 0.4f, 10.0f, 0xFFF0F0F0u}}, // ships
        {18, 22, 16, {0.8f, 0.22f, 8.0f, 0xFFFFFFFFu}}, // aircraft
    };
    for (const Family& fam : kFamilies)
        for (int32_t number = fam.first; number <= fam.last; ++number)
            for (int32_t r = 0; r < fam.rotations; ++r) {
                char name[64];
                std::snprintf(name, sizeof name, "gfx/vehicles/%03d_0_00_%02d_00_vehicle.tga", number, r);
                files[name] = Tga(BoxPicture(fam.look, r, fam.rotations));
            }
    // Any other picture of the kind: a plain box.
    ArtImage box(48, 32);
    box.FillPolygon({{4, 14}, {24, 6}, {44, 14}, {24, 22}}, 0xFFE0E0E0u);
    box.FillPolygon({{4, 14}, {24, 22}, {24, 28}, {4, 20}}, 0xFFA0A0A0u);
    box.FillPolygon({{24, 22}, {44, 14}, {44, 20}, {24, 28}}, 0xFF808080u);
    files["gfx/vehicles/dummy.tga"] = Tga(box);
}

// The movers: town cars (their own folder; eight rotations of a few
// colours, the first also standing for any other type), the cattle
// ranch's animals (frame 80 of the ranch's set, four rotations with two
// steps each) and the harvester (its own folder, four rotations).
void AddMovers(Files& files) {
    static constexpr uint32_t kCarColours[] = {0xFFC03030u, 0xFF3050C0u, 0xFFE0E0D0u, 0xFF40A050u};
    for (int32_t number = 0; number < int32_t(std::size(kCarColours)); ++number)
        for (int32_t r = 0; r < 8; ++r) {
            char name[64];
            std::snprintf(name, sizeof name, "gfx/privatecars/%03d_0_00_%02d_00_car.tga", number, r);
            files[name] = Tga(BoxPicture({0.4f, 0.2f, 7.0f, kCarColours[number]}, r, 8));
        }
    files["gfx/privatecars/dummy.tga"] = Tga(BoxPicture({0.4f, 0.2f, 7.0f, kCarColours[0]}, 0, 8));

    constexpr int32_t kCattleRanch = 6, kAnimalFrame = 80, kSteps = 2;
    const BoxLook cow{0.3f, 0.14f, 6.0f, 0xFF806040u};
    for (int32_t r = 0; r < 4; ++r)
        for (int32_t a = 0; a < kSteps; ++a) {
            char name[64];
            std::snprintf(name, sizeof name, "gfx/factories/%03d_0_%02d_%02d_%02d_animal.tga", kCattleRanch,
                          kAnimalFrame, r, a);
            files[name] = Tga(BoxPicture(cow, r, 4, float(a)));
        }

    const BoxLook harvester{0.6f, 0.45f, 12.0f, 0xFFE0C020u};
    for (int32_t r = 0; r < 4; ++r) {
        char name[64];
        std::snprintf(name, sizeof name, "gfx/harvesters/000_0_00_%02d_00_harvester.tga", r);
        files[name] = Tga(BoxPicture(harvester, r, 4));
    }
    files["gfx/harvesters/dummy.tga"] = Tga(BoxPicture(harvester, 0, 4));
}

bool Paint(Files& files, std::string& error) {
    if (!AddFonts(files, error))
        return false;
    AddTextColours(files);
    AddCursors(files);
    AddPlaceholder(files);
    AddObjectPlaceholders(files);
    AddVehicles(files);
    AddMovers(files);
    AddTerrain(files);
    for (const auto& [name, image] : art::PaintInterfaceSkin())
        files[name] = Tga(image);
    for (const auto& [name, bytes] : files)
        if (bytes.empty()) {
            error = "could not encode " + name;
            return false;
        }
    return true;
}

int RunArt(const Args& args) {
    if (args.size() != 2 || (args[0] != "build" && args[0] != "check"))
        return Usage(kArtUsage);
    Files files;
    std::string error;
    if (!Paint(files, error))
        return Fail(error);
    const std::string& dir = args[1];
    if (args[0] == "build") {
        for (const auto& [name, bytes] : files) {
            const std::string path = dir + "/" + name;
            std::error_code ec;
            std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ec);
            if (!plat::WriteFileAtomically(path, bytes.data(), bytes.size()))
                return Fail("cannot write " + path);
        }
        std::printf("%zu files written to %s\n", files.size(), dir.c_str());
        return 0;
    }
    int stale = 0;
    for (const auto& [name, bytes] : files) {
        std::vector<uint8_t> present;
        if (!plat::ReadWholeFile(dir + "/" + name, present) || present != bytes) {
            std::fprintf(stderr, "out of date: %s\n", name.c_str());
            ++stale;
        }
    }
    if (stale != 0)
        return Fail(std::to_string(stale) + " art files differ; run mdtool art build " + dir);
    std::printf("%zu art files current\n", files.size());
    return 0;
}

MDTOOL_COMMAND("art", kArtUsage, RunArt);

} // namespace
} // namespace mdtool
