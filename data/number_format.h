// Numbers as the player sees them: the absolute value split into groups of
// three digits and filled into the language's grouping pattern, the
// interface texts NF 0 to 7 for plain numbers and NF 8 to 15 for amounts.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

// The longest result; longer output is cut.
inline constexpr size_t kMaxFormattedNumberLength = 255;
inline constexpr int kNumberFormatCount = 8;

std::string FormatNumber(int64_t value);
// Money and costs.
std::string FormatAmount(int64_t value);

// Choose the pattern index for the value and format with it.
std::string PickNumberFormat(int64_t value);
std::string PickAmountFormat(int64_t value);

// Format with pattern index 0 to 7 of the family; "" for any other index.
std::string FormatNumberByIndex(int64_t value, int index);
std::string FormatAmountByIndex(int64_t value, int index);

// The pattern index of a value: 0, 2, 4, 6 for billions, millions,
// thousands and units of a non-negative value, 1, 3, 5, 7 for a negative one.
int NumberFormatIndex(int64_t value);

void SplitThousands(uint64_t value, uint64_t& billions, uint64_t& millions, uint64_t& thousands,
                    uint64_t& units);

// Fills a grouping pattern with the arguments. Only "%%" and "%u" with the
// flags '0' and '#' and a width are conversions; anything else, and a "%u"
// beyond the arguments, is copied literally. The result is cut to
// kMaxFormattedNumberLength bytes.
std::string FillNumberPattern(std::string_view pattern, std::span<const uint64_t> args);
