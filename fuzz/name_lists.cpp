// Reads arbitrary bytes as the company-name list ("AINames.txt") and as a
// town-name list, from memory and from the files the game reads. Names are
// single lines within their lengths; the files give what the text gives.
#include "scratch_file.h"
#include "world/game_settings.h"
#include "world/map_generator.h"
#include "world/player.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace {

void Check(bool condition) {
    if (!condition)
        __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static FuzzScratch scratch;
    static const bool setUp = (InstallPath() = scratch.Folder(), ConfigFolderName() = "config", true);
    (void)setUp;
    const std::string_view text(reinterpret_cast<const char*>(data), size);

    const std::vector<std::string> companies = ParseAINames(text);
    for (const std::string& entry : companies) {
        Check(!entry.empty() && entry.size() <= 159 && entry[0] != '.');
        Check(entry.find('\n') == std::string::npos);
    }
    const std::vector<std::string> towns = ParseCityNames(text);
    Check(towns.size() <= 65536);
    for (const std::string& name : towns) {
        Check(!name.empty() && name.size() <= kMaxCityNameLength);
        Check(name.find('\n') == std::string::npos);
        Check(name.front() != ' ');
    }

    scratch.Write("config/AINames.txt", data, size);
    scratch.Write("config/0_citynames.txt", data, size);
    Check(LoadCityNames(0) == towns);
    ClearAINames();
    std::string manager, company;
    PickAIName(0, manager, company);
    if (companies.size() >= 3) {
        Check(GetAINames() == companies);
        Check(companies[0].find(';') == std::string::npos ? manager.empty() && company == companies[0]
                                                          : manager + ";" + company == companies[0]);
    }
    return 0;
}
