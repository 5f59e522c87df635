#include "database_fixture.h"

#include <sstream>

RecordingSchema::RecordingSchema() {
    auto record = [this](const char* table, const char* column, int32_t row, const std::string& value) {
        calls.push_back(std::string(table) + "." + column + "[" + std::to_string(row) + "]=" + value);
        return accept;
    };
    auto value = [record](const char* table, const char* column) {
        return ValueSetter([=](int32_t row, float v) {
            std::ostringstream text;
            text << v;
            return record(table, column, row, text.str());
        });
    };
    auto flag = [record](const char* table, const char* column) {
        return FlagSetter(
            [=](int32_t row, uint8_t v) { return record(table, column, row, std::to_string(v)); });
    };
    auto text = [record](const char* table, const char* column) {
        return TextSetter([=](int32_t row, const char* v) { return record(table, column, row, v); });
    };
    auto grid = [record](const char* table, const char* column) {
        return TableSetter([=](int32_t row, const ValueTable& v) {
            return record(table, column, row,
                          std::to_string(v.RowCount()) + "x" + std::to_string(v.ColumnCount()));
        });
    };
    rows_ = {
        {"Alpha", "Count", value("Alpha", "Count"), {}, type_code::kMasterValue},
        {"Alpha", "Enabled", flag("Alpha", "Enabled"), {}, type_code::kMasterFlag},
        {"Alpha", "Grid", grid("Alpha", "Grid"), {}, type_code::kMasterTable},
        {"Alpha", "Label", text("Alpha", "Label"), {}, type_code::kMasterString},
        {"Alpha", "Name", text("Alpha", "Name"), {}, type_code::kMasterStrXlat},
        {"Beta", "Level", value("Beta", "Level"), {}, type_code::kMissionValue},
        {"Beta", "Note", {}, {}, type_code::kMissionString},
        {"Beta", "Total", value("Beta", "Total"), {}, type_code::kMasterValue},
        {"", "Skipped", {}, {}, type_code::kMasterValue},
        {nullptr, nullptr, {}, {}, 0},
    };
}
