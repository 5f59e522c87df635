#include "tools/mdtool/art_image.h"

#include <algorithm>

namespace mdtool::art {

ArtImage::ArtImage(int32_t width, int32_t height, uint32_t fill)
    : width_(width), height_(height), pixels_(size_t(width) * size_t(height), fill) {}

void ArtImage::Set(int32_t x, int32_t y, uint32_t argb) {
    if (x >= 0 && y >= 0 && x < width_ && y < height_)
        pixels_[size_t(y) * width_ + x] = argb;
}

void ArtImage::Blend(int32_t x, int32_t y, uint32_t argb, float coverage) {
    if (x < 0 || y < 0 || x >= width_ || y >= height_ || coverage <= 0)
        return;
    uint32_t& d = pixels_[size_t(y) * width_ + x];
    const float sa = float(argb >> 24) / 255.0f * std::min(coverage, 1.0f);
    const float da = float(d >> 24) / 255.0f;
    const float oa = sa + da * (1 - sa);
    uint32_t out = uint32_t(oa * 255.0f + 0.5f) << 24;
    for (int shift = 0; shift < 24; shift += 8) {
        const float sc = float((argb >> shift) & 0xFF), dc = float((d >> shift) & 0xFF);
        const float c = oa > 0 ? (sc * sa + dc * da * (1 - sa)) / oa : 0;
        out |= uint32_t(std::clamp(c + 0.5f, 0.0f, 255.0f)) << shift;
    }
    d = out;
}

void ArtImage::FillShape(int32_t left, int32_t top, int32_t right, int32_t bottom, uint32_t argb,
                         const std::function<bool(float, float)>& inside) {
    left = std::max(left, 0);
    top = std::max(top, 0);
    right = std::min(right, width_);
    bottom = std::min(bottom, height_);
    for (int32_t y = top; y < bottom; ++y)
        for (int32_t x = left; x < right; ++x) {
            int hits = 0;
            for (int sy = 0; sy < 4; ++sy)
                for (int sx = 0; sx < 4; ++sx)
                    hits += inside(float(x) + (float(sx) + 0.5f) / 4, float(y) + (float(sy) + 0.5f) / 4);
            if (hits > 0)
                Blend(x, y, argb, float(hits) / 16.0f);
        }
}

bool InsidePolygon(const std::vector<Point>& p, float x, float y) {
    bool in = false;
    for (size_t i = 0, j = p.size() - 1; i < p.size(); j = i++) {
        if ((p[i].y > y) != (p[j].y > y) && x < (p[j].x - p[i].x) * (y - p[i].y) / (p[j].y - p[i].y) + p[i].x)
            in = !in;
    }
    return in;
}

void ArtImage::FillPolygon(const std::vector<Point>& polygon, uint32_t argb) {
    float l = 1e9f, t = 1e9f, r = -1e9f, b = -1e9f;
    for (const Point& p : polygon) {
        l = std::min(l, p.x), t = std::min(t, p.y), r = std::max(r, p.x), b = std::max(b, p.y);
    }
    FillShape(int32_t(l) - 1, int32_t(t) - 1, int32_t(r) + 2, int32_t(b) + 2, argb,
              [&](float x, float y) { return InsidePolygon(polygon, x, y); });
}

void ArtImage::Paste(const ArtImage& other, int32_t x, int32_t y) {
    for (int32_t j = 0; j < other.height_; ++j)
        for (int32_t i = 0; i < other.width_; ++i)
            Set(x + i, y + j, other.At(i, j));
}

float Noise(int32_t x, int32_t y, uint32_t seed) {
    uint32_t h = uint32_t(x) * 374761393u + uint32_t(y) * 668265263u + seed * 2246822519u;
    h = (h ^ (h >> 13)) * 1274126177u;
    h ^= h >> 16;
    return float(h & 0xFFFFFF) / 16777216.0f;
}

} // namespace mdtool::art
