#include "files/pack_archive.h"

#include "files/aplib.h"
#include "files/file_time.h"
#include "files/host_path.h"
#include "platform/file.h"
#include "platform/file_system.h"
#include "platform/message.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <optional>

namespace {

// An LZSS group of one flag byte and eight two-byte matches gives at most
// 8 x 18 bytes, so no stream expands more than ninefold.
constexpr uint64_t kLzssMaxExpansion = 9;

// The listing mode that reports sub-folders instead of entries.
constexpr int32_t kListFolders = 2;

bool StartsWithFolded(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && ComparePackNames(text.substr(0, prefix.size()), prefix) == 0;
}

// Whether two paths name one existing file.
bool SameFile(const std::string& a, const std::string& b) {
    return plat::SameFile(a, b);
}

// Makes the folder below an existing one, unless something other than a
// real folder stands there (a symbolic link, a file).
bool MakeRealFolder(const std::string& path) {
    plat::PathInfo info;
    if (plat::GetPathInfo(path, info, false))
        return info.kind == plat::PathKind::Folder;
    return plat::MakeFolder(path) ||
           (plat::GetPathInfo(path, info, false) && info.kind == plat::PathKind::Folder);
}

bool WriteAt(plat::File& file, uint64_t offset, std::span<const uint8_t> bytes) {
    return file.Seek(offset) && file.WriteExact(bytes.data(), bytes.size());
}

// The bytes of the data file that no entry of the index on disk names: the
// gaps between entries and everything after the last one. New bytes go only
// there, first into the lowest gap they fit, else at the end.
class FreeSpace {
public:
    explicit FreeSpace(const std::vector<PackEntry>& named) {
        std::vector<std::pair<uint64_t, uint64_t>> spans;
        for (const PackEntry& entry : named)
            if (entry.StoredSize() > 0)
                spans.emplace_back(entry.offset, uint64_t(entry.offset) + entry.StoredSize());
        std::sort(spans.begin(), spans.end());
        for (const auto& [begin, end] : spans) {
            if (begin > end_)
                gaps_.emplace_back(end_, begin);
            end_ = std::max(end_, end);
        }
    }

    // Where size new bytes go; nothing when the data file would outgrow its
    // 32-bit offsets.
    std::optional<uint32_t> Take(uint32_t size) {
        for (auto& gap : gaps_) {
            if (size > 0 && gap.second - gap.first >= size) {
                uint64_t offset = gap.first;
                gap.first += size;
                return uint32_t(offset);
            }
        }
        if (end_ + size > UINT32_MAX)
            return std::nullopt;
        uint64_t offset = end_;
        end_ += size;
        return uint32_t(offset);
    }

private:
    std::vector<std::pair<uint64_t, uint64_t>> gaps_;
    uint64_t end_ = 0;
};

// Gives an entry new bytes and the time they were made; its name stays.
void Replace(PackEntry& installed, const PackEntry& update) {
    installed.offset = update.offset;
    installed.compressedFlag = update.compressedFlag;
    installed.packedSize = update.packedSize;
    installed.unpackedSize = update.unpackedSize;
    installed.writeTime = update.writeTime;
}

// Records new bytes of the entry's stored size under key, in free space.
// The offset they go to, or nothing when the data file would outgrow its
// 32-bit offsets.
std::optional<uint32_t> PlaceEntry(std::map<std::string, PackEntry>& merged, const std::string& key,
                                   PackEntry entry, FreeSpace& space) {
    std::optional<uint32_t> offset = space.Take(entry.StoredSize());
    if (!offset)
        return std::nullopt;
    entry.offset = *offset;
    auto installed = merged.find(key);
    if (installed != merged.end())
        Replace(installed->second, entry);
    else
        merged.emplace(key, entry);
    return offset;
}

} // namespace

bool PackArchive::Fail(std::string message) {
    failures_.push_back(message);
    lastError_ = std::move(message);
    return false;
}

bool PackArchive::Open(const std::string& dataPath, int32_t slotCount, uint32_t flags) {
    Close();
    lastError_.clear();
    failures_.clear();
    if (flags & 1)
        return Fail("archives holding index and data in one file are not supported");
    if (slotCount < 0)
        return Fail("a negative number of slots");
    auto hostData = ResolveHostPath(dataPath);
    if (!hostData || !data_.Open(*hostData))
        return Fail("cannot open the data file " + dataPath);
    std::string indexName = PackIndexPath(dataPath);
    auto hostIndex = ResolveHostPath(indexName);
    std::vector<uint8_t> indexBytes;
    if (!hostIndex || !plat::ReadWholeFile(*hostIndex, indexBytes)) {
        data_.Close();
        return Fail("cannot open the index file " + indexName);
    }
    PackIndex index;
    std::string error;
    if (!ParsePackIndex(indexBytes, data_.Size(), index, error)) {
        data_.Close();
        return Fail(indexName + ": " + error);
    }
    bool anyCompressed = false;
    for (const PackEntry& entry : index.entries)
        anyCompressed = anyCompressed || entry.IsCompressed();
    if (anyCompressed && index.method != kMethodLzss && index.method != kMethodAplib) {
        data_.Close();
        return Fail(indexName + ": unknown compression method " + std::to_string(index.method));
    }
    method_ = index.method;
    entries_ = std::move(index.entries);
    keys_.clear();
    keys_.reserve(entries_.size());
    for (const PackEntry& entry : entries_)
        keys_.push_back(FoldedCopy(entry.name));
    entryOfKey_.reserve(keys_.size());
    for (size_t i = 0; i < keys_.size(); ++i)
        entryOfKey_.emplace(keys_[i], i);
    slots_ = std::vector<PackEntrySlot>(size_t(slotCount));
    dataPath_ = std::move(*hostData);
    indexPath_ = std::move(*hostIndex);
    opened_ = true;
    return true;
}

void PackArchive::Close() {
    slots_.clear();
    data_.Close();
    entryOfKey_.clear();
    entries_.clear();
    keys_.clear();
    findPosition_ = findEnd_ = 0;
    foundEntry_ = nullptr;
    opened_ = false;
}

size_t PackArchive::LowerBound(std::string_view name) const {
    size_t low = 0;
    size_t high = keys_.size();
    while (low < high) {
        size_t middle = low + (high - low) / 2;
        if (ComparePackNames(keys_[middle], name) < 0)
            low = middle + 1;
        else
            high = middle;
    }
    return low;
}

const PackEntry* PackArchive::FindEntry(std::string_view name) const {
    if (name.empty() || name.size() >= kPackNameSize)
        return nullptr;
    char folded[kPackNameSize];
    for (size_t i = 0; i < name.size(); ++i)
        folded[i] = FoldCase(name[i]);
    auto found = entryOfKey_.find(std::string_view(folded, name.size()));
    return found == entryOfKey_.end() ? nullptr : &entries_[found->second];
}

bool PackArchive::HasFolder(std::string_view name) const {
    while (!name.empty() && (name.back() == '\\' || name.back() == '/'))
        name.remove_suffix(1);
    if (name.empty())
        return !entries_.empty();
    std::string folder = std::string(name) + '\\';
    size_t i = LowerBound(folder);
    return i < keys_.size() && StartsWithFolded(keys_[i], folder);
}

std::span<const uint8_t> PackArchive::StoredBytes(const PackEntry& entry) const {
    return data_.View().subspan(entry.offset, entry.StoredSize());
}

std::vector<uint8_t> PackArchive::Expand(const PackEntry& entry) {
    std::span<const uint8_t> packed = StoredBytes(entry);
    auto damaged = [&] {
        Fail("the entry '" + entry.name + "' is damaged");
        return std::vector<uint8_t>();
    };
    if (entry.unpackedSize > kMaxExpandedSize || packed.empty())
        return damaged();
    if (method_ == kMethodLzss && packed.size() * kLzssMaxExpansion < entry.unpackedSize)
        return damaged();
    if (method_ == kMethodAplib && AplibContainerUnpackedSize(packed) != entry.unpackedSize)
        return damaged();
    if (!packBuffer_.SetPACKMemBuf(uint32_t(packed.size()))) {
        Fail("no memory for the entry '" + entry.name + "'");
        return {};
    }
    std::memcpy(packBuffer_.Buffer(), packed.data(), packed.size());
    std::vector<uint8_t> expanded;
    if (method_ == kMethodAplib) {
        // Grows as the stream decodes: a size the header only claims costs
        // nothing.
        if (!AplibUnpackContainerGrowing({packBuffer_.Buffer(), packed.size()}, expanded))
            return damaged();
        return expanded;
    }
    // LZSS expands at most ninefold, checked above: the room is what the
    // packed bytes can fill.
    expanded.resize(entry.unpackedSize);
    auto produced = packBuffer_.Expand(expanded, uint8_t(method_), uint32_t(packed.size()));
    if (produced != entry.unpackedSize)
        return damaged();
    return expanded;
}

PackEntrySlot* PackArchive::OpenEntry(std::string_view name) {
    const PackEntry* entry = FindEntry(name);
    if (!entry) {
        Fail("no entry '" + std::string(name) + "'");
        return nullptr;
    }
    PackEntrySlot* slot = nullptr;
    for (PackEntrySlot& candidate : slots_) {
        if (!candidate.inUse) {
            slot = &candidate;
            break;
        }
    }
    if (!slot) {
        Fail("all " + std::to_string(slots_.size()) + " entry slots are in use");
        return nullptr;
    }
    if (entry->IsCompressed() && entry->unpackedSize > 0) {
        // An entry of one byte or more expands to as many, never to none.
        slot->expanded = Expand(*entry);
        if (slot->expanded.empty())
            return nullptr;
    }
    slot->inUse = true;
    slot->position = 0;
    slot->entry = entry;
    return slot;
}

PackEntrySlot* PackArchive::CheckedSlot(PackEntrySlot* slot) {
    if (!slot || slots_.empty())
        return nullptr;
    std::less<const PackEntrySlot*> before;
    if (before(slot, slots_.data()) || !before(slot, slots_.data() + slots_.size()) || !slot->inUse)
        return nullptr;
    return slot;
}

bool PackArchive::ReadEntry(PackEntrySlot* slot, uint8_t* destination, int32_t n) {
    slot = CheckedSlot(slot);
    if (!slot || n < 0 || uint64_t(slot->position) + uint64_t(n) > slot->entry->unpackedSize)
        return false;
    if (n == 0)
        return true;
    const uint8_t* source =
        slot->entry->IsCompressed() ? slot->expanded.data() : data_.View().data() + slot->entry->offset;
    std::memcpy(destination, source + slot->position, size_t(n));
    slot->position += uint32_t(n);
    return true;
}

bool PackArchive::SeekEntry(PackEntrySlot* slot, uint32_t position) {
    slot = CheckedSlot(slot);
    if (!slot || position > slot->entry->unpackedSize)
        return false;
    slot->position = position;
    return true;
}

bool PackArchive::CloseEntry(PackEntrySlot* slot) {
    slot = CheckedSlot(slot);
    if (!slot)
        return false;
    *slot = PackEntrySlot{};
    return true;
}

void PackArchive::FindFirst(std::string& outName, std::string_view pattern, int32_t mode,
                            PackEntry* outRecord) {
    size_t star = pattern.find('*');
    size_t dot = pattern.rfind('.');
    std::string_view prefix;
    if (star != std::string_view::npos)
        prefix = pattern.substr(0, star);
    else if (dot != std::string_view::npos)
        prefix = pattern.substr(0, dot);
    findExtension_ = dot == std::string_view::npos ? "" : pattern.substr(dot + 1);
    findFolder_ = prefix;
    findPrefixLength_ = prefix.size();
    findPosition_ = LowerBound(prefix);
    findEnd_ = findPosition_;
    while (findEnd_ < keys_.size() && StartsWithFolded(keys_[findEnd_], prefix))
        ++findEnd_;
    ScanFromFindPosition(outName, mode);
    if (outRecord && !outName.empty())
        *outRecord = entries_[findPosition_];
}

void PackArchive::FindNext(std::string& outName, int32_t mode) {
    outName.clear();
    foundEntry_ = nullptr;
    if (findPosition_ >= findEnd_)
        return;
    ++findPosition_;
    if (findExtension_.empty()) {
        // Each folder is reported once: its entries lie side by side.
        std::string folder = findFolder_ + '\\';
        while (findPosition_ < findEnd_ && StartsWithFolded(keys_[findPosition_], folder))
            ++findPosition_;
    }
    ScanFromFindPosition(outName, mode);
}

void PackArchive::ScanFromFindPosition(std::string& outName, int32_t mode) {
    outName.clear();
    foundEntry_ = nullptr;
    for (; findPosition_ < findEnd_; ++findPosition_) {
        const PackEntry& entry = entries_[findPosition_];
        if (findExtension_ == "*" ||
            (!findExtension_.empty() && EqualsFolded(entry.extension, findExtension_))) {
            outName = entry.name;
            foundEntry_ = &entry;
            return;
        }
        if (!findExtension_.empty())
            continue;
        size_t separator = entry.name.find('\\', findPrefixLength_);
        if (separator == std::string::npos) {
            if (mode == kListFolders)
                continue;
            return;
        }
        outName = entry.name.substr(0, separator);
        findFolder_ = outName;
        return;
    }
    findPosition_ = findEnd_ = entries_.size();
}

std::string PackArchive::SourcePathOf(const std::string& name) const {
    std::string relative = name;
    for (char& c : relative)
        if (c == '\\')
            c = '/';
    return JoinHostPath(rootFolder_, relative);
}

bool PackArchive::ScanFolder() {
    failures_.clear();
    buildSet_.clear();
    auto root = ResolveHostPath(rootFolder_);
    plat::PathInfo info;
    if (!root || !plat::GetPathInfo(*root, info) || info.kind != plat::PathKind::Folder)
        return Fail("cannot list the folder " + rootFolder_);
    rootFolder_ = std::move(*root);
    return ScanFolderInto(rootFolder_, "");
}

bool PackArchive::ScanFolderInto(const std::string& hostFolder, const std::string& prefix) {
    auto names = ReadFolderNames(hostFolder);
    if (!names)
        return Fail("cannot list the folder " + hostFolder);
    bool ok = true;
    for (const std::string& name : *names) {
        std::string hostPath = JoinHostPath(hostFolder, name);
        if (name.find('\\') != std::string::npos) {
            plat::ShowMessage(hostPath + ": a name with a backslash cannot be packed", "Error adding file");
            ok = Fail("left out " + hostPath);
            continue;
        }
        plat::PathInfo info;
        if (!plat::GetPathInfo(hostPath, info, false))
            continue;
        if (info.kind == plat::PathKind::Folder)
            ok = ScanFolderInto(hostPath, prefix + name + '\\') && ok;
        else if ((info.kind == plat::PathKind::File ||
                  (info.kind == plat::PathKind::Link && plat::GetPathInfo(hostPath, info) &&
                   info.kind == plat::PathKind::File)) &&
                 !AddEntry(prefix + name))
            ok = false;
    }
    return ok;
}

bool PackArchive::AddEntry(const std::string& name) {
    if (name.size() >= kPackNameSize) {
        plat::ShowMessage(SourcePathOf(name) + ": the name is longer than " +
                              std::to_string(kPackNameSize - 1) + " characters",
                          "Error adding file");
        return Fail("left out " + name);
    }
    PackEntry entry;
    entry.name = name;
    entry.extension = PackExtensionOf(name);
    if (!buildSet_.emplace(FoldedCopy(name), std::move(entry)).second) {
        plat::ShowMessage(SourcePathOf(name) + ": another file has the same name in other letter case",
                          "Error adding file");
        return Fail("left out " + name);
    }
    return true;
}

bool PackArchive::PackFile(const std::string& name, PackEntry& entry, std::vector<uint8_t>& bytes) {
    std::string path = SourcePathOf(name);
    entry.compressedFlag = kPackCompressedFlag;
    entry.packedSize = entry.unpackedSize = 0;
    bytes.clear();
    plat::File file;
    if (!file.Open(path, plat::File::Mode::Read)) {
        plat::ShowMessage(path, "Error opening file");
        return Fail("cannot open " + path);
    }
    uint64_t size = file.Size();
    if (size > kMaxExpandedSize) {
        plat::ShowMessage(path + ": too large for an archive", "Error reading file");
        return Fail("too large: " + path);
    }
    ReadFileWriteTime(path, entry.writeTime);
    if (size == 0)
        return true;
    std::vector<uint8_t> raw(size);
    if (!file.ReadExact(raw.data(), raw.size())) {
        plat::ShowMessage(path, "Error reading file");
        return Fail("cannot read " + path);
    }
    entry.unpackedSize = uint32_t(size);
    uint32_t packed = packBuffer_.Compress(raw, uint8_t(method_));
    if (packed == 0) {
        // Too short or otherwise unpackable: kept as it is.
        entry.compressedFlag = 0;
        bytes = std::move(raw);
    } else {
        entry.packedSize = packed;
        bytes.assign(packBuffer_.Buffer(), packBuffer_.Buffer() + packed);
    }
    return true;
}

bool PackArchive::BuildPackArchive(const std::string& dataPath) {
    std::string indexPath = PackIndexPath(dataPath);
    if (indexPath == dataPath)
        return Fail("the data file " + dataPath + " would be its own index");
    plat::AtomicFileWriter data(dataPath);
    if (!data.Open())
        return Fail("cannot create the data file " + data.Error());
    PackIndex index;
    index.method = method_;
    bool allPacked = true;
    uint64_t offset = 0;
    int32_t count = int32_t(buildSet_.size());
    int32_t number = 0;
    for (auto& [key, entry] : buildSet_) {
        if (buildProgress_)
            buildProgress_(++number, count, entry.name.c_str());
        // An archive built into its own folder: its earlier files stay out.
        std::string source = SourcePathOf(entry.name);
        if (SameFile(source, dataPath) || SameFile(source, indexPath))
            continue;
        std::vector<uint8_t> bytes;
        if (!PackFile(entry.name, entry, bytes)) {
            allPacked = false;
            entry.packedSize = entry.unpackedSize = 0;
        }
        if (offset + bytes.size() > UINT32_MAX)
            return Fail("the archive would grow beyond 4 GiB");
        entry.offset = uint32_t(offset);
        if (!data.Write(bytes.data(), bytes.size()))
            return Fail("cannot write the data file " + dataPath);
        offset += bytes.size();
        index.entries.push_back(entry);
    }
    buildSet_.clear();
    std::string error;
    if (!data.Commit())
        return Fail("cannot write the data file " + data.Error());
    if (!WritePackIndex(indexPath, index, error))
        return Fail(error);
    return allPacked;
}

PackArchive::BuildSet PackArchive::EntriesAsBuildSet() const {
    BuildSet merged;
    for (const PackEntry& entry : entries_)
        merged.emplace(FoldedCopy(entry.name), entry);
    return merged;
}

bool PackArchive::WriteMergedIndex(const BuildSet& merged) {
    PackIndex index;
    index.method = method_;
    index.entries.reserve(merged.size());
    for (const auto& [key, entry] : merged)
        index.entries.push_back(entry);
    std::string error;
    return WritePackIndex(indexPath_, index, error) || Fail(error);
}

bool PackArchive::RefreshFromFolder() {
    if (!opened_)
        return Fail("no archive is open");
    BuildSet merged = EntriesAsBuildSet();
    FreeSpace space(entries_);
    Close();
    plat::File data;
    if (!data.Open(dataPath_, plat::File::Mode::ReadWrite))
        return Fail("cannot write the data file " + dataPath_);
    bool ok = true;
    int32_t count = int32_t(buildSet_.size());
    int32_t number = 0;
    for (auto& [key, scanned] : buildSet_) {
        if (buildProgress_)
            buildProgress_(++number, count, scanned.name.c_str());
        std::string source = SourcePathOf(scanned.name);
        if (SameFile(source, dataPath_) || SameFile(source, indexPath_))
            continue;
        uint64_t fileTime = 0;
        auto installed = merged.find(key);
        if (installed != merged.end() && ReadFileWriteTime(SourcePathOf(scanned.name), fileTime) &&
            installed->second.writeTime >= fileTime)
            continue;
        PackEntry entry = scanned;
        std::vector<uint8_t> bytes;
        if (!PackFile(scanned.name, entry, bytes)) {
            ok = false;
            continue;
        }
        std::optional<uint32_t> offset = PlaceEntry(merged, key, entry, space);
        if (!offset)
            return Fail("the archive would grow beyond 4 GiB");
        if (!WriteAt(data, *offset, bytes))
            return Fail("cannot write the data file " + dataPath_);
    }
    buildSet_.clear();
    if (!data.Sync())
        return Fail("cannot write the data file " + dataPath_);
    data.Close();
    return WriteMergedIndex(merged) && ok;
}

bool PackArchive::ExtractAll(const std::string& destination) {
    failures_.clear();
    if (!opened_)
        return Fail("no archive is open");
    std::error_code made;
    if (!destination.empty())
        std::filesystem::create_directories(destination, made);
    bool ok = true;
    std::vector<std::string_view> names;
    for (const PackEntry& entry : entries_) {
        if (!SplitRelativePath(entry.name, names) || names.empty()) {
            ok = Fail("the entry '" + entry.name + "' has a name that leads outside the folder");
            continue;
        }
        // Opened before its bytes are allocated, so that a damaged size is
        // refused rather than allocated.
        PackEntrySlot* slot = OpenEntry(entry.name);
        if (!slot) {
            ok = false;
            continue;
        }
        std::vector<uint8_t> bytes(slot->entry->unpackedSize);
        bool read = ReadEntry(slot, bytes.data(), int32_t(bytes.size()));
        CloseEntry(slot);
        if (!read) {
            ok = Fail("cannot read the entry '" + entry.name + "'");
            continue;
        }
        // Each folder below the destination is made or found as a real
        // folder: a symbolic link inside the destination would lead the
        // entry out of it.
        std::string folder = destination;
        bool inside = true;
        for (size_t i = 0; i + 1 < names.size() && inside; ++i) {
            folder = JoinHostPath(folder, names[i]);
            inside = MakeRealFolder(folder);
        }
        std::string path = JoinHostPath(folder, names.back());
        plat::PathInfo info;
        if (!inside || (plat::GetPathInfo(path, info, false) && info.kind != plat::PathKind::File)) {
            ok = Fail("the entry '" + entry.name + "' is left out: " + (inside ? path : folder) +
                      " is a symbolic link or no folder");
            continue;
        }
        std::string error;
        if (!plat::WriteFileAtomically(path, bytes.data(), bytes.size(), &error))
            ok = Fail("cannot write " + error);
        else if (!SetFileWriteTime(path, entry.writeTime))
            ok = Fail("cannot set the time of " + path);
    }
    return ok;
}

bool PackArchive::ApplyUpdate(const std::string& packagePath) {
    failures_.clear();
    if (!opened_)
        return Fail("no archive is open");
    PackArchive package;
    if (!package.Open(packagePath, 1, 2))
        return Fail("update package: " + package.LastError());
    if (package.Method() != method_)
        return Fail("the update package uses compression method " + std::to_string(package.Method()) +
                    ", the archive method " + std::to_string(method_));
    for (const PackEntry& entry : package.Entries()) {
        PackEntrySlot* slot = package.OpenEntry(entry.name);
        if (!slot)
            return Fail("update package: " + package.LastError());
        package.CloseEntry(slot);
    }

    // Plan every placement first, so that nothing is written when the
    // archive would outgrow its 32-bit offsets.
    struct Placement {
        uint64_t offset;
        std::span<const uint8_t> bytes;
    };
    std::vector<std::optional<Placement>> placements;
    BuildSet merged = EntriesAsBuildSet();
    FreeSpace space(entries_);
    for (const PackEntry& update : package.Entries()) {
        std::optional<Placement>& placement = placements.emplace_back();
        std::string key = FoldedCopy(update.name);
        auto installed = merged.find(key);
        if (installed != merged.end() &&
            !(update.IsCompressed() && installed->second.writeTime < update.writeTime))
            continue;
        std::optional<uint32_t> offset = PlaceEntry(merged, key, update, space);
        if (!offset)
            return Fail("the archive would grow beyond 4 GiB");
        placement = Placement{*offset, package.StoredBytes(update)};
    }

    std::string dataPath = dataPath_;
    Close();
    plat::File data;
    if (!data.Open(dataPath, plat::File::Mode::ReadWrite))
        return Fail("cannot write the data file " + dataPath);
    size_t done = 0;
    for (const std::optional<Placement>& placement : placements) {
        if (placement && !WriteAt(data, placement->offset, placement->bytes))
            return Fail("cannot write the data file " + dataPath);
        if (updateProgress_)
            updateProgress_(int32_t(++done * 100 / (placements.size() + 1)));
    }
    if (!data.Sync())
        return Fail("cannot write the data file " + dataPath);
    data.Close();
    if (!WriteMergedIndex(merged))
        return false;
    if (updateProgress_)
        updateProgress_(100);
    return true;
}
