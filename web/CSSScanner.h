#pragma once

#include "web/LinkValueParts.h"

#include <string_view>
#include <vector>

namespace web {

// Where every address of style sheet text stands, in one pass: the bytes
// between url()'s parentheses or a string's quotes, blanks and quotes
// excluded, escapes as written. Addresses are url() in all its quoting forms, the string of an
// @import, and the strings of image-set(). Comments are skipped, and other
// strings (content: "url(x)") are not addresses.
std::vector<TValuePart> FindCSSReferences(std::string_view Text);

} // namespace web
