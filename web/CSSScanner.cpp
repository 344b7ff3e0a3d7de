#include "web/CSSScanner.h"

#include "base/AsciiText.h"

#include <algorithm>

namespace web {

namespace {

bool IsNameChar(char C) {
    const auto c = static_cast<unsigned char>(C);
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '_' || c >= 0x80;
}

bool IsSpace(char C) {
    return C == ' ' || C == '\t' || C == '\n' || C == '\r' || C == '\f';
}

// Reads style sheet text once, keeping just enough state to tell which strings are addresses.
class TCSSScan {
  public:
    explicit TCSSScan(std::string_view Text) : Text(Text) {}

    std::vector<TValuePart> Run() {
        while (Pos < Text.size())
            Step();
        return Found;
    }

  private:
    void Step() {
        const char c = Text[Pos];
        if (c == '/' && Pos + 1 < Text.size() && Text[Pos + 1] == '*') return SkipComment();
        if (c == '"' || c == '\'')
            return TakeString(InImport || (ImageSetDepth && Depth >= ImageSetDepth));
        if (c == '\\') {
            Pos += 2; // an escaped character is part of a name, never punctuation
            return;
        }
        if (c == '@') {
            ++Pos;
            InImport = base::SameTextAscii(ReadName(), "import");
            return;
        }
        if (IsNameChar(c)) return TakeName();
        ++Pos;
        if (c == '(') ++Depth;
        if (c == ')' && Depth > 0 && Depth-- == ImageSetDepth) ImageSetDepth = 0;
        if (c == ';' || c == '{' || c == '}') InImport = false;
    }

    void SkipComment() {
        const std::size_t end = Text.find("*/", Pos + 2);
        Pos = end == std::string_view::npos ? Text.size() : end + 2;
    }

    std::string_view ReadName() {
        const std::size_t start = Pos;
        while (Pos < Text.size() && IsNameChar(Text[Pos]))
            ++Pos;
        return Text.substr(start, Pos - start);
    }

    // A name followed by "(" may open url() or image-set(); other names are skipped whole.
    void TakeName() {
        const std::string_view name = ReadName();
        if (Pos >= Text.size() || Text[Pos] != '(') return;
        if (base::SameTextAscii(name, "url")) return TakeURL();
        ++Pos;
        ++Depth;
        if (base::SameTextAscii(name, "image-set") ||
            base::SameTextAscii(name, "-webkit-image-set"))
            ImageSetDepth = Depth;
    }

    // A string from its opening quote: it ends at the same quote, at a line
    // break or at the end; a backslash escapes the next byte.
    void TakeString(bool IsAddress) {
        const char quote = Text[Pos++];
        const std::size_t start = Pos;
        while (Pos < Text.size() && Text[Pos] != quote && Text[Pos] != '\n')
            Pos += Text[Pos] == '\\' ? 2 : 1;
        Pos = std::min(Pos, Text.size());
        if (IsAddress) Add(start, Pos);
        if (Pos < Text.size() && Text[Pos] == quote) ++Pos;
    }

    // After "url": a quoted address or the bare text up to ")", blanks around it dropped.
    void TakeURL() {
        ++Pos;
        while (Pos < Text.size() && IsSpace(Text[Pos]))
            ++Pos;
        if (Pos < Text.size() && (Text[Pos] == '"' || Text[Pos] == '\'')) {
            TakeString(true);
        } else {
            const std::size_t start = Pos;
            std::size_t end = Pos;
            while (Pos < Text.size() && Text[Pos] != ')') {
                const std::size_t next = std::min(Pos + (Text[Pos] == '\\' ? 2 : 1), Text.size());
                if (!IsSpace(Text[Pos])) end = next;
                Pos = next;
            }
            Add(start, end);
        }
        while (Pos < Text.size() && Text[Pos] != ')')
            ++Pos;
        if (Pos < Text.size()) ++Pos;
    }

    void Add(std::size_t Start, std::size_t End) {
        if (End > Start) Found.push_back({Start, End - Start});
    }

    std::string_view Text;
    std::size_t Pos = 0;
    std::size_t Depth = 0;         // open parentheses
    std::size_t ImageSetDepth = 0; // the depth inside image-set(), or 0 outside it
    bool InImport = false;         // between "@import" and the end of its rule
    std::vector<TValuePart> Found;
};

} // namespace

std::vector<TValuePart> FindCSSReferences(std::string_view Text) {
    return TCSSScan(Text).Run();
}

} // namespace web
