// Reads the text of a ".uif" layout into its lines' records and plans the
// widgets they make: which line makes which widget (numbered as the dialog
// numbers them), which lines are further row slots of a list box, and which
// is the minimise button. Refuses a damaged layout with one reason.
#pragma once

#include "ui/layout_keywords.h"
#include "ui/layout_record.h"

#include <string>
#include <string_view>
#include <vector>

// Layout files larger than this are refused.
inline constexpr size_t kMaxLayoutFileSize = 1u << 20;

struct LayoutWidget {
    WidgetKind kind = WidgetKind::None;
    UifLayoutRecord record;
    // Further row slots of a list box, from the lines with its Id after it.
    std::vector<UifLayoutRecord> rowSlots;
    int32_t lineNumber = 0;
};

struct LayoutPlan {
    // Widget 0 is the dialog's frame; the rest in file order.
    std::vector<LayoutWidget> widgets;
    // "ButtonDialogMin": the dialog's minimise button, not a numbered widget.
    bool hasMinimiseButton = false;
    LayoutWidget minimiseButton;
};

// Reads the lines up to "END". False with "line N: reason" in error for a
// file over the size limit, a zero byte, a line that does not parse, a first
// line that is not "Dialog", a keyword that makes no widget, or no "END".
bool ReadLayoutText(std::string_view text, LayoutPlan& plan, std::string& error);
