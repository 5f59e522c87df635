#include "files/pack_mem_buffer.h"

#include <algorithm>
#include <new>

#include "files/aplib.h"
#include "files/lzss.h"
#include "platform/file.h"
#include "platform/message.h"

bool PackMemBuffer::SetPACKMemBuf(uint32_t size) {
    return Allocate(size);
}

bool PackMemBuffer::Allocate(uint64_t size) {
    buffer_.reset();
    capacity_ = 0;
    packedLength_ = 0;
    if (size <= UINT32_MAX)
        buffer_.reset(new (std::nothrow) uint8_t[size]);
    if (!buffer_) {
        plat::ShowMessage("", "Error SetPACKMemBuf");
        return false;
    }
    capacity_ = uint32_t(size);
    return true;
}

uint32_t PackMemBuffer::Compress(std::span<const uint8_t> src, uint8_t method) {
    std::optional<size_t> packed;
    switch (method) {
    case kMethodLzss: {
        uint64_t size = 3 * uint64_t(src.size());
        if (src.empty() || !Allocate(size > UINT32_MAX ? LzssMaxPackedSize(src.size()) : size))
            return packedLength_ = 0;
        packed = LzssEncode(src, {buffer_.get(), capacity_});
        break;
    }
    case kMethodAplib: {
        uint64_t needed = AplibMaxContainerSize(src.size());
        if (capacity_ < needed && !Allocate(std::max<uint64_t>(kPackMemBufDefaultSize, needed)))
            return packedLength_ = 0;
        packed = AplibPackContainer(src, {buffer_.get(), capacity_});
        break;
    }
    default:
        return 0;
    }
    packedLength_ = packed ? uint32_t(*packed) : 0;
    return packedLength_;
}

std::optional<size_t> PackMemBuffer::Expand(std::span<uint8_t> dst, uint8_t method,
                                            uint32_t packedSize) const {
    if (!buffer_ || packedSize > capacity_)
        return std::nullopt;
    std::span<const uint8_t> packed(buffer_.get(), packedSize);
    switch (method) {
    case kMethodLzss:
        return LzssDecode(packed, dst);
    case kMethodAplib:
        return AplibUnpackContainer(packed, dst);
    default:
        return std::nullopt;
    }
}

std::optional<size_t> PackMemBuffer::CompressBlock(std::span<const uint8_t> src, std::span<uint8_t> dst,
                                                   uint8_t method) {
    switch (method) {
    case kMethodLzss:
        return LzssEncode(src, dst);
    case kMethodAplib:
        return AplibPack(src, dst);
    default:
        return std::nullopt;
    }
}

std::optional<size_t> PackMemBuffer::ExpandBlock(std::span<const uint8_t> src, std::span<uint8_t> dst,
                                                 uint8_t method) {
    switch (method) {
    case kMethodLzss:
        return LzssDecode(src, dst);
    case kMethodAplib:
        return AplibDepack(src, dst);
    default:
        return std::nullopt;
    }
}

uint32_t PackMemBuffer::WriteBuffer(plat::File& file) const {
    if (!file.IsOpen() || packedLength_ == 0 || !file.WriteExact(buffer_.get(), packedLength_))
        return 0;
    return packedLength_;
}
