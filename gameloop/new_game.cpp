#include "gameloop/new_game.h"

#include "data/database.h"
#include "data/xlat_texts.h"
#include "gameloop/game.h"
#include "gameloop/game_log.h"
#include "platform/file.h"

void ResetGameGlobals(Game& game) {
    game.SetStarted(false);
    game.Times() = {};
    game.Goals().Clear();
}

void NewGameInit(Game& game, uint32_t mapWidth, uint32_t mapHeight) {
    WorldScope scope(game.GetWorld());
    WorldHooks& world = game.Hooks();
    world.DeleteAllSchedules();
    world.EndSpecialEvents();
    game.Goals().Clear();
    game.SetMapSize(mapWidth, mapHeight);
    game.SetStarted(true);
    world.NewGameInit(mapWidth, mapHeight);
    // A local game runs on the plain clock from its start.
    game.SetClock(world.CreateClock());
    SetLocalPlayerSlot(0);
}

void ResetWorld(Game& game) {
    // Not scoped: a load resets the world it builds, which it made current.
    game.Hooks().ResetWorld();
}

void StartGame(Game& game, uint32_t seed) {
    if (game.IsStarted())
        return;
    WorldScope scope(game.GetWorld());
    game.CreateLocalSession();
    ResetGameGlobals(game);
    NewGameInit(game);
    game.Random().SetSeed(seed);
    game.Session().StartSession();
}

bool LoadGameTexts(const std::string& baseFolder, bool reload) {
    Database& database = GetDatabase();
    XlatTexts& texts = GetXlatTexts();
    if (reload) {
        database.Init();
        texts.Clear();
    }
    std::string databasePath = baseFolder + "/config/MDConfig.gen";
    if (!database.ReadFile(databasePath)) {
        GameLog("%s: the game database cannot be read", databasePath.c_str());
        return false;
    }
    database.ApplyTable("Root", KindSelector::All);
    std::string textPath = baseFolder + "/config/ingame.txt";
    std::string text;
    if (!plat::ReadWholeFile(textPath, text)) {
        GameLog("%s: the interface texts cannot be read", textPath.c_str());
        return false;
    }
    texts.Load(text);
    texts.SetLetter(kDefaultLanguageLetter);
    database.ApplyAllTables(KindSelector::All);
    return true;
}
