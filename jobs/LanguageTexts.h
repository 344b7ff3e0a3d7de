#pragma once

#include <string_view>

namespace jobs {

// The English text of a number, as built into the program; empty for numbers
// without one. Numbers 1 to 8 give the labels of the language header values.
std::string_view BuiltInEnglishText(int Number);

} // namespace jobs
