// Typed transfers on the current chunk stream: integers, bools, enums,
// floats, strings and vectors of them, little-endian in the stream whatever
// the host. Like TransferInChunk, every transfer is clamped to the innermost
// chunk: a short chunk moves what it holds and leaves the rest of a value as
// it was. Each returns the bytes moved.
#pragma once

#include "files/chunk_stream.h"

#include <algorithm>
#include <bit>
#include <concepts>
#include <cstdint>
#include <cstring>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

// What the typed transfers move: integers, bool (one byte), enums (as their
// underlying type), float and double (their IEEE bits).
template <typename T>
concept ChunkScalar = std::is_arithmetic_v<T> || std::is_enum_v<T>;

namespace chunk_detail {

template <ChunkScalar T>
using Bits = std::conditional_t<
    sizeof(T) == 1, uint8_t,
    std::conditional_t<sizeof(T) == 2, uint16_t, std::conditional_t<sizeof(T) == 4, uint32_t, uint64_t>>>;

template <ChunkScalar T>
inline void Encode(const T& value, uint8_t (&bytes)[sizeof(T)]) {
    static_assert(sizeof(T) <= 8);
    Bits<T> bits;
    if constexpr (std::is_same_v<T, bool>)
        bits = value ? 1 : 0;
    else
        std::memcpy(&bits, &value, sizeof(T));
    for (size_t i = 0; i < sizeof(T); ++i)
        bytes[i] = uint8_t(uint64_t(bits) >> (8 * i));
}

template <ChunkScalar T>
inline void Decode(const uint8_t (&bytes)[sizeof(T)], T& value) {
    Bits<T> bits = 0;
    for (size_t i = 0; i < sizeof(T); ++i)
        bits = Bits<T>(bits | Bits<T>(uint64_t(bytes[i]) << (8 * i)));
    if constexpr (std::is_same_v<T, bool>)
        value = bits != 0;
    else
        std::memcpy(&value, &bits, sizeof(T));
}

inline bool Loading() {
    return StreamMode() == kStreamLoad;
}

// Whether a vector of T lies in memory exactly as in the stream.
template <typename T>
inline constexpr bool kSameInMemory =
    std::endian::native == std::endian::little && !std::is_same_v<T, bool> && ChunkScalar<T>;

} // namespace chunk_detail

// A value as its raw bytes.
template <ChunkScalar T>
uint32_t Transfer(T& value) {
    uint8_t bytes[sizeof(T)];
    chunk_detail::Encode(value, bytes);
    uint32_t moved = TransferInChunk(bytes, sizeof(T));
    if (moved > 0 && chunk_detail::Loading())
        chunk_detail::Decode(bytes, value);
    return moved;
}

// A sized field holding one value: u32 length sizeof(T), then its bytes.
// Loading takes at most sizeof(T) bytes and skips the surplus of a longer
// stored field. Returns 4 plus the bytes moved of the value.
template <ChunkScalar T>
uint32_t TransferSizedValue(T& value) {
    uint8_t bytes[sizeof(T)];
    chunk_detail::Encode(value, bytes);
    uint32_t moved = TransferSized(bytes, sizeof(T));
    if (moved > 4 && chunk_detail::Loading())
        chunk_detail::Decode(bytes, value);
    return moved;
}

// A string as SerializeString moves it.
inline uint32_t Transfer(std::string& text) {
    return SerializeString(text);
}

// A list of values: u32 count, u32 element size, the elements. Loading
// replaces the vector only when the list is whole in its chunk (checked
// before anything is allocated), takes at most sizeof(T) of each stored
// element and leaves the bytes of a shorter one at zero. A chunk that holds
// no more fields leaves the vector as it was. Returns the bytes moved.
template <ChunkScalar T>
uint32_t TransferVector(std::vector<T>& values) {
    static_assert(!std::is_same_v<T, bool>,
                  "std::vector<bool> packs bits: keep flags in a vector of uint8_t");
    constexpr uint32_t kSize = sizeof(T);
    const int mode = StreamMode();
    const bool loading = mode == kStreamLoad;
    if (mode == 0 || (loading && ChunkBytesLeft() == 0))
        return 0;
    uint32_t count = loading ? 0 : uint32_t(std::min<size_t>(values.size(), UINT32_MAX / kSize));
    uint32_t storedSize = TransferListHeader(count, kSize);
    if (StreamFailed())
        return 0;
    uint32_t moved = 8;
    if (loading)
        values.assign(count, T{});
    if constexpr (chunk_detail::kSameInMemory<T>) {
        if (storedSize == kSize)
            return moved + TransferInChunk(values.data(), count * kSize);
    }
    for (uint32_t i = 0; i < count; ++i) {
        uint8_t bytes[kSize];
        chunk_detail::Encode(values[i], bytes);
        moved += TransferListElement(bytes, kSize, storedSize);
        if (loading)
            chunk_detail::Decode(bytes, values[i]);
    }
    return moved;
}

// A list of records: u32 count, u32 element size, then each element as
// element(record) transfers it field by field, in elementSize bytes when
// storing. Loading checks the whole list against its chunk before the
// vector is replaced, gives each element a default record, clamps its
// fields to the stored element's size (missing trailing fields keep their
// defaults) and skips what a longer stored element has beyond them. A chunk
// that holds no more fields leaves the vector as it was. Returns the bytes
// moved.
template <typename T, typename Fn>
requires std::default_initializable<T> && std::invocable<Fn&, T&>
    uint32_t TransferList(std::vector<T>& values, uint32_t elementSize, Fn&& element) {
    const int mode = StreamMode();
    const bool loading = mode == kStreamLoad;
    if (mode == 0 || (loading && ChunkBytesLeft() == 0))
        return 0;
    uint32_t count = loading ? 0 : uint32_t(std::min<size_t>(values.size(), UINT32_MAX));
    uint32_t storedSize = TransferListHeader(count, elementSize);
    if (StreamFailed())
        return 0;
    uint32_t moved = 8;
    if (loading)
        values.assign(count, T{});
    for (uint32_t i = 0; i < count && !StreamFailed(); ++i) {
        BeginListRecord(storedSize);
        element(values[i]);
        moved += EndListRecord();
    }
    return moved;
}
