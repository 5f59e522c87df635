#include "gameloop/command_script.h"

#include <algorithm>
#include <charconv>
#include <string>

namespace {

std::vector<std::string_view> Words(std::string_view line) {
    std::vector<std::string_view> words;
    size_t pos = 0;
    while (pos < line.size()) {
        size_t start = line.find_first_not_of(" \t\r", pos);
        if (start == std::string_view::npos)
            break;
        size_t end = line.find_first_of(" \t\r", start);
        if (end == std::string_view::npos)
            end = line.size();
        words.push_back(line.substr(start, end - start));
        pos = end;
    }
    return words;
}

// A word of the script as a message shows it: quoted, bytes outside
// printable ASCII as \xNN, and a long word cut with its length told.
std::string Shown(std::string_view word) {
    constexpr size_t kShownBytes = 40;
    static const char kHex[] = "0123456789ABCDEF";
    std::string out = "'";
    for (size_t i = 0; i < word.size() && i < kShownBytes; ++i) {
        const unsigned char c = static_cast<unsigned char>(word[i]);
        if (c >= 0x20 && c < 0x7F && c != '\\')
            out += char(c);
        else
            out += std::string{'\\', 'x', kHex[c >> 4], kHex[c & 15]};
    }
    out += "'";
    if (word.size() > kShownBytes)
        out += "... (" + std::to_string(word.size()) + " bytes)";
    return out;
}

template <typename T>
bool Number(std::string_view word, T& value) {
    auto [end, error] = std::from_chars(word.data(), word.data() + word.size(), value);
    return error == std::errc() && end == word.data() + word.size();
}

} // namespace

bool ParseCommandScript(std::string_view text, std::vector<ScriptedCommand>& commands, std::string& error) {
    std::vector<ScriptedCommand> parsed;
    size_t lineNumber = 0;
    for (size_t pos = 0; pos <= text.size();) {
        size_t end = text.find('\n', pos);
        if (end == std::string_view::npos)
            end = text.size();
        std::string_view line = text.substr(pos, end - pos);
        pos = end + 1;
        ++lineNumber;
        std::vector<std::string_view> words = Words(line);
        if (words.empty() || words[0][0] == '#')
            continue;
        auto fail = [&](const std::string& why) {
            error = "line " + std::to_string(lineNumber) + ": " + why;
            return false;
        };
        ScriptedCommand scripted;
        if (!Number(words[0], scripted.tick))
            return fail("a tick number is expected, not " + Shown(words[0]));
        // An optional "pN" names the issuing player's slot.
        size_t at = 1;
        int player = -1;
        if (words.size() > 1 && words[1].size() > 1 && words[1][0] == 'p') {
            if (!Number(words[1].substr(1), player) || player < 0 || player >= int(kScriptPlayerSlots))
                return fail(Shown(words[1]) + " is not a player slot");
            at = 2;
        }
        if (words.size() <= at)
            return fail("the command is missing");
        uint16_t type = 0;
        if (!Number(words[at], type))
            type = CommandTypeIdByName(words[at]);
        std::unique_ptr<GameCommand> command = CreateGameCommand(type);
        if (!command)
            return fail(Shown(words[at]) + " is not a command");
        if (player >= 0)
            command->SetPlayerId(uint8_t(player));
        std::vector<int64_t> fields;
        for (size_t i = at + 1; i < words.size(); ++i) {
            int64_t n = 0;
            if (!Number(words[i], n))
                return fail(Shown(words[i]) + " is not a number");
            fields.push_back(n);
        }
        if (!command->SetFields(fields))
            return fail(std::string("the fields do not fit ") + command->Name());
        scripted.command = std::move(command);
        parsed.push_back(std::move(scripted));
    }
    std::stable_sort(parsed.begin(), parsed.end(),
                     [](const ScriptedCommand& a, const ScriptedCommand& b) { return a.tick < b.tick; });
    commands = std::move(parsed);
    return true;
}
