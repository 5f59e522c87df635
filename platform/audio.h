// The sound output: decoded sound effects played on voices with a loop
// count, volume, pan, pause and an end callback, and one music stream read
// from a file. Backends: SDL_mixer (platform/audio/) and NullAudio, which
// needs no sound device and records what it is asked to play.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace plat {

// A decoded sound effect; 0 is none.
using SampleId = uint32_t;
// A playing voice: its channel in the low byte and the channel's generation
// above it, so that a handle of a voice that has ended never reaches the
// channel's next voice. 0 is none.
using VoiceId = uint32_t;

// The states of a voice or of the music stream.
inline constexpr uint32_t kAudioNone = 0;    // no voice or no stream
inline constexpr uint32_t kAudioDone = 2;    // ended (or released)
inline constexpr uint32_t kAudioPlaying = 4; // playing
inline constexpr uint32_t kAudioStopped = 8; // halted, can resume

inline constexpr uint32_t kAudioVoiceCount = 64;

inline VoiceId MakeVoiceId(uint32_t channel, uint32_t generation) {
    return (generation << 8) | (channel & 0xFF);
}
inline uint32_t VoiceChannel(VoiceId voice) {
    return voice & 0xFF;
}
inline uint32_t VoiceGeneration(VoiceId voice) {
    return voice >> 8;
}

class Audio {
public:
    // Called when a voice ends by itself or is released, with the user word
    // given to Play. It may run on the backend's own thread: it must only
    // do what is safe there (clear an atomic handle).
    using EndHandler = void (*)(VoiceId voice, void* user);

    virtual ~Audio() = default;

    // Opens the output; false when no device can be had (the game is then
    // silent). Close stops everything and frees every sample.
    virtual bool Open(int32_t hz, int32_t bits, int32_t channels) = 0;
    virtual void Close() = 0;
    virtual bool IsOpen() const = 0;

    // Decodes a file image held in memory; 0 when it is no sound.
    virtual SampleId LoadSample(const void* data, size_t size) = 0;
    virtual void FreeSample(SampleId sample) = 0;

    // Starts a sample on a free voice: loops 0 repeats until released, n
    // plays n times. Volume and pan are 0..1 (pan 0 left, 1 right). 0 when
    // no voice is free or the sample is unknown.
    virtual VoiceId Play(SampleId sample, uint32_t loops, float volume, float pan, void* user) = 0;
    virtual uint32_t Status(VoiceId voice) const = 0;
    // Halts a playing voice so that Resume continues it.
    virtual bool Stop(VoiceId voice) = 0;
    virtual bool Resume(VoiceId voice) = 0;
    // Ends the voice at once and frees its channel.
    virtual void Release(VoiceId voice) = 0;
    virtual bool SetVolumePan(VoiceId voice, float volume, float pan) = 0;
    virtual bool GetVolumePan(VoiceId voice, float* volume, float* pan) const = 0;
    // The loop count the voice was started with (0 endless).
    virtual bool GetLoopCount(VoiceId voice, uint32_t* loops) const = 0;
    virtual void SetEndHandler(EndHandler handler) = 0;

    // The one music stream: a file opened by path, started with a loop count
    // as above, paused and resumed.
    virtual bool OpenMusic(const std::string& path) = 0;
    virtual void CloseMusic() = 0;
    virtual uint32_t MusicStatus() const = 0;
    virtual bool StartMusic(uint32_t loops) = 0;
    virtual bool PauseMusic(bool pause) = 0;
    virtual bool SetMusicVolume(float volume) = 0;
    virtual float GetMusicVolume() const = 0;
};

} // namespace plat
