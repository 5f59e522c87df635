// Reads arbitrary bytes as a sound file the way the sound-free backend does:
// a WAVE file's frames must lie inside the bytes, and a loaded sample must
// play and end.
#include "platform/null_audio.h"
#include "platform/sound_file_info.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    plat::SoundFileInfo info;
    const char* error = nullptr;
    const bool ok = plat::ProbeSoundFile(data, size, &info, &error);
    if (!ok && !error)
        __builtin_trap();
    if (ok && info.format == plat::SoundFormat::Wave) {
        const uint64_t block = uint64_t(info.channels) * (info.bits / 8);
        if (block == 0 || info.rate == 0 || info.frames * block > size)
            __builtin_trap();
    }
    plat::NullAudio audio;
    audio.Open(44100, 16, 2);
    const plat::SampleId sample = audio.LoadSample(data, size);
    if ((sample != 0) != ok)
        __builtin_trap();
    if (sample) {
        const plat::VoiceId voice = audio.Play(sample, 1, 1.0f, 0.5f, nullptr);
        audio.Advance(uint32_t(info.lengthMs > 0xFFFFFFFFu ? 0xFFFFFFFFu : info.lengthMs));
        if (audio.Status(voice) != plat::kAudioDone)
            __builtin_trap();
    }
    return 0;
}
