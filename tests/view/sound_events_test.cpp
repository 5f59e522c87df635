#include "engine/viewport.h"
#include "sound_fixture.h"

#include <set>

namespace {

const EngineRect kCentre{490, 290, 510, 310};

class SoundEventsTest : public SoundTest {
protected:
    void SetUp() override {
        SoundTest::SetUp();
        for (int32_t c = 0; c < 16; ++c)
            SetVoices(c, 2);
        RefreshSoundPositions(); // makes the voices and reads the view
    }
    const plat::NullAudio::PlayRecord& LastPlay() const { return audio.Plays().back(); }
    float VoiceVolume(uint32_t channel, uint32_t index) const {
        float v = -1, p = -1;
        const SoundInstance* voice = GetSoundInstance(channel, index);
        EXPECT_TRUE(voice && audio.GetVolumePan(voice->sample->Handle(), &v, &p));
        return v;
    }
};

TEST_F(SoundEventsTest, AnEndlessLoopAskedForAgainIsMovedNotStartedTwice) {
    AddRow(1, "sfx/long.wav", 0);
    ASSERT_EQ(PlaySoundEvent(1, &kCentre, 0), 0);
    const EngineRect moved{100, 100, 120, 120};
    EXPECT_EQ(PlaySoundEvent(1, &moved, 0), 0);
    EXPECT_EQ(audio.Plays().size(), 1u);
    EXPECT_EQ(GetSoundInstance(0, 0)->rect, moved);
    EXPECT_EQ(LastPlay().loops, 0u);
    // A finite sound of the same channel takes the next voice.
    AddRow(2, "sfx/long.wav", 1);
    EXPECT_EQ(PlaySoundEvent(2, &kCentre, 0), 1);
}

TEST_F(SoundEventsTest, LoopCountsAreDrawnBelowTheUpperBound) {
    struct Case {
        int32_t repeat, repeatMin;
        std::set<uint32_t> expected;
    };
    for (const Case& c : {Case{5, 2, {2, 3, 4}}, Case{2, 5, {2}}, Case{3, 3, {3}}}) {
        SoundFilesRow& row = AddRow(1, "sfx/short.wav");
        row.SoundRepeat = c.repeat;
        row.SoundRepeatMin = c.repeatMin;
        std::set<uint32_t> seen;
        for (int i = 0; i < 60; ++i) {
            ASSERT_NE(PlaySoundEvent(1, &kCentre, 0), -1);
            seen.insert(LastPlay().loops);
            audio.Advance(1000);
        }
        EXPECT_EQ(seen, c.expected) << c.repeat << " " << c.repeatMin;
    }
}

TEST_F(SoundEventsTest, RectanglesOffTheScreenAreNotPlayed) {
    AddRow(1, "sfx/short.wav");
    const EngineRect cases[] = {{-20, 0, 0, 10}, {1000, 0, 1020, 10}, {0, -20, 10, 0}, {0, 600, 10, 620}};
    for (const EngineRect& r : cases)
        EXPECT_EQ(PlaySoundEvent(1, &r, 0), -1) << r.left << "," << r.top;
    const EngineRect corner{-20, -20, 1, 1};
    EXPECT_EQ(PlaySoundEvent(1, &corner, 0), 0);
    EXPECT_EQ(PlaySoundEvent(1, nullptr, 0), -1);
}

TEST_F(SoundEventsTest, VolumeFallsWithDistanceToNothingAtTwiceTheScreenWidth) {
    SoundFilesRow& row = AddRow(1, "sfx/short.wav");
    row.SoundVolume = 0.5f;
    ASSERT_EQ(PlaySoundEvent(1, &kCentre, 0), 0);
    EXPECT_FLOAT_EQ(LastPlay().volume, 63.0f / 127.0f);
    EXPECT_EQ(GetSoundInstance(0, 0)->sample->Pan(), uint32_t(PanFromRect(kCentre)));
    audio.Advance(1000);

    // Half a screen width to the right of the centre: three quarters.
    row.SoundVolume = 1.0f;
    const EngineRect right{990, 290, 1010, 310};
    ASSERT_NE(PlaySoundEvent(1, &right, 0), -1);
    EXPECT_FLOAT_EQ(LastPlay().volume, float(1500 * 127 / 2000) / 127.0f);
    audio.Advance(1000);

    // Far away (the squared distance needs more than 32 bits): silent, but
    // it plays.
    const EngineRect far{-200000, 290, 1, 310};
    ASSERT_NE(PlaySoundEvent(1, &far, 0), -1);
    EXPECT_FLOAT_EQ(LastPlay().volume, 0.0f);
}

TEST_F(SoundEventsTest, AVolumeFactorAbove1IsHeldAt127) {
    AddRow(1, "sfx/short.wav").SoundVolume = 0.25f;
    ASSERT_EQ(PlaySoundEvent(1, &kCentre, 0), 0);
    audio.Advance(1000);
    AddRow(1, "sfx/short.wav").SoundVolume = 3.0f;
    ASSERT_EQ(PlaySoundEvent(1, &kCentre, 0), 0);
    EXPECT_FLOAT_EQ(LastPlay().volume, 1.0f);
    EXPECT_EQ(GetSoundInstance(0, 0)->sample->Volume(), 127u);
}

TEST_F(SoundEventsTest, TheChanceDecidesWhetherAnEventIsHeard) {
    struct Case {
        float probability;
        int low, high; // heard this many times of 300
    };
    for (const Case& c : {Case{0.0f, 0, 0}, Case{-1.0f, 0, 0}, Case{1.0f, 300, 300}, Case{0.5f, 100, 200}}) {
        AddRow(1, "sfx/short.wav").Probability = c.probability;
        int heard = 0;
        for (int i = 0; i < 300; ++i) {
            heard += PlaySoundEvent(1, &kCentre, 0) != -1;
            audio.Advance(1000);
        }
        EXPECT_GE(heard, c.low) << c.probability;
        EXPECT_LE(heard, c.high) << c.probability;
    }
}

TEST_F(SoundEventsTest, RefusesBadRowsChannelsAndFilesAndCountsNoFailedPlay) {
    AddRow(1, "sfx/short.wav", 1, 16);
    AddRow(2, "sfx/short.wav", 1, -1);
    AddRow(3, "");
    AddRow(4, "sfx/noise.wav").MaxSimultaneousPlaybacks = 3;
    for (uint32_t row : {0u, 1u, 2u, 3u, 4u, 99u, 0x80000000u})
        EXPECT_EQ(PlaySoundEvent(row, &kCentre, 0), -1) << row;
    EXPECT_EQ(SoundFilesTable::Find(4)->PlayCount, 0u);
    EXPECT_TRUE(audio.Plays().empty());

    AddRow(5, "sfx/short.wav");
    SetSoundEnabled(0);
    EXPECT_EQ(PlaySoundEvent(5, &kCentre, 0), -1);
    SetSoundEnabled(1);
    EXPECT_EQ(PlaySoundEvent(5, &kCentre, 0), 0);
}

TEST_F(SoundEventsTest, FileNamesAreTakenAsTheyStand) {
    folder.Write("sfx/new.wav", WaveBytes(1000, 100));
    AddRow(1, "sfx\\new.wav");
    EXPECT_EQ(GetSoundFileName(1), "sfx\\new.wav");
    EXPECT_EQ(PlaySoundEvent(1, &kCentre, 0), 0);
    EXPECT_EQ(GetSoundFileName(2), "");
}

TEST_F(SoundEventsTest, ThePlayLimitCountsVoicesOfTheRow) {
    SoundFilesRow& row = AddRow(1, "sfx/long.wav", 0);
    row.MaxSimultaneousPlaybacks = 1;
    ASSERT_EQ(PlaySoundEvent(1, &kCentre, 0), 0);
    EXPECT_EQ(row.PlayCount, 1u);
    // The loop's voice is taken from it; the count stays with the voice, so
    // the limit holds the next start back.
    GetSoundInstance(0, 0)->sample->ReleaseHandle();
    EXPECT_EQ(PlaySoundEvent(1, &kCentre, 0), -1);
    // A finite sound takes the voice over and gives the count back.
    AddRow(2, "sfx/short.wav");
    EXPECT_EQ(PlaySoundEvent(2, &kCentre, 0), 0);
    EXPECT_EQ(row.PlayCount, 0u);
    EXPECT_EQ(PlaySoundEvent(1, &kCentre, 0), 1);
    EXPECT_EQ(row.PlayCount, 1u);
}

TEST_F(SoundEventsTest, ChannelsTakeTheirVoiceCountsAndRefuseNegativeOnes) {
    SetVoices(0, 3);
    SetVoices(1, -5);
    SetVoices(2, 1 << 30);
    SoundChannelTable::FindMutable(15)->MaximumNrOfSounds = 0;
    TestView::view.originX = 1; // any change of view
    RefreshSoundPositions();
    EXPECT_NE(GetSoundInstance(0, 2), nullptr);
    EXPECT_EQ(GetSoundInstance(0, 3), nullptr);
    EXPECT_EQ(GetSoundInstance(1, 0), nullptr);
    EXPECT_NE(GetSoundInstance(2, uint32_t(kMaxVoicesPerChannel - 1)), nullptr);
    EXPECT_EQ(GetSoundInstance(2, uint32_t(kMaxVoicesPerChannel)), nullptr);
    EXPECT_EQ(GetSoundInstance(15, 0), nullptr);
    EXPECT_EQ(GetSoundInstance(16, 0), nullptr);
    AddRow(1, "sfx/short.wav", 1, 15);
    EXPECT_EQ(PlaySoundEvent(1, &kCentre, 0), -1);
}

TEST_F(SoundEventsTest, PanFollowsTheHorizontalPlace) {
    EXPECT_EQ(PanFromRect({-30, 0, 0, 10}), 10);
    EXPECT_EQ(PanFromRect({1000, 0, 1020, 10}), 117);
    EXPECT_EQ(PanFromRect({-10, 0, 1010, 10}), 63);
    EXPECT_EQ(PanFromRect({1000, 0, 0, 10}), 64); // nothing to divide by
}

TEST_F(SoundEventsTest, VoicesFollowTheViewOnlyWhenItChanges) {
    AddRow(1, "sfx/long.wav", 0);    // endless
    AddRow(2, "sfx/long.wav", 1, 1); // finite, channel 1
    SoundFilesTable::FindMutable(1)->MaxSimultaneousPlaybacks = 2;
    // Map tile (5, 5) stands at the screen centre.
    TestView::view.originX = 500;
    TestView::view.originY = 300 - 5 * 40;
    RefreshSoundPositions();
    const EngineRect tile{5, 5, 5, 5};
    ASSERT_EQ(PlaySoundEvent(1, &tile, 1), 0);
    ASSERT_EQ(PlaySoundEvent(2, &tile, 1), 0);
    EXPECT_FLOAT_EQ(VoiceVolume(0, 0), 1.0f);

    // The master volume alone reaches the voices at the next view change.
    SetSfxVolume(0.5f);
    RefreshSoundPositions();
    EXPECT_FLOAT_EQ(VoiceVolume(0, 0), 1.0f);
    TestView::view.originX += 100;
    RefreshSoundPositions();
    EXPECT_FLOAT_EQ(VoiceVolume(0, 0), float(1900 * 64 / 2000) / 127.0f);
    EXPECT_GT(GetSoundInstance(0, 0)->sample->Pan(), 64u);

    // Out of hearing: the loop ends and gives its count back, the finite
    // sound goes on silently.
    TestView::view.originX += 5000;
    RefreshSoundPositions();
    EXPECT_TRUE(GetSoundInstance(0, 0)->IsFree());
    EXPECT_EQ(GetSoundInstance(0, 0)->row, 0u);
    EXPECT_EQ(SoundFilesTable::Find(1)->PlayCount, 0u);
    EXPECT_FALSE(GetSoundInstance(1, 0)->IsFree());
    EXPECT_FLOAT_EQ(VoiceVolume(1, 0), 0.0f);
}

TEST_F(SoundEventsTest, TheEngineViewportGivesTheView) {
    SetSoundViewSource(nullptr);
    Viewport::ResetAll();
    const EngineRect rect{0, 0, 1024, 768};
    Viewport::SetActive(0, true, &rect);
    Viewport::Select(0);
    Viewport::SetZoomLevel(0);
    SetSfxVolume(1.0f);
    UpdateSoundView();
    EXPECT_EQ(GetSoundViewVolume(), 64); // 127 x 0.5, the tie rounded to even
    Viewport::ResetAll();
}

class Emitter : public SoundEmitter {
public:
    uint32_t row = 1;
    uint32_t GetSoundCategory() override { return row; }
    const EngineRect* GetSoundRect(EngineRect* rect) override {
        *rect = kCentre;
        return rect;
    }
    uint8_t IsMapRect() override { return 0; }
};

TEST_F(SoundEventsTest, AnEmitterRestartsItsSoundAfterTheTimeout) {
    AddRow(1, "sfx/short.wav").SoundTimeout = 1000;
    Emitter emitter;
    EXPECT_TRUE(emitter.Update(5000));
    EXPECT_EQ(emitter.VoiceIndex(), 0);
    EXPECT_TRUE(emitter.Update(5100)); // still playing
    EXPECT_EQ(emitter.VoiceIndex(), 0);
    audio.Advance(100);
    EXPECT_TRUE(emitter.Update(5200)); // ended: the voice is let go
    EXPECT_EQ(emitter.VoiceIndex(), -1);
    EXPECT_FALSE(emitter.Update(5999));
    EXPECT_TRUE(emitter.Update(6000));
    EXPECT_EQ(audio.Plays().size(), 2u);
    emitter.row = 0;
    EXPECT_TRUE(emitter.Update(9000));
}

} // namespace
