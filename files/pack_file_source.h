// The file source over one packed archive (source type "pkq"): read-only, at
// most four entries of the archive open at once. Its open files keep the
// source alive, so they stay readable after the file system lets it go.
#pragma once

#include "files/file_source.h"
#include "files/pack_archive.h"

#include <string>

class PackFileSource : public FileSource {
public:
    static constexpr int32_t kSlotCount = 4;

    // Opens the archive; none when it cannot be opened.
    static RefPtr<FileSource> Create(std::string_view path);

    // Entries open read-only whatever access and disposition ask for.
    RefPtr<VfsFile> OpenFile(std::string_view path, uint32_t access, uint32_t disposition) override;
    // True for an entry of exactly that name or a folder holding entries.
    bool FileExists(std::string_view path) override;
    bool FileSize(std::string_view path, uint32_t& size) override;
    bool FindFirst(FindRecord& record, std::string_view pattern, uint32_t mode) override;
    bool FindNext(FindRecord& record) override;
    bool FindClose() override { return true; }

    const std::string& SourcePath() const override { return sourcePath_; }
    uint32_t FindMode() const override { return findMode_; }
    const std::string& FindPattern() const override { return findPattern_; }

    PackArchive& Archive() { return archive_; }

private:
    explicit PackFileSource(std::string sourcePath) : sourcePath_(std::move(sourcePath)) {}

    bool FillRecord(FindRecord& record, const std::string& name) const;

    std::string sourcePath_;
    PackArchive archive_;
    uint32_t findMode_ = kFindAll;
    std::string findPattern_;
};

// An open entry of a packed archive.
class PackFile : public VfsFile {
public:
    PackFile(RefPtr<PackFileSource> source, PackEntrySlot* slot) : source_(std::move(source)), slot_(slot) {}

    // Reads exactly count bytes or nothing.
    bool Read(uint32_t count, void* destination, uint32_t* outCount) override;
    uint32_t Size() override { return slot_->entry->unpackedSize; }
    // Moves within the entry, from its start to its end.
    uint32_t Seek(int32_t distance, uint32_t origin) override;

private:
    ~PackFile() override { source_->Archive().CloseEntry(slot_); }

    RefPtr<PackFileSource> source_;
    PackEntrySlot* slot_;
};

// The factory of the type "pkq".
inline RefPtr<FileSource> CreatePackFileSource(std::string_view path) {
    return PackFileSource::Create(path);
}
