// The texts of a factory: the info text shown when the player points at it
// (from the ToolTip_Factory and ToolTip_Town rows) and the developer text.
#include "data/number_format.h"
#include "data/text_tables.h"
#include "economy/city.h"
#include "economy/factory.h"
#include "economy/factory_types.h"
#include "world/prices.h"

#include <cstdio>

#include <string>
#include <vector>

namespace {

std::string Num(int64_t value) {
    return FormatNumber(value);
}

class InfoText {
public:
    InfoText(std::string& out, bool town) : out_(out), town_(town) { out_.clear(); }
    void Row(int32_t row, const std::vector<std::string>& args = {}) {
        out_ += FillTextRow(town_ ? GetTownTooltipText(row) : GetFactoryTooltipText(row), args);
    }
    void NL() { out_ += '\n'; }
    void Text(const std::string& text) { out_ += text; }

private:
    std::string& out_;
    bool town_;
};

void Head(InfoText& t, const Factory& f) {
    t.Text(GetFactoryTypeName(f.GetTypeIndex()));
    t.NL();
    t.Text(f.GetDisplayName());
    t.NL();
    t.NL();
}

// The stock limit of the acceptance rule at the hardest level.
std::string NeedOf(const Factory& f, int32_t accepted) {
    for (const auto& entry : f.GetOutputs())
        if (GetProductResourceNeeded(entry.first) == accepted)
            return Num(TruncToInt(2.0f * f.GetMaxProduction(entry.first)));
    return Num(0);
}

void InputLines(InfoText& t, const Factory& f, int32_t offset, bool consumer) {
    for (int32_t a : f.GetAcceptedProducts()) {
        std::string need;
        if (consumer)
            need = Num(f.GetOutputs().empty()
                           ? 0
                           : TruncToInt(2.0f * f.GetMaxProduction(f.GetOutputs().begin()->first)));
        else
            need = NeedOf(f, a);
        t.Row(offset + 4, {GetProductName(a)});
        t.NL();
        if (GetFactoryDifficulty() == 0)
            need = GetFactoryTooltipText(offset + 9);
        t.Row(offset + 5, {need});
        t.NL();
        t.Row(offset + 6, {Num(f.GetStore().GetInCounter(a, 0))});
        t.NL();
    }
}

void ProcessingText(const Factory& f, std::string& out, int32_t offset) {
    InfoText t(out, false);
    Head(t, f);
    for (const auto& [p, record] : f.GetOutputs()) {
        t.Row(offset + 0, {GetProductName(p)});
        t.NL();
        t.Row(offset + 1, {Num(TruncToInt(f.GetBaseProduction(p)))});
        t.NL();
        t.Row(offset + 2, {Num(TruncToInt(f.GetMaxProduction(p)))});
        t.NL();
        t.Row(offset + 3, {Num(f.GetStore().GetOutCounter(p, 0))});
        t.NL();
    }
    t.NL();
    InputLines(t, f, offset, false);
    t.NL();
    t.Row(offset + 7);
    t.NL();
    for (const auto& [p, record] : f.GetOutputs()) {
        t.Row(offset + 8, {Num(f.GetStock(p)), GetProductName(p)});
        t.NL();
    }
    for (int32_t a : f.GetAcceptedProducts()) {
        t.Row(offset + 8, {Num(f.GetStock(a)), GetProductName(a)});
        t.NL();
    }
    if (offset == 10 && !f.GetOutputs().empty()) {
        const int32_t p = f.GetOutputs().begin()->first;
        const int32_t month = (GetProductGrowthStartMonth(p) + GetProductGrowthMonthLength(p) + 1) % 12;
        t.Row(19, {TextTables::GetMN(month < 0 ? month + 12 : month)});
    }
}

void ConsumerText(const Factory& f, std::string& out) {
    InfoText t(out, false);
    Head(t, f);
    InputLines(t, f, 0, true);
}

void DepositText(const Factory& f, std::string& out, bool woodCutter) {
    InfoText t(out, false);
    Head(t, f);
    for (const auto& [p, record] : f.GetOutputs()) {
        t.Row(20, {GetProductName(p)});
        t.NL();
        t.Row(21, {Num(TruncToInt(f.GetMaxProduction(p)))});
        t.NL();
        t.Row(22, {Num(f.GetStore().GetOutCounter(p, 0))});
        t.NL();
    }
    t.NL();
    t.Row(23);
    t.NL();
    for (const auto& [p, record] : f.GetOutputs()) {
        t.Row(24, {Num(f.GetStock(p)), GetProductName(p)});
        t.NL();
    }
    t.NL();
    t.Row(25);
    t.NL();
    if (f.GetOutputs().empty())
        return;
    const auto& [p, record] = *f.GetOutputs().begin();
    int64_t left = TruncToInt(record.reserve);
    if (woodCutter) {
        const int64_t wood = FactoryWoodInReach(f);
        left = record.reserve == -1.0f ? wood : TruncToInt(float(wood) + record.reserve);
    }
    t.Row(24, {Num(left), GetProductName(p)});
}

void AttractionText(const Factory& f, std::string& out) {
    InfoText t(out, false);
    Head(t, f);
    if (f.GetLinkValue() <= 0) {
        t.Row(33);
        t.NL();
        for (const auto& [id, count] : f.GetPassengersWaiting()) {
            const Factory* d = GetFactory(id);
            if (d && d->GetFactoryTyp() == kTownCentreFactoryKind)
                t.Row(34, {Num(count), d->GetDisplayName()});
        }
        t.NL();
        t.Row(35);
        t.NL();
        t.Text(GetProductName(kPassengerProduct));
    } else {
        const int32_t material = GetBuildingResource(f.GetTypeIndex(), 0, 0);
        t.Row(30);
        t.NL();
        t.Row(31, {Num(GetBuildingResource(f.GetTypeIndex(), 0, 1)), GetProductName(material)});
        t.NL();
        t.NL();
        t.Row(32);
        t.NL();
        t.Row(31, {Num(f.GetDeliveredBuildingUnits()), GetProductName(material)});
    }
    t.NL();
}

void TownCentreText(const Factory& f, std::string& out) {
    InfoText t(out, true);
    const City* town = GetCity(f.GetTownIndex());
    const uint32_t h = f.GetTownInhabitants();
    t.Row(0);
    t.NL();
    t.Text(town ? town->GetName() : f.GetName());
    t.NL();
    t.Row(1, {Num(h)});
    t.NL();
    t.NL();
    t.Row(2);
    t.NL();
    std::vector<int32_t> goods;
    for (int32_t p : f.GetAcceptedProducts())
        if (p != kPassengerProduct && p != kMailProduct && TestProductFlag(uint32_t(p)) &&
            int64_t(GetProductMinimumInhabitants(p)) <= int64_t(h) && GetProductInhabitantsPerUnit(p) > 0)
            goods.push_back(p);
    for (size_t i = 0; i < goods.size(); i += 3) {
        const size_t k = std::min<size_t>(3, goods.size() - i);
        std::vector<std::string> args;
        for (size_t j = i; j < i + k; ++j) {
            args.push_back(GetProductName(goods[j]));
            args.push_back(Num(h / uint32_t(GetProductInhabitantsPerUnit(goods[j]))));
            args.push_back(Num(f.GetStock(goods[j])));
        }
        t.Row(k == 3 ? 3 : k == 2 ? 4 : 5, args);
        t.NL();
    }
    t.NL();
    t.Row(6);
    t.NL();
    for (const auto& [p, record] : f.GetOutputs()) {
        t.Row(7, {GetProductName(p), Num(f.GetStore().GetOutCounter(p, 0)),
                  Num(TruncToInt(f.GetBaseProduction(p)))});
        t.NL();
    }
    auto destinations = [&](const std::map<ObjectHandle, uint32_t>& waiting) {
        size_t n = 0;
        for (const auto& [id, count] : waiting) {
            const Factory* d = GetFactory(id);
            std::string label;
            if (d && d->GetFactoryTyp() == kTownCentreFactoryKind)
                label = d->GetDisplayName();
            else if (d)
                label = GetFactoryTypeName(d->GetTypeIndex()) + " " + d->GetDisplayName();
            t.Row(9, {label, Num(count)});
            if (++n % 2 == 1)
                t.Text(",");
            else
                t.NL();
        }
        if (n % 2 == 1)
            t.NL();
    };
    t.Row(8);
    t.NL();
    destinations(f.GetPassengersWaiting());
    t.Row(10);
    t.NL();
    destinations(f.GetMailWaiting());
}

std::string Printf(const char* format, int64_t value) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, format, static_cast<long long>(value));
    return buffer;
}

} // namespace

void Factory::GetInfoText(std::string& out) const {
    switch (GetFactoryTyp()) {
    case 0:
        DepositText(*this, out, false);
        break;
    case 7:
        DepositText(*this, out, true);
        break;
    case 1:
    case 4:
        ProcessingText(*this, out, 0);
        break;
    case 2:
        ConsumerText(*this, out);
        break;
    case 3:
        ProcessingText(*this, out, 10);
        break;
    case kTownCentreFactoryKind:
        TownCentreText(*this, out);
        break;
    case 6:
        AttractionText(*this, out);
        break;
    default:
        out.clear();
        break;
    }
}

void Factory::GetDebugText(std::string& out) const {
    const int32_t kind = GetFactoryTyp();
    const std::string typeName = GetFactoryTypeName(typeIndex_);
    auto stockLine = [&](int32_t p) {
        out += Printf("%lld Einheiten ", store_.GetQuantity(p)) + GetProductName(p) + " im Lager\n";
    };
    auto pickedUp = [&]() {
        int64_t now = 0, last = 0;
        for (const auto& entry : outputs_) {
            now += store_.GetOutCounter(entry.first, 0);
            last += store_.GetOutCounter(entry.first, 1);
        }
        out += Printf("%lld Einheiten diesen Monat abgeholt\n", now);
        out += Printf("%lld Einheiten im Vormonat abgeholt\n", last);
    };
    auto names = [](const std::vector<int32_t>& products) {
        std::string list;
        for (int32_t p : products)
            list += (list.empty() ? "" : ", ") + GetProductName(p);
        return list;
    };
    std::vector<int32_t> made;
    for (const auto& entry : outputs_)
        made.push_back(entry.first);
    out = "Name: " + typeName + "\n";
    switch (kind) {
    case 0:
    case 7:
        for (const auto& [p, record] : outputs_) {
            out += Printf("Produziert %lld Einheiten ", TruncToInt(GetBaseProduction(p))) +
                   GetProductName(p) + " pro Monat\n";
            out += Printf("%lld Einheiten im Lager\n", store_.GetQuantity(p));
            out += Printf("%lld Einheiten diesen Monat abgeholt\n", store_.GetOutCounter(p, 0));
            out += Printf("%lld Einheiten im Vormonat abgeholt\n", store_.GetOutCounter(p, 1));
            out += Printf("%lld Einheiten noch verfügbar", int64_t(TruncToInt(record.reserve)));
        }
        break;
    case 2:
        out += Printf("%lld Einheiten im Lager\n", outputs_.empty() ? 0 : store_.GetQuantity(made[0]));
        break;
    case 3:
    case 4:
        out += "Produziert: " + names(made) + "\n";
        out += "Akzeptiert: " + names(acceptedProducts_) + "\n";
        for (int32_t p : made) {
            out += Printf("Produziert %lld Einheiten ", TruncToInt(GetBaseProduction(p))) +
                   GetProductName(p) + (kind == 3 ? " pro jahr\n" : " pro Monat\n");
            stockLine(p);
        }
        for (int32_t p : acceptedProducts_)
            stockLine(p);
        pickedUp();
        break;
    default: {
        const uint32_t h = GetTownInhabitants();
        const bool centre = kind == kTownCentreFactoryKind;
        if (centre) {
            const City* town = GetCity(GetTownIndex());
            out += "Name: " + (town ? town->GetName() : std::string()) + "\n";
        }
        out += "Produziert: " + names(made) + "\n";
        out += "Akzeptiert:\n";
        const bool waitingForMaterial = kind == 6 && linkValue_ > 0;
        for (int32_t p : acceptedProducts_) {
            out += GetProductName(p);
            const int32_t perUnit = GetProductInhabitantsPerUnit(p);
            if (centre && perUnit > 0 && int64_t(h) >= int64_t(GetProductMinimumInhabitants(p)))
                out += " (" + std::to_string(store_.GetQuantity(p)) + "/" +
                       std::to_string(h / uint32_t(perUnit)) + ")";
            else if (centre)
                out += " not yet";
            out += "\n";
        }
        if (waitingForMaterial)
            out += " (" + std::to_string(GetDeliveredBuildingUnits()) + "/" +
                   std::to_string(GetBuildingResource(typeIndex_, 0, 1)) + ")\n";
        if (!waitingForMaterial) {
            for (int32_t p : made) {
                out += Printf("Produziert %lld Einheiten ", TruncToInt(GetBaseProduction(p))) +
                       GetProductName(p) + " pro Monat\n";
                stockLine(p);
            }
            for (int32_t p : acceptedProducts_)
                stockLine(p);
            pickedUp();
        }
        if (centre || IsAttractionOpen()) {
            for (const auto& [id, count] : passengersWaiting_) {
                const Factory* d = GetFactory(id);
                if (d && d->GetFactoryTyp() == kTownCentreFactoryKind) {
                    const City* town = GetCity(d->GetTownIndex());
                    out += Printf("%lld Passagiere für Stadt ", count) + (town ? town->GetName() : "") + "(" +
                           std::to_string(d->GetTownIndex()) + ")\n";
                } else {
                    out += Printf("%lld Passagiere für Attraktion ", count) +
                           (d ? GetFactoryTypeName(d->GetTypeIndex()) : "") + "\n";
                }
            }
            for (const auto& [id, count] : mailWaiting_) {
                const Factory* d = GetFactory(id);
                const City* town = d ? GetCity(d->GetTownIndex()) : nullptr;
                out += Printf("%lld Post für Stadt ", count) + (town ? town->GetName() : "") + "(" +
                       std::to_string(d ? d->GetTownIndex() : 0) + ")\n";
            }
        }
        break;
    }
    }
    out += "\nObjectID:" + std::to_string(id_) + " ";
}
