#include "sound_fixture.h"

#include <memory>

namespace {

using SoundSystemTest = SoundTest;

TEST_F(SoundSystemTest, NamesDifferingOnlyInAsciiCaseShareOneEntryOtherBytesDoNot) {
    SoundSample a("sfx/SHORT.wav");
    SoundSample b("sfx/short.WAV");
    ASSERT_NE(a.Entry(), nullptr);
    EXPECT_EQ(a.Entry(), b.Entry());
    EXPECT_EQ(a.Entry()->refCount, 2u);
    EXPECT_EQ(SoundSystem::CacheEntryCount(), 1u);
    EXPECT_EQ(audio.SampleCount(), 1u);

    EXPECT_EQ(SoundSystem::MakeSampleKey("AbC\xC4Z"), "abc\xC4z");
    EXPECT_NE(SoundSystem::MakeSampleKey("\xC4"), SoundSystem::MakeSampleKey("\xE4"));
}

TEST_F(SoundSystemTest, LongNamesThatShareTheirFirst64BytesAreDifferentSounds) {
    const std::string stem = "sfx/" + std::string(70, 'a');
    folder.Write(stem + "1.wav", WaveBytes(1000, 100));
    folder.Write(stem + "2.wav", WaveBytes(1000, 300));
    SoundSample one((stem + "1.wav").c_str());
    SoundSample two((stem + "2.wav").c_str());
    ASSERT_NE(one.Entry(), nullptr);
    ASSERT_NE(two.Entry(), nullptr);
    EXPECT_NE(one.Entry(), two.Entry());
    EXPECT_EQ(audio.SampleInfo(two.Entry()->sample)->lengthMs, 300u);
}

TEST_F(SoundSystemTest, SettingTheSameFileKeepsTheEntryAndOnlyDropsTheVoice) {
    SoundSample s("sfx/long.wav");
    ASSERT_TRUE(s.Play(1));
    const SampleCacheEntry* entry = s.Entry();
    EXPECT_NE(s.Handle(), 0u);
    EXPECT_TRUE(s.SetFile("SFX/LONG.WAV"));
    EXPECT_EQ(s.Entry(), entry);
    EXPECT_EQ(s.Handle(), 0u);
    EXPECT_EQ(audio.BusyVoiceCount(), 0u);
}

TEST_F(SoundSystemTest, AnUnusedEntryStaysFiveMinutesAfterItsLastStartAndANeverPlayedOneGoesAtOnce) {
    // Loaded, never played: freed with its last user even at time 1 (its
    // last start of 0 is no start).
    std::make_unique<SoundSample>("sfx/short.wav").reset();
    EXPECT_EQ(SoundSystem::CacheEntryCount(), 0u);

    auto s = std::make_unique<SoundSample>("sfx/short.wav");
    ASSERT_TRUE(s->Play(1));
    TestTime::AdvanceSeconds(200);
    s.reset();
    ASSERT_NE(SoundSystem::FindCacheEntry("sfx/short.wav"), nullptr);
    EXPECT_EQ(SoundSystem::FindCacheEntry("sfx/short.wav")->refCount, 0u);

    // A later user finds it without loading the file again.
    s = std::make_unique<SoundSample>("sfx/short.wav");
    EXPECT_EQ(audio.SampleCount(), 1u);
    EXPECT_EQ(audio.Plays().size(), 1u);
    // Long after the last start (past what a signed 32-bit count of
    // microseconds holds) the last user frees it.
    TestTime::AdvanceSeconds(3000);
    s.reset();
    EXPECT_EQ(SoundSystem::CacheEntryCount(), 0u);
    EXPECT_EQ(audio.SampleCount(), 0u);
}

TEST_F(SoundSystemTest, VolumeAndPanAre0To127AndReachTheBackendDividedBy127) {
    SoundSample s("sfx/long.wav");
    EXPECT_EQ(s.Volume(), kSoundUnset);
    for (int32_t bad : {-1, 128, 1000}) {
        EXPECT_FALSE(s.SetVolume(bad)) << bad;
        EXPECT_FALSE(s.SetPan(bad)) << bad;
    }
    EXPECT_EQ(s.Volume(), kSoundUnset);
    EXPECT_TRUE(s.SetVolume(127));
    EXPECT_TRUE(s.SetPan(0));
    ASSERT_TRUE(s.Play(1));
    ASSERT_EQ(audio.Plays().size(), 1u);
    EXPECT_FLOAT_EQ(audio.Plays()[0].volume, 1.0f);
    EXPECT_FLOAT_EQ(audio.Plays()[0].pan, 0.0f);
    EXPECT_TRUE(s.SetVolume(0));
    EXPECT_FALSE(s.SetVolume(128));
    float v = -1, p = -1;
    ASSERT_TRUE(audio.GetVolumePan(s.Handle(), &v, &p));
    EXPECT_FLOAT_EQ(v, 0.0f);
    EXPECT_FLOAT_EQ(p, 0.0f);

    // Unset values play at full volume in the middle.
    SoundSample fresh("sfx/short.wav");
    ASSERT_TRUE(fresh.Play(1));
    EXPECT_FLOAT_EQ(audio.Plays().back().volume, 1.0f);
    EXPECT_FLOAT_EQ(audio.Plays().back().pan, 64.0f / 127.0f);
    EXPECT_EQ(fresh.Volume(), 127u);
    EXPECT_EQ(fresh.Pan(), 64u);
}

TEST_F(SoundSystemTest, StopResumeAndStatusFollowTheVoice) {
    SoundSample s("sfx/short.wav");
    EXPECT_FALSE(s.Stop()); // no voice
    ASSERT_TRUE(s.Play(2));
    EXPECT_EQ(s.GetStatus(), kSoundPlaying);
    uint32_t loops = 99;
    ASSERT_TRUE(s.GetLoopCount(&loops));
    EXPECT_EQ(loops, 2u);
    EXPECT_TRUE(s.Stop());
    EXPECT_EQ(s.GetStatus(), kSoundStopped);
    audio.Advance(1000); // a halted voice does not run on
    EXPECT_EQ(s.GetStatus(), kSoundStopped);
    EXPECT_TRUE(s.Resume());
    EXPECT_EQ(s.GetStatus(), kSoundPlaying);
    audio.Advance(150);
    EXPECT_EQ(s.GetStatus(), kSoundPlaying); // two plays of 100 ms
    audio.Advance(50);
    // The end forgets the voice: the sample holds none to stop.
    EXPECT_EQ(s.Handle(), 0u);
    EXPECT_FALSE(s.Stop());
    EXPECT_FALSE(s.GetLoopCount(&loops));
}

TEST_F(SoundSystemTest, EndedVoicesAreReclaimedSoPlayingNeverRunsOutOfVoices) {
    SoundSample s("sfx/short.wav");
    plat::VoiceId previous = 0;
    for (uint32_t i = 0; i < 3 * plat::kAudioVoiceCount; ++i) {
        ASSERT_TRUE(s.Play(1)) << i;
        EXPECT_NE(s.Handle(), previous);
        previous = s.Handle();
        audio.Advance(100);
        ASSERT_EQ(s.Handle(), 0u) << i;
    }
    EXPECT_EQ(audio.BusyVoiceCount(), 0u);

    // A stale handle never reaches the voice that took its channel.
    SoundSample a("sfx/long.wav");
    SoundSample b("sfx/long.wav");
    ASSERT_TRUE(a.Play(1));
    const plat::VoiceId stale = a.Handle();
    a.ReleaseHandle();
    ASSERT_TRUE(b.Play(1));
    EXPECT_EQ(plat::VoiceChannel(stale), plat::VoiceChannel(b.Handle()));
    EXPECT_EQ(audio.Status(stale), kSoundDone);
    audio.Release(stale);
    EXPECT_EQ(b.GetStatus(), kSoundPlaying);
}

TEST_F(SoundSystemTest, FilesThatCannotBePlayedLeaveNoEntry) {
    for (const char* name : {"sfx/noise.wav", "sfx/missing.wav", "../outside.wav", "/etc/passwd", "sfx"}) {
        SoundSample s(name);
        EXPECT_EQ(s.Entry(), nullptr) << name;
        EXPECT_FALSE(s.Play(1)) << name;
    }
    EXPECT_EQ(SoundSystem::CacheEntryCount(), 0u);
    EXPECT_TRUE(audio.Plays().empty());
    SoundSample s;
    EXPECT_FALSE(s.SetFile(""));
}

TEST(SoundSystemWithoutDevice, StaysSilentButKeepsSettings) {
    plat::NullAudio none(false);
    EXPECT_FALSE(SoundSystem::Startup(&none, "gamedata"));
    EXPECT_FALSE(IsSoundAvailable());
    SoundSample s("sfx/click.wav");
    EXPECT_EQ(s.Entry(), nullptr);
    EXPECT_FALSE(s.Play(1));
    EXPECT_TRUE(s.SetVolume(50));
    EXPECT_EQ(s.Volume(), 50u);
    SoundStream music;
    EXPECT_FALSE(music.Open("gamedata/soundtrack/0/early_days.mp3"));
    EXPECT_FALSE(SoundSystem::Shutdown());
}

TEST_F(SoundSystemTest, MusicVolumeTakesValuesBelow128) {
    SetMusicVolume(127);
    EXPECT_EQ(GetMusicVolume(), 127u);
    SetMusicVolume(128);
    EXPECT_EQ(GetMusicVolume(), 127u);
    SetMusicVolume(100);
    EXPECT_EQ(GetMusicVolume(), 100u);
}

TEST_F(SoundSystemTest, PauseAllHaltsSamplesAndMusicAndResumeAllContinuesThem) {
    folder.Write("music.mp3", WaveBytes(1000, 5000));
    SoundSample s("sfx/long.wav");
    ASSERT_TRUE(s.Play(1));
    SoundStream music;
    ASSERT_TRUE(music.Open(folder / "music.mp3"));
    ASSERT_TRUE(music.Start(1));
    SoundSystem::PauseAll();
    EXPECT_EQ(s.GetStatus(), kSoundStopped);
    EXPECT_EQ(music.GetStatus(), kSoundStopped);
    SoundSystem::ResumeAll();
    EXPECT_EQ(s.GetStatus(), kSoundPlaying);
    EXPECT_EQ(music.GetStatus(), kSoundPlaying);
    EXPECT_TRUE(music.SetVolume(127));
    EXPECT_FALSE(music.SetVolume(128));
    uint32_t volume = 0;
    ASSERT_TRUE(music.GetVolume(&volume));
    EXPECT_EQ(volume, 127u);
}

TEST_F(SoundSystemTest, ShutdownLeavesNoOwnerWithAFreedObject) {
    folder.Write("soundtrack/0/a.mp3", WaveBytes(1000, 5000));
    SoundtrackTable::GetOrCreateRow(0)->Year1End = 9999;
    SetMusicYearSource([] { return 1900u; });
    SetVoices(0, 2);
    AddRow(1, "sfx/long.wav");
    RefreshSoundPositions();
    const EngineRect centre{490, 290, 510, 310};
    ASSERT_EQ(PlaySoundEvent(1, &centre, 0), 0);
    MusicPlayer();
    ASSERT_EQ(audio.MusicStarts().size(), 1u);
    auto owned = std::make_unique<SoundSample>("sfx/short.wav");
    ASSERT_TRUE(owned->Play(1));

    EXPECT_TRUE(SoundSystem::Shutdown());
    EXPECT_EQ(owned->Entry(), nullptr);
    EXPECT_EQ(owned->Handle(), 0u);
    owned.reset();

    // Everything works again after a new start.
    ASSERT_TRUE(SoundSystem::Startup(&audio, folder.Path()));
    audio.ClearRecords();
    MusicPlayer();
    EXPECT_EQ(audio.MusicStarts().size(), 1u);
    RefreshSoundPositions();
    EXPECT_EQ(PlaySoundEvent(1, &centre, 0), 0);
    SetMusicYearSource(nullptr);
}

} // namespace
