#include "web/LinkValueParts.h"

#include "base/AsciiText.h"

namespace web {

namespace {

bool IsSpace(char C) {
    return C == ' ' || C == '\t' || C == '\n' || C == '\r' || C == '\f';
}

std::size_t SkipSpaces(std::string_view Text, std::size_t Pos) {
    while (Pos < Text.size() && IsSpace(Text[Pos]))
        ++Pos;
    return Pos;
}

} // namespace

std::vector<TValuePart> SplitSrcset(std::string_view Value) {
    std::vector<TValuePart> parts;
    std::size_t pos = 0;
    while (pos < Value.size()) {
        while (pos < Value.size() && (IsSpace(Value[pos]) || Value[pos] == ','))
            ++pos;
        const std::size_t start = pos;
        while (pos < Value.size() && !IsSpace(Value[pos]))
            ++pos;
        std::size_t end = pos;
        const bool endsCandidate = end > start && Value[end - 1] == ',';
        while (end > start && Value[end - 1] == ',')
            --end;
        if (end > start) parts.push_back({start, end - start});
        if (endsCandidate) continue;
        int depth = 0; // the descriptors, up to a comma outside parentheses
        for (; pos < Value.size() && (Value[pos] != ',' || depth > 0); ++pos) {
            if (Value[pos] == '(') ++depth;
            if (Value[pos] == ')' && depth > 0) --depth;
        }
    }
    return parts;
}

std::optional<TValuePart> FindRefreshTarget(std::string_view RawValue) {
    std::size_t pos = 0, end = RawValue.size();
    const char valueQuote = RawValue.empty() ? 0 : RawValue[0];
    if (valueQuote == '"' || valueQuote == '\'') {
        ++pos;
        if (end > pos && RawValue[end - 1] == valueQuote) --end;
    }
    const std::string_view text = RawValue.substr(0, end);
    pos = SkipSpaces(text, pos);
    const std::size_t delayStart = pos;
    while (pos < end && (base::IsAsciiDigit(text[pos]) || text[pos] == '.'))
        ++pos;
    if (pos == delayStart) return std::nullopt;
    pos = SkipSpaces(text, pos);
    if (pos < end && (text[pos] == ';' || text[pos] == ',')) ++pos;
    pos = SkipSpaces(text, pos);
    if (pos + 3 <= end && base::SameTextAscii(text.substr(pos, 3), "url")) {
        const std::size_t equals = SkipSpaces(text, pos + 3);
        if (equals < end && text[equals] == '=') pos = SkipSpaces(text, equals + 1);
    }
    if (pos < end && (text[pos] == '"' || text[pos] == '\'')) {
        const std::size_t close = text.find(text[pos], pos + 1);
        ++pos;
        if (close != std::string_view::npos) end = close;
    }
    while (end > pos && static_cast<unsigned char>(text[end - 1]) <= ' ')
        --end;
    if (end <= pos) return std::nullopt;
    return TValuePart{pos, end - pos};
}

} // namespace web
