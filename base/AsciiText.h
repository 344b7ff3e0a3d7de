#pragma once

#include <string>
#include <string_view>

// Text helpers for names that compare without regard to ASCII letter case
// (INI sections and keys, host names, list items, object keys).
namespace base {

// Single-byte forms; bytes outside ASCII letters pass unchanged.
constexpr char UpperAsciiChar(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }
constexpr char LowerAsciiChar(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }
constexpr bool IsAsciiAlpha(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
constexpr bool IsAsciiDigit(char c) { return c >= '0' && c <= '9'; }
// 0-15 for a hexadecimal digit of either case, -1 for any other byte.
constexpr int HexDigitValue(char c) {
    if (IsAsciiDigit(c)) return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool SameTextAscii(std::string_view A, std::string_view B);
std::string UpperAscii(std::string_view Text);
std::string LowerAscii(std::string_view Text);
// Removes leading and trailing blanks and control characters (every byte up to and including the space).
std::string TrimControls(std::string_view Text);
// The same as a view into Text.
std::string_view TrimControlsView(std::string_view Text);
// Text without the leading and trailing bytes found in Blanks (a view into Text).
std::string_view TrimmedView(std::string_view Text, std::string_view Blanks = " \t");

} // namespace base
