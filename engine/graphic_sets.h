// The sprite cache: every picture of the map and the interface found by its
// kind, number and frame under the graphics naming scheme, loaded once and
// kept; interface pictures by name; the mouse-cursor images.
//
// A request is built in one process-wide record by chained setters, and
// every fetch resets it: the fields to 0, the colour to none, the fallback
// loader to the default one. Main thread only.
#pragma once

#include "engine/engine_services.h"
#include "engine/graphic_set_texts.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

class TiledImage;

// The sprite cache's key: a graphic kind (a row of the Textures table) and
// number, the zoom variant, the frame, two selector fields and a colour
// sub-folder (255: none).
struct SpriteKey {
    uint16_t number = 0;
    uint8_t kind = 0;
    uint8_t variant = 0;
    uint8_t frame = 0;
    uint8_t fieldA = 0;
    uint8_t fieldB = 0;
    uint8_t colour = 255;

    uint32_t FirstWord() const { return number | uint32_t(kind) << 16 | uint32_t(variant) << 24; }
    int32_t SecondWord() const {
        return int32_t(frame | uint32_t(fieldA) << 8 | uint32_t(fieldB) << 16 | uint32_t(colour) << 24);
    }
    bool operator==(const SpriteKey&) const = default;
};

// Keys order by their second word as a signed number, then by the first.
struct SpriteKeyLess {
    bool operator()(const SpriteKey& a, const SpriteKey& b) const {
        if (a.SecondWord() != b.SecondWord())
            return a.SecondWord() < b.SecondWord();
        return a.FirstWord() < b.FirstWord();
    }
};

// Puts a picture (or none) into the slot; false asks the fetch to look for
// the file once more.
using SpriteLoader = bool (*)(TiledImage** slot);

class SpriteRequest {
public:
    SpriteRequest& SetFieldA(uint8_t a);
    SpriteRequest& SetFieldB(uint8_t b);
    SpriteRequest& SelectColour(uint8_t colour);
    // Null: a missing picture stays missing.
    SpriteRequest& SetFallbackLoader(SpriteLoader loader);

    SpriteKey key;
    SpriteLoader loader = nullptr;
    std::string foundFolder;
};

namespace GraphicSets {

inline constexpr int32_t kCursorCount = 11;
// The interface's graphic kind.
inline constexpr int32_t kInterfaceKind = 32;

SpriteRequest& Request();
SpriteRequest& SetFieldA(uint8_t a);
SpriteRequest& SetFieldB(uint8_t b);
SpriteRequest& SelectColour(uint8_t colour);
SpriteRequest& SetFallbackLoader(SpriteLoader loader);
// The loader every fetch falls back to unless told otherwise: the kind's
// "dummy.tga".
bool DefaultLoader(TiledImage** slot);

bool HasFrameFile(int32_t kind, int32_t number, int32_t frame);
bool HasSetFile(int32_t kind, int32_t number, int32_t frame);
// The exact pattern of the request for (kind, number, frame, variant); resets the request.
std::string GetFilePattern(int32_t kind, int32_t number, int32_t frame, int32_t variant);
std::string BuildFilePattern(int32_t kind, int32_t number, int32_t frame, int32_t variant, bool exact);

// Interface pictures by file name under the interface folder.
TiledImage* FetchByName(std::string_view name, int32_t frames);
// Cursor record n (0 to 10), loaded on first use; record 0 and numbers out
// of range are the empty record (the system arrow).
const CursorImage& GetCursor(int32_t n);
// The companion text of a cached sprite, or null.
const SpriteCompanionData* GetCompanion(const TiledImage* sprite);

// Rescales every cached sprite's zoomed metrics to the current viewport's
// zoom (only while viewport 0 is current).
void ApplyZoom();
void SetStamp(uint32_t interval);

void Init();
// Releases every cached sprite and empties the sprite cache.
void ReleaseAll();
void ClearNamesAndCursors();

// Cache sizes, for statistics and tests.
size_t CachedSpriteCount();
size_t CachedNameCount();

} // namespace GraphicSets

// The sprite for the request's fields and (kind, number, frame), or null.
TiledImage* SpriteFetch(int32_t kind, int32_t number, int32_t frame);
