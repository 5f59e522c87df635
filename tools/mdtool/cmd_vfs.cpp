// mdtool vfs: finds a game path through the file sources and virtual
// directories that an installation's database sets up, as the game does.
#include "tools/mdtool/command.h"

#include "data/database.h"
#include "data/file_locations.h"
#include "files/file_location_hooks.h"
#include "files/host_path.h"
#include "files/virtual_file_system.h"

#include <cstdio>
#include <vector>

namespace mdtool {
namespace {

constexpr const char* kVfsUsage = "vfs cat|which INSTALLDIR PATH";

// Sets the file system up from INSTALLDIR/config/MDConfig.gen.
bool MountInstallation(const std::string& installDir, std::string& error) {
    auto databasePath = ResolveHostPath(installDir + "/config/MDConfig.gen");
    if (!databasePath) {
        error = "no config/MDConfig.gen in " + installDir;
        return false;
    }
    if (!SetInstallPath(installDir)) {
        error = "the installation path is too long";
        return false;
    }
    RegisterStandardSourceTypes();
    InstallFileLocationHooks();
    Database& database = GetDatabase();
    if (!database.ReadFile(*databasePath)) {
        error = "cannot read " + *databasePath;
        return false;
    }
    if (!database.ApplyTable("Root", KindSelector::All))
        std::fprintf(stderr, "mdtool: some file sources of %s could not be added\n", databasePath->c_str());
    if (!database.ApplyTable("RootVirtualDirs", KindSelector::All))
        std::fprintf(stderr, "mdtool: some virtual directories of %s could not be added\n",
                     databasePath->c_str());
    return true;
}

int RunVfs(const Args& args) {
    if (args.size() != 3 || (args[0] != "cat" && args[0] != "which"))
        return Usage(kVfsUsage);
    std::string error;
    if (!MountInstallation(args[1], error))
        return Fail(error);
    VfsLocation location;
    RefPtr<VfsFile> file = VfsOpen(args[2], kAccessRead, kOpenExisting, &location);
    if (!file)
        return Fail("no source has " + args[2]);
    if (args[0] == "which") {
        std::printf("%s %s %s\n", location.typeName.c_str(), location.sourcePath.c_str(),
                    location.path.c_str());
        return 0;
    }
    std::vector<uint8_t> bytes(file->Size());
    uint32_t read = 0;
    if (!file->Read(uint32_t(bytes.size()), bytes.data(), &read) || read != bytes.size())
        return Fail("cannot read " + args[2]);
    if (std::fwrite(bytes.data(), 1, bytes.size(), stdout) != bytes.size() || std::fflush(stdout) != 0)
        return Fail("cannot write to the standard output");
    return 0;
}

} // namespace

MDTOOL_COMMAND("vfs", kVfsUsage, RunVfs);

} // namespace mdtool
