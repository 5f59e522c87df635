#include "ui/bitmap_report.h"

#include "ui_fixture.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

TEST(BitmapReport, CountsImagesRenamesUnusedOnesAndSkipsDamagedLayouts) {
    ScratchInstall folder;
    folder.Write("A.uif", LayoutLine(LineSpec("Dialog", 0, 0, 0, 10, 10).Image("Frame.TGA")) +
                              LayoutLine(LineSpec("Button", 1).Image("frame.tga").Caption("12")) + "END\n");
    folder.Write("B.uif", LayoutLine(LineSpec("Dialog").Image("frame.tga")) + "END\n");
    folder.Write("Broken.uif", LayoutLine(LineSpec("Dialog").Image("broken.tga")));
    folder.Write("frame.tga", "x");
    folder.Write("unused.tga", "x");
    folder.Write("textcolor_03.tga", "x");

    BitmapReport report;
    std::string error;
    ASSERT_TRUE(WriteBitmapUseReport(folder.Path(), report, error)) << error;
    EXPECT_EQ(report.counts["A"]["frame.tga"], 2);
    EXPECT_EQ(report.counts["B"]["frame.tga"], 1);
    EXPECT_EQ(report.counts["All"]["frame.tga"], 3);
    EXPECT_EQ(report.counts["All"].count("broken.tga"), 0u);
    EXPECT_EQ(report.counts["All"]["textcolor_03.tga"], 1) << "named by the code";
    ASSERT_EQ(report.skipped.size(), 1u);
    EXPECT_NE(report.skipped[0].find("Broken.uif: line 1: no \"END\""), std::string::npos);
    EXPECT_EQ(report.renamed, std::vector<std::string>{std::string(kUnusedBitmapPrefix) + "unused.tga"});
    EXPECT_EQ(CodeBitmapNames().size(), 53u);

    std::string text;
    ASSERT_TRUE(plat::ReadWholeFile(folder.Path() + "/Used_bitmaps.txt", text));
    const std::string rule(79, '-');
    EXPECT_EQ(text.substr(0, 2 * 80 + 2), rule + "\nA\n" + rule + "\n");
    EXPECT_NE(text.find("frame.tga - 2\n\n" + rule + "\nAll\n"), std::string::npos);

    // A second run finds the renamed file unused again.
    BitmapReport again;
    ASSERT_TRUE(WriteBitmapUseReport(folder.Path(), again, error));
    EXPECT_EQ(again.renamed, std::vector<std::string>{std::string(kUnusedBitmapPrefix) + kUnusedBitmapPrefix +
                                                      "unused.tga"});
    EXPECT_FALSE(WriteBitmapUseReport(folder.Path() + "/missing", again, error));
}

} // namespace
