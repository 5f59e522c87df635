#include "files/file_location_hooks.h"

#include "data/file_locations.h"
#include "files/disk_file_source.h"
#include "files/pack_file_source.h"
#include "files/virtual_file_system.h"

void RegisterStandardSourceTypes() {
    VfsRegisterSourceType("file", CreateDiskFileSource);
    VfsRegisterSourceType("pkq", CreatePackFileSource);
}

void InstallFileLocationHooks() {
    VfsHooks& hooks = GetVfsHooks();
    hooks.addSource = [](const std::string& type, const std::string& path) {
        return VfsAddSource(type, path);
    };
    hooks.addVirtualDir = [](const std::string& name, const std::string& folder) {
        return VfsAddVirtualDir(name, folder);
    };
    hooks.removeVirtualDir = [](const std::string& name, const std::string& folder) {
        VfsRemoveVirtualDir(name, folder);
    };
}
