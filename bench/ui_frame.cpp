// The interface's share of a frame: loading every shipped layout (beside
// reading the same files), and one frame of 20 open dialogs whose lists hold
// 10 000 rows each (beside the bare draw calls such a frame makes).
#include "files/file_location_hooks.h"
#include "files/virtual_file_system.h"
#include "ui/dialog_manager.h"
#include "ui/widgets/list_box.h"

#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>
#include <vector>

namespace {

// Measures as the engine would and counts the draws instead of queueing them.
class CountingPainter : public UiPainter {
public:
    bool ImageSize(std::string_view image, int32_t frames, UiImageSize& size) override {
        if (image.empty() || frames < 1)
            return false;
        size = {64, 24};
        return true;
    }
    uint32_t ImagePixel(std::string_view, int32_t, int32_t, const UiRect& placed, UiPoint point) override {
        return placed.Contains(point) ? 0xFF000000u : 0;
    }
    void DrawImageFrame(int32_t, std::string_view, int32_t, int32_t, const UiRect&, uint32_t) override {
        ++draws;
    }
    void DrawImageRegion(int32_t, std::string_view, int32_t, const UiRect&, const UiRect&,
                         uint32_t) override {
        ++draws;
    }
    void DrawText(int32_t, int32_t, UiPoint, uint32_t, std::string_view text) override {
        draws += 1 + text.empty();
    }
    int32_t TextWidth(int32_t, std::string_view text) override { return int32_t(text.size()) * 7; }
    int32_t TextHeight(int32_t) override { return 12; }
    void FillRect(int32_t, const UiRect&, uint32_t) override { ++draws; }
    int64_t draws = 0;
};

std::vector<std::string> ShippedLayouts() {
    std::vector<std::string> names;
    for (const auto& entry :
         std::filesystem::directory_iterator(std::string(MD_SOURCE_DIR) + "/gamedata/uif"))
        names.push_back(entry.path().stem().string());
    return names;
}

void Mount() {
    static const bool mounted = [] {
        RegisterStandardSourceTypes();
        VfsAddSource("file", std::string(MD_SOURCE_DIR) + "/gamedata");
        VfsAddVirtualDir("uif", "uif");
        return true;
    }();
    (void)mounted;
}

void ReferenceReadShippedLayouts(benchmark::State& state) {
    Mount();
    const std::vector<std::string> names = ShippedLayouts();
    for (auto _ : state) {
        for (const std::string& name : names) {
            RefPtr<VfsFile> file = VfsOpen("uif/" + name + ".uif", kAccessRead, kOpenExisting);
            std::string text(file ? file->Size() : 0, '\0');
            if (file)
                file->Read(uint32_t(text.size()), text.data(), nullptr);
            benchmark::DoNotOptimize(text.data());
        }
    }
}
BENCHMARK(ReferenceReadShippedLayouts)->Unit(benchmark::kMicrosecond);

void LoadShippedLayouts(benchmark::State& state) {
    Mount();
    const std::vector<std::string> names = ShippedLayouts();
    CountingPainter painter;
    MouseInput mouse;
    HandlerRegistry registry;
    for (auto _ : state) {
        DialogManager manager;
        manager.SetPainter(&painter);
        manager.SetMouse(&mouse);
        manager.SetRegistry(&registry);
        for (const std::string& name : names)
            benchmark::DoNotOptimize(manager.LoadLayout(name));
    }
}
BENCHMARK(LoadShippedLayouts)->Unit(benchmark::kMicrosecond);

// Twenty demonstration dialogs, every list filled with 10 000 rows.
struct Desk {
    CountingPainter painter;
    MouseInput mouse;
    HandlerRegistry registry;
    DialogManager manager;

    Desk() {
        Mount();
        manager.SetPainter(&painter);
        manager.SetMouse(&mouse);
        manager.SetRegistry(&registry);
        manager.SetScreenSize(1024, 768);
        for (int d = 0; d < 20; ++d) {
            manager.LoadLayout("UIF_WidgetDemo");
            Dialog* dialog = manager.GetTopDialog();
            for (int32_t i = 0; i < dialog->GetControlCount(); ++i) {
                if (auto* list = dialog->GetControlAs<ListBox>(i)) {
                    for (int r = 0; r < 10000; ++r) {
                        ListRowTexts row;
                        row.text = "Row " + std::to_string(r) + " of the list";
                        list->AddRow(row);
                    }
                }
            }
        }
        mouse.RecordMove({400, 300}, 0);
    }
    void Frame() {
        manager.TakeInputSnapshot();
        manager.UpdateDialogs();
        manager.DrawDialogs();
        mouse.ConsumeMouseEvents();
    }
};

void FrameOfTwentyDialogs(benchmark::State& state) {
    Desk desk;
    desk.Frame();
    for (auto _ : state)
        desk.Frame();
    state.counters["draws"] = double(desk.painter.draws) / double(state.iterations() + 1);
}
BENCHMARK(FrameOfTwentyDialogs)->Unit(benchmark::kMicrosecond);

// The same number of draw calls, made directly.
void ReferenceDrawCallsOfTheFrame(benchmark::State& state) {
    Desk desk;
    desk.Frame();
    const int64_t draws = desk.painter.draws;
    CountingPainter counting;
    UiPainter* painter = &counting;
    benchmark::DoNotOptimize(painter);
    for (auto _ : state) {
        for (int64_t i = 0; i < draws; ++i)
            painter->DrawImageFrame(0, "ui_row.tga", 4, 0, {0, 0, 10, 10}, 0xFFFFFFFF);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(ReferenceDrawCallsOfTheFrame)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
