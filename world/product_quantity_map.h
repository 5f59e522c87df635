// A building's stock per product with what went in and out in the current
// and the previous period; factories keep one for what they take and make.
#pragma once

#include <cstdint>
#include <map>

class ProductQuantityMap {
public:
    // The product that keeps its stock when quantities are cleared.
    static constexpr int32_t kKeptProduct = 998;

    struct Record {
        int32_t quantity = 0;
        int32_t out[2] = {0, 0};
        int32_t in[2] = {0, 0};
        friend bool operator==(const Record&, const Record&) = default;
    };

    virtual ~ProductQuantityMap() = default;

    // The chunk "ist1" in the direction of the current stream.
    virtual void Serialize();

    void AddProduct(int32_t product);
    bool Contains(int32_t product) const { return records_.count(product) != 0; }
    bool HasStock(int32_t product) const;
    int32_t GetQuantity(int32_t product) const;
    // Each answers false and changes nothing for an absent product.
    bool AddQuantity(int32_t product, int32_t n);
    bool SubtractQuantity(int32_t product, int32_t n);
    bool TakeQuantity(int32_t product, int32_t n);
    int32_t GetOutCounter(int32_t product, uint32_t i) const;
    int32_t GetInCounter(int32_t product, uint32_t i) const;
    void StartNewPeriod();
    void ClearQuantities();
    void Clear() { records_.clear(); }

    const std::map<int32_t, Record>& Records() const { return records_; }

private:
    Record* Find(int32_t product);
    const Record* Find(int32_t product) const;

    std::map<int32_t, Record> records_;
};
