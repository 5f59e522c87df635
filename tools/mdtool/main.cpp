// mdtool: command-line entry to the system's parts for developers and tests.
#include "tools/mdtool/command.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace mdtool {
namespace {

std::vector<Command>& Commands() {
    static std::vector<Command> commands;
    return commands;
}

void PrintHelp(FILE* out) {
    std::fprintf(out, "usage: mdtool <command> [arguments]\n\ncommands:\n");
    auto commands = Commands();
    std::sort(commands.begin(), commands.end(),
              [](const Command& a, const Command& b) { return std::strcmp(a.word, b.word) < 0; });
    for (const Command& c : commands)
        std::fprintf(out, "  %s\n", c.usage);
}

} // namespace

bool RegisterCommand(const Command& command) {
    Commands().push_back(command);
    return true;
}

int Fail(const std::string& message) {
    std::fprintf(stderr, "mdtool: %s\n", message.c_str());
    return 1;
}

int Usage(const char* usage) {
    std::fprintf(stderr, "usage: %s\n", usage);
    return 2;
}

} // namespace mdtool

int main(int argc, char** argv) {
    using namespace mdtool;
    if (argc < 2 || std::strcmp(argv[1], "help") == 0 || std::strcmp(argv[1], "--help") == 0) {
        PrintHelp(argc < 2 ? stderr : stdout);
        return argc < 2 ? 2 : 0;
    }
    Args args(argv + 2, argv + argc);
    for (const Command& c : Commands())
        if (std::strcmp(c.word, argv[1]) == 0)
            return c.run(args);
    std::fprintf(stderr, "mdtool: unknown command '%s'\n", argv[1]);
    PrintHelp(stderr);
    return 2;
}
