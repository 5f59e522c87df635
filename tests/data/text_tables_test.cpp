#include "data/text_tables.h"

#include "data/generated/tables.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>

namespace {

const std::string kMissing = kMissingInterfaceText;

class TextTablesTest : public ::testing::Test {
protected:
    void SetUp() override {
        InterfaceTextContainerTable::Clear();
        InterfaceTextContainerTable::SetText_(0, "zero");
        InterfaceTextContainerTable::SetText_(2, "A\\nB\\\\n");
        InterfaceTextContainerTable::SetText_(4, "");
        InterfaceTextContainerTable::SetText_(2005, "front five");
        InterfaceTextContainerTable::SetText_(3001, "tooltip one");
        InterfaceTextContainerTable::SetText_(4003, "%u");
        InterfaceTextContainerTable::SetText_(4103, "mission three");
        InterfaceTextContainerTable::SetText_(4200, "last");
    }
    void TearDown() override {
        TextTables::SetShowTextIds(false);
        InterfaceTextContainerTable::Clear();
    }
};

TEST_F(TextTablesTest, LooksUpTextsByRange) {
    struct Case {
        const char* lookup;
        std::string text;
        std::string expected;
    };
    const Case cases[] = {
        {"IT1(0)", TextTables::GetIT1(0), "zero"},
        {"IT1(2)", TextTables::GetIT1(2), "A\nB\\\n"},
        {"IT1(4) empty row", TextTables::GetIT1(4), ""},
        {"IT1(7) no record", TextTables::GetIT1(7), kMissing},
        {"IT1(-1)", TextTables::GetIT1(-1), kMissing},
        {"IT1(last row)", TextTables::GetIT1(4200), "last"},
        {"IT1(row count)", TextTables::GetIT1(4201), kMissing},
        {"FE(5)", TextTables::GetFE(5), "front five"},
        {"TT(1)", TextTables::GetTT(1), "tooltip one"},
        {"IT1(3001)", TextTables::GetIT1(3001), "tooltip one"},
        {"NF(3)", TextTables::GetNF(3), "%u"},
        {"MN(3)", TextTables::GetMN(3), "mission three"},
        {"FE(-2001)", TextTables::GetFE(-2001), kMissing},
        {"MN(INT32_MAX)", TextTables::GetMN(INT32_MAX), kMissing},
        {"NF(INT32_MIN)", TextTables::GetNF(INT32_MIN), kMissing},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.text, c.expected) << c.lookup;
}

TEST_F(TextTablesTest, ShowsRangesAndIds) {
    TextTables::SetShowTextIds(true);
    struct Case {
        std::string text;
        std::string expected;
    };
    const Case cases[] = {
        {TextTables::GetIT1(0), "(IT1-0)zero"},
        {TextTables::GetIT1(7), "(IT1-7)" + kMissing},
        {TextTables::GetFE(5), "(FE-5)(IT1-2005)front five"},
        {TextTables::GetTT(1), "(TT-1)(IT1-3001)tooltip one"},
        {TextTables::GetNF(3), "(NF-4003)(IT1-4003)%u"},
        {TextTables::GetMN(3), "(MN-4103)(IT1-4103)mission three"},
        {TextTables::GetMN(INT32_MAX), "(MN-2147487747)(IT1-2147487747)" + kMissing},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.text, c.expected);
}

} // namespace
