// A sound system on the sound-free backend over a scratch installation
// folder with WAVE files the test writes, a view of its own and fresh
// sound tables; everything is put back after each test.
#pragma once

#include "data/generated/sound_tables.h"
#include "platform/endian.h"
#include "platform/null_audio.h"
#include "tests/files/scratch_folder.h"
#include "view/music_player.h"
#include "view/random_table.h"
#include "view/sound_events.h"
#include "view/sound_system.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

// A 16-bit mono PCM WAVE file of `frames` silent frames.
inline std::string WaveBytes(uint32_t rate, uint32_t frames) {
    const uint32_t dataBytes = frames * 2;
    std::string out(44 + dataBytes, '\0');
    auto* p = reinterpret_cast<uint8_t*>(out.data());
    std::memcpy(p, "RIFF", 4);
    plat::StoreLE32(p + 4, 36 + dataBytes);
    std::memcpy(p + 8, "WAVEfmt ", 8);
    plat::StoreLE32(p + 16, 16);
    plat::StoreLE16(p + 20, 1);
    plat::StoreLE16(p + 22, 1);
    plat::StoreLE32(p + 24, rate);
    plat::StoreLE32(p + 28, rate * 2);
    plat::StoreLE16(p + 32, 2);
    plat::StoreLE16(p + 34, 16);
    std::memcpy(p + 36, "data", 4);
    plat::StoreLE32(p + 40, dataBytes);
    return out;
}

// The view every sound test hears through: a 1000 x 600 screen whose inner
// rectangle centres on (500, 300), zoom factor 1, tile height 40.
struct TestView {
    static inline SoundViewInput view;
    static SoundViewInput Get() { return view; }
    static void Reset() {
        view = SoundViewInput();
        view.width = 1000;
        view.height = 600;
        view.zoomLevel = 7;
        view.tileHeight = 40;
        view.zoomVolumeFactor = 1.0f;
        view.innerRect = {0, 0, 1000, 600};
    }
};

struct TestTime {
    static inline uint64_t now = 1;
    static uint64_t Get() { return now; }
    // Timestamps are nanoseconds.
    static void AdvanceSeconds(uint64_t s) { now += s * 1'000'000'000u; }
};

class SoundTest : public ::testing::Test {
protected:
    void SetUp() override {
        ClearTables();
        folder.Write("sfx/short.wav", WaveBytes(1000, 100)); // 100 ms
        folder.Write("sfx/long.wav", WaveBytes(1000, 2000)); // 2 s
        folder.Write("sfx/noise.wav", "not a sound at all");
        TestTime::now = 1;
        SoundSystem::SetTimestampSource(&TestTime::Get);
        TestView::Reset();
        SetSoundViewSource(&TestView::Get);
        SetSoundEnabled(1);
        SetSfxVolume(1.0f);
        SeedRandomTableWith(12345);
        ResetMusicPlayer();
        ASSERT_TRUE(SoundSystem::Startup(&audio, folder.Path()));
    }

    void TearDown() override {
        SoundSystem::Shutdown();
        ResetMusicPlayer();
        SetSoundViewSource(nullptr);
        SoundSystem::SetTimestampSource(nullptr);
        ClearTables();
    }

    static void ClearTables() {
        SoundFilesTable::Clear();
        SoundChannelTable::Clear();
        SoundtrackTable::Clear();
    }

    // A sound row with the chance 1 and full volume on channel 0.
    static SoundFilesRow& AddRow(int32_t row, const char* file, int32_t repeat = 1, int32_t channel = 0) {
        SoundFilesRow& r = *SoundFilesTable::GetOrCreateRow(row);
        r.Filename = file;
        r.Sound_Channel = channel;
        r.SoundVolume = 1.0f;
        r.SoundRepeat = repeat;
        r.SoundRepeatMin = repeat;
        r.Probability = 1.0f;
        return r;
    }

    static void SetVoices(int32_t channel, int32_t count) {
        SoundChannelTable::GetOrCreateRow(channel)->MaximumNrOfSounds = count;
    }

    plat::NullAudio audio;
    ScratchFolder folder;
};
