#include "ui/ui_sounds.h"

#include "data/generated/sound_tables.h"

int32_t UiSoundVolume(float rowVolume, float masterVolume) {
    const double scaled = double(int32_t(rowVolume * 127.0f)) * double(masterVolume);
    // Nearest whole number, halves to even, without the floating-point
    // environment's rounding mode.
    const double floor = double(int64_t(scaled) - (scaled < 0 && double(int64_t(scaled)) != scaled ? 1 : 0));
    const double fraction = scaled - floor;
    int64_t result = int64_t(floor);
    if (fraction > 0.5 || (fraction == 0.5 && result % 2 != 0))
        ++result;
    return int32_t(result);
}

bool TableUiSounds::PlayUiSound(int32_t row, const UiPoint* at) {
    if (!output_.IsSoundEnabled() || !output_.IsSoundAvailable())
        return false;
    const SoundFilesRow* sound = SoundFilesTable::Find(row);
    if (!sound || sound->Filename.empty())
        return false;
    const int32_t volume = UiSoundVolume(sound->SoundVolume, output_.MasterEffectsVolume());
    if (output_.IsPlaying(sound->Filename)) {
        output_.SetVolume(sound->Filename, volume);
        return false;
    }
    return output_.Play(sound->Filename, volume, at, sound->SoundRepeat);
}
