// Reads or writes a command's payload field by field: little-endian, in
// declaration order, padding written as zeros and ignored when read. One
// field routine per command serves both directions.
#pragma once

#include <cstdint>
#include <type_traits>
#include <vector>

class PayloadIo {
public:
    // Writes into out (which it clears first).
    explicit PayloadIo(std::vector<uint8_t>& out) : out_(&out) { out.clear(); }
    // Reads from size bytes at bytes.
    PayloadIo(const uint8_t* bytes, uint32_t size) : in_(bytes), size_(size) {}

    bool Writing() const { return out_ != nullptr; }
    // Bytes moved so far (read, or written).
    uint32_t Position() const { return Writing() ? uint32_t(out_->size()) : pos_; }
    // False once a read ran past the end of the bytes.
    bool Ok() const { return ok_; }

    void U8(uint8_t& v) { Value(v); }
    void U16(uint16_t& v) { Value(v); }
    void U32(uint32_t& v) { Value(v); }
    void I16(int16_t& v) { Value(v); }
    void I32(int32_t& v) { Value(v); }
    void Pad(uint32_t count);
    // Every byte that is left (reading), or all of bytes (writing).
    void Rest(std::vector<uint8_t>& bytes);

private:
    template <typename T>
    void Value(T& value) {
        uint64_t bits = uint64_t(std::make_unsigned_t<T>(value));
        Field(bits, sizeof(T));
        if (!Writing() && ok_)
            value = T(std::make_unsigned_t<T>(bits));
    }
    void Field(uint64_t& bits, uint32_t width);

    std::vector<uint8_t>* out_ = nullptr;
    const uint8_t* in_ = nullptr;
    uint32_t size_ = 0;
    uint32_t pos_ = 0;
    bool ok_ = true;
};
