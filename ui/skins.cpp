#include "ui/skins.h"

#include "engine/asset_log.h"
#include "files/virtual_file_system.h"
#include "ui/layout_files.h"

namespace {

std::string FolderOf(const std::string& name) {
    return "skins\\" + name;
}

} // namespace

bool Skins::SetSkin(std::string_view name) {
    if (!IsSafeLayoutName(name)) {
        LogAssetProblem("skin \"%.80s\": not a name in the skins folder", std::string(name).c_str());
        return false;
    }
    RemoveSkin();
    name_ = std::string(name);
    return VfsAddVirtualDir("gfx_uif", FolderOf(name_));
}

bool Skins::RemoveSkin() {
    if (name_.empty())
        return true;
    return VfsRemoveVirtualDir("gfx_uif", FolderOf(name_));
}

Skins& Skins::Program() {
    static Skins skins;
    return skins;
}
