#include "ui/layout_record.h"

#include <array>
#include <charconv>
#include <limits>
#include <vector>

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

// A whole decimal number with an optional sign, within [low, high].
bool ParseNumber(std::string_view token, int64_t low, int64_t high, int64_t& value) {
    if (!token.empty() && token.front() == '+')
        token.remove_prefix(1);
    if (token.empty() || token.front() == '+')
        return false;
    const char* end = token.data() + token.size();
    auto [ptr, ec] = std::from_chars(token.data(), end, value);
    return ec == std::errc() && ptr == end && value >= low && value <= high;
}

} // namespace

bool ParseLayoutLine(std::string_view line, UifLayoutRecord& record, std::string& error) {
    while (!line.empty() && (line.back() == '\r' || line.back() == '\n'))
        line.remove_suffix(1);
    if (line.size() > kMaxLayoutLineLength) {
        error = "line longer than " + std::to_string(kMaxLayoutLineLength) + " characters";
        return false;
    }
    const size_t firstQuote = line.find('"');
    std::string_view head = line.substr(0, firstQuote);

    std::vector<std::string_view> tokens;
    for (size_t i = 0; i < head.size();) {
        while (i < head.size() && IsBlank(head[i]))
            ++i;
        const size_t start = i;
        while (i < head.size() && !IsBlank(head[i]))
            ++i;
        if (i > start)
            tokens.push_back(head.substr(start, i - start));
    }
    if (tokens.empty()) {
        error = "empty line";
        return false;
    }
    if (tokens[0] == "END") {
        record.Keyword = "END";
        return true;
    }
    if (tokens[0].size() > kMaxLayoutStringLength) {
        error = "keyword longer than " + std::to_string(kMaxLayoutStringLength) + " characters";
        return false;
    }
    constexpr size_t kNumbers = 23;
    if (tokens.size() != kNumbers + 1) {
        error = "has " + std::to_string(tokens.size() - 1) + " numbers before its strings, needs " +
                std::to_string(kNumbers);
        return false;
    }
    // Tokens 8-11 and 20 are unsigned (a negative number wraps as the
    // format's reading does); the rest are signed 32-bit.
    std::array<int64_t, kNumbers> n{};
    for (size_t i = 0; i < kNumbers; ++i) {
        const size_t token = i + 2; // numbered as in the format, the keyword being 1
        const bool isUnsigned = (token >= 8 && token <= 11) || token == 20;
        const int64_t low = std::numeric_limits<int32_t>::min();
        const int64_t high = isUnsigned ? int64_t(std::numeric_limits<uint32_t>::max())
                                        : int64_t(std::numeric_limits<int32_t>::max());
        if (!ParseNumber(tokens[i + 1], low, high, n[i])) {
            error = "number " + std::to_string(i + 1) + " (\"" + std::string(tokens[i + 1].substr(0, 20)) +
                    "\") is not a 32-bit whole number";
            return false;
        }
    }

    std::array<std::string, 8> strings;
    size_t count = 0;
    size_t pos = firstQuote;
    while (pos < line.size()) {
        if (IsBlank(line[pos])) {
            ++pos;
            continue;
        }
        if (line[pos] != '"' || count == strings.size()) {
            error = count == strings.size() ? "text after the eighth quoted string"
                                            : "text between quoted strings";
            return false;
        }
        const size_t close = line.find('"', pos + 1);
        if (close == std::string_view::npos) {
            error = "quoted string " + std::to_string(count + 1) + " is not closed";
            return false;
        }
        if (close - pos - 1 > kMaxLayoutStringLength) {
            error = "quoted string " + std::to_string(count + 1) + " longer than " +
                    std::to_string(kMaxLayoutStringLength) + " characters";
            return false;
        }
        strings[count++] = std::string(line.substr(pos + 1, close - pos - 1));
        pos = close + 1;
    }
    if (count != strings.size()) {
        error = "has " + std::to_string(count) + " quoted strings, needs 8";
        return false;
    }

    auto i32 = [&](size_t i) { return int32_t(n[i]); };
    auto u32 = [&](size_t i) { return uint32_t(n[i]); };
    record.Keyword = std::string(tokens[0]);
    // n[0] is read and discarded.
    record.Id = i32(1);
    record.Rect = {i32(2), i32(3), i32(4), i32(5)};
    record.Colour1 = u32(6);
    record.Colour2 = u32(7);
    record.Colour3 = u32(8);
    record.Colour4 = u32(9);
    record.Value1 = i32(10);
    record.Value2 = i32(11);
    record.Value3 = i32(12);
    record.Value4 = i32(13);
    record.Rect2 = {i32(14), i32(15), i32(16), i32(17)};
    record.ToolTipValue = u32(18);
    record.Spare = 0;
    record.Value5 = i32(19);
    record.Value6 = i32(20);
    record.Flag = uint8_t(uint32_t(n[21]) & 0xFF);
    record.Font = i32(22);
    record.Image = std::move(strings[0]);
    record.ToolTipText = std::move(strings[1]);
    record.ToolTipImage = std::move(strings[2]);
    record.Caption = std::move(strings[3]);
    record.Handler = std::move(strings[4]);
    record.OpenLayout = std::move(strings[5]);
    record.Image2 = std::move(strings[6]);
    record.String7 = std::move(strings[7]);
    return true;
}
