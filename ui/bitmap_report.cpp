#include "ui/bitmap_report.h"

#include "platform/file.h"
#include "ui/layout_reader.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>

namespace {

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return char(std::tolower(c)); });
    return text;
}

bool HasExtension(const std::filesystem::path& path, const char* extension) {
    return Lower(path.extension().string()) == extension;
}

void Count(BitmapUseCounts& counts, const std::string& layout, const UifLayoutRecord& record) {
    for (const std::string* image : {&record.Image, &record.ToolTipImage, &record.Image2}) {
        if (image->empty())
            continue;
        const std::string name = Lower(*image);
        ++counts[layout][name];
        ++counts["All"][name];
    }
}

std::string ReportText(const BitmapReport& report) {
    const std::string rule(79, '-');
    std::string text;
    for (const auto& [key, images] : report.counts) {
        text += rule + "\n" + key + "\n" + rule + "\n";
        for (const auto& [image, count] : images)
            text += image + " - " + std::to_string(count) + "\n";
        text += "\n";
    }
    for (const std::string& skipped : report.skipped)
        text += "not read: " + skipped + "\n";
    return text;
}

} // namespace

const std::vector<std::string>& CodeBitmapNames() {
    static const std::vector<std::string> names = [] {
        std::vector<std::string> list = {"13_Statuszeile_Bar.tga",
                                         "cursor_sb2_cursor.tga",
                                         "00_tool_tip.tga",
                                         "BuildingSchedule_listbox.tga",
                                         "treelistbox_bg.tga",
                                         "00_opened.tga",
                                         "00_closed.tga",
                                         "line_schedule_listbox_slots.tga",
                                         "line_schedule_opened.tga",
                                         "line_schedule_closed.tga"};
        for (int i = 0; i < 16; ++i) {
            char name[32];
            std::snprintf(name, sizeof name, "textcolor_%02d.tga", i);
            list.push_back(name);
        }
        for (const char* cursor : {"cursor_invalid.tga", "cursor_00_15_00_03_02_up.tga",
                                   "cursor_01_15_31_03_02_down.tga", "cursor_02_00_16_03_02_left.tga",
                                   "cursor_03_31_16_03_02_right.tga", "cursor_04_00_00_03_02_leftup.tga",
                                   "cursor_05_31_00_03_02_rightup.tga", "cursor_06_00_31_03_02_leftdown.tga",
                                   "cursor_07_31_31_03_02_rightdown.tga", "cursor_08_0_0_04_02_arrow.tga",
                                   "cursor_09_01_01_01_01_repair.tga", "cursor_08_0_0_01_01_arrow.tga"})
            list.push_back(cursor);
        // The portraits of the computer players.
        for (int i = 0; i < 15; ++i) {
            char name[32];
            std::snprintf(name, sizeof name, "portrait_%02d.tga", i);
            list.push_back(name);
        }
        return list;
    }();
    return names;
}

bool WriteBitmapUseReport(const std::string& folder, BitmapReport& report, std::string& error) {
    namespace fs = std::filesystem;
    std::error_code ec;
    std::vector<fs::path> layouts, pictures;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        if (!it->is_regular_file(ec))
            continue;
        if (HasExtension(it->path(), ".uif"))
            layouts.push_back(it->path());
        else if (HasExtension(it->path(), ".tga"))
            pictures.push_back(it->path());
    }
    if (ec) {
        error = "cannot list " + folder;
        return false;
    }
    std::sort(layouts.begin(), layouts.end());
    std::sort(pictures.begin(), pictures.end());

    for (const fs::path& path : layouts) {
        const std::string file = path.filename().string();
        std::string text;
        std::string reason;
        LayoutPlan plan;
        const auto size = fs::file_size(path, ec);
        if (ec || size > kMaxLayoutFileSize || !plat::ReadWholeFile(path.string(), text)) {
            report.skipped.push_back(file + ": cannot be read");
            continue;
        }
        if (!ReadLayoutText(text, plan, reason)) {
            report.skipped.push_back(file + ": " + reason);
            continue;
        }
        const std::string layout = path.stem().string();
        for (const LayoutWidget& widget : plan.widgets) {
            Count(report.counts, layout, widget.record);
            for (const UifLayoutRecord& slot : widget.rowSlots)
                Count(report.counts, layout, slot);
        }
        if (plan.hasMinimiseButton)
            Count(report.counts, layout, plan.minimiseButton.record);
    }
    for (const std::string& name : CodeBitmapNames())
        ++report.counts["All"][Lower(name)];

    if (!plat::WriteFileAtomically((fs::path(folder) / "Used_bitmaps.txt").string(), ReportText(report))) {
        error = "cannot write Used_bitmaps.txt in " + folder;
        return false;
    }
    const auto& all = report.counts["All"];
    for (const fs::path& path : pictures) {
        const std::string name = path.filename().string();
        if (all.count(Lower(name)))
            continue;
        const fs::path renamed = path.parent_path() / (kUnusedBitmapPrefix + name);
        fs::rename(path, renamed, ec);
        if (!ec)
            report.renamed.push_back(renamed.filename().string());
        else
            report.skipped.push_back(name + ": cannot be renamed");
    }
    return true;
}
