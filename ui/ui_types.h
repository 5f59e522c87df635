// Small geometry types of the interface: whole-number points and rectangles
// (left, top, right, bottom; right and bottom exclusive).
#pragma once

#include <cstdint>

struct UiPoint {
    int32_t x = 0;
    int32_t y = 0;

    friend bool operator==(const UiPoint&, const UiPoint&) = default;
};

struct UiRect {
    int32_t left = 0;
    int32_t top = 0;
    int32_t right = 0;
    int32_t bottom = 0;

    int32_t Width() const { return right - left; }
    int32_t Height() const { return bottom - top; }
    bool IsEmpty() const { return right <= left || bottom <= top; }
    bool Contains(UiPoint p) const { return p.x >= left && p.x < right && p.y >= top && p.y < bottom; }
    void Offset(int32_t dx, int32_t dy) {
        left += dx;
        right += dx;
        top += dy;
        bottom += dy;
    }

    friend bool operator==(const UiRect&, const UiRect&) = default;
};
