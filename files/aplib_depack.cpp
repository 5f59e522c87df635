// aPLib-format depacking: the bare stream and the checked "AP32" container.
#include <algorithm>
#include <cstring>
#include <vector>

#include "files/aplib.h"
#include "files/aplib_format.h"
#include "files/crc32.h"
#include "platform/endian.h"

namespace {

// Reads control bits, most significant first, from tag bytes that sit in
// the stream between the data bytes, and data bytes from the same stream.
// Reading past the end sets a sticky fault and yields zeros, so a token
// can be read whole and checked once.
class StreamReader {
public:
    explicit StreamReader(std::span<const uint8_t> src) : in_(src.data()), end_(src.data() + src.size()) {}

    uint32_t Bit() {
        if (bits_ == 0) {
            tag_ = Byte();
            bits_ = 8;
        }
        --bits_;
        return (tag_ >> bits_) & 1;
    }

    uint32_t Byte() {
        if (in_ == end_) {
            fault_ = true;
            return 0;
        }
        return *in_++;
    }

    // A gamma code: the bits after a leading 1, each followed by a
    // continuation bit.
    uint32_t Gamma() {
        uint32_t v = 1;
        do {
            if (v & 0x80000000u) {
                fault_ = true;
                return 0;
            }
            v = (v << 1) | Bit();
        } while (Bit() && !fault_);
        return v;
    }

    bool Fault() const { return fault_; }

private:
    const uint8_t* in_;
    const uint8_t* end_;
    uint32_t tag_ = 0;
    int bits_ = 0;
    bool fault_ = false;
};

// Copies length bytes from offset bytes back; overlapping copies repeat the
// pattern as if copied byte by byte.
inline void CopyBack(uint8_t* to, size_t offset, size_t length) {
    const uint8_t* from = to - offset;
    if (offset >= length)
        std::memcpy(to, from, length);
    else if (offset == 1)
        std::memset(to, *from, length);
    else
        for (size_t k = 0; k < length; ++k)
            to[k] = from[k];
}

struct ContainerHeader {
    uint32_t headerSize;
    uint32_t packedSize;
    uint32_t packedCrc;
    uint32_t unpackedSize;
    uint32_t unpackedCrc;
};

std::optional<ContainerHeader> ReadContainerHeader(std::span<const uint8_t> src) {
    if (src.size() < kAplibContainerHeaderSize)
        return std::nullopt;
    const uint8_t* p = src.data();
    if (plat::LoadLE32(p) != kAplibContainerTag)
        return std::nullopt;
    ContainerHeader h{plat::LoadLE32(p + 4), plat::LoadLE32(p + 8), plat::LoadLE32(p + 12),
                      plat::LoadLE32(p + 16), plat::LoadLE32(p + 20)};
    if (h.headerSize < kAplibContainerHeaderSize || h.headerSize > src.size() ||
        h.packedSize > src.size() - h.headerSize)
        return std::nullopt;
    return h;
}

// Where the depacker writes: a fixed span, or a vector that grows as the
// stream produces bytes. Room(n) makes room for n bytes in all and answers
// whether there is; the depacker asks only when the room it had runs out.
struct FixedOutput {
    uint8_t* base;
    size_t capacity;
    bool Room(size_t) { return false; }
};

struct GrowingOutput {
    std::vector<uint8_t>& bytes;
    size_t limit;
    uint8_t* base = nullptr;
    size_t capacity = 0;
    bool Room(size_t needed) {
        if (needed > limit)
            return false;
        // Doubles, so that the bytes written pay for the growth; never more
        // than the stream has asked for and the limit allows.
        size_t grown = std::min(limit, std::max({needed, 2 * bytes.size(), size_t(1) << 16}));
        bytes.resize(grown);
        base = bytes.data();
        capacity = bytes.size();
        return true;
    }
};

template <typename Output>
std::optional<size_t> Depack(std::span<const uint8_t> src, Output& output) {
    if (src.empty())
        return 0;
    if (output.capacity == 0 && !output.Room(1))
        return std::nullopt;
    StreamReader in(src);
    size_t out = 0;
    output.base[out++] = uint8_t(in.Byte());

    uint32_t lastOffset = 0; // 0: no match yet
    bool afterMatch = false;
    for (;;) {
        if (!in.Bit()) {
            uint8_t literal = uint8_t(in.Byte());
            if (in.Fault() || (out == output.capacity && !output.Room(out + 1)))
                return std::nullopt;
            output.base[out++] = literal;
            afterMatch = false;
            continue;
        }
        uint32_t offset;
        uint64_t length;
        if (!in.Bit()) {
            // Normal match, or a repeat of the last offset right after a literal.
            uint32_t high = in.Gamma();
            uint32_t reduced = high - (afterMatch ? 1 : 2);
            if (!afterMatch && reduced == 0) {
                offset = lastOffset;
                length = in.Gamma();
            } else {
                if (high < 2 || reduced - 1 > (UINT32_MAX >> 8))
                    return std::nullopt;
                offset = ((reduced - 1) << 8) | in.Byte();
                length = uint64_t(in.Gamma()) + aplib::LengthBias(offset);
                lastOffset = offset;
            }
            afterMatch = true;
        } else if (!in.Bit()) {
            uint32_t b = in.Byte();
            if (b == 0)
                return in.Fault() ? std::nullopt : std::optional<size_t>(out);
            offset = b >> 1;
            length = 2 + (b & 1);
            lastOffset = offset;
            afterMatch = true;
        } else {
            uint32_t near = 0;
            for (int k = 0; k < 4; ++k)
                near = (near << 1) | in.Bit();
            if (in.Fault() || near > out || (out == output.capacity && !output.Room(out + 1)))
                return std::nullopt;
            output.base[out] = near ? output.base[out - near] : 0;
            ++out;
            afterMatch = false;
            continue;
        }
        // A match is checked against what the stream has produced before
        // any room is made for it.
        if (in.Fault() || offset == 0 || offset > out)
            return std::nullopt;
        if (length > output.capacity - out && (length > SIZE_MAX - out || !output.Room(out + size_t(length))))
            return std::nullopt;
        CopyBack(output.base + out, offset, length);
        out += length;
    }
}

} // namespace

std::optional<size_t> AplibDepack(std::span<const uint8_t> src, std::span<uint8_t> dst) {
    FixedOutput output{dst.data(), dst.size()};
    return Depack(src, output);
}

std::optional<size_t> AplibDepackGrowing(std::span<const uint8_t> src, std::vector<uint8_t>& out,
                                         size_t limit) {
    out.clear();
    GrowingOutput output{out, limit};
    std::optional<size_t> produced = Depack(src, output);
    out.resize(produced.value_or(0));
    return produced;
}

std::optional<uint32_t> AplibContainerUnpackedSize(std::span<const uint8_t> src) {
    std::optional<ContainerHeader> h = ReadContainerHeader(src);
    if (!h)
        return std::nullopt;
    return h->unpackedSize;
}

std::optional<size_t> AplibUnpackContainer(std::span<const uint8_t> src, std::span<uint8_t> dst) {
    std::optional<ContainerHeader> h = ReadContainerHeader(src);
    if (!h || h->unpackedSize > dst.size())
        return std::nullopt;
    std::span<const uint8_t> packed = src.subspan(h->headerSize, h->packedSize);
    if (Crc32(packed) != h->packedCrc)
        return std::nullopt;
    std::span<uint8_t> out = dst.first(h->unpackedSize);
    std::optional<size_t> produced = AplibDepack(packed, out);
    if (!produced || *produced != h->unpackedSize || Crc32(out) != h->unpackedCrc)
        return std::nullopt;
    return produced;
}

bool AplibUnpackContainerGrowing(std::span<const uint8_t> src, std::vector<uint8_t>& out) {
    out.clear();
    std::optional<ContainerHeader> h = ReadContainerHeader(src);
    if (!h)
        return false;
    std::span<const uint8_t> packed = src.subspan(h->headerSize, h->packedSize);
    if (Crc32(packed) != h->packedCrc)
        return false;
    std::optional<size_t> produced = AplibDepackGrowing(packed, out, h->unpackedSize);
    if (!produced || *produced != h->unpackedSize || Crc32(out) != h->unpackedCrc) {
        out.clear();
        return false;
    }
    return true;
}
