#include "world/product_quantity_map.h"

#include "files/chunk_stream.h"
#include "files/chunk_transfer.h"
#include "platform/endian.h"
#include "world/packed_field.h"
#include "world/world_warnings.h"

namespace {

constexpr uint32_t kTagStock = ChunkTag("ist1");
constexpr uint32_t kRecordBytes = 20;

// Adds in 32 bits with wrap-around, as the stored counters do.
int32_t Wrapped(int32_t a, int32_t b) {
    return int32_t(uint32_t(a) + uint32_t(b));
}

void EncodeRecord(uint8_t* bytes, const ProductQuantityMap::Record& record) {
    plat::StoreLE32(bytes, uint32_t(record.quantity));
    plat::StoreLE32(bytes + 4, uint32_t(record.out[0]));
    plat::StoreLE32(bytes + 8, uint32_t(record.out[1]));
    plat::StoreLE32(bytes + 12, uint32_t(record.in[0]));
    plat::StoreLE32(bytes + 16, uint32_t(record.in[1]));
}

void DecodeRecord(const uint8_t* bytes, ProductQuantityMap::Record& record) {
    record.quantity = int32_t(plat::LoadLE32(bytes));
    record.out[0] = int32_t(plat::LoadLE32(bytes + 4));
    record.out[1] = int32_t(plat::LoadLE32(bytes + 8));
    record.in[0] = int32_t(plat::LoadLE32(bytes + 12));
    record.in[1] = int32_t(plat::LoadLE32(bytes + 16));
}

} // namespace

void ProductQuantityMap::Serialize() {
    uint32_t tag = kTagStock;
    BeginChunk(tag);
    if (StreamMode() == kStreamStore) {
        uint32_t count = uint32_t(records_.size());
        Transfer(count);
        for (auto& entry : records_) {
            int32_t id = entry.first;
            const Record& record = entry.second;
            TransferSizedValue(id);
            TransferPackedSized<kRecordBytes>([&](uint8_t* bytes) { EncodeRecord(bytes, record); },
                                              [](const uint8_t*) {});
        }
    } else if (tag == kTagStock) {
        records_.clear();
        uint32_t count = 0;
        Transfer(count);
        for (uint32_t i = 0; i < count; ++i) {
            // A count beyond what the chunk holds ends with the chunk.
            if (ChunkBytesLeft() == 0) {
                WorldWarning("product stock: %u entries announced, %u found", count, i);
                break;
            }
            int32_t product = 0;
            TransferSizedValue(product);
            Record record;
            TransferPackedSized<kRecordBytes>([&](uint8_t* bytes) { EncodeRecord(bytes, record); },
                                              [&](const uint8_t* bytes) { DecodeRecord(bytes, record); });
            records_[product] = record;
        }
    }
    EndChunk();
}

ProductQuantityMap::Record* ProductQuantityMap::Find(int32_t product) {
    auto it = records_.find(product);
    return it == records_.end() ? nullptr : &it->second;
}

const ProductQuantityMap::Record* ProductQuantityMap::Find(int32_t product) const {
    auto it = records_.find(product);
    return it == records_.end() ? nullptr : &it->second;
}

void ProductQuantityMap::AddProduct(int32_t product) {
    records_.try_emplace(product);
}

bool ProductQuantityMap::HasStock(int32_t product) const {
    const Record* record = Find(product);
    return record && record->quantity != 0;
}

int32_t ProductQuantityMap::GetQuantity(int32_t product) const {
    const Record* record = Find(product);
    return record ? record->quantity : 0;
}

bool ProductQuantityMap::AddQuantity(int32_t product, int32_t n) {
    Record* record = Find(product);
    if (!record)
        return false;
    record->quantity = Wrapped(record->quantity, n);
    record->in[0] = Wrapped(record->in[0], n);
    return true;
}

bool ProductQuantityMap::SubtractQuantity(int32_t product, int32_t n) {
    Record* record = Find(product);
    if (!record)
        return false;
    record->quantity = int32_t(uint32_t(record->quantity) - uint32_t(n));
    return true;
}

bool ProductQuantityMap::TakeQuantity(int32_t product, int32_t n) {
    if (!SubtractQuantity(product, n))
        return false;
    Record* record = Find(product);
    record->out[0] = Wrapped(record->out[0], n);
    return true;
}

int32_t ProductQuantityMap::GetOutCounter(int32_t product, uint32_t i) const {
    const Record* record = Find(product);
    return record && i < 2 ? record->out[i] : 0;
}

int32_t ProductQuantityMap::GetInCounter(int32_t product, uint32_t i) const {
    const Record* record = Find(product);
    return record && i < 2 ? record->in[i] : 0;
}

void ProductQuantityMap::StartNewPeriod() {
    for (auto& [product, record] : records_) {
        record.out[1] = record.out[0];
        record.in[1] = record.in[0];
        record.out[0] = 0;
        record.in[0] = 0;
    }
}

void ProductQuantityMap::ClearQuantities() {
    for (auto& [product, record] : records_) {
        if (product != kKeptProduct)
            record.quantity = 0;
    }
}
