#include "economy/city_config.h"

#include "files/host_path.h"
#include "platform/file.h"
#include "world/game_settings.h"
#include "world/world_warnings.h"

#include <cstdlib>
#include <vector>

namespace {

constexpr uint64_t kMaxFileBytes = uint64_t(4) << 20;
// A block side beyond any town rectangle is no size a town could lay.
constexpr uint32_t kMaxBlockSide = 255;
constexpr BlockSizeSet::Size kFixedSizes[4] = {{3, 3}, {4, 4}, {3, 4}, {4, 3}};

struct CityConfig {
    std::array<BuildingSizeSet, kCityConfigSets> buildingSets{};
    std::array<BlockSizeSet, kCityConfigSets> blockSets{};
    std::array<BlockSizeSet, kCityConfigSets> blockSetsWithFixed{};
};

bool triedToLoad = false;

CityConfig& Config() {
    static CityConfig config;
    return config;
}

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

// Reads the text line by line and word by word, never beyond its end.
class Reader {
public:
    explicit Reader(std::string_view text) : text_(text) {}

    bool AtEnd() {
        SkipSpace();
        return pos_ >= text_.size();
    }
    // The next line that is not blank, without its leading and trailing
    // white space; false at the end.
    bool NextLine(std::string_view& line) {
        if (AtEnd())
            return false;
        size_t end = text_.find('\n', pos_);
        if (end == std::string_view::npos)
            end = text_.size();
        line = text_.substr(pos_, end - pos_);
        pos_ = end;
        while (!line.empty() && IsSpace(line.back()))
            line.remove_suffix(1);
        return true;
    }
    // The next word across lines; false at the end.
    bool NextWord(std::string_view& word) {
        if (AtEnd())
            return false;
        size_t end = pos_;
        while (end < text_.size() && !IsSpace(text_[end]))
            ++end;
        word = text_.substr(pos_, end - pos_);
        pos_ = end;
        return true;
    }
    uint32_t Line() const { return line_; }

private:
    void SkipSpace() {
        while (pos_ < text_.size() && IsSpace(text_[pos_]))
            line_ += text_[pos_++] == '\n' ? 1 : 0;
    }
    std::string_view text_;
    size_t pos_ = 0;
    uint32_t line_ = 1;
};

// Splits a line into its words.
std::vector<std::string_view> Words(std::string_view line) {
    std::vector<std::string_view> words;
    size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && IsSpace(line[i]))
            ++i;
        size_t start = i;
        while (i < line.size() && !IsSpace(line[i]))
            ++i;
        if (i > start)
            words.push_back(line.substr(start, i - start));
    }
    return words;
}

// A decimal number, optionally signed, filling the word.
bool ParseNumber(std::string_view word, int64_t& value) {
    if (word.empty() || word.size() > 12)
        return false;
    size_t i = 0;
    bool negative = false;
    if (word[0] == '-' || word[0] == '+') {
        negative = word[0] == '-';
        i = 1;
    }
    if (i >= word.size())
        return false;
    int64_t v = 0;
    for (; i < word.size(); ++i) {
        if (word[i] < '0' || word[i] > '9')
            return false;
        v = v * 10 + (word[i] - '0');
    }
    value = negative ? -v : v;
    return true;
}

bool ParseUnsigned(std::string_view word, uint32_t& value) {
    int64_t v = 0;
    if (!ParseNumber(word, v) || v < 0 || v > int64_t(UINT32_MAX))
        return false;
    value = uint32_t(v);
    return true;
}

// A hostile file logs its first faults only.
constexpr uint32_t kMaxWarnings = 20;

} // namespace

void ClearCityConfig() {
    Config() = CityConfig{};
}

bool CityConfigLoaded() {
    return triedToLoad;
}

bool ParseCityConfig(std::string_view text, const std::string& source) {
    ClearCityConfig();
    triedToLoad = true;
    CityConfig& config = Config();
    Reader reader(text);
    bool clean = true;
    uint32_t warnings = 0;
    // Marks the text unclean; true while faults are still logged.
    auto fault = [&] {
        clean = false;
        return ++warnings <= kMaxWarnings;
    };
    std::string_view line;
    while (reader.NextLine(line)) {
        std::vector<std::string_view> words = Words(line);
        if (words.size() < 2)
            continue;
        const bool building = words[0] == "BUILDING_SIZE_DISTRIBUTION_SET_BEGIN";
        const bool block = words[0] == "BLOCK_SIZE_DISTRIBUTION_SET_BEGIN";
        if (!building && !block)
            continue;
        int64_t set = -1;
        const bool numbered = ParseNumber(words[1], set) && set >= 0 && set < int64_t(kCityConfigSets);
        if (!numbered) {
            if (fault())
                WorldWarning("%s line %u: set number \"%.*s\" is not in 0..99, the set is left out",
                             source.c_str(), reader.Line(), int(std::min<size_t>(words[1].size(), 40)),
                             words[1].data());
        }
        if (building) {
            BuildingSizeSet values{};
            bool whole = true;
            for (uint32_t i = 0; i < 24 && whole; ++i) {
                std::string_view word;
                whole = reader.NextWord(word) && ParseUnsigned(word, values[i / 4][i % 4]);
            }
            std::string_view closing;
            if (whole)
                reader.NextWord(closing);
            if (!whole) {
                if (fault())
                    WorldWarning("%s line %u: a building-size set needs 24 numbers, the set is left out",
                                 source.c_str(), reader.Line());
            } else if (numbered) {
                config.buildingSets[size_t(set)] = values;
            }
            continue;
        }
        BlockSizeSet sizes;
        bool fits = true, ended = false;
        while (reader.NextLine(line)) {
            if (line == "BLOCK_SIZE_DISTRIBUTION_SET_END") {
                ended = true;
                break;
            }
            std::vector<std::string_view> pair = Words(line);
            BlockSizeSet::Size size;
            if (pair.size() < 2 || !ParseUnsigned(pair[0], size.width) ||
                !ParseUnsigned(pair[1], size.height) || size.width == 0 || size.height == 0 ||
                size.width > kMaxBlockSide || size.height > kMaxBlockSide) {
                if (fault())
                    WorldWarning("%s line %u: \"%.*s\" is no block size, skipped", source.c_str(),
                                 reader.Line(), int(std::min<size_t>(line.size(), 40)), line.data());
                continue;
            }
            if (sizes.count >= kMaxBlockSizesInFile) {
                fits = false;
                continue;
            }
            sizes.sizes[sizes.count++] = size;
        }
        if (!ended) {
            if (fault())
                WorldWarning("%s: block-size set %lld has no end line", source.c_str(),
                             static_cast<long long>(set));
        }
        if (!fits) {
            if (fault())
                WorldWarning("%s: block-size set %lld holds more than %u sizes, the set is left out",
                             source.c_str(), static_cast<long long>(set), kMaxBlockSizesInFile);
            continue;
        }
        if (!numbered)
            continue;
        config.blockSets[size_t(set)] = sizes;
        BlockSizeSet& withFixed = config.blockSetsWithFixed[size_t(set)];
        withFixed = sizes;
        for (const BlockSizeSet::Size& size : kFixedSizes)
            withFixed.sizes[withFixed.count++] = size;
    }
    return clean;
}

bool LoadCityConfig() {
    ClearCityConfig();
    triedToLoad = true;
    const std::string path = InstallPath() + "/" + ConfigFolderName() + "/city_config.txt";
    std::optional<std::string> hostPath = ResolveHostPath(path);
    std::string text, error;
    if (!hostPath || !plat::ReadWholeFile(*hostPath, text, kMaxFileBytes, &error)) {
        WorldWarning("towns: cannot read %s%s%s, towns lay no street blocks", path.c_str(),
                     error.empty() ? "" : ": ", error.c_str());
        return false;
    }
    return ParseCityConfig(text, *hostPath);
}

const BuildingSizeSet& GetBuildingSizeSet(uint32_t set) {
    static const BuildingSizeSet empty{};
    return set < kCityConfigSets ? Config().buildingSets[set] : empty;
}

const BlockSizeSet& GetBlockSizeSet(uint32_t set, bool withFixedSizes) {
    static const BlockSizeSet empty{};
    if (set >= kCityConfigSets)
        return empty;
    return withFixedSizes ? Config().blockSetsWithFixed[set] : Config().blockSets[set];
}
