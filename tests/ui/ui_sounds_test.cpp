#include "ui/ui_sounds.h"

#include "data/generated/sound_tables.h"

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

} // namespace
