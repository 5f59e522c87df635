// Resolves arbitrary paths through the virtual file system over a folder and
// a packed archive: long paths, "..", odd separators and NUL bytes must
// never crash and never reach the file that lies outside the folder.
#include "files/disk_file_source.h"
#include "files/pack_archive.h"
#include "files/pack_file_source.h"
#include "files/virtual_file_system.h"
#include "platform/file.h"

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

namespace {

constexpr char kSecret[] = "SECRET-OUTSIDE-THE-ROOT";

void Require(bool condition) {
    if (!condition)
        std::abort();
}

void SetUp() {
    std::string pattern = (std::filesystem::temp_directory_path() / "md-fuzz-vfs-XXXXXX").string();
    Require(::mkdtemp(pattern.data()) != nullptr);
    const std::string base = pattern;
    namespace fs = std::filesystem;
    fs::create_directories(base + "/root/Textures/Sub");
    fs::create_directories(base + "/root/skins/blue");
    fs::create_directories(base + "/packed/ui");
    Require(plat::WriteFileAtomically(base + "/secret", kSecret));
    Require(plat::WriteFileAtomically(base + "/root/Textures/A.tga", "a"));
    Require(plat::WriteFileAtomically(base + "/root/Textures/Sub/b.TGA", "b"));
    Require(plat::WriteFileAtomically(base + "/root/skins/blue/x.tga", "x"));
    Require(plat::WriteFileAtomically(base + "/packed/ui/main.uif", "uif"));
    PackArchive builder;
    builder.SetRootFolder(base + "/packed");
    Require(builder.ScanFolder() && builder.BuildPackArchive(base + "/root/uif.pkq"));

    VfsRegisterSourceType("file", CreateDiskFileSource);
    VfsRegisterSourceType("pkq", CreatePackFileSource);
    Require(VfsAddSource("file", base + "/root"));
    Require(VfsAddSource("pkq", base + "/root/uif.pkq"));
    VfsAddVirtualDir("gfx_uif", "textures");
    VfsAddVirtualDir("gfx_uif", "skins\\blue");
    VfsAddVirtualDir("up", "..");
    VfsAddVirtualDir("", "Textures\\Sub");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool ready = (SetUp(), true);
    (void)ready;
    if (size == 0)
        return 0;
    const uint32_t mode = uint32_t(data[0] % 4);
    const std::string path(reinterpret_cast<const char*>(data + 1), size - 1);

    char buffer[sizeof kSecret] = {};
    if (RefPtr<VfsFile> file = VfsOpen(path, kAccessRead, kOpenExisting)) {
        uint32_t read = 0;
        file->Read(sizeof kSecret - 1, buffer, &read);
        Require(std::memcmp(buffer, kSecret, sizeof kSecret - 1) != 0);
        file->Seek(int32_t(size), kSeekCurrent);
        file->Seek(-int32_t(size), kSeekEnd);
    }

    std::vector<FindRecord> records;
    VfsFindAll(records, path, mode);
    Require(records.size() < 1000);
    FindRecord record;
    if (VfsFindFirst(record, path, mode))
        Require(VfsFindClose());
    return 0;
}
