#include "engine/RestrictionList.h"

#include "engine/Wildcard.h"
#include "base/AsciiText.h"
#include "base/AppTraceLog.h"

namespace engine {

namespace {

bool IsBlank(char c) {
    return static_cast<unsigned char>(c) <= ' ';
}

// Reads a quoted member starting at Text[Pos] == '"'; an unclosed quote runs to the end.
std::string QuotedMember(std::string_view Text, std::size_t& Pos) {
    std::string member;
    ++Pos;
    while (Pos < Text.size()) {
        const char c = Text[Pos++];
        if (c != '"') {
            member += c;
        } else if (Pos < Text.size() && Text[Pos] == '"') {
            member += '"';
            ++Pos;
        } else {
            break;
        }
    }
    return member;
}

std::string PlainMember(std::string_view Text, std::size_t& Pos) {
    const std::size_t first = Pos;
    while (Pos < Text.size() && !IsBlank(Text[Pos]) && Text[Pos] != ',')
        ++Pos;
    return std::string(Text.substr(first, Pos - first));
}

void SkipBlanks(std::string_view Text, std::size_t& Pos) {
    while (Pos < Text.size() && IsBlank(Text[Pos]))
        ++Pos;
}

} // namespace

std::vector<std::string> SplitCommaText(std::string_view Text) {
    std::vector<std::string> members;
    std::size_t pos = 0;
    SkipBlanks(Text, pos);
    while (pos < Text.size()) {
        std::string member = Text[pos] == '"' ? QuotedMember(Text, pos) : PlainMember(Text, pos);
        member = base::TrimControls(member);
        if (!member.empty()) members.push_back(std::move(member));
        SkipBlanks(Text, pos);
        if (pos < Text.size() && Text[pos] == ',') {
            ++pos;
            SkipBlanks(Text, pos);
        }
    }
    return members;
}

void TRestrictionList::SetText(std::string_view Text, const char* OperationName) {
    Members.clear();
    for (auto& member : SplitCommaText(Text)) {
        TMember entry{base::LowerAscii(member), true};
        // Checked once here rather than at every address the job meets.
        if (MatchWildcard(entry.Text, {}) == TWildcardMatch::BadPattern) {
            entry.ValidPattern = false;
            base::TraceLog.LogEntry(base::ttException, "Invalid mask: " + member,
                                         OperationName, "JobDownloadFilter");
        }
        Members.push_back(std::move(entry));
    }
}

bool TRestrictionList::FoundInString(std::string_view Text) const {
    const std::string lower = base::LowerAscii(Text);
    for (const auto& member : Members) {
        if (lower.find(member.Text) != std::string::npos) return true;
        if (member.ValidPattern && MatchWildcard(member.Text, lower) == TWildcardMatch::Match)
            return true;
    }
    return false;
}

bool TRestrictionList::EqualsString(std::string_view Text) const {
    for (const auto& member : Members)
        if (member.ValidPattern && MatchWildcard(member.Text, Text) == TWildcardMatch::Match)
            return true;
    return false;
}

} // namespace engine
