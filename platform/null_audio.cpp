#include "platform/null_audio.h"

#include "platform/file.h"

namespace plat {
namespace {

// Music files are read whole only to be checked; none of the game's is near this.
constexpr uint64_t kMaxMusicFileBytes = 64u << 20;

bool ValidLevel(float v) {
    return v >= 0.0f && v <= 1.0f;
}

// Whether a sound of this length, played `loops` times, has ended after
// `playedMs`; an unknown length ends at once, loops 0 never.
bool HasEnded(uint64_t lengthMs, uint32_t loops, uint64_t playedMs) {
    if (loops == 0)
        return false;
    return playedMs >= lengthMs * loops;
}

} // namespace

bool NullAudio::Open(int32_t hz, int32_t bits, int32_t channels) {
    if (!deviceAvailable_ || hz <= 0 || (bits != 8 && bits != 16) || channels < 1 || channels > 2)
        return false;
    open_ = true;
    return true;
}

void NullAudio::Close() {
    for (uint32_t c = 0; c < kAudioVoiceCount; ++c) {
        if (voices_[c].state != kAudioNone)
            End(c);
    }
    CloseMusic();
    samples_.clear();
    open_ = false;
}

SampleId NullAudio::LoadSample(const void* data, size_t size) {
    SoundFileInfo info;
    if (!open_ || !ProbeSoundFile(static_cast<const uint8_t*>(data), size, &info))
        return 0;
    const SampleId id = nextSample_++;
    samples_[id] = info;
    return id;
}

void NullAudio::FreeSample(SampleId sample) {
    // A freed sample stops the voices that play it, as the mixer's does.
    for (uint32_t c = 0; c < kAudioVoiceCount; ++c) {
        if (voices_[c].state != kAudioNone && voices_[c].sample == sample)
            End(c);
    }
    samples_.erase(sample);
}

const SoundFileInfo* NullAudio::SampleInfo(SampleId sample) const {
    auto it = samples_.find(sample);
    return it == samples_.end() ? nullptr : &it->second;
}

NullAudio::VoiceSlot* NullAudio::Find(VoiceId voice) {
    return const_cast<VoiceSlot*>(static_cast<const NullAudio*>(this)->Find(voice));
}

const NullAudio::VoiceSlot* NullAudio::Find(VoiceId voice) const {
    const uint32_t c = VoiceChannel(voice);
    if (voice == 0 || c >= kAudioVoiceCount)
        return nullptr;
    const VoiceSlot& slot = voices_[c];
    if (slot.state == kAudioNone || slot.generation != VoiceGeneration(voice))
        return nullptr;
    return &slot;
}

VoiceId NullAudio::Play(SampleId sample, uint32_t loops, float volume, float pan, void* user) {
    if (!open_ || !samples_.count(sample) || !ValidLevel(volume) || !ValidLevel(pan))
        return 0;
    for (uint32_t c = 0; c < kAudioVoiceCount; ++c) {
        VoiceSlot& slot = voices_[c];
        if (slot.state != kAudioNone)
            continue;
        // Generations start at 1 so that no voice id is 0.
        slot.generation = (slot.generation + 1) & 0xFFFFFF;
        if (slot.generation == 0)
            slot.generation = 1;
        slot.state = kAudioPlaying;
        slot.sample = sample;
        slot.loops = loops;
        slot.playedMs = 0;
        slot.volume = volume;
        slot.pan = pan;
        slot.user = user;
        const VoiceId voice = MakeVoiceId(c, slot.generation);
        plays_.push_back({sample, voice, loops, volume, pan});
        return voice;
    }
    return 0;
}

uint32_t NullAudio::Status(VoiceId voice) const {
    if (voice == 0)
        return kAudioNone;
    const VoiceSlot* slot = Find(voice);
    return slot ? slot->state : kAudioDone;
}

bool NullAudio::Stop(VoiceId voice) {
    VoiceSlot* slot = Find(voice);
    if (!slot)
        return false;
    slot->state = kAudioStopped;
    return true;
}

bool NullAudio::Resume(VoiceId voice) {
    VoiceSlot* slot = Find(voice);
    if (!slot)
        return false;
    slot->state = kAudioPlaying;
    return true;
}

void NullAudio::Release(VoiceId voice) {
    if (Find(voice))
        End(VoiceChannel(voice));
}

void NullAudio::End(uint32_t channel) {
    VoiceSlot& slot = voices_[channel];
    const VoiceId voice = MakeVoiceId(channel, slot.generation);
    void* user = slot.user;
    slot.state = kAudioNone;
    slot.user = nullptr;
    if (endHandler_)
        endHandler_(voice, user);
}

bool NullAudio::SetVolumePan(VoiceId voice, float volume, float pan) {
    VoiceSlot* slot = Find(voice);
    if (!slot || !ValidLevel(volume) || !ValidLevel(pan))
        return false;
    slot->volume = volume;
    slot->pan = pan;
    return true;
}

bool NullAudio::GetVolumePan(VoiceId voice, float* volume, float* pan) const {
    const VoiceSlot* slot = Find(voice);
    if (!slot)
        return false;
    *volume = slot->volume;
    *pan = slot->pan;
    return true;
}

bool NullAudio::GetLoopCount(VoiceId voice, uint32_t* loops) const {
    const VoiceSlot* slot = Find(voice);
    if (!slot)
        return false;
    *loops = slot->loops;
    return true;
}

uint32_t NullAudio::BusyVoiceCount() const {
    uint32_t n = 0;
    for (const VoiceSlot& slot : voices_)
        n += slot.state != kAudioNone;
    return n;
}

bool NullAudio::OpenMusic(const std::string& path) {
    CloseMusic();
    if (!open_)
        return false;
    File file;
    if (!file.Open(path, File::Mode::Read))
        return false;
    const uint64_t size = file.Size();
    if (size == UINT64_MAX || size > kMaxMusicFileBytes)
        return false;
    std::vector<uint8_t> bytes(static_cast<size_t>(size));
    if (!file.ReadExact(bytes.data(), bytes.size()))
        return false;
    SoundFileInfo info;
    if (!ProbeSoundFile(bytes.data(), bytes.size(), &info))
        return false;
    musicPath_ = path;
    musicInfo_ = info;
    musicState_ = kAudioStopped;
    musicPlayedMs_ = 0;
    return true;
}

void NullAudio::CloseMusic() {
    musicPath_.clear();
    musicState_ = kAudioNone;
}

uint32_t NullAudio::MusicStatus() const {
    // A stream opened but not started counts as halted.
    return musicState_;
}

bool NullAudio::StartMusic(uint32_t loops) {
    if (musicPath_.empty())
        return false;
    musicLoops_ = loops;
    musicPlayedMs_ = 0;
    musicState_ = kAudioPlaying;
    musicStarts_.push_back({musicPath_, loops, musicVolume_});
    return true;
}

bool NullAudio::PauseMusic(bool pause) {
    if (musicPath_.empty() || musicState_ == kAudioDone)
        return false;
    musicState_ = pause ? kAudioStopped : kAudioPlaying;
    return true;
}

bool NullAudio::SetMusicVolume(float volume) {
    if (!ValidLevel(volume))
        return false;
    musicVolume_ = volume;
    return true;
}

void NullAudio::Advance(uint32_t ms) {
    for (uint32_t c = 0; c < kAudioVoiceCount; ++c) {
        VoiceSlot& slot = voices_[c];
        if (slot.state != kAudioPlaying)
            continue;
        slot.playedMs += ms;
        auto it = samples_.find(slot.sample);
        const uint64_t length = it == samples_.end() ? 0 : it->second.lengthMs;
        if (HasEnded(length, slot.loops, slot.playedMs))
            End(c);
    }
    if (musicState_ == kAudioPlaying) {
        musicPlayedMs_ += ms;
        if (HasEnded(musicInfo_.lengthMs, musicLoops_, musicPlayedMs_))
            musicState_ = kAudioDone;
    }
}

} // namespace plat
