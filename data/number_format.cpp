#include "data/number_format.h"

#include "data/text_tables.h"

#include <algorithm>
#include <array>
#include <charconv>

namespace {

constexpr int kAmountPatternOffset = 8;

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

void AppendUnsigned(std::string& out, uint64_t value, size_t width, bool zeroPad) {
    std::array<char, 24> digits{};
    auto end = std::to_chars(digits.data(), digits.data() + digits.size(), value).ptr;
    size_t length = size_t(end - digits.data());
    if (width > length)
        out.append(width - length, zeroPad ? '0' : ' ');
    out.append(digits.data(), length);
}

uint64_t Magnitude(int64_t value) {
    // Unsigned negation is defined for every value, the most negative one
    // included: its magnitude 9223372036854775808 fits in 64 unsigned bits.
    return value < 0 ? 0 - uint64_t(value) : uint64_t(value);
}

std::string FormatByIndex(int64_t value, int index, int patternOffset) {
    if (index < 0 || index >= kNumberFormatCount)
        return {};
    std::array<uint64_t, 4> groups{};
    SplitThousands(Magnitude(value), groups[0], groups[1], groups[2], groups[3]);
    // Index 0 and 1 take all four groups, 2 and 3 the last three, and so on.
    size_t first = size_t(index / 2);
    std::span<const uint64_t> args(groups.data() + first, groups.size() - first);
    return FillNumberPattern(TextTables::GetNF(index + patternOffset), args);
}

} // namespace

std::string FillNumberPattern(std::string_view pattern, std::span<const uint64_t> args) {
    std::string out;
    size_t nextArg = 0;
    size_t i = 0;
    while (i < pattern.size() && out.size() < kMaxFormattedNumberLength) {
        if (pattern[i] != '%') {
            out += pattern[i++];
            continue;
        }
        if (i + 1 < pattern.size() && pattern[i + 1] == '%') {
            out += '%';
            i += 2;
            continue;
        }
        size_t j = i + 1;
        bool zeroPad = false;
        while (j < pattern.size() && (pattern[j] == '0' || pattern[j] == '#'))
            zeroPad |= pattern[j++] == '0';
        size_t width = 0;
        while (j < pattern.size() && IsDigit(pattern[j]))
            width = std::min(width * 10 + size_t(pattern[j++] - '0'), kMaxFormattedNumberLength);
        if (j < pattern.size() && pattern[j] == 'u' && nextArg < args.size()) {
            AppendUnsigned(out, args[nextArg++], width, zeroPad);
            i = j + 1;
        } else {
            out += '%';
            ++i;
        }
    }
    if (out.size() > kMaxFormattedNumberLength)
        out.resize(kMaxFormattedNumberLength);
    return out;
}

void SplitThousands(uint64_t value, uint64_t& billions, uint64_t& millions, uint64_t& thousands,
                    uint64_t& units) {
    billions = value / 1000000000;
    millions = value / 1000000 % 1000;
    thousands = value / 1000 % 1000;
    units = value % 1000;
}

int NumberFormatIndex(int64_t value) {
    int sign = value < 0 ? 1 : 0;
    uint64_t magnitude = Magnitude(value);
    if (magnitude >= 1000000000)
        return 0 + sign;
    if (magnitude >= 1000000)
        return 2 + sign;
    if (magnitude >= 1000)
        return 4 + sign;
    return 6 + sign;
}

std::string FormatNumberByIndex(int64_t value, int index) {
    return FormatByIndex(value, index, 0);
}

std::string FormatAmountByIndex(int64_t value, int index) {
    return FormatByIndex(value, index, kAmountPatternOffset);
}

std::string PickNumberFormat(int64_t value) {
    return FormatNumberByIndex(value, NumberFormatIndex(value));
}

std::string PickAmountFormat(int64_t value) {
    return FormatAmountByIndex(value, NumberFormatIndex(value));
}

std::string FormatNumber(int64_t value) {
    return PickNumberFormat(value);
}

std::string FormatAmount(int64_t value) {
    return PickAmountFormat(value);
}
