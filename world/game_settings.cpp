#include "world/game_settings.h"

#include "world/world.h"

UiState& GetUiState() {
    return CurrentWorld().uiState;
}

void ResetUiState() {
    CurrentWorld().uiState = UiState{};
}

std::string& InstallPath() {
    static std::string path = ".";
    return path;
}

std::string& ConfigFolderName() {
    static std::string name = "config";
    return name;
}
