#include "files/pack_file_source.h"

#include <limits>

namespace {

// Names inside an archive use "\\" and no leading separator; a path written
// with "/" means the same entry.
std::string EntryName(std::string_view path) {
    std::string name(path);
    for (char& c : name)
        if (c == '/')
            c = '\\';
    size_t start = name.find_first_not_of('\\');
    return start == std::string::npos ? std::string() : name.substr(start);
}

} // namespace

RefPtr<FileSource> PackFileSource::Create(std::string_view path) {
    auto source = RefPtr<PackFileSource>::Adopt(new PackFileSource(std::string(path)));
    if (!source->archive_.Open(source->sourcePath_, kSlotCount, 2))
        return nullptr;
    return source;
}

RefPtr<VfsFile> PackFileSource::OpenFile(std::string_view path, uint32_t, uint32_t) {
    PackEntrySlot* slot = archive_.OpenEntry(EntryName(path));
    if (!slot)
        return nullptr;
    return RefPtr<VfsFile>::Adopt(new PackFile(RefPtr<PackFileSource>::Share(this), slot));
}

bool PackFileSource::FileExists(std::string_view path) {
    std::string name = EntryName(path);
    return archive_.FindEntry(name) || archive_.HasFolder(name);
}

bool PackFileSource::FileSize(std::string_view path, uint32_t& size) {
    const PackEntry* entry = archive_.FindEntry(EntryName(path));
    if (!entry)
        return false;
    size = entry->unpackedSize;
    return true;
}

bool PackFileSource::FillRecord(FindRecord& record, const std::string& name) const {
    record = FindRecord{};
    if (name.empty())
        return false;
    const PackEntry* entry = archive_.FoundEntry();
    record.size = entry ? entry->unpackedSize : 0;
    record.fullPath = name;
    size_t separator = name.rfind('\\');
    record.name = separator == std::string::npos ? name : name.substr(separator + 1);
    return true;
}

bool PackFileSource::FindFirst(FindRecord& record, std::string_view pattern, uint32_t mode) {
    findMode_ = mode;
    findPattern_ = pattern;
    std::string name;
    archive_.FindFirst(name, EntryName(pattern), int32_t(mode));
    return FillRecord(record, name);
}

bool PackFileSource::FindNext(FindRecord& record) {
    std::string name;
    archive_.FindNext(name, int32_t(findMode_));
    return FillRecord(record, name);
}

bool PackFile::Read(uint32_t count, void* destination, uint32_t* outCount) {
    if (count > uint32_t(std::numeric_limits<int32_t>::max()) ||
        !source_->Archive().ReadEntry(slot_, static_cast<uint8_t*>(destination), int32_t(count)))
        return false;
    if (outCount)
        *outCount = count;
    return true;
}

uint32_t PackFile::Seek(int32_t distance, uint32_t origin) {
    int64_t base;
    switch (origin) {
    case kSeekStart:
        base = 0;
        break;
    case kSeekCurrent:
        base = slot_->position;
        break;
    case kSeekEnd:
        base = slot_->entry->unpackedSize;
        break;
    default:
        return kSeekFailed;
    }
    int64_t position = base + distance;
    if (position < 0 || position > int64_t(slot_->entry->unpackedSize) ||
        !source_->Archive().SeekEntry(slot_, uint32_t(position)))
        return kSeekFailed;
    return uint32_t(position);
}
