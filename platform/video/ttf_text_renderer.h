// The platform's text renderer on SDL_ttf: every face is drawn in DejaVu
// Sans, the free font the project ships its bitmap fonts from (bold from
// weight 600 on). Main thread only.
#pragma once

#include "platform/text_renderer.h"

#include <memory>
#include <string>
#include <vector>

namespace plat {

// Where the system's DejaVu fonts are installed.
inline constexpr const char* kDejaVuFontFolder = "/usr/share/fonts/truetype/dejavu";

// A renderer taking its font files ("DejaVuSans.ttf", "DejaVuSans-Bold.ttf")
// from the first of the folders that has them; null with the reason in
// `error` when SDL_ttf cannot start or no folder has the regular face. A
// missing bold face is drawn as an emboldened regular one.
std::unique_ptr<TextRenderer> MakeTtfTextRenderer(const std::vector<std::string>& fontFolders,
                                                  std::string* error = nullptr);

} // namespace plat
