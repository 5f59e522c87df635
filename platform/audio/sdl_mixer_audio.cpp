#include "platform/audio/sdl_mixer_audio.h"

#include <SDL.h>
#include <SDL_mixer.h>

#include <array>
#include <atomic>
#include <cstdio>
#include <map>

namespace plat {
namespace {

// Mixer volumes run 0..128.
int MixLevel(float v) {
    if (!(v >= 0.0f))
        return 0;
    if (v >= 1.0f)
        return MIX_MAX_VOLUME;
    return int(v * float(MIX_MAX_VOLUME) + 0.5f);
}

// A balance law: the centre plays both sides at full level, a side pan
// lowers the other side linearly.
void PanLevels(float pan, Uint8* left, Uint8* right) {
    if (!(pan >= 0.0f))
        pan = 0.0f;
    if (pan > 1.0f)
        pan = 1.0f;
    *left = pan <= 0.5f ? 255 : Uint8(255.0f * (1.0f - pan) * 2.0f + 0.5f);
    *right = pan >= 0.5f ? 255 : Uint8(255.0f * pan * 2.0f + 0.5f);
}

// Per channel: the generation of its current voice and the user word, read
// by the mixer's end callback on the audio thread.
struct ChannelSlot {
    std::atomic<uint32_t> generation{0};
    std::atomic<void*> user{nullptr};
    // Main thread only.
    uint32_t loops = 0;
    float volume = 0.0f;
    float pan = 0.5f;
    bool busy = false;
};

class SdlMixerAudio;
SdlMixerAudio* gActive = nullptr;
std::atomic<Audio::EndHandler> gEndHandler{nullptr};

class SdlMixerAudio : public Audio {
public:
    ~SdlMixerAudio() override { Close(); }

    bool Open(int32_t hz, int32_t bits, int32_t channels) override {
        if (open_)
            return true;
        if (gActive) {
            std::fprintf(stderr, "audio: the mixer is already open\n");
            return false;
        }
        if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
            std::fprintf(stderr, "audio: no sound device: %s\n", SDL_GetError());
            return false;
        }
        const Uint16 format = bits == 8 ? AUDIO_U8 : AUDIO_S16SYS;
        if (Mix_OpenAudio(hz, format, channels, 2048) != 0) {
            std::fprintf(stderr, "audio: cannot open the mixer: %s\n", Mix_GetError());
            SDL_QuitSubSystem(SDL_INIT_AUDIO);
            return false;
        }
        Mix_Init(MIX_INIT_OGG | MIX_INIT_MP3);
        Mix_AllocateChannels(int(kAudioVoiceCount));
        gActive = this;
        Mix_ChannelFinished(&SdlMixerAudio::OnChannelFinished);
        open_ = true;
        return true;
    }

    void Close() override {
        if (!open_)
            return;
        Mix_HaltChannel(-1);
        CloseMusic();
        for (auto& [id, chunk] : chunks_)
            Mix_FreeChunk(chunk);
        chunks_.clear();
        Mix_ChannelFinished(nullptr);
        Mix_CloseAudio();
        Mix_Quit();
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        gActive = nullptr;
        open_ = false;
    }

    bool IsOpen() const override { return open_; }

    SampleId LoadSample(const void* data, size_t size) override {
        if (!open_ || !data || size == 0 || size > size_t(INT32_MAX))
            return 0;
        SDL_RWops* rw = SDL_RWFromConstMem(data, int(size));
        Mix_Chunk* chunk = rw ? Mix_LoadWAV_RW(rw, 1) : nullptr;
        if (!chunk)
            return 0;
        const SampleId id = nextSample_++;
        chunks_[id] = chunk;
        return id;
    }

    void FreeSample(SampleId sample) override {
        auto it = chunks_.find(sample);
        if (it == chunks_.end())
            return;
        // Mix_FreeChunk halts the channels that play it.
        Mix_FreeChunk(it->second);
        chunks_.erase(it);
    }

    VoiceId Play(SampleId sample, uint32_t loops, float volume, float pan, void* user) override {
        auto it = chunks_.find(sample);
        if (!open_ || it == chunks_.end())
            return 0;
        for (uint32_t c = 0; c < kAudioVoiceCount; ++c) {
            ChannelSlot& slot = channels_[c];
            if (Mix_Playing(int(c)) || Mix_Paused(int(c)))
                continue;
            uint32_t generation = (slot.generation.load() + 1) & 0xFFFFFF;
            if (generation == 0)
                generation = 1;
            // The slot is set before the channel starts, so that an end
            // callback of this voice finds its own user word.
            slot.user.store(user);
            slot.generation.store(generation);
            slot.loops = loops;
            Uint8 left = 255, right = 255;
            PanLevels(pan, &left, &right);
            Mix_Volume(int(c), MixLevel(volume));
            Mix_SetPanning(int(c), left, right);
            if (Mix_PlayChannel(int(c), it->second, loops == 0 ? -1 : int(loops) - 1) < 0) {
                slot.user.store(nullptr);
                return 0;
            }
            slot.volume = volume;
            slot.pan = pan;
            slot.busy = true;
            return MakeVoiceId(c, generation);
        }
        return 0;
    }

    uint32_t Status(VoiceId voice) const override {
        if (voice == 0)
            return kAudioNone;
        if (!Current(voice))
            return kAudioDone;
        const int c = int(VoiceChannel(voice));
        if (Mix_Paused(c))
            return kAudioStopped;
        return Mix_Playing(c) ? kAudioPlaying : kAudioDone;
    }

    bool Stop(VoiceId voice) override {
        if (!Current(voice))
            return false;
        Mix_Pause(int(VoiceChannel(voice)));
        return true;
    }

    bool Resume(VoiceId voice) override {
        if (!Current(voice))
            return false;
        Mix_Resume(int(VoiceChannel(voice)));
        return true;
    }

    void Release(VoiceId voice) override {
        if (Current(voice))
            Mix_HaltChannel(int(VoiceChannel(voice)));
    }

    bool SetVolumePan(VoiceId voice, float volume, float pan) override {
        if (!Current(voice))
            return false;
        ChannelSlot& slot = channels_[VoiceChannel(voice)];
        Uint8 left = 255, right = 255;
        PanLevels(pan, &left, &right);
        Mix_Volume(int(VoiceChannel(voice)), MixLevel(volume));
        Mix_SetPanning(int(VoiceChannel(voice)), left, right);
        slot.volume = volume;
        slot.pan = pan;
        return true;
    }

    bool GetVolumePan(VoiceId voice, float* volume, float* pan) const override {
        if (!Current(voice))
            return false;
        *volume = channels_[VoiceChannel(voice)].volume;
        *pan = channels_[VoiceChannel(voice)].pan;
        return true;
    }

    bool GetLoopCount(VoiceId voice, uint32_t* loops) const override {
        if (!Current(voice))
            return false;
        *loops = channels_[VoiceChannel(voice)].loops;
        return true;
    }

    void SetEndHandler(EndHandler handler) override { gEndHandler.store(handler); }

    bool OpenMusic(const std::string& path) override {
        CloseMusic();
        if (!open_)
            return false;
        music_ = Mix_LoadMUS(path.c_str());
        if (!music_) {
            std::fprintf(stderr, "audio: cannot open music %s: %s\n", path.c_str(), Mix_GetError());
            return false;
        }
        musicStarted_ = false;
        return true;
    }

    void CloseMusic() override {
        if (!music_)
            return;
        Mix_HaltMusic();
        Mix_FreeMusic(music_);
        music_ = nullptr;
    }

    uint32_t MusicStatus() const override {
        if (!music_)
            return kAudioNone;
        if (!musicStarted_ || Mix_PausedMusic())
            return kAudioStopped;
        return Mix_PlayingMusic() ? kAudioPlaying : kAudioDone;
    }

    bool StartMusic(uint32_t loops) override {
        if (!music_)
            return false;
        Mix_VolumeMusic(MixLevel(musicVolume_));
        if (Mix_PlayMusic(music_, loops == 0 ? -1 : int(loops)) != 0)
            return false;
        musicStarted_ = true;
        return true;
    }

    bool PauseMusic(bool pause) override {
        if (!music_ || !musicStarted_)
            return false;
        if (pause)
            Mix_PauseMusic();
        else
            Mix_ResumeMusic();
        return true;
    }

    bool SetMusicVolume(float volume) override {
        if (!(volume >= 0.0f && volume <= 1.0f))
            return false;
        musicVolume_ = volume;
        if (open_)
            Mix_VolumeMusic(MixLevel(volume));
        return true;
    }

    float GetMusicVolume() const override { return musicVolume_; }

private:
    // Whether a voice id names the current voice of its channel.
    bool Current(VoiceId voice) const {
        const uint32_t c = VoiceChannel(voice);
        return open_ && voice != 0 && c < kAudioVoiceCount &&
               channels_[c].generation.load() == VoiceGeneration(voice);
    }

    // Runs on the audio thread, or on the game thread inside Mix_HaltChannel.
    static void OnChannelFinished(int channel) {
        SdlMixerAudio* self = gActive;
        if (!self || channel < 0 || channel >= int(kAudioVoiceCount))
            return;
        ChannelSlot& slot = self->channels_[size_t(channel)];
        void* user = slot.user.exchange(nullptr);
        EndHandler handler = gEndHandler.load();
        if (handler && user)
            handler(MakeVoiceId(uint32_t(channel), slot.generation.load()), user);
    }

    bool open_ = false;
    std::array<ChannelSlot, kAudioVoiceCount> channels_{};
    std::map<SampleId, Mix_Chunk*> chunks_;
    SampleId nextSample_ = 1;
    Mix_Music* music_ = nullptr;
    bool musicStarted_ = false;
    float musicVolume_ = 1.0f;
};

} // namespace

std::unique_ptr<Audio> CreateSdlMixerAudio() {
    return std::make_unique<SdlMixerAudio>();
}

} // namespace plat
