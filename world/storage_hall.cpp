#include "world/storage_hall.h"

#include "data/generated/tables.h"
#include "data/number_format.h"
#include "files/chunk_stream.h"
#include "files/chunk_transfer.h"
#include "world/data_text.h"
#include "world/player.h"
#include "world/world_warnings.h"

#include <vector>

namespace {

constexpr uint32_t kTagStock = ChunkTag("lag1");
constexpr uint32_t kTags[] = {kTagStock};
constexpr uint32_t kUnitBytes = 12;

std::string ProductName(int32_t product) {
    const ProductRow* row = ProductTable::Find(product);
    return row ? row->Name : std::string();
}

} // namespace

void StorageHall::Serialize() {
    Building::Serialize();
    TransferTagList(kTags, [this](uint32_t tag) {
        if (tag != kTagStock)
            return;
        std::vector<Unit> units;
        auto transferUnits = [&units] {
            TransferList(units, kUnitBytes, [](Unit& unit) {
                for (uint32_t& word : unit)
                    Transfer(word);
            });
        };
        if (StreamMode() == kStreamStore) {
            uint32_t count = uint32_t(stock_.size());
            Transfer(count);
            for (auto& [product, list] : stock_) {
                int32_t id = product;
                TransferSizedValue(id);
                units.assign(list.begin(), list.end());
                transferUnits();
            }
            return;
        }
        stock_.clear();
        uint32_t count = 0;
        Transfer(count);
        for (uint32_t i = 0; i < count; ++i) {
            if (ChunkBytesLeft() == 0) {
                WorldWarning("storage hall %u: %u products announced, %u found", id_, count, i);
                break;
            }
            int32_t product = 0;
            TransferSizedValue(product);
            units.clear();
            transferUnits();
            std::deque<Unit>& list = stock_[product];
            list.insert(list.end(), units.begin(), units.end());
        }
    });
    if (StreamMode() == kStreamLoad)
        RecountUnits();
}

void StorageHall::RecountUnits() {
    int64_t count = 0;
    const int32_t products = ProductTable::RowCount();
    for (const auto& [product, list] : stock_) {
        if (product >= 0 && product < products)
            count += int64_t(list.size());
    }
    unitCount_ = count > INT32_MAX ? INT32_MAX : int32_t(count);
}

int32_t StorageHall::GetStock(int32_t product) const {
    auto it = stock_.find(product);
    return it == stock_.end() ? 0 : int32_t(it->second.size());
}

bool StorageHall::CanStore(int32_t product) const {
    const ProductRow* row = ProductTable::Find(product);
    const StoragePlaceRow* place = StoragePlaceTable::Find(typeIndex_);
    if (!row || !place || !row->CanPlacedInStorageHall)
        return false;
    return int64_t(unitCount_) + 1 <= place->Capacity;
}

bool StorageHall::AddUnit(int32_t product, uint32_t a, uint32_t b, uint32_t c) {
    stock_[product].push_back({a, b, c});
    if (unitCount_ < INT32_MAX)
        ++unitCount_;
    return true;
}

void StorageHall::TakeUnit(int32_t product, uint32_t& first, uint32_t (&rest)[2]) {
    auto it = stock_.find(product);
    if (it == stock_.end() || it->second.empty())
        return;
    const Unit unit = it->second.front();
    it->second.pop_front();
    first = unit[0];
    rest[0] = unit[1];
    rest[1] = unit[2];
    if (unitCount_ > 0)
        --unitCount_;
}

void StorageHall::GetDebugText(std::string& out) const {
    const int32_t products = ProductTable::RowCount();
    for (int32_t product = 0; product < products; ++product) {
        const int32_t units = GetStock(product);
        if (units > 0)
            out += ProductName(product) + ": " + std::to_string(units) + " Units\n";
    }
}

void StorageHall::GetInfoText(std::string& out) const {
    std::string name;
    // Every hall is named after the first kind, whatever its own.
    GetStoragePlaceName(name, 0);
    out += name;
    out += "\n";
    const int32_t products = ProductTable::RowCount();
    for (int32_t product = 0; product < products; ++product) {
        const int32_t units = GetStock(product);
        if (units > 0)
            out += "\n" + ProductName(product) + ": " + FormatNumber(units);
    }
    out += "\n";
    const ToolTip_TerminalRow* tip = ToolTip_TerminalTable::Find(12);
    const Player* player = GetPlayer(uint32_t(owner_));
    out += FillFormat(tip ? tip->Text : std::string(), player ? player->GetCompanyName() : std::string());
}

void GetStoragePlaceName(std::string& out, int32_t row) {
    const StoragePlaceRow* place = StoragePlaceTable::Find(row);
    out = place ? WithLineBreaks(place->Name) : std::string();
}

void ClearStoragePlaceTable() {
    StoragePlaceTable::Clear();
}
