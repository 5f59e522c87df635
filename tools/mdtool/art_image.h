// Pictures the art generator paints: ARGB pixels, row 0 at the top, with
// shapes drawn by 4 x 4 supersampled coverage so edges are smooth and the
// result is the same on every machine (no libm calls).
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

namespace mdtool::art {

inline constexpr uint32_t kKeyColour = 0x00FF00FF; // magenta with alpha 0

struct Point {
    float x, y;
};

class ArtImage {
public:
    ArtImage(int32_t width, int32_t height, uint32_t fill = 0);

    int32_t Width() const { return width_; }
    int32_t Height() const { return height_; }
    const std::vector<uint32_t>& Pixels() const { return pixels_; }
    uint32_t At(int32_t x, int32_t y) const { return pixels_[size_t(y) * width_ + x]; }
    void Set(int32_t x, int32_t y, uint32_t argb);
    // Paints `argb` over the pixel with the given coverage (0 to 1).
    void Blend(int32_t x, int32_t y, uint32_t argb, float coverage);
    // Fills the part of the rectangle's pixels inside the shape.
    void FillShape(int32_t left, int32_t top, int32_t right, int32_t bottom, uint32_t argb,
                   const std::function<bool(float, float)>& inside);
    void FillPolygon(const std::vector<Point>& polygon, uint32_t argb);
    // Copies another picture with its top-left corner at (x, y).
    void Paste(const ArtImage& other, int32_t x, int32_t y);

private:
    int32_t width_, height_;
    std::vector<uint32_t> pixels_;
};

bool InsidePolygon(const std::vector<Point>& polygon, float x, float y);

// A deterministic hash noise in [0, 1) for a pixel and a seed.
float Noise(int32_t x, int32_t y, uint32_t seed);

} // namespace mdtool::art
