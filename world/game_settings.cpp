#include "world/game_settings.h"

namespace {
UiState uiState;
} // namespace

UiState& GetUiState() {
    return uiState;
}

void ResetUiState() {
    uiState = UiState{};
}

std::string& InstallPath() {
    static std::string path = ".";
    return path;
}

std::string& ConfigFolderName() {
    static std::string name = "config";
    return name;
}
