#include "engine/graphic_sets.h"

namespace GraphicSets {

void ApplyZoom() {}

} // namespace GraphicSets
