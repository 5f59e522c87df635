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

// Length of the well-formed UTF-8 sequence at text[i], or 0.
size_t Utf8Length(std::string_view text, size_t i) {
    const auto byte = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
    unsigned char lead = byte(i);
    size_t length = lead >= 0xC2 && lead <= 0xDF   ? 2
                    : lead >= 0xE0 && lead <= 0xEF ? 3
                    : lead >= 0xF0 && lead <= 0xF4 ? 4
                                                   : 0;
    if (length == 0 || i + length > text.size())
        return 0;
    for (size_t k = 1; k < length; ++k)
        if ((byte(i + k) & 0xC0) != 0x80)
            return 0;
    return length;
}

} // namespace

std::string Printable(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        if (c >= 0x20 && c < 0x7F) {
            out += char(c);
            ++i;
        } else if (size_t length = c >= 0x80 ? Utf8Length(text, i) : 0) {
            out.append(text.substr(i, length));
            i += length;
        } else {
            static const char kHex[] = "0123456789ABCDEF";
            out += c == '\n'   ? std::string("\\n")
                   : c == '\t' ? std::string("\\t")
                               : std::string{'\\', 'x', kHex[c >> 4], kHex[c & 15]};
            ++i;
        }
    }
    return out;
}

bool RegisterCommand(const Command& command) {
    Commands().push_back(command);
    return true;
}

int Fail(const std::string& message) {
    std::fprintf(stderr, "mdtool: %s\n", Printable(message).c_str());
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
