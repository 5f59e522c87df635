#include "vehicles/schedule.h"

#include "data/generated/interface_tables.h"
#include "files/chunk_transfer.h"
#include "gameloop/game_log.h"
#include "platform/endian.h"
#include "transport/route_search.h"
#include "transport/station.h"
#include "vehicles/schedule_list.h"
#include "world/object_manager.h"

#include <climits>

namespace {

constexpr uint32_t kTagSch1 = ChunkTag("sch1");
constexpr uint32_t kTagSch2 = ChunkTag("sch2");
constexpr uint32_t kTagSch3 = ChunkTag("sch3");
constexpr uint32_t kTagSch4 = ChunkTag("sch4");
constexpr uint32_t kTagSch5 = ChunkTag("sch5");
constexpr uint32_t kTags[] = {kTagSch1, kTagSch2, kTagSch3, kTagSch4, kTagSch5, 0};
// Load points that a choice considers.
constexpr uint32_t kMaxLoadPoints = 64;
// Longest name a flat form may carry.
constexpr uint32_t kMaxFlatName = 1024;

ScheduleVehicleHooks gVehicleHooks;

bool Reachable(uint32_t cost) {
    return cost > 0 && cost <= VehicleSchedule::kReachableCost;
}

// Sequential little-endian reads of a flat form; any read past the end
// fails the reader for good.
class FlatReader {
public:
    explicit FlatReader(std::span<const uint8_t> bytes) : bytes_(bytes) {}
    bool Ok() const { return ok_; }
    size_t Left() const { return ok_ ? bytes_.size() - pos_ : 0; }
    const uint8_t* Take(size_t n) {
        if (!ok_ || bytes_.size() - pos_ < n) {
            ok_ = false;
            return nullptr;
        }
        const uint8_t* p = bytes_.data() + pos_;
        pos_ += n;
        return p;
    }
    uint32_t U32() {
        const uint8_t* p = Take(4);
        return p ? plat::LoadLE32(p) : 0;
    }
    uint8_t U8() {
        const uint8_t* p = Take(1);
        return p ? *p : 0;
    }

private:
    std::span<const uint8_t> bytes_;
    size_t pos_ = 0;
    bool ok_ = true;
};

void PutU32(std::vector<uint8_t>& out, uint32_t v) {
    uint8_t b[4];
    plat::StoreLE32(b, v);
    out.insert(out.end(), b, b + 4);
}

const StopRecord& EmptyStop() {
    static const StopRecord empty;
    return empty;
}

} // namespace

void SetScheduleVehicleHooks(const ScheduleVehicleHooks& hooks) {
    gVehicleHooks = hooks;
}

int32_t ScheduleVehicleMode(ObjectHandle vehicle) {
    return vehicle != 0 && gVehicleHooks.mode ? gVehicleHooks.mode(vehicle) : -1;
}

int64_t ScheduleVehicleKind(ObjectHandle vehicle) {
    return vehicle != 0 && gVehicleHooks.kind ? gVehicleHooks.kind(vehicle) : -1;
}

std::string DefaultScheduleName() {
    std::string name;
    if (!UIF_ScheduleTable::GetUIText(2, &name))
        name.clear();
    return name;
}

void StopRecord::Store(uint8_t* out) const {
    plat::StoreLE32(out + 0, kind);
    plat::StoreLE32(out + 4, target);
    plat::StoreLE32(out + 8, arg2);
    for (uint32_t k = 0; k < kProductSlots; ++k)
        plat::StoreLE32(out + 12 + 4 * k, uint32_t(products[k]));
    plat::StoreLE32(out + 268, waitOption2);
    plat::StoreLE32(out + 272, waitOption1);
    plat::StoreLE32(out + 276, loadPoint);
    plat::StoreLE32(out + 280, waitOption4);
}

void StopRecord::Load(const uint8_t* in, uint32_t size) {
    uint8_t full[kBytes];
    Store(full);
    std::copy(in, in + std::min(size, kBytes), full);
    kind = plat::LoadLE32(full + 0);
    target = plat::LoadLE32(full + 4);
    arg2 = plat::LoadLE32(full + 8);
    for (uint32_t k = 0; k < kProductSlots; ++k)
        products[k] = int32_t(plat::LoadLE32(full + 12 + 4 * k));
    waitOption2 = plat::LoadLE32(full + 268);
    waitOption1 = plat::LoadLE32(full + 272);
    loadPoint = plat::LoadLE32(full + 276);
    waitOption4 = plat::LoadLE32(full + 280);
}

VehicleSchedule::VehicleSchedule(bool keepsRoutes, ObjectHandle vehicle)
    : keepsRoutes_(keepsRoutes ? 1 : 0), name_(DefaultScheduleName()) {
    SetVehicle(vehicle);
}

VehicleSchedule::~VehicleSchedule() = default;

MapObject* VehicleSchedule::GetVehicle() const {
    return vehicle_ ? MovingObjectFromId(vehicle_) : nullptr;
}

void VehicleSchedule::SetVehicle(ObjectHandle handle) {
    vehicle_ = handle;
    const int32_t mode = ScheduleVehicleMode(handle);
    if (mode >= 0 && uint32_t(mode) < kTransportModeCount)
        mode_ = uint32_t(mode);
}

void VehicleSchedule::AddIncome(int32_t amount) {
    periodIncome_[0] += int64_t(amount);
    totalIncome_ += int64_t(amount);
}

void VehicleSchedule::RollIncomePeriod() {
    periodIncome_[1] = periodIncome_[0];
    periodIncome_[0] = 0;
}

const StopRecord& VehicleSchedule::Stop(uint32_t i) const {
    return i < stops_.size() ? stops_[i] : EmptyStop();
}

void VehicleSchedule::SetStopLoadPoint(uint32_t i, uint32_t v) {
    if (StopRecord* s = MutableStop(i))
        s->loadPoint = v;
}

Station* VehicleSchedule::GetStopStation(uint32_t i) const {
    if (i >= stops_.size() || stops_[i].kind != StopRecord::kStation)
        return nullptr;
    return GetStation(stops_[i].target);
}

void VehicleSchedule::InsertStationStop(uint32_t i, ObjectHandle station, ObjectHandle vehicle,
                                        uint32_t loadPoint) {
    StopRecord record;
    record.target = station;
    record.loadPoint = mode_ == kModeTrack ? loadPoint : 1;
    stops_.insert(stops_.begin() + std::min<size_t>(i, stops_.size()), record);
    if (!keepsRoutes_)
        return;
    if (stops_.size() == 1)
        routes_.push_back(std::make_unique<WaypointList>());
    else
        RebuildRoutes(vehicle);
}

void VehicleSchedule::InsertWaypoint(uint32_t i, uint32_t a, uint32_t b) {
    StopRecord record;
    record.kind = StopRecord::kWaypoint;
    record.target = a;
    record.arg2 = b;
    stops_.insert(stops_.begin() + std::min<size_t>(i, stops_.size()), record);
}

void VehicleSchedule::RemoveStop(uint32_t i) {
    if (i >= stops_.size())
        return;
    // The routes follow the station stops, not the records: a waypoint
    // record's removal leaves them alone.
    int32_t segment = -1;
    if (stops_[i].kind == StopRecord::kStation) {
        segment = 0;
        for (uint32_t r = 0; r < i; ++r)
            segment += stops_[r].kind == StopRecord::kStation ? 1 : 0;
    }
    stops_.erase(stops_.begin() + i);
    if (!keepsRoutes_ || segment < 0 || uint32_t(segment) >= routes_.size())
        return;
    routes_.erase(routes_.begin() + segment);
    if (routes_.size() == 1) {
        routes_[0] = std::make_unique<WaypointList>();
        return;
    }
    if (routes_.empty())
        return;
    const uint32_t count = uint32_t(routes_.size());
    const uint32_t before = segment == 0 ? count - 1 : uint32_t(segment) - 1;
    const uint32_t after = uint32_t(segment) < count ? uint32_t(segment) : 0;
    routes_[before] = std::make_unique<WaypointList>();
    ComputeSegment(before, after, *routes_[before], 0);
}

void VehicleSchedule::RemoveStation(ObjectHandle station) {
    for (uint32_t i = 0; i < stops_.size(); ++i) {
        if (stops_[i].kind == StopRecord::kStation && stops_[i].target == station) {
            RemoveStop(i);
            return;
        }
    }
}

void VehicleSchedule::SetProducts(uint32_t i, uint32_t count,
                                  const std::array<int32_t, StopRecord::kProductSlots>& values) {
    StopRecord* s = MutableStop(i);
    if (!s)
        return;
    s->arg2 = (s->arg2 & ~0xFFu) | std::min<uint32_t>(count, StopRecord::kProductSlots);
    s->products = values;
}

uint32_t VehicleSchedule::GetProducts(uint32_t i, const int32_t** out) const {
    if (i >= stops_.size()) {
        if (out)
            *out = nullptr;
        return 0;
    }
    if (out)
        *out = stops_[i].products.data();
    return stops_[i].UsedSlots();
}

void VehicleSchedule::SetWaitOption1(uint32_t i, uint32_t v) {
    if (StopRecord* s = MutableStop(i))
        s->waitOption1 = v;
}

void VehicleSchedule::SetWaitOption2(uint32_t i, uint32_t v) {
    if (StopRecord* s = MutableStop(i))
        s->waitOption2 = v;
}

void VehicleSchedule::SetWaitOption4(uint32_t i, uint32_t v) {
    if (StopRecord* s = MutableStop(i))
        s->waitOption4 = v;
}

uint32_t VehicleSchedule::GetStationStopCount() const {
    uint32_t n = 0;
    for (const StopRecord& s : stops_)
        n += s.kind == StopRecord::kStation ? 1 : 0;
    return std::min<uint32_t>(n, 255);
}

int32_t VehicleSchedule::StationStopIndex(uint32_t n) const {
    int32_t first = -1;
    uint32_t seen = 0;
    for (uint32_t i = 0; i < stops_.size(); ++i) {
        if (stops_[i].kind != StopRecord::kStation)
            continue;
        if (first < 0)
            first = int32_t(i);
        if (seen++ == n)
            return int32_t(i);
    }
    return first;
}

Station* VehicleSchedule::GetStationOfStop(uint32_t n) const {
    const int32_t i = StationStopIndex(n);
    return i < 0 ? nullptr : GetStopStation(uint32_t(i));
}

ObjectHandle VehicleSchedule::GetStationIdOfStop(uint32_t n) const {
    const int32_t i = StationStopIndex(n);
    return i < 0 ? 0 : stops_[uint32_t(i)].target;
}

uint32_t VehicleSchedule::GetProductCount(uint32_t n) const {
    const int32_t i = StationStopIndex(n);
    if (i < 0)
        return 0;
    const StopRecord& s = stops_[uint32_t(i)];
    uint32_t count = 0;
    for (uint32_t k = 0; k < s.UsedSlots(); ++k)
        count += s.products[k] != -1 ? 1 : 0;
    return count;
}

int32_t VehicleSchedule::GetProduct(uint32_t n, uint32_t k) const {
    if (n >= GetStationStopCount())
        return -1;
    const StopRecord& s = stops_[uint32_t(StationStopIndex(n))];
    for (uint32_t e = 0; e < s.UsedSlots(); ++e) {
        if (s.products[e] == -1)
            continue;
        if (k-- == 0)
            return s.products[e];
    }
    return -1;
}

void VehicleSchedule::AddProduct(uint32_t n, int32_t product) {
    const int32_t i = StationStopIndex(n);
    if (i < 0)
        return;
    StopRecord& s = stops_[uint32_t(i)];
    for (int32_t& slot : s.products) {
        if (slot == -1) {
            slot = product;
            s.arg2 = (s.arg2 & ~0xFFu) | std::min<uint32_t>(s.UsedSlots() + 1, StopRecord::kProductSlots);
            return;
        }
    }
}

void VehicleSchedule::RemoveProduct(uint32_t n, int32_t product) {
    const int32_t i = StationStopIndex(n);
    if (i < 0)
        return;
    StopRecord& s = stops_[uint32_t(i)];
    for (uint32_t k = StopRecord::kProductSlots; k-- > 0;) {
        if (s.products[k] == product) {
            s.products[k] = -1;
            const uint32_t used = s.arg2 & 0xFFu;
            s.arg2 = (s.arg2 & ~0xFFu) | (used > 0 ? used - 1 : 0);
            return;
        }
    }
}

uint32_t VehicleSchedule::CountProductAtStop(uint32_t n, int32_t product) const {
    const int32_t i = StationStopIndex(n);
    if (i < 0)
        return 0;
    return uint32_t(
        std::count(stops_[uint32_t(i)].products.begin(), stops_[uint32_t(i)].products.end(), product));
}

bool VehicleSchedule::LacksStations(bool checkAll) const {
    const uint32_t count = GetStationStopCount();
    if (count == 0)
        return true;
    if (checkAll)
        for (uint32_t n = 0; n < count; ++n)
            if (!GetStationOfStop(n))
                return true;
    return false;
}

bool VehicleSchedule::IsDue(uint32_t now) {
    if (frequency_ != 0 && now - lastDue_ <= kDuePeriodMs / frequency_)
        return false;
    lastDue_ = now;
    return true;
}

uint32_t VehicleSchedule::ClearSettingsHead() {
    std::fill(settings_.begin(), settings_.begin() + kSettingsVehicles, 0u);
    return 0;
}

const WaypointList* VehicleSchedule::GetRoute(uint32_t k) const {
    if (!keepsRoutes_ || k >= routes_.size() || !routes_[k] || routes_[k]->Count() == 0)
        return nullptr;
    return routes_[k].get();
}

uint32_t VehicleSchedule::CostBetween(uint32_t n, uint32_t j, uint32_t m, uint32_t targetPoint) const {
    const Station* from = GetStationOfStop(n);
    const Station* to = GetStationOfStop(m);
    LayoutTile start;
    if (!from || !to || !from->GetLoadPoint(j, start))
        return 0;
    const uint32_t mode = from->GetMode() < 0 ? mode_ : uint32_t(from->GetMode());
    const uint32_t points = mode == kModeTrack ? std::min(to->LoadAreaCount(), kMaxLoadPoints) : 1;
    uint32_t best = 0;
    for (uint32_t p = 1; p <= points; ++p) {
        if (targetPoint != 0 && p != targetPoint)
            continue;
        LayoutTile goal;
        if (!to->GetLoadPoint(p, goal))
            continue;
        const uint32_t cost = SearchRouteByMode(mode, uint32_t(start.x), uint32_t(start.y), uint32_t(goal.x),
                                                uint32_t(goal.y), nullptr, nullptr, -1, 0, nullptr, nullptr);
        if (Reachable(cost) && (best == 0 || cost < best))
            best = cost;
    }
    return best;
}

uint32_t VehicleSchedule::RateLoadPoint(uint32_t n, uint32_t j, ObjectHandle vehicle) {
    (void)vehicle;
    const Station* station = GetStationOfStop(n);
    LayoutTile tile;
    if (!station || !station->GetLoadPoint(j, tile))
        return 0;
    const uint32_t count = GetStationStopCount();
    if (count < 2)
        return 1;
    const uint32_t previous = n == 0 ? count - 1 : n - 1;
    const uint32_t next = n + 1 >= count ? 0 : n + 1;
    const ObjectHandle self = GetStationIdOfStop(n);
    const ObjectHandle prevId = GetStationIdOfStop(previous);
    const ObjectHandle nextId = GetStationIdOfStop(next);
    const bool cached = mode_ == kModeTrack && j < 256;
    uint32_t cost = 0;
    if (cached && LookupLoadPointCost(self, prevId, nextId, uint8_t(j), cost))
        return cost;
    uint64_t sum = CostBetween(n, j, previous, 0);
    if (sum != 0 && previous != next) {
        const uint32_t onward = CostBetween(n, j, next, 0);
        sum = onward == 0 ? 0 : sum + onward;
    }
    cost = uint32_t(std::min<uint64_t>(sum, UINT32_MAX));
    if (cached)
        StoreLoadPointCost(self, prevId, nextId, uint8_t(j), cost);
    return cost;
}

void VehicleSchedule::ChooseLoadPoint(uint32_t n, ObjectHandle vehicle) {
    const int32_t index = StationStopIndex(n);
    const Station* station = GetStationOfStop(n);
    if (index < 0)
        return;
    StopRecord& stop = stops_[uint32_t(index)];
    if (!station) {
        stop.loadPoint = 0;
        return;
    }
    const uint32_t points = mode_ == kModeTrack ? std::min(station->LoadAreaCount(), kMaxLoadPoints) : 1;
    std::array<uint32_t, kMaxLoadPoints + 1> ratings{};
    for (uint32_t j = 1; j <= points; ++j)
        ratings[j] = RateLoadPoint(n, j, vehicle);
    if (stop.loadPoint != 0 && stop.loadPoint <= points && ratings[stop.loadPoint] > 0)
        return;
    const uint32_t count = GetStationStopCount();
    const uint32_t previous = n == 0 ? count - 1 : n - 1;
    const uint32_t previousPoint = GetStopLoadPoint(uint32_t(StationStopIndex(previous)));
    uint32_t best = 0;
    uint32_t bestRating = UINT32_MAX;
    for (uint32_t j = 1; j <= points; ++j) {
        if (ratings[j] == 0 || ratings[j] >= bestRating || previousPoint == 0)
            continue;
        const uint32_t cost = CostBetween(previous, previousPoint, n, j);
        if (!Reachable(cost)) {
            ratings[j] = 0;
            continue;
        }
        best = j;
        bestRating = ratings[j];
    }
    if (best == 0) {
        uint32_t lowest = UINT32_MAX;
        for (uint32_t j = 1; j <= points; ++j) {
            if (ratings[j] > 0 && ratings[j] < lowest) {
                lowest = ratings[j];
                best = j;
            }
        }
    }
    stop.loadPoint = best;
}

bool VehicleSchedule::ComputeSegment(uint32_t a, uint32_t b, WaypointList& list, uint8_t flags) {
    const int32_t ia = StationStopIndex(a);
    const int32_t ib = StationStopIndex(b);
    const Station* from = GetStationOfStop(a);
    const Station* to = GetStationOfStop(b);
    if (ia < 0 || ib < 0 || !from || !to || from == to)
        return false;
    const uint32_t pointA = stops_[uint32_t(ia)].loadPoint;
    const uint32_t pointB = stops_[uint32_t(ib)].loadPoint;
    LayoutTile start;
    LayoutTile goal;
    if (list.Count() > 0) {
        const Waypoint& last = list.Get(list.Count() - 1);
        start.x = int32_t(last.x);
        start.y = int32_t(last.y);
        list.DropLast(1);
    } else if (pointA == 0 || !from->GetLoadPoint(pointA, start)) {
        return false;
    }
    if (pointB == 0 || !to->GetLoadPoint(pointB, goal))
        return false;
    const uint32_t mode = from->GetMode() < 0 ? mode_ : uint32_t(from->GetMode());
    RouteVehicle asking;
    asking.currentStop = from->GetId();
    asking.nextStop = to->GetId();
    const uint32_t cost = SearchRouteByMode(mode, uint32_t(start.x), uint32_t(start.y), uint32_t(goal.x),
                                            uint32_t(goal.y), &list, &asking, -1, flags, nullptr, nullptr);
    return Reachable(cost) || (cost > 0 && mode != kModeTrack && mode != kModeRoad);
}

void VehicleSchedule::RebuildRoutes(ObjectHandle vehicle) {
    if (!keepsRoutes_)
        return;
    const uint32_t count = GetStationStopCount();
    for (uint32_t n = 0; n < count; ++n)
        ChooseLoadPoint(n, vehicle);
    routes_.clear();
    for (uint32_t n = 0; n < count; ++n)
        routes_.push_back(std::make_unique<WaypointList>());
    for (uint32_t k = 0; k < count && count > 1; ++k) {
        const uint32_t next = k + 1 == count ? 0 : k + 1;
        if (ComputeSegment(k, next, *routes_[k], 0))
            continue;
        routes_[k]->Clear();
        SetStopLoadPoint(uint32_t(StationStopIndex(next)), 0);
        ChooseLoadPoint(next, vehicle);
        if (!ComputeSegment(k, next, *routes_[k], 0))
            routes_[k]->Clear();
    }
}

bool VehicleSchedule::IsEqual(const VehicleSchedule* other) const {
    if (!other)
        return false;
    if (stops_.size() != other->stops_.size())
        return false;
    if (stops_.empty())
        return true;
    for (size_t i = 0; i < stops_.size(); ++i) {
        const StopRecord& a = stops_[i];
        const StopRecord& b = other->stops_[i];
        if (a.waitOption2 != b.waitOption2 || a.kind != b.kind)
            return false;
        if (a.kind == StopRecord::kStation &&
            (a.target != b.target || a.loadPoint != b.loadPoint || a.products != b.products))
            return false;
    }
    if (routes_.size() != other->routes_.size())
        return false;
    for (size_t k = 0; k < routes_.size(); ++k) {
        const WaypointList* a = routes_[k].get();
        const WaypointList* b = other->routes_[k].get();
        const uint32_t ca = a ? a->Count() : 0;
        const uint32_t cb = b ? b->Count() : 0;
        if (ca != cb)
            return false;
        for (uint32_t p = 0; p < ca; ++p)
            if (a->Get(p).x != b->Get(p).x || a->Get(p).y != b->Get(p).y)
                return false;
    }
    for (uint32_t v = 0; v < kSettingsVehicles; ++v) {
        const int64_t ka = ScheduleVehicleKind(settings_[v]);
        const int64_t kb = ScheduleVehicleKind(other->settings_[v]);
        if (ka != kb)
            return false;
    }
    return true;
}

std::unique_ptr<VehicleSchedule> VehicleSchedule::Clone(ObjectHandle vehicle) const {
    auto copy = std::make_unique<VehicleSchedule>(keepsRoutes_ != 0, vehicle ? vehicle : vehicle_);
    copy->TakeOver(*this);
    copy->id_ = id_;
    return copy;
}

void VehicleSchedule::TakeOver(const VehicleSchedule& copy) {
    if (&copy == this)
        return;
    stops_ = copy.stops_;
    routes_.clear();
    for (const auto& route : copy.routes_)
        routes_.push_back(std::make_unique<WaypointList>(route ? *route : WaypointList()));
    frequency_ = copy.frequency_;
    name_ = copy.name_;
    mode_ = copy.mode_;
    auxValue_ = copy.auxValue_;
    settings_ = copy.settings_;
}

bool VehicleSchedule::WriteFlat(std::vector<uint8_t>& out, uint32_t capacity) const {
    out.clear();
    PutU32(out, uint32_t(stops_.size()));
    for (const StopRecord& s : stops_) {
        uint8_t bytes[StopRecord::kBytes];
        s.Store(bytes);
        out.insert(out.end(), bytes, bytes + StopRecord::kBytes);
        if (out.size() > capacity)
            return false;
    }
    out.push_back(keepsRoutes_);
    PutU32(out, vehicle_);
    if (keepsRoutes_) {
        // One entry per station stop, the route leaving it; an empty
        // route is an entry of size 0.
        const uint32_t count = GetStationStopCount();
        for (uint32_t k = 0; k < count; ++k) {
            const WaypointList* route = k < routes_.size() ? routes_[k].get() : nullptr;
            if (!route || route->Count() == 0) {
                PutU32(out, 0);
                continue;
            }
            const std::vector<uint8_t> image = route->Image();
            PutU32(out, uint32_t(image.size()));
            out.insert(out.end(), image.begin(), image.end());
            if (out.size() > capacity)
                return false;
        }
    }
    PutU32(out, frequency_);
    for (uint32_t v : settings_)
        PutU32(out, v);
    PutU32(out, uint32_t(id_));
    PutU32(out, uint32_t(name_.size()));
    out.insert(out.end(), name_.begin(), name_.end());
    PutU32(out, mode_);
    PutU32(out, auxValue_);
    return out.size() <= capacity;
}

bool VehicleSchedule::ReadFlat(std::span<const uint8_t> bytes) {
    FlatReader in(bytes);
    const uint32_t stopCount = in.U32();
    if (!in.Ok() || uint64_t(stopCount) * StopRecord::kBytes > in.Left()) {
        GameLog("schedule: a flat form announces %u stops in %zu bytes", stopCount, in.Left());
        return false;
    }
    std::vector<StopRecord> stops(stopCount);
    for (StopRecord& s : stops)
        s.Load(in.Take(StopRecord::kBytes), StopRecord::kBytes);
    const uint8_t keeps = in.U8();
    const uint32_t vehicle = in.U32();
    if (keeps > 1) {
        GameLog("schedule: a flat form's route flag is %u", keeps);
        return false;
    }
    std::vector<std::unique_ptr<WaypointList>> routes;
    if (keeps) {
        uint32_t stations = 0;
        for (const StopRecord& s : stops)
            stations += s.kind == StopRecord::kStation ? 1 : 0;
        for (uint32_t k = 0; k < stations && in.Ok(); ++k) {
            const uint32_t size = in.U32();
            if (size == 0) {
                routes.push_back(std::make_unique<WaypointList>());
                continue;
            }
            const uint8_t* image = in.Take(size);
            std::optional<WaypointList> route =
                image ? WaypointList::FromImage(std::span<const uint8_t>(image, size)) : std::nullopt;
            if (!route) {
                GameLog("schedule: route %u of a flat form is damaged", k);
                return false;
            }
            routes.push_back(std::make_unique<WaypointList>(std::move(*route)));
        }
    }
    const uint32_t frequency = in.U32();
    std::array<uint32_t, kSettingsWords> settings{};
    for (uint32_t& v : settings)
        v = in.U32();
    const int32_t id = int32_t(in.U32());
    const uint32_t nameLength = in.U32();
    if (!in.Ok() || nameLength > kMaxFlatName || nameLength > in.Left()) {
        GameLog("schedule: a flat form ends early or holds a name of %u bytes", nameLength);
        return false;
    }
    const uint8_t* name = in.Take(nameLength);
    const uint32_t mode = in.U32();
    const uint32_t aux = in.U32();
    if (!in.Ok() || in.Left() != 0 || mode >= kTransportModeCount) {
        GameLog("schedule: a flat form ends early, runs on or names mode %u", mode);
        return false;
    }
    stops_ = std::move(stops);
    keepsRoutes_ = keeps;
    vehicle_ = vehicle;
    routes_ = std::move(routes);
    frequency_ = frequency;
    settings_ = settings;
    id_ = id;
    name_.assign(reinterpret_cast<const char*>(name), nameLength);
    mode_ = mode;
    auxValue_ = aux;
    return true;
}

void VehicleSchedule::Repair(const char* where) {
    if (mode_ >= kTransportModeCount) {
        const int32_t vehicleMode = ScheduleVehicleMode(vehicle_);
        GameLog("schedule %d: %s names transport mode %u; it becomes %d", id_, where, mode_,
                vehicleMode >= 0 ? vehicleMode : 0);
        mode_ = vehicleMode >= 0 && uint32_t(vehicleMode) < kTransportModeCount ? uint32_t(vehicleMode) : 0;
    }
    if (keepsRoutes_ > 1)
        keepsRoutes_ = 1;
}

bool VehicleSchedule::Transfer() {
    const bool loading = StreamMode() == kStreamLoad;
    uint32_t routeCount = keepsRoutes_ ? uint32_t(routes_.size()) : idleRouteCount_;
    bool damaged = false;
    TransferTagList(kTags, [&](uint32_t tag) {
        switch (tag) {
        case kTagSch1: {
            TransferSizedValue(lastDue_);
            TransferSizedValue(frequency_);
            uint32_t count = uint32_t(stops_.size());
            const uint32_t stored = TransferListHeader(count, StopRecord::kBytes);
            if (loading) {
                if (stored == 0) {
                    damaged = true;
                    return;
                }
                stops_.assign(count, StopRecord{});
            }
            for (StopRecord& s : stops_) {
                uint8_t bytes[StopRecord::kBytes];
                s.Store(bytes);
                TransferListElement(bytes, StopRecord::kBytes, loading ? stored : StopRecord::kBytes);
                if (loading)
                    s.Load(bytes, std::min(stored, StopRecord::kBytes));
            }
            TransferSizedValue(keepsRoutes_);
            TransferSizedValue(vehicle_);
            uint8_t block[4 * kSettingsWords];
            for (uint32_t v = 0; v < kSettingsWords; ++v)
                plat::StoreLE32(block + 4 * v, settings_[v]);
            TransferSized(block, sizeof block);
            for (uint32_t v = 0; v < kSettingsWords && loading; ++v)
                settings_[v] = plat::LoadLE32(block + 4 * v);
            TransferSizedValue(id_);
            SerializeString(name_);
            return;
        }
        case kTagSch2:
            TransferSizedValue(routeCount);
            return;
        case kTagSch3:
            TransferSizedValue(mode_);
            return;
        case kTagSch4: {
            uint8_t income[24];
            plat::StoreLE64(income, uint64_t(totalIncome_));
            plat::StoreLE64(income + 8, uint64_t(periodIncome_[0]));
            plat::StoreLE64(income + 16, uint64_t(periodIncome_[1]));
            TransferSized(income, sizeof income);
            if (loading) {
                totalIncome_ = int64_t(plat::LoadLE64(income));
                periodIncome_[0] = int64_t(plat::LoadLE64(income + 8));
                periodIncome_[1] = int64_t(plat::LoadLE64(income + 16));
            }
            TransferSizedValue(auxValue_);
            return;
        }
        case kTagSch5:
            TransferSizedValue(created_);
            return;
        default:
            return;
        }
    });
    if (StreamFailed() || damaged) {
        GameLog("schedule %d: its chunks are damaged", id_);
        return false;
    }
    if (!loading) {
        if (!keepsRoutes_)
            return true;
        for (auto& route : routes_)
            if (!route || !route->Transfer())
                return false;
        return !StreamFailed();
    }
    Repair("a saved game");
    if (!keepsRoutes_) {
        // The route count of a schedule without routes is only kept.
        routes_.clear();
        idleRouteCount_ = routeCount;
        return true;
    }
    // Each route takes two chunk headers at least; a count past the stops
    // or the bytes left cannot be real, and the chunks after it could not
    // be found.
    if (routeCount > stops_.size() + 1 || uint64_t(routeCount) * 16 > ChunkBytesLeft()) {
        GameLog("schedule %d: %u routes for %zu stops in %u bytes", id_, routeCount, stops_.size(),
                ChunkBytesLeft());
        return false;
    }
    routes_.clear();
    for (uint32_t k = 0; k < routeCount; ++k) {
        routes_.push_back(std::make_unique<WaypointList>());
        if (!routes_.back()->Transfer()) {
            if (StreamFailed())
                return false;
            GameLog("schedule %d: route %u is damaged; the routes are computed again", id_, k);
            needsRebuild_ = true;
        }
    }
    if (needsRebuild_)
        for (auto& route : routes_)
            route = std::make_unique<WaypointList>();
    return !StreamFailed();
}
