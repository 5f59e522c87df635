// The drawing device the engine renders through: textures with CPU copies,
// resolved render states, screen-space vertices, two render targets (the back
// buffer and a spare picture), presentation with a gamma ramp, and reading the
// picture back. Backends: OpenGL (platform/video) and Null (records calls).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace plat {

// Texture pixel formats, numbered as the engine's format table (0 to 5).
enum class PixelFormat : uint8_t {
    Argb4444 = 0,
    Argb8888 = 1,
    Argb1555 = 2,
    Rgb565 = 3,
    Rgb555 = 4,
    Xrgb8888 = 5,
};
constexpr int kPixelFormatCount = 6;

// 2 for the 16-bit formats, 4 for the 32-bit ones.
int BytesPerPixel(PixelFormat format);

// Pixel conversions between a format and ARGB 8888. Narrow channels widen
// to the nearest 8-bit value (31 -> 255) and narrow with rounding; a format
// without alpha reads as alpha 255.
uint32_t NativeToArgb(PixelFormat format, uint32_t pixel);
uint32_t ArgbToNative(PixelFormat format, uint32_t argb);

// Texture 0 is "no texture"; the device never hands it out.
using TextureId = uint32_t;
constexpr TextureId kNoTexture = 0;

// A screen-space vertex: x, y in pixels with pixel centres on the integers
// (the GL backend shifts by half a pixel), z = 0, rhw = 1, ARGB colour and two
// texture coordinate sets. 36 bytes, laid out as the engine's vertex. Fields
// not set are zero, so a quad of one texture sends defined second
// coordinates.
struct RenderVertex {
    float x = 0, y = 0, z = 0, rhw = 0;
    uint32_t color = 0;
    float u1 = 0, v1 = 0, u2 = 0, v2 = 0;
};
static_assert(sizeof(RenderVertex) == 36);

enum class Primitive : uint8_t { TriangleList, TriangleStrip, PointList, LineList, LineStrip };

// Right and bottom are exclusive.
struct DeviceRect {
    int32_t left = 0, top = 0, right = 0, bottom = 0;
    int32_t Width() const { return right - left; }
    int32_t Height() const { return bottom - top; }
    friend bool operator==(const DeviceRect&, const DeviceRect&) = default;
};

struct DevicePoint {
    int32_t x = 0, y = 0;
    friend bool operator==(const DevicePoint&, const DevicePoint&) = default;
};

// Clips a copy of `from` (inside a source of sourceW x sourceH) placed at
// `at` against the destination rectangle `limit`; false when nothing is left.
bool ClipCopyRect(DevicePoint& at, DeviceRect& from, int32_t sourceW, int32_t sourceH,
                  const DeviceRect& limit);

// The back buffer is where every frame is drawn; the spare target keeps a
// finished picture for scrolling.
enum class RenderTarget : uint8_t { BackBuffer, Spare };

enum class BlendFactor : uint8_t { Zero, One, SrcAlpha, InvSrcAlpha, DestColor };
enum class CompareFunc : uint8_t { Never, Less, Equal, LessEqual, Greater, NotEqual, GreaterEqual, Always };

// One whole render configuration, as the engine resolves it from its state
// block index and the device capabilities. Texture modes:
//   0  vertex colour only;
//   1  texture 0 on the first coordinates;
//   2  colour of texture 0 on the first coordinates, alpha of texture 1 on
//      the second coordinates;
//   3  as 2 with both textures on the first coordinates.
// tint combines the texture with the vertex colour: multiplied, or with
// tintAdd the vertex RGB added (saturating) while alpha stays the texture's.
// Filtering and addressing apply to stages 0 and 1.
struct RenderState {
    bool blendEnable = false;
    BlendFactor srcBlend = BlendFactor::One;
    BlendFactor dstBlend = BlendFactor::Zero;
    bool alphaTestEnable = false;
    CompareFunc alphaFunc = CompareFunc::Always;
    uint8_t alphaRef = 0;
    bool linearFilter = false;
    uint8_t textureMode = 0;
    bool tint = false;
    bool tintAdd = false;
    bool wrap = false;
    friend bool operator==(const RenderState&, const RenderState&) = default;
};

// Alpha comparisons a device supports, as bits (1 << CompareFunc).
constexpr uint32_t AlphaCompareBit(CompareFunc f) {
    return 1u << static_cast<unsigned>(f);
}
constexpr uint32_t kAllAlphaCompares = 0xFF;

struct RenderCaps {
    int32_t maxTextureWidth = 2048;
    int32_t maxTextureHeight = 2048;
    bool pow2Only = true;            // texture sizes must be powers of two
    bool squareOnly = false;         // textures must be square
    bool nonPow2Conditional = false; // non-power-of-two allowed with limits
    uint32_t alphaCompares = kAllAlphaCompares;
    bool canRenderWindowed = true;
    bool canRender32 = true;
    bool hasGamma = true;
};

// Back-buffer set-up: size, 16 (RGB 565) or 32 (XRGB 8888) bits, and whether
// the window fills the desktop. Refresh is kept for the record only.
struct VideoMode {
    int32_t width = 1024;
    int32_t height = 768;
    int32_t bitDepth = 16;
    int32_t refreshRate = 60;
    bool fullScreen = false;
    friend bool operator==(const VideoMode&, const VideoMode&) = default;
};

// Three 256-entry ramps, 16 bits an entry; identity is i * 257.
struct GammaRamp {
    std::array<uint16_t, 256> red{}, green{}, blue{};
    static GammaRamp Identity();
};

// Direct access to a texture's CPU copy, in its own pixel format.
struct TextureLock {
    uint8_t* pixels = nullptr;
    int32_t width = 0;
    int32_t height = 0;
    int32_t pitch = 0; // bytes per row
    PixelFormat format = PixelFormat::Argb8888;
};

// Per-frame counters; ResetStats clears them.
struct DeviceStats {
    uint32_t drawCalls = 0;
    uint32_t stateChanges = 0;
    uint32_t textureBinds = 0;
    uint32_t uploads = 0;
    uint32_t verticesDrawn = 0;
};

constexpr int kTextureStages = 3;

// Every call returns false (or kNoTexture) on failure with LastError() set;
// a failed call changes nothing. Calls come from one thread.
class RenderDevice {
public:
    virtual ~RenderDevice() = default;

    virtual const char* Name() const = 0;
    virtual const RenderCaps& Caps() const = 0;
    virtual const std::string& LastError() const = 0;

    // (Re)creates the back buffer and the spare target for the mode, both
    // cleared to black; textures survive. Drawing needs a mode.
    virtual bool SetMode(const VideoMode& mode) = 0;
    virtual const VideoMode& Mode() const = 0;

    // Textures. The device keeps a CPU copy of every texture in its format,
    // zeroed at creation; Lock gives it, Unlock sends the changed rows on.
    // A colour key (a native pixel value) makes matching texels transparent:
    // keyed blits skip them and draws see alpha 0 there.
    virtual TextureId CreateTexture(int32_t width, int32_t height, PixelFormat format) = 0;
    virtual void DestroyTexture(TextureId id) = 0;
    virtual bool LockTexture(TextureId id, TextureLock& lock) = 0;
    // dirty null means the whole texture changed.
    virtual bool UnlockTexture(TextureId id, const DeviceRect* dirty = nullptr) = 0;
    virtual bool SetColorKey(TextureId id, bool enabled, uint32_t nativeKey) = 0;
    // Copies rows of `pitch` bytes into the whole texture (Lock + copy + Unlock).
    virtual bool UploadTexture(TextureId id, const void* pixels, int32_t pitch);
    // The CPU copy, or null for an unknown id.
    virtual const TextureLock* TexturePixels(TextureId id) const = 0;

    // Drawing into the back buffer. Vertices are in back-buffer pixels; the
    // clip rectangle limits every draw, fill, copy and blit to the back buffer.
    virtual bool BeginScene() = 0;
    virtual bool EndScene() = 0;
    virtual bool ApplyState(const RenderState& state) = 0;
    virtual bool BindTexture(int stage, TextureId id) = 0; // id 0 unbinds
    virtual bool SetClip(const DeviceRect& rect) = 0;
    // indices may be null to draw the vertices in order.
    virtual bool Draw(Primitive prim, const RenderVertex* vertices, int32_t vertexCount,
                      const uint16_t* indices, int32_t indexCount) = 0;

    // Fills a rectangle of a target with an ARGB colour (alpha ignored).
    virtual bool Fill(RenderTarget target, const DeviceRect& rect, uint32_t argb) = 0;
    // Copies a rectangle between targets (or within one) without scaling.
    virtual bool Copy(RenderTarget dst, DevicePoint at, RenderTarget src, const DeviceRect& from) = 0;
    // Copies a rectangle of a texture onto a target without scaling or
    // blending; with useKey the texture's colour key leaves pixels unchanged.
    virtual bool Blit(RenderTarget dst, DevicePoint at, TextureId src, const DeviceRect& from,
                      bool useKey) = 0;

    // Waits until queued drawing has reached the back buffer.
    virtual bool Finish() = 0;
    // Shows the back buffer (scaled into the window, through the gamma ramp).
    virtual bool Present(bool vsync) = 0;
    virtual bool SetGamma(const GammaRamp& ramp) = 0;

    // Reads a rectangle of a target as ARGB 8888 (alpha 255), rows top down.
    virtual bool ReadPixels(RenderTarget target, const DeviceRect& rect, std::vector<uint32_t>& argb) = 0;

    virtual const DeviceStats& Stats() const = 0;
    virtual void ResetStats() = 0;
};

// The Null device: draws nothing, keeps texture copies and can record calls
// (see platform/null_render_device.h). Never fails unless told to.
std::unique_ptr<RenderDevice> MakeNullRenderDevice();

} // namespace plat
