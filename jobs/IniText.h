#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace jobs {

// Visits one key of an INI text with its value; false stops the walk.
using TIniValueVisitor =
    std::function<bool(std::string_view Section, std::string_view Key, std::string_view Value)>;

// Values are read with room for this many characters; a longer value is cut.
constexpr std::size_t MaxProfileValueLength = 2047;

// Reads a profile number: optional sign and decimal digits, or "0x"/"0X" and hex
// digits; surrounding blanks allowed. Anything else, or overflow, is no number.
std::optional<std::int64_t> ParseProfileInteger(std::string_view Text);

// The text of one INI file, kept line by line so that a change touches only the
// line it changes: comments, unknown keys and odd lines stay as they were.
// Section and key names compare without regard to ASCII case; where a section
// or key appears twice, the first one counts, for reading and for writing.
class TIniText {
public:
    static TIniText Parse(std::string_view Bytes);
    std::string Serialize() const;

    std::optional<std::string> ReadValue(std::string_view Section, std::string_view Key) const;
    std::string ReadString(std::string_view Section, std::string_view Key,
                           std::string_view Default) const;
    std::int32_t ReadInteger(std::string_view Section, std::string_view Key,
                             std::int32_t Default) const;
    std::int64_t ReadInt64(std::string_view Section, std::string_view Key,
                           std::int64_t Default) const;
    // A count of items stored one per line, 0 when missing: never more than the
    // text has lines, so a hand-edited huge count cannot stall a load.
    std::int32_t ReadCount(std::string_view Section, std::string_view Key) const;
    // "1"/"0"; any other number is true; a non-number gives the default.
    bool ReadBool(std::string_view Section, std::string_view Key, bool Default) const;
    bool SectionExists(std::string_view Section) const;
    std::vector<std::string> ReadKeys(std::string_view Section) const;

    // Each returns false, changing nothing, for a name or value that would
    // break the file's lines (line breaks, NUL, "=" in a key, "]" in a section).
    bool WriteString(std::string_view Section, std::string_view Key, std::string_view Value);
    bool WriteInteger(std::string_view Section, std::string_view Key, std::int64_t Value);
    bool WriteBool(std::string_view Section, std::string_view Key, bool Value);
    // A visitor that writes each value it is given with WriteString.
    TIniValueVisitor ValueWriter();
    void DeleteKey(std::string_view Section, std::string_view Key);
    void EraseSection(std::string_view Section);

private:
    struct TLocation {
        std::size_t Header = 0;  // index of the section's header line
        std::size_t End = 0;     // one past its last line
    };
    std::optional<TLocation> FindSection(std::string_view Section) const;
    std::optional<std::size_t> FindKey(const TLocation& Where, std::string_view Key) const;

    std::vector<std::string> Lines;  // without their line ends
    std::string LineEnd = "\r\n";    // the file's own style; CR LF for a new file
    bool HasByteOrderMark = false;   // the file began with UTF-8's, and keeps it
};

} // namespace jobs
