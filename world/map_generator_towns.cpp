// The map generator's town pass: towns founded on free land, grown to the
// size their class asks for and named from the region's name list, and the
// reader of the name lists.
#include "data/generated/terrain_tables.h"
#include "data/generated/town_tables.h"
#include "files/host_path.h"
#include "platform/file.h"
#include "world/game_settings.h"
#include "world/map_generator.h"
#include "world/map_generator_services.h"
#include "world/random_streams.h"
#include "world/world_map.h"
#include "world/world_services.h"
#include "world/world_warnings.h"

#include <cmath>
#include <cstdio>
#include <memory>

namespace {

// A name list holds at most this many names; a line is read up to this
// many bytes and the rest of it is dropped.
constexpr size_t kMaxCityNames = 65536;
constexpr size_t kMaxLineBytes = 4096;
constexpr uint64_t kMaxNameListFileSize = uint64_t(16) << 20;
// The town rectangle of a style without a CityStyle row.
constexpr int32_t kDefaultTownExtent = 31;
constexpr int32_t kMaxTownExtent = 255;

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

// Cuts a name to its first max bytes without splitting a UTF-8 sequence.
void CutName(std::string& name, size_t max) {
    if (name.size() <= max)
        return;
    size_t end = max;
    while (end > 0 && (static_cast<unsigned char>(name[end]) & 0xC0) == 0x80)
        --end;
    name.resize(end);
}

void AddName(std::vector<std::string>& names, std::string& line) {
    size_t begin = 0, end = line.size();
    while (begin < end && IsBlank(line[begin]))
        ++begin;
    while (end > begin && IsBlank(line[end - 1]))
        --end;
    if (begin == end || names.size() >= kMaxCityNames)
        return;
    std::string name = line.substr(begin, end - begin);
    CutName(name, kMaxCityNameLength);
    // A long run of bytes that continue no character cuts to nothing.
    if (!name.empty())
        names.push_back(std::move(name));
}

// The number of limit rows 1-5 of CityPopulationSizeLimit that a
// population reaches; rows without a value are never reached.
int32_t SizeClassOf(uint32_t population) {
    const CityGrowingConfigRow* config = CityGrowingConfigTable::Find(0);
    int32_t sizeClass = 0;
    for (uint32_t r = 1; r <= 5 && config; ++r) {
        int32_t limit = config->CityPopulationSizeLimit.IntCell(0, r);
        if (limit >= 0 && population >= uint32_t(limit))
            ++sizeClass;
    }
    return sizeClass;
}

// Whether a town centre lies closer to (x, y) than the distance.
bool TownWithin(int32_t x, int32_t y, int32_t distance) {
    const WorldServices& services = Services();
    if (!services.cityCount || !services.cityCentre)
        return false;
    for (int32_t i = 1, count = services.cityCount(); i <= count; ++i) {
        int32_t cx = 0, cy = 0;
        if (!services.cityCentre(i, cx, cy))
            continue;
        float dx = float(x - cx), dy = float(y - cy);
        if (int64_t(std::sqrt(dx * dx + dy * dy)) < int64_t(distance))
            return true;
    }
    return false;
}

bool TileQualifies(uint32_t x, uint32_t y, int32_t minimumDistance) {
    const WorldMap& map = GetWorldMap();
    if (!map.InMap(x, y))
        return false;
    if (!map.CanBuildRouteAt(x, y) && !map.HasRoad(x, y))
        return false;
    if (map.GetRouteByte(x, y) != 0)
        return false;
    return !TownWithin(int32_t(x), int32_t(y), minimumDistance);
}

void TownExtent(int32_t style, int32_t& width, int32_t& height) {
    const CityStyleRow* row = CityStyleTable::Find(style);
    width = row ? row->XDim : kDefaultTownExtent;
    height = row ? row->YDim : kDefaultTownExtent;
    if (width < 1 || width > kMaxTownExtent)
        width = kDefaultTownExtent;
    if (height < 1 || height > kMaxTownExtent)
        height = kDefaultTownExtent;
}

} // namespace

std::vector<std::string> ParseCityNames(std::string_view text) {
    std::vector<std::string> names;
    std::string line;
    for (char c : text) {
        if (c == '\n') {
            AddName(names, line);
            line.clear();
        } else if (line.size() < kMaxLineBytes) {
            line += c;
        }
    }
    AddName(names, line);
    return names;
}

std::vector<std::string> LoadCityNames(int32_t fileIndex) {
    std::string path =
        InstallPath() + "/" + ConfigFolderName() + "/" + std::to_string(fileIndex) + "_citynames.txt";
    std::optional<std::string> hostPath = ResolveHostPath(path);
    if (!hostPath) {
        WorldWarning("map generator: %s not found, no town names", path.c_str());
        return {};
    }
    std::string text, error;
    if (!plat::ReadWholeFile(*hostPath, text, kMaxNameListFileSize, &error)) {
        WorldWarning("map generator: %s %s, no town names", hostPath->c_str(), error.c_str());
        return {};
    }
    return ParseCityNames(text);
}

void PlaceTowns(const MapGeneratorProgress& progress) {
    const MapGeneratorSettings& s = GetMapGeneratorSettings();
    MapGeneratorServices& hooks = GeneratorServices();
    if (hooks.removeAllTowns)
        hooks.removeAllTowns();
    if (!hooks.createTown || !hooks.growTown || !hooks.townPopulation || !hooks.removeTown) {
        WorldWarning("map generator: no towns can be founded in this build");
        return;
    }
    if (s.MapWidth == 0 || s.MapHeight == 0) {
        WorldWarning("map generator: no towns on an empty map");
        return;
    }

    int32_t style = 0, namesFile = 0;
    if (s.RegionCode == 1) {
        style = 1;
        namesFile = 1;
    } else if (s.RegionCode == 4) {
        style = 6;
        namesFile = 2;
    }
    std::vector<std::string> names = LoadCityNames(namesFile);

    const EditorRow* editor = EditorTable::Find(0);
    const CityGrowingConfigRow* config = CityGrowingConfigTable::Find(0);
    uint32_t wanted[3] = {0, 0, 0};
    int64_t limit[3] = {-1, -1, -1};
    uint64_t total = 0;
    for (uint32_t c = 0; c < 3; ++c) {
        int32_t perWidth = editor ? editor->NrOfCities.IntCell(0, c) : 0;
        if (perWidth > 0 && s.TownDensity > 0)
            wanted[c] = uint32_t(uint64_t(s.MapWidth) * uint64_t(s.TownDensity) * uint64_t(perWidth) / 51200);
        total += wanted[c];
        limit[c] = config ? config->CityPopulationSizeLimit.IntCell(0, c + 1) : -1;
    }
    if (total > kMaxGeneratedTowns)
        total = kMaxGeneratedTowns;
    if (progress)
        progress(1, 0.0f, float(total));

    int32_t width = 0, height = 0;
    TownExtent(style, width, height);
    const int32_t retries = editor ? editor->NrOfRetriesPerCity : 0;
    const int32_t minimumDistance = editor ? editor->CityMinimumDistance : 0;
    uint32_t founded = 0;
    for (int32_t tries = 0; tries < retries;) {
        int32_t c = 2;
        while (c >= 0 && wanted[c] == 0)
            --c;
        if (c < 0)
            break;
        uint32_t x = RuntimeRandom() % s.MapWidth;
        uint32_t y = RuntimeRandom() % s.MapHeight;
        if (!TileQualifies(x, y, minimumDistance)) {
            ++tries;
            continue;
        }
        int32_t town = hooks.createTown(int32_t(x), int32_t(y), width, height, style);
        if (town <= 0) {
            ++tries;
            continue;
        }
        // Growth ends at the class's limit, after ten failed steps in a row,
        // and in any case after kMaxFoundingUpdates steps.
        uint32_t failures = 0;
        for (uint32_t updates = 0; updates < kMaxFoundingUpdates && failures < 10; ++updates) {
            if (limit[c] >= 0 && int64_t(hooks.townPopulation(town)) >= limit[c])
                break;
            failures = hooks.growTown(town) ? 0 : failures + 1;
        }
        if (SizeClassOf(hooks.townPopulation(town)) > c) {
            std::string name;
            if (!names.empty()) {
                uint32_t k = RuntimeRandom() % uint32_t(names.size());
                name = names[k];
                names.erase(names.begin() + k);
            } else {
                // The list is used up (or was never there): the town is
                // kept under a name made from its index.
                name = "Town " + std::to_string(town);
                WorldWarning("map generator: no town name left, town %d is called \"%s\"", town,
                             name.c_str());
            }
            if (hooks.setTownName)
                hooks.setTownName(town, name);
            ++founded;
            --wanted[c];
            tries = 0;
            if (progress)
                progress(1, float(founded), float(total));
            if (founded >= kMaxGeneratedTowns)
                break;
        } else {
            hooks.removeTown(town);
            ++tries;
        }
    }
}
