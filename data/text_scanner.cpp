#include "data/text_scanner.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <system_error>

namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// A number must stand apart from what follows it: "12x5" is no number.
bool EndsNumber(const char* p, const char* last) {
    return p == last || TextScanner::IsSpace(*p) || *p == '"';
}

} // namespace

bool ParseFloat(const char* first, const char* last, float& out, const char** end) {
    const char* p = first;
    // from_chars takes no plus sign; stream input does, once.
    if (p < last && *p == '+') {
        ++p;
        if (p == last || *p == '-' || *p == '+')
            return false;
    }
    float value = 0.0f;
    auto [ptr, ec] = std::from_chars(p, last, value);
    if (ec == std::errc::result_out_of_range) {
        // Underflow is no error for stream input: take what strtof makes of it.
        std::string copy(p, ptr);
        value = std::strtof(copy.c_str(), nullptr);
        if (!std::isfinite(value))
            return false;
    } else if (ec != std::errc()) {
        return false;
    }
    out = value;
    *end = ptr;
    return true;
}

void AssignQuotedText(std::string& out, std::string_view raw) {
    if (raw.find('\r') == std::string_view::npos) {
        out.assign(raw);
        return;
    }
    out.clear();
    out.reserve(raw.size());
    for (size_t i = 0; i < raw.size(); ++i) {
        if (raw[i] == '\r') {
            size_t next = raw.find_first_not_of('\r', i);
            if (next != std::string_view::npos && raw[next] == '\n') {
                i = next - 1;
                continue;
            }
        }
        out.push_back(raw[i]);
    }
}

bool TextScanner::ReadInt(int32_t& out) {
    if (AtEnd())
        return Fail(Error::End);
    const char* p = text_.data() + pos_;
    const char* last = text_.data() + text_.size();
    if (*p == '+')
        ++p;
    if (p == last || !(IsDigit(*p) || (*p == '-' && p == text_.data() + pos_)))
        return Fail(Error::BadNumber);
    int32_t value = 0;
    auto [ptr, ec] = std::from_chars(p, last, value);
    if (ec == std::errc::result_out_of_range)
        return Fail(Error::OutOfRange);
    if (ec != std::errc() || !EndsNumber(ptr, last))
        return Fail(Error::BadNumber);
    out = value;
    pos_ = size_t(ptr - text_.data());
    return true;
}

bool TextScanner::ReadUnsigned(uint32_t& out) {
    if (AtEnd())
        return Fail(Error::End);
    const char* p = text_.data() + pos_;
    const char* last = text_.data() + text_.size();
    bool negative = *p == '-';
    if (*p == '+' || negative)
        ++p;
    if (p == last || !IsDigit(*p))
        return Fail(Error::BadNumber);
    uint32_t value = 0;
    auto [ptr, ec] = std::from_chars(p, last, value);
    if (ec == std::errc::result_out_of_range)
        return Fail(Error::OutOfRange);
    if (ec != std::errc() || !EndsNumber(ptr, last))
        return Fail(Error::BadNumber);
    out = negative ? 0u - value : value;
    pos_ = size_t(ptr - text_.data());
    return true;
}

bool TextScanner::ReadFloat(float& out) {
    if (AtEnd())
        return Fail(Error::End);
    const char* end = nullptr;
    const char* last = text_.data() + text_.size();
    if (!ParseFloat(text_.data() + pos_, last, out, &end) || !EndsNumber(end, last))
        return Fail(Error::BadNumber);
    pos_ = size_t(end - text_.data());
    return true;
}

bool TextScanner::ReadFlag(uint8_t& out) {
    int32_t value = 0;
    if (!ReadInt(value))
        return error_ == Error::End ? false : Fail(Error::BadFlag);
    if (value != 0 && value != 1)
        return Fail(Error::BadFlag);
    out = uint8_t(value);
    return true;
}

bool TextScanner::ReadQuoted(std::string_view& raw) {
    size_t open = text_.find('"', pos_);
    if (open == std::string_view::npos)
        return Fail(Error::End);
    // Look no further than the longest text the form holds.
    std::string_view rest = text_.substr(open + 1, kMaxTextLength + 1);
    size_t close = rest.find('"');
    if (close == std::string_view::npos) {
        pos_ = open;
        return Fail(rest.size() > kMaxTextLength ? Error::TextTooLong : Error::Unterminated);
    }
    raw = rest.substr(0, close);
    pos_ = open + 1 + close + 1;
    return true;
}

std::string_view TextScanner::ErrorText() const {
    switch (error_) {
    case Error::None:
        return "no error";
    case Error::End:
        return "unexpected end of file";
    case Error::BadNumber:
        return "malformed number";
    case Error::OutOfRange:
        return "number out of range";
    case Error::BadFlag:
        return "malformed flag (0 or 1 expected)";
    case Error::TextTooLong:
        return "quoted text longer than 9998 characters";
    case Error::Unterminated:
        return "quoted text without closing quote";
    }
    return {};
}

size_t TextScanner::Line() const {
    size_t line = 1;
    for (size_t i = 0; i < pos_ && i < text_.size(); ++i)
        line += text_[i] == '\n';
    return line;
}
