// Fixed interface texts by id: the rows of the table InterfaceTextContainer,
// reached through five ranges (IT1, front end, tooltips, number formats,
// missions) that each count their texts from 0.
#pragma once

#include <cstdint>
#include <string>

// What a missing text reads as.
inline constexpr const char* kMissingInterfaceText = "#####################";

class TextTables {
public:
    // The text of an existing row with every "\n" turned into a line feed.
    static std::string GetRowText(int32_t id);

    static std::string GetIT1(int32_t id);
    static std::string GetFE(int32_t n);
    static std::string GetTT(int32_t n);
    static std::string GetNF(int32_t n);
    static std::string GetMN(int32_t n);

    // A developer switch: every text is shown with its range and id in front.
    static bool ShowTextIds() { return showTextIds_; }
    static void SetShowTextIds(bool show) { showTextIds_ = show; }

private:
    static inline bool showTextIds_ = false;
};
