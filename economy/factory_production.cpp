// The factories' time: monthly production by kind, the 50 ms update of
// smoke and crops, the town centres' weekly and the attractions' monthly
// share-out of passengers and mail.
#include "data/generated/economy_tables.h"
#include "economy/city.h"
#include "economy/factory.h"
#include "economy/factory_types.h"
#include "vehicles/harvester.h"
#include "world/game_clock.h"
#include "world/object_manager.h"
#include "world/world_cell.h"
#include "world/world_map.h"
#include "world/world_warnings.h"
#include "world/yearly_modifiers.h"

#include <algorithm>

namespace {

constexpr float kMonthMs = 900000.0f / 12.0f;

const GlobalConstantsRow* Constants() {
    return GlobalConstantsTable::Find(0);
}

// The wood of the decorations whose origin lies in the square around a
// factory, and the first such tree with its amount.
struct TreeSearch {
    int64_t total = 0;
    int32_t x = -1, y = -1;
    int32_t amount = 0;
};

int32_t WoodOfKind(uint32_t kind) {
    const GlobalConstantsRow* constants = Constants();
    if (!constants)
        return 0;
    const ValueTable& table = constants->WoodAmountTable;
    for (uint32_t r = 0; r < table.RowCount(); ++r)
        if (table.IntCell(0, r) == int32_t(kind))
            return table.IntCell(1, r);
    return 0;
}

TreeSearch SearchTrees(int32_t x, int32_t y, int32_t w, int32_t h) {
    TreeSearch found;
    const GlobalConstantsRow* constants = Constants();
    const int64_t r = constants ? std::max(0, constants->WoodCuttingRadius) : 0;
    WorldMap& map = GetWorldMap();
    for (int64_t tx = x - r; tx < x + r + w; ++tx) {
        for (int64_t ty = y - r; ty < y + r + h; ++ty) {
            if (tx < 0 || ty < 0 || !map.InMap(uint32_t(tx), uint32_t(ty)))
                continue;
            const WorldCell& cell = *map.CellAt(uint32_t(tx), uint32_t(ty));
            if (cell.Kind() != kCellDecoration)
                continue;
            if (!(cell.word1 & decoration_bits::kOriginBit) &&
                (cell.word1 >> decoration_bits::kColumnShift) != 0)
                continue;
            const int32_t amount = WoodOfKind((cell.word1 >> 17) & 0x7F);
            // Only a tree with wood in it is felled.
            if (amount > 0 && found.x < 0) {
                found.x = int32_t(tx);
                found.y = int32_t(ty);
                found.amount = amount;
            }
            found.total += amount;
        }
    }
    return found;
}

} // namespace

int64_t FactoryWoodInReach(const Factory& factory) {
    return SearchTrees(factory.GetX(), factory.GetY(), factory.GetWidth(), factory.GetHeight()).total;
}

float Factory::GetMaxProduction(int32_t product) const {
    auto it = outputs_.find(product);
    const int32_t kind = GetFactoryTyp();
    if (it == outputs_.end() || kind == kTownCentreFactoryKind)
        return 0.0f;
    float v = GetDifficultyProductionModifier(typeIndex_, uint32_t(std::max(0, GetFactoryDifficulty())), 0) *
              it->second.maxAmount;
    if (kind != 6)
        v *= GetProductionOutputModifier();
    return v < 0.0f ? 0.0f : v;
}

float Factory::GetBaseProduction(int32_t product) const {
    auto it = outputs_.find(product);
    if (it == outputs_.end())
        return 0.0f;
    const float m =
        GetDifficultyProductionModifier(typeIndex_, uint32_t(std::max(0, GetFactoryDifficulty())), 0);
    const int32_t kind = GetFactoryTyp();
    if (kind == kTownCentreFactoryKind)
        return m * it->second.maxAmount * float(GetTownInhabitants()) / 100.0f;
    float v = m * it->second.baseAmount;
    if (kind != 6)
        v *= GetProductionOutputModifier();
    return v < 0.0f ? 0.0f : v;
}

void Factory::OnNewPeriod() {
    if (GetFactoryTyp() == kTownCentreFactoryKind)
        TownCentreStep();
}

void Factory::OnNewMonth() {
    MonthlyUpdate();
}

void Factory::Update(uint32_t gameTimeMs) {
    ProductionTick(gameTimeMs);
}

void Factory::MonthlyUpdate() {
    store_.StartNewPeriod();
    if (GetFactoryTyp() != kTownCentreFactoryKind)
        Produce();
    else
        store_.ClearQuantities();
}

void Factory::Produce() {
    switch (GetFactoryTyp()) {
    case 0:
        ProduceDeposit();
        break;
    case 1:
        ProduceProcessing();
        break;
    case 2:
        ProduceConsumer();
        break;
    case 3:
        ProduceCrop();
        break;
    case 4:
        ProduceAnimalFarm();
        break;
    case kTownCentreFactoryKind:
        TownCentreStep();
        break;
    case 6:
        AttractionStep();
        break;
    case 7:
        ProduceWoodCutter();
        break;
    default:
        break;
    }
}

void Factory::AddToStock(int32_t product, int32_t amount) {
    // A store already above its cap gets a negative amount: a plain
    // subtraction, so that the month's in-counter does not wrap.
    if (amount >= 0)
        store_.AddQuantity(product, amount);
    else
        store_.SubtractQuantity(product, -amount);
}

void Factory::ProduceProcessing() {
    const bool hard = GetFactoryDifficulty() == 2;
    for (const auto& [p, record] : outputs_) {
        const float c = GetMaxProduction(p);
        const float a = hard ? 0.0f : GetBaseProduction(p);
        const int32_t r = GetProductResourceNeeded(p);
        int32_t amount = 0, used = 0;
        if (r == -1) {
            amount = TruncToInt(a);
        } else {
            const int32_t s = store_.GetQuantity(r);
            if (float(s) > c) {
                amount = used = TruncToInt(c);
            } else if (float(s) <= a) {
                amount = TruncToInt(a);
                used = s;
            } else {
                amount = used = s;
            }
        }
        const int32_t stock = store_.GetQuantity(p);
        if (float(stock) + float(amount) > c)
            amount = TruncToInt(c - float(stock));
        AddToStock(p, amount);
        if (r != -1)
            store_.SubtractQuantity(r, used);
    }
}

void Factory::ProduceAnimalFarm() {
    for (const auto& [p, record] : outputs_) {
        const float c = GetMaxProduction(p);
        const float a = GetBaseProduction(p);
        const int32_t r = GetProductResourceNeeded(p);
        int32_t amount = 0, used = 0;
        if (r == -1) {
            amount = TruncToInt(a);
        } else {
            const int32_t s = store_.GetQuantity(r);
            if (float(s) > c - a) {
                used = TruncToInt(c - a);
                amount = TruncToInt(c);
            } else {
                amount = TruncToInt(float(s) + a);
                used = s;
            }
        }
        const int32_t stock = store_.GetQuantity(p);
        if (float(stock) + float(amount) > c)
            amount = TruncToInt(c - float(stock));
        AddToStock(p, amount);
        if (r != -1)
            store_.SubtractQuantity(r, used);
    }
}

void Factory::ProduceConsumer() {
    if (outputs_.empty())
        return;
    const int32_t p = outputs_.begin()->first;
    const float c = GetMaxProduction(p);
    const int32_t stock = store_.GetQuantity(p);
    const int32_t used = float(stock) <= c ? stock : TruncToInt(c);
    store_.SubtractQuantity(p, used);
}

void Factory::ProduceDeposit() {
    for (auto& [p, record] : outputs_) {
        const float c = GetMaxProduction(p);
        const int32_t stock = store_.GetQuantity(p);
        const int32_t room = TruncToInt(c - float(stock));
        if (room <= 0 || record.reserve <= 0.0f)
            continue;
        const int32_t n = record.reserve > float(room) ? room : TruncToInt(record.reserve);
        record.reserve -= float(n);
        if (float(stock) < c)
            store_.AddQuantity(p, n);
    }
}

void Factory::ProduceWoodCutter() {
    for (auto& [p, record] : outputs_) {
        const float c = GetMaxProduction(p);
        const int32_t stock = store_.GetQuantity(p);
        const int32_t room = TruncToInt(c - float(stock));
        if (room <= 0 || record.reserve <= -1.0f)
            continue;
        if (record.reserve == 0.0f) {
            const TreeSearch trees = SearchTrees(x_, y_, width_, height_);
            if (trees.total > 0 && trees.x >= 0) {
                record.reserve += float(trees.amount);
                GetWorldMap().RemoveDecorationAt(uint32_t(trees.x), uint32_t(trees.y));
            } else {
                record.reserve = -1.0f;
                continue;
            }
        }
        const int32_t n = record.reserve > float(room) ? room : TruncToInt(record.reserve);
        record.reserve -= float(n);
        if (float(stock) < c)
            store_.AddQuantity(p, n);
    }
}

void Factory::ProduceCrop() {
    const GameClock* clock = GetGameClock();
    if (growthState_ == 0 && !outputs_.empty() && clock) {
        const int32_t first = outputs_.begin()->first;
        if (int32_t(clock->GetMonth()) == GetProductGrowthStartMonth(first)) {
            if (GetProductGrowthMonthLength(first) <= 0) {
                WorldWarning("factory %08x: product %d has no growth length; the fields do not grow", id_,
                             first);
            } else {
                stageStart_ = stageCheckTime_ = CurrentGameTimeMs();
                growthState_ = 1;
                std::fill(fieldStages_.begin(), fieldStages_.end(), 1u);
            }
        }
    }
    if (growthState_ == 4) {
        growthState_ = 0;
        ProduceAnimalFarm();
    }
}

void Factory::ProductionTick(uint32_t now) {
    const FactoryRow* row = FactoryTable::Find(typeIndex_);
    for (auto& [key, entries] : smoke_) {
        for (SmokeEntry& entry : entries) {
            const float cell = row ? row->SmokePosition.Cell(4, entry.row) : -1.0f;
            if (cell < 0.0f)
                continue;
            if (now - entry.lastChange > uint32_t(cell)) {
                entry.frame = (entry.frame + 1) % 8;
                entry.lastChange = now;
            }
        }
    }
    if (GetFactoryTyp() != 3 || growthState_ == 0 || outputs_.empty())
        return;
    const int32_t months = GetProductGrowthMonthLength(outputs_.begin()->first);
    stageCheckTime_ = now;
    if (months <= 0) {
        growthState_ = 0;
        return;
    }
    const float length = float(months) / 3.0f * kMonthMs;
    if (float(now) - float(stageStart_) > length) {
        stageStart_ += uint32_t(length);
        if (growthState_ < 3) {
            ++growthState_;
            std::fill(fieldStages_.begin(), fieldStages_.end(), uint32_t(growthState_));
        } else {
            growthState_ = 4;
            if (!fieldStages_.empty())
                fieldStages_[0] = 0;
            stageStart_ = stageCheckTime_ = now;
            SendHarvester();
        }
    }
}

void Factory::SendHarvester() {
    // A footprint too small for the sweep gets no machine.
    if (width_ < kHarvesterMinimumWidth || height_ < kHarvesterMinimumHeight)
        return;
    MapObject* object = CreateMapObject(kCategoryMoving, kHarvesterSubtype);
    if (auto* harvester = dynamic_cast<Harvester*>(object))
        harvester->Init(id_, x_, y_);
    else if (object)
        DeleteMapObject(object->GetId());
}

// Passengers and mail.

void Factory::RefillStock(bool townCentre) {
    for (const auto& [p, record] : outputs_) {
        const int32_t s = store_.GetQuantity(p);
        const float base = GetBaseProduction(p);
        const float cap = townCentre ? base : GetMaxProduction(p);
        int32_t a = TruncToInt(base);
        if (float(s) + float(a) > cap)
            a = TruncToInt(cap - float(s));
        AddToStock(p, a);
    }
}

namespace {

int32_t Weight(const Factory& factory, bool mail) {
    return TruncToInt(factory.GetBaseProduction(mail ? kMailProduct : kPassengerProduct));
}

} // namespace

void Factory::ChooseDestinations(std::vector<Factory*> candidates, bool mail) {
    std::map<ObjectHandle, uint32_t>& waiting = mail ? mailWaiting_ : passengersWaiting_;
    waiting.clear();
    const GlobalConstantsRow* constants = Constants();
    const int32_t minimum =
        constants ? (mail ? constants->MinimumMailForConnection : constants->MinimumPassengersForConnection)
                  : 0;
    std::vector<std::pair<Factory*, int32_t>> weighted;
    for (Factory* f : candidates)
        if (f != this)
            weighted.emplace_back(f, Weight(*f, mail));
    auto take = [&](size_t limit) {
        size_t added = 0;
        for (const auto& [f, weight] : weighted) {
            if (added >= limit)
                break;
            if (weight > minimum && waiting.emplace(f->GetId(), 0u).second)
                ++added;
        }
    };
    std::stable_sort(weighted.begin(), weighted.end(), [this](const auto& a, const auto& b) {
        return DistanceTo(a.first) < DistanceTo(b.first);
    });
    take(5);
    std::stable_sort(weighted.begin(), weighted.end(),
                     [](const auto& a, const auto& b) { return a.second > b.second; });
    take(5);
    ShareOut(mail);
}

void Factory::ShareOut(bool mail) {
    std::map<ObjectHandle, uint32_t>& waiting = mail ? mailWaiting_ : passengersWaiting_;
    const int32_t product = mail ? kMailProduct : kPassengerProduct;
    float sum = 0.0f;
    for (const auto& [id, count] : waiting)
        if (const Factory* f = GetFactory(id))
            sum += float(Weight(*f, mail));
    const int32_t stock = std::max(0, store_.GetQuantity(product));
    const float p = float(stock);
    int64_t total = 0;
    for (auto& [id, count] : waiting) {
        const Factory* f = GetFactory(id);
        const int32_t n = f && sum > 0.0f ? TruncToInt(float(Weight(*f, mail)) / sum * p) : 0;
        count = uint32_t(std::max(0, n));
        total += count;
    }
    if (float(total) < p)
        store_.SubtractQuantity(product, int32_t(std::min<int64_t>(stock, int64_t(stock) - total)));
}

void Factory::TownCentreStep() {
    RefillStock(true);
    std::vector<Factory*> passengers, mail;
    for (ObjectHandle id : linkedFactories_) {
        Factory* f = GetFactory(id);
        if (!f)
            continue;
        const bool centre = f->GetFactoryTyp() == kTownCentreFactoryKind;
        if (centre || f->IsAttractionOpen())
            passengers.push_back(f);
        if (centre)
            mail.push_back(f);
    }
    ChooseDestinations(passengers, false);
    ChooseDestinations(mail, true);
}

void Factory::AttractionStep() {
    if (linkValue_ == 0)
        RefillStock(false);
    std::vector<Factory*> centres;
    for (ObjectHandle id : linkedFactories_)
        if (Factory* f = GetFactory(id); f && f->GetFactoryTyp() == kTownCentreFactoryKind)
            centres.push_back(f);
    ChooseDestinations(centres, false);
}
