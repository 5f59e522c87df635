#include "files/pack_index.h"

#include "files/host_path.h"
#include "platform/endian.h"
#include "platform/file.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr size_t kNameOffset = 16;
constexpr size_t kExtensionOffset = 216;
constexpr size_t kExtensionSize = 4;
constexpr size_t kTimeOffset = 220;

std::string_view BoundedText(const uint8_t* field, size_t size) {
    const auto* text = reinterpret_cast<const char*>(field);
    const void* zero = std::memchr(text, 0, size);
    return {text, zero ? size_t(static_cast<const char*>(zero) - text) : size};
}

} // namespace

int ComparePackNames(std::string_view a, std::string_view b) {
    size_t common = std::min(a.size(), b.size());
    for (size_t i = 0; i < common; ++i) {
        auto x = uint8_t(FoldCase(a[i]));
        auto y = uint8_t(FoldCase(b[i]));
        if (x != y)
            return x < y ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

std::string PackExtensionOf(std::string_view name) {
    return std::string(name.substr(name.size() > 3 ? name.size() - 3 : 0));
}

std::string PackIndexPath(std::string_view dataPath) {
    size_t slash = dataPath.find_last_of('/');
    size_t nameLength = slash == std::string_view::npos ? dataPath.size() : dataPath.size() - slash - 1;
    if (nameLength < 3)
        return std::string(dataPath) + ".ind";
    return std::string(dataPath.substr(0, dataPath.size() - 3)) + "ind";
}

bool ParsePackIndex(std::span<const uint8_t> bytes, uint64_t dataSize, PackIndex& index, std::string& error) {
    if (bytes.size() < kPackIndexHeaderSize) {
        error = "the index is shorter than its header";
        return false;
    }
    uint32_t method = plat::LoadLE32(bytes.data());
    uint32_t count = plat::LoadLE32(bytes.data() + 4);
    uint64_t expected = kPackIndexHeaderSize + uint64_t(count) * kPackEntrySize;
    if (bytes.size() != expected) {
        error = "the index holds " + std::to_string(bytes.size()) + " bytes, but its " +
                std::to_string(count) + " entries need " + std::to_string(expected);
        return false;
    }
    std::vector<PackEntry> entries(count);
    for (uint32_t i = 0; i < count; ++i) {
        const uint8_t* record = bytes.data() + kPackIndexHeaderSize + size_t(i) * kPackEntrySize;
        PackEntry& entry = entries[i];
        entry.offset = plat::LoadLE32(record);
        entry.compressedFlag = plat::LoadLE32(record + 4);
        entry.packedSize = plat::LoadLE32(record + 8);
        entry.unpackedSize = plat::LoadLE32(record + 12);
        if (!std::memchr(record + kNameOffset, 0, kPackNameSize)) {
            error = "entry " + std::to_string(i) + " has a name without its terminating zero";
            return false;
        }
        entry.name = BoundedText(record + kNameOffset, kPackNameSize);
        entry.extension = BoundedText(record + kExtensionOffset, kExtensionSize);
        entry.writeTime = plat::LoadLE64(record + kTimeOffset);
        if (uint64_t(entry.offset) + entry.StoredSize() > dataSize) {
            error = "entry '" + entry.name + "' lies outside the data file (" + std::to_string(dataSize) +
                    " bytes)";
            return false;
        }
    }
    auto byName = [](const PackEntry& a, const PackEntry& b) { return ComparePackNames(a.name, b.name) < 0; };
    if (!std::is_sorted(entries.begin(), entries.end(), byName))
        std::stable_sort(entries.begin(), entries.end(), byName);
    index.method = method;
    index.entries = std::move(entries);
    return true;
}

bool EncodePackIndex(const PackIndex& index, std::vector<uint8_t>& bytes, std::string& error) {
    if (index.entries.size() > UINT32_MAX) {
        error = "too many entries";
        return false;
    }
    bytes.assign(kPackIndexHeaderSize + index.entries.size() * kPackEntrySize, 0);
    plat::StoreLE32(bytes.data(), index.method);
    plat::StoreLE32(bytes.data() + 4, uint32_t(index.entries.size()));
    uint8_t* record = bytes.data() + kPackIndexHeaderSize;
    for (const PackEntry& entry : index.entries) {
        if (entry.name.size() >= kPackNameSize || entry.name.find('\0') != std::string::npos) {
            error = "the name '" + entry.name + "' does not fit an index entry";
            return false;
        }
        plat::StoreLE32(record, entry.offset);
        plat::StoreLE32(record + 4, entry.compressedFlag);
        plat::StoreLE32(record + 8, entry.packedSize);
        plat::StoreLE32(record + 12, entry.unpackedSize);
        std::memcpy(record + kNameOffset, entry.name.data(), entry.name.size());
        std::memcpy(record + kExtensionOffset, entry.extension.data(),
                    std::min(entry.extension.size(), kExtensionSize - 1));
        plat::StoreLE64(record + kTimeOffset, entry.writeTime);
        record += kPackEntrySize;
    }
    return true;
}

bool WritePackIndex(const std::string& path, const PackIndex& index, std::string& error) {
    std::vector<uint8_t> bytes;
    if (!EncodePackIndex(index, bytes, error))
        return false;
    std::string reason;
    if (!plat::WriteFileAtomically(path, bytes.data(), bytes.size(), &reason)) {
        error = "cannot write the index file " + reason;
        return false;
    }
    return true;
}
