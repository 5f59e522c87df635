// The sprite cache: every picture of the map and the interface found by its
// kind, number and frame under the graphics naming scheme, loaded once and
// kept; interface pictures by name; the mouse-cursor images.
#pragma once

namespace GraphicSets {

// Rescales every cached sprite's zoomed metrics to the current viewport's
// zoom (only while viewport 0 is current).
void ApplyZoom();

} // namespace GraphicSets
