// The engine's system-font texts drawn by the platform's text renderer:
// the fonts the font manager makes are handed on as the platform's own.
#pragma once

#include "engine/engine_services.h"
#include "platform/text_renderer.h"

class PlatformTextRenderer final : public SystemTextRenderer {
public:
    explicit PlatformTextRenderer(plat::TextRenderer& renderer) : renderer_(renderer) {}

    bool Measure(const SystemFont* font, const char16_t* text, int32_t count, int32_t* width,
                 int32_t* height) override;
    bool Render(const SystemFont* font, const char16_t* text, int32_t count, uint32_t colour,
                uint32_t background, int32_t width, int32_t height, std::vector<uint32_t>& argb) override;

private:
    plat::TextRenderer& renderer_;
};
