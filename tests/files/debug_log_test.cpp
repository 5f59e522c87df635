#include "files/debug_log.h"

#include "platform/file.h"
#include "tests/files/scratch_folder.h"

#include <gtest/gtest.h>

#include <string>

namespace {

class DebugLogTest : public ::testing::Test {
protected:
    // The file's text once the log has been closed (the stream is buffered).
    std::string Contents() const {
        std::string text;
        plat::ReadWholeFile(path_, text);
        return text;
    }

    ScratchFolder folder_;
    std::string path_ = folder_ / "MD.log";
};

TEST_F(DebugLogTest, WritesOnlyCategoriesInTheMask) {
    struct Case {
        uint32_t mask;
        uint32_t category;
        bool written;
    };
    const Case cases[] = {
        {0, DebugLog::kCategoryAi, false},
        {0, 0xFFFFFFFF, false},
        {DebugLog::kCategoryAi, DebugLog::kCategoryAi, true},
        {DebugLog::kCategoryAi, 0x0800, false},
        {0x1800, 0x0800, true},
        {0xFFFFFFFF, 0, false},
    };
    for (const Case& c : cases) {
        {
            DebugLog log(path_);
            ASSERT_TRUE(log.SetFlags(DebugLog::kFlagOpen, true));
            log.SetCategoryMask(c.mask);
            log.Printf(c.category, "message %d", 7);
        }
        EXPECT_EQ(Contents(), c.written ? "message 7" : "") << std::hex << c.mask << " " << c.category;
    }
}

TEST_F(DebugLogTest, MessagesRunOnWithoutLineBreaks) {
    DebugLog log(path_);
    log.SetCategoryMask(DebugLog::kCategoryAi);
    ASSERT_TRUE(log.SetFlags(DebugLog::kFlagOpen, true));
    log.Printf(DebugLog::kCategoryAi, "player %s", "Blue");
    log.Printf(DebugLog::kCategoryAi, " builds %u tracks\n", 12u);
    log.SetFlags(0, false);
    EXPECT_FALSE(log.IsOpen());
    EXPECT_EQ(Contents(), "player Blue builds 12 tracks\n");
}

TEST_F(DebugLogTest, OpeningTwiceDoesNotEmptyTheLog) {
    DebugLog log(path_);
    log.SetCategoryMask(1);
    ASSERT_TRUE(log.SetFlags(DebugLog::kFlagOpen, true));
    log.Printf(1, "first ");
    ASSERT_TRUE(log.SetFlags(DebugLog::kFlagOpen, true));
    log.Printf(1, "second");
    log.SetFlags(0, true);
    EXPECT_EQ(Contents(), "first second");

    ASSERT_TRUE(log.SetFlags(DebugLog::kFlagOpen, false));
    log.Printf(1, " appended");
    log.SetFlags(0, true);
    EXPECT_EQ(Contents(), "first second appended");

    ASSERT_TRUE(log.SetFlags(DebugLog::kFlagOpen, true));
    log.SetFlags(0, true);
    EXPECT_EQ(Contents(), "");
}

TEST_F(DebugLogTest, LongMessagesAreCut) {
    DebugLog log(path_);
    log.SetCategoryMask(1);
    ASSERT_TRUE(log.SetFlags(DebugLog::kFlagOpen, true));
    const std::string longText(10000, 'x');
    log.Printf(1, "%s", longText.c_str());
    log.Printf(1, "|end");
    log.SetFlags(0, true);
    EXPECT_EQ(Contents(), std::string(DebugLog::kMaxMessageLength, 'x') + "|end");
}

TEST_F(DebugLogTest, UnopenableFileKeepsTheLogClosed) {
    DebugLog log(folder_ / "missing/MD.log");
    log.SetCategoryMask(1);
    EXPECT_FALSE(log.SetFlags(DebugLog::kFlagOpen | 0x10, true));
    EXPECT_FALSE(log.IsOpen());
    EXPECT_EQ(log.Flags(), 0x10u);
    log.Printf(1, "dropped %d", 1);
}

} // namespace
