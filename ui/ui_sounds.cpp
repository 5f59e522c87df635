#include "ui/ui_sounds.h"

#include "data/generated/sound_tables.h"
#include "view/sound_events.h"
#include "view/sound_system.h"

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

SoundSystemUiOutput::SoundSystemUiOutput() = default;
SoundSystemUiOutput::~SoundSystemUiOutput() = default;

bool SoundSystemUiOutput::IsSoundEnabled() {
    return ::IsSoundEnabled() != 0;
}

bool SoundSystemUiOutput::IsSoundAvailable() {
    return ::IsSoundAvailable();
}

float SoundSystemUiOutput::MasterEffectsVolume() {
    return GetSfxVolume();
}

SoundSample& SoundSystemUiOutput::Sample(const std::string& file) {
    std::unique_ptr<SoundSample>& sample = samples_[SoundSystem::MakeSampleKey(file)];
    if (!sample)
        sample = std::make_unique<SoundSample>();
    return *sample;
}

const SoundSample* SoundSystemUiOutput::FindSample(const std::string& file) const {
    auto it = samples_.find(SoundSystem::MakeSampleKey(file));
    return it == samples_.end() ? nullptr : it->second.get();
}

bool SoundSystemUiOutput::IsPlaying(const std::string& file) {
    const SoundSample& sample = Sample(file);
    return sample.Entry() && sample.Handle() != 0;
}

void SoundSystemUiOutput::SetVolume(const std::string& file, int32_t volume) {
    SoundSystem::SetSampleVolume(Sample(file), volume);
}

bool SoundSystemUiOutput::Play(const std::string& file, int32_t volume, const UiPoint* at, int32_t loops) {
    SoundSample& sample = Sample(file);
    if (!sample.Entry())
        sample.SetFile(file);
    SoundSystem::SetSampleVolume(sample, volume);
    SoundSystem::SetSamplePan(sample, at ? PanFromRect(EngineRect{at->x, at->y, at->x, at->y}) : 64);
    // A negative count from the table would ask for endless repeats.
    return SoundSystem::PlayFileSample(sample, uint32_t(loops < 0 ? 1 : loops));
}
