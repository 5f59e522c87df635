#include "ui/ui_sounds.h"

#include "data/database.h"
#include "data/generated/sound_tables.h"
#include "platform/file.h"
#include "platform/null_audio.h"
#include "view/sound_events.h"
#include "view/sound_system.h"

#include <gtest/gtest.h>

#include <set>
#include <vector>

namespace {

class RecordingOutput : public UiSampleOutput {
public:
    bool IsSoundEnabled() override { return enabled; }
    bool IsSoundAvailable() override { return true; }
    float MasterEffectsVolume() override { return master; }
    bool IsPlaying(const std::string& file) override { return playing.count(file) != 0; }
    void SetVolume(const std::string& file, int32_t volume) override {
        volumes.push_back(file + "=" + std::to_string(volume));
    }
    bool Play(const std::string& file, int32_t volume, const UiPoint*, int32_t loops) override {
        played.push_back(file + "@" + std::to_string(volume) + "x" + std::to_string(loops));
        playing.insert(file);
        return true;
    }
    bool enabled = true;
    float master = 0.5f;
    std::set<std::string> playing;
    std::vector<std::string> played, volumes;
};

TEST(UiSounds, VolumesRoundHalvesToEven) {
    EXPECT_EQ(UiSoundVolume(1.0f, 0.5f), 64); // 127 x 0.5 = 63.5
    EXPECT_EQ(UiSoundVolume(1.0f, 1.0f), 127);
    EXPECT_EQ(UiSoundVolume(0.5f, 1.0f), 63);  // trunc(63.5)
    EXPECT_EQ(UiSoundVolume(1.0f, 0.25f), 32); // 31.75
    EXPECT_EQ(UiSoundVolume(0.0f, 1.0f), 0);
}

TEST(UiSounds, PlayOnceWhilePlayingAndNothingWhenOff) {
    SoundFilesTable::Clear();
    SoundFilesRow* click = SoundFilesTable::GetOrCreateRow(2);
    click->Filename = "click.wav";
    click->SoundVolume = 1.0f;
    click->SoundRepeat = 1;
    SoundFilesTable::GetOrCreateRow(0); // no file
    RecordingOutput output;
    TableUiSounds sounds(output);
    EXPECT_TRUE(sounds.PlayUiSound(2, nullptr));
    EXPECT_FALSE(sounds.PlayUiSound(2, nullptr)) << "still playing: not restarted";
    EXPECT_EQ(output.played, std::vector<std::string>{"click.wav@64x1"});
    EXPECT_EQ(output.volumes, std::vector<std::string>{"click.wav=64"});
    EXPECT_FALSE(sounds.PlayUiSound(0, nullptr));
    EXPECT_FALSE(sounds.PlayUiSound(7, nullptr));
    output.enabled = false;
    output.playing.clear();
    EXPECT_FALSE(sounds.PlayUiSound(2, nullptr));
    EXPECT_EQ(output.played.size(), 1u);
    SoundFilesTable::Clear();
}

// The interface rows of the shipped sound table played through the sound
// system on the sound-free backend.
class ShippedUiSounds : public ::testing::Test {
protected:
    void SetUp() override {
        SoundFilesTable::Clear();
        std::string text;
        ASSERT_TRUE(plat::ReadWholeFile("gamedata/config/MDConfig.gen", text));
        Database db;
        db.Init();
        ASSERT_TRUE(db.Read(text));
        ASSERT_TRUE(db.ApplyAllTables(KindSelector::All));
        ASSERT_TRUE(SoundSystem::Startup(&audio, "gamedata"));
        SetSoundViewSource([] {
            SoundViewInput view;
            view.width = 1000;
            view.height = 600;
            view.zoomVolumeFactor = 1.0f;
            view.innerRect = {0, 0, 1000, 600};
            return view;
        });
        UpdateSoundView();
        SetSoundEnabled(1);
        SetSfxVolume(0.5f);
    }
    void TearDown() override {
        output.reset(); // its samples go before the sound system
        SoundSystem::Shutdown();
        SetSoundViewSource(nullptr);
        SetSoundEnabled(1);
        SetSfxVolume(1.0f);
        SoundFilesTable::Clear();
    }
    plat::NullAudio audio;
    std::unique_ptr<SoundSystemUiOutput> output = std::make_unique<SoundSystemUiOutput>();
};

TEST_F(ShippedUiSounds, OkayCancelAndClickPlayOncePerFile) {
    TableUiSounds sounds(*output);
    for (int32_t row : {kUiSoundOkay, kUiSoundCancel, kUiSoundClick}) {
        const SoundFilesRow* sound = SoundFilesTable::Find(row);
        ASSERT_NE(sound, nullptr) << row;
        EXPECT_FALSE(SoundSystem::ResolveSoundPath(sound->Filename).empty()) << sound->Filename;
        EXPECT_TRUE(sounds.PlayUiSound(row, nullptr)) << row;
    }
    ASSERT_EQ(audio.Plays().size(), 3u);
    EXPECT_EQ(output->SampleCount(), 3u) << "one sample per file";
    const std::string& click = SoundFilesTable::Find(kUiSoundClick)->Filename;
    const SoundSample* sample = output->FindSample(click);
    ASSERT_NE(sample, nullptr);
    EXPECT_EQ(sample->Volume(), 64u) << "127 x 0.5, halves to even";
    EXPECT_EQ(sample->Pan(), 64u) << "no point: the centre";

    const UiPoint right{750, 300};
    EXPECT_FALSE(sounds.PlayUiSound(kUiSoundClick, &right)) << "still playing: not restarted";
    EXPECT_EQ(audio.Plays().size(), 3u);
    audio.Advance(1000); // every click has ended
    EXPECT_TRUE(sounds.PlayUiSound(kUiSoundClick, &right));
    EXPECT_EQ(audio.Plays().size(), 4u);
    EXPECT_EQ(sample->Pan(), uint32_t(PanFromRect({750, 300, 750, 300})));
    EXPECT_GT(sample->Pan(), 64u) << "right of the centre";
    EXPECT_EQ(output->SampleCount(), 3u);
}

TEST_F(ShippedUiSounds, NothingWithEffectsOffOrWithoutOutput) {
    TableUiSounds sounds(*output);
    SetSoundEnabled(0);
    EXPECT_FALSE(sounds.PlayUiSound(kUiSoundClick, nullptr));
    EXPECT_EQ(output->SampleCount(), 0u) << "no sample is made";
    SetSoundEnabled(1);
    SoundSystem::Shutdown();
    EXPECT_FALSE(sounds.PlayUiSound(kUiSoundClick, nullptr));
    EXPECT_TRUE(audio.Plays().empty());
}

} // namespace
