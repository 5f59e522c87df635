// Parses arbitrary text as a command script. A parsed script holds
// commands in tick order, each of which writes a payload that reads back
// to the same fields; a refused one says why in one short line.
#include "gameloop/command_script.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace {

void Check(bool condition) {
    if (!condition)
        __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    std::vector<ScriptedCommand> commands;
    std::string error;
    if (!ParseCommandScript(text, commands, error)) {
        Check(commands.empty());
        // The line number, the reason and at most a cut word.
        Check(!error.empty() && error.size() < 300);
        for (char c : error)
            Check(static_cast<unsigned char>(c) >= 0x20 && static_cast<unsigned char>(c) < 0x7F);
        return 0;
    }
    for (size_t i = 0; i < commands.size(); ++i) {
        Check(commands[i].command != nullptr);
        Check(i == 0 || commands[i - 1].tick <= commands[i].tick);
        std::vector<uint8_t> payload;
        Check(commands[i].command->WritePayload(payload));
        std::unique_ptr<GameCommand> copy = CreateGameCommand(commands[i].command->GetTypeId());
        Check(copy && copy->ReadPayload(payload.data(), uint32_t(payload.size())));
        std::vector<uint8_t> again;
        Check(copy->WritePayload(again) && again == payload);
    }
    return 0;
}
