#include "world/island_template.h"

#include "files/host_path.h"
#include "platform/file_system.h"
#include "world/game_settings.h"
#include "world/map_generator.h"
#include "world/mountain.h"
#include "world/world_errors.h"
#include "world/world_warnings.h"

IslandTemplate::IslandTemplate() = default;

IslandTemplate::~IslandTemplate() {
    // Mountains lent to someone else stay alive with their new owner.
    if (!ownsMountains)
        for (auto& mountain : mountains)
            (void)mountain.release();
}

std::vector<std::unique_ptr<IslandTemplate>>& IslandList() {
    static std::vector<std::unique_ptr<IslandTemplate>> list;
    return list;
}

void ClearIslandList() {
    IslandList().clear();
}

bool ParseIslandFileName(std::string_view name, uint32_t digits[4]) {
    if (name.size() < kMinIslandFileNameLength)
        return false;
    if (!EqualsFolded(name.substr(name.size() - kIslandFileExtension.size()), kIslandFileExtension))
        return false;
    // The four characters must print back as themselves: digits only, and
    // no leading 0 (whose number would print with three).
    if (name[0] < '1' || name[0] > '9')
        return false;
    uint32_t values[4];
    for (size_t i = 0; i < 4; ++i) {
        if (name[i] < '0' || name[i] > '9')
            return false;
        values[i] = uint32_t(name[i] - '0');
    }
    for (size_t i = 0; i < 4; ++i)
        digits[i] = values[i];
    return true;
}

bool IslandMatches(const uint32_t digits[4], uint32_t regionCode, uint32_t climate) {
    return (regionCode & digits[0]) != 0 && (climate & digits[1]) != 0 && (3 & digits[2]) != 0 &&
           (3 & digits[3]) != 0;
}

std::vector<std::string> ListIslandFiles(std::string& folder) {
    std::optional<std::string> found = ResolveHostPath(InstallPath() + "/" + kIslandFolder);
    if (!found)
        return {};
    folder = *found;
    std::optional<std::vector<std::string>> names = ReadFolderNames(folder);
    if (!names)
        return {};
    std::vector<std::string> files;
    for (std::string& name : *names) {
        if (name.size() < kIslandFileExtension.size() ||
            !EqualsFolded(std::string_view(name).substr(name.size() - kIslandFileExtension.size()),
                          kIslandFileExtension))
            continue;
        plat::PathInfo info;
        if (!plat::GetPathInfo(JoinHostPath(folder, name), info) || info.kind == plat::PathKind::Folder)
            continue;
        files.push_back(std::move(name));
    }
    return files;
}

void ScanIslands() {
    ClearIslandList();
    const MapGeneratorSettings& settings = GetMapGeneratorSettings();
    std::string folder;
    for (const std::string& name : ListIslandFiles(folder)) {
        uint32_t digits[4];
        if (!ParseIslandFileName(name, digits) ||
            !IslandMatches(digits, settings.RegionCode, settings.Climate))
            continue;
        auto island = std::make_unique<IslandTemplate>();
        if (!LoadIsland(JoinHostPath(folder, name), island.get())) {
            WorldWarning("island %s left out: %s", name.c_str(), LastWorldError().c_str());
            continue;
        }
        island->regionMask = digits[0];
        island->climateMask = digits[1];
        island->fertilityKind = digits[2];
        island->mountainKind = digits[3];
        IslandList().push_back(std::move(island));
    }
}
