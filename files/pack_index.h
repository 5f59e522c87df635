// The index file of a packed archive: a little-endian header (compression
// method, entry count) and one 228-byte record per entry, sorted by name
// without regard to letter case. Reading checks every record against the
// sizes of both files; writing replaces the index file whole.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

inline constexpr size_t kPackIndexHeaderSize = 8;
inline constexpr size_t kPackEntrySize = 228;
// The name field, its terminating zero included.
inline constexpr size_t kPackNameSize = 200;
inline constexpr uint32_t kPackCompressedFlag = 1;

struct PackEntry {
    uint32_t offset = 0;
    // kPackCompressedFlag: packed with the archive's method; any other
    // value: stored as it is.
    uint32_t compressedFlag = kPackCompressedFlag;
    uint32_t packedSize = 0;
    uint32_t unpackedSize = 0;
    // The path below the archive's root, its parts joined by "\\".
    std::string name;
    // The last three characters of the name.
    std::string extension;
    // Last write of the source file, as a FILETIME.
    uint64_t writeTime = 0;

    bool IsCompressed() const { return compressedFlag == kPackCompressedFlag; }
    // The number of bytes the entry takes in the data file.
    uint32_t StoredSize() const { return IsCompressed() ? packedSize : unpackedSize; }

    friend bool operator==(const PackEntry&, const PackEntry&) = default;
};

struct PackIndex {
    uint32_t method = 0;
    std::vector<PackEntry> entries;
};

// The order of names in an index: ASCII letters folded to lower case, then
// unsigned byte order. Negative, zero or positive like memcmp.
int ComparePackNames(std::string_view a, std::string_view b);

std::string PackExtensionOf(std::string_view name);

// The index path of a data path: the last three characters of its file name
// replaced by "ind" ("gfx.pkq" gives "gfx.ind"); a file name shorter than
// that gets ".ind" added, so that the index stays in the data file's folder.
std::string PackIndexPath(std::string_view dataPath);

// Parses an index for a data file of dataSize bytes. Fails with a message in
// error when the size does not match the count, a name lacks its zero or an
// entry lies outside the data file. Entries come back sorted by name.
bool ParsePackIndex(std::span<const uint8_t> bytes, uint64_t dataSize, PackIndex& index, std::string& error);

// The bytes of an index; false when a name does not fit its field.
bool EncodePackIndex(const PackIndex& index, std::vector<uint8_t>& bytes, std::string& error);

// Writes an index file through a temporary file and a rename.
bool WritePackIndex(const std::string& path, const PackIndex& index, std::string& error);
