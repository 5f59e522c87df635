// aPLib-format codec (compression method 7): the bare packed stream used by
// compressed saves, and the "AP32" container with sizes and CRC-32 values
// used by packed archives.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

// The largest bare stream for n input bytes.
constexpr size_t AplibMaxPackedSize(size_t n) {
    return n + n / 8 + 64;
}

inline constexpr uint32_t kAplibContainerTag = 0x32335041; // "AP32"
inline constexpr size_t kAplibContainerHeaderSize = 24;

// The largest container for n input bytes.
constexpr size_t AplibMaxContainerSize(size_t n) {
    return kAplibContainerHeaderSize + AplibMaxPackedSize(n);
}

// Packs src into dst as a bare stream; the packed length, or nothing when
// dst is too small or the packer's tables cannot be allocated (the user is
// told). One byte packs to a three-byte stream (the byte and the end
// token); empty input packs to an empty stream.
std::optional<size_t> AplibPack(std::span<const uint8_t> src, std::span<uint8_t> dst);

// Depacks a bare stream; the number of bytes written, or nothing when the
// stream is malformed, ends before its end token or would overflow dst.
// Bytes after the end token are ignored; an empty stream gives 0 bytes.
std::optional<size_t> AplibDepack(std::span<const uint8_t> src, std::span<uint8_t> dst);

// Depacks a bare stream into out, which grows as the stream produces bytes,
// never beyond limit: memory follows what the input has produced, not what
// it claims. The number of bytes (out's size), or nothing, with out empty,
// as AplibDepack fails or when the stream would produce more than limit.
std::optional<size_t> AplibDepackGrowing(std::span<const uint8_t> src, std::vector<uint8_t>& out,
                                         size_t limit);

// Packs src behind a container header; the total length (header included).
std::optional<size_t> AplibPackContainer(std::span<const uint8_t> src, std::span<uint8_t> dst);

// The unpacked size a container header announces, after checking the tag,
// the header size and that the packed bytes lie within src.
std::optional<uint32_t> AplibContainerUnpackedSize(std::span<const uint8_t> src);

// Unpacks a container; the unpacked length, or nothing when the header, a
// size or either CRC does not match or dst is too small.
std::optional<size_t> AplibUnpackContainer(std::span<const uint8_t> src, std::span<uint8_t> dst);
// Unpacks a container into out, growing it as the stream decodes up to the
// announced size; false, with out empty, as above.
bool AplibUnpackContainerGrowing(std::span<const uint8_t> src, std::vector<uint8_t>& out);
