#include "data/xlat_texts.h"

#include <algorithm>

namespace {

// Lines longer than this are split; the rest is read as a line of its own.
constexpr size_t kMaxLineLength = 19999;
constexpr std::string_view kXlatMarker = "[XLAT]";

bool ShowXlatMarker = false;

bool IsTextLetter(char c) {
    return (c >= 'a' && c <= 'z') || c == '$' || c == '#' || c == '&';
}

// The line without the carriage returns and line feeds at its end.
std::string_view TrimLineEnd(std::string_view line) {
    size_t end = line.size();
    while (end > 0 && (line[end - 1] == '\r' || line[end - 1] == '\n'))
        --end;
    return line.substr(0, end);
}

// First pass of unescaping: the two-character sequences for control
// characters become those characters.
char ControlCharFor(char c) {
    switch (c) {
    case 'n':
        return '\n';
    case 't':
        return '\t';
    case 'r':
        return '\r';
    case 'f':
        return '\f';
    case 'b':
        return '\b';
    case 'a':
        return '\a';
    case '1':
        return '\1';
    default:
        return 0;
    }
}

std::string Unescape(std::string_view raw) {
    std::string once;
    once.reserve(raw.size());
    for (size_t i = 0; i < raw.size(); ++i) {
        char control = raw[i] == '\\' && i + 1 < raw.size() ? ControlCharFor(raw[i + 1]) : 0;
        if (control != 0) {
            once += control;
            ++i;
        } else {
            once += raw[i];
        }
    }

    // Second pass: quoting escapes. Any other backslash sequence, including
    // a backslash before a control character, stays as it is.
    std::string out;
    out.reserve(once.size());
    for (size_t i = 0; i < once.size(); ++i) {
        if (once[i] != '\\') {
            out += once[i];
            continue;
        }
        if (i + 1 == once.size())
            break;
        char next = once[i + 1];
        if (next == '"' || next == '\'' || next == '\\') {
            out += next;
            ++i;
        } else if (next == 'x') {
            // "\x" takes the character after it as it stands; with nothing
            // after it the text ends, as at a lone trailing backslash.
            if (i + 2 == once.size())
                break;
            out += once[i + 2];
            i += 2;
        } else {
            out += '\\';
        }
    }
    return out;
}

// The stored form: line feed, tab and form feed as two-character sequences,
// double quotes as single quotes.
std::string Escape(std::string_view text) {
    std::string out;
    out.reserve(text.size() + 8);
    for (char c : text) {
        switch (c) {
        case '\n':
            out += "\\n";
            break;
        case '"':
            out += '\'';
            break;
        case '\t':
            out += "\\t";
            break;
        case '\f':
            out += "\\f";
            break;
        default:
            out += c;
        }
    }
    return out;
}

} // namespace

void XlatTexts::Load(std::string_view text) {
    text = text.substr(0, text.find('\0'));
    std::string key;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t lineEnd = text.find('\n', pos);
        size_t length = lineEnd == std::string_view::npos ? text.size() - pos : lineEnd + 1 - pos;
        std::string_view line = text.substr(pos, std::min(length, kMaxLineLength));
        pos += line.size();

        if (line[0] == '"') {
            std::string_view content = TrimLineEnd(line);
            if (content.size() >= 2 && content.back() == '"')
                key = Escape(Unescape(content.substr(1, content.size() - 2)));
        } else if (line.size() >= 2 && IsTextLetter(line[0]) && line[1] == '"') {
            std::string_view body = line.substr(2);
            std::string_view content = TrimLineEnd(body);
            if (!content.empty() && content.back() == '"')
                body = content.substr(0, content.size() - 1);
            texts_[key][static_cast<signed char>(line[0])] = Escape(Unescape(body));
        }
    }
}

void XlatTexts::Clear() {
    texts_.clear();
}

void XlatTexts::SetLetter(char letter) {
    if (letter >= 'A' && letter <= 'Z')
        letter = char(letter - 'A' + 'a');
    letter_ = letter;
}

std::string XlatTexts::GetTextFor(std::string_view key, char letter) const {
    if (key.empty())
        return {};
    if (letter_ == ' ') {
        std::string shown = ShowXlatMarker ? std::string(kXlatMarker) : std::string();
        shown += key;
        return shown;
    }
    auto entry = texts_.find(key);
    if (entry == texts_.end())
        return std::string(kUnfoundText);
    auto text = entry->second.find(static_cast<signed char>(letter));
    if (text == entry->second.end())
        return std::string(kUnfoundText);
    return text->second.empty() ? std::string(kUntranslatedText) : text->second;
}

bool XlatTexts::HasText(std::string_view key, char letter) const {
    if (key.empty())
        return false;
    auto entry = texts_.find(key);
    if (entry == texts_.end())
        return false;
    auto text = entry->second.find(static_cast<signed char>(letter));
    return text != entry->second.end() && !text->second.empty();
}

XlatTexts& GetXlatTexts() {
    static XlatTexts texts;
    return texts;
}

bool GetShowXlatMarker() {
    return ShowXlatMarker;
}
void SetShowXlatMarker(bool show) {
    ShowXlatMarker = show;
}
