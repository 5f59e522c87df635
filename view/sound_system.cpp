#include "view/sound_system.h"

#include "engine/screen.h"
#include "files/host_path.h"
#include "platform/file.h"
#include "view/sound_events.h"

#include <cstdio>
#include <map>
#include <vector>

struct SoundSystemAccess {
    static void SetListIndex(SoundSample* s, size_t i) { s->listIndex_ = i; }
    static size_t ListIndex(const SoundSample* s) { return s->listIndex_; }
    static void SetListIndex(SoundStream* s, size_t i) { s->listIndex_ = i; }
    static size_t ListIndex(const SoundStream* s) { return s->listIndex_; }
    static std::atomic<plat::VoiceId>& Handle(SoundSample* s) { return s->handle_; }
    // Leaves a sample without voice and file; its owner still destroys it.
    static void Detach(SoundSample* s) {
        s->ReleaseHandle();
        s->entry_ = nullptr;
        s->key_.clear();
    }
};

namespace {

// Sound effects are short; a larger file is refused rather than read.
constexpr uint64_t kMaxSampleFileBytes = 32u << 20;

struct Module {
    plat::Audio* audio = nullptr;
    bool driverOpen = false;
    std::string installFolder;
    std::string musicFolder;
    std::map<SampleKey, SampleCacheEntry> cache;
    std::vector<SoundSample*> samples;
    std::vector<SoundStream*> streams;
    SoundStream* musicOwner = nullptr;
    uint32_t musicVolume = 100;
    bool musicEnabled = true;
    uint64_t (*now)() = nullptr;
};

Module& M() {
    static Module m;
    return m;
}

template <class T>
void AddToList(std::vector<T*>& list, T* item) {
    SoundSystemAccess::SetListIndex(item, list.size());
    list.push_back(item);
}

template <class T>
void RemoveFromList(std::vector<T*>& list, T* item) {
    const size_t i = SoundSystemAccess::ListIndex(item);
    if (i >= list.size() || list[i] != item)
        return;
    list[i] = list.back();
    SoundSystemAccess::SetListIndex(list[i], i);
    list.pop_back();
}

// The backend's end of a voice: forget the handle when it is still this
// voice's. It may run on the audio thread and touches nothing else.
void OnSampleEnd(plat::VoiceId voice, void* user) {
    auto* sample = static_cast<SoundSample*>(user);
    plat::VoiceId expected = voice;
    SoundSystemAccess::Handle(sample).compare_exchange_strong(expected, 0);
}

bool ReadSoundFile(const std::string& name, std::vector<uint8_t>& bytes) {
    const std::string path = SoundSystem::ResolveSoundPath(name);
    if (path.empty()) {
        std::fprintf(stderr, "sound: no file \"%s\"\n", name.c_str());
        return false;
    }
    plat::File file;
    if (!file.Open(path, plat::File::Mode::Read)) {
        std::fprintf(stderr, "sound: cannot open \"%s\"\n", path.c_str());
        return false;
    }
    const uint64_t size = file.Size();
    if (size == UINT64_MAX || size == 0 || size > kMaxSampleFileBytes) {
        std::fprintf(stderr, "sound: \"%s\" is empty, too large or unreadable\n", path.c_str());
        return false;
    }
    bytes.resize(size_t(size));
    if (!file.ReadExact(bytes.data(), bytes.size())) {
        std::fprintf(stderr, "sound: cannot read \"%s\"\n", path.c_str());
        return false;
    }
    return true;
}

} // namespace

namespace SoundSystem {

bool Startup(plat::Audio* audio, const std::string& installPath) {
    Module& m = M();
    if (m.driverOpen)
        Shutdown();
    m.audio = audio;
    m.installFolder = installPath;
    m.driverOpen = audio && audio->Open(44100, 16, 2);
    if (m.driverOpen)
        audio->SetEndHandler(&OnSampleEnd);
    return m.driverOpen;
}

bool Shutdown() {
    Module& m = M();
    // The music player's stream and the map sounds' voices go first, so
    // that they never point at freed objects. Samples and streams of other
    // owners lose their voice and file but stay theirs to destroy.
    StopMusic();
    ResetSoundEvents();
    for (SoundStream* s : m.streams)
        s->Close();
    for (SoundSample* s : m.samples)
        SoundSystemAccess::Detach(s);
    if (m.audio) {
        for (auto& [key, entry] : m.cache)
            m.audio->FreeSample(entry.sample);
    }
    m.cache.clear();
    const bool wasOpen = m.driverOpen;
    if (m.driverOpen) {
        m.audio->SetEndHandler(nullptr);
        m.audio->Close();
    }
    m.driverOpen = false;
    return wasOpen;
}

void PauseAll() {
    Module& m = M();
    for (SoundStream* s : m.streams)
        s->Pause();
    for (SoundSample* s : m.samples)
        s->Stop();
}

void ResumeAll() {
    Module& m = M();
    for (SoundStream* s : m.streams)
        s->Resume();
    for (SoundSample* s : m.samples)
        s->Resume();
}

SampleKey MakeSampleKey(std::string_view name) {
    SampleKey key(name.substr(0, name.find('\0')));
    for (char& c : key) {
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
    }
    return key;
}

SampleCacheEntry* AcquireCacheEntry(const std::string& name, const SampleKey& key) {
    Module& m = M();
    if (!m.driverOpen)
        return nullptr;
    auto it = m.cache.find(key);
    if (it != m.cache.end()) {
        ++it->second.refCount;
        return &it->second;
    }
    std::vector<uint8_t> bytes;
    if (!ReadSoundFile(name, bytes))
        return nullptr;
    const plat::SampleId sample = m.audio->LoadSample(bytes.data(), bytes.size());
    if (!sample) {
        std::fprintf(stderr, "sound: \"%s\" is not a sound the mixer can play\n", name.c_str());
        return nullptr;
    }
    SampleCacheEntry& entry = m.cache[key];
    entry.sample = sample;
    entry.refCount = 1;
    entry.lastStart = 0;
    return &entry;
}

void ReleaseCacheEntry(SampleCacheEntry* entry) {
    Module& m = M();
    if (!entry || entry->refCount == 0)
        return;
    if (--entry->refCount != 0)
        return;
    // An entry never played goes at once; one played lately stays so that
    // the next use needs no read.
    if (entry->lastStart != 0 && Engine::ElapsedTime(Now(), entry->lastStart) <= kSampleKeepMicros)
        return;
    for (auto it = m.cache.begin(); it != m.cache.end(); ++it) {
        if (&it->second == entry) {
            if (m.audio)
                m.audio->FreeSample(entry->sample);
            m.cache.erase(it);
            return;
        }
    }
}

const SampleCacheEntry* FindCacheEntry(const SampleKey& key) {
    auto it = M().cache.find(key);
    return it == M().cache.end() ? nullptr : &it->second;
}

size_t CacheEntryCount() {
    return M().cache.size();
}

std::string ResolveSoundPath(const std::string& name) {
    std::vector<std::string_view> names;
    if (name.empty() || name[0] == '/' || name[0] == '\\' || !SplitRelativePath(name, names) || names.empty())
        return {};
    std::string path = M().installFolder;
    for (std::string_view part : names)
        path = JoinHostPath(path, part);
    std::optional<std::string> found = ResolveHostPath(path);
    return found ? *found : std::string();
}

const std::string& InstallFolder() {
    return M().installFolder;
}

void SetMusicFolder(const std::string& path) {
    std::string folder = path;
    if (folder.empty() || folder.back() != '\\')
        folder += '\\';
    M().musicFolder = folder;
}

const std::string& GetMusicFolder() {
    return M().musicFolder;
}

bool PlayFileSample(SoundSample& sample, uint32_t loops) {
    return sample.Play(loops);
}

bool SetSampleVolume(SoundSample& sample, int32_t volume) {
    return sample.SetVolume(volume);
}

bool SetSamplePan(SoundSample& sample, int32_t pan) {
    return sample.SetPan(pan);
}

plat::Audio* GetAudio() {
    return M().driverOpen ? M().audio : nullptr;
}

void SetTimestampSource(uint64_t (*now)()) {
    M().now = now;
}

uint64_t Now() {
    return M().now ? M().now() : Engine::ReadTimestamp();
}

} // namespace SoundSystem

bool IsSoundAvailable() {
    return M().driverOpen;
}

void SetMusicVolume(uint32_t volume) {
    if (volume < 128)
        M().musicVolume = volume;
}

uint32_t GetMusicVolume() {
    return M().musicVolume;
}

bool IsMusicEnabled() {
    return M().musicEnabled;
}

// Shared with the music player, which keeps the rest of the music state.
void SetMusicEnabledFlag(bool on) {
    M().musicEnabled = on;
}

SoundSample::SoundSample(const char* fileName) {
    if (fileName && *fileName)
        SetFile(fileName);
    AddToList(M().samples, this);
}

SoundSample::~SoundSample() {
    ReleaseHandle();
    SoundSystem::ReleaseCacheEntry(entry_);
    entry_ = nullptr;
    RemoveFromList(M().samples, this);
}

bool SoundSample::SetFile(const std::string& fileName) {
    if (fileName.empty())
        return false;
    SampleKey key = SoundSystem::MakeSampleKey(fileName);
    if (entry_ && key == key_) {
        ReleaseHandle();
        return true;
    }
    ReleaseHandle();
    SoundSystem::ReleaseCacheEntry(entry_);
    entry_ = SoundSystem::AcquireCacheEntry(fileName, key);
    key_ = entry_ ? std::move(key) : SampleKey();
    return entry_ != nullptr;
}

void SoundSample::SendVolumePan() {
    plat::Audio* audio = SoundSystem::GetAudio();
    const plat::VoiceId voice = handle_.load();
    if (!audio || !voice)
        return;
    // A partner still unset goes out as the middle of its range.
    const float v = volume_ == kSoundUnset ? 1.0f : float(volume_) / 127.0f;
    const float p = pan_ == kSoundUnset ? 64.0f / 127.0f : float(pan_) / 127.0f;
    audio->SetVolumePan(voice, v, p);
}

bool SoundSample::Play(uint32_t loops) {
    plat::Audio* audio = SoundSystem::GetAudio();
    if (!audio || !entry_ || !entry_->sample)
        return false;
    // A voice still held is started again from the beginning.
    ReleaseHandle();
    const float v = volume_ == kSoundUnset ? 1.0f : float(volume_) / 127.0f;
    const float p = pan_ == kSoundUnset ? 64.0f / 127.0f : float(pan_) / 127.0f;
    // The handle is set before the voice can end, so that the end callback
    // always finds it.
    const plat::VoiceId voice = audio->Play(entry_->sample, loops, v, p, this);
    if (!voice)
        return false;
    plat::VoiceId expected = 0;
    handle_.compare_exchange_strong(expected, voice);
    if (volume_ == kSoundUnset)
        volume_ = 127;
    if (pan_ == kSoundUnset)
        pan_ = 64;
    entry_->lastStart = SoundSystem::Now();
    return true;
}

bool SoundSample::SetVolume(int32_t volume) {
    if (volume < 0 || volume > 127)
        return false;
    volume_ = uint32_t(volume);
    SendVolumePan();
    return true;
}

bool SoundSample::SetPan(int32_t pan) {
    if (pan < 0 || pan > 127)
        return false;
    pan_ = uint32_t(pan);
    SendVolumePan();
    return true;
}

uint32_t SoundSample::GetStatus() const {
    plat::Audio* audio = SoundSystem::GetAudio();
    const plat::VoiceId voice = handle_.load();
    return audio && voice ? audio->Status(voice) : 0;
}

bool SoundSample::Stop() {
    const uint32_t status = GetStatus();
    if (status == kSoundPlaying)
        SoundSystem::GetAudio()->Stop(handle_.load());
    return status == kSoundPlaying || status == kSoundDone || status == kSoundStopped;
}

bool SoundSample::Resume() {
    const uint32_t status = GetStatus();
    if (status == kSoundStopped)
        SoundSystem::GetAudio()->Resume(handle_.load());
    return status == kSoundPlaying || status == kSoundDone || status == kSoundStopped;
}

bool SoundSample::ReleaseHandle() {
    const plat::VoiceId voice = handle_.exchange(0);
    plat::Audio* audio = SoundSystem::GetAudio();
    if (voice && audio)
        audio->Release(voice);
    return true;
}

bool SoundSample::GetLoopCount(uint32_t* loops) const {
    plat::Audio* audio = SoundSystem::GetAudio();
    const plat::VoiceId voice = handle_.load();
    return audio && voice && audio->GetLoopCount(voice, loops);
}

SoundStream::SoundStream(const char* fileName) {
    if (fileName)
        Open(fileName);
    AddToList(M().streams, this);
}

SoundStream::~SoundStream() {
    Close();
    RemoveFromList(M().streams, this);
}

bool SoundStream::Open(const std::string& fileName) {
    Close();
    Module& m = M();
    if (fileName.empty() || !m.driverOpen)
        return false;
    // The backend has one music stream: opening takes it from any other.
    if (m.musicOwner)
        m.musicOwner->open_ = false;
    m.musicOwner = nullptr;
    if (!m.audio->OpenMusic(fileName))
        return false;
    open_ = true;
    m.musicOwner = this;
    return true;
}

bool SoundStream::Close() {
    Module& m = M();
    if (open_ && m.musicOwner == this) {
        if (m.audio)
            m.audio->CloseMusic();
        m.musicOwner = nullptr;
    }
    open_ = false;
    return true;
}

uint32_t SoundStream::GetStatus() const {
    plat::Audio* audio = SoundSystem::GetAudio();
    return open_ && audio ? audio->MusicStatus() : 0;
}

bool SoundStream::Start(uint32_t loops) {
    plat::Audio* audio = SoundSystem::GetAudio();
    return open_ && audio && audio->StartMusic(loops);
}

bool SoundStream::Pause() {
    const uint32_t status = GetStatus();
    if (status == kSoundPlaying)
        SoundSystem::GetAudio()->PauseMusic(true);
    return status == kSoundPlaying || status == kSoundDone || status == kSoundStopped;
}

bool SoundStream::Resume() {
    const uint32_t status = GetStatus();
    if (status == kSoundStopped)
        SoundSystem::GetAudio()->PauseMusic(false);
    return status == kSoundPlaying || status == kSoundDone || status == kSoundStopped;
}

bool SoundStream::SetVolume(uint32_t volume) {
    plat::Audio* audio = SoundSystem::GetAudio();
    if (!open_ || !audio || volume >= 128)
        return false;
    return audio->SetMusicVolume(float(volume) / 127.0f);
}

bool SoundStream::GetVolume(uint32_t* volume) const {
    plat::Audio* audio = SoundSystem::GetAudio();
    if (!open_ || !audio)
        return false;
    *volume = uint32_t(audio->GetMusicVolume() * 127.0f);
    return true;
}
