#include "data/text_tables.h"

#include "data/generated/tables.h"

#include <string_view>

namespace {

constexpr int64_t kFrontEndOffset = 2000;
constexpr int64_t kToolTipOffset = 3000;
constexpr int64_t kNumberFormatOffset = 4000;
constexpr int64_t kMissionOffset = 4100;

std::string ExpandLineBreaks(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 1 < text.size() && text[i + 1] == 'n') {
            out += '\n';
            ++i;
        } else {
            out += text[i];
        }
    }
    return out;
}

// The id as a table row: ids that leave the 32-bit range after their
// range's offset is added are missing texts.
std::string TextOf(int64_t id) {
    const InterfaceTextContainerRow* row =
        id < 0 || id > INT32_MAX ? nullptr : InterfaceTextContainerTable::Find(int32_t(id));
    return row ? ExpandLineBreaks(row->Text_) : kMissingInterfaceText;
}

std::string WithId(const char* range, int64_t shownId, const std::string& text) {
    return "(" + std::string(range) + "-" + std::to_string(shownId) + ")" + text;
}

std::string Lookup(const char* range, int64_t n, int64_t offset, int64_t shownId) {
    int64_t id = n + offset;
    std::string text = TextOf(id);
    if (!TextTables::ShowTextIds())
        return text;
    return WithId(range, shownId, WithId("IT1", id, text));
}

} // namespace

std::string TextTables::GetRowText(int32_t id) {
    const InterfaceTextContainerRow* row = InterfaceTextContainerTable::Find(id);
    return row ? ExpandLineBreaks(row->Text_) : std::string();
}

std::string TextTables::GetIT1(int32_t id) {
    std::string text = TextOf(id);
    return showTextIds_ ? WithId("IT1", id, text) : text;
}

std::string TextTables::GetFE(int32_t n) {
    return Lookup("FE", n, kFrontEndOffset, n);
}
std::string TextTables::GetTT(int32_t n) {
    return Lookup("TT", n, kToolTipOffset, n);
}
std::string TextTables::GetNF(int32_t n) {
    return Lookup("NF", n, kNumberFormatOffset, n + kNumberFormatOffset);
}
std::string TextTables::GetMN(int32_t n) {
    return Lookup("MN", n, kMissionOffset, n + kMissionOffset);
}
