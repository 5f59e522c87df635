#include "platform/endian.h"
#include "platform/null_audio.h"
#include "platform/sound_file_info.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

// A PCM WAVE file: a format chunk, optionally an odd-sized chunk before the
// data, then `frames` frames.
std::vector<uint8_t> Wave(uint16_t channels, uint32_t rate, uint16_t bits, uint32_t frames,
                          bool extraChunk = false) {
    std::vector<uint8_t> out(12);
    std::memcpy(out.data(), "RIFF", 4);
    std::memcpy(out.data() + 8, "WAVE", 4);
    auto chunk = [&](const char* id, const std::vector<uint8_t>& body) {
        const size_t at = out.size();
        out.resize(at + 8);
        std::memcpy(out.data() + at, id, 4);
        plat::StoreLE32(out.data() + at + 4, uint32_t(body.size()));
        out.insert(out.end(), body.begin(), body.end());
        if (body.size() & 1)
            out.push_back(0);
    };
    std::vector<uint8_t> fmt(16);
    plat::StoreLE16(fmt.data(), 1);
    plat::StoreLE16(fmt.data() + 2, channels);
    plat::StoreLE32(fmt.data() + 4, rate);
    plat::StoreLE32(fmt.data() + 8, rate * channels * (bits / 8));
    plat::StoreLE16(fmt.data() + 12, uint16_t(channels * (bits / 8)));
    plat::StoreLE16(fmt.data() + 14, bits);
    chunk("fmt ", fmt);
    if (extraChunk)
        chunk("LIST", std::vector<uint8_t>(5, 'x'));
    chunk("data", std::vector<uint8_t>(size_t(frames) * channels * (bits / 8)));
    plat::StoreLE32(out.data() + 4, uint32_t(out.size() - 8));
    return out;
}

TEST(SoundFileInfo, ReadsTheFormatAndLengthOfPcmWaveFiles) {
    struct Case {
        uint16_t channels;
        uint32_t rate;
        uint16_t bits;
        uint32_t frames;
        bool extra;
        uint64_t lengthMs;
    };
    for (const Case& c : {Case{1, 11025, 16, 11025, false, 1000}, Case{2, 44100, 16, 22050, true, 500},
                          Case{1, 8000, 8, 4, false, 0}, Case{2, 48000, 24, 4800, true, 100}}) {
        const std::vector<uint8_t> file = Wave(c.channels, c.rate, c.bits, c.frames, c.extra);
        plat::SoundFileInfo info;
        ASSERT_TRUE(plat::ProbeSoundFile(file.data(), file.size(), &info)) << c.rate;
        EXPECT_EQ(info.format, plat::SoundFormat::Wave);
        EXPECT_EQ(info.channels, c.channels);
        EXPECT_EQ(info.rate, c.rate);
        EXPECT_EQ(info.frames, c.frames);
        EXPECT_EQ(info.lengthMs, c.lengthMs);
    }
}

TEST(SoundFileInfo, RefusesBrokenWaveHeadersAndUnknownFiles) {
    const std::vector<uint8_t> good = Wave(1, 11025, 16, 100);
    struct Case {
        const char* what;
        size_t offset; // byte to change, or the length to cut to when value < 0
        int value;
    };
    const Case cases[] = {
        {"cut inside the header", 10, -1},
        {"cut inside the format", 30, -1},
        {"format not PCM", 20, 3},
        {"no channels", 22, 0},
        {"rate 0", 24, 0},
        {"block size wrong", 32, 7},
        {"sample size 12", 34, 12},
        {"format chunk too short", 16, 8},
        {"format chunk past the end", 17, 1},
        {"no data chunk", 36, 'X'},
    };
    for (const Case& c : cases) {
        std::vector<uint8_t> bad = good;
        if (c.value < 0)
            bad.resize(c.offset);
        else
            bad[c.offset] = uint8_t(c.value);
        if (c.offset == 24 && c.value == 0)
            plat::StoreLE32(bad.data() + 24, 0);
        plat::SoundFileInfo info;
        const char* error = nullptr;
        EXPECT_FALSE(plat::ProbeSoundFile(bad.data(), bad.size(), &info, &error)) << c.what;
        EXPECT_NE(error, nullptr) << c.what;
    }
    // A data chunk that claims more than is there plays what is there.
    std::vector<uint8_t> longer = good;
    plat::StoreLE32(longer.data() + 40, 0x7FFFFFFF);
    plat::SoundFileInfo info;
    ASSERT_TRUE(plat::ProbeSoundFile(longer.data(), longer.size(), &info));
    EXPECT_EQ(info.frames, 100u);

    for (std::string other :
         {std::string("OggS\0\0", 6), std::string("ID3\4\0", 5), std::string("\xFF\xF3\x40\xC4", 4)})
        EXPECT_TRUE(
            plat::ProbeSoundFile(reinterpret_cast<const uint8_t*>(other.data()), other.size(), &info));
    for (std::string junk : {std::string("RIFF"), std::string("hello world"), std::string("")})
        EXPECT_FALSE(plat::ProbeSoundFile(reinterpret_cast<const uint8_t*>(junk.data()), junk.size(), &info));
    EXPECT_FALSE(plat::ProbeSoundFile(nullptr, 0, &info));
}

struct Ended {
    static inline std::vector<std::pair<plat::VoiceId, void*>> calls;
    static void Handler(plat::VoiceId voice, void* user) { calls.push_back({voice, user}); }
};

TEST(NullAudio, EndsVoicesAfterTheirLengthTimesTheirLoopsAndEndlessOnesNever) {
    plat::NullAudio audio;
    EXPECT_EQ(audio.LoadSample("x", 1), 0u); // not open
    ASSERT_TRUE(audio.Open(44100, 16, 2));
    audio.SetEndHandler(&Ended::Handler);
    Ended::calls.clear();
    const std::vector<uint8_t> file = Wave(1, 1000, 16, 100); // 100 ms
    const plat::SampleId sample = audio.LoadSample(file.data(), file.size());
    ASSERT_NE(sample, 0u);
    int a = 0, b = 0;
    const plat::VoiceId twice = audio.Play(sample, 2, 1.0f, 0.5f, &a);
    const plat::VoiceId endless = audio.Play(sample, 0, 1.0f, 0.5f, &b);
    ASSERT_NE(twice, 0u);
    ASSERT_NE(endless, 0u);
    EXPECT_EQ(audio.Play(sample, 1, 1.5f, 0.5f, nullptr), 0u); // volume out of range
    audio.Advance(199);
    EXPECT_EQ(audio.Status(twice), plat::kAudioPlaying);
    audio.Advance(1);
    EXPECT_EQ(audio.Status(twice), plat::kAudioDone);
    ASSERT_EQ(Ended::calls.size(), 1u);
    EXPECT_EQ(Ended::calls[0].first, twice);
    EXPECT_EQ(Ended::calls[0].second, &a);
    audio.Advance(1000000);
    EXPECT_EQ(audio.Status(endless), plat::kAudioPlaying);
    audio.Release(endless);
    EXPECT_EQ(audio.Status(endless), plat::kAudioDone);
    EXPECT_EQ(Ended::calls.size(), 2u);
    EXPECT_EQ(audio.BusyVoiceCount(), 0u);

    // Every voice in use: no more.
    for (uint32_t i = 0; i < plat::kAudioVoiceCount; ++i)
        ASSERT_NE(audio.Play(sample, 0, 1.0f, 0.5f, nullptr), 0u);
    EXPECT_EQ(audio.Play(sample, 0, 1.0f, 0.5f, nullptr), 0u);
    audio.Close();
    EXPECT_EQ(audio.BusyVoiceCount(), 0u);
    EXPECT_FALSE(plat::NullAudio(false).Open(44100, 16, 2));
}

} // namespace
