#pragma once

#include <string_view>

namespace engine {

enum class TWildcardMatch {
    Match,
    NoMatch,
    BadPattern, // an unclosed or empty "[...]", or a reversed range
};

// Matches the whole of Value against Pattern, ignoring ASCII letter case.
// "*" stands for any run of characters (also none), "?" for exactly one, and
// "[...]" for one character of a set of characters and ranges ("[a-z0-9_]");
// a "!" right after "[" inverts the set. Every other character stands for itself.
TWildcardMatch MatchWildcard(std::string_view Pattern, std::string_view Value);

} // namespace engine
