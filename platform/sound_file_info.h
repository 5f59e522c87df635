// Recognises the sound files the game ships: PCM WAVE files are read far
// enough to know their format and length; Ogg and MP3 files only by their
// first bytes. The sound-free backend uses it to check files and to end
// voices after their length.
#pragma once

#include <cstddef>
#include <cstdint>

namespace plat {

enum class SoundFormat : uint8_t { Wave, Ogg, Mp3 };

struct SoundFileInfo {
    SoundFormat format = SoundFormat::Wave;
    // Wave only; 0 for the other formats.
    uint32_t rate = 0;
    uint16_t channels = 0;
    uint16_t bits = 0;
    uint64_t frames = 0;
    // The playing time in milliseconds, 0 when unknown.
    uint64_t lengthMs = 0;
};

// False, with `error` saying why, when the bytes are none of the formats or
// a WAVE header is broken (no format or data chunk, a chunk past the end,
// a format other than 8/16/24/32-bit PCM).
bool ProbeSoundFile(const uint8_t* data, size_t size, SoundFileInfo* info, const char** error = nullptr);

} // namespace plat
