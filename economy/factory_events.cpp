#include "economy/factory_events.h"

#include "data/generated/economy_tables.h"
#include "data/generated/terrain_tables.h"
#include "economy/factory.h"
#include "economy/factory_types.h"
#include "files/chunk_stream.h"
#include "files/chunk_transfer.h"
#include "transport/station.h"
#include "world/catchment.h"
#include "world/game_clock.h"
#include "world/map_generator_services.h"
#include "world/prices.h"
#include "world/random_streams.h"
#include "world/static_object_services.h"
#include "world/world.h"
#include "world/world_map.h"
#include "world/world_warnings.h"

#include <algorithm>
#include <cmath>

namespace {

struct FactoryEventPart : WorldAttachment {
    FactoryEventState state;
};

constexpr uint32_t kTags[] = {ChunkTag("fse"), ChunkTag("fse1")};
constexpr int32_t kTries = 11;

int32_t Probability(int32_t row) {
    const FactoryEventsRow* r = FactoryEventsTable::Find(row);
    return r ? r->Probability : 0;
}

bool YearReached(int32_t row, uint32_t year) {
    return float(year) >= GetFactoryEventRunTime(row, 0, 0);
}

int32_t TruncatedDistance(int32_t x0, int32_t y0, int32_t x1, int32_t y1) {
    const int64_t dx = x0 - x1, dy = y0 - y1;
    // Integer square root of dx^2 + dy^2, truncated.
    const uint64_t n = uint64_t(dx * dx + dy * dy);
    uint64_t r = 0, bit = uint64_t(1) << 62;
    uint64_t rest = n;
    while (bit > rest)
        bit >>= 2;
    while (bit != 0) {
        if (rest >= r + bit) {
            rest -= r + bit;
            r = (r >> 1) + bit;
        } else {
            r >>= 1;
        }
        bit >>= 2;
    }
    return int32_t(r);
}

bool StationWithin(int32_t x, int32_t y, int32_t distance) {
    for (const Station* station : AllStations())
        if (TruncatedDistance(x, y, station->GetOriginX(), station->GetOriginY()) < distance)
            return true;
    return false;
}

const EditorRow* EditorConstants() {
    return EditorTable::Find(0);
}

} // namespace

FactoryEventState& GetFactoryEventState() {
    return CurrentWorld().Attached<FactoryEventPart>().state;
}

void ResetFactoryEvents() {
    FactoryEventState& state = GetFactoryEventState();
    state.events.clear();
    state.newLine = 0;
    state.limit = 0;
}

std::vector<int32_t> GetEventProducts(const Factory& factory) {
    const int32_t kind = factory.GetFactoryTyp();
    if (kind == 6)
        return factory.IsAttractionOpen() ? std::vector<int32_t>{kPassengerProduct} : std::vector<int32_t>{};
    if (kind != kTownCentreFactoryKind)
        return factory.GetAcceptedProducts();
    std::vector<int32_t> out{kPassengerProduct, kMailProduct};
    const uint32_t h = factory.GetTownInhabitants();
    for (int32_t p : factory.GetAcceptedProducts()) {
        const int32_t perUnit = GetProductInhabitantsPerUnit(p);
        if (p == kPassengerProduct || p == kMailProduct || !TestProductFlag(uint32_t(p)) || perUnit <= 0)
            continue;
        if (int64_t(h) >= int64_t(GetProductMinimumInhabitants(p)) && h / uint32_t(perUnit) > 0)
            out.push_back(p);
    }
    return out;
}

bool StartDemandEvent(uint32_t month, uint32_t year) {
    std::vector<Factory*> factories = AllFactories();
    if (factories.empty())
        return false;
    const GlobalConstantsRow* constants = GlobalConstantsTable::Find(0);
    const int32_t radius = constants ? constants->FactoryEventRadius : 0;
    for (int32_t t = 0; t < kTries; ++t) {
        Factory* factory = factories[GameRandom() % factories.size()];
        const std::vector<int32_t> products = GetEventProducts(*factory);
        if (products.empty() || factory->GetEventProduct() != -1)
            continue;
        const TilePoint centre = factory->GetCentre();
        if (!StationWithin(centre.x, centre.y, radius))
            continue;
        const int32_t product = products[GameRandom() % products.size()];
        const uint32_t percent = GameRandom() % 100;
        const float low = GetFactoryEventModifier(0, 0, 0), high = GetFactoryEventModifier(0, 0, 1);
        const float factor = low + (high - low) * float(percent) * 0.01f;
        const float shortest = GetFactoryEventRunTime(0, 0, 0);
        const int32_t span = TruncToInt(GetFactoryEventRunTime(0, 0, 1) - shortest);
        if (span <= 0) {
            WorldWarning("factory events: the demand event's run time span is %d; no event", span);
            return false;
        }
        const int32_t duration = TruncToInt(shortest + float(GameRandom() % uint32_t(span)));
        factory->SetEvent(product, factor);
        GetFactoryEventState().events.push_back(
            {uint16_t(month), uint16_t(year + uint32_t(std::max(0, duration))), factory->GetId()});
        return true;
    }
    return false;
}

bool TryExpandFactory() {
    const std::set<ObjectHandle> served = CollectServedBuildings();
    std::vector<Factory*> candidates;
    for (ObjectHandle id : served)
        if (Factory* f = GetFactory(id))
            candidates.push_back(f);
    if (candidates.empty())
        return false;
    std::vector<int32_t> directions;
    for (int32_t t = 0; t < kTries; ++t) {
        Factory* factory = candidates[GameRandom() % candidates.size()];
        if (!factory->CanExpand(directions))
            continue;
        factory->Expand(directions[GameRandom() % directions.size()]);
        return true;
    }
    return false;
}

namespace {

struct LineChoice {
    int32_t type = -1;
    int32_t previous = -1, next = -1;
    int32_t minimumDistance = 0;
};

bool FindLineMember(uint32_t year, LineChoice& out) {
    std::vector<int32_t> candidates, due;
    for (int32_t r = 0; r < FactoryLinesTable::RowCount(); ++r) {
        const FactoryLinesRow* line = FactoryLinesTable::Find(r);
        if (!line || !(uint32_t(line->RegionCode) & CurrentRegion()))
            continue;
        candidates.push_back(r);
        for (uint32_t m = 0; m < line->Members.RowCount(); ++m) {
            const FactoryRow* type = FactoryTable::Find(line->Members.IntCell(0, m));
            if (type && type->StartingYear > 1850 && uint32_t(type->StartingYear) <= year &&
                GetFactoryCountOfType(line->Members.IntCell(0, m)) == 0) {
                due.push_back(r);
                break;
            }
        }
    }
    const EditorRow* editor = EditorConstants();
    std::vector<int32_t> chosen;
    const int32_t wanted = editor ? editor->NrOfFactoryLineTypes : 0;
    for (int32_t i = 0; i < wanted && !candidates.empty(); ++i) {
        const size_t at = GameRandom() % candidates.size();
        chosen.push_back(candidates[at]);
        candidates.erase(candidates.begin() + ptrdiff_t(at));
    }
    const std::vector<int32_t>& pool = due.empty() ? chosen : due;
    if (pool.empty())
        return false;
    for (int32_t t = 0; t < kTries; ++t) {
        const FactoryLinesRow* line = FactoryLinesTable::Find(pool[GameRandom() % pool.size()]);
        const uint32_t members = line->Members.RowCount();
        if (members == 0)
            continue;
        const uint32_t m = GameRandom() % members;
        const int32_t type = line->Members.IntCell(0, m);
        const FactoryRow* row = FactoryTable::Find(type);
        if (!row || uint32_t(row->StartingYear) > year)
            continue;
        if (m > 0 && GetFactoryCountOfType(line->Members.IntCell(0, m - 1)) == 0)
            continue;
        out.type = type;
        out.previous = m > 0 ? line->Members.IntCell(0, m - 1) : -1;
        out.next = m + 1 < members ? line->Members.IntCell(0, m + 1) : -1;
        out.minimumDistance = line->MinimumDistance;
        return true;
    }
    return false;
}

} // namespace

bool OpenFactoryLine(uint32_t year) {
    const MapGeneratorServices& hooks = GeneratorServices();
    const EditorRow* editor = EditorConstants();
    LineChoice choice;
    if (!hooks.canPlaceFactory || !hooks.postBuildFactory || !editor || !FindLineMember(year, choice))
        return false;
    const FactoryRow* row = FactoryTable::Find(choice.type);
    const int32_t side = int32_t(RuntimeRandom() % 2);
    const uint32_t q = RuntimeRandom() % 100;
    int32_t size = 0;
    if (float(q) > editor->FactorySizeProbability.Cell(0, 0)) {
        size = 1;
        if (float(q) > editor->FactorySizeProbability.Cell(0, 1))
            size = 2;
    }
    const WorldMap& map = GetWorldMap();
    if (map.GetWidth() == 0 || map.GetHeight() == 0)
        return false;
    for (int32_t t = 0; t < editor->NrOfRetriesPerLine; ++t) {
        const int32_t x = int32_t(RuntimeRandom() % map.GetWidth());
        const int32_t y = int32_t(RuntimeRandom() % map.GetHeight());
        const FactoryRequest request{x, y, choice.type, side, size};
        if (!FactoryPlacingTest(x, y, row->PlacingTyp) || !FactoryFarEnoughFromTown(x, y, choice.type))
            continue;
        if (choice.previous != -1 && FactoryOfTypeWithin(x, y, choice.previous, choice.minimumDistance))
            continue;
        if (choice.next != -1 && FactoryOfTypeWithin(x, y, choice.next, choice.minimumDistance))
            continue;
        if (!hooks.canPlaceFactory(request))
            continue;
        hooks.postBuildFactory(request);
        GetFactoryEventState().newLine = 0;
        return true;
    }
    return false;
}

bool OpenAttractionSite(uint32_t year) {
    const MapGeneratorServices& hooks = GeneratorServices();
    const EditorRow* editor = EditorConstants();
    const GlobalConstantsRow* constants = GlobalConstantsTable::Find(0);
    if (!hooks.canPlaceFactory || !hooks.postBuildFactory || !editor || !constants)
        return false;
    uint32_t standing = 0;
    std::vector<int32_t> candidates;
    for (int32_t t = 0; t < FactoryTable::RowCount(); ++t) {
        const FactoryRow* row = FactoryTable::Find(t);
        if (!row || row->FactoryTyp != 6)
            continue;
        if (GetFactoryCountOfType(t) > 0) {
            ++standing;
            continue;
        }
        const int32_t material = GetBuildingResource(t, 0, 0);
        if (uint32_t(row->StartingYear) <= year && material >= 0 && TestProductFlag(uint32_t(material)))
            candidates.push_back(t);
    }
    const WorldMap& map = GetWorldMap();
    const uint64_t allowed =
        uint64_t(map.GetWidth()) * uint64_t(std::max(0, constants->AttractionLimit)) / 512;
    if (allowed < standing || candidates.empty() || map.GetWidth() == 0 || map.GetHeight() == 0)
        return false;
    const int32_t type = candidates[GameRandom() % candidates.size()];
    const FactoryRow* row = FactoryTable::Find(type);
    for (int32_t t = 0; t < editor->NrOfRetriesPerLine; ++t) {
        const int32_t x = int32_t(RuntimeRandom() % map.GetWidth());
        const int32_t y = int32_t(RuntimeRandom() % map.GetHeight());
        const FactoryRequest request{x, y, type, 0, 0};
        if (!FactoryPlacingTest(x, y, row->PlacingTyp) || !FactoryFarEnoughFromTown(x, y, type) ||
            FactoryOfTypeWithin(x, y, -1, row->MinimumDistanceToCity) || !hooks.canPlaceFactory(request))
            continue;
        hooks.postBuildFactory(request);
        return true;
    }
    return false;
}

void UpdateFactoryEvents() {
    const GameClock* clock = GetGameClock();
    if (!clock)
        return;
    const uint32_t month = clock->GetNextMonth();
    const uint32_t year = clock->GetNextYear();
    FactoryEventState& state = GetFactoryEventState();
    if (month == 0 || state.limit == 0) {
        const FactoryEventsRow* row = FactoryEventsTable::Find(0);
        const uint64_t ratio = row ? uint64_t(std::max(0, row->MaxEventsRatio)) : 0;
        state.limit = uint32_t(uint64_t(AllFactories().size()) * ratio / 100);
    }
    // An event ends once its date is reached: a date passed while the game
    // did not look (or a damaged one) ends it as well.
    std::vector<FactoryEventRecord> running;
    for (const FactoryEventRecord& e : state.events) {
        const bool over = year > e.endYear || (year == e.endYear && month >= e.endMonth);
        if (!over) {
            running.push_back(e);
            continue;
        }
        if (Factory* f = GetFactory(e.factory))
            f->SetEvent(-1, 1.0f);
    }
    state.events = std::move(running);
    if (state.events.size() < state.limit && int32_t(GameRandom() % 100) < Probability(0))
        StartDemandEvent(month, year);
    if (int32_t(GameRandom() % 100) < Probability(1) && YearReached(1, year))
        TryExpandFactory();
    const uint32_t r = GameRandom();
    if (!state.newLine) {
        if (int32_t(r % 100) < Probability(2) && YearReached(2, year) && CloseRandomFactory())
            state.newLine = 1;
    } else if (int32_t(r % 100) < Probability(3) && YearReached(3, year)) {
        OpenFactoryLine(year);
    }
    if (int32_t(GameRandom() % 100) < Probability(4) && month == 5 && YearReached(4, year))
        OpenAttractionSite(year);
}

bool SerializeFactoryEvents() {
    FactoryEventState& state = GetFactoryEventState();
    const bool loading = StreamMode() == kStreamLoad;
    if (loading)
        ResetFactoryEvents();
    TransferTagList(kTags, [&state, loading](uint32_t tag) {
        if (tag == ChunkTag("fse")) {
            TransferList(state.events, 8, [](FactoryEventRecord& e) {
                Transfer(e.endMonth);
                Transfer(e.endYear);
                Transfer(e.factory);
            });
            if (!loading)
                return;
            const size_t before = state.events.size();
            std::erase_if(state.events, [](const FactoryEventRecord& e) {
                const Factory* f = GetFactory(e.factory);
                return e.endMonth > 11 || !f;
            });
            if (state.events.size() != before)
                WorldWarning("factory events: %zu of %zu events name no factory or no month; dropped",
                             before - state.events.size(), before);
        } else if (tag == ChunkTag("fse1")) {
            TransferSizedValue(state.newLine);
            if (loading && state.newLine > 1) {
                WorldWarning("factory events: new-line flag %u read as set", state.newLine);
                state.newLine = 1;
            }
        }
    });
    if (loading)
        state.limit = 0;
    return !StreamFailed();
}
