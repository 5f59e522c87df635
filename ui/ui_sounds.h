// The interface's click sounds: rows of the sound table (0 Okay, 1 Cancel,
// 2 click), each played through one cached sample per file, a sound that is
// still playing not restarted. The sound system fills in the output.
#pragma once

#include "ui/ui_painter.h"
#include "ui/ui_types.h"

#include <cstdint>
#include <string>

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
