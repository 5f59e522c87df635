#include "tools/mdtool/art_skin.h"

namespace mdtool::art {
namespace {

// Shades of the skin: a blue-grey panel, gold highlights.
constexpr uint32_t kPanel = 0xFF2E3A48, kPanelLight = 0xFF4A5C70, kPanelDark = 0xFF1A222C;
constexpr uint32_t kFace = 0xFF506A86, kFacePressed = 0xFF3A4E64, kFaceHover = 0xFF6A88A8,
                   kFaceOff = 0xFF5A5E64;
constexpr uint32_t kGold = 0xFFE0B040, kWhite = 0xFFF0F0F0;

// A bevelled box filling frame n of a strip of frames h pixels high.
void Box(ArtImage& image, int32_t n, int32_t h, uint32_t fill, uint32_t light, uint32_t dark) {
    const int32_t top = n * h, w = image.Width();
    for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x) {
            uint32_t c = fill;
            if (y == 0 || x == 0)
                c = light;
            else if (y == h - 1 || x == w - 1)
                c = dark;
            image.Set(x, top + y, c);
        }
}

// The four looks of a face: normal, pressed, hover, disabled.
ArtImage Faces(int32_t w, int32_t h) {
    ArtImage image(w, 4 * h);
    const uint32_t fills[4] = {kFace, kFacePressed, kFaceHover, kFaceOff};
    for (int32_t n = 0; n < 4; ++n)
        Box(image, n, h, fills[n], n == 1 ? kPanelDark : kPanelLight, n == 1 ? kPanelLight : kPanelDark);
    return image;
}

void Triangle(ArtImage& image, int32_t n, int32_t size, bool up, uint32_t colour) {
    const float top = float(n * size), s = float(size);
    const std::vector<Point> shape =
        up ? std::vector<Point>{{s / 2, top + 4}, {s - 4, top + s - 5}, {4, top + s - 5}}
           : std::vector<Point>{{4, top + 5}, {s - 4, top + 5}, {s / 2, top + s - 4}};
    image.FillPolygon(shape, colour);
}

} // namespace

std::vector<std::pair<std::string, ArtImage>> PaintInterfaceSkin() {
    std::vector<std::pair<std::string, ArtImage>> images;
    auto add = [&](const char* name, ArtImage image) {
        images.emplace_back(std::string("gfx_uif/") + name, std::move(image));
    };

    ArtImage dialog(560, 420);
    Box(dialog, 0, 420, kPanel, kPanelLight, kPanelDark);
    add("ui_dialog.tga", std::move(dialog));

    ArtImage title(560, 48);
    Box(title, 0, 24, 0xFF24548C, kPanelLight, kPanelDark);
    Box(title, 1, 24, 0xFF3C4650, kPanelLight, kPanelDark);
    add("ui_title.tga", std::move(title));

    ArtImage small = Faces(16, 16);
    for (int32_t n = 0; n < 4; ++n)
        for (int32_t i = 4; i < 12; ++i) {
            small.Set(i, n * 16 + i, kWhite);
            small.Set(15 - i, n * 16 + i, kWhite);
        }
    add("ui_button_small.tga", std::move(small));
    add("ui_button.tga", Faces(120, 30));

    // Check boxes: empty, pressed checked, hover, disabled, checked,
    // pressed empty, checked hover, disabled checked.
    ArtImage box(16, 128);
    const uint32_t boxFills[8] = {kFace, kFacePressed, kFaceHover, kFaceOff,
                                  kFace, kFacePressed, kFaceHover, kFaceOff};
    const bool checks[8] = {false, true, false, false, true, false, true, true};
    for (int32_t n = 0; n < 8; ++n) {
        Box(box, n, 16, boxFills[n], kPanelLight, kPanelDark);
        if (checks[n])
            box.FillPolygon({{3, float(n * 16) + 8},
                             {6, float(n * 16) + 11},
                             {13, float(n * 16) + 4},
                             {13, float(n * 16) + 6},
                             {6, float(n * 16) + 13},
                             {3, float(n * 16) + 10}},
                            kGold);
    }
    add("ui_checkbox.tga", std::move(box));

    ArtImage edit(240, 88);
    const uint32_t editFills[4] = {0xFF101820, 0xFF182838, 0xFF142030, 0xFF303030};
    for (int32_t n = 0; n < 4; ++n)
        Box(edit, n, 22, editFills[n], kPanelDark, kPanelLight);
    add("ui_edit.tga", std::move(edit));
    add("ui_caret.tga", ArtImage(2, 16, kGold));

    ArtImage bar(240, 16);
    Box(bar, 0, 16, kPanelDark, kPanelDark, kPanelLight);
    add("ui_bar.tga", std::move(bar));
    ArtImage fill(240, 16);
    Box(fill, 0, 16, 0xFF3C9040, 0xFF60C060, 0xFF206020);
    add("ui_bar_fill.tga", std::move(fill));

    ArtImage track(16, 96);
    Box(track, 0, 96, kPanelDark, kPanelDark, kPanelLight);
    add("ui_track.tga", std::move(track));
    // Knob pieces of 14 x 6: head, middle and tail, four looks each.
    ArtImage knob(14, 72);
    const uint32_t knobFills[4] = {kFace, kFacePressed, kFaceHover, kFaceOff};
    for (int32_t piece = 0; piece < 3; ++piece)
        for (int32_t look = 0; look < 4; ++look) {
            const int32_t n = piece * 4 + look, top = n * 6;
            for (int32_t y = 0; y < 6; ++y)
                for (int32_t x = 0; x < 14; ++x) {
                    const bool edge = x == 0 || x == 13 || (piece == 0 && y == 0) || (piece == 2 && y == 5);
                    knob.Set(x, top + y, edge ? kPanelLight : knobFills[look]);
                }
        }
    add("ui_knob.tga", std::move(knob));

    ArtImage up = Faces(16, 16), down = Faces(16, 16);
    for (int32_t n = 0; n < 4; ++n) {
        Triangle(up, n, 16, true, kWhite);
        Triangle(down, n, 16, false, kWhite);
    }
    add("ui_arrow_up.tga", std::move(up));
    add("ui_arrow_down.tga", std::move(down));

    // List rows: normal, selected, hover, disabled.
    ArtImage row(224, 96);
    const uint32_t rowFills[4] = {0xFF222C38, 0xFF5A4818, 0xFF30404E, 0xFF2A2A2A};
    for (int32_t n = 0; n < 4; ++n)
        Box(row, n, 24, rowFills[n], rowFills[n], kPanelDark);
    add("ui_row.tga", std::move(row));
    add("ui_combo.tga", Faces(160, 24));

    ArtImage spinTrack(200, 40);
    for (int32_t n = 0; n < 2; ++n) {
        for (int32_t y = 0; y < 20; ++y)
            for (int32_t x = 0; x < 200; ++x)
                spinTrack.Set(x, n * 20 + y, y >= 8 && y < 12 ? (n == 0 ? kGold : kFaceOff) : 0x40000000);
    }
    add("ui_spin_track.tga", std::move(spinTrack));
    add("ui_spin_knob.tga", Faces(10, 16));
    add("ui_tab.tga", Faces(80, 24));

    ArtImage view(60, 60);
    view.FillShape(0, 0, 60, 60, 0xFF406080,
                   [](float x, float y) { return (int(x) / 10 + int(y) / 10) % 2 == 0; });
    view.FillShape(0, 0, 60, 60, 0xFF304860,
                   [](float x, float y) { return (int(x) / 10 + int(y) / 10) % 2 == 1; });
    add("ui_view.tga", std::move(view));

    // The tooltip box: nine cells of 6 x 6, corners, edges and the middle.
    ArtImage tip(6, 54);
    for (int32_t n = 0; n < 9; ++n)
        for (int32_t y = 0; y < 6; ++y)
            for (int32_t x = 0; x < 6; ++x) {
                const bool edge = (n / 3 == 0 && y == 0) || (n / 3 == 2 && y == 5) ||
                                  (n % 3 == 0 && x == 0) || (n % 3 == 2 && x == 5);
                tip.Set(x, n * 6 + y, edge ? kGold : 0xE0101820);
            }
    add("ui_tooltip.tga", std::move(tip));
    return images;
}

} // namespace mdtool::art
