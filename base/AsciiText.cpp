#include "base/AsciiText.h"

namespace base {

namespace {
bool IsControlOrBlank(char c) { return static_cast<unsigned char>(c) <= ' '; }
} // namespace

bool SameTextAscii(std::string_view A, std::string_view B) {
    if (A.size() != B.size()) return false;
    for (std::size_t i = 0; i < A.size(); ++i)
        if (UpperAsciiChar(A[i]) != UpperAsciiChar(B[i])) return false;
    return true;
}

std::string UpperAscii(std::string_view Text) {
    std::string out(Text);
    for (char& c : out) c = UpperAsciiChar(c);
    return out;
}

std::string LowerAscii(std::string_view Text) {
    std::string out(Text);
    for (char& c : out) c = LowerAsciiChar(c);
    return out;
}

std::string_view TrimControlsView(std::string_view Text) {
    std::size_t first = 0, last = Text.size();
    while (first < last && IsControlOrBlank(Text[first])) ++first;
    while (last > first && IsControlOrBlank(Text[last - 1])) --last;
    return Text.substr(first, last - first);
}

std::string TrimControls(std::string_view Text) { return std::string(TrimControlsView(Text)); }

std::string_view TrimmedView(std::string_view Text, std::string_view Blanks) {
    const auto first = Text.find_first_not_of(Blanks);
    if (first == std::string_view::npos) return {};
    return Text.substr(first, Text.find_last_not_of(Blanks) - first + 1);
}

} // namespace base
