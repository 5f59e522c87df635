#include "gameloop/saved_game.h"

#include "files/chunk_stream.h"
#include "files/chunk_transfer.h"
#include "files/crc32.h"
#include "files/file_stream.h"
#include "files/memory_stream.h"
#include "files/packed_save.h"
#include "gameloop/game.h"
#include "gameloop/game_log.h"
#include "gameloop/new_game.h"
#include "platform/endian.h"
#include "platform/file.h"

#include <algorithm>
#include <filesystem>
#include <functional>
#include <new>
#include <sys/stat.h>

const uint32_t kSaveSectionTags[16] = {
    ChunkTag("time"), ChunkTag("mmap"), ChunkTag("gmap"), ChunkTag("sch"),  ChunkTag("obj"), ChunkTag("plr"),
    ChunkTag("city"), ChunkTag("gsta"), ChunkTag("rout"), ChunkTag("GC"),   ChunkTag("SPE"), ChunkTag("FSE"),
    ChunkTag("WoP"),  ChunkTag("WIN"),  ChunkTag("DLGC"), ChunkTag("SIGL"),
};

namespace {

constexpr uint32_t kRandomTag = ChunkTag("rand");

// Sections that hold the interface's state, not the world's.
bool IsInterfaceSection(size_t index) {
    SaveSection s = SaveSection(index);
    return s == SaveSection::MiniMap || s == SaveSection::UiState || s == SaveSection::MapView ||
           s == SaveSection::News;
}

// The map size until the world map saves itself.
bool SerializeMapSize(Game& game) {
    uint32_t width = game.MapWidth();
    uint32_t height = game.MapHeight();
    if (TransferSizedValue(width) != 8 || TransferSizedValue(height) != 8)
        return false;
    if (StreamMode() == kStreamLoad) {
        if (width == 0 || height == 0 || width > kLargestMapSide || height > kLargestMapSide || width % 2 ||
            height % 2) {
            GameLog("saved game: a map of %u x %u tiles cannot be", width, height);
            return false;
        }
        game.SetMapSize(width, height);
    }
    return true;
}

// The session's values, then the state of the world's random generator as
// a chunk of its own, which loaders that do not know it skip.
bool SerializeSessionSection(Game& game) {
    if (!game.Session().SerializeSessionState())
        return false;
    uint32_t tag = kRandomTag;
    BeginChunk(tag);
    bool ok = true;
    if (tag == kRandomTag) {
        uint32_t state = game.Random().State();
        ok = TransferSizedValue(state) == 8;
        game.Random().SetSeed(state);
    }
    EndChunk();
    return ok;
}

bool SerializeSection(Game& game, size_t index) {
    if (const Game::SectionSerializer& owner = game.GetSectionSerializer(SaveSection(index)))
        return owner();
    switch (SaveSection(index)) {
    case SaveSection::Time:
        return game.Clock().Serialize();
    case SaveSection::WorldMap:
        return SerializeMapSize(game);
    case SaveSection::Session:
        return SerializeSessionSection(game);
    case SaveSection::Mission:
        return game.Goals().Serialize();
    default:
        // Sections of parts that are not built yet stay empty.
        return true;
    }
}

// The sections of a loaded stream into the world; false at the first
// missing or damaged one.
bool LoadSections(Game& game, std::unique_ptr<SaveStream> stream) {
    std::string header(kSaveHeaderText);
    uint32_t version = kSaveStreamVersion;
    if (!stream) {
        GameLog("saved game: the stream cannot be opened");
        return false;
    }
    if (!BeginSaveStream(std::move(stream), header, version)) {
        GameLog("saved game: %s", StreamError().c_str());
        CloseStream();
        return false;
    }
    bool ok = true;
    for (size_t i = 0; i < kSaveSectionCount && ok; ++i) {
        uint32_t tag = kSaveSectionTags[i];
        BeginChunk(tag);
        if (tag != kSaveSectionTags[i]) {
            GameLog("saved game: section %s is missing", ChunkTagName(kSaveSectionTags[i]).c_str());
            ok = false;
        } else if (SaveSection(i) != SaveSection::MiniMap && !SerializeSection(game, i)) {
            GameLog("saved game: section %s is damaged", ChunkTagName(tag).c_str());
            ok = false;
        }
        EndChunk();
    }
    if (StreamFailed()) {
        GameLog("saved game: %s", StreamError().c_str());
        ok = false;
    }
    CloseStream();
    return ok;
}

// The head chunk's fields, read by hand: the header's text and, after it,
// the checksum of the sections when the file has one.
struct HeadOutline {
    uint32_t size = 0;
    bool hasChecksum = false;
    uint32_t checksum = 0;
};

bool ReadHead(std::span<const uint8_t> bytes, HeadOutline& head, std::string& reason) {
    if (bytes.size() < 8 || plat::LoadLE32(bytes.data()) != kHeaderChunkTag) {
        reason = "the file does not begin with a header chunk";
        return false;
    }
    head.size = plat::LoadLE32(bytes.data() + 4);
    if (head.size < 8 || head.size > bytes.size()) {
        reason = "the header chunk's size does not fit the file";
        return false;
    }
    std::span<const uint8_t> fields = bytes.subspan(8, head.size - 8);
    if (fields.size() < 12 || plat::LoadLE32(fields.data()) != 4 ||
        plat::LoadLE32(fields.data() + 4) != kSaveStreamVersion) {
        reason = "the header lacks the version of a saved game";
        return false;
    }
    uint32_t textSize = plat::LoadLE32(fields.data() + 8);
    if (textSize != kSaveHeaderText.size() + 1 || fields.size() - 12 < textSize ||
        std::string_view(reinterpret_cast<const char*>(fields.data() + 12), textSize - 1) !=
            kSaveHeaderText ||
        fields[12 + textSize - 1] != 0) {
        reason = "the header's text is not that of a saved game";
        return false;
    }
    std::span<const uint8_t> rest = fields.subspan(12 + textSize);
    if (rest.empty())
        return true;
    if (rest.size() != 8 || plat::LoadLE32(rest.data()) != 4) {
        reason = "the header's checksum field is damaged";
        return false;
    }
    head.hasChecksum = true;
    head.checksum = plat::LoadLE32(rest.data() + 4);
    return true;
}

// Calls visit (index, section bytes with their header) for each section.
template <typename Visit>
bool WalkSections(std::span<const uint8_t> bytes, std::string& reason, Visit&& visit) {
    HeadOutline head;
    if (!ReadHead(bytes, head, reason))
        return false;
    size_t pos = head.size;
    for (size_t i = 0; i < kSaveSectionCount; ++i) {
        if (bytes.size() - pos < 8 || plat::LoadLE32(bytes.data() + pos) != kSaveSectionTags[i]) {
            reason = "section " + ChunkTagName(kSaveSectionTags[i]) + " is missing";
            return false;
        }
        uint32_t size = plat::LoadLE32(bytes.data() + pos + 4);
        if (size < 8 || size > bytes.size() - pos) {
            reason = "section " + ChunkTagName(kSaveSectionTags[i]) + " runs past the end of the file";
            return false;
        }
        visit(i, bytes.subspan(pos, size));
        pos += size;
    }
    if (head.hasChecksum && Crc32(bytes.subspan(head.size)) != head.checksum) {
        reason = "the checksum does not match the sections";
        return false;
    }
    return true;
}

// The outline check of WalkSections on a file, read a piece at a time, so
// that a load need not hold the whole file in memory.
bool CheckSavedFile(const std::string& path, std::string& reason) {
    plat::File file;
    if (!file.Open(path, plat::File::Mode::Read)) {
        reason = "the file cannot be opened";
        return false;
    }
    const uint64_t size = file.Size();
    if (size == UINT64_MAX || size >= UINT32_MAX) {
        reason = "the file's size cannot be had or is 4 GiB or more";
        return false;
    }
    // The head chunk holds a version, a fixed text and a checksum field.
    constexpr uint32_t kLargestHead = 4096;
    uint8_t top[8] = {};
    uint32_t headSize = 0;
    if (file.ReadExact(top, sizeof top))
        headSize = plat::LoadLE32(top + 4);
    std::vector<uint8_t> head(std::clamp<uint32_t>(headSize, 8, kLargestHead));
    std::copy(top, top + 8, head.begin());
    if (headSize < 8 || headSize > kLargestHead || headSize > size ||
        !file.ReadExact(head.data() + 8, head.size() - 8)) {
        // Too short to be read: ReadHead says what is wrong with the start.
        head.resize(std::min<uint64_t>(size, 8));
    }
    HeadOutline outline;
    if (!ReadHead(head, outline, reason))
        return false;
    uint64_t pos = outline.size;
    for (size_t i = 0; i < kSaveSectionCount; ++i) {
        uint8_t section[8];
        if (size - pos < 8 || !file.Seek(pos) || !file.ReadExact(section, sizeof section) ||
            plat::LoadLE32(section) != kSaveSectionTags[i]) {
            reason = "section " + ChunkTagName(kSaveSectionTags[i]) + " is missing";
            return false;
        }
        uint32_t sectionSize = plat::LoadLE32(section + 4);
        if (sectionSize < 8 || sectionSize > size - pos) {
            reason = "section " + ChunkTagName(kSaveSectionTags[i]) + " runs past the end of the file";
            return false;
        }
        pos += sectionSize;
    }
    if (!outline.hasChecksum)
        return true;
    std::vector<uint8_t> buffer(size_t(1) << 20);
    uint32_t crc = 0;
    for (pos = outline.size; pos < size;) {
        const size_t count = size_t(std::min<uint64_t>(buffer.size(), size - pos));
        if ((pos == outline.size && !file.Seek(pos)) || !file.ReadExact(buffer.data(), count)) {
            reason = "the file cannot be read";
            return false;
        }
        crc = Crc32(std::span<const uint8_t>(buffer.data(), count), crc);
        pos += count;
    }
    if (crc != outline.checksum) {
        reason = "the checksum does not match the sections";
        return false;
    }
    return true;
}

bool ReadSaveFile(const std::string& path, bool packed, std::vector<uint8_t>& bytes) {
    std::vector<uint8_t> file;
    if (!plat::ReadWholeFile(path, file)) {
        GameLog("%s: the saved game cannot be read", path.c_str());
        return false;
    }
    if (!packed) {
        bytes = std::move(file);
        return true;
    }
    std::string error;
    if (!UnpackSaveImage(file, bytes, &error)) {
        GameLog("%s: %s", path.c_str(), error.c_str());
        return false;
    }
    return true;
}

} // namespace

bool SaveGameToMemory(Game& game, std::vector<uint8_t>& bytes) {
    WorldScope world(game.GetWorld());
    std::string header(kSaveHeaderText);
    uint32_t version = kSaveStreamVersion;
    bytes.clear();
    bool ok = BeginSaveStream(std::make_unique<MemoryWriteStream>(bytes), header, version);
    for (size_t i = 0; i < kSaveSectionCount && ok; ++i) {
        uint32_t tag = kSaveSectionTags[i];
        BeginChunk(tag);
        ok = SerializeSection(game, i);
        EndChunk();
    }
    if (!ok || StreamFailed())
        GameLog("saving the game failed: %s", StreamFailed() ? StreamError().c_str() : "a section failed");
    ok = CloseStream() && ok;
    if (!ok)
        return false;
    // The checksum of the sections goes behind the header's text, where
    // readers that do not know it skip it.
    uint32_t headSize = plat::LoadLE32(bytes.data() + 4);
    uint8_t field[8];
    plat::StoreLE32(field, 4);
    plat::StoreLE32(field + 4, Crc32(std::span<const uint8_t>(bytes).subspan(headSize)));
    bytes.insert(bytes.begin() + headSize, field, field + 8);
    plat::StoreLE32(bytes.data() + 4, headSize + 8);
    return true;
}

namespace {

constexpr uint32_t kKeptClockTag = ChunkTag("clk");
constexpr uint32_t kKeptSessionTag = ChunkTag("ses");
constexpr uint32_t kKeptGoalsTag = ChunkTag("goal");

// What a load writes into outside the world (the loop clock when it keeps
// its own state, the session's values, the mission goals, the map size),
// kept in memory to be put back when the load fails.
struct KeptGameParts {
    std::vector<uint8_t> bytes;
    bool withClock = false;
    uint32_t mapWidth = 0;
    uint32_t mapHeight = 0;
};

template <typename Part>
bool TransferKeptParts(Game& game, bool withClock, Part&& part) {
    bool ok = true;
    if (withClock)
        ok = part(kKeptClockTag, [&game] { return game.Clock().Serialize(); }) && ok;
    ok = part(kKeptSessionTag, [&game] { return game.Session().SerializeSessionState(); }) && ok;
    ok = part(kKeptGoalsTag, [&game] { return game.Goals().Serialize(); }) && ok;
    return ok;
}

bool KeepGameParts(Game& game, bool withClock, KeptGameParts& kept) {
    kept.withClock = withClock;
    kept.mapWidth = game.MapWidth();
    kept.mapHeight = game.MapHeight();
    SaveStreamScope scope;
    std::string header(kSaveHeaderText);
    uint32_t version = kSaveStreamVersion;
    if (!BeginSaveStream(OpenMemoryWriteStream(kept.bytes), header, version))
        return false;
    bool ok = TransferKeptParts(game, withClock, [](uint32_t tag, auto&& body) {
        BeginChunk(tag);
        bool done = body();
        EndChunk();
        return done;
    });
    return CloseStream() && ok;
}

bool RestoreGameParts(Game& game, const KeptGameParts& kept) {
    game.SetMapSize(kept.mapWidth, kept.mapHeight);
    SaveStreamScope scope;
    std::string header;
    uint32_t version = 0;
    if (!BeginSaveStream(OpenMemoryReadStream(std::span<const uint8_t>(kept.bytes)), header, version))
        return false;
    bool ok = TransferKeptParts(game, kept.withClock, [](uint32_t expected, auto&& body) {
        uint32_t tag = 0;
        BeginChunk(tag);
        bool done = tag == expected && body();
        EndChunk();
        return done;
    });
    return CloseStream() && ok;
}

// Loads a checked saved game from the stream that open gives into a fresh
// world, which keeps the game's world only when the whole load succeeded; a
// failed load puts the running world back as it was. The running world's
// contents wait aside meanwhile, so that the world the load fills is the
// game's own (what a load binds to its world stays bound).
bool LoadCheckedGame(Game& game, const std::function<std::unique_ptr<SaveStream>()>& open) {
    World& world = game.GetWorld();
    const bool hadGame = game.IsStarted();
    KeptGameParts kept;
    {
        WorldScope scope(world);
        if (!KeepGameParts(game, hadGame, kept)) {
            GameLog("saved game not loaded: the running game's state cannot be kept");
            return false;
        }
    }
    World running;
    running.SwapContents(world);
    world.InheritUnsaved(running);
    std::unique_ptr<LoopClock> previousClock;
    bool ok = false;
    {
        WorldScope scope(world);
        ResetWorld(game);
        game.Goals().Clear();
        // A game loaded without one running first gets the clock a new game has.
        if (!hadGame)
            previousClock = game.ReplaceClock(game.Hooks().CreateClock());
        ok = LoadSections(game, open());
        if (!ok) {
            if (previousClock)
                game.ReplaceClock(std::move(previousClock));
            if (!RestoreGameParts(game, kept))
                GameLog("saved game: the running game's state could not be put back");
        }
    }
    if (!ok) {
        world.SwapContents(running);
        return false;
    }
    WorldScope scope(world);
    game.Hooks().AfterLoad();
    LoopTimes& times = game.Times();
    times.lastTownUpdate = game.Clock().GetTime();
    times.tickTime = game.Clock().GetTime();
    times.lastProduction = 0;
    times.lastScript = 0;
    times.lastSecondPass = 0;
    game.SetStarted(true);
    return true;
}

} // namespace

bool LoadGameFromMemory(Game& game, std::span<const uint8_t> bytes) {
    std::string reason;
    if (!CheckSavedGame(bytes, reason)) {
        GameLog("saved game not loaded: %s", reason.c_str());
        return false;
    }
    return LoadCheckedGame(game, [bytes] { return OpenMemoryReadStream(bytes); });
}

bool SaveGame(Game& game, const std::string& path, bool packed) {
    std::vector<uint8_t> bytes;
    if (!SaveGameToMemory(game, bytes))
        return false;
    if (packed) {
        std::vector<uint8_t> file;
        if (!PackSaveImage(bytes, file)) {
            GameLog("%s: the saved game cannot be packed", path.c_str());
            return false;
        }
        bytes = std::move(file);
    }
    plat::AtomicFileWriter writer(path);
    if (!writer.Open() || !writer.Write(bytes.data(), bytes.size()) || !writer.Commit()) {
        GameLog("%s: the saved game cannot be written", path.c_str());
        return false;
    }
    return true;
}

bool LoadGame(Game& game, const std::string& path, bool packed) {
    bool loaded = false;
    if (packed) {
        std::vector<uint8_t> bytes;
        if (!ReadSaveFile(path, packed, bytes))
            return false;
        loaded = LoadGameFromMemory(game, bytes);
    } else {
        // A plain file is checked and then loaded a piece at a time.
        std::string reason;
        if (!CheckSavedFile(path, reason)) {
            GameLog("%s: saved game not loaded: %s", path.c_str(), reason.c_str());
            return false;
        }
        loaded = LoadCheckedGame(game, [&path] { return OpenFileReadStream(path); });
    }
    if (!loaded) {
        GameLog("%s: the saved game was not loaded", path.c_str());
        return false;
    }
    return true;
}

bool CheckSavedGame(std::span<const uint8_t> bytes, std::string& reason) {
    return WalkSections(bytes, reason, [](size_t, std::span<const uint8_t>) {});
}

bool HashSavedGame(std::span<const uint8_t> bytes, uint32_t& hash, std::string& reason) {
    uint32_t crc = 0;
    bool ok = WalkSections(bytes, reason, [&crc](size_t index, std::span<const uint8_t> section) {
        if (!IsInterfaceSection(index))
            crc = Crc32(section, crc);
    });
    if (ok)
        hash = crc;
    return ok;
}

std::string AutosaveFileName(const std::string& name, uint32_t year) {
    return name + "_map_" + std::to_string(year) + ".mds";
}

void AutoSave(Game& game) {
    game.Hooks().YearlyUpdates();
    const AutosaveSettings& settings = game.Autosave();
    if (!settings.enabled)
        return;

    namespace fs = std::filesystem;
    fs::path folder = fs::path(settings.baseFolder) / (game.Session().IsNetworkGame() ? "mpsave" : "save");
    std::error_code error;
    fs::create_directories(folder, error);
    // Earlier autosaves of this game: "<name>_map_<digits>.mds".
    std::string prefix = settings.name + "_map_";
    std::vector<fs::path> earlier;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder, error)) {
        std::string file = entry.path().filename().string();
        if (file.size() <= prefix.size() + 4 || file.compare(0, prefix.size(), prefix) != 0 ||
            file.compare(file.size() - 4, 4, ".mds") != 0)
            continue;
        std::string year = file.substr(prefix.size(), file.size() - prefix.size() - 4);
        if (year.find_first_not_of("0123456789") != std::string::npos)
            continue;
        // The owner's write bit, as the read-only mark of the file.
        struct stat info;
        if (stat(entry.path().c_str(), &info) != 0 || (info.st_mode & S_IWUSR) == 0) {
            GameLog("\"%s\" is read-only: no autosave is written this year", file.c_str());
            return;
        }
        earlier.push_back(entry.path());
    }
    std::sort(earlier.begin(), earlier.end());

    fs::path target = folder / AutosaveFileName(settings.name, game.Clock().GetCurrentYear());
    if (!SaveGame(game, target.string())) {
        GameLog("the autosave %s failed; the previous one is kept", target.string().c_str());
        return;
    }
    for (const fs::path& old : earlier)
        if (old != target)
            plat::RemoveFile(old.string());
}
