#include "view/sound_events.h"

#include "data/generated/sound_tables.h"
#include "engine/frame.h"
#include "engine/viewport.h"
#include "view/random_table.h"

#include <array>
#include <cmath>
#include <vector>

namespace {

struct ViewSnapshot {
    int32_t width = 0, height = 0;
    int32_t zoomLevel = -1;
    int32_t originX = 0, originY = 0;
    int32_t tileHeight = 0;
    int32_t volume = 0;
    EngineRect inner;
};

struct Events {
    std::array<std::vector<SoundInstance>, kSoundChannelCount> channels;
    ViewSnapshot view;
    ViewSnapshot last; // the view at the last refresh; zoom -1 at first
    uint8_t enabled = 1;
    float master = 1.0f;
    std::string folder;
    SoundViewInput (*source)() = nullptr;
};

Events& E() {
    static Events e;
    return e;
}

SoundViewInput EngineView() {
    SoundViewInput in;
    Engine::GetScreenSize(&in.width, &in.height);
    in.zoomLevel = Viewport::GetZoomLevel();
    const ScreenPoint origin = Viewport::GetOrigin();
    in.originX = origin.x;
    in.originY = origin.y;
    int32_t tileWidth = 0;
    Viewport::GetTileSize(tileWidth, in.tileHeight);
    in.zoomVolumeFactor = Viewport::GetZoomVolume();
    in.innerRect = Viewport::GetInnerRect();
    return in;
}

// A database float that must be a non-negative amount: NaN and negatives
// count as 0.
float Amount(float v) {
    return v > 0.0f ? v : 0.0f;
}

int32_t Saturate(int64_t v) {
    if (v > INT32_MAX)
        return INT32_MAX;
    if (v < INT32_MIN)
        return INT32_MIN;
    return int32_t(v);
}

uint64_t IntegerSqrt(uint64_t n) {
    uint64_t r = uint64_t(std::sqrt(double(n)));
    while (r * r > n)
        --r;
    while ((r + 1) * (r + 1) <= n)
        ++r;
    return r;
}

EngineRect ProjectSoundRect(const EngineRect& r) {
    const ViewSnapshot& v = E().view;
    auto sx = [&](int64_t x, int64_t y) { return Saturate((x - y) * 3 * v.tileHeight / 2 + v.originX); };
    auto sy = [&](int64_t x, int64_t y) { return Saturate((x + y) * v.tileHeight / 2 + v.originY); };
    return {sx(r.left, r.bottom), sy(r.left, r.top), sx(r.right, r.top), sy(r.right, r.bottom)};
}

EngineRect ScreenRect(const EngineRect& rect, uint8_t mapFlag) {
    return mapFlag ? ProjectSoundRect(rect) : rect;
}

bool IsRectOnScreen(const EngineRect& r) {
    const ViewSnapshot& v = E().view;
    return r.right >= 1 && r.bottom >= 1 && r.top < v.height && r.left < v.width;
}

int32_t VolumeForRect(const EngineRect& r) {
    const ViewSnapshot& v = E().view;
    const int64_t m = 2 * int64_t(v.width);
    if (m <= 0)
        return 0;
    const int64_t cx = (int64_t(v.inner.left) + v.inner.right) / 2;
    const int64_t cy = (int64_t(v.inner.top) + v.inner.bottom) / 2;
    const int64_t dx = (int64_t(r.left) + r.right) / 2 - cx;
    const int64_t dy = (int64_t(r.top) + r.bottom) / 2 - cy;
    // In 64 bits: far rectangles would overflow 32.
    const uint64_t d2 = uint64_t(dx * dx) + uint64_t(dy * dy);
    const uint64_t d = IntegerSqrt(d2);
    if (d > uint64_t(m))
        return 0;
    return int32_t((m - int64_t(d)) * v.volume / m);
}

// A voice volume from the distance volume and the row's factor, truncated
// and held to 0..127.
int32_t ScaledVolume(int32_t distanceVolume, float factor) {
    const float v = float(distanceVolume) * Amount(factor);
    if (!(v < 127.0f))
        return 127;
    return int32_t(v);
}

const SoundFilesRow* Row(uint32_t row) {
    return row <= uint32_t(INT32_MAX) ? SoundFilesTable::Find(int32_t(row)) : nullptr;
}

SoundFilesRow* MutableRow(uint32_t row) {
    return row <= uint32_t(INT32_MAX) ? SoundFilesTable::FindMutable(int32_t(row)) : nullptr;
}

uint32_t RowRepeat(uint32_t row) {
    const SoundFilesRow* r = Row(row);
    return r ? uint32_t(r->SoundRepeat) : 0;
}

void LowerPlayCount(uint32_t row) {
    SoundFilesRow* r = MutableRow(row);
    if (row != 0 && r && r->PlayCount != 0)
        --r->PlayCount;
}

void ResizeSoundChannels() {
    for (uint32_t c = 0; c < kSoundChannelCount; ++c) {
        std::vector<SoundInstance>& voices = E().channels[c];
        const SoundChannelRow* row = SoundChannelTable::Find(int32_t(c));
        int32_t k = row ? row->MaximumNrOfSounds : 0;
        if (k < 0)
            k = 0;
        if (k > kMaxVoicesPerChannel)
            k = kMaxVoicesPerChannel;
        const size_t want = size_t(k);
        if (voices.size() < want) {
            const size_t n = voices.size();
            voices.resize(want);
            for (size_t i = n; i < want; ++i)
                voices[i].sample = std::make_unique<SoundSample>();
        } else if (voices.size() > want) {
            voices.resize(want);
        }
    }
}

} // namespace

bool SoundInstance::IsFree() const {
    return !sample || sample->Handle() == 0 || sample->GetStatus() == kSoundDone;
}

void UpdateSoundView() {
    Events& e = E();
    const SoundViewInput in = e.source ? e.source() : EngineView();
    ViewSnapshot& v = e.view;
    v.width = in.width;
    v.height = in.height;
    v.zoomLevel = in.zoomLevel;
    v.originX = in.originX;
    v.originY = in.originY;
    v.tileHeight = in.tileHeight;
    v.inner = in.innerRect;
    const float volume = std::nearbyint(127.0f * (e.master * in.zoomVolumeFactor));
    v.volume = volume > 0.0f ? (volume < 127.0f ? int32_t(volume) : 127) : 0;
}

int32_t GetSoundViewVolume() {
    return E().view.volume;
}

void SetSoundViewSource(SoundViewInput (*source)()) {
    E().source = source;
}

void ResetSoundEvents() {
    Events& e = E();
    for (auto& channel : e.channels)
        channel.clear();
    e.view = ViewSnapshot();
    e.last = ViewSnapshot();
}

uint8_t IsSoundEnabled() {
    return E().enabled;
}

void SetSoundEnabled(uint8_t on) {
    E().enabled = on;
}

bool SetSfxVolume(float volume) {
    if (!(volume >= 0.0f && volume <= 1.0f))
        return false;
    E().master = volume;
    return true;
}

float GetSfxVolume() {
    return E().master;
}

SoundInstance* GetSoundInstance(uint32_t channel, uint32_t index) {
    if (channel >= kSoundChannelCount || index >= E().channels[channel].size())
        return nullptr;
    return &E().channels[channel][index];
}

int32_t PanFromRect(const EngineRect& r) {
    const int64_t width = int64_t(r.right) - r.left;
    const int64_t denominator = width + E().view.width;
    if (denominator == 0)
        return 64;
    const int64_t p = (width / 2 + (int64_t(r.right) + r.left) / 2) * 107 / denominator + 10;
    return int32_t(p < 10 ? 10 : (p > 117 ? 117 : p));
}

std::string GetSoundFileName(uint32_t row) {
    // File names are taken as they stand: a "\n" in one is a folder
    // separator followed by an "n", never a line feed.
    const SoundFilesRow* r = Row(row);
    return r ? r->Filename : std::string();
}

void SetSoundFolder(const std::string& path) {
    std::string folder = path;
    if (folder.empty() || folder.back() != '\\')
        folder += '\\';
    E().folder = folder;
}

const std::string& GetSoundFolder() {
    return E().folder;
}

int32_t PlaySoundEvent(uint32_t row, const EngineRect* rect, uint8_t mapFlag) {
    Events& e = E();
    if (row == 0 || !rect || !e.enabled || !IsSoundAvailable())
        return -1;
    SoundFilesRow* sound = MutableRow(row);
    if (!sound)
        return -1;
    // Heard when r < P x 100: a chance of 0 is never heard, 1 always.
    const uint32_t r = RandomTable() % 100u;
    if (!(float(r) < Amount(sound->Probability) * 100.0f))
        return -1;
    const std::string name = GetSoundFileName(row);
    if (name.empty())
        return -1;
    const int32_t c = sound->Sound_Channel;
    if (c < 0 || c >= int32_t(kSoundChannelCount))
        return -1;
    const EngineRect screen = ScreenRect(*rect, mapFlag);
    if (!IsRectOnScreen(screen))
        return -1;
    const uint32_t repeat = uint32_t(sound->SoundRepeat);
    const uint32_t repeatMin = uint32_t(sound->SoundRepeatMin);
    uint32_t loops = repeat;
    if (repeat > repeatMin)
        loops = repeatMin + RandomTable() % (repeat - repeatMin);
    const uint32_t limit = uint32_t(sound->MaxSimultaneousPlaybacks);
    const bool limitReached = limit != 0 && sound->PlayCount >= limit;
    std::vector<SoundInstance>& voices = e.channels[size_t(c)];
    for (size_t i = 0; i < voices.size(); ++i) {
        SoundInstance& voice = voices[i];
        const uint32_t p = voice.row;
        const uint32_t rp = RowRepeat(p);
        if (!voice.IsFree()) {
            if (rp == 0 && p == row) {
                voice.rect = *rect;
                return int32_t(i);
            }
            continue;
        }
        if (limitReached && rp == 0)
            continue;
        if (p != 0)
            LowerPlayCount(p);
        voice.row = 0;
        SoundSample& sample = *voice.sample;
        SoundSystem::SetSampleVolume(sample, ScaledVolume(VolumeForRect(screen), sound->SoundVolume));
        SoundSystem::SetSamplePan(sample, PanFromRect(screen));
        // A file that cannot be played leaves the voice free and counts
        // nothing.
        if (!sample.SetFile(name) || !SoundSystem::PlayFileSample(sample, loops))
            return -1;
        voice.mapFlag = mapFlag;
        voice.rect = *rect;
        voice.volumeFactor = sound->SoundVolume;
        voice.row = row;
        if (limit != 0)
            ++sound->PlayCount;
        return int32_t(i);
    }
    return -1;
}

void RefreshSoundPositions() {
    Events& e = E();
    if (!IsSoundAvailable())
        return;
    UpdateSoundView();
    ResizeSoundChannels();
    const ViewSnapshot& v = e.view;
    ViewSnapshot& last = e.last;
    if (v.originX == last.originX && v.originY == last.originY && v.zoomLevel == last.zoomLevel &&
        v.width == last.width && v.height == last.height)
        return;
    last = v;
    for (auto& channel : e.channels) {
        for (SoundInstance& voice : channel) {
            if (voice.IsFree())
                continue;
            const EngineRect screen = ScreenRect(voice.rect, voice.mapFlag);
            const int32_t volume = ScaledVolume(VolumeForRect(screen), voice.volumeFactor);
            uint32_t loops = 1;
            if (volume == 0 && voice.sample->GetLoopCount(&loops) && loops == 0) {
                LowerPlayCount(voice.row);
                voice.row = 0;
                voice.sample->ReleaseHandle();
                continue;
            }
            SoundSystem::SetSampleVolume(*voice.sample, volume);
            SoundSystem::SetSamplePan(*voice.sample, PanFromRect(screen));
        }
    }
}

bool SoundEmitter::Update(uint32_t nowMs) {
    const uint32_t row = GetSoundCategory();
    if (row == 0)
        return true;
    SoundFilesRow* sound = MutableRow(row);
    if (!sound)
        return true;
    if (voiceIndex_ != -1) {
        const int32_t c = sound->Sound_Channel;
        SoundInstance* voice = c >= 0 ? GetSoundInstance(uint32_t(c), uint32_t(voiceIndex_)) : nullptr;
        if (!voice || (voice->row == row && voice->IsFree()))
            voiceIndex_ = -1;
        return true;
    }
    if (nowMs - sound->LastStartTime < uint32_t(sound->SoundTimeout))
        return false;
    sound->LastStartTime = nowMs;
    EngineRect rect;
    voiceIndex_ = PlaySoundEvent(row, GetSoundRect(&rect), IsMapRect());
    return voiceIndex_ != -1;
}
