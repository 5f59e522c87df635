// mdtool ui: reads a ".uif" layout and lists the widgets it makes, or says
// why the game would refuse it.
#include "tools/mdtool/command.h"

#include "platform/file.h"
#include "ui/layout_reader.h"

#include <cstdio>
#include <filesystem>

namespace mdtool {
namespace {

constexpr const char* kUiUsage = "ui check FILE.uif";

void PrintWidget(int32_t number, const LayoutWidget& widget) {
    const UifLayoutRecord& r = widget.record;
    std::printf("%3d  %-12s %-24s id %-4d (%d, %d, %d, %d)", int(number), WidgetKindName(widget.kind),
                Printable(r.Keyword).c_str(), int(r.Id), int(r.Rect.left), int(r.Rect.top), int(r.Rect.right),
                int(r.Rect.bottom));
    if (!r.Handler.empty())
        std::printf("  handler %s", Printable(r.Handler).c_str());
    if (!r.OpenLayout.empty())
        std::printf("  opens %s", Printable(r.OpenLayout).c_str());
    if (!widget.rowSlots.empty())
        std::printf("  rows %zu", widget.rowSlots.size() + 1);
    std::printf("\n");
}

int RunUi(const Args& args) {
    if (args.size() != 2 || args[0] != "check")
        return Usage(kUiUsage);
    std::error_code error;
    const auto size = std::filesystem::file_size(args[1], error);
    if (error)
        return Fail(args[1] + ": cannot be read");
    if (size > kMaxLayoutFileSize)
        return Fail(args[1] + ": file larger than " + std::to_string(kMaxLayoutFileSize) + " bytes");
    std::string text;
    if (!plat::ReadWholeFile(args[1], text))
        return Fail(args[1] + ": cannot be read");
    LayoutPlan plan;
    std::string reason;
    if (!ReadLayoutText(text, plan, reason))
        return Fail(args[1] + ": " + reason);
    for (size_t i = 0; i < plan.widgets.size(); ++i)
        PrintWidget(int32_t(i), plan.widgets[i]);
    if (plan.hasMinimiseButton) {
        std::printf("  -  ");
        PrintWidget(-1, plan.minimiseButton);
    }
    return 0;
}

MDTOOL_COMMAND("ui", kUiUsage, RunUi);

} // namespace
} // namespace mdtool
