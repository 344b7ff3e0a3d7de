#pragma once

#include "messaging/AppTraceLog.h"
#include "support/TempDir.h"

#include <sstream>
#include <string>

namespace testsupport {

// Switches the program's trace log on into a temporary folder for the life of
// the object, so a test can count the entries an operation wrote.
class TTraceCapture {
public:
    TTraceCapture() { messaging::TraceLog.Start({"/eventlog"}, Folder.Path() + "/"); }
    ~TTraceCapture() { messaging::TraceLog.Shutdown(); }

    // Rows of the given type ("Warning", "API Error", "Message") whose text holds Fragment.
    int Count(const std::string& TypeText, const std::string& Fragment = "") const {
        std::istringstream rows(ReadFileText(Folder.File("HarvexisEventLog.csv")));
        int found = 0;
        for (std::string row; std::getline(rows, row);)
            if (row.find("\"" + TypeText + "\"") != std::string::npos &&
                row.find(Fragment) != std::string::npos)
                ++found;
        return found;
    }

private:
    TTempDir Folder;
};

} // namespace testsupport
