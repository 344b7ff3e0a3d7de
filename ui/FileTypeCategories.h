#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace ui {

// A named group of file extensions or MIME types ("Images (.jpg, .png)").
struct TFileTypeCategory {
    std::string Name;               // "?" for a line that could not be read
    std::string TypesText;          // the types as written
    std::vector<std::string> Types; // lower case
};

inline constexpr std::size_t MaxFileTypeCategories = 32;

// The built-in category lines of extension or MIME mode.
std::vector<std::string> BuiltInCategoryLines(bool MimeTypes);
// Reads category lines (at most the first 32); malformed ones are logged and kept as "?".
std::vector<TFileTypeCategory> ParseCategories(const std::vector<std::string>& Lines);
// A list text split at commas and blanks, lower-cased, without empty items.
std::vector<std::string> SplitTypeList(std::string_view Text);
// True when List shares at least one item with the category.
bool CategoryChecked(const TFileTypeCategory& Category, const std::string& List);
// The list with the category's types appended (missing ones, in order) or removed,
// joined by ", " in lower case.
std::string WithCategory(const TFileTypeCategory& Category, const std::string& List, bool Checked);

} // namespace ui
