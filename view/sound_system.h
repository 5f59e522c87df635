// The sound system: the layer between the game and the sound backend. It
// opens the output once, keeps decoded sound effects in a cache shared by
// file name, wraps backend voices in sound samples that carry a volume, a
// pan and a loop count, wraps the music stream, and pauses and resumes
// everything when the frames stop and restart. Main thread only, except the
// backend's end-of-voice callback, which only clears a sample's handle.
#pragma once

#include "platform/audio.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// The cache key of a sound file: its name with the ASCII capitals lowered
// (no other byte changes), whole, so that long names never collide.
using SampleKey = std::string;

struct SampleCacheEntry {
    // The timestamp of the last start of a sample of this file; 0 when it
    // was loaded and never played.
    uint64_t lastStart = 0;
    plat::SampleId sample = 0;
    uint32_t refCount = 0;
};

class SoundSample;

// The status words of samples and streams.
inline constexpr uint32_t kSoundDone = plat::kAudioDone;
inline constexpr uint32_t kSoundPlaying = plat::kAudioPlaying;
inline constexpr uint32_t kSoundStopped = plat::kAudioStopped;
// Volumes and pans are 0..127; a sample's are this until first set.
inline constexpr uint32_t kSoundUnset = 0xFFFFFFFFu;
// A cache entry no sample uses is freed only this long after its last start.
inline constexpr int64_t kSampleKeepMicros = 300'000'000;

namespace SoundSystem {

// Opens the output of `audio` at 44100 Hz, 16 bits, stereo; false leaves
// the game silent (every play then fails). The backend must outlive
// Shutdown. `installPath` is the folder sound files are found in.
bool Startup(plat::Audio* audio, const std::string& installPath);
// Stops the music, destroys every stream and sample, empties the cache and
// closes the output; true when an output was open.
bool Shutdown();
void PauseAll();
void ResumeAll();

SampleKey MakeSampleKey(std::string_view name);
// The entry of a file, loaded on first use, with one more reference; null
// without an output or when the file cannot be read or decoded.
SampleCacheEntry* AcquireCacheEntry(const std::string& name, const SampleKey& key);
// One reference less; at none the entry is freed when it was never played
// or last started more than kSampleKeepMicros ago, otherwise it stays.
void ReleaseCacheEntry(SampleCacheEntry* entry);
const SampleCacheEntry* FindCacheEntry(const SampleKey& key);
size_t CacheEntryCount();

// The host path of a sound file named relative to the installation folder
// (either separator, any letter case); empty for an absolute name, one
// that leaves the folder through "..", or a file that is not there.
std::string ResolveSoundPath(const std::string& name);
const std::string& InstallFolder();
void SetMusicFolder(const std::string& path);
const std::string& GetMusicFolder();

// A sample's play and its volume and pan, as the sound events call them.
bool PlayFileSample(SoundSample& sample, uint32_t loops);
bool SetSampleVolume(SoundSample& sample, int32_t volume);
bool SetSamplePan(SoundSample& sample, int32_t pan);

plat::Audio* GetAudio();
// The timestamp source for the cache's ages (the engine's by default);
// tests install their own.
void SetTimestampSource(uint64_t (*now)());
uint64_t Now();

} // namespace SoundSystem

bool IsSoundAvailable();

// The music volume 0..127 (100 at start); 128 or more is ignored.
void SetMusicVolume(uint32_t volume);
uint32_t GetMusicVolume();
bool IsMusicEnabled();
// Switches the music on or off (off stops it at once); a change restarts
// the music player's pause.
void EnableMusic(uint8_t on);
// Closes and frees the music stream and restarts the player's pause.
void StopMusic();
// The flag alone, for EnableMusic of the music player.
void SetMusicEnabledFlag(bool on);

// One sound-effect voice.
class SoundSample {
public:
    explicit SoundSample(const char* fileName = nullptr);
    ~SoundSample();
    SoundSample(const SoundSample&) = delete;
    SoundSample& operator=(const SoundSample&) = delete;

    // Uses another file; the same file (in any case) only drops the voice.
    bool SetFile(const std::string& fileName);
    // Starts the file: loops 0 repeats until released, n plays n times.
    bool Play(uint32_t loops);
    // 0..127; anything else is refused and changes nothing.
    bool SetVolume(int32_t volume);
    bool SetPan(int32_t pan);
    bool Stop();
    bool Resume();
    bool ReleaseHandle();
    bool GetLoopCount(uint32_t* loops) const;
    uint32_t GetStatus() const;

    // 0 when the sample holds no voice (never played, released, or ended).
    plat::VoiceId Handle() const { return handle_.load(); }
    uint32_t Volume() const { return volume_; }
    uint32_t Pan() const { return pan_; }
    const SampleCacheEntry* Entry() const { return entry_; }
    const SampleKey& Key() const { return key_; }

private:
    friend struct SoundSystemAccess;
    void SendVolumePan();

    SampleCacheEntry* entry_ = nullptr;
    SampleKey key_;
    std::atomic<plat::VoiceId> handle_{0};
    uint32_t volume_ = kSoundUnset;
    uint32_t pan_ = kSoundUnset;
    size_t listIndex_ = 0;
};

// The music stream.
class SoundStream {
public:
    explicit SoundStream(const char* fileName = nullptr);
    ~SoundStream();
    SoundStream(const SoundStream&) = delete;
    SoundStream& operator=(const SoundStream&) = delete;

    bool Open(const std::string& fileName);
    bool Close();
    uint32_t GetStatus() const;
    bool Start(uint32_t loops);
    bool Pause();
    bool Resume();
    // Below 128; false without a stream.
    bool SetVolume(uint32_t volume);
    bool GetVolume(uint32_t* volume) const;
    bool IsOpen() const { return open_; }

private:
    friend struct SoundSystemAccess;
    bool open_ = false;
    size_t listIndex_ = 0;
};
