#pragma once

#include <cstddef>
#include <string_view>
#include <vector>

namespace web {

// Where one address stands in style sheet text: the bytes between url()'s
// parentheses or a string's quotes, blanks and quotes excluded, escapes as written.
struct TCSSReference {
    std::size_t Offset = 0;
    std::size_t Length = 0;
};

// Every address of style sheet text in one pass: url() in all its quoting
// forms, the string of an @import, and the strings of image-set(). Comments
// are skipped, and other strings (content: "url(x)") are not addresses.
std::vector<TCSSReference> FindCSSReferences(std::string_view Text);

} // namespace web
