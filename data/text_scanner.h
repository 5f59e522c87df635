// A cursor over a text in memory that reads the items of the game
// database's text file: white-space separated tokens, whole numbers, floats,
// flags written as numbers and quoted texts. Numbers are taken in every form
// standard stream input takes, without its cost per call, and must be
// followed by white space, a double quote or the end; a failed read leaves
// the reason in LastError().
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

class TextScanner {
public:
    enum class Error { None, End, BadNumber, OutOfRange, BadFlag, TextTooLong, Unterminated };

    // The longest quoted text the file form holds.
    static constexpr size_t kMaxTextLength = 9998;

    explicit TextScanner(std::string_view text) : text_(text) {}

    size_t Position() const { return pos_; }
    size_t Size() const { return text_.size(); }
    size_t Remaining() const { return text_.size() - pos_; }
    // True when nothing but white space is left.
    bool AtEnd() {
        SkipSpace();
        return pos_ == text_.size();
    }

    // The next run of non-blank characters; empty at the end of the text.
    std::string_view Token() {
        SkipSpace();
        size_t start = pos_;
        while (pos_ < text_.size() && !IsSpace(text_[pos_]))
            ++pos_;
        return text_.substr(start, pos_ - start);
    }
    // Skips up to and including the next line feed.
    void SkipLine() {
        size_t lf = text_.find('\n', pos_);
        pos_ = lf == std::string_view::npos ? text_.size() : lf + 1;
    }

    bool ReadInt(int32_t& out);
    // Like stream input, a leading minus wraps around.
    bool ReadUnsigned(uint32_t& out);
    bool ReadFloat(float& out);
    // A boolean written as the number 0 or 1.
    bool ReadFlag(uint8_t& out);
    // Skips anything up to the next double quote and yields the characters
    // up to the following one, without the quotes, as they stand in the text.
    bool ReadQuoted(std::string_view& raw);

    Error LastError() const { return error_; }
    std::string_view ErrorText() const;
    // The 1-based line of the current position.
    size_t Line() const;

    static bool IsSpace(char c) { return kSpace[static_cast<unsigned char>(c)]; }

private:
    static constexpr std::array<bool, 256> kSpace = [] {
        std::array<bool, 256> table{};
        for (char c : {' ', '\t', '\n', '\v', '\f', '\r'})
            table[static_cast<unsigned char>(c)] = true;
        return table;
    }();

    void SkipSpace() {
        while (pos_ < text_.size() && IsSpace(text_[pos_]))
            ++pos_;
    }
    bool Fail(Error error) {
        error_ = error;
        return false;
    }

    std::string_view text_;
    size_t pos_ = 0;
    Error error_ = Error::None;
};

// Parses a float as the database reader does (the whole of [first, last)
// need not be used); false for no number or one outside the float range.
// Numbers too small for a float become 0 or a subnormal, as in stream input.
bool ParseFloat(const char* first, const char* last, float& out, const char** end);

// Copies a quoted text into out, dropping the carriage returns before a
// line feed so that files saved with either line end read alike.
void AssignQuotedText(std::string& out, std::string_view raw);
