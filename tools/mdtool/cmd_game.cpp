// mdtool game hash: a checksum of a saved game's world state, for comparing
// runs.
#include "files/packed_save.h"
#include "gameloop/saved_game.h"
#include "platform/file.h"
#include "tools/mdtool/command.h"

#include <cstdio>

namespace mdtool {
namespace {

constexpr const char* kGameUsage = "game hash FILE.mds|FILE.mdp";

int GameCommand(const Args& args) {
    if (args.size() != 2 || args[0] != "hash")
        return Usage(kGameUsage);
    const std::string& path = args[1];
    std::vector<uint8_t> bytes;
    std::string readError;
    if (!plat::ReadWholeFile(path, bytes, kMaxSaveFileSize, &readError))
        return Fail(path + ": " + readError);
    if (path.size() > 4 && path.compare(path.size() - 4, 4, ".mdp") == 0) {
        std::vector<uint8_t> plain;
        std::string error;
        if (!UnpackSaveImage(bytes, plain, &error))
            return Fail(path + ": " + error);
        bytes = std::move(plain);
    }
    uint32_t hash = 0;
    std::string reason;
    if (!HashSavedGame(bytes, hash, reason))
        return Fail(path + ": " + reason);
    std::printf("%08x\n", hash);
    return 0;
}

} // namespace

MDTOOL_COMMAND("game", kGameUsage, GameCommand);

} // namespace mdtool
