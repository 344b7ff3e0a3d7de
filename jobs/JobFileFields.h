#pragma once

#include "jobs/IniField.h"
#include "jobs/JobTypes.h"

#include <string>
#include <string_view>
#include <vector>

namespace jobs {

// The keys of a job file, in the order a new file holds them. The download
// options follow the job's own keys; their header lines come last.
const std::vector<TIniField<TCopyJob>>& CopyJobFields();
const std::vector<TIniField<TCopyJobDownloadOptions>>& DownloadOptionFields();

// The section of a job file that holds Key (any case), header lines included;
// empty for keys a job file does not have, the file's own "FileInfo" keys among them.
std::string JobFileSectionOfKey(std::string_view Key);

} // namespace jobs
