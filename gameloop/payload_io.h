// Reads or writes a command's payload field by field: little-endian, in
// declaration order, padding written as zeros and ignored when read. One
// field routine per command serves both directions.
#pragma once

#include <cstdint>
#include <limits>
#include <type_traits>
#include <vector>

class PayloadIo {
public:
    // Writes into out (which it clears first).
    explicit PayloadIo(std::vector<uint8_t>& out) : out_(&out) { out.clear(); }
    // Reads from size bytes at bytes.
    PayloadIo(const uint8_t* bytes, uint32_t size) : in_(bytes), size_(size) {}
    // Sets the fields in order from numbers (a script's line); padding takes
    // none. A number that does not fit its field fails.
    explicit PayloadIo(const std::vector<int64_t>& numbers) : numbers_(&numbers) {}

    bool Writing() const { return out_ != nullptr; }
    // Bytes moved so far (read, or written); numbers taken when setting.
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
        if (numbers_) {
            Number(value);
            return;
        }
        uint64_t bits = uint64_t(std::make_unsigned_t<T>(value));
        Field(bits, sizeof(T));
        if (!Writing() && ok_)
            value = T(std::make_unsigned_t<T>(bits));
    }
    void Field(uint64_t& bits, uint32_t width);
    template <typename T>
    void Number(T& value) {
        if (!ok_ || pos_ >= numbers_->size()) {
            ok_ = false;
            return;
        }
        int64_t n = (*numbers_)[pos_++];
        // Unsigned fields also take the negative numbers of their signed twin.
        using S = std::make_signed_t<T>;
        using U = std::make_unsigned_t<T>;
        int64_t highest = std::is_signed_v<T> ? int64_t(std::numeric_limits<S>::max())
                                              : int64_t(std::numeric_limits<U>::max());
        if (n < int64_t(std::numeric_limits<S>::min()) || n > highest) {
            ok_ = false;
            return;
        }
        value = T(U(n));
    }

    std::vector<uint8_t>* out_ = nullptr;
    const std::vector<int64_t>* numbers_ = nullptr;
    const uint8_t* in_ = nullptr;
    uint32_t size_ = 0;
    uint32_t pos_ = 0;
    bool ok_ = true;
};
