#include "jobs/Base64.h"

#include <algorithm>
#include <array>

namespace jobs {

namespace {

constexpr std::string_view Alphabet =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// Any character outside the alphabet, "=" included, counts as 61.
constexpr unsigned OutsideAlphabetValue = 61;

constexpr std::array<unsigned char, 256> MakeDecodeTable() {
    std::array<unsigned char, 256> table{};
    for (auto& value : table) value = OutsideAlphabetValue;
    for (std::size_t i = 0; i < Alphabet.size(); ++i)
        table[static_cast<unsigned char>(Alphabet[i])] = static_cast<unsigned char>(i);
    return table;
}
constexpr auto DecodeTable = MakeDecodeTable();

} // namespace

std::string StrToBase64(std::string_view Bytes) {
    std::string input(Bytes);
    std::size_t padding = 0;
    while (input.size() % 3 != 0 || input.empty()) {
        input += '\0';
        ++padding;
    }
    std::string out;
    out.reserve(input.size() / 3 * 4);
    for (std::size_t i = 0; i < input.size(); i += 3) {
        const unsigned group = (static_cast<unsigned char>(input[i]) << 16) |
                               (static_cast<unsigned char>(input[i + 1]) << 8) |
                               static_cast<unsigned char>(input[i + 2]);
        out += Alphabet[(group >> 18) & 63];
        out += Alphabet[(group >> 12) & 63];
        out += Alphabet[(group >> 6) & 63];
        out += Alphabet[group & 63];
    }
    out.replace(out.size() - padding, padding, padding, '=');
    return out;
}

std::optional<std::string> Base64ToStr(std::string_view Text) {
    if (Text.size() < 4 || Text.size() % 4 != 0) return std::nullopt;
    std::size_t padding = 0;
    while (padding < Text.size() && Text[Text.size() - 1 - padding] == '=') ++padding;
    std::string out;
    out.reserve(Text.size() / 4 * 3);
    for (std::size_t i = 0; i < Text.size(); i += 4) {
        unsigned group = 0;
        for (std::size_t k = 0; k < 4; ++k)
            group = (group << 6) | DecodeTable[static_cast<unsigned char>(Text[i + k])];
        out += static_cast<char>((group >> 16) & 0xFF);
        out += static_cast<char>((group >> 8) & 0xFF);
        out += static_cast<char>(group & 0xFF);
    }
    out.resize(out.size() - std::min(padding, out.size()));
    return out;
}

} // namespace jobs
