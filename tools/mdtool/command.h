// mdtool's commands: each source file of the tool registers its command
// words with MDTOOL_COMMAND; main dispatches on the first argument.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace mdtool {

using Args = std::vector<std::string>;
// A command gets the arguments after its word and returns the exit status
// (0 success, 1 failure, 2 usage error).
using CommandFn = int (*)(const Args& args);

struct Command {
    const char* word;
    const char* usage;
    CommandFn run;
};

bool RegisterCommand(const Command& command);

// The text with every byte that is not printable (control characters,
// bytes outside well-formed UTF-8) written as \xNN, line feeds and tabs as
// \n and \t: what a file holds never reaches the terminal raw.
std::string Printable(std::string_view text);
// Prints "mdtool: <message>" on stderr, as one line of printable text, and
// returns 1.
int Fail(const std::string& message);
// Prints the usage line on stderr and returns 2.
int Usage(const char* usage);

} // namespace mdtool

#define MDTOOL_CONCAT_(a, b) a##b
#define MDTOOL_CONCAT(a, b) MDTOOL_CONCAT_(a, b)
#define MDTOOL_COMMAND(word, usage, fn)                                                                      \
    static const bool MDTOOL_CONCAT(mdtoolRegistered_, __LINE__) =                                           \
        ::mdtool::RegisterCommand({word, usage, fn})
