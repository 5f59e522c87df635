// Opens arbitrary bytes as a packed archive and reads, seeks and lists every
// entry, then merges it as an update package into a small sound archive.
// Input: a little-endian u16 index length, the index bytes, the data bytes.
#include "files/pack_archive.h"
#include "platform/endian.h"
#include "platform/file.h"
#include "platform/message.h"

#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

const std::string& Folder() {
    static const std::string folder = [] {
        std::string pattern = (std::filesystem::temp_directory_path() / "md-fuzz-archive-XXXXXX").string();
        if (!::mkdtemp(pattern.data()))
            std::abort();
        plat::SetMessageSink([](const std::string&, const std::string&) {});
        return pattern;
    }();
    return folder;
}

// Plain writes: the atomic writer's sync would slow every run down.
bool Write(const std::string& path, const void* data, size_t size) {
    plat::File file;
    return file.Open(path, plat::File::Mode::Write) && file.WriteExact(data, size);
}

// An installed archive of two stored entries, written afresh each time.
bool WriteInstalled(const std::string& path, uint32_t method) {
    PackIndex index{method, {}};
    for (const char* name : {"a.txt", "textures\\b.tga"}) {
        PackEntry entry;
        entry.compressedFlag = 0;
        entry.offset = uint32_t(index.entries.size());
        entry.unpackedSize = 1;
        entry.name = name;
        entry.extension = PackExtensionOf(name);
        index.entries.push_back(entry);
    }
    std::vector<uint8_t> bytes;
    std::string error;
    return Write(path, "ab", 2) && EncodePackIndex(index, bytes, error) &&
           Write(PackIndexPath(path), bytes.data(), bytes.size());
}

void ReadEverything(PackArchive& archive) {
    uint8_t buffer[512];
    size_t opened = 0;
    for (const PackEntry& entry : archive.Entries()) {
        if (++opened > 64)
            break;
        PackEntrySlot* slot = archive.OpenEntry(entry.name);
        if (!slot)
            continue;
        uint32_t left = slot->entry->unpackedSize;
        while (left > 0) {
            int32_t n = int32_t(std::min<uint32_t>(left, sizeof buffer));
            if (!archive.ReadEntry(slot, buffer, n))
                std::abort();
            left -= uint32_t(n);
        }
        if (archive.ReadEntry(slot, buffer, 1))
            std::abort();
        archive.SeekEntry(slot, slot->entry->unpackedSize / 2);
        archive.ReadEntry(slot, buffer, 1);
        archive.CloseEntry(slot);
    }
    for (const char* pattern : {"*.*", "*", "textures\\*", "textures\\*.tga", "a.txt", "\\"}) {
        for (int32_t mode = 1; mode <= 3; ++mode) {
            std::string name;
            archive.FindFirst(name, pattern, mode);
            for (int i = 0; i < 64 && !name.empty(); ++i)
                archive.FindNext(name, mode);
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2)
        return 0;
    size_t indexSize = std::min<size_t>(plat::LoadLE16(data), size - 2);
    const uint8_t* index = data + 2;
    const std::string package = Folder() + "/fuzz.pkq";
    if (!Write(PackIndexPath(package), index, indexSize) ||
        !Write(package, index + indexSize, size - 2 - indexSize))
        return 0;

    PackArchive archive;
    if (!archive.Open(package, 4, 2))
        return 0;
    ReadEverything(archive);
    uint32_t method = archive.Method();
    archive.Close();

    const std::string installed = Folder() + "/installed.pkq";
    PackArchive target;
    if (WriteInstalled(installed, method) && target.Open(installed, 1, 2) && target.ApplyUpdate(package)) {
        if (!target.Open(installed, 4, 2))
            std::abort();
        ReadEverything(target);
    }
    return 0;
}
