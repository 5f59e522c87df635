// The interface demonstration window: the dialog of every widget kind, its
// lists and tree filled with sample rows, driven by the mouse and keyboard
// (typed text goes to the edit field), with the interface's click sounds,
// until the window is closed or the dialog's Cancel runs.
#include "app/ui_demo.h"
#include "data/database.h"
#include "data/file_locations.h"
#include "data/generated/economy_tables.h"
#include "engine/demo_scene.h"
#include "engine/display_mode.h"
#include "engine/font_manager.h"
#include "engine/frame.h"
#include "engine/graphic_sets.h"
#include "engine/viewport.h"
#include "files/virtual_file_system.h"
#include "platform/audio/sdl_mixer_audio.h"
#include "platform/clock.h"
#include "platform/file.h"
#include "platform/video/window.h"
#include "ui/dialog_manager.h"
#include "ui/ui_input.h"
#include "ui/ui_sounds.h"
#include "ui/widgets/list_box.h"
#include "ui/widgets/status_bar.h"
#include "ui/widgets/tree_list_box.h"
#include "view/sound_system.h"

#include <cstdio>
#include <cstring>
#include <deque>
#include <memory>
#include <string>

namespace {

bool quit = false;

void Report(const char* what, UifControl* control) {
    std::printf("%s%s%s\n", what, control ? " from " : "", control ? control->GetTypeName().c_str() : "");
    std::fflush(stdout);
}
void Okay(UifControl* c) {
    Report("Okay", c);
}
void Cancel(UifControl* c) {
    Report("Cancel", c);
    quit = true;
}
void Other(UifControl* c) {
    Report("handler", c);
}

void Fill(Dialog& dialog) {
    for (int32_t i = 0; i < dialog.GetControlCount(); ++i) {
        UifControl* control = dialog.GetControl(i);
        if (auto* list = dynamic_cast<ListBox*>(control)) {
            for (int r = 0; r < 30; ++r) {
                ListRowTexts row;
                row.text = "Row " + std::to_string(r + 1);
                list->AddRow(row);
            }
        } else if (auto* tree = dynamic_cast<TreeListBox*>(control)) {
            for (int g = 0; g < 4; ++g) {
                auto group = std::make_unique<TreeListItem>();
                group->text = "Group " + std::to_string(g + 1);
                group->backgroundCollapsed = group->backgroundExpanded = "ui_row.tga";
                group->iconCollapsed = "ui_arrow_down.tga";
                group->iconExpanded = "ui_arrow_up.tga";
                group->iconRect = {2, 2, 18, 18};
                TreeListItem* parent = tree->AddItem(std::move(group));
                for (int k = 0; k < 3; ++k) {
                    auto item = std::make_unique<TreeListItem>();
                    item->text = "Item " + std::to_string(k + 1);
                    item->backgroundCollapsed = "ui_row.tga";
                    item->iconRect = {8, 2, 24, 18};
                    item->parent = parent;
                    tree->AddItem(std::move(item));
                }
            }
        } else if (auto* bar = dynamic_cast<StatusBar*>(control)) {
            bar->SetPercent(40);
        }
    }
}

// The game database's tables, for the sound rows the interface plays.
bool ReadGameTables(const std::string& data) {
    std::string text;
    Database db;
    db.Init();
    return plat::ReadWholeFile(data + "/config/MDConfig.gen", text) && db.Read(text) &&
           db.ApplyAllTables(KindSelector::All);
}

} // namespace

int RunUiDemo(int argc, char** argv) {
    std::string data = "gamedata";
    bool fullScreen = false;
    int32_t frames = -1; // run until closed
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--data") == 0 && i + 1 < argc)
            data = argv[++i];
        else if (std::strcmp(argv[i], "--fullscreen") == 0)
            fullScreen = true;
        else if (std::strcmp(argv[i], "--frames") == 0 && i + 1 < argc)
            frames = std::atoi(argv[++i]);
    }
    std::string error;
    if (!Engine::DemoScene::MountInstallation(data, error) || !VfsAddVirtualDir("uif", "uif")) {
        std::fprintf(stderr, "ui demo: %s\n", error.c_str());
        return 1;
    }
    TexturesTable::SetVirtualDirName(GraphicSets::kInterfaceKind, "gfx_uif");
    FontManager::SetDefinitionFile(data + "/config/fonts.xml");
    const DisplayMode mode{1024, 768, 16, 60, uint8_t(fullScreen ? 1 : 0)};
    plat::Window window;
    if (!window.Open("Marrowdale interface demo", mode.width, mode.height, fullScreen, false)) {
        std::fprintf(stderr, "ui demo: %s\n", window.Error().c_str());
        return 1;
    }
    std::unique_ptr<plat::RenderDevice> device = plat::MakeGlRenderDevice(window, &error);
    if (!device || !Engine::EngineInit(device.get(), {}, mode)) {
        std::fprintf(stderr, "ui demo: %s\n", error.empty() ? "the engine did not start" : error.c_str());
        return 1;
    }
    Viewport::SetMainRect({0, 0, mode.width, mode.height});
    FontManager::Init(true);

    HandlerRegistry& registry = HandlerRegistry::Program();
    const HandlerEntry handlers[] = {{"Okay", &Okay},    {"Cancel", &Cancel},     {"Toggle", &Other},
                                     {"Choose", &Other}, {"TextClicked", &Other}, {"Renamed", &Other},
                                     {"Pick", &Other},   {"Chosen", &Other},      {"Volume", &Other},
                                     {"Picked", &Other}, {"PageA", &Other},       {"PageB", &Other}};
    registry.RegisterTable("UIF_WidgetDemo", handlers);
    DialogManager& manager = DialogManager::Program();
    // The game tables give the interface sounds and the punctuation that
    // wrapped lines do not begin with.
    const bool tables = ReadGameTables(data);
    if (!tables)
        std::fprintf(stderr, "ui demo: the game tables cannot be read; no interface sounds\n");
    const GlobalConstantsRow* constants = tables ? GlobalConstantsTable::Find(0) : nullptr;
    manager.Init(constants ? constants->PunctuationString : std::string(), std::string(),
                 {0, 0, mode.width, mode.height}, {0, 0, mode.width, mode.height - kUiBarHeight});
    MouseInput& mouse = MouseInput::Program();
    if (!manager.LoadLayout("UIF_WidgetDemo")) {
        std::fprintf(stderr, "ui demo: the demonstration layout cannot be loaded\n");
        Engine::ReleaseEngine();
        return 1;
    }
    manager.OpenDialog("UIF_WidgetDemo");
    Fill(*manager.FindDialog("UIF_WidgetDemo"));

    // Without a sound device, or without the tables, the demo runs silent.
    std::unique_ptr<plat::Audio> audio = plat::CreateSdlMixerAudio();
    if (!SoundSystem::Startup(audio.get(), data))
        std::fprintf(stderr, "ui demo: no sound output\n");
    auto soundOutput = std::make_unique<SoundSystemUiOutput>();
    TableUiSounds sounds(*soundOutput);
    manager.SetSoundPlayer(&sounds);

    const UiRect screen{0, 0, mode.width, mode.height};
    // The interface reads one key a frame: keys typed faster wait their turn.
    std::deque<plat::InputEvent> keys;
    while (!quit && frames != 0) {
        plat::InputEvent e;
        while (window.Poll(e)) {
            if (e.type == plat::InputEvent::Type::Quit)
                quit = true;
            else if (e.type == plat::InputEvent::Type::KeyDown || e.type == plat::InputEvent::Type::Text)
                keys.push_back(e);
            else
                RecordUiInput(e, manager, mouse, screen);
        }
        while (!keys.empty() && manager.KeyWord() == 0) {
            const plat::InputEvent key = keys.front();
            keys.pop_front();
            RecordUiInput(key, manager, mouse, screen);
        }
        Engine::BeginFrame();
        manager.TakeInputSnapshot();
        manager.UpdateDialogs();
        manager.DrawDialogs();
        Engine::PresentFrame();
        mouse.ConsumeMouseEvents();
        manager.ClearUiKeyInput();
        if (manager.GetOpenDialogs().empty())
            quit = true;
        if (frames > 0)
            --frames;
        plat::Clock::Sleep(1);
    }
    manager.DestroyAllDialogs();
    manager.SetSoundPlayer(nullptr);
    soundOutput.reset(); // the samples go before the sound system
    SoundSystem::Shutdown();
    audio.reset();
    Engine::ReleaseEngine();
    device.reset();
    window.Close();
    return 0;
}
