#include "engine/SpiderObjectKey.h"

#include "base/AsciiText.h"

#include <algorithm>
#include <cstring>

namespace engine {

namespace {

unsigned char Folded(char Ch) { return static_cast<unsigned char>(base::UpperAsciiChar(Ch)); }

// Folds the eight letters of a word at once: a byte 'a'..'z' loses its 0x20.
std::uint64_t FoldedWord(std::uint64_t Word) {
    constexpr std::uint64_t Ones = 0x0101010101010101ull;
    const std::uint64_t low7 = Word & (0x7F * Ones);
    const std::uint64_t atLeastA = low7 + (0x80 - 'a') * Ones;
    const std::uint64_t aboveZ = low7 + (0x80 - 'z' - 1) * Ones;
    const std::uint64_t lower = atLeastA & ~aboveZ & ~Word & (0x80 * Ones);
    return Word ^ (lower >> 2);
}

std::uint64_t Mix(std::uint64_t Value) {
    Value ^= Value >> 33;
    Value *= 0xFF51AFD7ED558CCDull;
    Value ^= Value >> 33;
    Value *= 0xC4CEB9FE1A85EC53ull;
    return Value ^ (Value >> 33);
}

} // namespace

bool FoldedLess(std::string_view A, std::string_view B) {
    const std::size_t common = std::min(A.size(), B.size());
    for (std::size_t i = 0; i < common; ++i) {
        if (A[i] == B[i]) continue;
        const unsigned char a = Folded(A[i]);
        const unsigned char b = Folded(B[i]);
        if (a != b) return a < b;
    }
    return A.size() < B.size();
}

std::uint64_t FoldedHash(std::string_view Key) {
    std::uint64_t hash = Key.size() * 0x9E3779B97F4A7C15ull;
    std::size_t at = 0;
    for (; at + 8 <= Key.size(); at += 8) {
        std::uint64_t word;
        std::memcpy(&word, Key.data() + at, 8);
        hash = (hash ^ FoldedWord(word)) * 0x9E3779B97F4A7C15ull;
        hash ^= hash >> 29;
    }
    std::uint64_t tail = 0;
    if (at < Key.size()) std::memcpy(&tail, Key.data() + at, Key.size() - at);
    return Mix(hash ^ FoldedWord(tail));
}

// Layout, high bits first: 2 bits side (0 below the reference, 1 the reference
// itself, 2 above it), 14 bits for where the key leaves the reference, then the
// key's next six bytes. Below the reference a key that leaves it later is
// greater; above it, smaller. Past the 14 bits' reach only the side counts.
TKeySummary::TKeySummary(std::string_view Text) : Reference(Text.size(), '\0') {
    std::transform(Text.begin(), Text.end(), Reference.begin(), base::UpperAsciiChar);
}

std::uint64_t TKeySummary::Of(std::string_view Key) const {
    constexpr std::size_t Reach = (1u << 14) - 1;
    const std::size_t common = std::min(Key.size(), Reference.size());
    std::size_t leave = 0;
    while (leave < common && Folded(Key[leave]) == static_cast<unsigned char>(Reference[leave])) ++leave;
    if (leave == Key.size() && leave == Reference.size()) return std::uint64_t{1} << 62;
    const bool above = leave == Reference.size() ||
                       (leave < Key.size() && Folded(Key[leave]) > static_cast<unsigned char>(Reference[leave]));
    const std::size_t reach = std::min(leave, Reach);
    std::uint64_t summary = (above ? std::uint64_t{2} << 62 : 0) |
                            static_cast<std::uint64_t>(above ? Reach - reach : reach) << 48;
    if (leave >= Reach) return summary;
    for (std::size_t i = 0; i < 6 && leave + i < Key.size(); ++i)
        summary |= static_cast<std::uint64_t>(Folded(Key[leave + i])) << (40 - 8 * i);
    return summary;
}

} // namespace engine
