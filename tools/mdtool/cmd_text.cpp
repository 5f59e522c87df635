// mdtool text, number and amount: interface texts and formatted numbers as
// the game shows them, from the default game data or a given database file.
#include "tools/mdtool/command.h"

#include "data/database.h"
#include "data/generated/tables.h"
#include "data/number_format.h"
#include "data/text_tables.h"
#include "data/xlat_texts.h"
#include "platform/file.h"

#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>

namespace mdtool {
namespace {

// FILE "-" stands for the default game data's database.
constexpr const char* kTextUsage = "text FILE|- ID";
constexpr const char* kNumberUsage = "number VALUE [DBFILE]";
constexpr const char* kAmountUsage = "amount VALUE [DBFILE]";

// The game data's database: in the folder MD_GAMEDATA names, else in
// gamedata/ below the current folder.
std::string DefaultDatabasePath() {
    const char* folder = std::getenv("MD_GAMEDATA");
    std::string base = folder && *folder ? folder : "gamedata";
    return base + "/config/MDConfig.gen";
}

template <typename Int>
bool ParseInteger(const std::string& text, Int& value) {
    const char* end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, value);
    return ec == std::errc() && ptr == end && !text.empty();
}

// Reads the database and fills the interface texts from it, translated by
// the ingame.txt beside it when there is one, as the game does at start-up.
// False, with the database's first complaint in reason, when it cannot be
// read.
bool LoadInterfaceTexts(const std::string& path, std::string& reason) {
    Database& database = GetDatabase();
    std::ostringstream log;
    database.SetLog(&log);
    const bool read = database.ReadFile(path);
    database.SetLog(nullptr);
    if (!read) {
        reason = log.str().substr(0, log.str().find('\n'));
        return false;
    }
    size_t slash = path.find_last_of('/');
    std::string folder = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
    std::string texts;
    if (plat::ReadWholeFile(folder + "ingame.txt", texts, kMaxDatabaseFileSize)) {
        GetXlatTexts().Load(texts);
        GetXlatTexts().SetLetter(kDefaultLanguageLetter);
    }
    database.ApplyTable("InterfaceTextContainer", KindSelector::All);
    return true;
}

int RunText(const Args& args) {
    int32_t id = 0;
    if (args.size() != 2)
        return Usage(kTextUsage);
    if (!ParseInteger(args[1], id))
        return Fail("not a text id: '" + args[1] + "'");
    std::string path = args[0] == "-" ? DefaultDatabasePath() : args[0];
    if (std::string reason; !LoadInterfaceTexts(path, reason))
        return Fail("cannot read the database file '" + path + "'" +
                    (reason.empty() ? "" : " (" + reason + ")"));
    if (!InterfaceTextContainerTable::Find(id))
        return Fail("no interface text " + args[1] + " in '" + path + "'");
    std::printf("%s\n", TextTables::GetIT1(id).c_str());
    return 0;
}

int RunFormat(const Args& args, const char* usage, std::string (*format)(int64_t)) {
    int64_t value = 0;
    if (args.empty() || args.size() > 2)
        return Usage(usage);
    if (!ParseInteger(args[0], value))
        return Fail("not a whole number in 64 bits: '" + args[0] + "'");
    std::string path = args.size() == 2 ? args[1] : DefaultDatabasePath();
    if (std::string reason; !LoadInterfaceTexts(path, reason))
        return Fail("cannot read the database file '" + path + "'" +
                    (reason.empty() ? "" : " (" + reason + ")"));
    std::printf("%s\n", format(value).c_str());
    return 0;
}

int RunNumber(const Args& args) {
    return RunFormat(args, kNumberUsage, FormatNumber);
}
int RunAmount(const Args& args) {
    return RunFormat(args, kAmountUsage, FormatAmount);
}

} // namespace

MDTOOL_COMMAND("text", kTextUsage, RunText);
MDTOOL_COMMAND("number", kNumberUsage, RunNumber);
MDTOOL_COMMAND("amount", kAmountUsage, RunAmount);

} // namespace mdtool
