// PackMemBuffer: the one entry through which the program compresses and
// expands bytes. The method byte picks the codec: 6 LZSS, 7 the aPLib
// format (bare for save streams, in its CRC container for archives).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>

namespace plat {
class File;
}

inline constexpr uint8_t kMethodLzss = 6;
inline constexpr uint8_t kMethodAplib = 7;

// The working buffer that method 7 sets up when it has none large enough.
inline constexpr uint32_t kPackMemBufDefaultSize = 32u << 20;

class PackMemBuffer {
public:
    PackMemBuffer() = default;
    virtual ~PackMemBuffer() = default;
    PackMemBuffer(const PackMemBuffer&) = delete;
    PackMemBuffer& operator=(const PackMemBuffer&) = delete;

    // Replaces the working buffer by one of size bytes (contents undefined)
    // and forgets the last packed length; false, with the user told and no
    // buffer left, when it cannot be had.
    bool SetPACKMemBuf(uint32_t size);

    // Compresses src into the working buffer; the packed length, 0 on
    // failure, for empty input with method 6, or an unknown method.
    // Method 6 sets a buffer of 3 × n bytes. Method 7 writes the CRC
    // container (length includes its header) and keeps a buffer that is
    // large enough, else sets one of 32 MiB or the input's worst case.
    uint32_t Compress(std::span<const uint8_t> src, uint8_t method);

    // Expands the working buffer's first packedSize bytes into dst; the
    // number of bytes produced, or nothing on any damage or overflow.
    std::optional<size_t> Expand(std::span<uint8_t> dst, uint8_t method, uint32_t packedSize) const;

    // Block forms used by the compressed save streams (method 7 bare); dst
    // should hold the codec's worst case (LzssMaxPackedSize,
    // AplibMaxPackedSize), else a large input may not fit.
    static std::optional<size_t> CompressBlock(std::span<const uint8_t> src, std::span<uint8_t> dst,
                                               uint8_t method);
    static std::optional<size_t> ExpandBlock(std::span<const uint8_t> src, std::span<uint8_t> dst,
                                             uint8_t method);

    // Writes the last compression's bytes at the open file's position; the
    // number of bytes written, 0 when the file is not open or the write fails.
    uint32_t WriteBuffer(plat::File& file) const;

    uint8_t* Buffer() { return buffer_.get(); }
    const uint8_t* Buffer() const { return buffer_.get(); }
    uint32_t Capacity() const { return capacity_; }
    uint32_t PackedLength() const { return packedLength_; }

private:
    bool Allocate(uint64_t size);

    std::unique_ptr<uint8_t[]> buffer_;
    uint32_t capacity_ = 0;
    uint32_t packedLength_ = 0;
};
