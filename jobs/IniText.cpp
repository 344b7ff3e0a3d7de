#include "jobs/IniText.h"

#include "base/AsciiText.h"

#include <algorithm>
#include <charconv>

namespace jobs {

namespace {

constexpr std::string_view ByteOrderMark = "\xEF\xBB\xBF";

// The name of a "[Name]" line, or nullopt when the line is no section header.
std::optional<std::string_view> SectionHeaderName(std::string_view Line) {
    const auto text = base::TrimmedView(Line);
    if (text.empty() || text.front() != '[') return std::nullopt;
    const auto close = text.find(']');
    if (close == std::string_view::npos) return std::nullopt;
    return base::TrimmedView(text.substr(1, close - 1));
}

bool HasLineBreakOrNul(std::string_view Text) {
    return Text.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos;
}

bool IsWritableSectionName(std::string_view Section) {
    return !Section.empty() && base::TrimmedView(Section) == Section && !HasLineBreakOrNul(Section) &&
           Section.find(']') == std::string_view::npos;
}

bool IsWritableKeyName(std::string_view Key) {
    return !Key.empty() && base::TrimmedView(Key) == Key && !HasLineBreakOrNul(Key) &&
           Key.find('=') == std::string_view::npos && Key.front() != '[' && Key.front() != ';';
}

} // namespace

std::optional<std::int64_t> ParseProfileInteger(std::string_view Text) {
    Text = base::TrimmedView(Text);
    bool negative = false;
    if (!Text.empty() && (Text.front() == '-' || Text.front() == '+')) {
        negative = Text.front() == '-';
        Text.remove_prefix(1);
    }
    int base = 10;
    if (Text.size() > 2 && Text[0] == '0' && (Text[1] == 'x' || Text[1] == 'X')) {
        base = 16;
        Text.remove_prefix(2);
    }
    if (Text.empty()) return std::nullopt;
    std::uint64_t magnitude = 0;
    const auto [end, error] = std::from_chars(Text.data(), Text.data() + Text.size(), magnitude, base);
    if (error != std::errc() || end != Text.data() + Text.size()) return std::nullopt;
    constexpr std::uint64_t limit = 0x8000000000000000ull;
    if (magnitude > limit || (!negative && magnitude == limit)) return std::nullopt;
    return negative ? static_cast<std::int64_t>(0 - magnitude) : static_cast<std::int64_t>(magnitude);
}

TIniText TIniText::Parse(std::string_view Bytes) {
    TIniText text;
    // Windows editors begin UTF-8 files with a byte order mark; it is no part of the first line.
    if (Bytes.starts_with(ByteOrderMark)) {
        Bytes.remove_prefix(ByteOrderMark.size());
        text.HasByteOrderMark = true;
    }
    // Lines end in CR LF or LF; only a text without any LF ends them in CR alone,
    // so a lone CR inside a value of any other file stays in the value.
    const bool crOnly = Bytes.find('\n') == std::string_view::npos && Bytes.find('\r') != std::string_view::npos;
    const char separator = crOnly ? '\r' : '\n';
    const auto firstBreak = Bytes.find('\n');
    if (crOnly) text.LineEnd = "\r";
    else if (firstBreak != std::string_view::npos && (firstBreak == 0 || Bytes[firstBreak - 1] != '\r'))
        text.LineEnd = "\n";
    std::size_t start = 0;
    while (start < Bytes.size()) {
        auto end = Bytes.find(separator, start);
        if (end == std::string_view::npos) end = Bytes.size();
        auto line = Bytes.substr(start, end - start);
        // Every CR before the line's end goes, not only the one of a CR LF pair:
        // a value cannot keep a trailing CR through a save, so none is read.
        while (!crOnly && !line.empty() && line.back() == '\r') line.remove_suffix(1);
        text.Lines.emplace_back(line);
        start = end + 1;
    }
    return text;
}

std::string TIniText::Serialize() const {
    std::string out = HasByteOrderMark ? std::string(ByteOrderMark) : std::string();
    for (const auto& line : Lines) {
        out += line;
        out += LineEnd;
    }
    return out;
}

std::optional<TIniText::TLocation> TIniText::FindSection(std::string_view Section) const {
    for (std::size_t i = 0; i < Lines.size(); ++i) {
        const auto name = SectionHeaderName(Lines[i]);
        if (!name || !base::SameTextAscii(*name, Section)) continue;
        std::size_t end = i + 1;
        while (end < Lines.size() && !SectionHeaderName(Lines[end])) ++end;
        return TLocation{i, end};
    }
    return std::nullopt;
}

std::optional<std::size_t> TIniText::FindKey(const TLocation& Where, std::string_view Key) const {
    for (std::size_t i = Where.Header + 1; i < Where.End; ++i) {
        const std::string_view line = Lines[i];
        const auto equals = line.find('=');
        if (equals != std::string_view::npos && base::SameTextAscii(base::TrimmedView(line.substr(0, equals)), Key))
            return i;
    }
    return std::nullopt;
}

std::optional<std::string> TIniText::ReadValue(std::string_view Section, std::string_view Key) const {
    const auto where = FindSection(Section);
    if (!where) return std::nullopt;
    const auto index = FindKey(*where, Key);
    if (!index) return std::nullopt;
    std::string_view value = Lines[*index];
    value = value.substr(value.find('=') + 1);
    // A C-string reader stops at NUL; values never carry one. Blanks before
    // the NUL or the length cap are trimmed too, so a value reads back as saved.
    value = base::TrimmedView(value.substr(0, value.find('\0')));
    return std::string(base::TrimmedView(value.substr(0, MaxProfileValueLength)));
}

std::string TIniText::ReadString(std::string_view Section, std::string_view Key,
                                 std::string_view Default) const {
    auto value = ReadValue(Section, Key);
    return value ? *value : std::string(Default);
}

std::int64_t TIniText::ReadInt64(std::string_view Section, std::string_view Key,
                                 std::int64_t Default) const {
    const auto value = ReadValue(Section, Key);
    if (!value) return Default;
    return ParseProfileInteger(*value).value_or(Default);
}

std::int32_t TIniText::ReadInteger(std::string_view Section, std::string_view Key,
                                   std::int32_t Default) const {
    const auto text = ReadValue(Section, Key);
    if (!text) return Default;
    const auto value = ParseProfileInteger(*text);
    if (!value) return Default;
    if (*value >= INT32_MIN && *value <= INT32_MAX) return static_cast<std::int32_t>(*value);
    // Hex is a bit pattern: "0xFFFFFFFF" reads as -1, as a 32-bit reader does.
    const auto trimmed = base::TrimmedView(*text);
    const bool hex = trimmed.size() > 2 && (trimmed[1] == 'x' || trimmed[1] == 'X');
    if (hex && *value > 0 && *value <= 0xFFFFFFFFll)
        return static_cast<std::int32_t>(static_cast<std::uint32_t>(*value));
    return Default;
}

std::int32_t TIniText::ReadCount(std::string_view Section, std::string_view Key) const {
    const auto lines = static_cast<std::int32_t>(std::min<std::size_t>(Lines.size(), INT32_MAX));
    return std::clamp(ReadInteger(Section, Key, 0), 0, lines);
}

bool TIniText::ReadBool(std::string_view Section, std::string_view Key, bool Default) const {
    const auto value = ReadValue(Section, Key);
    if (!value) return Default;
    const auto number = ParseProfileInteger(*value);
    return number ? *number != 0 : Default;
}

bool TIniText::SectionExists(std::string_view Section) const {
    return FindSection(Section).has_value();
}

std::vector<std::string> TIniText::ReadKeys(std::string_view Section) const {
    std::vector<std::string> keys;
    const auto where = FindSection(Section);
    if (!where) return keys;
    for (std::size_t i = where->Header + 1; i < where->End; ++i) {
        const std::string_view line = Lines[i];
        const auto equals = line.find('=');
        if (equals == std::string_view::npos) continue;
        const auto key = base::TrimmedView(line.substr(0, equals));
        if (!key.empty() && key.front() != ';') keys.emplace_back(key);
    }
    return keys;
}

bool TIniText::WriteString(std::string_view Section, std::string_view Key, std::string_view Value) {
    if (!IsWritableSectionName(Section) || !IsWritableKeyName(Key) || HasLineBreakOrNul(Value))
        return false;
    std::string line = std::string(Key) + "=" + std::string(Value);
    const auto where = FindSection(Section);
    if (!where) {
        Lines.push_back("[" + std::string(Section) + "]");
        Lines.push_back(std::move(line));
        return true;
    }
    if (const auto index = FindKey(*where, Key)) {
        Lines[*index] = std::move(line);
        return true;
    }
    // A new key goes after the section's last non-blank line, before blank separators.
    std::size_t insertAt = where->End;
    while (insertAt > where->Header + 1 && base::TrimmedView(Lines[insertAt - 1]).empty()) --insertAt;
    Lines.insert(Lines.begin() + static_cast<std::ptrdiff_t>(insertAt), std::move(line));
    return true;
}

bool TIniText::WriteInteger(std::string_view Section, std::string_view Key, std::int64_t Value) {
    return WriteString(Section, Key, std::to_string(Value));
}

bool TIniText::WriteBool(std::string_view Section, std::string_view Key, bool Value) {
    return WriteString(Section, Key, Value ? "1" : "0");
}

TIniValueVisitor TIniText::ValueWriter() {
    return [this](std::string_view Section, std::string_view Key, std::string_view Value) {
        return WriteString(Section, Key, Value);
    };
}

void TIniText::DeleteKey(std::string_view Section, std::string_view Key) {
    const auto where = FindSection(Section);
    if (!where) return;
    if (const auto index = FindKey(*where, Key))
        Lines.erase(Lines.begin() + static_cast<std::ptrdiff_t>(*index));
}

void TIniText::EraseSection(std::string_view Section) {
    const auto where = FindSection(Section);
    if (!where) return;
    Lines.erase(Lines.begin() + static_cast<std::ptrdiff_t>(where->Header),
                Lines.begin() + static_cast<std::ptrdiff_t>(where->End));
}

} // namespace jobs
