// Loads arbitrary bytes as a saved game's players section ("plr"). Whatever
// the bytes, every slot holds at most one player of a known kind, the
// current player is one of them, money can still be paid and the section
// stores again.
#include "files/chunk_stream.h"
#include "files/memory_stream.h"
#include "world/game_clock.h"
#include "world/player.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace {

void Check(bool condition) {
    if (!condition)
        __builtin_trap();
}

void ExercisePlayers() {
    Player* current = GetCurrentPlayer();
    bool currentFound = current == nullptr;
    for (uint32_t slot = 0; slot < kPlayerSlotCount; ++slot) {
        Player* player = GetPlayer(slot);
        if (!player)
            continue;
        currentFound = currentFound || player == current;
        const uint32_t kind = player->GetPlayerKind();
        Check(kind >= kPlayerKindHuman && kind <= kPlayerKindComputer);
        player->Pay(-5, 2, 0);
        player->Pay(7, 8, 0);
        player->OnNewYear();
        if (PlayerStatistics* statistics = player->GetStatistics()) {
            statistics->Book(3, 1);
            statistics->GetYearValue(1900, 0);
            Check(statistics->Rows().size() >= PlayerStatistics::kRowCount);
        }
    }
    Check(currentFound);
    std::vector<uint8_t> bytes;
    SaveStreamScope scope;
    std::string text(kSaveHeaderText);
    uint32_t version = kSaveStreamVersion;
    Check(BeginSaveStream(OpenMemoryWriteStream(bytes), text, version));
    uint32_t tag = ChunkTag("plr");
    BeginChunk(tag);
    SavePlayers();
    EndChunk();
    Check(CloseStream());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (!GetGameClock())
        CreateGameClock(1);
    GetGameClock()->SetYear(1850 + uint32_t(size % 300));
    std::string text;
    uint32_t version = 0;
    {
        SaveStreamScope scope;
        if (!BeginSaveStream(OpenMemoryReadStream(std::span(data, size)), text, version))
            return 0;
        for (int i = 0; i < 16; ++i) {
            uint32_t tag = 0;
            BeginChunk(tag);
            const bool found = tag == ChunkTag("plr");
            if (found)
                LoadPlayers();
            EndChunk();
            if (found || tag == 0)
                break;
        }
        CloseStream();
    }
    ExercisePlayers();
    DeleteAllPlayers();
    return 0;
}
