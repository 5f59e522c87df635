// Loading and unloading at a stop: the stop service, the passenger and mail
// books, product cars, capacities, the train weight and the coupling of a
// train's units for a stop.
#include "vehicles/vehicle_loading.h"

#include "data/generated/economy_tables.h"
#include "data/generated/vehicle_tables.h"
#include "gameloop/game_log.h"
#include "transport/route_search.h"
#include "transport/station.h"
#include "vehicles/schedule.h"
#include "vehicles/vehicle.h"
#include "world/building.h"
#include "world/catchment.h"
#include "world/game_clock.h"
#include "world/headquarter_registry.h"
#include "world/object_manager.h"
#include "world/player.h"
#include "world/player_statistics.h"
#include "world/prices.h"

#include <algorithm>
#include <set>

namespace {

// Booking category of a stop's income; the transport mode rides along.
constexpr int32_t kStopIncomeCategory = 7;
// The owner's statistics row that counts passengers delivered.
constexpr uint32_t kPassengersDeliveredRow = 10;
// Motion record words: unit kind, its type row, the index of its car.
constexpr uint32_t kMotionKind = 0;
constexpr uint32_t kMotionType = 1;
constexpr uint32_t kMotionCar = 4;
constexpr uint32_t kKindPowered = 1;
constexpr uint32_t kKindCar = 2;

const std::map<ObjectHandle, uint32_t>* Waiting(ObjectHandle factory, bool mail) {
    const VehicleCargoHooks& hooks = GetVehicleCargoHooks();
    return hooks.waiting ? hooks.waiting(factory, mail) : nullptr;
}

float Demand(ObjectHandle factory, int32_t product) {
    const VehicleCargoHooks& hooks = GetVehicleCargoHooks();
    return hooks.demand ? hooks.demand(factory, product) : 1.0f;
}

TilePoint CentreOf(ObjectHandle id, bool& found) {
    const auto* building = dynamic_cast<const Building*>(BuildingFromId(id));
    found = building != nullptr;
    return building ? building->GetCentre() : TilePoint{0, 0};
}

uint32_t Now() {
    return CurrentGameTimeMs();
}

} // namespace

VehicleCargoHooks& GetVehicleCargoHooks() {
    static VehicleCargoHooks hooks;
    return hooks;
}

void Vehicle::SetMotionRecords(std::vector<MotionRecord> records) {
    if (records.size() > kTrail)
        records.resize(kTrail);
    motion_ = std::move(records);
}

void Vehicle::BuildMotionRecords() {
    if (schedule_ && GetConnectionType() == int32_t(kModeTrack)) {
        // A train is made of its units' layouts and the stop's waggons,
        // laid on the platform it stands at.
        ComposeFromSchedule();
        if (GetStationUnderVehicle())
            PlaceAtPlatform(trail_[0].x, trail_[0].y, block_[29]);
        return;
    }
    motion_.clear();
    for (uint32_t i = 0; i < kUnits; ++i) {
        const ObjectHandle handle = GetUnit(i);
        const Vehicle* unit = handle == id_ || (i == 0 && handle == 0) ? this : GetVehicle(handle);
        if (!unit)
            continue;
        MotionRecord record{};
        record[kMotionKind] = kKindPowered;
        record[kMotionType] = uint32_t(unit->GetTypeIndex());
        record[kMotionCar] = uint32_t(motion_.size());
        motion_.push_back(record);
    }
}

void Vehicle::RecountCargo() {
    for (const bool mail : {false, true}) {
        const CargoBook& book = mail ? mail_ : passengers_;
        const uint32_t at = mail ? 228 : 212;
        uint64_t sum = 0;
        for (const auto& [destination, records] : book.aboard)
            for (const CargoRecord& r : records)
                sum += r.amount;
        const uint32_t counted = uint32_t(std::min<uint64_t>(sum, INT32_MAX));
        if (counted != U32(at)) {
            GameLog("vehicle %u: %u %s aboard by its books, %u by its count; the books count", id_, counted,
                    mail ? "mail" : "passengers", U32(at));
            SetU32(at, counted);
        }
    }
    ComputeTrainWeight();
}

uint32_t Vehicle::CarCapacity(uint32_t record, bool mail) const {
    if (record >= motion_.size())
        return 0;
    const MotionRecord& m = motion_[record];
    const int32_t type = int32_t(m[kMotionType]);
    auto vehicleColumn = [mail](int32_t row) {
        const VehicleRow* r = VehicleTable::Find(row);
        return r ? (mail ? r->MailCapacity : r->PassengerCapacity) : 0;
    };
    int32_t capacity = 0;
    switch (GetConnectionType()) {
    case int32_t(kModeRoad):
    case int32_t(kModeTrack):
        if (m[kMotionKind] == kKindCar) {
            if (GetConnectionType() == int32_t(kModeTrack)) {
                const WaggonsRow* w = WaggonsTable::Find(type);
                capacity = w ? (mail ? w->MailCapacity : w->PassengerCapacity) : 0;
            } else {
                const TruckTrailerRow* t = TruckTrailerTable::Find(type);
                capacity = t ? (mail ? t->MailCapacity : t->PassengerCapacity) : 0;
            }
        } else {
            capacity = vehicleColumn(type);
        }
        break;
    case int32_t(kModeWater):
    case int32_t(kModeAir):
        capacity = vehicleColumn(int32_t(motion_[0][kMotionType]));
        break;
    default:
        break;
    }
    // A negative capacity in the data is none.
    return capacity > 0 ? uint32_t(capacity) : 0;
}

uint32_t Vehicle::TrainCapacity(bool mail) const {
    const int32_t product = mail ? kMailCargo : kPassengerCargo;
    uint64_t sum = 0;
    for (uint32_t r = 0; r < motion_.size(); ++r) {
        const uint32_t car = motion_[r][kMotionCar];
        if (car < cars_.size() && cars_[car].product == product)
            sum += CarCapacity(r, mail);
    }
    return uint32_t(std::min<uint64_t>(sum, INT32_MAX));
}

float Vehicle::ComputeTrainWeight() {
    float weight = 0.0f;
    for (const CarRecord& car : cars_) {
        if (car.product == -1)
            continue;
        const ProductRow* row = ProductTable::Find(car.product);
        weight += float(uint32_t(car.amount)) * (row ? row->ProductWeight : 0.0f);
    }
    if (GetConnectionType() == int32_t(kModeTrack))
        for (const MotionRecord& m : motion_)
            if (m[kMotionKind] == kKindCar)
                if (const WaggonsRow* w = WaggonsTable::Find(int32_t(m[kMotionType])))
                    weight += w->Weight;
    SetF32(252, weight);
    return weight;
}

void Vehicle::UnloadTownCargo(uint32_t stop, bool mail, float& income) {
    CargoBook& book = mail ? mail_ : passengers_;
    const uint32_t aboardAt = mail ? 228 : 212;
    const int32_t product = mail ? kMailCargo : kPassengerCargo;
    Station* station = schedule_ ? schedule_->GetStopStation(stop) : nullptr;
    std::set<ObjectHandle> served;
    if (schedule_)
        for (uint32_t i = 0; i < schedule_->GetStopCount(); ++i)
            if (Station* s = schedule_->GetStopStation(i))
                s->GetTownFactoriesOfGroup(served);
    auto takeOff = [&](const std::vector<CargoRecord>& records) {
        for (const CargoRecord& r : records)
            SetU32(aboardAt, U32(aboardAt) >= r.amount ? U32(aboardAt) - r.amount : 0);
    };
    // Cargo bound for a town the schedule no longer serves is dropped unpaid.
    for (auto it = book.aboard.begin(); it != book.aboard.end();) {
        if (served.count(it->first)) {
            ++it;
            continue;
        }
        takeOff(it->second);
        it = book.aboard.erase(it);
    }
    if (!station)
        return;
    std::set<ObjectHandle> group;
    station->GetTownFactoriesOfGroup(group);
    Player* owner = GetPlayer(uint32_t(owner_));
    const float bonus = mail && station->HasExtensionType(64) ? station->GetExtensionFactor(64, 1) : 1.0f;
    const uint32_t now = Now();
    for (ObjectHandle town : group) {
        auto it = book.aboard.find(town);
        if (it == book.aboard.end())
            continue;
        bool found = false;
        const TilePoint centre = CentreOf(town, found);
        const float factor = Demand(town, product);
        for (const CargoRecord& r : it->second) {
            const int32_t distance = found ? TileDistance({r.boardX, r.boardY}, centre) : 0;
            float fare = float(
                CalcFreightIncome(product, factor, now - r.time, uint32_t(std::max(distance, 0)), bonus));
            if (!mail && owner && PlayerHeadquarterHasPart(uint32_t(owner_), 4))
                fare *= GetHeadquarterModifier(4);
            fare *= float(r.amount);
            if (!mail && owner && owner->GetStatistics())
                owner->GetStatistics()->AddToRow(kPassengersDeliveredRow, int64_t(r.amount));
            income += fare;
        }
        takeOff(it->second);
        book.aboard.erase(it);
    }
}

uint32_t Vehicle::LoadTownCargo(uint32_t stop, bool mail) {
    CargoBook& book = mail ? mail_ : passengers_;
    const uint32_t aboardAt = mail ? 228 : 212;
    const uint32_t capacityAt = mail ? 232 : 216;
    const int32_t product = mail ? kMailCargo : kPassengerCargo;
    if (!schedule_)
        return kServeDone;
    const int32_t* list = nullptr;
    const uint32_t used = schedule_->GetProducts(stop, &list);
    uint32_t wanted = 0;
    for (uint32_t i = 0; i < used; ++i)
        wanted += list[i] == product ? 1 : 0;
    uint32_t carried = 0;
    for (const CarRecord& car : cars_)
        carried += car.product == product ? 1 : 0;
    // Fewer cars of this cargo asked for than carried: the surplus ones,
    // counted in train order, are emptied.
    if (carried > wanted) {
        uint32_t seen = 0;
        for (const MotionRecord& m : motion_) {
            const uint32_t car = m[kMotionCar];
            if (car >= cars_.size() || cars_[car].product != product)
                continue;
            if (++seen > wanted)
                cars_[car] = CarRecord{};
        }
        for (uint32_t r = uint32_t(motion_.size()); r < cars_.size(); ++r)
            if (cars_[r].product == product)
                cars_[r] = CarRecord{};
    }
    SetU32(capacityAt, TrainCapacity(mail));
    const uint32_t capacity = U32(capacityAt);
    if (U32(aboardAt) > capacity) {
        book.aboard.clear();
        SetU32(aboardAt, 0);
    }
    if (U32(aboardAt) == capacity || capacity == 0)
        return kServeDone;
    Station* station = schedule_->GetStopStation(stop);
    std::set<ObjectHandle> served;
    for (uint32_t i = 0; i < schedule_->GetStopCount(); ++i)
        if (Station* s = schedule_->GetStopStation(i))
            s->GetTownFactoriesOfGroup(served);
    std::set<ObjectHandle> group;
    if (station)
        station->GetTownFactoriesOfGroup(group);

    // The cargo aboard spread over the cars in train order; the first car
    // with room left takes the next boarders.
    uint32_t unplaced = U32(aboardAt);
    CarRecord* current = nullptr;
    uint32_t currentCapacity = 0;
    for (uint32_t r = 0; r < motion_.size(); ++r) {
        const uint32_t car = motion_[r][kMotionCar];
        if (car >= cars_.size() || cars_[car].product != product)
            continue;
        const uint32_t room = CarCapacity(r, mail);
        const uint32_t put = std::min(unplaced, room);
        cars_[car].amount = int32_t(put);
        unplaced -= put;
        if (!current && put < room) {
            current = &cars_[car];
            currentCapacity = room;
        }
    }
    const VehicleCargoHooks& hooks = GetVehicleCargoHooks();
    bool full = false;
    while (!full && current && U32(aboardAt) < capacity) {
        bool took = false;
        for (ObjectHandle from : group) {
            if (full)
                break;
            const std::map<ObjectHandle, uint32_t>* waiting = Waiting(from, mail);
            if (!waiting)
                continue;
            // A copy: the taking below changes the map.
            const std::map<ObjectHandle, uint32_t> counts = *waiting;
            for (const auto& [destination, count] : counts) {
                if (count == 0 || !served.count(destination))
                    continue;
                if (hooks.take)
                    hooks.take(from, destination, mail, 1);
                took = true;
                ++book.boardings[destination][from];
                ++current->amount;
                SetU32(aboardAt, U32(aboardAt) + 1);
                if (uint32_t(current->amount) >= currentCapacity) {
                    if (U32(aboardAt) < capacity) {
                        SetU32(240, uint32_t(product));
                        return kServeCarServed;
                    }
                    full = true;
                    break;
                }
            }
        }
        if (!took) {
            if (schedule_->GetWaitOption1(stop) != 0) {
                SetU32(240, uint32_t(product));
                return kServeWaitsForCargo;
            }
            break;
        }
    }
    // The boardings of this stop become records.
    const uint32_t now = Now();
    uint64_t total = 0;
    for (const auto& [destination, byOrigin] : book.boardings)
        for (const auto& [origin, count] : byOrigin) {
            bool found = false;
            const TilePoint centre = CentreOf(origin, found);
            // A boarding factory gone in the meantime: the stop's station
            // stands in for the boarding tile.
            const TilePoint tile = found     ? centre
                                   : station ? TilePoint{station->GetX(), station->GetY()}
                                             : TilePoint{0, 0};
            book.aboard[destination].push_back({destination, now, count, tile.x, tile.y});
            total += count;
        }
    book.boardings.clear();
    if (!mail && station)
        for (uint32_t kind = 0; kind < 3; ++kind) {
            // The income kinds of the extensions of type bits 2, 4 and 256.
            const uint32_t bit = kind == 0 ? 2u : kind == 1 ? 4u : 256u;
            if (!station->HasExtensionType(bit))
                continue;
            const float ratio = station->GetExtensionFactor(bit, 3);
            const float amount = station->GetExtensionFactor(bit, 2);
            station->AddIncome(kind, int32_t(float(total) * ratio * amount));
        }
    return kServeDone;
}

bool Vehicle::UnloadOneProductCar(uint32_t stop, bool& more) {
    Station* station = schedule_->GetStopStation(stop);
    const int32_t* list = nullptr;
    const uint32_t used = schedule_->GetProducts(stop, &list);
    std::vector<bool> keptBy(used, false);
    const uint32_t cars = std::min<uint32_t>(uint32_t(motion_.size()), uint32_t(cars_.size()));
    for (uint32_t i = 0; i < cars; ++i) {
        CarRecord& car = cars_[i];
        if (car.product == -1 || car.product == kPassengerCargo || car.product == kMailCargo)
            continue;
        // Each entry of the stop's list keeps one car of its product.
        bool kept = false;
        for (uint32_t k = 0; k < used && !kept; ++k)
            if (!keptBy[k] && list[k] == car.product)
                kept = keptBy[k] = true;
        if (kept)
            continue;
        more = false;
        if (!station || !station->AcceptsProduct(car.product, owner_)) {
            // Nobody takes it here: the car keeps its load.
            continue;
        }
        float income = GetStopIncome();
        const bool bonus = station->HasExtensionType(512);
        while (car.amount > 0) {
            if (schedule_->GetWaitOption2(stop) != 0 && !station->AcceptsProduct(car.product, owner_)) {
                more = true;
                break;
            }
            Station::Load load;
            load.product = car.product;
            load.owner = owner_;
            load.loadTime = uint32_t(car.word1);
            load.loadX = car.word3;
            load.loadY = car.word4;
            float paid = station->DeliverProduct(load);
            if (bonus)
                paid *= station->GetExtensionFactor(512, 1);
            income += paid;
            --car.amount;
        }
        SetF32(220, income);
        SetU32(240, uint32_t(car.product));
        if (!more)
            car = CarRecord{};
        return true;
    }
    return false;
}

uint32_t Vehicle::LoadProducts(uint32_t stop) {
    Station* station = schedule_->GetStopStation(stop);
    const int32_t* list = nullptr;
    const uint32_t used = schedule_->GetProducts(stop, &list);
    const uint32_t cars = std::min<uint32_t>(uint32_t(motion_.size()), uint32_t(cars_.size()));
    std::vector<bool> taken(cars, false);
    const VehicleCargoHooks& hooks = GetVehicleCargoHooks();
    for (uint32_t k = 0; k < used; ++k) {
        const int32_t product = list[k];
        if (product == -1 || product == kPassengerCargo || product == kMailCargo)
            continue;
        // A car of the product that already holds its unit is passed over.
        bool holds = false;
        for (uint32_t i = 0; i < cars && !holds; ++i)
            if (!taken[i] && cars_[i].product == product && cars_[i].amount > 0)
                holds = taken[i] = true;
        if (holds)
            continue;
        for (uint32_t i = 0; i < cars; ++i) {
            CarRecord& car = cars_[i];
            if (taken[i] || !(car.product == -1 || (car.product == product && car.amount == 0)))
                continue;
            taken[i] = true;
            car.product = product;
            SetU32(240, uint32_t(product));
            if (station && hooks.takeProduct && hooks.takeProduct(*station, product)) {
                car.amount = 1;
                car.word1 = int32_t(Now());
                car.word3 = station->GetX();
                car.word4 = station->GetY();
                return kServeCarServed;
            }
            return kServeWaitsForCargo;
        }
    }
    return kServeDone;
}

uint32_t Vehicle::ServeStop(uint32_t stop) {
    SetU32(240, uint32_t(-1));
    if (!schedule_)
        return kServeDone;
    if (motion_.empty())
        BuildMotionRecords();
    if (GetState() == kStateUnloading) {
        float income = GetStopIncome();
        UnloadPassengers(stop, income);
        UnloadMail(stop, income);
        SetF32(220, income);
        bool more = false;
        if (UnloadOneProductCar(stop, more))
            return kServeCarServed;
        if (!CoupleUnits(false))
            return kServeNotReady;
        SetState(kStateLoading);
        const float result = GetStopIncome() - GetStopCosts();
        // Only the income is booked here: the costs went to the owner as
        // they arose. The schedule keeps the stop's result.
        const int64_t paid = int64_t(GetStopIncome());
        if (Player* owner = GetPlayer(uint32_t(owner_)); owner && paid != 0)
            owner->Pay(paid, kStopIncomeCategory, uint32_t(GetConnectionType()));
        schedule_->AddIncome(int32_t(std::clamp(result, -2.0e9f, 2.0e9f)));
        SetF32(220, 0.0f);
        SetF32(224, 0.0f);
    }
    // The car list in the order of the stop's list: each entry takes the
    // first car of its cargo not yet taken; a town cargo entry without
    // such a car gets an empty car of that cargo.
    const int32_t* list = nullptr;
    const uint32_t used = schedule_->GetProducts(stop, &list);
    const uint32_t cars = std::min<uint32_t>(uint32_t(motion_.size()), uint32_t(cars_.size()));
    std::vector<CarRecord> old(cars_.begin(), cars_.begin() + cars);
    std::vector<bool> taken(cars, false);
    std::vector<CarRecord> rebuilt(cars, CarRecord{});
    std::vector<bool> placed(cars, false);
    for (uint32_t k = 0; k < used && k < cars; ++k) {
        if (list[k] == -1)
            continue;
        for (uint32_t i = 0; i < cars; ++i)
            if (!taken[i] && old[i].product == list[k]) {
                taken[i] = true;
                rebuilt[k] = old[i];
                placed[k] = true;
                break;
            }
        if (!placed[k] && (list[k] == kPassengerCargo || list[k] == kMailCargo)) {
            rebuilt[k].product = list[k];
            placed[k] = true;
        }
    }
    // Cars the list does not name keep their cargo in the free places.
    uint32_t free = 0;
    for (uint32_t i = 0; i < cars; ++i) {
        if (taken[i] || old[i].product == -1)
            continue;
        while (free < cars && placed[free])
            ++free;
        if (free == cars)
            break;
        rebuilt[free] = old[i];
        placed[free] = true;
    }
    std::copy(rebuilt.begin(), rebuilt.end(), cars_.begin());
    UpdatePassengerCapacity();
    UpdateMailCapacity();
    uint32_t answer = LoadPassengers(stop);
    if (answer == kServeDone)
        answer = LoadMail(stop);
    if (answer != kServeDone)
        return answer;
    return LoadProducts(stop);
}

bool Vehicle::CoupleUnits(bool handOver) {
    if (!schedule_)
        return true;
    const auto block = schedule_->GetSettingsBlock();
    ReleaseReservations();
    std::vector<Vehicle*> released;
    for (uint32_t i = 1; i < kUnits; ++i) {
        const ObjectHandle handle = GetUnit(i);
        if (handle != 0 && handle != id_)
            if (Vehicle* unit = GetVehicle(handle)) {
                unit->SetState(kStateIdle);
                for (uint32_t k = 0; k < kUnits; ++k)
                    unit->SetUnit(k, 0);
                unit->ResetCargoBooks();
                unit->schedule_ = nullptr;
                released.push_back(unit);
            }
        SetUnit(i, 0);
        const ObjectHandle named = i < VehicleSchedule::kSettingsVehicles ? block[i] : 0;
        Vehicle* next = named && named != id_ ? GetVehicle(named) : nullptr;
        if (next && next->GetOwner() == owner_ &&
            (next->GetState() == kStateIdle || next->GetState() == kStateHeld)) {
            next->SetState(kStateCoupled);
            SetUnit(i, named);
        }
    }
    bool stays = true;
    const ObjectHandle lead = block[0];
    if (lead != 0 && lead != GetUnit(0) && lead != id_) {
        stays = false;
        Vehicle* leader = GetVehicle(lead);
        if (leader && leader != this && leader->GetOwner() == owner_) {
            HandOverToLead(*leader, handOver);
        } else {
            SetState(kStateIdle);
            ReleaseStationSlot();
            schedule_->SetVehicle(0);
            schedule_ = nullptr;
            for (uint32_t k = 0; k < kUnits; ++k)
                SetUnit(k, 0);
            ResetCargoBooks();
        }
    }
    released.push_back(this);
    for (Vehicle* unit : released)
        if (unit->GetState() == kStateIdle)
            unit->Repair(true);
    if (stays) {
        BuildMotionRecords();
        UpdatePassengerCapacity();
        UpdateMailCapacity();
    }
    return stays;
}

void Vehicle::HandOverToLead(Vehicle& lead, bool handOver) {
    lead.cars_ = cars_;
    lead.trail_ = trail_;
    lead.trailObjects_ = trailObjects_;
    lead.trailFlags_ = trailFlags_;
    lead.route_.reset();
    if (route_) {
        lead.route_ = std::make_unique<WaypointList>(std::max<uint32_t>(route_->Count(), 1));
        lead.route_->Append(*route_);
    }
    lead.schedule_ = schedule_;
    lead.passengers_ = passengers_;
    lead.mail_ = mail_;
    // The running state of the block: stop, route position, slot, wake
    // times, the directions and length, the stop's income and costs, the
    // cargo totals.
    for (uint32_t at : {0u, 4u, 12u, 16u, 20u, 24u, 88u, 96u, 112u, 212u, 220u, 224u, 228u})
        lead.SetU32(at, U32(at));
    for (uint32_t at = 28; at <= 32; ++at)
        lead.block_[at] = block_[at];
    lead.block_[116] = block_[116];
    lead.block_[124] = block_[124];
    lead.SetState(handOver ? GetState() : kStateUnloading);
    lead.SetPosition(trail_[0].x, trail_[0].y);
    lead.SetNextWake(lead.U32(24));
    SetState(kStateIdle);
    if (schedule_) {
        schedule_->SetVehicle(lead.GetId());
        lead.SetUnit(0, lead.GetId());
        const auto block = schedule_->GetSettingsBlock();
        for (uint32_t i = 1; i < kUnits; ++i)
            lead.SetUnit(i, block[i] == lead.GetId() ? 0 : block[i]);
    }
    schedule_ = nullptr;
    lead.BuildMotionRecords();
    lead.UpdatePassengerCapacity();
    lead.UpdateMailCapacity();
    lead.ComputeTrainWeight();
    for (uint32_t k = 0; k < kUnits; ++k)
        SetUnit(k, 0);
    ResetCargoBooks();
    SetU32(16, 0);
}
