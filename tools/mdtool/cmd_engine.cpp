// mdtool engine demo: draws the engine's test scene off-screen on the GL or
// the Null device and writes the back buffer as a PNG screenshot.
#include "tools/mdtool/command.h"
#include "tools/mdtool/png_encode.h"

#include "engine/demo_scene.h"
#include "engine/display_mode.h"
#include "engine/frame.h"
#include "engine/viewport.h"
#include "platform/file.h"
#include "platform/null_render_device.h"
#include "platform/video/gl_render_device.h"
#include "platform/video/window.h"

#include <cstdio>
#include <cstdlib>
#include <memory>

namespace mdtool {
namespace {

constexpr const char* kEngineUsage = "engine demo --out FILE.png [--size WxH] [--gl|--null] [--data DIR]";

int RunDemo(const Args& args) {
    std::string out, data = "gamedata";
    int32_t width = 1024, height = 768;
    bool gl = true;
    for (size_t i = 1; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--gl" || a == "--null") {
            gl = a == "--gl";
        } else if ((a == "--out" || a == "--size" || a == "--data") && i + 1 < args.size()) {
            const std::string& v = args[++i];
            if (a == "--out")
                out = v;
            else if (a == "--data")
                data = v;
            else if (std::sscanf(v.c_str(), "%dx%d", &width, &height) != 2)
                return Usage(kEngineUsage);
        } else {
            return Usage(kEngineUsage);
        }
    }
    if (out.empty())
        return Usage(kEngineUsage);

    std::string error;
    if (!Engine::DemoScene::MountInstallation(data, error))
        return Fail(error);

    // The GL device draws into a hidden window of the off-screen video
    // driver unless the caller chose another driver.
    plat::Window window;
    std::unique_ptr<plat::RenderDevice> device;
    if (gl) {
        plat::PreferOffscreenVideo();
        if (!window.Open("Marrowdale engine demo", width, height, false, true))
            return Fail(window.Error());
        device = plat::MakeGlRenderDevice(window, &error);
        if (!device)
            return Fail(error);
    } else {
        device = plat::MakeNullRenderDevice();
    }

    // Small textures, so that the scene's large picture is cut into a grid.
    plat::RenderCaps caps = device->Caps();
    caps.maxTextureWidth = caps.maxTextureHeight = 256;
    if (gl)
        static_cast<plat::GlRenderDevice*>(device.get())->SetCaps(caps);
    else
        static_cast<plat::NullRenderDevice*>(device.get())->SetCaps(caps);

    const DisplayMode mode{width, height, 16, 60, 0};
    if (!Engine::EngineInit(device.get(), {}, mode))
        return Fail("the engine does not start in " + std::to_string(width) + "x" + std::to_string(height) +
                    " (sizes: 640x480, 800x600, 1024x768, 1152x864, 1280x960, 1280x1024)");
    Viewport::SetMainRect({0, 0, width, height});
    Engine::DemoScene::CentreView();
    Engine::SetMousePosition(width / 2, height / 2);
    *Engine::StatsOverlayFlag() = 1;

    Engine::DemoScene scene;
    bool drawn = scene.Load(error);
    if (drawn && !Engine::BeginFrame())
        drawn = false, error = "the frame could not be opened";
    if (drawn && !scene.Draw())
        drawn = false, error = "parts of the scene could not be drawn";
    if (drawn && !Engine::PresentFrame())
        drawn = false, error = "the frame could not be presented";
    std::vector<uint32_t> pixels;
    const bool read = device->ReadPixels(plat::RenderTarget::BackBuffer, {0, 0, width, height}, pixels);
    const plat::DeviceStats stats = device->Stats();
    scene.Release();
    Engine::ReleaseEngine();
    device.reset();
    window.Close();
    if (!drawn)
        return Fail(error.empty() ? "the scene could not be drawn" : error);
    if (!read)
        return Fail("cannot read the back buffer");

    std::vector<uint8_t> png;
    if (!EncodePngImage(pixels, width, height, png) ||
        !plat::WriteFileAtomically(out, png.data(), png.size()))
        return Fail("cannot write " + out);
    std::printf("%s: %dx%d on %s, %u draw calls, %u state changes, %u texture binds\n", out.c_str(), width,
                height, gl ? "OpenGL" : "Null", stats.drawCalls, stats.stateChanges, stats.textureBinds);
    return 0;
}

int RunEngine(const Args& args) {
    if (!args.empty() && args[0] == "demo")
        return RunDemo(args);
    return Usage(kEngineUsage);
}

MDTOOL_COMMAND("engine", kEngineUsage, RunEngine);

} // namespace
} // namespace mdtool
