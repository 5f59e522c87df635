#include "ui/layout_files.h"

#include "engine/asset_log.h"
#include "files/virtual_file_system.h"

std::string LayoutBaseName(std::string_view name) {
    return std::string(name.substr(0, name.find(".uif")));
}

bool IsSafeLayoutName(std::string_view baseName) {
    if (baseName.empty() || baseName == "." || baseName.find("..") != std::string_view::npos)
        return false;
    for (char c : baseName) {
        if (c == '/' || c == '\\' || c == ':' || static_cast<unsigned char>(c) < 0x20)
            return false;
    }
    return true;
}

bool LoadLayoutPlan(std::string_view name, LayoutPlan& plan) {
    const std::string base = LayoutBaseName(name);
    if (!IsSafeLayoutName(base)) {
        LogAssetProblem("layout \"%.80s\": not a name in the layout folder", std::string(name).c_str());
        return false;
    }
    const std::string path = "uif/" + base + ".uif";
    RefPtr<VfsFile> file = VfsOpen(path, kAccessRead, kOpenExisting);
    if (!file) {
        LogAssetProblem("layout %s: cannot be opened", path.c_str());
        return false;
    }
    const uint32_t size = file->Size();
    if (size > kMaxLayoutFileSize) {
        LogAssetProblem("layout %s: file larger than %zu bytes", path.c_str(), kMaxLayoutFileSize);
        return false;
    }
    std::string text(size, '\0');
    uint32_t read = 0;
    if (size > 0 && (!file->Read(size, text.data(), &read) || read != size)) {
        LogAssetProblem("layout %s: cannot be read", path.c_str());
        return false;
    }
    std::string error;
    if (!ReadLayoutText(text, plan, error)) {
        LogAssetProblem("layout %s: %s", path.c_str(), error.c_str());
        return false;
    }
    return true;
}
