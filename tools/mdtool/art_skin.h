// The default interface skin: the widget images of the demonstration
// layouts, frames stacked vertically one per widget state.
#pragma once

#include "tools/mdtool/art_image.h"

#include <string>
#include <utility>
#include <vector>

namespace mdtool::art {

// Each image with its file name under the installation folder.
std::vector<std::pair<std::string, ArtImage>> PaintInterfaceSkin();

} // namespace mdtool::art
