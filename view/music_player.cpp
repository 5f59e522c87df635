#include "view/music_player.h"

#include "data/generated/sound_tables.h"
#include "files/host_path.h"
#include "platform/clock.h"
#include "view/sound_system.h"
#include "world/game_clock.h"
#include "world/random_streams.h"

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace {

struct Player {
    std::unique_ptr<SoundStream> stream;
    uint32_t finishedTime = 0;
    bool firstTrack = true;
    uint32_t lastVolume = 0xFFFFFFFFu;
    int32_t currentRow = 0;
    // The choice among a folder's files; the program's own, not libc's.
    RuntimeRandomStream random{1};
    uint32_t (*year)() = nullptr;
};

Player& P() {
    static Player p;
    return p;
}

uint32_t CurrentYear() {
    if (P().year)
        return P().year();
    GameClock* clock = GetGameClock();
    return clock ? clock->GetCurrentYear() : kFirstYear;
}

// Every regular file of the row's folder whose name contains ".mp3" (case
// matters), in byte order of the names. Only the names are tested, so the
// installation folder's own path never qualifies a file, and folders are
// never taken for files.
std::vector<std::string> MusicFiles(int32_t row) {
    std::vector<std::string> files;
    const std::string folder = SoundSystem::ResolveSoundPath("soundtrack/" + std::to_string(row));
    if (folder.empty())
        return files;
    std::optional<std::vector<std::string>> names = ReadFolderNames(folder);
    if (!names)
        return files;
    for (const std::string& name : *names) {
        if (name.find(".mp3") == std::string::npos)
            continue;
        const std::string path = JoinHostPath(folder, name);
        std::error_code error;
        if (std::filesystem::is_regular_file(path, error))
            files.push_back(path);
    }
    return files;
}

} // namespace

void SetMusicYearSource(uint32_t (*year)()) {
    P().year = year;
}

void ResetMusicPlayer(uint32_t seed) {
    Player& p = P();
    p.stream.reset();
    p.finishedTime = 0;
    p.firstTrack = true;
    p.lastVolume = 0xFFFFFFFFu;
    p.currentRow = 0;
    p.random.Seed(seed);
}

void StopMusic() {
    Player& p = P();
    p.stream.reset();
    p.finishedTime = 0;
}

void EnableMusic(uint8_t on) {
    const bool enable = on != 0;
    if (enable != IsMusicEnabled())
        P().finishedTime = 0;
    SetMusicEnabledFlag(enable);
    if (!enable)
        StopMusic();
}

void MusicPlayer() {
    Player& p = P();
    if (!IsMusicEnabled() || !IsSoundAvailable())
        return;
    if (!p.stream)
        p.stream = std::make_unique<SoundStream>();
    switch (p.stream->GetStatus()) {
    case kSoundDone:
        p.stream->Close();
        p.finishedTime = plat::Clock::Millis();
        return;
    case kSoundPlaying:
        if (GetMusicVolume() != p.lastVolume) {
            p.stream->SetVolume(GetMusicVolume());
            p.lastVolume = GetMusicVolume();
        }
        return;
    case 0:
        break;
    default:
        return;
    }
    const int32_t rows = SoundtrackTable::RowCount();
    if (rows == 0)
        return;
    const uint32_t year = CurrentYear();
    const uint32_t now = plat::Clock::Millis();
    const SoundtrackRow* pauseRow = SoundtrackTable::Find(p.currentRow);
    int32_t chosen = -1;
    for (int32_t i = 0; i < rows; ++i) {
        const SoundtrackRow* row = SoundtrackTable::Find(i);
        if (row && row->Year0Start >= 0 && row->Year1End >= 0 && uint32_t(row->Year0Start) <= year &&
            year <= uint32_t(row->Year1End)) {
            chosen = i;
            break;
        }
    }
    if (chosen < 0)
        return;
    const uint32_t pause = pauseRow && pauseRow->PauseAfter > 0 ? uint32_t(pauseRow->PauseAfter) : 0;
    if (!p.firstTrack && now - p.finishedTime < pause)
        return;
    p.firstTrack = false;
    p.finishedTime = 0;
    const std::vector<std::string> files = MusicFiles(chosen);
    if (files.empty())
        return;
    const std::string& path = files[p.random.Next() % files.size()];
    if (p.stream->Open(path) && p.stream->SetVolume(GetMusicVolume()) && p.stream->Start(1)) {
        p.lastVolume = GetMusicVolume();
        p.currentRow = chosen;
    }
}
