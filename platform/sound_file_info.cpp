#include "platform/sound_file_info.h"

#include "platform/endian.h"

#include <cstring>

namespace plat {
namespace {

bool Fail(const char** error, const char* why) {
    if (error)
        *error = why;
    return false;
}

bool ProbeWave(const uint8_t* data, size_t size, SoundFileInfo* info, const char** error) {
    if (size < 12)
        return Fail(error, "WAVE header cut short");
    // The RIFF size may be wrong in files cut by a copy; the chunks are
    // bounded by the bytes actually there.
    size_t pos = 12;
    bool haveFormat = false;
    uint16_t blockAlign = 0;
    SoundFileInfo result;
    while (pos + 8 <= size) {
        const uint8_t* chunk = data + pos;
        const uint32_t chunkSize = LoadLE32(chunk + 4);
        const size_t body = pos + 8;
        const size_t left = size - body;
        if (std::memcmp(chunk, "fmt ", 4) == 0) {
            if (chunkSize < 16 || chunkSize > left)
                return Fail(error, "WAVE format chunk has a bad size");
            const uint8_t* f = data + body;
            const uint16_t tag = LoadLE16(f);
            result.channels = LoadLE16(f + 2);
            result.rate = LoadLE32(f + 4);
            blockAlign = LoadLE16(f + 12);
            result.bits = LoadLE16(f + 14);
            if (tag != 1 && tag != 0xFFFE)
                return Fail(error, "WAVE data is not PCM");
            if (result.channels == 0 || result.channels > 8 || result.rate == 0 || result.rate > 384000)
                return Fail(error, "WAVE format has a bad channel count or rate");
            if (result.bits != 8 && result.bits != 16 && result.bits != 24 && result.bits != 32)
                return Fail(error, "WAVE format has a bad sample size");
            if (blockAlign != result.channels * (result.bits / 8))
                return Fail(error, "WAVE format has a bad block size");
            haveFormat = true;
        } else if (std::memcmp(chunk, "data", 4) == 0) {
            if (!haveFormat)
                return Fail(error, "WAVE data comes before its format");
            // A data chunk longer than the file is played as far as it goes.
            const uint64_t bytes = chunkSize < left ? chunkSize : left;
            result.frames = bytes / blockAlign;
            result.lengthMs = result.frames * 1000u / result.rate;
            result.format = SoundFormat::Wave;
            *info = result;
            return true;
        }
        if (chunkSize > left)
            break;
        pos = body + chunkSize + (chunkSize & 1u);
    }
    return Fail(error, haveFormat ? "WAVE file has no data chunk" : "WAVE file has no format chunk");
}

} // namespace

bool ProbeSoundFile(const uint8_t* data, size_t size, SoundFileInfo* info, const char** error) {
    if (!data || size < 4)
        return Fail(error, "too short for a sound file");
    SoundFileInfo result;
    if (size >= 12 && std::memcmp(data, "RIFF", 4) == 0 && std::memcmp(data + 8, "WAVE", 4) == 0)
        return ProbeWave(data, size, info, error);
    if (std::memcmp(data, "OggS", 4) == 0) {
        result.format = SoundFormat::Ogg;
    } else if (std::memcmp(data, "ID3", 3) == 0 || (data[0] == 0xFF && (data[1] & 0xE0) == 0xE0)) {
        result.format = SoundFormat::Mp3;
    } else {
        return Fail(error, "not a WAVE, Ogg or MP3 file");
    }
    *info = result;
    return true;
}

} // namespace plat
