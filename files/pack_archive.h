// Packed archives: a data file holding the entries' bytes back to back and an
// index file beside it ("gfx.pkq" with "gfx.ind"). The archive is opened
// read-only with the data file mapped into memory; entries are found by name
// in any letter case and read through a small table of open-entry slots. The
// tool operations build an archive from a folder, refresh it, extract it and
// merge an update package into it.
#pragma once

#include "files/pack_index.h"
#include "files/pack_mem_buffer.h"
#include "platform/mapped_file.h"

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

// An open entry: each has its own read position and, for a compressed
// entry, its own expanded bytes.
struct PackEntrySlot {
    bool inUse = false;
    // The next byte to read, counted from the entry's start.
    uint32_t position = 0;
    const PackEntry* entry = nullptr;
    std::vector<uint8_t> expanded;
};

class PackArchive {
public:
    using BuildProgress = std::function<void(int32_t index, int32_t count, const char* name)>;
    using UpdateProgress = std::function<void(int32_t percent)>;

    // A compressed entry larger than this is taken for damage.
    static constexpr uint32_t kMaxExpandedSize = 256u << 20;

    PackArchive() = default;
    ~PackArchive() = default;
    PackArchive(const PackArchive&) = delete;
    PackArchive& operator=(const PackArchive&) = delete;

    // Opens the data file and its index (both found in any letter case)
    // with slotCount entries open at most at once. Fails, with LastError
    // saying why, when either file is missing or the index does not fit the
    // data file. Bit 0 of flags (one file holding index and data) is not
    // offered.
    bool Open(const std::string& dataPath, int32_t slotCount, uint32_t flags);
    void Close();
    bool IsOpen() const { return opened_; }
    const std::string& LastError() const { return lastError_; }
    // Every failure of the last operation, in order; LastError is the last.
    const std::vector<std::string>& Failures() const { return failures_; }

    // The compression method of the archive; a new archive builds with 7.
    uint32_t Method() const { return method_; }
    void SetMethod(uint32_t method) { method_ = method; }
    const std::string& DataPath() const { return dataPath_; }
    const std::string& IndexPath() const { return indexPath_; }

    // The entries in index order.
    const std::vector<PackEntry>& Entries() const { return entries_; }
    // The entry of that name in any letter case, or null.
    const PackEntry* FindEntry(std::string_view name) const;
    // True when some entry lies below the folder of that name.
    bool HasFolder(std::string_view name) const;

    // Opens an entry into a free slot; null when the name is not there, all
    // slots are taken or a compressed entry is damaged.
    PackEntrySlot* OpenEntry(std::string_view name);
    // Copies exactly n bytes and moves on, or copies nothing and fails.
    bool ReadEntry(PackEntrySlot* slot, uint8_t* destination, int32_t n);
    // Moves the read position anywhere from the entry's start to its end.
    bool SeekEntry(PackEntrySlot* slot, uint32_t position);
    bool CloseEntry(PackEntrySlot* slot);

    // Lists names by a pattern such as "textures\\*.tga" ("*.*" lists all;
    // in mode 2, "folder\\*" lists the sub-folders once each). outName is
    // empty when nothing (more) matches.
    void FindFirst(std::string& outName, std::string_view pattern, int32_t mode,
                   PackEntry* outRecord = nullptr);
    void FindNext(std::string& outName, int32_t mode);
    // The entry of the last find result, or null when that was a folder.
    const PackEntry* FoundEntry() const { return foundEntry_; }

    // Building: the root folder's files (ScanFolder) are packed into a new
    // archive; the archive's own data and index files are never packed
    // into it when they lie in the folder. Problems with single files are shown to the user and the
    // build goes on; the result is false when any file was left out or the
    // archive could not be written.
    void SetRootFolder(std::string folder) { rootFolder_ = std::move(folder); }
    bool ScanFolder();
    bool BuildPackArchive(const std::string& dataPath);
    void SetBuildProgress(BuildProgress callback) { buildProgress_ = std::move(callback); }

    // Repacks into the open archive the scanned files that are newer than
    // their entries, and adds new ones. The archive is closed afterwards.
    // Refresh and update write new bytes only where the index on disk names
    // none (its gaps and the end), and replace the index last, by rename: a
    // failure or a crash on the way leaves the archive reading as before.
    bool RefreshFromFolder();
    // Writes every entry below the folder with its stored time. Folders and
    // files inside the destination are never followed through symbolic
    // links: an entry whose path meets one is left out as a failure.
    bool ExtractAll(const std::string& destination);

    // Merges an update package into the open archive: entries that the
    // package has newer, and entries it adds. Refuses a package of another
    // method or with a damaged entry before anything is written; the index
    // is replaced whole. The archive is closed afterwards.
    bool ApplyUpdate(const std::string& packagePath);
    void SetUpdateProgress(UpdateProgress callback) { updateProgress_ = std::move(callback); }

private:
    using BuildSet = std::map<std::string, PackEntry>;

    bool Fail(std::string message);
    std::span<const uint8_t> StoredBytes(const PackEntry& entry) const;
    // A compressed entry's bytes, or none when it is damaged.
    std::vector<uint8_t> Expand(const PackEntry& entry);
    PackEntrySlot* CheckedSlot(PackEntrySlot* slot);
    size_t LowerBound(std::string_view name) const;
    void ScanFromFindPosition(std::string& outName, int32_t mode);
    bool ScanFolderInto(const std::string& hostFolder, const std::string& prefix);
    bool AddEntry(const std::string& name);
    // Reads a file and packs it with the archive's method; stored as it is
    // when it cannot be packed.
    bool PackFile(const std::string& name, PackEntry& entry, std::vector<uint8_t>& bytes);
    std::string SourcePathOf(const std::string& name) const;
    BuildSet EntriesAsBuildSet() const;
    bool WriteMergedIndex(const BuildSet& merged);

    bool opened_ = false;
    std::string lastError_;
    std::vector<std::string> failures_;
    uint32_t method_ = kMethodAplib;
    std::string dataPath_;
    std::string indexPath_;
    plat::MappedFile data_;
    std::vector<PackEntry> entries_;
    // The entries' names folded to lower case, for the binary search of
    // listings, and the first entry of each name for lookups.
    std::vector<std::string> keys_;
    std::unordered_map<std::string_view, size_t> entryOfKey_;
    std::vector<PackEntrySlot> slots_;
    PackMemBuffer packBuffer_;

    size_t findPosition_ = 0;
    size_t findEnd_ = 0;
    std::string findExtension_;
    std::string findFolder_;
    size_t findPrefixLength_ = 0;
    const PackEntry* foundEntry_ = nullptr;

    std::string rootFolder_;
    BuildSet buildSet_;
    BuildProgress buildProgress_;
    UpdateProgress updateProgress_;
};
