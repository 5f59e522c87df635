// The sounds and music shipped in gamedata/ are complete: every sound row
// names a file that plays, 16 channels have voices, and every year from the
// first has a soundtrack folder with music in it. One shipped sample and
// one music file also go through SDL_mixer when its dummy driver opens.
#include "data/database.h"
#include "platform/audio/sdl_mixer_audio.h"
#include "platform/clock.h"
#include "platform/file.h"
#include "sound_fixture.h"

#include <cstdlib>

namespace {

class DefaultSoundsTest : public ::testing::Test {
protected:
    void SetUp() override {
        SoundFilesTable::Clear();
        SoundChannelTable::Clear();
        SoundtrackTable::Clear();
        std::string text;
        ASSERT_TRUE(plat::ReadWholeFile("gamedata/config/MDConfig.gen", text));
        Database db;
        db.Init();
        ASSERT_TRUE(db.Read(text));
        ASSERT_TRUE(db.ApplyAllTables(KindSelector::All));
        SeedRandomTableWith(7);
        ResetMusicPlayer();
        EnableMusic(1);
    }
    void TearDown() override {
        SoundSystem::Shutdown();
        ResetMusicPlayer();
        SetMusicYearSource(nullptr);
        SetSoundViewSource(nullptr);
        SoundFilesTable::Clear();
        SoundChannelTable::Clear();
        SoundtrackTable::Clear();
    }
    static uint32_t year_;
    // Backends outlive the sound system's shutdown in TearDown.
    plat::NullAudio audio;
    std::unique_ptr<plat::Audio> mixer;
};
uint32_t DefaultSoundsTest::year_ = 0;

TEST_F(DefaultSoundsTest, EverySoundRowPlaysOnAChannelWithVoices) {
    ASSERT_TRUE(SoundSystem::Startup(&audio, "gamedata"));
    TestView::Reset();
    SetSoundViewSource(&TestView::Get);
    SetSfxVolume(1.0f);
    SetSoundEnabled(1);
    ASSERT_EQ(SoundChannelTable::RowCount(), 16);
    for (int32_t c = 0; c < 16; ++c) {
        ASSERT_NE(SoundChannelTable::Find(c), nullptr) << c;
        EXPECT_GT(SoundChannelTable::Find(c)->MaximumNrOfSounds, 0) << c;
    }
    RefreshSoundPositions();
    ASSERT_GT(SoundFilesTable::RowCount(), 1);
    const EngineRect centre{490, 290, 510, 310};
    for (int32_t row = 1; row < SoundFilesTable::RowCount(); ++row) {
        SoundFilesRow* sound = SoundFilesTable::FindMutable(row);
        ASSERT_NE(sound, nullptr) << row;
        sound->Probability = 1.0f; // the chance is not what is checked here
        EXPECT_NE(PlaySoundEvent(uint32_t(row), &centre, 0), -1) << row << " " << sound->Filename;
    }
    EXPECT_EQ(audio.Plays().size(), size_t(SoundFilesTable::RowCount() - 1));
}

TEST_F(DefaultSoundsTest, EveryYearHasMusic) {
    ASSERT_TRUE(SoundSystem::Startup(&audio, "gamedata"));
    SetMusicYearSource([] { return year_; });
    for (year_ = 1850; year_ <= 2100; year_ += 10) {
        StopMusic();
        ResetMusicPlayer();
        audio.ClearRecords();
        MusicPlayer();
        ASSERT_EQ(audio.MusicStarts().size(), 1u) << year_;
    }
}

TEST_F(DefaultSoundsTest, ASampleAndMusicPlayThroughSdlMixer) {
    if (!std::getenv("SDL_AUDIODRIVER"))
        setenv("SDL_AUDIODRIVER", "dummy", 1);
    plat::Clock::UseReal();
    mixer = plat::CreateSdlMixerAudio();
    if (!SoundSystem::Startup(mixer.get(), "gamedata"))
        GTEST_SKIP() << "SDL_mixer cannot open an audio driver here";
    SoundSample click("sfx/click.wav");
    ASSERT_NE(click.Entry(), nullptr);
    ASSERT_TRUE(click.SetVolume(100));
    ASSERT_TRUE(click.SetPan(20));
    ASSERT_TRUE(click.Play(1));
    const plat::VoiceId first = click.Handle();
    EXPECT_NE(first, 0u);
    // The dummy driver plays in real time: the 50 ms click ends and the
    // mixer's end callback lets its voice go (waited for, not timed).
    for (int i = 0; i < 500 && click.Handle() != 0; ++i)
        plat::Clock::Sleep(10);
    EXPECT_EQ(click.Handle(), 0u);
    ASSERT_TRUE(click.Play(1));
    EXPECT_NE(click.Handle(), first);
    click.ReleaseHandle();
    SoundSample loop("sfx/hum.wav");
    ASSERT_TRUE(loop.Play(0));
    uint32_t loops = 1;
    ASSERT_TRUE(loop.GetLoopCount(&loops));
    EXPECT_EQ(loops, 0u);
    EXPECT_TRUE(loop.Stop());
    EXPECT_EQ(loop.GetStatus(), kSoundStopped);
    EXPECT_TRUE(loop.Resume());
    EXPECT_EQ(loop.GetStatus(), kSoundPlaying);
    loop.ReleaseHandle();

    SoundStream music;
    ASSERT_TRUE(music.Open("gamedata/soundtrack/0/early_days.mp3"));
    ASSERT_TRUE(music.SetVolume(64));
    ASSERT_TRUE(music.Start(1));
    EXPECT_EQ(music.GetStatus(), kSoundPlaying);
    EXPECT_TRUE(music.Pause());
    EXPECT_EQ(music.GetStatus(), kSoundStopped);
    EXPECT_FALSE(music.Open("gamedata/sfx"));
    EXPECT_TRUE(SoundSystem::Shutdown());
}

} // namespace
