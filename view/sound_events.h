// Map sound events: sound effects that belong to places on the map or the
// screen. Each is a row of the SoundFiles table, played on one of 16
// channels of voices (sized by the SoundChannel table); the place decides
// the volume (by its distance from the view's centre) and the pan (by its
// horizontal position). Once per frame RefreshSoundPositions moves the
// playing voices with the view. Main thread only.
#pragma once

#include "engine/engine_state.h"
#include "view/sound_system.h"

#include <cstdint>
#include <memory>
#include <string>

inline constexpr uint32_t kSoundChannelCount = 16;
// No channel gets more voices than the backend has.
inline constexpr int32_t kMaxVoicesPerChannel = int32_t(plat::kAudioVoiceCount);

// One voice of a channel.
struct SoundInstance {
    std::unique_ptr<SoundSample> sample;
    EngineRect rect;           // as the caller gave it, map tiles when mapFlag is set
    float volumeFactor = 1.0f; // the row's SoundVolume
    uint32_t row = 0;          // the row last played on this voice
    uint8_t mapFlag = 0;

    // Free when it holds no voice of the backend or its voice has ended.
    bool IsFree() const;
};

// What the sound events need of the view: the screen size, the current
// viewport's zoom level, origin, tile height, zoom volume factor and inner
// rectangle.
struct SoundViewInput {
    int32_t width = 0, height = 0;
    int32_t zoomLevel = 0;
    int32_t originX = 0, originY = 0;
    int32_t tileHeight = 0;
    float zoomVolumeFactor = 1.0f;
    EngineRect innerRect;
};

// Plays a sound row at a place: a screen rectangle, or map tiles when
// `mapFlag` is set. The voice's index in its channel, or -1 when nothing
// plays (row 0, effects off, no output, chance not met, no file, bad
// channel, off the screen, no free voice, or the file failed to play). An
// endless loop of the row already playing is only moved.
int32_t PlaySoundEvent(uint32_t row, const EngineRect* rect, uint8_t mapFlag);
uint8_t IsSoundEnabled();
void SetSoundEnabled(uint8_t on);
// 0..1; anything else (NaN too) is refused.
bool SetSfxVolume(float volume);
float GetSfxVolume();
// Follows a changed view with the playing voices; ends endless loops that
// fall silent. Does nothing while the view stands still.
void RefreshSoundPositions();
SoundInstance* GetSoundInstance(uint32_t channel, uint32_t index);
// The pan 10..117 of a screen rectangle; 64 when it cannot be worked out.
int32_t PanFromRect(const EngineRect& rect);
// The row's file name as it stands; empty for a missing row.
std::string GetSoundFileName(uint32_t row);
void SetSoundFolder(const std::string& path);
const std::string& GetSoundFolder();

// Reads the view afresh (the engine's, or the installed source).
void UpdateSoundView();
// The effective volume 0..127 of the last view read.
int32_t GetSoundViewVolume();
// Tests install a view of their own; null goes back to the engine's.
void SetSoundViewSource(SoundViewInput (*source)());
// Destroys every voice and forgets the last view (the game's end, tests).
void ResetSoundEvents();

// Embedded in objects that keep a sound going: Update restarts the sound
// after the row's SoundTimeout once the last one has ended.
class SoundEmitter {
public:
    virtual ~SoundEmitter() = default;
    // The sound row, 0 for none.
    virtual uint32_t GetSoundCategory() = 0;
    // Fills the rectangle and answers it.
    virtual const EngineRect* GetSoundRect(EngineRect* rect) = 0;
    virtual uint8_t IsMapRect() = 0;

    // False while waiting for the timeout or when the start failed.
    bool Update(uint32_t nowMs);
    int32_t VoiceIndex() const { return voiceIndex_; }

private:
    int32_t voiceIndex_ = -1;
};
