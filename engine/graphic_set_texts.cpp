#include "engine/graphic_set_texts.h"

#include "platform/clock.h"

#include <cstdio>
#include <string>

namespace {

// Longest line of a companion text; the rest of a longer one starts a new line.
constexpr size_t kCompanionLineLength = 399;

} // namespace

bool ParseSpriteCompanion(const char* text, size_t size, SpriteCompanionData& out) {
    std::vector<std::string> lines;
    std::string line;
    for (size_t i = 0; i < size && text[i] != '\0'; ++i) {
        if (text[i] == '\n') {
            lines.push_back(std::move(line));
            line.clear();
            continue;
        }
        line += text[i];
        if (line.size() == kCompanionLineLength) {
            lines.push_back(std::move(line));
            line.clear();
        }
    }
    if (!line.empty())
        lines.push_back(std::move(line));
    if (lines.empty())
        return false;
    const char* p = lines[0].c_str();
    while (*p == ' ' || *p == '\t')
        ++p;
    if (*p < '0' || *p > '9')
        return false;
    uint32_t count = 0;
    while (*p >= '0' && *p <= '9')
        count = count * 10 + uint32_t(*p++ - '0');
    SpriteCompanionData data;
    data.loadTime = plat::Clock::Millis();
    data.count = count;
    for (size_t n = 1; n < lines.size(); ++n) {
        std::vector<std::pair<uint8_t, uint8_t>> pairs;
        std::vector<uint8_t> numbers;
        const std::string& l = lines[n];
        for (size_t i = 0; i < l.size();) {
            if (l[i] < '0' || l[i] > '9') {
                ++i;
                continue;
            }
            uint8_t value = 0;
            while (i < l.size() && l[i] >= '0' && l[i] <= '9')
                value = uint8_t(value * 10 + (l[i++] - '0'));
            numbers.push_back(value);
        }
        for (size_t i = 0; i + 1 < numbers.size(); i += 2)
            pairs.push_back({numbers[i], numbers[i + 1]});
        data.lines.push_back(std::move(pairs));
    }
    out = std::move(data);
    return true;
}

bool ParseCursorName(std::string_view name, int32_t& hotspotX, int32_t& hotspotY, int32_t& columns,
                     int32_t& rows) {
    // "cursor_" then the number, then four fields separated by "_".
    size_t at = name.rfind("cursor_");
    if (at == std::string_view::npos)
        return false;
    std::string rest(name.substr(at + 7));
    int values[5] = {};
    int consumed = 0;
    if (std::sscanf(rest.c_str(), "%d_%d_%d_%d_%d%n", &values[0], &values[1], &values[2], &values[3],
                    &values[4], &consumed) != 5)
        return false;
    if (values[3] < 1 || values[4] < 1 || values[3] > 16 || values[4] > 16 || values[3] * values[4] > 16)
        return false;
    hotspotX = values[1];
    hotspotY = values[2];
    columns = values[3];
    rows = values[4];
    return true;
}
