#include "platform/clock.h"
#include "sound_fixture.h"

#include <set>

namespace {

struct MusicYear {
    static inline uint32_t year = 1900;
    static uint32_t Get() { return year; }
};

class MusicPlayerTest : public SoundTest {
protected:
    void SetUp() override {
        SoundTest::SetUp();
        plat::Clock::UseFake(100000);
        MusicYear::year = 1900;
        SetMusicYearSource(&MusicYear::Get);
        EnableMusic(1);
        SetMusicVolume(100);
        // One second of sound each; the backend goes by the contents.
        const std::string second = WaveBytes(1000, 1000);
        folder.Write("soundtrack/0/a.mp3", second);
        folder.Write("soundtrack/1/b.mp3", second);
        folder.Write("soundtrack/1/c.MP3", second);
        folder.Write("soundtrack/1/d.mp3.wav", second);
        folder.Write("soundtrack/1/notes.txt", second);
        folder.MakeFolder("soundtrack/1/e.mp3");
        Track(0, 1850, 1900, 5000);
        Track(1, 1890, 1999, 1000);
    }
    void TearDown() override {
        SetMusicYearSource(nullptr);
        EnableMusic(1);
        SetMusicVolume(100);
        plat::Clock::UseReal();
        SoundTest::TearDown();
    }
    static void Track(int32_t row, int32_t first, int32_t last, int32_t pause) {
        SoundtrackRow& r = *SoundtrackTable::GetOrCreateRow(row);
        r.Year0Start = first;
        r.Year1End = last;
        r.PauseAfter = pause;
    }
    std::string Name(const std::string& path) const { return path.substr(path.rfind('/') + 1); }
    // Runs the player for one frame `ms` after the last.
    void Frame(uint32_t ms = 25) {
        plat::Clock::Advance(ms);
        audio.Advance(ms);
        MusicPlayer();
    }
};

TEST_F(MusicPlayerTest, PicksAFileOfTheFirstRowCoveringTheYearAtOnceAndPlaysItOnce) {
    MusicPlayer();
    ASSERT_EQ(audio.MusicStarts().size(), 1u);
    EXPECT_EQ(Name(audio.MusicStarts()[0].path), "a.mp3"); // 1900 is in both rows: the lower wins
    EXPECT_EQ(audio.MusicStarts()[0].loops, 1u);
    EXPECT_FLOAT_EQ(audio.MusicStarts()[0].volume, 100.0f / 127.0f);
}

// Both ends of a row's years count as covered; the folder is the row's index.
TEST_F(MusicPlayerTest, TheYearPicksTheFolderByTheRowsBounds) {
    struct Case {
        uint32_t year;
        const char* folder; // null: nothing plays
    };
    const Case cases[] = {
        {1849, nullptr}, {1850, "/0/"}, {1889, "/0/"},   {1900, "/0/"},
        {1901, "/1/"},   {1999, "/1/"}, {2000, nullptr},
    };
    for (const Case& c : cases) {
        MusicYear::year = c.year;
        ResetMusicPlayer(3);
        audio.ClearRecords();
        MusicPlayer();
        if (!c.folder) {
            EXPECT_TRUE(audio.MusicStarts().empty()) << c.year;
            continue;
        }
        ASSERT_EQ(audio.MusicStarts().size(), 1u) << c.year;
        EXPECT_NE(audio.MusicStarts()[0].path.find(std::string("soundtrack") + c.folder), std::string::npos)
            << c.year << ": " << audio.MusicStarts()[0].path;
        StopMusic();
    }
}

TEST_F(MusicPlayerTest, TakesOnlyFilesWhoseNameContainsLowerCaseMp3) {
    MusicYear::year = 1950;
    std::set<std::string> chosen;
    for (uint32_t seed = 1; seed <= 40; ++seed) {
        ResetMusicPlayer(seed);
        audio.ClearRecords();
        MusicPlayer();
        ASSERT_EQ(audio.MusicStarts().size(), 1u) << seed;
        chosen.insert(Name(audio.MusicStarts()[0].path));
        StopMusic();
    }
    EXPECT_EQ(chosen, (std::set<std::string>{"b.mp3", "d.mp3.wav"}));
}

TEST_F(MusicPlayerTest, WaitsThePauseOfTheRowThatEndedBeforeTheNextFile) {
    MusicPlayer(); // row 0, 1 s long, pause 5 s
    ASSERT_EQ(audio.MusicStarts().size(), 1u);
    MusicYear::year = 1950; // the next file comes from row 1 (pause 1 s)
    Frame(1000);            // ended, seen and closed on this frame
    EXPECT_EQ(audio.MusicPath(), "");
    Frame(4975);
    EXPECT_EQ(audio.MusicStarts().size(), 1u);
    Frame(25);
    ASSERT_EQ(audio.MusicStarts().size(), 2u);
    EXPECT_NE(Name(audio.MusicStarts()[1].path), "a.mp3");
    // Now row 1's pause counts.
    Frame(1000);
    Frame(975);
    EXPECT_EQ(audio.MusicStarts().size(), 2u);
    Frame(25);
    EXPECT_EQ(audio.MusicStarts().size(), 3u);
}

TEST_F(MusicPlayerTest, AVolumeChangeReachesThePlayingStreamOnTheNextFrame) {
    MusicPlayer();
    SetMusicVolume(50);
    EXPECT_FLOAT_EQ(audio.GetMusicVolume(), 100.0f / 127.0f);
    Frame();
    EXPECT_FLOAT_EQ(audio.GetMusicVolume(), 50.0f / 127.0f);
}

TEST_F(MusicPlayerTest, SwitchingOffStopsAtOnceAndOnStartsAfterThePauseFromTimeZero) {
    MusicPlayer();
    ASSERT_NE(audio.MusicPath(), "");
    EnableMusic(0);
    EXPECT_EQ(audio.MusicPath(), "");
    Frame();
    EXPECT_EQ(audio.MusicStarts().size(), 1u);
    EnableMusic(1);
    Frame(); // the fake clock stands far past 5 s after time 0
    EXPECT_EQ(audio.MusicStarts().size(), 2u);
}

TEST_F(MusicPlayerTest, NothingPlaysWithoutARowAFolderOrAPlayableFile) {
    MusicYear::year = 2500; // no row
    Frame();
    MusicYear::year = 1850; // row 0, whose only file is no sound
    folder.Write("soundtrack/0/a.mp3", "broken");
    Frame(10000);
    Track(2, 1700, 1800, 0); // a row without a folder
    MusicYear::year = 1750;
    Frame(10000);
    SoundtrackTable::Clear();
    Frame(10000);
    EXPECT_TRUE(audio.MusicStarts().empty());
}

} // namespace
