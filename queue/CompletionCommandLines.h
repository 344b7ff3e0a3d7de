#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace queue {

// One prepared completion command line of the drop-down menu.
struct TCommandLineEntry {
    std::string Caption;
    std::string CommandLine;

    bool operator==(const TCommandLineEntry&) const = default;
};

inline constexpr const char* CommandLinesFileBaseName = "JobCompletionCommandLines.csv";

// The entries of the file's text, in line order. A line without exactly two
// fields is skipped with a trace warning "Invalid column count"; the entries
// after it keep their order.
std::vector<TCommandLineEntry> ParseCommandLines(std::string_view Text);

// The default file's text: "Launch copied site" with "%c" always, and
// "Create ZIP file" with the zip tool and "%d" when SearchPath holds "zip".
// SearchPath is a PATH value (folders apart by ':').
std::string DefaultCommandLinesText(const std::string& SearchPath);

// The menu of DataFolder's file; the file is first written with the default
// lines (for this process's PATH) when it does not exist. A file that can be
// neither written nor read gives no entries (and a trace entry).
std::vector<TCommandLineEntry> LoadCommandLines(const std::string& DataFolder);

// The full name of an executable file called Name in one of SearchPath's
// folders, or empty.
std::string FindOnSearchPath(const std::string& Name, const std::string& SearchPath);

} // namespace queue
