// Translated texts: for each key (the decimal key of a translated database
// cell) one text per language letter, loaded from "ingame.txt". A letter
// switch selects the language; switched off (' '), lookups hand back the key.
#pragma once

#include <map>
#include <string>
#include <string_view>

inline constexpr std::string_view kUntranslatedText = "####### Untranslated text #####";
inline constexpr std::string_view kUnfoundText = "!!!!!! Unfound text !!!!!!!!";
inline constexpr char kDefaultLanguageLetter = 'g';

class XlatTexts {
public:
    XlatTexts() = default;
    virtual ~XlatTexts() { Clear(); }

    // Adds the entries of the text of "ingame.txt" (up to its end or its
    // first zero byte) without clearing first.
    void Load(std::string_view text);
    void Clear();

    // Sets the current letter; A-Z fold to a-z, ' ' switches translation off.
    void SetLetter(char letter);
    char Letter() const { return letter_; }

    // The key's text under the current letter, or the markers above.
    std::string GetText(std::string_view key) const { return GetTextFor(key, letter_); }
    std::string GetTextFor(std::string_view key, char letter) const;
    // True when the key has a non-empty text under the letter.
    bool HasText(std::string_view key, char letter) const;

    size_t KeyCount() const { return texts_.size(); }

private:
    char letter_ = ' ';
    std::map<std::string, std::map<signed char, std::string>, std::less<>> texts_;
};

// The process-wide container.
XlatTexts& GetXlatTexts();

// When set, keys handed back with the switch off carry "[XLAT]" in front.
bool GetShowXlatMarker();
void SetShowXlatMarker(bool show);
