#include "base/AsciiText.h"

namespace base {

namespace {
char UpperChar(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }
char LowerChar(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }
bool IsControlOrBlank(char c) { return static_cast<unsigned char>(c) <= ' '; }
} // namespace

bool SameTextAscii(std::string_view A, std::string_view B) {
    if (A.size() != B.size()) return false;
    for (std::size_t i = 0; i < A.size(); ++i)
        if (UpperChar(A[i]) != UpperChar(B[i])) return false;
    return true;
}

std::string UpperAscii(std::string_view Text) {
    std::string out(Text);
    for (char& c : out) c = UpperChar(c);
    return out;
}

std::string LowerAscii(std::string_view Text) {
    std::string out(Text);
    for (char& c : out) c = LowerChar(c);
    return out;
}

std::string TrimControls(std::string_view Text) {
    std::size_t first = 0, last = Text.size();
    while (first < last && IsControlOrBlank(Text[first])) ++first;
    while (last > first && IsControlOrBlank(Text[last - 1])) --last;
    return std::string(Text.substr(first, last - first));
}

} // namespace base
