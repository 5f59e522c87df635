// The sound backend without a device, for tests and headless runs. Files are
// checked as the real backend would take them; a voice ends when Advance has
// moved the backend's time past its length times its loops (a length that
// is unknown ends at the next Advance, an endless loop never). Every start
// is recorded.
#pragma once

#include "platform/audio.h"
#include "platform/sound_file_info.h"

#include <array>
#include <map>
#include <string>
#include <vector>

namespace plat {

class NullAudio : public Audio {
public:
    struct PlayRecord {
        SampleId sample = 0;
        VoiceId voice = 0;
        uint32_t loops = 0;
        float volume = 0.0f;
        float pan = 0.0f;
    };
    struct MusicRecord {
        std::string path;
        uint32_t loops = 0;
        float volume = 0.0f;
    };

    // A backend whose Open fails stands for a machine without sound.
    explicit NullAudio(bool deviceAvailable = true) : deviceAvailable_(deviceAvailable) {}
    ~NullAudio() override = default;

    bool Open(int32_t hz, int32_t bits, int32_t channels) override;
    void Close() override;
    bool IsOpen() const override { return open_; }

    SampleId LoadSample(const void* data, size_t size) override;
    void FreeSample(SampleId sample) override;

    VoiceId Play(SampleId sample, uint32_t loops, float volume, float pan, void* user) override;
    uint32_t Status(VoiceId voice) const override;
    bool Stop(VoiceId voice) override;
    bool Resume(VoiceId voice) override;
    void Release(VoiceId voice) override;
    bool SetVolumePan(VoiceId voice, float volume, float pan) override;
    bool GetVolumePan(VoiceId voice, float* volume, float* pan) const override;
    bool GetLoopCount(VoiceId voice, uint32_t* loops) const override;
    void SetEndHandler(EndHandler handler) override { endHandler_ = handler; }

    bool OpenMusic(const std::string& path) override;
    void CloseMusic() override;
    uint32_t MusicStatus() const override;
    bool StartMusic(uint32_t loops) override;
    bool PauseMusic(bool pause) override;
    bool SetMusicVolume(float volume) override;
    float GetMusicVolume() const override { return musicVolume_; }

    // Moves the backend's time on: voices and music that have played their
    // length end (voices through the end handler).
    void Advance(uint32_t ms);

    // What was asked of the backend.
    const std::vector<PlayRecord>& Plays() const { return plays_; }
    const std::vector<MusicRecord>& MusicStarts() const { return musicStarts_; }
    const std::string& MusicPath() const { return musicPath_; }
    size_t SampleCount() const { return samples_.size(); }
    uint32_t BusyVoiceCount() const;
    const SoundFileInfo* SampleInfo(SampleId sample) const;
    void ClearRecords() {
        plays_.clear();
        musicStarts_.clear();
    }

private:
    struct VoiceSlot {
        uint32_t generation = 0;
        uint32_t state = kAudioNone; // none (free), playing or stopped
        SampleId sample = 0;
        uint32_t loops = 0;
        uint64_t playedMs = 0;
        float volume = 0.0f;
        float pan = 0.5f;
        void* user = nullptr;
    };
    VoiceSlot* Find(VoiceId voice);
    const VoiceSlot* Find(VoiceId voice) const;
    void End(uint32_t channel);

    bool deviceAvailable_ = true;
    bool open_ = false;
    EndHandler endHandler_ = nullptr;
    SampleId nextSample_ = 1;
    std::map<SampleId, SoundFileInfo> samples_;
    std::array<VoiceSlot, kAudioVoiceCount> voices_{};
    std::vector<PlayRecord> plays_;
    std::vector<MusicRecord> musicStarts_;

    std::string musicPath_;
    SoundFileInfo musicInfo_;
    uint32_t musicState_ = kAudioNone; // none, playing, stopped or done
    uint32_t musicLoops_ = 1;
    uint64_t musicPlayedMs_ = 0;
    float musicVolume_ = 1.0f;
};

} // namespace plat
