#include "platform/video/ttf_text_renderer.h"

#include <SDL.h>
#include <SDL_ttf.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <utility>

namespace plat {
namespace {

constexpr const char* kRegularFile = "DejaVuSans.ttf";
constexpr const char* kBoldFile = "DejaVuSans-Bold.ttf";
// The character height of the default font, and the largest one drawn.
constexpr int32_t kDefaultPixels = 12;
constexpr int32_t kMaxPixels = 256;
// Fonts kept open at once; more are closed all together.
constexpr size_t kMaxOpenFonts = 16;
constexpr uint32_t kKey = 0xFF00FF;

// UTF-8 for SDL_ttf, which reads up to a NUL: pairs of surrogates make one
// character; a lone surrogate or a NUL becomes the replacement character.
std::string ToUtf8(std::u16string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        uint32_t c = text[i];
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] < 0xE000) {
            c = 0x10000 + ((c - 0xD800) << 10) + (uint32_t(text[i + 1]) - 0xDC00);
            ++i;
        } else if (c == 0 || (c >= 0xD800 && c < 0xE000)) {
            c = 0xFFFD;
        }
        if (c < 0x80) {
            out += char(c);
        } else if (c < 0x800) {
            out += char(0xC0 | (c >> 6));
            out += char(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += char(0xE0 | (c >> 12));
            out += char(0x80 | ((c >> 6) & 0x3F));
            out += char(0x80 | (c & 0x3F));
        } else {
            out += char(0xF0 | (c >> 18));
            out += char(0x80 | ((c >> 12) & 0x3F));
            out += char(0x80 | ((c >> 6) & 0x3F));
            out += char(0x80 | (c & 0x3F));
        }
    }
    return out;
}

uint32_t Mix(uint32_t colour, uint32_t background, uint32_t coverage) {
    uint32_t out = 0xFF000000u;
    for (int shift = 0; shift < 24; shift += 8) {
        const uint32_t c = (colour >> shift) & 0xFF, b = (background >> shift) & 0xFF;
        out |= ((c * coverage + b * (255 - coverage) + 127) / 255) << shift;
    }
    return out;
}

class TtfTextRenderer final : public TextRenderer {
public:
    TtfTextRenderer(std::string regular, std::string bold)
        : regular_(std::move(regular)), bold_(std::move(bold)) {}
    ~TtfTextRenderer() override {
        CloseFonts();
        TTF_Quit();
    }
    TtfTextRenderer(const TtfTextRenderer&) = delete;
    TtfTextRenderer& operator=(const TtfTextRenderer&) = delete;

    bool Measure(const TextFont& font, std::u16string_view text, int32_t& width, int32_t& height) override {
        TTF_Font* f = Font(font);
        if (f == nullptr)
            return false;
        int w = 0;
        const std::string utf8 = ToUtf8(text);
        if (!utf8.empty() && TTF_SizeUTF8(f, utf8.c_str(), &w, nullptr) != 0)
            return false;
        width = w;
        height = TTF_FontHeight(f);
        return true;
    }

    bool Render(const TextFont& font, std::u16string_view text, uint32_t colour, uint32_t background,
                int32_t width, int32_t height, std::vector<uint32_t>& argb) override {
        if (width < 0 || height < 0)
            return false;
        colour &= 0xFFFFFF;
        background &= 0xFFFFFF;
        argb.assign(size_t(width) * size_t(height), 0xFF000000u | background);
        TTF_Font* f = Font(font);
        if (f == nullptr)
            return false;
        const std::string utf8 = ToUtf8(text);
        if (utf8.empty() || width == 0 || height == 0)
            return true;
        // White on black: the palette index is the coverage.
        SDL_Surface* s =
            TTF_RenderUTF8_Shaded(f, utf8.c_str(), SDL_Color{255, 255, 255, 255}, SDL_Color{0, 0, 0, 255});
        if (s == nullptr)
            return false;
        const bool ok = s->format->BitsPerPixel == 8 && s->format->palette != nullptr &&
                        (!SDL_MUSTLOCK(s) || SDL_LockSurface(s) == 0);
        if (ok) {
            const SDL_Palette& palette = *s->format->palette;
            const bool keyed = background == kKey;
            const int32_t w = std::min(width, s->w), h = std::min(height, s->h);
            for (int32_t y = 0; y < h; ++y) {
                const auto* row = static_cast<const uint8_t*>(s->pixels) + size_t(y) * size_t(s->pitch);
                uint32_t* out = &argb[size_t(y) * size_t(width)];
                for (int32_t x = 0; x < w; ++x) {
                    const uint32_t coverage = row[x] < palette.ncolors ? palette.colors[row[x]].r : 0;
                    if (keyed)
                        out[x] = 0xFF000000u | (coverage >= 128 ? colour : background);
                    else
                        out[x] = Mix(colour, background, coverage);
                }
            }
            if (SDL_MUSTLOCK(s))
                SDL_UnlockSurface(s);
        }
        SDL_FreeSurface(s);
        return ok;
    }

private:
    // The open font for the request, opened on first use.
    TTF_Font* Font(const TextFont& font) {
        const bool bold = font.weight >= 600;
        const int32_t height = std::clamp(font.height, -kMaxPixels, kMaxPixels);
        const auto key = std::make_pair(height, bold);
        if (auto it = fonts_.find(key); it != fonts_.end())
            return it->second;
        if (fonts_.size() >= kMaxOpenFonts)
            CloseFonts();
        const bool ownBold = bold && !bold_.empty();
        const int32_t pixels = height == 0 ? kDefaultPixels : std::abs(height);
        TTF_Font* f = TTF_OpenFont(ownBold ? bold_.c_str() : regular_.c_str(), pixels);
        if (f == nullptr)
            return nullptr;
        if (bold && !ownBold)
            TTF_SetFontStyle(f, TTF_STYLE_BOLD);
        // A cell height: the size whose line is that high.
        if (height > 0) {
            const int32_t cell = TTF_FontHeight(f);
            const int32_t scaled =
                cell > 0 ? std::clamp((height * height + cell / 2) / cell, 1, kMaxPixels) : height;
            if (scaled != pixels && TTF_SetFontSize(f, scaled) != 0) {
                TTF_CloseFont(f);
                return nullptr;
            }
        }
        fonts_.emplace(key, f);
        return f;
    }

    void CloseFonts() {
        for (auto& [key, f] : fonts_)
            TTF_CloseFont(f);
        fonts_.clear();
    }

    std::string regular_, bold_;
    std::map<std::pair<int32_t, bool>, TTF_Font*> fonts_;
};

} // namespace

std::unique_ptr<TextRenderer> MakeTtfTextRenderer(const std::vector<std::string>& fontFolders,
                                                  std::string* error) {
    namespace fs = std::filesystem;
    std::string regular, bold;
    for (const std::string& folder : fontFolders) {
        std::error_code ec;
        const fs::path file = fs::path(folder) / kRegularFile;
        if (regular.empty() && fs::is_regular_file(file, ec)) {
            regular = file.string();
            const fs::path boldFile = fs::path(folder) / kBoldFile;
            if (fs::is_regular_file(boldFile, ec))
                bold = boldFile.string();
        }
    }
    if (regular.empty()) {
        if (error != nullptr) {
            *error = std::string("no font folder holds ") + kRegularFile + " (searched:";
            for (const std::string& folder : fontFolders)
                *error += " " + folder;
            *error += ")";
        }
        return nullptr;
    }
    if (TTF_Init() != 0) {
        if (error != nullptr)
            *error = std::string("the font library does not start: ") + TTF_GetError();
        return nullptr;
    }
    // A file that is there but no font fails here rather than at every text.
    TTF_Font* probe = TTF_OpenFont(regular.c_str(), kDefaultPixels);
    if (probe == nullptr) {
        if (error != nullptr)
            *error = "cannot read the font " + regular + ": " + TTF_GetError();
        TTF_Quit();
        return nullptr;
    }
    TTF_CloseFont(probe);
    return std::make_unique<TtfTextRenderer>(std::move(regular), std::move(bold));
}

} // namespace plat
