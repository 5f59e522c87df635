// Executes arbitrary vehicle and schedule commands: each record of the
// input is a type byte (picking ids 4, 5, 6, 29, 38 or 39), a player byte, a length
// byte and that many payload bytes, read as a received message would be.
// Whatever they hold, no command crashes, every vehicle keeps its 74 cars
// and 128 trail points and a schedule that is listed, and the world's
// vehicles and schedules save and load to the same bytes.
#include "data/generated/vehicle_tables.h"
#include "files/chunk_stream.h"
#include "files/memory_stream.h"
#include "gameloop/game.h"
#include "gameloop/new_game.h"
#include "gameloop/vehicle_commands.h"
#include "platform/clock.h"
#include "vehicles/schedule_list.h"
#include "vehicles/vehicle.h"
#include "vehicles/vehicle_services.h"
#include "world/game_clock.h"
#include "world/object_manager.h"
#include "world/player.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace {

void Check(bool condition) {
    if (!condition)
        __builtin_trap();
}

struct Setting {
    Game game;
    VehicleWorldHooks hooks;
    Setting() {
        plat::Clock::UseFake(0);
        ConnectWorldModel(game, hooks);
        InstallVehicles(game);
        StartGame(game, 1);
        for (int32_t type = 0; type < 4; ++type) {
            VehicleRow* row = VehicleTable::GetOrCreateRow(type);
            row->ConnectionType = type;
            row->PurchasePrice = 100;
            row->TravelTimeMsPerSquare = type == 3 ? 0 : 300;
        }
    }
};

std::vector<uint8_t> SaveAll() {
    std::vector<uint8_t> bytes;
    std::string text = "fuzz";
    uint32_t version = 1;
    SaveStreamScope scope;
    if (!BeginSaveStream(OpenMemoryWriteStream(bytes), text, version))
        return {};
    uint32_t tag = ChunkTag("sch");
    BeginChunk(tag);
    Check(SaveSchedules());
    EndChunk();
    tag = ChunkTag("obj");
    BeginChunk(tag);
    Check(SaveMapObjects());
    EndChunk();
    Check(CloseStream());
    return bytes;
}

void LoadAll(const std::vector<uint8_t>& bytes) {
    std::string text;
    uint32_t version = 0;
    SaveStreamScope scope;
    Check(BeginSaveStream(OpenMemoryReadStream(bytes), text, version));
    uint32_t tag = 0;
    BeginChunk(tag);
    Check(tag == ChunkTag("sch") && LoadSchedules());
    EndChunk();
    BeginChunk(tag);
    Check(tag == ChunkTag("obj") && LoadMapObjects());
    EndChunk();
    Check(CloseStream());
}

constexpr uint16_t kTypes[] = {4, 5, 6, 29, 38, 39};

bool AllowPurchase(uint32_t, uint32_t, int64_t& price) {
    price = 1000;
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static Setting* setting = new Setting;
    DeleteAllMapObjects();
    DeleteAllSchedules();
    // Companies bought or replaced by the last input come back.
    DeleteAllPlayers();
    CreatePlayers();
    CreateAIPlayer(-1, 0);
    SetCompanyPurchaseTest(AllowPurchase);
    if (Player* player = GetPlayer(0))
        player->Pay(1000000, -1, 0);
    for (size_t pos = 0; pos + 3 <= size;) {
        const uint16_t type = kTypes[data[pos] % std::size(kTypes)];
        const uint8_t player = data[pos + 1] % 8;
        const size_t n = std::min<size_t>(data[pos + 2], size - pos - 3);
        pos += 3;
        std::unique_ptr<GameCommand> command = CreateGameCommand(type);
        Check(command != nullptr);
        if (command->ReadPayload(data + pos, uint32_t(n))) {
            command->SetPlayerId(player);
            command->Execute(setting->game);
        }
        pos += n;
        setting->game.AdvanceFrame(250);
        UpdateMovingObjects(CurrentGameTimeMs());
    }
    for (Vehicle* vehicle : AllVehicles()) {
        Check(vehicle->Cars().size() == Vehicle::kCars);
        Check(vehicle->Trail().size() == Vehicle::kTrail);
        if (VehicleSchedule* schedule = vehicle->GetSchedule())
            Check(schedule->GetId() >= 0 && GetSchedule(uint32_t(schedule->GetId())) == schedule);
    }
    const std::vector<uint8_t> first = SaveAll();
    DeleteAllMapObjects();
    DeleteAllSchedules();
    LoadAll(first);
    Check(SaveAll() == first);
    return 0;
}
