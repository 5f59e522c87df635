// The map generator's factory pass: chains of factories of related types
// (the factory lines of the region) placed at random sites within the
// line's distances and built by posted commands.
#include "data/generated/economy_tables.h"
#include "data/generated/terrain_tables.h"
#include "world/game_clock.h"
#include "world/map_generator.h"
#include "world/map_generator_services.h"
#include "world/random_streams.h"
#include "world/world_warnings.h"

#include <cmath>

namespace {

uint32_t CurrentYear() {
    const GameClock* clock = GetGameClock();
    return clock ? clock->GetCurrentYear() : kFirstYear;
}

int32_t Distance(int32_t x0, int32_t y0, int32_t x1, int32_t y1) {
    float dx = float(x0 - x1), dy = float(y0 - y1);
    return int32_t(std::sqrt(dx * dx + dy * dy));
}

// The rows of FactoryLines this game draws its lines from.
std::vector<int32_t> ChooseLines(uint32_t regionCode, int32_t lineTypes) {
    std::vector<int32_t> eligible, chosen;
    for (int32_t row = 0; row < FactoryLinesTable::RowCount(); ++row) {
        const FactoryLinesRow* line = FactoryLinesTable::Find(row);
        if (line && (uint32_t(line->RegionCode) & regionCode) != 0)
            eligible.push_back(row);
    }
    for (int32_t i = 0; i < lineTypes; ++i) {
        if (eligible.empty())
            continue;
        uint32_t k = RuntimeRandom() % uint32_t(eligible.size());
        chosen.push_back(eligible[k]);
        eligible.erase(eligible.begin() + k);
    }
    return chosen;
}

} // namespace

void PlaceFactoryLines(const MapGeneratorProgress& progress) {
    const MapGeneratorSettings& s = GetMapGeneratorSettings();
    MapGeneratorServices& hooks = GeneratorServices();
    if (hooks.deleteFactories)
        hooks.deleteFactories();

    const EditorRow* editor = EditorTable::Find(0);
    const int32_t linesPerWidth = editor ? editor->NrOfFactoryLines : 0;
    uint32_t lines = 0;
    if (linesPerWidth > 0 && s.FactoryDensity > 0)
        lines = uint32_t(uint64_t(s.MapWidth) * uint64_t(linesPerWidth) * uint64_t(s.FactoryDensity) / 51200);
    std::vector<int32_t> chosen = ChooseLines(s.RegionCode, editor ? editor->NrOfFactoryLineTypes : 0);
    if (progress)
        progress(2, 0.0f, float(lines));
    if (lines == 0 || chosen.empty() || s.MapWidth == 0 || s.MapHeight == 0) {
        WorldWarning("map generator: no factory lines (%u wanted, %zu line types for region %u)", lines,
                     chosen.size(), s.RegionCode);
        return;
    }
    if (!hooks.canPlaceFactory || !hooks.postBuildFactory) {
        WorldWarning("map generator: no factories can be built in this build");
        return;
    }

    const int32_t retries = editor ? editor->NrOfRetriesPerLine : 0;
    const int32_t sizeStep1 = editor ? editor->FactorySizeProbability.IntCell(0, 0) : -1;
    const int32_t sizeStep2 = editor ? editor->FactorySizeProbability.IntCell(0, 1) : -1;
    const uint32_t year = CurrentYear();
    uint32_t placedLines = 0;
    std::vector<FactoryRequest> placed;
    for (int32_t tries = 0; tries < retries;) {
        const FactoryLinesRow& line =
            *FactoryLinesTable::Find(chosen[RuntimeRandom() % uint32_t(chosen.size())]);
        placed.clear();
        const uint32_t members = line.Members.RowCount();
        bool givenUp = false;
        for (uint32_t i = 0; i < members && !givenUp; ++i) {
            const int32_t type = line.Members.IntCell(0, i);
            const FactoryRow* factory = FactoryTable::Find(type);
            if (!factory || factory->StartingYear > int64_t(year))
                continue;
            FactoryRequest request;
            request.type = type;
            request.orientation = int32_t(RuntimeRandom() % 2);
            int32_t r = int32_t(RuntimeRandom() % 100);
            request.size = 0;
            if (r > sizeStep1)
                request.size = 1;
            if (r > sizeStep2)
                request.size = 2;
            const int32_t nextType = i + 1 < members ? line.Members.IntCell(0, i + 1) : -2;
            for (int32_t attempt = 1;; ++attempt) {
                if (attempt > retries) {
                    givenUp = true;
                    break;
                }
                request.x = int32_t(RuntimeRandom() % s.MapWidth);
                request.y = int32_t(RuntimeRandom() % s.MapHeight);
                if (hooks.factoryPlacingTest &&
                    !hooks.factoryPlacingTest(request.x, request.y, factory->PlacingTyp))
                    continue;
                if (hooks.factoryFarEnoughFromTown &&
                    !hooks.factoryFarEnoughFromTown(request.x, request.y, type))
                    continue;
                if (!placed.empty()) {
                    const FactoryRequest& last = placed.back();
                    int32_t d = Distance(request.x, request.y, last.x, last.y);
                    if (d < line.MinimumDistance || d > line.MaximumDistance)
                        continue;
                    if (hooks.factoryOfTypeWithin &&
                        hooks.factoryOfTypeWithin(request.x, request.y, type, line.MinimumDistance))
                        continue;
                }
                if (nextType != -2 && hooks.factoryOfTypeWithin &&
                    hooks.factoryOfTypeWithin(request.x, request.y, nextType, line.MinimumDistance))
                    continue;
                if (!hooks.canPlaceFactory(request))
                    continue;
                placed.push_back(request);
                break;
            }
        }
        if (givenUp) {
            ++tries;
            continue;
        }
        for (const FactoryRequest& request : placed)
            hooks.postBuildFactory(request);
        ++placedLines;
        if (progress)
            progress(2, float(placedLines) / float(lines) * 1000.0f, 1000.0f);
        if (placedLines >= lines)
            break;
        tries = 0;
    }
}
