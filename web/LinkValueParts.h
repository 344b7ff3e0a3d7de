#pragma once

#include <cstddef>
#include <optional>
#include <string_view>
#include <vector>

namespace web {

// Where an address lies inside a longer text (an attribute value, a style sheet), in bytes from its
// start.
struct TValuePart {
    std::size_t Offset = 0;
    std::size_t Length = 0;
};

// The address of every image candidate of a srcset value ("a.jpg 1x, b,c.jpg 2x"):
// an address runs to the next blank and may hold commas, but not end with one;
// descriptors run to the next comma outside parentheses.
std::vector<TValuePart> SplitSrcset(std::string_view Value);

// The target of a refresh CONTENT value as written, its quotes included
// ('0; url=next.htm', "5;URL='a.htm'", '0, b.htm'); nullopt for a bare delay
// or text that is no refresh.
std::optional<TValuePart> FindRefreshTarget(std::string_view RawValue);

} // namespace web
