// mdtool ui: reads a ".uif" layout and lists the widgets it makes, or says
// why the game would refuse it; draws its dialog off-screen as the game does;
// writes the bitmap use report of a folder.
#include "tools/mdtool/command.h"
#include "tools/mdtool/png_encode.h"

#include "data/file_locations.h"
#include "engine/demo_scene.h"
#include "engine/display_mode.h"
#include "engine/font_manager.h"
#include "engine/frame.h"
#include "engine/graphic_sets.h"
#include "engine/viewport.h"
#include "files/virtual_file_system.h"
#include "platform/file.h"
#include "platform/null_render_device.h"
#include "platform/video/gl_render_device.h"
#include "platform/video/window.h"
#include "ui/bitmap_report.h"
#include "ui/dialog_manager.h"
#include "ui/layout_files.h"
#include "ui/layout_reader.h"

#include <cstdio>
#include <filesystem>
#include <memory>

namespace mdtool {
namespace {

constexpr const char* kUiUsage =
    "ui check FILE.uif | ui shot FILE.uif --out F.png [--gl|--null] [--data DIR]";

void PrintWidget(int32_t number, const LayoutWidget& widget) {
    const UifLayoutRecord& r = widget.record;
    if (number >= 0)
        std::printf("%3d", int(number));
    else
        std::printf("  -");
    std::printf("  %-12s %-24s id %-4d (%d, %d, %d, %d)", WidgetKindName(widget.kind),
                Printable(r.Keyword).c_str(), int(r.Id), int(r.Rect.left), int(r.Rect.top), int(r.Rect.right),
                int(r.Rect.bottom));
    if (!r.Handler.empty())
        std::printf("  handler %s", Printable(r.Handler).c_str());
    if (!r.OpenLayout.empty())
        std::printf("  opens %s", Printable(r.OpenLayout).c_str());
    if (!widget.rowSlots.empty())
        std::printf("  rows %zu", widget.rowSlots.size() + 1);
    std::printf("\n");
}

// Draws the layout's dialog as the game shows it, off-screen, and writes
// the picture; two frames, so that tabs have loaded their pages.
int RunShot(const Args& args) {
    std::string out, data = "gamedata";
    bool gl = true;
    for (size_t i = 2; i < args.size(); ++i) {
        if (args[i] == "--gl" || args[i] == "--null")
            gl = args[i] == "--gl";
        else if ((args[i] == "--out" || args[i] == "--data") && i + 1 < args.size())
            (args[i] == "--out" ? out : data) = args[i + 1], ++i;
        else
            return Usage(kUiUsage);
    }
    if (out.empty())
        return Usage(kUiUsage);
    const std::filesystem::path file(args[1]);
    std::string error;
    if (!Engine::DemoScene::MountInstallation(data, error))
        return Fail(error);
    // The layout's own folder comes first, so that it and its pages are found.
    const std::string folder = std::filesystem::absolute(file).parent_path().string();
    if (!VfsAddSource("file", folder) || !VfsAddVirtualDir("uif", "") || !VfsAddVirtualDir("uif", "uif"))
        return Fail("cannot use the folder " + folder);
    TexturesTable::SetVirtualDirName(GraphicSets::kInterfaceKind, "gfx_uif");
    FontManager::SetDefinitionFile(data + "/config/fonts.xml");

    constexpr int32_t kWidth = 1024, kHeight = 768;
    plat::Window window;
    std::unique_ptr<plat::RenderDevice> device;
    if (gl) {
        plat::PreferOffscreenVideo();
        if (!window.Open("Marrowdale layout", kWidth, kHeight, false, true))
            return Fail(window.Error());
        device = plat::MakeGlRenderDevice(window, &error);
        if (!device)
            return Fail(error);
    } else {
        device = plat::MakeNullRenderDevice();
    }
    if (!Engine::EngineInit(device.get(), {}, DisplayMode{kWidth, kHeight, 16, 60, 0}))
        return Fail("the engine does not start");
    Viewport::SetMainRect({0, 0, kWidth, kHeight});
    *Engine::StatsOverlayFlag() = 0;
    FontManager::Init(true);

    DialogManager& manager = DialogManager::Program();
    manager.SetScreenSize(kWidth, kHeight);
    const std::string name = LayoutBaseName(file.filename().string());
    bool drawn = manager.LoadLayout(name);
    if (!drawn)
        error = "the layout cannot be loaded (see the debug log)";
    manager.OpenDialog(name);
    for (int frame = 0; drawn && frame < 2; ++frame) {
        drawn = Engine::BeginFrame();
        manager.TakeInputSnapshot();
        manager.UpdateDialogs();
        manager.DrawDialogs();
        drawn = drawn && Engine::PresentFrame();
        if (!drawn)
            error = "the frame could not be drawn";
    }
    std::vector<uint32_t> pixels;
    const bool read =
        drawn && device->ReadPixels(plat::RenderTarget::BackBuffer, {0, 0, kWidth, kHeight}, pixels);
    manager.DestroyAllDialogs();
    Engine::ReleaseEngine();
    device.reset();
    window.Close();
    if (!drawn)
        return Fail(error);
    if (!read)
        return Fail("cannot read the back buffer");
    std::vector<uint8_t> png;
    if (!EncodePngImage(pixels, kWidth, kHeight, png) ||
        !plat::WriteFileAtomically(out, png.data(), png.size()))
        return Fail("cannot write " + out);
    std::printf("%s: %s on %s\n", out.c_str(), name.c_str(), gl ? "OpenGL" : "Null");
    return 0;
}

// The bitmap use report of a folder: Used_bitmaps.txt, unused images renamed.
int RunBitmaps(const Args& args) {
    BitmapReport report;
    std::string error;
    if (!WriteBitmapUseReport(args[1], report, error))
        return Fail(error);
    for (const std::string& skipped : report.skipped)
        std::fprintf(stderr, "mdtool: %s\n", Printable(skipped).c_str());
    std::printf("%zu images in use, %zu renamed as unused\n", report.counts["All"].size(),
                report.renamed.size());
    return 0;
}

int RunUi(const Args& args) {
    if (args.size() >= 2 && args[0] == "shot")
        return RunShot(args);
    if (args.size() == 2 && args[0] == "bitmaps")
        return RunBitmaps(args);
    if (args.size() != 2 || args[0] != "check")
        return Usage(kUiUsage);
    std::error_code error;
    const auto size = std::filesystem::file_size(args[1], error);
    if (error)
        return Fail(args[1] + ": cannot be read");
    if (size > kMaxLayoutFileSize)
        return Fail(args[1] + ": file larger than " + std::to_string(kMaxLayoutFileSize) + " bytes");
    std::string text;
    if (!plat::ReadWholeFile(args[1], text))
        return Fail(args[1] + ": cannot be read");
    LayoutPlan plan;
    std::string reason;
    if (!ReadLayoutText(text, plan, reason))
        return Fail(args[1] + ": " + reason);
    for (size_t i = 0; i < plan.widgets.size(); ++i)
        PrintWidget(int32_t(i), plan.widgets[i]);
    if (plan.hasMinimiseButton)
        PrintWidget(-1, plan.minimiseButton);
    return 0;
}

MDTOOL_COMMAND("ui", kUiUsage, RunUi);

} // namespace
} // namespace mdtool
