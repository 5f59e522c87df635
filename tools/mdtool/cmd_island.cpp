// mdtool island: draws an island from a seed and saves it as an island
// file, lists the island files of an installation, and checks one file.
#include "tools/mdtool/command.h"

#include "data/database.h"
#include "data/generated/tables.h"
#include "data/mountain_shape.h"
#include "world/game_settings.h"
#include "world/island_template.h"
#include "world/map_check.h"
#include "world/mountain.h"
#include "world/world_errors.h"
#include "world/world_map.h"
#include "world/world_sections.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace mdtool {
namespace {

constexpr const char* kIslandUsage =
    "island make --digits DDDD --seed S --size W H --out FILE [--db FILE] | island list INSTALLDIR | "
    "island check FILE [--db FILE]";
constexpr const char* kDefaultDatabase = "gamedata/config/MDConfig.gen";
// The default data's terrain rows: land, water, and land on which nothing
// may be built.
constexpr uint32_t kLand = 1, kWater = 2, kRock = 3;
constexpr uint32_t kMinSize = 16, kMaxSize = 256;

// The tool's own generator, so that a seed draws the same island anywhere.
class Random {
public:
    explicit Random(uint32_t seed) : state_(seed * 2654435761u + 12345u) {}
    uint32_t Next(uint32_t bound) {
        state_ = state_ * 1664525u + 1013904223u;
        return bound ? (state_ >> 8) % bound : 0;
    }

private:
    uint32_t state_;
};

// Smooth noise 0-255 over a grid: random values on a coarse lattice,
// blended between its points in whole numbers.
class LatticeNoise {
public:
    LatticeNoise(Random& rnd, uint32_t w, uint32_t h, uint32_t step)
        : step_(step), columns_(w / step + 2), values_(size_t(columns_) * (h / step + 2)) {
        for (uint32_t& v : values_)
            v = rnd.Next(256);
    }
    uint32_t At(uint32_t x, uint32_t y) const {
        uint32_t cx = x / step_, cy = y / step_, fx = x % step_, fy = y % step_;
        uint32_t top = Lerp(Value(cx, cy), Value(cx + 1, cy), fx);
        uint32_t bottom = Lerp(Value(cx, cy + 1), Value(cx + 1, cy + 1), fx);
        return Lerp(top, bottom, fy);
    }

private:
    uint32_t Value(uint32_t cx, uint32_t cy) const { return values_[size_t(cy) * columns_ + cx]; }
    uint32_t Lerp(uint32_t a, uint32_t b, uint32_t f) const { return (a * (step_ - f) + b * f) / step_; }

    uint32_t step_;
    uint32_t columns_;
    std::vector<uint32_t> values_;
};

bool ParseU32(const std::string& text, uint32_t& out) {
    char* end = nullptr;
    unsigned long value = std::strtoul(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || value > 0xFFFFFFFFul)
        return false;
    out = uint32_t(value);
    return true;
}

// Pulls "--db FILE" out of the arguments.
std::string TakeDatabaseOption(Args& args) {
    for (size_t i = 0; i + 1 < args.size(); ++i) {
        if (args[i] == "--db") {
            std::string path = args[i + 1];
            args.erase(args.begin() + long(i), args.begin() + long(i) + 2);
            return path;
        }
    }
    return kDefaultDatabase;
}

bool LoadDatabase(const std::string& path) {
    Database& db = GetDatabase();
    return db.ReadFile(path) && db.ApplyAllTables(KindSelector::All) && TerrainTable::Find(kWater) &&
           TerrainTable::Find(kWater)->IsWater && TerrainTable::Find(kLand) &&
           !TerrainTable::Find(kLand)->IsWater;
}

// The land of an island on a grid of 2 x 2 blocks, so that no terrain block
// mixes water and land: a blob of noise that fades towards the edges, its
// largest connected part kept, with a ring of water around it.
std::vector<uint8_t> DrawLand(Random& rnd, uint32_t gw, uint32_t gh) {
    LatticeNoise noise(rnd, gw, gh, 4);
    std::vector<uint8_t> land(size_t(gw) * gh, 0);
    for (uint32_t j = 1; j + 1 < gh; ++j) {
        for (uint32_t i = 1; i + 1 < gw; ++i) {
            // Distance from the centre, 0 there and 256 at the middle of an
            // edge, squared and scaled back to 0-256 (more in the corners).
            int32_t dx = (int32_t(2 * i + 1) - int32_t(gw)) * 256 / int32_t(gw);
            int32_t dy = (int32_t(2 * j + 1) - int32_t(gh)) * 256 / int32_t(gh);
            int32_t fall = (dx * dx + dy * dy) / 256;
            land[size_t(j) * gw + i] = int32_t(noise.At(i, j)) + 150 - fall * 3 / 2 > 128 ? 1 : 0;
        }
    }
    // A core of land in the middle, then only the part connected to it.
    uint32_t ci = gw / 2, cj = gh / 2;
    for (uint32_t j = cj - 1; j <= cj; ++j)
        for (uint32_t i = ci - 1; i <= ci; ++i)
            land[size_t(j) * gw + i] = 1;
    std::vector<uint8_t> kept(land.size(), 0);
    std::vector<size_t> stack = {size_t(cj) * gw + ci};
    kept[stack.back()] = 1;
    while (!stack.empty()) {
        size_t at = stack.back();
        stack.pop_back();
        uint32_t i = uint32_t(at % gw), j = uint32_t(at / gw);
        const size_t next[4] = {at - 1, at + 1, at - gw, at + gw};
        const bool inside[4] = {i > 0, i + 1 < gw, j > 0, j + 1 < gh};
        for (int k = 0; k < 4; ++k) {
            if (inside[k] && land[next[k]] && !kept[next[k]]) {
                kept[next[k]] = 1;
                stack.push_back(next[k]);
            }
        }
    }
    return kept;
}

struct Placed {
    int32_t x, y, templateIndex;
};

// Mountains on plain land, their shapes wholly inside the island and apart
// from each other.
std::vector<Placed> PlaceMountains(Random& rnd, const IslandTemplate& island, uint32_t wanted) {
    std::vector<int32_t> templates;
    for (int32_t t = 0; t < MountainsTable::RowCount(); ++t) {
        const MountainShape* shape = GetMountainTemplate(t);
        if (shape && shape->rows > 0 && shape->columns > 0)
            templates.push_back(t);
    }
    std::vector<Placed> placed;
    if (templates.empty())
        return placed;
    std::vector<uint8_t> taken(island.cells.size(), 0);
    for (uint32_t attempt = 0; attempt < wanted * 60 && placed.size() < wanted; ++attempt) {
        int32_t t = templates[rnd.Next(uint32_t(templates.size()))];
        const MountainShape& shape = *GetMountainTemplate(t);
        int32_t x = int32_t(rnd.Next(island.width)), y = int32_t(rnd.Next(island.height));
        bool fits = true;
        // One tile of room around the shape.
        for (int32_t r = -1; r <= shape.rows && fits; ++r) {
            for (int32_t c = -1; c <= shape.columns && fits; ++c) {
                int64_t tx = int64_t(x) - shape.anchorX + c, ty = int64_t(y) - shape.anchorY + r;
                if (tx < 0 || ty < 0 || tx >= island.width || ty >= island.height) {
                    fits = false;
                    break;
                }
                size_t at = size_t(ty) * island.width + size_t(tx);
                fits = island.cells[at].TerrainIndex() == kLand && !taken[at];
            }
        }
        if (!fits)
            continue;
        for (int32_t r = -1; r <= shape.rows; ++r)
            for (int32_t c = -1; c <= shape.columns; ++c)
                taken[size_t(int64_t(y) - shape.anchorY + r) * island.width +
                      size_t(int64_t(x) - shape.anchorX + c)] = 1;
        placed.push_back({x, y, t});
    }
    return placed;
}

void DrawIsland(IslandTemplate& island, const uint32_t digits[4], uint32_t seed, uint32_t w, uint32_t h) {
    Random rnd(seed);
    uint32_t gw = w / 2, gh = h / 2;
    std::vector<uint8_t> land = DrawLand(rnd, gw, gh);
    // Fertile islands (kind 2) have little rock, the others more.
    LatticeNoise rock(rnd, gw, gh, 3);
    uint32_t rockAbove = digits[2] == 2 ? 200 : 165;
    island.width = w;
    island.height = h;
    island.cells.assign(size_t(w) * h, WorldCell{});
    for (uint32_t y = 0; y < h; ++y) {
        for (uint32_t x = 0; x < w; ++x) {
            uint32_t i = x / 2, j = y / 2;
            uint32_t terrain = kWater;
            if (land[size_t(j) * gw + i])
                terrain = rock.At(i, j) > rockAbove ? kRock : kLand;
            island.cells[size_t(y) * w + x].SetTerrainIndex(terrain);
        }
    }
    if (digits[3] != 2)
        return;
    for (const Placed& p : PlaceMountains(rnd, island, 1 + w * h / 1500)) {
        auto mountain = std::make_unique<Mountain>();
        mountain->SetPosition(p.x, p.y);
        mountain->SetTemplateIndex(p.templateIndex);
        mountain->SetGraphicNumber(p.templateIndex);
        island.mountains.push_back(std::move(mountain));
    }
}

int Make(const Args& args) {
    uint32_t w = 0, h = 0, seed = 0;
    uint32_t digits[4] = {};
    bool haveDigits = false;
    std::string out;
    for (size_t i = 1; i < args.size(); ++i) {
        if (args[i] == "--size" && i + 2 < args.size()) {
            if (!ParseU32(args[i + 1], w) || !ParseU32(args[i + 2], h))
                return Usage(kIslandUsage);
            i += 2;
        } else if (args[i] == "--seed" && i + 1 < args.size()) {
            if (!ParseU32(args[++i], seed))
                return Usage(kIslandUsage);
        } else if (args[i] == "--digits" && i + 1 < args.size()) {
            const std::string& text = args[++i];
            haveDigits = text.size() == 4 && ParseIslandFileName(text + ".mdi", digits);
            if (!haveDigits)
                return Fail("the digits must be four, the first not 0: " + text);
        } else if (args[i] == "--out" && i + 1 < args.size()) {
            out = args[++i];
        } else {
            return Usage(kIslandUsage);
        }
    }
    if (out.empty() || !haveDigits || w < kMinSize || h < kMinSize || w > kMaxSize || h > kMaxSize || w % 2 ||
        h % 2)
        return Fail("island make needs --digits, --out and an even size from 16 to 256");
    IslandTemplate island;
    DrawIsland(island, digits, seed, w, h);
    if (!SaveIsland(out, &island))
        return Fail(out + ": " + LastWorldError());
    size_t landCells = std::count_if(island.cells.begin(), island.cells.end(),
                                     [](const WorldCell& c) { return c.TerrainIndex() != kWater; });
    std::printf("%s: %u x %u island, %zu land cells, %zu mountains\n", out.c_str(), w, h, landCells,
                island.mountains.size());
    return 0;
}

size_t CountMountains(const IslandTemplate& island) {
    return size_t(std::count_if(island.mountains.begin(), island.mountains.end(),
                                [](const std::unique_ptr<Mountain>& m) { return m != nullptr; }));
}

int List(const Args& args) {
    if (args.size() != 2)
        return Usage(kIslandUsage);
    InstallPath() = args[1];
    std::string folder;
    std::vector<std::string> names = ListIslandFiles(folder);
    if (folder.empty())
        return Fail(args[1] + " has no folder " + kIslandFolder);
    for (const std::string& name : names) {
        uint32_t digits[4];
        if (!ParseIslandFileName(name, digits)) {
            std::printf("%s skipped: not an island name\n", Printable(name).c_str());
            continue;
        }
        IslandTemplate island;
        if (LoadIsland(folder + "/" + name, &island))
            std::printf("%s %u%u%u%u %u x %u, %zu mountains\n", Printable(name).c_str(), digits[0], digits[1],
                        digits[2], digits[3], island.width, island.height, CountMountains(island));
        else
            std::printf("%s %u%u%u%u not loaded: %s\n", Printable(name).c_str(), digits[0], digits[1],
                        digits[2], digits[3], Printable(LastWorldError()).c_str());
    }
    return 0;
}

int Check(const Args& args) {
    if (args.size() != 2)
        return Usage(kIslandUsage);
    const std::string& path = args[1];
    IslandTemplate island;
    if (!LoadIsland(path, &island))
        return Fail(LastWorldError());
    // The island as the world, for the map checks.
    if (!LoadIsland(path, nullptr))
        return Fail(LastWorldError());
    bool cells = MapCheck::CheckCells();
    bool blocks = MapCheck();
    std::printf("%s: %u x %u, %zu mountains, decoration cells %s, terrain blocks %s\n",
                Printable(path).c_str(), island.width, island.height, CountMountains(island),
                cells ? "sound" : "repaired", blocks ? "sound" : "repaired");
    return cells && blocks ? 0 : 1;
}

int Island(const Args& input) {
    Args args = input;
    std::string db = TakeDatabaseOption(args);
    if (args.empty())
        return Usage(kIslandUsage);
    if (args[0] == "list")
        return List(args);
    if (args[0] != "make" && args[0] != "check")
        return Usage(kIslandUsage);
    if (!LoadDatabase(db))
        return Fail(db + " does not give the terrain rows of land and water");
    return args[0] == "make" ? Make(args) : Check(args);
}

} // namespace

MDTOOL_COMMAND("island", kIslandUsage, Island);

} // namespace mdtool
