#include "queue/CompletionCommandLines.h"

#include "base/AppTraceLog.h"
#include "base/AtomicReplace.h"
#include "base/PosixFile.h"
#include "jobs/LanguageStrings.h"
#include "queue/SerializeListView.h"

#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

namespace queue {

namespace {

constexpr const char* UnitName = "JobQueue";

// Text numbers of the default entries' captions.
constexpr int TextLaunchCopiedSite = 158;
constexpr int TextCreateZipFile = 159;

bool IsExecutableFile(const std::string& Path) {
    struct stat info {};
    return stat(Path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && access(Path.c_str(), X_OK) == 0;
}

} // namespace

std::vector<TCommandLineEntry> ParseCommandLines(std::string_view Text) {
    std::vector<TCommandLineEntry> entries;
    for (const std::string& line : SplitTextLines(Text)) {
        TCSVRow fields = SplitCSVLine(line);
        if (fields.size() == 2)
            entries.push_back({std::move(fields[0]), std::move(fields[1])});
        else
            base::TraceLog.LogEntry(base::ttWarning, "Invalid column count",
                                    "InitCommandLinePopupMenu", UnitName);
    }
    return entries;
}

std::string FindOnSearchPath(const std::string& Name, const std::string& SearchPath) {
    for (std::size_t start = 0; start <= SearchPath.size();) {
        std::size_t end = SearchPath.find(':', start);
        if (end == std::string::npos) end = SearchPath.size();
        // An empty entry means the current folder, which a saved command must not depend on.
        if (end > start) {
            std::string candidate = SearchPath.substr(start, end - start);
            if (candidate.back() != '/') candidate += '/';
            candidate += Name;
            if (IsExecutableFile(candidate)) return candidate;
        }
        start = end + 1;
    }
    return {};
}

// The zip tool packs the copied folder into an archive beside it.
std::string DefaultCommandLinesText(const std::string& SearchPath) {
    std::string text = CSVLine({jobs::LocalText(TextLaunchCopiedSite), "%c"});
    if (const std::string zip = FindOnSearchPath("zip", SearchPath); !zip.empty())
        text += CSVLine({jobs::LocalText(TextCreateZipFile), zip + " -r \"%d.zip\" \"%d\""});
    return text;
}

std::vector<TCommandLineEntry> LoadCommandLines(const std::string& DataFolder) {
    const std::string path = DataFolder + CommandLinesFileBaseName;
    if (!base::FileExists(path)) {
        const char* searchPath = std::getenv("PATH");
        if (!base::ReplaceFileAtomically(path, DefaultCommandLinesText(searchPath ? searchPath : ""))) {
            base::TraceLog.LogAPIError("Write " + path, "CreateDefaultCommandLinePopupFile", UnitName);
            return {};
        }
    }
    const std::optional<std::string> text = base::ReadWholeFile(path);
    if (!text) {
        base::TraceLog.LogAPIError("Read " + path, "InitCommandLinePopupMenu", UnitName);
        return {};
    }
    return ParseCommandLines(*text);
}

} // namespace queue
