#include "economy/factory_types.h"

#include "data/generated/economy_tables.h"
#include "data/generated/interface_tables.h"
#include "economy/factory.h"
#include "world/world.h"

namespace {

struct FactoryWorldPart : WorldAttachment {
    FactoryWorldState state;
};

const ValueTable* ListOf(int32_t type, ValueTable FactoryRow::*column) {
    const FactoryRow* row = FactoryTable::Find(type);
    return row ? &(row->*column) : nullptr;
}

float Cell(const ValueTable* table, uint32_t row, uint32_t column) {
    return table ? table->Cell(column, row) : -1.0f;
}

const ValueTable* LayoutSide(int32_t layout, int32_t side) {
    const FactoryLayoutRow* row = FactoryLayoutTable::Find(layout);
    if (!row)
        return nullptr;
    if (side == 0)
        return &row->LayoutLeft;
    if (side == 1)
        return &row->LayoutRight;
    return nullptr;
}

std::string WithLineBreaks(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 1 < text.size() && text[i + 1] == 'n') {
            out += '\n';
            ++i;
        } else {
            out += text[i];
        }
    }
    return out;
}

} // namespace

float GetProduceProductValue(int32_t type, uint32_t row, uint32_t column) {
    return Cell(ListOf(type, &FactoryRow::ProduceProduct), row, column);
}
float GetProduceProductBaseAmount(int32_t type, uint32_t row) {
    return GetProduceProductValue(type, row, 1);
}
float GetProduceProductMaxAmount(int32_t type, uint32_t row) {
    return GetProduceProductValue(type, row, 2);
}
float GetProduceProductReserve(int32_t type, uint32_t row) {
    return GetProduceProductValue(type, row, 3);
}
float GetDifficultyProductionModifier(int32_t type, uint32_t row, uint32_t column) {
    return Cell(ListOf(type, &FactoryRow::DifficultyProductionModifier), row, column);
}
float GetSizeMultiplier(int32_t type, uint32_t row, uint32_t column) {
    return Cell(ListOf(type, &FactoryRow::SizeMultiplier), row, column);
}
int32_t GetBuildingResource(int32_t type, uint32_t row, uint32_t column) {
    return TruncToInt(Cell(ListOf(type, &FactoryRow::BuildingResources), row, column));
}

std::string GetFactoryTypeName(int32_t type) {
    const FactoryRow* row = FactoryTable::Find(type);
    return row ? WithLineBreaks(row->Name) : std::string();
}

int32_t GetFactoryTypKind(int32_t type) {
    const FactoryRow* row = FactoryTable::Find(type);
    return row ? row->FactoryTyp : -1;
}

uint32_t GetFactoryLayoutRowCount(int32_t layout, int32_t side) {
    const ValueTable* list = LayoutSide(layout, side);
    return list ? list->RowCount() : 0;
}

uint32_t GetFactoryLayoutColumnCount(int32_t layout, int32_t side) {
    const ValueTable* list = LayoutSide(layout, side);
    return list ? list->ColumnCount() : 0;
}

int32_t GetFactoryLayoutValue(int32_t layout, uint32_t row, uint32_t column) {
    const FactoryLayoutRow* r = FactoryLayoutTable::Find(layout);
    return r ? r->MapSize.IntCell(column, row) : -1;
}

int32_t GetFactoryLayoutSideValue(int32_t layout, int32_t side, uint32_t row, uint32_t column) {
    const ValueTable* list = LayoutSide(layout, side);
    return list ? list->IntCell(column, row) : -1;
}

float GetFactoryEventModifier(int32_t event, uint32_t row, uint32_t column) {
    const FactoryEventsRow* r = FactoryEventsTable::Find(event);
    return r ? r->Modifier.Cell(column, row) : -1.0f;
}

float GetFactoryEventRunTime(int32_t event, uint32_t row, uint32_t column) {
    const FactoryEventsRow* r = FactoryEventsTable::Find(event);
    return r ? r->RunTime.Cell(column, row) : -1.0f;
}

std::string GetProductName(int32_t product) {
    const ProductRow* row = ProductTable::Find(product);
    return row ? WithLineBreaks(row->Name) : std::string();
}
int32_t GetProductResourceNeeded(int32_t product) {
    const ProductRow* row = ProductTable::Find(product);
    return row ? row->ResourceNeeded : -1;
}
int32_t GetProductMinimumInhabitants(int32_t product) {
    const ProductRow* row = ProductTable::Find(product);
    return row ? row->MinimumInhabitants : -1;
}
int32_t GetProductInhabitantsPerUnit(int32_t product) {
    const ProductRow* row = ProductTable::Find(product);
    return row && row->InhabitantsPerUnit > 0 ? row->InhabitantsPerUnit : 0;
}
int32_t GetProductGrowthMonthLength(int32_t product) {
    const ProductRow* row = ProductTable::Find(product);
    return row ? row->GrowthMonthLength : -1;
}
int32_t GetProductGrowthStartMonth(int32_t product) {
    const ProductRow* row = ProductTable::Find(product);
    return row ? row->GrowthStartMonth : -1;
}

std::string GetFactoryTooltipText(int32_t row) {
    const ToolTip_FactoryRow* r = ToolTip_FactoryTable::Find(row);
    return r ? WithLineBreaks(r->Text) : std::string();
}

std::string GetTownTooltipText(int32_t row) {
    const ToolTip_TownRow* r = ToolTip_TownTable::Find(row);
    return r ? WithLineBreaks(r->Text) : std::string();
}

std::string FillTextRow(const std::string& row, const std::vector<std::string>& args) {
    std::string out;
    size_t used = 0;
    bool usable = true;
    for (size_t i = 0; i < row.size() && usable; ++i) {
        if (row[i] != '%') {
            out += row[i];
            continue;
        }
        const char next = i + 1 < row.size() ? row[i + 1] : '\0';
        if (next == '%') {
            out += '%';
        } else if (next == 's' && used < args.size()) {
            out += args[used++];
        } else {
            usable = false;
        }
        ++i;
    }
    if (usable && used == args.size())
        return out;
    out = row;
    for (const std::string& arg : args)
        out += (out.empty() ? "" : " ") + arg;
    return out;
}

std::vector<std::string> GetFactoryNameEndings() {
    std::vector<std::string> endings;
    for (int32_t r = kFactoryNameEndingRow; r < ToolTip_FactoryTable::RowCount(); ++r) {
        const ToolTip_FactoryRow* row = ToolTip_FactoryTable::Find(r);
        if (!row || row->Text.empty())
            break;
        endings.push_back(row->Text);
    }
    return endings;
}

uint32_t GetFactoryCountOfType(int32_t type) {
    uint32_t count = 0;
    for (const Factory* factory : AllFactories())
        count += factory->GetTypeIndex() == type ? 1 : 0;
    return count;
}

FactoryWorldState& GetFactoryWorldState() {
    return CurrentWorld().Attached<FactoryWorldPart>().state;
}

int32_t GetFactoryDifficulty() {
    return GetFactoryWorldState().difficulty;
}

void SetFactoryDifficulty(int32_t level) {
    GetFactoryWorldState().difficulty = level;
}
