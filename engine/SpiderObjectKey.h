#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace engine {

// Keys of the spider object list compare with the ASCII letters a-z folded to
// upper case, bytes compared unsigned, as std::string compares the folded texts.
bool FoldedLess(std::string_view A, std::string_view B);
// Equal keys, in that sense, have equal hashes.
std::uint64_t FoldedHash(std::string_view Key);

// Sums a key up in 64 bits that keep key order: a smaller summary means a
// smaller key, equal summaries decide nothing. Keys of one job mostly share a
// long start (the destination folder), so the summary says where a key leaves
// a fixed reference key, on which side, and what follows there.
class TKeySummary {
public:
    explicit TKeySummary(std::string_view Reference);
    std::uint64_t Of(std::string_view Key) const;

private:
    std::string Reference;  // folded
};

} // namespace engine
