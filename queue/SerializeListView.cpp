#include "queue/SerializeListView.h"

#include "base/AppTraceLog.h"
#include "base/AtomicReplace.h"
#include "base/PosixFile.h"

#include <cerrno>
#include <cstring>

namespace queue {

namespace {

bool IsLineEnd(char c) {
    return c == '\r' || c == '\n';
}

// Control characters and the space, but not the line ends, which end a record.
bool IsBlank(char c) {
    return static_cast<unsigned char>(c) <= ' ' && !IsLineEnd(c);
}

// Reads one record from Text at Pos and leaves Pos after its line end.
class TRecordReader {
  public:
    TRecordReader(std::string_view Text, std::size_t& Pos, bool QuotesSpanLines)
        : Text(Text), Pos(Pos), QuotesSpanLines(QuotesSpanLines) {}

    TCSVRow Read() {
        TCSVRow fields;
        SkipBlanks();
        while (!AtLineEnd()) {
            fields.push_back(Text[Pos] == '"' ? QuotedField() : PlainField());
            SkipBlanks();
            if (Pos < Text.size() && Text[Pos] == ',') {
                ++Pos;
                // A comma right before the end leaves one more, empty, field.
                if (AtLineEnd()) fields.emplace_back();
                SkipBlanks();
            }
        }
        if (Pos < Text.size() && Text[Pos] == '\r') ++Pos;
        if (Pos < Text.size() && Text[Pos] == '\n') ++Pos;
        return fields;
    }

  private:
    bool AtLineEnd() const { return Pos >= Text.size() || IsLineEnd(Text[Pos]); }

    void SkipBlanks() {
        while (Pos < Text.size() && IsBlank(Text[Pos]))
            ++Pos;
    }

    std::string PlainField() {
        const std::size_t start = Pos;
        while (!AtLineEnd() && !IsBlank(Text[Pos]) && Text[Pos] != ',')
            ++Pos;
        return std::string(Text.substr(start, Pos - start));
    }

    // Pos stands on the opening quote. A quote never closed ends at the line
    // end, even where line breaks could belong to the field.
    std::string QuotedField() {
        const std::size_t open = Pos;
        std::string field;
        if (QuotesSpanLines && Unquote(field, true)) return field;
        Pos = open;
        field.clear();
        Unquote(field, false);
        return field;
    }

    // True when the closing quote was found.
    bool Unquote(std::string& Field, bool SpanLines) {
        for (++Pos; Pos < Text.size(); ++Pos) {
            const char c = Text[Pos];
            if (!SpanLines && IsLineEnd(c)) return false;
            if (c != '"') {
                Field += c;
            } else if (Pos + 1 < Text.size() && Text[Pos + 1] == '"') {
                Field += '"';
                ++Pos;
            } else {
                ++Pos;
                return true;
            }
        }
        return false;
    }

    std::string_view Text;
    std::size_t& Pos;
    bool QuotesSpanLines;
};

} // namespace

std::string CSVLine(const TCSVRow& Fields) {
    std::string line;
    for (const std::string& field : Fields) {
        if (!line.empty()) line += ", ";
        line += '"';
        for (char c : field)
            line.append(c == '"' ? 2 : 1, c);
        line += '"';
    }
    return line + "\r\n";
}

std::string CSVText(const TCSVRows& Rows) {
    std::string text;
    for (const TCSVRow& row : Rows)
        text += CSVLine(row);
    return text;
}

TCSVRow SplitCSVLine(std::string_view Line) {
    std::size_t pos = 0;
    return TRecordReader(Line, pos, false).Read();
}

TCSVRows SplitCSVText(std::string_view Text) {
    TCSVRows rows;
    for (std::size_t pos = 0; pos < Text.size();)
        if (TCSVRow row = TRecordReader(Text, pos, true).Read(); !row.empty())
            rows.push_back(std::move(row));
    return rows;
}

std::vector<std::string> SplitTextLines(std::string_view Text) {
    std::vector<std::string> lines;
    for (std::size_t pos = 0; pos < Text.size();) {
        std::size_t end = pos;
        while (end < Text.size() && !IsLineEnd(Text[end]))
            ++end;
        lines.emplace_back(Text.substr(pos, end - pos));
        if (end < Text.size() && Text[end] == '\r') ++end;
        if (end < Text.size() && Text[end] == '\n') ++end;
        pos = end;
    }
    return lines;
}

bool ListViewToCSVFile(const TCSVRows& Rows, const std::string& FileName, const TCSVRow& Header,
                       std::string* ErrorText) {
    const std::string text = (Header.empty() ? std::string() : CSVLine(Header)) + CSVText(Rows);
    if (base::ReplaceFileAtomically(FileName, text)) return true;
    const std::string message = "Cannot write " + FileName + ": " + std::strerror(errno);
    base::TraceLog.LogEntry(base::ttException, message, "ListViewToCSVFile " + FileName,
                            "SerializeListView");
    if (ErrorText) *ErrorText = message;
    return false;
}

std::optional<TCSVRows> CSVFileToListView(const std::string& FileName) {
    const std::optional<std::string> text = base::ReadWholeFile(FileName);
    if (!text) return std::nullopt;
    return SplitCSVText(*text);
}

} // namespace queue
