// Texts from the game data used as formats: each conversion ("%s", "%d",
// "%ld", "%.2f", ...) takes the next of the given values, already written
// out as text; a conversion without a value becomes empty and "%%" a
// percent sign. A text from the data can never read past its values.
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>

std::string FormatDataText(std::string_view format, std::initializer_list<std::string_view> values);
