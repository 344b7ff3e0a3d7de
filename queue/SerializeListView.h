#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Rows of text fields to CSV text and back: the job log's file and the
// progress view's "Save Results...". Any text survives a round trip, also
// quotes, commas and line breaks inside a field.
namespace queue {

using TCSVRow = std::vector<std::string>;
using TCSVRows = std::vector<TCSVRow>;

// Every field in double quotes with its quotes doubled, ", " between fields,
// the line ended by CR LF.
std::string CSVLine(const TCSVRow& Fields);
std::string CSVText(const TCSVRows& Rows);

// The fields of one line: separated by commas; blanks around a field are
// dropped and, outside quotes, also end it ("a b,c" gives a, b, c); a quoted
// field may hold blanks and commas, and "" in it stands for one quote; a
// quote left open ends at the end of the line. An empty line has no fields.
TCSVRow SplitCSVLine(std::string_view Line);
// The records of a whole text, one per line, except that a line break inside
// a quoted field belongs to the field (as CSVText writes it); a quote that is
// never closed ends at its line's end, as in SplitCSVLine. Records without
// fields (blank lines) are left out.
TCSVRows SplitCSVText(std::string_view Text);
// The lines of a text split at CR LF, LF or CR; no empty last line for a final break.
std::vector<std::string> SplitTextLines(std::string_view Text);

// Writes Header (when not empty) and Rows to FileName in one atomic replace.
// On failure: false, a trace entry, and the reason in ErrorText when given.
bool ListViewToCSVFile(const TCSVRows& Rows, const std::string& FileName,
                       const TCSVRow& Header = {}, std::string* ErrorText = nullptr);
// The records of the file (a header line becomes a record too); nothing when
// the file cannot be read.
std::optional<TCSVRows> CSVFileToListView(const std::string& FileName);

} // namespace queue
