#include "data/number_format.h"

#include "data/generated/tables.h"
#include "data/text_tables.h"

#include <gtest/gtest.h>

#include <array>
#include <climits>
#include <string>
#include <vector>

namespace {

// Number patterns NF 0 to 7, then amount patterns NF 8 to 15.
const char* const kPatterns[] = {
    "%u,%0#3u,%0#3u,%0#3u",
    "-%u,%0#3u,%0#3u,%0#3u",
    "%u,%0#3u,%0#3u",
    "-%u,%0#3u,%0#3u",
    "%u,%0#3u",
    "-%u,%0#3u",
    "%u",
    "-%u",
    "%u.%0#3u.%0#3u.%0#3u Cr",
    "-%u.%0#3u.%0#3u.%0#3u Cr",
    "%u.%0#3u.%0#3u Cr",
    "-%u.%0#3u.%0#3u Cr",
    "%u.%0#3u Cr",
    "-%u.%0#3u Cr",
    "%u Cr",
    "-%u Cr",
};

class NumberFormatTest : public ::testing::Test {
protected:
    void SetUp() override {
        InterfaceTextContainerTable::Clear();
        for (int k = 0; k < 16; ++k)
            InterfaceTextContainerTable::SetText_(4000 + k, kPatterns[k]);
    }
    void TearDown() override {
        TextTables::SetShowTextIds(false);
        InterfaceTextContainerTable::Clear();
    }
};

TEST_F(NumberFormatTest, FormatsWithTheGroupingPatterns) {
    struct Case {
        int64_t value;
        int index;
        const char* number;
        const char* amount;
    };
    const Case cases[] = {
        {0, 6, "0", "0 Cr"},
        {999, 6, "999", "999 Cr"},
        {1000, 4, "1,000", "1.000 Cr"},
        {1500, 4, "1,500", "1.500 Cr"},
        {999999, 4, "999,999", "999.999 Cr"},
        {1000000, 2, "1,000,000", "1.000.000 Cr"},
        {1234567890, 0, "1,234,567,890", "1.234.567.890 Cr"},
        {5000000000, 0, "5,000,000,000", "5.000.000.000 Cr"},
        {INT64_MAX, 0, "9223372036,854,775,807", "9223372036.854.775.807 Cr"},
        {-1, 7, "-1", "-1 Cr"},
        {-999, 7, "-999", "-999 Cr"},
        {-1000, 5, "-1,000", "-1.000 Cr"},
        {-999999999, 3, "-999,999,999", "-999.999.999 Cr"},
        {-1000000000, 1, "-1,000,000,000", "-1.000.000.000 Cr"},
        {INT64_MIN, 1, "-9223372036,854,775,808", "-9223372036.854.775.808 Cr"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(NumberFormatIndex(c.value), c.index) << c.value;
        EXPECT_EQ(FormatNumber(c.value), c.number) << c.value;
        EXPECT_EQ(FormatAmount(c.value), c.amount) << c.value;
    }
}

TEST_F(NumberFormatTest, FormatsByAGivenIndex) {
    EXPECT_EQ(FormatNumberByIndex(1234567, 6), "567");
    EXPECT_EQ(FormatNumberByIndex(-5, 0), "0,000,000,005");
    EXPECT_EQ(FormatAmountByIndex(1500, 4), "1.500 Cr");
    EXPECT_EQ(FormatNumberByIndex(1, -1), "");
    EXPECT_EQ(FormatNumberByIndex(1, 8), "");
}

TEST_F(NumberFormatTest, ShownIdsArePrintedWithThePattern) {
    TextTables::SetShowTextIds(true);
    EXPECT_EQ(FormatNumber(1500), "(NF-4004)(IT1-4004)1,500");
    EXPECT_EQ(FormatAmount(1500), "(NF-4012)(IT1-4012)1.500 Cr");
}

TEST_F(NumberFormatTest, MissingPatternPrintsTheMissingText) {
    InterfaceTextContainerTable::Clear();
    EXPECT_EQ(FormatNumber(42), kMissingInterfaceText);
}

TEST(SplitThousands, SplitsIntoGroupsOfThreeDigits) {
    struct Case {
        uint64_t value;
        std::array<uint64_t, 4> groups;
    };
    const Case cases[] = {
        {0, {0, 0, 0, 0}},
        {1234567890, {1, 234, 567, 890}},
        {5000000000, {5, 0, 0, 0}},
        {999999999, {0, 999, 999, 999}},
        {UINT64_MAX, {18446744073, 709, 551, 615}},
    };
    for (const Case& c : cases) {
        std::array<uint64_t, 4> groups{};
        SplitThousands(c.value, groups[0], groups[1], groups[2], groups[3]);
        EXPECT_EQ(groups, c.groups) << c.value;
    }
}

TEST(FillNumberPattern, TakesOnlyUnsignedConversions) {
    const std::vector<uint64_t> one = {7};
    struct Case {
        const char* pattern;
        std::string expected;
    };
    const Case cases[] = {
        {"%u", "7"},
        {"%03u|%0#3u", "007|%0#3u"},
        {"100%% of %u", "100% of 7"},
        {"%s%n%p%x%d", "%s%n%p%x%d"},
        {"%-5u %+u %lu %.2u %*u", "%-5u %+u %lu %.2u %*u"},
        {"%u and %u", "7 and %u"},
        {"trailing %", "trailing %"},
        {"%0", "%0"},
        {"", ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(FillNumberPattern(c.pattern, one), c.expected) << c.pattern;

    const std::vector<uint64_t> four = {1, 2, 3, 4};
    EXPECT_EQ(FillNumberPattern("%03u|%0#3u|%#03u|%3u|%#u", four), "001|002|003|  4|%#u");
    EXPECT_EQ(FillNumberPattern("%u", {}), "%u");
}

TEST(FillNumberPattern, ResultFitsTheBuffer) {
    const std::vector<uint64_t> args = {UINT64_MAX, 1, 2, 3};
    const std::string patterns[] = {
        std::string(1000, 'a'),       "%999999999999999999999999u", "%0200u%0200u",
        std::string(250, 'b') + "%u", std::string(300, '%'),
    };
    for (const std::string& pattern : patterns)
        EXPECT_LE(FillNumberPattern(pattern, args).size(), kMaxFormattedNumberLength);
    EXPECT_EQ(FillNumberPattern("%0300u", args), std::string(235, '0') + "18446744073709551615");
    EXPECT_EQ(FillNumberPattern(std::string(250, 'b') + "%u", args), std::string(250, 'b') + "18446");
}

} // namespace
