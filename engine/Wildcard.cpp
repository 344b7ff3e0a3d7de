#include "engine/Wildcard.h"

#include "base/AsciiText.h"

#include <cstddef>

namespace engine {

namespace {

constexpr std::size_t NoPosition = std::string_view::npos;

unsigned char Byte(char c) {
    return static_cast<unsigned char>(c);
}

bool InRange(char Ch, char First, char Last) {
    return Byte(Ch) >= Byte(First) && Byte(Ch) <= Byte(Last);
}

// Both letter cases are tried, so "[A-Z]" and "[a-z]" accept either case.
bool InRangeIgnoringCase(char Ch, char First, char Last) {
    return InRange(base::LowerAsciiChar(Ch), base::LowerAsciiChar(First), base::LowerAsciiChar(Last)) ||
           InRange(base::UpperAsciiChar(Ch), base::UpperAsciiChar(First), base::UpperAsciiChar(Last));
}

// A set begins at Pattern[Open] == '['. Returns the position of its closing
// "]", or NoPosition when the set is malformed.
std::size_t SetEnd(std::string_view Pattern, std::size_t Open) {
    std::size_t i = Open + 1;
    if (i < Pattern.size() && Pattern[i] == '!') ++i;
    const std::size_t first = i;
    while (i < Pattern.size() && Pattern[i] != ']') {
        const bool range = i + 2 < Pattern.size() && Pattern[i + 1] == '-' && Pattern[i + 2] != ']';
        if (range && Byte(base::LowerAsciiChar(Pattern[i])) > Byte(base::LowerAsciiChar(Pattern[i + 2]))) return NoPosition;
        i += range ? 3 : 1;
    }
    if (i >= Pattern.size() || i == first) return NoPosition;
    return i;
}

// Whether Ch belongs to the set Pattern[Open..Close].
bool SetContains(std::string_view Pattern, std::size_t Open, std::size_t Close, char Ch) {
    std::size_t i = Open + 1;
    const bool invert = Pattern[i] == '!';
    if (invert) ++i;
    bool found = false;
    while (i < Close && !found) {
        const bool range = i + 2 < Close && Pattern[i + 1] == '-';
        found = range ? InRangeIgnoringCase(Ch, Pattern[i], Pattern[i + 2])
                      : base::LowerAsciiChar(Pattern[i]) == base::LowerAsciiChar(Ch);
        i += range ? 3 : 1;
    }
    return found != invert;
}

bool PatternIsValid(std::string_view Pattern) {
    for (std::size_t i = 0; i < Pattern.size(); ++i) {
        if (Pattern[i] != '[') continue;
        i = SetEnd(Pattern, i);
        if (i == NoPosition) return false;
    }
    return true;
}

// Whether Pattern[P], one element, accepts Ch; Next receives the position after it.
bool ElementAccepts(std::string_view Pattern, std::size_t P, char Ch, std::size_t& Next) {
    if (Pattern[P] == '[') {
        const std::size_t close = SetEnd(Pattern, P);
        Next = close + 1;
        return SetContains(Pattern, P, close, Ch);
    }
    Next = P + 1;
    return Pattern[P] == '?' || base::LowerAsciiChar(Pattern[P]) == base::LowerAsciiChar(Ch);
}

} // namespace

// Greedy matching that remembers the last "*": on a mismatch that star takes
// one more character and matching resumes behind it. Earlier stars never need
// to be revisited, so the cost stays at pattern length times value length.
TWildcardMatch MatchWildcard(std::string_view Pattern, std::string_view Value) {
    if (!PatternIsValid(Pattern)) return TWildcardMatch::BadPattern;
    std::size_t p = 0, v = 0;
    std::size_t starP = NoPosition, starV = 0;
    while (v < Value.size()) {
        std::size_t next = 0;
        if (p < Pattern.size() && Pattern[p] == '*') {
            starP = ++p;
            starV = v;
        } else if (p < Pattern.size() && ElementAccepts(Pattern, p, Value[v], next)) {
            p = next;
            ++v;
        } else if (starP != NoPosition) {
            p = starP;
            v = ++starV;
        } else {
            return TWildcardMatch::NoMatch;
        }
    }
    while (p < Pattern.size() && Pattern[p] == '*')
        ++p;
    return p == Pattern.size() ? TWildcardMatch::Match : TWildcardMatch::NoMatch;
}

} // namespace engine
