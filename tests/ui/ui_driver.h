// A dialog manager of its own for tests: a painter that records what is
// drawn and knows images by name, a sound player that records, a mouse
// state, a handler registry and a scratch layout folder; `Frame` runs one
// frame as the game does.
#pragma once

#include "platform/clock.h"
#include "ui/dialog_manager.h"
#include "ui_fixture.h"

#include <map>
#include <string>
#include <vector>

class RecordingPainter : public UiPainter {
public:
    struct Image {
        int32_t width = 0, height = 0; // of the whole picture
        bool opaque = true;
    };
    struct Drawn {
        int32_t layer;
        std::string what; // image name or text
        int32_t frame;    // -1 for texts and fills
        UiRect target;
        uint32_t colour;
    };

    bool ImageSize(std::string_view image, int32_t frames, UiImageSize& size) override {
        auto it = images.find(std::string(image));
        if (it == images.end() || frames < 1)
            return false;
        size = {it->second.width, it->second.height / frames};
        return true;
    }
    uint32_t ImagePixel(std::string_view image, int32_t frames, int32_t n, const UiRect& placed,
                        UiPoint point) override {
        auto it = images.find(std::string(image));
        if (it == images.end() || !placed.Contains(point) || n < 0 || n >= frames)
            return 0;
        return it->second.opaque ? 0xFF000000u | uint32_t(n) : 0;
    }
    void DrawImageFrame(int32_t layer, std::string_view image, int32_t, int32_t n, const UiRect& target,
                        uint32_t colour) override {
        drawn.push_back({layer, std::string(image), n, target, colour});
    }
    void DrawImageRegion(int32_t layer, std::string_view image, int32_t, const UiRect& target, const UiRect&,
                         uint32_t colour) override {
        drawn.push_back({layer, std::string(image), 0, target, colour});
    }
    // Monospace: every character 6 pixels wide, 10 high.
    void DrawText(int32_t layer, int32_t, UiPoint at, uint32_t colour, std::string_view text) override {
        drawn.push_back(
            {layer, std::string(text), -1, {at.x, at.y, at.x + TextWidth(0, text), at.y + 10}, colour});
    }
    int32_t TextWidth(int32_t, std::string_view text) override { return int32_t(text.size()) * 6; }
    int32_t TextHeight(int32_t) override { return 10; }
    void FillRect(int32_t layer, const UiRect& rect, uint32_t colour) override {
        drawn.push_back({layer, "fill", -1, rect, colour});
    }

    const Drawn* Find(const std::string& what) const {
        for (const Drawn& d : drawn) {
            if (d.what == what)
                return &d;
        }
        return nullptr;
    }

    std::map<std::string, Image> images;
    std::vector<Drawn> drawn;
};

class RecordingSounds : public UiSoundPlayer {
public:
    bool PlayUiSound(int32_t row, const UiPoint*) override {
        rows.push_back(row);
        return true;
    }
    std::vector<int32_t> rows;
};

class UiDriver {
public:
    UiDriver() {
        plat::Clock::UseFake(1000);
        manager.SetPainter(&painter);
        manager.SetSoundPlayer(&sounds);
        manager.SetMouse(&mouse);
        manager.SetRegistry(&registry);
        manager.SetScreenSize(1024, 768);
        if (!install.MountFolder())
            throw std::runtime_error("cannot mount the scratch folder");
    }
    ~UiDriver() {
        manager.DestroyAllDialogs();
        plat::Clock::UseReal();
    }

    void WriteLayout(const std::string& name, const std::string& text) {
        install.Write("uif/" + name + ".uif", text);
    }

    void Move(int32_t x, int32_t y) { mouse.RecordMove({x, y}, 0); }
    void Press() { mouse.RecordPress(MouseInput::Button::Left, mouse.GetMousePos(), 0, kScreen); }
    void Release() { mouse.RecordRelease(MouseInput::Button::Left, mouse.GetMousePos(), 0, kScreen); }
    void Key(uint32_t key) { manager.SetUiKeyInput(key, 0); }
    // One frame: snapshot, dialog step, drawing, the frame's reset.
    void Frame() {
        plat::Clock::Advance(16);
        painter.drawn.clear();
        manager.TakeInputSnapshot();
        manager.UpdateDialogs();
        manager.DrawDialogs();
        mouse.ConsumeMouseEvents();
        manager.ClearUiKeyInput();
    }
    // Presses at the point for a frame and releases for another.
    void Click(int32_t x, int32_t y) {
        Move(x, y);
        Press();
        Frame();
        Release();
        Frame();
    }

    static constexpr UiRect kScreen{0, 0, 1024, 768};
    ScratchInstall install;
    RecordingPainter painter;
    RecordingSounds sounds;
    MouseInput mouse;
    HandlerRegistry registry;
    DialogManager manager;
};
