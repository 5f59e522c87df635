// Drives every column setter of the schema with values taken from the
// input (rows, floats, texts, tables of any shape), reads each cell back,
// and checks that the file-location tables never take back a virtual
// directory they did not register.
#include "data/generated/tables.h"
#include "data/schema.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <utility>

namespace {

class Input {
public:
    Input(const uint8_t* data, size_t size) : data_(data), size_(size) {}

    bool Empty() const { return pos_ >= size_; }
    uint8_t Byte() { return pos_ < size_ ? data_[pos_++] : 0; }
    uint32_t Word() {
        uint32_t value = 0;
        for (int i = 0; i < 4; ++i)
            value |= uint32_t(Byte()) << (8 * i);
        return value;
    }
    float Float() {
        const uint32_t bits = Word();
        float value;
        std::memcpy(&value, &bits, sizeof value);
        return value;
    }
    std::string Text() {
        std::string text;
        for (uint8_t length = Byte(); length > 0 && !Empty(); --length)
            text.push_back(char(Byte()));
        return text;
    }

private:
    const uint8_t* data_;
    size_t size_;
    size_t pos_ = 0;
};

// Rows inside the cap fold onto a few rows so that tables stay small;
// negative and absurd rows go through unchanged to meet the refusals.
int32_t Row(Input& in) {
    const int32_t row = int32_t(in.Word());
    return row >= 0 && row < kMaxTableRows ? row % 40 : row;
}

ValueTable Table(Input& in) {
    ValueTable table;
    const uint8_t columns = in.Byte() % 6;
    const uint8_t rows = in.Byte() % 14;
    table.Resize(columns, rows);
    for (float& cell : table.Cells())
        cell = in.Float();
    return table;
}

std::map<std::pair<std::string, std::string>, int> gRegistered;

void InstallHooks() {
    VfsHooks& hooks = GetVfsHooks();
    hooks.addSource = [](const std::string& type, const std::string&) {
        return type == "file" || type == "pkq";
    };
    hooks.addVirtualDir = [](const std::string& name, const std::string& folder) {
        if (name.size() % 3 == 2)
            return false;
        ++gRegistered[{name, folder}];
        return true;
    };
    hooks.removeVirtualDir = [](const std::string& name, const std::string& folder) {
        auto it = gRegistered.find({name, folder});
        if (it == gRegistered.end() || it->second == 0)
            std::abort();
        --it->second;
    };
}

void Apply(const SchemaRow& column, int32_t row, Input& in) {
    if (auto* setValue = std::get_if<ValueSetter>(&column.setter))
        (*setValue)(row, in.Float());
    else if (auto* setFlag = std::get_if<FlagSetter>(&column.setter))
        (*setFlag)(row, in.Byte());
    else if (auto* setText = std::get_if<TextSetter>(&column.setter)) {
        const std::string text = in.Text();
        (*setText)(row, in.Byte() % 8 == 0 ? nullptr : text.c_str());
    } else if (auto* setTable = std::get_if<TableSetter>(&column.setter))
        (*setTable)(row, Table(in));

    float value;
    uint8_t flag;
    std::string text;
    ValueTable table;
    if (auto* getValue = std::get_if<ValueGetter>(&column.getter))
        (*getValue)(row, &value);
    else if (auto* getFlag = std::get_if<FlagGetter>(&column.getter))
        (*getFlag)(row, &flag);
    else if (auto* getText = std::get_if<TextGetter>(&column.getter))
        (*getText)(row, &text);
    else if (auto* getTable = std::get_if<TableGetter>(&column.getter))
        (*getTable)(row, &table);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const SchemaRow* schema = RegisterAccessors();
    InstallHooks();
    Input in(data, size);
    SetInstallPath(in.Text());
    while (!in.Empty()) {
        const uint8_t low = in.Byte();
        const uint16_t index = uint16_t(low | (in.Byte() << 8));
        const int32_t row = Row(in);
        Apply(schema[index % kSchemaColumnCount], row, in);
        TexturesTable::GetVirtualDirNameOf(row);
    }
    ResetAllTables();
    gRegistered.clear();
    return 0;
}
