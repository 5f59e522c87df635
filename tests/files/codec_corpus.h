// Deterministic sample data for the codec tests and benchmarks: text,
// image-like pixels, zeros and random bytes, any length.
#pragma once

#include <cctype>
#include <cstddef>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace codec_corpus {

enum class Kind { Text, Image, Zeros, Random };

inline const char* KindName(Kind kind) {
    switch (kind) {
    case Kind::Text:
        return "text";
    case Kind::Image:
        return "image";
    case Kind::Zeros:
        return "zeros";
    case Kind::Random:
        return "random";
    }
    return "?";
}

// Sentences of common words, frequent ones far more often than rare ones,
// now and then a sentence said before.
inline std::vector<uint8_t> Text(size_t n, uint32_t seed) {
    static const char* const kWords[] = {
        "the",    "of",      "and",     "to",      "a",        "in",         "is",      "it",      "that",
        "was",    "for",     "on",      "are",     "with",     "as",         "his",     "they",    "be",
        "at",     "one",     "have",    "this",    "from",     "by",         "hot",     "word",    "but",
        "what",   "some",    "we",      "can",     "out",      "other",      "were",    "all",     "there",
        "when",   "up",      "use",     "your",    "how",      "said",       "an",      "each",    "she",
        "which",  "do",      "their",   "time",    "if",       "will",       "way",     "about",   "many",
        "then",   "them",    "write",   "would",   "like",     "so",         "train",   "station", "track",
        "road",   "town",    "factory", "coal",    "goods",    "passengers", "mail",    "company", "money",
        "bridge", "signal",  "river",   "year",    "freight",  "engine",     "wagon",   "route",   "schedule",
        "profit", "loan",    "harbour", "airport", "ship",     "aircraft",   "bus",     "truck",   "depot",
        "built",  "carries", "grows",   "needs",   "delivers", "waits",      "arrives", "leaves",  "costs",
        "earns"};
    constexpr uint32_t kCount = sizeof(kWords) / sizeof(kWords[0]);
    std::mt19937 rng(seed);
    std::vector<std::string> said;
    std::vector<uint8_t> out;
    out.reserve(n + 256);
    while (out.size() < n) {
        std::string sentence;
        if (!said.empty() && rng() % 8 == 0) {
            sentence = said[rng() % said.size()];
        } else {
            for (uint32_t i = 0, words = 4 + rng() % 12; i < words; ++i) {
                // The product of uniform picks favours small indexes.
                std::string w =
                    kWords[(rng() % kCount) * (rng() % kCount) * (rng() % kCount) / (kCount * kCount)];
                if (rng() % 30 == 0)
                    w = std::to_string(1850 + rng() % 150);
                sentence += (i ? " " : "") + w;
            }
            sentence[0] = char(std::toupper(uint8_t(sentence[0])));
            sentence += rng() % 5 ? ". " : ".\n";
            if (said.size() < 500)
                said.push_back(sentence);
        }
        out.insert(out.end(), sentence.begin(), sentence.end());
    }
    out.resize(n);
    return out;
}

// Rows of 32-bit pixels: a noisy gradient, transparent areas and copies of
// a few small sprites.
inline std::vector<uint8_t> Image(size_t n, uint32_t seed) {
    constexpr size_t kWidth = 256;
    std::mt19937 rng(seed);
    std::vector<uint8_t> sprites(4 * 16 * 16 * 4);
    for (uint8_t& b : sprites)
        b = uint8_t(rng() % 6 * 40);
    std::vector<uint8_t> out(n);
    for (size_t i = 0; i < n; i += 4) {
        size_t pixel = i / 4;
        size_t x = pixel % kWidth;
        size_t y = pixel / kWidth;
        uint8_t bgra[4];
        if ((y / 32 + x / 64) % 5 == 0) {
            bgra[0] = bgra[1] = bgra[2] = bgra[3] = 0;
        } else if ((y / 16 + x / 16) % 7 == 0) {
            size_t sprite = (y / 16 * 3 + x / 16) % 4;
            const uint8_t* s = &sprites[((sprite * 16 + y % 16) * 16 + x % 16) * 4];
            std::copy(s, s + 4, bgra);
        } else {
            uint32_t noise = rng() % 8 == 0 ? rng() % 3 : 1;
            bgra[0] = uint8_t(x / 2 + noise);
            bgra[1] = uint8_t(y / 3 + x / 8);
            bgra[2] = uint8_t(96 + y % 64);
            bgra[3] = 255;
        }
        for (size_t k = 0; k < 4 && i + k < n; ++k)
            out[i + k] = bgra[k];
    }
    return out;
}

inline std::vector<uint8_t> Random(size_t n, uint32_t seed) {
    std::mt19937 rng(seed);
    std::vector<uint8_t> out(n);
    for (uint8_t& b : out)
        b = uint8_t(rng() >> 24);
    return out;
}

inline std::vector<uint8_t> Make(Kind kind, size_t n, uint32_t seed = 1) {
    switch (kind) {
    case Kind::Text:
        return Text(n, seed);
    case Kind::Image:
        return Image(n, seed);
    case Kind::Zeros:
        return std::vector<uint8_t>(n, 0);
    case Kind::Random:
        return Random(n, seed);
    }
    return {};
}

// All four kinds back to back, each a quarter of n.
inline std::vector<uint8_t> Mixed(size_t n, uint32_t seed = 1) {
    std::vector<uint8_t> out;
    out.reserve(n);
    for (Kind kind : {Kind::Text, Kind::Image, Kind::Zeros, Kind::Random}) {
        std::vector<uint8_t> part = Make(kind, n / 4, seed);
        out.insert(out.end(), part.begin(), part.end());
    }
    out.resize(n, 0);
    return out;
}

} // namespace codec_corpus
