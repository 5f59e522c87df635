// Reads arbitrary bytes as a ".uif" layout: no crash, and a layout that is
// accepted has a frame first and only widgets that a keyword makes.
#include "ui/layout_reader.h"

#include <cstdlib>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    LayoutPlan plan;
    std::string error;
    if (!ReadLayoutText(text, plan, error)) {
        if (error.empty() || !plan.widgets.empty())
            std::abort();
        return 0;
    }
    if (plan.widgets.empty() || plan.widgets[0].record.Keyword != "Dialog")
        std::abort();
    for (const LayoutWidget& widget : plan.widgets) {
        if (widget.kind == WidgetKind::None || widget.record.Keyword.size() > kMaxLayoutStringLength)
            std::abort();
        if (!widget.rowSlots.empty() && widget.kind != WidgetKind::ListBox)
            std::abort();
    }
    return 0;
}
