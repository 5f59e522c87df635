#include "transport/station.h"

#include "data/generated/interface_tables.h"
#include "data/generated/route_tables.h"
#include "data/number_format.h"
#include "files/chunk_stream.h"
#include "files/chunk_transfer.h"
#include "platform/endian.h"
#include "transport/route_search.h"
#include "transport/text_format.h"
#include "transport/transport_log.h"
#include "world/data_text.h"
#include "world/game_clock.h"
#include "world/object_manager.h"
#include "world/player.h"
#include "world/prices.h"
#include "world/world.h"

#include <algorithm>
#include <cstdio>
#include <span>

namespace {

constexpr uint32_t kTagBlock = ChunkTag("sta1");
constexpr uint32_t kTagExtensions = ChunkTag("sta2");
constexpr uint32_t kTagDecorations = ChunkTag("sta3");
constexpr uint32_t kTagVehicles = ChunkTag("sta4");
// The preview mark: written only for a preview, so that a game without
// previews keeps the four chunks alone; readers skip it as an unknown tag.
constexpr uint32_t kTagPreview = ChunkTag("stp1");
constexpr uint32_t kTags[] = {kTagBlock, kTagExtensions, kTagDecorations, kTagVehicles};
constexpr uint32_t kTagsWithPreview[] = {kTagBlock, kTagExtensions, kTagDecorations, kTagVehicles,
                                         kTagPreview};

// Offsets in the "sta1" block.
constexpr uint32_t kOffRotation = 0;
constexpr uint32_t kOffLayout = 4;
constexpr uint32_t kOffName = 8;
constexpr uint32_t kOffOriginX = 76;
constexpr uint32_t kOffOriginY = 80;
constexpr uint32_t kOffPlacement = 84;
constexpr uint32_t kOffBusySlot = 95;
constexpr uint32_t kOffStage = 96;
constexpr uint32_t kOffPositionX = 100;
constexpr uint32_t kOffPositionY = 104;
constexpr uint32_t kOffTypes = 108;
constexpr uint32_t kOffReservations = 112;
constexpr uint32_t kOffIncomeNow = 116;
constexpr uint32_t kOffIncomeLast = 128;

// Booking categories of the owner's accounts.
constexpr int32_t kBookStations = 5;
constexpr int32_t kBookStationIncome = 8;

// The most loading-area lists and entries a damaged "sta3" may announce.
constexpr uint32_t kMaxDecorationLists = StationLayout::kLoadAreas;

bool IsRotationBit(uint32_t rotation) {
    return rotation == 1 || rotation == 2 || rotation == 4 || rotation == 8;
}

// The longest prefix of at most max bytes that does not end inside a UTF-8
// sequence.
std::string CutName(std::string_view name, size_t max) {
    size_t end = std::min(name.find('\0'), name.size());
    if (end > max) {
        end = max;
        // Back off over continuation bytes to the lead byte, and drop the
        // lead byte too when its sequence does not fit.
        size_t lead = end;
        while (lead > 0 && (uint8_t(name[lead - 1]) & 0xC0) == 0x80)
            --lead;
        if (lead > 0 && uint8_t(name[lead - 1]) >= 0xC0) {
            const uint8_t b = uint8_t(name[lead - 1]);
            const size_t length = b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : 2;
            if (lead - 1 + length > end)
                end = lead - 1;
        }
    }
    return std::string(name.substr(0, end));
}

const StationRow* KindRow(int32_t kind) {
    return StationTable::Find(kind);
}

bool IsFactoryOfTypes(ObjectHandle id, int32_t a, int32_t b) {
    const MapObject* object = BuildingFromId(id);
    if (!object || object->GetSubtype() != 1 || !GetStationHooks().factoryType)
        return false;
    const int32_t type = GetStationHooks().factoryType(*object);
    return type == a || type == b;
}

bool RectHolds(const LayoutRect& r, int32_t x, int32_t y) {
    return x >= r.x && y >= r.y && x < r.x + r.w && y < r.y + r.h;
}

} // namespace

StationHooks& GetStationHooks() {
    static StationHooks hooks;
    return hooks;
}

// ---- Set-up ----

void Station::SetUp(int32_t owner, uint32_t rotation, int32_t kind, int32_t x, int32_t y) {
    spare_.fill(0);
    name_.clear();
    placement_ = 0;
    busySlot_ = 0;
    extensionTypes_ = 0;
    reservations_ = 0;
    incomeNow_.fill(0);
    incomeLast_.fill(0);
    SetOwner(owner);
    SetTypeIndex(kind);
    graphicStage_ = GetCurrentGrafikSet(kind);
    rotation_ = IsRotationBit(rotation) ? rotation : 1;
    originX_ = uint32_t(x);
    originY_ = uint32_t(y);
    const StationRow* row = KindRow(kind);
    layoutIndex_ = row ? uint32_t(std::max(row->LayoutIndex, 0)) : 0;
    const StationLayout* layout = GetLayout();

    // The main part: the first used class-0 part.
    const LayoutPart* main = nullptr;
    if (layout)
        for (const LayoutPart& part : layout->parts)
            if (part.used && part.c == 0) {
                main = &part;
                break;
            }
    positionX_ = x;
    positionY_ = y;
    if (main) {
        int32_t w = 0, h = 0;
        GetStationSize(kind, 0, w, h);
        LayoutTile tile;
        if (TurnLayoutPoint(main->x, main->y, 0, w, h, rotation_, x, y, tile)) {
            positionX_ = tile.x;
            positionY_ = tile.y;
        }
    }
    SetPosition(x, y);
    MakeStationName();

    extensions_.clear();
    decorations_.clear();
    const LayoutArea* strip = layout && layout->areas[StationLayout::kExtensionArea].used
                                  ? &layout->areas[StationLayout::kExtensionArea]
                                  : nullptr;
    const int32_t mode = GetMode();
    if (!strip)
        return;
    if (mode != kModeTrack) {
        extensions_.assign(size_t(std::max(strip->x2 - strip->x1 + 1, 0)), kEmptySlot);
        return;
    }
    extensions_.assign(size_t(std::max(strip->y2 - strip->y1 + 1, 0)), kEmptySlot);
    const uint32_t slots = GetStationHooks().slotCount ? GetStationHooks().slotCount(kind, 0) : 1;
    const int64_t start = main ? int64_t(main->y) - 1 : 0;
    for (uint32_t i = 0; i < slots; ++i) {
        const int64_t at = start + i;
        if (at >= 0 && at < int64_t(extensions_.size()))
            extensions_[size_t(at)] = 0;
    }
    GenerateDecorations();
}

bool Station::PlaceFootprint(bool build) {
    LayoutRect strip;
    if (!GetAreaRect(StationLayout::kExtensionArea, strip))
        return false;
    return Place(strip.x, strip.y, kStationSubtype, strip.w, strip.h, build ? 1 : 0);
}

int32_t Station::GetMode() const {
    const StationRow* row = KindRow(GetKind());
    return row ? row->ConnectionType : -1;
}

const StationLayout* Station::GetLayout() const {
    return GetStationLayouts().Get(layoutIndex_);
}

int32_t GetCurrentGrafikSet(int32_t kind) {
    const StationRow* row = KindRow(kind);
    if (!row || row->GrafikSet.RowCount() == 0)
        return 0;
    const GameClock* clock = GetGameClock();
    const int32_t year = clock ? int32_t(clock->GetCurrentYear()) : int32_t(kFirstYear);
    int32_t stage = row->GrafikSet.IntCell(1, 0);
    for (uint32_t r = 1; r < row->GrafikSet.RowCount(); ++r) {
        if (row->GrafikSet.IntCell(0, r) > year)
            break;
        stage = row->GrafikSet.IntCell(1, r);
    }
    return stage;
}

// ---- Names ----

void Station::SetName(const std::string& name) {
    name_ = CutName(name, kNameBytes - 1);
}

void Station::MakeStationName() {
    uint32_t sameOwner = 0;
    for (const Station* station : AllStations())
        sameOwner += station->GetOwner() == GetOwner() ? 1 : 0;
    std::string town;
    const int32_t townNumber =
        GetStationHooks().townAt ? GetStationHooks().townAt(int32_t(originX_), int32_t(originY_), town) : 0;
    name_.clear();
    if (townNumber > 0) {
        if (town.empty())
            town = "City " + std::to_string(townNumber);
        const int32_t rows = StationNameExtensionTable::RowCount();
        std::vector<const StationNameExtensionRow*> suffixes;
        for (int32_t r = 0; r < rows; ++r)
            if (const StationNameExtensionRow* row = StationNameExtensionTable::Find(r))
                suffixes.push_back(row);
        for (const StationNameExtensionRow* row : suffixes) {
            const std::string candidate = CutName(town + " " + row->Name, kNameBytes - 1);
            if (!IsStationNameTaken(candidate)) {
                name_ = candidate;
                return;
            }
        }
        // Without suffixes the town's name alone is tried before numbers.
        if (suffixes.empty() && !IsStationNameTaken(CutName(town, kNameBytes - 1))) {
            name_ = CutName(town, kNameBytes - 1);
            return;
        }
        const std::string suffix =
            suffixes.empty() ? std::string() : " " + suffixes[GameRandom() % suffixes.size()]->Name;
        for (uint32_t k = 1; k < 1000; ++k) {
            // The number is kept whole: the cut falls on the town and suffix.
            const std::string number = " " + std::to_string(k);
            const std::string candidate = CutName(town + suffix, kNameBytes - 1 - number.size()) + number;
            if (!IsStationNameTaken(candidate)) {
                name_ = candidate;
                return;
            }
        }
    }
    // Outside towns (and in a town with every number taken): the owner's
    // count, raised until the name is free.
    for (uint32_t n = std::max<uint32_t>(sameOwner, 1);; ++n) {
        char text[32];
        std::snprintf(text, sizeof text, "Station%02u", n);
        if (!IsStationNameTaken(text)) {
            name_ = text;
            return;
        }
    }
}

bool IsStationNameTaken(const std::string& name) {
    for (const Station* station : AllStations())
        if (station->GetName() == name)
            return true;
    return false;
}

void RenameAllStations() {
    const std::vector<Station*> stations = AllStations();
    for (Station* station : stations)
        station->SetName(std::string());
    for (Station* station : stations)
        station->MakeStationName();
}

// ---- Reservations, extensions ----

void Station::SetLoadAreaReserved(uint32_t n, bool on) {
    if (n > 31)
        return;
    if (on)
        reservations_ |= 1u << n;
    else
        reservations_ &= ~(1u << n);
}

bool Station::IsLoadAreaReserved(uint32_t n) const {
    return n <= 31 && (reservations_ & (1u << n)) != 0;
}

bool Station::HasExtension(uint32_t id) const {
    return std::find(extensions_.begin(), extensions_.end(), id) != extensions_.end();
}

uint32_t Station::GetUpgradeLevel() const {
    for (uint32_t level = 3; level >= 1; --level)
        if (HasExtension(level))
            return level;
    return 0;
}

namespace {

uint32_t SlotsOf(int32_t kind, uint32_t id) {
    const uint32_t slots = GetStationHooks().slotCount ? GetStationHooks().slotCount(kind, id) : 1;
    return std::max<uint32_t>(slots, 1);
}

void EmptyRuns(const std::vector<uint32_t>& list, size_t& front, size_t& back) {
    front = 0;
    while (front < list.size() && list[front] == Station::kEmptySlot)
        ++front;
    back = 0;
    while (back < list.size() - front && list[list.size() - 1 - back] == Station::kEmptySlot)
        ++back;
}

uint32_t TypeBitOf(uint32_t id) {
    const StationExtentionRow* row = StationExtentionTable::Find(int32_t(id));
    return row && row->Type >= 0 && row->Type < 32 ? 1u << row->Type : 0;
}

} // namespace

bool Station::CanAddExtension(uint32_t id) const {
    if (HasExtension(id))
        return false;
    if (id < 4)
        return id >= GetUpgradeLevel();
    size_t front = 0, back = 0;
    EmptyRuns(extensions_, front, back);
    const uint32_t slots = SlotsOf(GetKind(), id);
    return front >= slots || back >= slots;
}

void Station::AddExtension(uint32_t id) {
    const uint32_t bit = TypeBitOf(id);
    if (bit == 1 || bit == 2 || bit == 4)
        extensionTypes_ &= ~7u;
    extensionTypes_ |= bit;
    if (id < 4) {
        auto first = std::find_if(extensions_.begin(), extensions_.end(), [](uint32_t e) { return e < 4; });
        if (first == extensions_.end())
            return;
        const uint32_t old = *first;
        std::replace(extensions_.begin(), extensions_.end(), old, id);
        return;
    }
    size_t front = 0, back = 0;
    EmptyRuns(extensions_, front, back);
    const uint32_t slots = SlotsOf(GetKind(), id);
    if (front > back && front >= slots)
        std::fill(extensions_.begin() + long(front - slots), extensions_.begin() + long(front), id);
    else if (back >= slots)
        std::fill(extensions_.end() - long(back), extensions_.end() - long(back - slots), id);
}

int32_t Station::GetExtensionOfType(uint32_t typeBit) const {
    for (uint32_t id : extensions_)
        if (id >= 4 && id != kEmptySlot && TypeBitOf(id) == typeBit)
            return int32_t(id);
    return -1;
}

float Station::GetExtensionFactor(uint32_t typeBit, uint32_t selector) const {
    if (!HasExtensionType(typeBit))
        return 1.0f;
    const int32_t id = GetExtensionOfType(typeBit);
    const StationExtentionRow* row = StationExtentionTable::Find(id);
    if (!row)
        return 1.0f;
    switch (selector) {
    case 0:
        return row->TimeBonus;
    case 1:
        return row->IncomeBonus;
    case 2:
        return float(GetStationExtentionIncome(id));
    default:
        return row->PassengerRatio;
    }
}

// ---- Decorations ----

void Station::GenerateDecorations() {
    decorations_.clear();
    const StationLayout* layout = GetLayout();
    if (!layout || GetMode() != kModeTrack)
        return;
    const auto& hooks = GetStationHooks();
    auto range = [&](int32_t from, int32_t to, int32_t& lo, int32_t& hi) {
        lo = -1;
        hi = -1;
        if (!hooks.decorationFrameExists)
            return;
        for (int32_t f = from; f <= to; ++f)
            if (hooks.decorationFrameExists(graphicStage_, f)) {
                lo = lo < 0 ? f : lo;
                hi = f;
            }
    };
    int32_t lo1 = 0, hi1 = 0, lo2 = 0, hi2 = 0;
    range(0, 49, lo1, hi1);
    range(50, 99, lo2, hi2);
    // The platforms' looks come from a generator of their own, seeded by
    // the station's id and place: the same on every machine and after a
    // load, and no draw of the world's streams depends on them.
    RuntimeRandomStream looks(id_ * 2654435761u ^ (originX_ << 16) ^ originY_ ^ uint32_t(GetKind()));
    // A range without frames gives the plain platform.
    auto pick = [&looks](int32_t lo, int32_t hi) -> uint16_t {
        if (lo < 0)
            return kPlainDecoration;
        return uint16_t(lo + int32_t(looks.Next() % uint32_t(hi - lo + 1)));
    };
    const LayoutArea& first = layout->loadAreas[1];
    const size_t length = first.used ? size_t(std::max(first.y2 - first.y1 + 1, 0)) : 0;
    const uint32_t count = layout->LoadAreaCount();
    const int32_t rotationIndex = GetRotationIndex();
    decorations_.resize(count);
    for (uint32_t i = 0; i < count; ++i) {
        std::vector<uint16_t>& list = decorations_[i];
        list.resize(length);
        for (uint16_t& code : list) {
            uint16_t a = kPlainDecoration, b = kPlainDecoration;
            if (i >= 4) {
                if (looks.Next() % 100 > 70)
                    a = pick(lo2, hi2);
                if (looks.Next() % 100 > 70)
                    b = pick(lo2, hi2);
            } else {
                a = pick(lo1, hi1);
                if (i != 0) {
                    b = pick(lo1, hi1);
                } else if (rotationIndex >= 2) {
                    b = pick(lo1, hi1);
                    a = looks.Next() % 100 > 70 ? pick(lo2, hi2) : kPlainDecoration;
                } else {
                    b = looks.Next() % 100 > 70 ? pick(lo2, hi2) : kPlainDecoration;
                }
            }
            code = uint16_t((a & 0xFF) | ((b & 0xFF) << 8));
        }
    }
}

// ---- Links ----

void Station::LinkBuilding(ObjectHandle id) {
    if (IsFactoryOfTypes(id, 5, 6))
        townFactories_.insert(id);
    linkedBuildings_.emplace(id, kLinkMade);
}

void Station::UnlinkBuilding(ObjectHandle id) {
    if (IsFactoryOfTypes(id, 5, 6))
        townFactories_.erase(id);
    linkedBuildings_.erase(id);
}

void Station::UnlinkTownFactories() {
    std::vector<ObjectHandle> towns;
    for (const auto& [id, mask] : linkedBuildings_)
        if (IsFactoryOfTypes(id, 5, 5))
            towns.push_back(id);
    for (ObjectHandle id : towns)
        UnlinkBuilding(id);
}

void Station::LinkStation(ObjectHandle id) {
    if (id == GetId())
        return;
    Station* other = GetStation(id);
    if (!other)
        return;
    if (!linkedStations_.emplace(id, kLinkMade).second)
        return;
    std::vector<ObjectHandle> members;
    for (const auto& [member, value] : linkedStations_)
        if (member != id)
            members.push_back(member);
    for (ObjectHandle member : members)
        if (Station* station = GetStation(member))
            station->LinkStation(id);
    other->LinkStation(GetId());
}

uint32_t Station::GetLinkValue(ObjectHandle id) const {
    auto it = linkedBuildings_.find(id);
    return it == linkedBuildings_.end() ? 0 : it->second;
}

void Station::SetLinkValue(ObjectHandle id, uint32_t mask) {
    linkedBuildings_[id] = mask;
}

void Station::SetCatchmentLinkValue(ObjectHandle building, uint32_t value) {
    // A value for a building the station does not serve would make a link
    // to anything, a deleted building too.
    if (linkedBuildings_.count(building))
        SetLinkValue(building, value);
}

void Station::GetLinkedStationNames(std::string& out) const {
    for (const auto& [id, value] : linkedStations_)
        if (const Station* station = GetStation(id))
            out += station->GetName() + "\n";
}

void UnlinkBuildingFromAllStations(ObjectHandle id) {
    for (Station* station : AllStations())
        station->UnlinkBuilding(id);
}

// ---- Income ----

void Station::AddIncome(uint32_t kind, int32_t amount) {
    if (kind < kIncomeKinds)
        incomeNow_[kind] =
            int32_t(std::clamp<int64_t>(int64_t(incomeNow_[kind]) + amount, INT32_MIN, INT32_MAX));
}

int64_t Station::GetRunningCost() const {
    int64_t cost = GetStationBaseCosts(GetKind(), uint32_t(std::max(graphicStage_, 0)));
    std::set<uint32_t> counted;
    for (uint32_t id : extensions_)
        if (id >= 4 && id != kEmptySlot && counted.insert(id).second)
            cost += GetStationExtentionBaseCosts(int32_t(id));
    return cost;
}

void Station::SettleAccounts() {
    if (planned_)
        return;
    Player* owner = GetOwner() >= 0 ? GetPlayer(uint32_t(GetOwner())) : nullptr;
    if (owner) {
        owner->Pay(-GetRunningCost(), kBookStations, 0);
        int64_t income = 0;
        for (int32_t value : incomeNow_)
            income += value;
        owner->Pay(income, kBookStationIncome, 0);
    }
    incomeLast_ = incomeNow_;
    incomeNow_.fill(0);
}

// ---- Layout lookups ----

bool Station::GetAreaRect(uint32_t n, LayoutRect& out) const {
    return GetLayoutArea(GetKind(), n, rotation_, int32_t(originX_), int32_t(originY_), out);
}
bool Station::GetLoadAreaRect(uint32_t n, LayoutRect& out) const {
    return GetLayoutLoadArea(GetKind(), n, rotation_, int32_t(originX_), int32_t(originY_), out);
}
bool Station::GetPoint(uint32_t n, LayoutTile& out) const {
    return GetLayoutPoint(GetKind(), n, rotation_, int32_t(originX_), int32_t(originY_), out);
}
bool Station::GetLoadPoint(uint32_t n, LayoutTile& out) const {
    return GetLayoutLoadPoint(GetKind(), n, rotation_, int32_t(originX_), int32_t(originY_), out);
}
bool Station::GetConnPoint(uint32_t n, LayoutTile& out) const {
    return GetLayoutConnPoint(GetKind(), n, rotation_, int32_t(originX_), int32_t(originY_), out);
}
uint32_t Station::LoadAreaCount() const {
    const StationLayout* layout = GetLayout();
    return layout ? layout->LoadAreaCount() : 0;
}

uint32_t Station::GetConnectionMaskAt(int32_t x, int32_t y) const {
    const int32_t mode = GetMode();
    if (mode == kModeTrack) {
        uint32_t n = 1;
        uint8_t mask = 0;
        return FindConnPointAt(x, y, n, mask) ? mask : 0;
    }
    if (mode == kModeRoad) {
        LayoutTile tile;
        if (!GetConnPoint(1, tile) || tile.x != x || tile.y != y)
            return 0;
        const int32_t r = GetRotationIndex();
        return rotation_ | (1u << ((r + 1) % 4)) | (1u << ((r + 3) % 4));
    }
    return 0;
}

bool Station::FindConnPointAt(int32_t x, int32_t y, uint32_t& n, uint8_t& mask) const {
    for (uint32_t i = std::max<uint32_t>(n, 0); i < StationLayout::kConnPoints; ++i) {
        LayoutTile tile;
        if (GetConnPoint(i, tile) && tile.x == x && tile.y == y) {
            n = i;
            mask = tile.mask;
            return true;
        }
    }
    return false;
}

bool Station::FindLoadAreaContaining(int32_t x, int32_t y, uint32_t& n) const {
    for (uint32_t i = std::max<uint32_t>(n, 1); i < StationLayout::kLoadAreas; ++i) {
        LayoutRect rect;
        if (GetLoadAreaRect(i, rect) && RectHolds(rect, x, y)) {
            n = i;
            return true;
        }
    }
    return false;
}

bool Station::AreaContainsTile(int32_t x, int32_t y) const {
    LayoutRect rect;
    return GetAreaRect(2, rect) && RectHolds(rect, x, y);
}

TileRect Station::GetLayoutRect() const {
    // Area 3 is the whole station; a kind without one keeps the footprint.
    LayoutRect rect;
    if (GetAreaRect(3, rect))
        return {rect.x, rect.y, rect.w, rect.h};
    return StationBase::GetLayoutRect();
}

void Station::CollectCatchmentLinks(std::set<ObjectHandle>& out) const {
    for (const auto& [id, mask] : linkedBuildings_)
        out.insert(id);
}

namespace {

bool PointPassable(const Station& station, const LayoutTile& tile) {
    return tile.x >= 0 && tile.y >= 0 && GetWorldMap().InMap(uint32_t(tile.x), uint32_t(tile.y)) &&
           TilePassableForMode(uint32_t(tile.x), uint32_t(tile.y), uint32_t(station.GetMode()), 15, 0) != 0;
}

} // namespace

bool Station::GetEntryPoint(int32_t& x, int32_t& y) const {
    LayoutTile tile;
    if (!GetPoint(0, tile))
        return false;
    x = tile.x;
    y = tile.y;
    return PointPassable(*this, tile);
}

bool Station::GetExitPoint(int32_t& x, int32_t& y) const {
    LayoutTile tile;
    if (!GetPoint(1, tile))
        return false;
    x = tile.x;
    y = tile.y;
    return PointPassable(*this, tile);
}

uint32_t Station::GetLoadAreaLength() const {
    LayoutRect rect;
    if (!GetLoadAreaRect(1, rect))
        return 0;
    return uint32_t(GetRotationIndex() % 2 == 0 ? rect.w : rect.h);
}

uint32_t Station::GetWayMaskAt(int32_t x, int32_t y) const {
    const int32_t mode = GetMode();
    if (mode == kModeRoad) {
        LayoutTile tile;
        if (GetPoint(0, tile) && tile.x == x && tile.y == y && x >= 0 && y >= 0)
            return GetWorldMap().GetRoadDirections(uint32_t(x), uint32_t(y));
        return 0;
    }
    if (mode == kModeTrack) {
        for (uint32_t n = 1; n <= LoadAreaCount(); ++n) {
            LayoutRect rect;
            if (GetLoadAreaRect(n, rect) && rect.mask != 0 && RectHolds(rect, x, y))
                return rect.mask;
        }
        return GetConnectionMaskAt(x, y);
    }
    return 0;
}

uint32_t Station::CountFreeLoadAreas(bool besidesBusy) const {
    uint32_t count = 0;
    for (uint32_t n = 1; n <= LoadAreaCount(); ++n)
        if (!IsLoadAreaReserved(n) && !(besidesBusy && n == busySlot_))
            ++count;
    return count;
}

uint32_t Station::FindFreeLoadArea(bool besidesBusy) const {
    for (uint32_t n = 1; n <= LoadAreaCount(); ++n)
        if (!IsLoadAreaReserved(n) && !(besidesBusy && n == busySlot_))
            return n;
    return 0;
}

bool Station::IsFree(uint32_t) const {
    const int32_t mode = GetMode();
    if (mode == kModeAir)
        return reservations_ == 0 && busySlot_ == 0;
    if (mode == kModeWater)
        return reservations_ == 0;
    // Road and track areas hold vehicles only once vehicles exist.
    return true;
}

// ---- Save chunks ----

std::array<uint8_t, Station::kBlockBytes> Station::BlockImage() const {
    std::array<uint8_t, kBlockBytes> block = spare_;
    uint8_t* b = block.data();
    b[kOffRotation] = uint8_t(rotation_);
    plat::StoreLE32(b + kOffLayout, layoutIndex_);
    std::fill(b + kOffName, b + kOffName + kNameBytes, uint8_t(0));
    const std::string name = CutName(name_, kNameBytes - 1);
    std::copy(name.begin(), name.end(), b + kOffName);
    plat::StoreLE32(b + kOffOriginX, originX_);
    plat::StoreLE32(b + kOffOriginY, originY_);
    plat::StoreLE32(b + kOffPlacement, placement_);
    b[kOffBusySlot] = busySlot_;
    plat::StoreLE32(b + kOffStage, uint32_t(graphicStage_));
    plat::StoreLE32(b + kOffPositionX, uint32_t(positionX_));
    plat::StoreLE32(b + kOffPositionY, uint32_t(positionY_));
    plat::StoreLE32(b + kOffTypes, extensionTypes_);
    plat::StoreLE32(b + kOffReservations, reservations_);
    for (uint32_t i = 0; i < kIncomeKinds; ++i) {
        plat::StoreLE32(b + kOffIncomeNow + 4 * i, uint32_t(incomeNow_[i]));
        plat::StoreLE32(b + kOffIncomeLast + 4 * i, uint32_t(incomeLast_[i]));
    }
    return block;
}

void Station::ReadBlock(const std::array<uint8_t, kBlockBytes>& block) {
    const uint8_t* b = block.data();
    rotation_ = b[kOffRotation];
    if (!IsRotationBit(rotation_)) {
        TransportWarning("station %u: rotation %u is no direction; 1 taken", id_, rotation_);
        rotation_ = 1;
    }
    layoutIndex_ = plat::LoadLE32(b + kOffLayout);
    name_ =
        CutName(std::string_view(reinterpret_cast<const char*>(b + kOffName), kNameBytes), kNameBytes - 1);
    originX_ = plat::LoadLE32(b + kOffOriginX);
    originY_ = plat::LoadLE32(b + kOffOriginY);
    placement_ = plat::LoadLE32(b + kOffPlacement);
    busySlot_ = b[kOffBusySlot];
    graphicStage_ = int32_t(plat::LoadLE32(b + kOffStage));
    positionX_ = int32_t(plat::LoadLE32(b + kOffPositionX));
    positionY_ = int32_t(plat::LoadLE32(b + kOffPositionY));
    extensionTypes_ = plat::LoadLE32(b + kOffTypes);
    reservations_ = plat::LoadLE32(b + kOffReservations);
    for (uint32_t i = 0; i < kIncomeKinds; ++i) {
        incomeNow_[i] = int32_t(plat::LoadLE32(b + kOffIncomeNow + 4 * i));
        incomeLast_[i] = int32_t(plat::LoadLE32(b + kOffIncomeLast + 4 * i));
    }
    // Keep the bytes that hold no field, so that a load and a save give
    // the same block.
    spare_.fill(0);
    auto keep = [&](uint32_t from, uint32_t to) { std::copy(b + from, b + to, spare_.begin() + from); };
    keep(1, 4);
    keep(72, 76);
    keep(88, 95);
}

void Station::Serialize() {
    const bool loading = StreamMode() == kStreamLoad;
    Building::Serialize();
    if (StreamFailed())
        return;
    if (loading)
        vehicles_.clear();
    SerializeStationChunks();
    if (loading && GetMode() == kModeTrack && decorations_.empty())
        GenerateDecorations();
}

void Station::SerializeStationChunks() {
    const bool loadingChunks = StreamMode() == kStreamLoad;
    if (loadingChunks)
        planned_ = 0;
    const std::span<const uint32_t> tags = !loadingChunks && planned_
                                               ? std::span<const uint32_t>(kTagsWithPreview)
                                               : std::span<const uint32_t>(kTags);
    TransferTagList(tags, [this](uint32_t tag) {
        const bool loading = StreamMode() == kStreamLoad;
        switch (tag) {
        case kTagPreview:
            Transfer(planned_);
            return;
        case kTagBlock: {
            std::array<uint8_t, kBlockBytes> block = BlockImage();
            if (!loading) {
                TransferInChunk(block.data(), kBlockBytes);
                return;
            }
            if (ChunkBytesLeft() < kBlockBytes) {
                TransportWarning("station %u: \"sta1\" holds %u of %u bytes; the block is not read", id_,
                                 ChunkBytesLeft(), kBlockBytes);
                return;
            }
            TransferInChunk(block.data(), kBlockBytes);
            ReadBlock(block);
            return;
        }
        case kTagExtensions:
            TransferVector(extensions_);
            return;
        case kTagDecorations: {
            uint32_t count = uint32_t(decorations_.size());
            if (Transfer(count) < 4)
                return;
            if (loading) {
                // Each list takes at least its 8-byte header.
                if (count > kMaxDecorationLists || uint64_t(count) * 8 > ChunkBytesLeft()) {
                    TransportWarning("station %u: \"sta3\" announces %u decoration lists; none read", id_,
                                     count);
                    decorations_.clear();
                    return;
                }
                decorations_.assign(count, {});
            }
            for (std::vector<uint16_t>& list : decorations_)
                TransferVector(list);
            return;
        }
        case kTagVehicles: {
            uint32_t count = uint32_t(vehicles_.size());
            if (Transfer(count) < 4)
                return;
            if (!loading) {
                for (ObjectHandle id : vehicles_) {
                    uint32_t value = id;
                    Transfer(value);
                }
                return;
            }
            if (uint64_t(count) * 4 > ChunkBytesLeft()) {
                TransportWarning("station %u: \"sta4\" announces %u vehicles in %u bytes", id_, count,
                                 ChunkBytesLeft());
                count = ChunkBytesLeft() / 4;
            }
            for (uint32_t i = 0; i < count; ++i) {
                uint32_t value = 0;
                Transfer(value);
                vehicles_.insert(value);
            }
            return;
        }
        default:
            return;
        }
    });
}

// ---- Texts ----

std::string GetStationExtentionName(int32_t n) {
    const StationExtentionRow* row = StationExtentionTable::Find(n);
    return row ? WithLineBreaks(row->Name) : std::string();
}

std::string GetTerminalToolTip(int32_t n) {
    const ToolTip_TerminalRow* row = ToolTip_TerminalTable::Find(n);
    return row ? WithLineBreaks(row->Text) : std::string();
}

void Station::GetInfoText(std::string& out) const {
    const StationRow* row = KindRow(GetKind());
    auto line = [&out](const std::string& text) { out += text + "\n"; };
    int32_t title = -1;
    switch (GetMode()) {
    case kModeRoad:
        title = 0;
        break;
    case kModeTrack:
        title = 1;
        break;
    case kModeWater:
        title = 2;
        break;
    case kModeAir:
        title = !row                              ? -1
                : row->SupportedVehicleType == 16 ? 3
                : row->SupportedVehicleType == 14 ? 4
                : row->SupportedVehicleType == 15 ? 5
                                                  : -1;
        break;
    default:
        break;
    }
    if (title >= 0)
        line(GetTerminalToolTip(title));
    line(name_);
    line(std::string());
    line(FormatDataText(GetTerminalToolTip(6), {FormatAmount(GetRunningCost())}));
    line(
        FormatDataText(GetTerminalToolTip(7),
                       {FormatAmount(GetStationBaseCosts(GetKind(), uint32_t(std::max(graphicStage_, 0))))}));
    for (uint32_t bit = 0; bit < 32; ++bit) {
        if (!(extensionTypes_ & (1u << bit)))
            continue;
        const int32_t id = GetExtensionOfType(1u << bit);
        line(FormatDataText(GetTerminalToolTip(8),
                            {GetStationExtentionName(id), FormatAmount(GetStationExtentionBaseCosts(id))}));
    }
    line(GetTerminalToolTip(9));
    int64_t last = 0, now = 0;
    for (uint32_t i = 0; i < kIncomeKinds; ++i) {
        last += incomeLast_[i];
        now += incomeNow_[i];
    }
    line(FormatDataText(GetTerminalToolTip(10), {FormatAmount(last), FormatAmount(now)}));
    static constexpr struct {
        uint32_t bit;
        uint32_t kind;
    } kIncomeLines[] = {{256, 2}, {2, 0}, {4, 1}};
    for (const auto& income : kIncomeLines) {
        if (!(extensionTypes_ & income.bit))
            continue;
        line(FormatDataText(GetTerminalToolTip(11),
                            {GetStationExtentionName(GetExtensionOfType(income.bit)),
                             FormatAmount(incomeLast_[income.kind]), FormatAmount(incomeNow_[income.kind])}));
    }
    const Player* owner = GetOwner() >= 0 ? GetPlayer(uint32_t(GetOwner())) : nullptr;
    line(FormatDataText(GetTerminalToolTip(12), {owner ? owner->GetCompanyName() : std::string()}));
    line(FormatDataText(GetTerminalToolTip(13), {owner ? owner->GetManagerName() : std::string()}));
}

// ---- Registry ----

Station* GetStation(ObjectHandle id) {
    MapObject* object = BuildingFromId(id);
    return object && object->GetSubtype() == kStationSubtype ? dynamic_cast<Station*>(object) : nullptr;
}

std::vector<Station*> AllStations() {
    return BuildingsOf<Station>(kStationSubtype);
}

Station* StationAtTile(int32_t x, int32_t y) {
    const WorldMap& map = GetWorldMap();
    if (x < 0 || y < 0 || !map.InMap(uint32_t(x), uint32_t(y)))
        return nullptr;
    const uint32_t ux = uint32_t(x), uy = uint32_t(y);
    auto cellStation = [&map](int32_t cx, int32_t cy) -> Station* {
        if (cx < 0 || cy < 0 || !map.InMap(uint32_t(cx), uint32_t(cy)))
            return nullptr;
        return GetStation(map.GetCellBuilding(uint32_t(cx), uint32_t(cy)));
    };
    static constexpr int32_t kDx[4] = {0, 1, 0, -1};
    static constexpr int32_t kDy[4] = {-1, 0, 1, 0};
    if (map.HasTrack(ux, uy)) {
        if (Station* station = cellStation(x, y))
            return station;
        for (uint32_t d = 0; d < 4; ++d) {
            Station* station = cellStation(x + kDx[d], y + kDy[d]);
            if (station && station->GetConnectionMaskAt(x, y) != 0)
                return station;
        }
        return nullptr;
    }
    if (map.IsWater(ux, uy)) {
        if (map.GetBuildingAt(ux, uy) != 0)
            return nullptr;
        return map.GetCellKind(ux, uy) == kCellWaterway ? cellStation(x, y) : nullptr;
    }
    if (map.HasRoad(ux, uy)) {
        if (Station* station = cellStation(x, y))
            return station;
        for (uint32_t d = 0; d < 4; ++d) {
            Station* station = cellStation(x + kDx[d], y + kDy[d]);
            uint32_t n = 0;
            uint8_t mask = 0;
            if (station && station->FindConnPointAt(x, y, n, mask))
                return station;
        }
    }
    if (Station* station = cellStation(x, y))
        return station;
    Station* footprint = GetStation(map.GetBuildingAt(ux, uy));
    if (!footprint)
        return nullptr;
    const StationRow* row = KindRow(footprint->GetKind());
    if (!row)
        return nullptr;
    if (row->ConnectionType == kModeWater ||
        (row->ConnectionType == kModeAir &&
         (row->SupportedVehicleType == 15 || row->SupportedVehicleType == 16)))
        return footprint;
    return nullptr;
}

void InstallStations() {
    RegisterMapObjectClass(kCategoryBuilding, kStationSubtype,
                           [](int32_t) { return std::make_unique<Station>(); });
    Services().stationAtTile = [](uint32_t x, uint32_t y) -> MapObject* {
        return StationAtTile(int32_t(x), int32_t(y));
    };
    Services().stationConnectionMask = [](MapObject* station, uint32_t x, uint32_t y) -> uint32_t {
        const auto* s = dynamic_cast<const Station*>(station);
        return s ? s->GetConnectionMaskAt(int32_t(x), int32_t(y)) : 0;
    };
    StationRouteHooks hooks;
    hooks.stationNear = [](uint32_t x, uint32_t y) -> MapObject* {
        return StationAtTile(int32_t(x), int32_t(y));
    };
    hooks.stationMode = [](const MapObject& station) -> int32_t {
        const auto* s = dynamic_cast<const Station*>(&station);
        return s ? s->GetMode() : -1;
    };
    SetStationRouteHooks(hooks);
}
