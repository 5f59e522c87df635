// What the widgets draw and measure with: images by name cut into stacked
// frames, texts in the engine's fonts and filled rectangles. The engine
// painter queues into the engine's draw layers; tests record instead.
#pragma once

#include "ui/ui_types.h"

#include <cstdint>
#include <string_view>

struct UiImageSize {
    int32_t frameWidth = 0;
    int32_t frameHeight = 0;
};

class UiPainter {
public:
    virtual ~UiPainter() = default;
    // The frame size of the image cut into `frames`; false when there is no
    // such image.
    virtual bool ImageSize(std::string_view image, int32_t frames, UiImageSize& size) = 0;
    // The ARGB pixel of frame n under the point when the frame is placed in
    // the rectangle; 0 when there is none.
    virtual uint32_t ImagePixel(std::string_view image, int32_t frames, int32_t n, const UiRect& placed,
                                UiPoint point) = 0;
    // Queues frame n stretched into the target, tinted with the colour.
    virtual void DrawImageFrame(int32_t layer, std::string_view image, int32_t frames, int32_t n,
                                const UiRect& target, uint32_t colour) = 0;
    // Queues the source part (in picture pixels of frame 0) into the target.
    virtual void DrawImageRegion(int32_t layer, std::string_view image, int32_t frames, const UiRect& target,
                                 const UiRect& source, uint32_t colour) = 0;
    virtual void DrawText(int32_t layer, int32_t font, UiPoint at, uint32_t colour,
                          std::string_view text) = 0;
    virtual int32_t TextWidth(int32_t font, std::string_view text) = 0;
    virtual int32_t TextHeight(int32_t font) = 0;
    virtual void FillRect(int32_t layer, const UiRect& rect, uint32_t colour) = 0;
    // True when texts are drawn in the platform's system fonts.
    virtual bool UsesSystemFonts() { return false; }
    // Entry i of the font colour table; white for an entry it does not have.
    virtual uint32_t FontColour(int32_t /*i*/) { return 0xFFFFFFFF; }
};

// The painter over the engine's graphic sets and fonts.
class EngineUiPainter : public UiPainter {
public:
    bool ImageSize(std::string_view image, int32_t frames, UiImageSize& size) override;
    uint32_t ImagePixel(std::string_view image, int32_t frames, int32_t n, const UiRect& placed,
                        UiPoint point) override;
    void DrawImageFrame(int32_t layer, std::string_view image, int32_t frames, int32_t n,
                        const UiRect& target, uint32_t colour) override;
    void DrawImageRegion(int32_t layer, std::string_view image, int32_t frames, const UiRect& target,
                         const UiRect& source, uint32_t colour) override;
    void DrawText(int32_t layer, int32_t font, UiPoint at, uint32_t colour, std::string_view text) override;
    int32_t TextWidth(int32_t font, std::string_view text) override;
    int32_t TextHeight(int32_t font) override;
    void FillRect(int32_t layer, const UiRect& rect, uint32_t colour) override;
    bool UsesSystemFonts() override;
    uint32_t FontColour(int32_t i) override;
};

// Interface sounds: rows of the sound table played at a screen point (or
// the centre without one). The sound system fills this in; tests record.
class UiSoundPlayer {
public:
    virtual ~UiSoundPlayer() = default;
    // True when the sound was started.
    virtual bool PlayUiSound(int32_t row, const UiPoint* at) = 0;
};

class NullUiSoundPlayer : public UiSoundPlayer {
public:
    bool PlayUiSound(int32_t, const UiPoint*) override { return false; }
};

// The interface sound rows.
inline constexpr int32_t kUiSoundOkay = 0;
inline constexpr int32_t kUiSoundCancel = 1;
inline constexpr int32_t kUiSoundClick = 2;
