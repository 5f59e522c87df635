#include "ui/layout_reader.h"

namespace {

bool Fail(std::string& error, int32_t lineNumber, const std::string& reason) {
    error = "line " + std::to_string(lineNumber) + ": " + reason;
    return false;
}

} // namespace

bool ReadLayoutText(std::string_view text, LayoutPlan& plan, std::string& error) {
    if (text.size() > kMaxLayoutFileSize) {
        error = "file larger than " + std::to_string(kMaxLayoutFileSize) + " bytes";
        return false;
    }
    if (text.find('\0') != std::string_view::npos) {
        error = "file contains a zero byte";
        return false;
    }
    LayoutPlan result;
    // The list box that further lines with its Id extend: only one made from
    // this file, so a stray line never lands on a widget of another kind.
    int32_t lastListBox = -1;
    int32_t lineNumber = 0;
    size_t pos = 0;
    while (pos < text.size()) {
        const size_t end = text.find('\n', pos);
        const std::string_view line =
            text.substr(pos, end == std::string_view::npos ? std::string_view::npos : end - pos);
        pos = end == std::string_view::npos ? text.size() : end + 1;
        ++lineNumber;

        UifLayoutRecord record;
        std::string reason;
        if (!ParseLayoutLine(line, record, reason))
            return Fail(error, lineNumber, reason);
        if (record.Keyword == "END") {
            if (result.widgets.empty())
                return Fail(error, lineNumber, "\"END\" before the \"Dialog\" line");
            plan = std::move(result);
            return true;
        }
        const WidgetKind kind = KindOfKeyword(record.Keyword);
        if (result.widgets.empty() && record.Keyword != "Dialog")
            return Fail(error, lineNumber, "the first line is \"" + record.Keyword + "\", not \"Dialog\"");
        if (kind == WidgetKind::None)
            return Fail(error, lineNumber, "keyword \"" + record.Keyword + "\" makes no widget");

        if (kind == WidgetKind::ListBox && lastListBox >= 0 &&
            result.widgets[size_t(lastListBox)].record.Id == record.Id) {
            result.widgets[size_t(lastListBox)].rowSlots.push_back(std::move(record));
            continue;
        }
        LayoutWidget widget{kind, std::move(record), {}, lineNumber};
        if (widget.record.Keyword == "ButtonDialogMin") {
            if (result.hasMinimiseButton)
                return Fail(error, lineNumber, "a second \"ButtonDialogMin\"");
            result.hasMinimiseButton = true;
            result.minimiseButton = std::move(widget);
            continue;
        }
        if (kind == WidgetKind::ListBox)
            lastListBox = int32_t(result.widgets.size());
        result.widgets.push_back(std::move(widget));
    }
    return Fail(error, lineNumber, "no \"END\" line");
}
