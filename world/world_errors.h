// Reasons why a world file was refused: the last one is kept for the
// caller and every one goes to the debug log.
#pragma once

#include <string>

void ReportWorldError(std::string text);
const std::string& LastWorldError();
void ClearWorldError();
