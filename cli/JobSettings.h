#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace jobs {
class TCopyJob;
}

namespace cli {

using TJobSettings = std::vector<std::pair<std::string, std::string>>;

// Splits "Key=Value" of a --set option: an option action (see OptionTable.h).
std::optional<std::string> ParseJobSetting(const std::string& Text, TJobSettings& Settings);
// Writes each Key=Value into the job as its job file would hold it, then
// checks that the job took every value; the problem's text on failure.
std::optional<std::string> ApplyJobSettings(const TJobSettings& Settings, jobs::TCopyJob& Job);

// The runner never copies to a folder nobody named (the desktop program picks
// the documents folder): the problem's text, prefixed by Source, when the
// job's destination is empty.
std::optional<std::string> RefuseEmptyDestination(const jobs::TCopyJob& Job, const std::string& Source);

// Path made absolute against the working folder, without dot segments; the
// path as given when the working folder is unknown.
std::string AbsoluteFolder(const std::string& Path);

} // namespace cli
