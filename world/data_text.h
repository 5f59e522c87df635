// Texts from the game data as the world's tooltips use them: "\n" escapes
// made line breaks, and formats filled without trusting their conversions.
#pragma once

#include <string>

std::string WithLineBreaks(std::string text);
// The first conversion of a format ("%s", "%d", ...) takes the value; any
// further one is dropped and "%%" is a percent sign, so a text from the
// data can never read past its argument.
std::string FillFormat(const std::string& format, const std::string& value);
