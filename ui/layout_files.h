// Finds and reads a layout by name through the virtual file system, as
// "uif/<name>.uif" (a loose folder or the packed "uif.pkq").
#pragma once

#include "ui/layout_reader.h"

#include <string>
#include <string_view>

// The layout name: the text before the first ".uif" ("FE_Main.uif" and
// "FE_Main" both give "FE_Main").
std::string LayoutBaseName(std::string_view name);

// A layout name that names a file in the layout folder and nothing else:
// not empty, no folder separators, no "..", no control characters.
bool IsSafeLayoutName(std::string_view baseName);

// Reads and plans the layout. False, with one line in the asset log naming
// the layout and the reason, when the name is unsafe, the file is missing or
// unreadable, or its text is refused (ReadLayoutText).
bool LoadLayoutPlan(std::string_view name, LayoutPlan& plan);
