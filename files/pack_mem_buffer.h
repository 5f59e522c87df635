// PackMemBuffer: the one entry through which the program compresses and
// expands bytes. The method byte picks the codec: 6 LZSS, 7 the aPLib
// format (bare for save streams, in its CRC container for archives).
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

inline constexpr uint8_t kMethodLzss = 6;
inline constexpr uint8_t kMethodAplib = 7;

class PackMemBuffer {
public:
    PackMemBuffer() = default;
    virtual ~PackMemBuffer() = default;

    // Makes the working buffer size bytes long; false (with the user told)
    // when it cannot be had.
    bool SetPACKMemBuf(uint32_t size);

    // Compresses src into the working buffer (method 7: in the CRC
    // container); the packed length, 0 on failure or an unknown method.
    uint32_t Compress(std::span<const uint8_t> src, uint8_t method);

    // Expands the working buffer's first packedSize bytes into dst; the
    // number of bytes produced, or nothing on any damage or overflow.
    std::optional<size_t> Expand(std::span<uint8_t> dst, uint8_t method, uint32_t packedSize) const;

    // Block forms used by the compressed save streams (method 7 bare).
    static std::optional<size_t> CompressBlock(std::span<const uint8_t> src, std::span<uint8_t> dst,
                                               uint8_t method);
    static std::optional<size_t> ExpandBlock(std::span<const uint8_t> src, std::span<uint8_t> dst,
                                             uint8_t method);

    uint8_t* Buffer() { return buffer_.data(); }
    const uint8_t* Buffer() const { return buffer_.data(); }
    uint32_t Capacity() const { return uint32_t(buffer_.size()); }
    uint32_t PackedLength() const { return packedLength_; }

private:
    std::vector<uint8_t> buffer_;
    uint32_t packedLength_ = 0;
};
