#pragma once

#include <string>
#include <string_view>

// Text helpers for names that compare without regard to ASCII letter case
// (INI sections and keys, host names, list items, object keys).
namespace base {

bool SameTextAscii(std::string_view A, std::string_view B);
std::string UpperAscii(std::string_view Text);
std::string LowerAscii(std::string_view Text);
// Removes leading and trailing blanks and control characters (every byte up to and including the space).
std::string TrimControls(std::string_view Text);

} // namespace base
