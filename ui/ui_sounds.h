// The interface's click sounds: rows of the sound table (0 Okay, 1 Cancel,
// 2 click), each played through one cached sample per file, a sound that is
// still playing not restarted. SoundSystemUiOutput plays them through the
// sound system; tests put in an output of their own.
#pragma once

#include "ui/ui_painter.h"
#include "ui/ui_types.h"

#include <cstdint>
#include <map>
#include <memory>
#include <string>

class SoundSample;

// What the sound layer does for the interface sounds.
class UiSampleOutput {
public:
    virtual ~UiSampleOutput() = default;
    // Sound effects switched on, and a sound driver there.
    virtual bool IsSoundEnabled() = 0;
    virtual bool IsSoundAvailable() = 0;
    // The master effects volume, 0 to 1.
    virtual float MasterEffectsVolume() = 0;
    // Whether the file's sample is playing now.
    virtual bool IsPlaying(const std::string& file) = 0;
    virtual void SetVolume(const std::string& file, int32_t volume) = 0;
    // Plays the file's sample at the volume (0 to 127), panned to the point
    // (the centre without one), looping the given number of times.
    virtual bool Play(const std::string& file, int32_t volume, const UiPoint* at, int32_t loops) = 0;
};

// The volume of a row: trunc(row volume x 127) x the master volume, to the
// nearest whole number, halves to even.
int32_t UiSoundVolume(float rowVolume, float masterVolume);

class TableUiSounds : public UiSoundPlayer {
public:
    explicit TableUiSounds(UiSampleOutput& output) : output_(output) {}
    // False when sounds are off, the row has no file, or the sound is
    // still playing (its volume is set again instead).
    bool PlayUiSound(int32_t row, const UiPoint* at) override;

private:
    UiSampleOutput& output_;
};

// The output through the sound system and the effects switch and volume of
// the map sounds: one sample per sound file (by its sample key), made on
// first use and kept while the output lives. The program keeps one from
// the sound system's start to its shutdown.
class SoundSystemUiOutput : public UiSampleOutput {
public:
    SoundSystemUiOutput();
    ~SoundSystemUiOutput() override;
    SoundSystemUiOutput(const SoundSystemUiOutput&) = delete;
    SoundSystemUiOutput& operator=(const SoundSystemUiOutput&) = delete;

    bool IsSoundEnabled() override;
    bool IsSoundAvailable() override;
    float MasterEffectsVolume() override;
    bool IsPlaying(const std::string& file) override;
    void SetVolume(const std::string& file, int32_t volume) override;
    // Pans to the point's place on the screen, the centre without one.
    bool Play(const std::string& file, int32_t volume, const UiPoint* at, int32_t loops) override;

    // The file's sample, or null when none was made yet.
    const SoundSample* FindSample(const std::string& file) const;
    size_t SampleCount() const { return samples_.size(); }

private:
    SoundSample& Sample(const std::string& file);

    std::map<std::string, std::unique_ptr<SoundSample>> samples_;
};
