#include "support/TraceLogCapture.h"

#include "base/AppTraceLog.h"

#include <sstream>

namespace testsupport {

TTraceLogCapture::TTraceLogCapture() {
    base::TraceLog.Start({"test", "/eventlog"}, Dir.Path() + "/");
}

TTraceLogCapture::~TTraceLogCapture() {
    base::TraceLog.Shutdown();
}

std::string TTraceLogCapture::Text() const {
    return ReadFileText(Dir.File("HarvexisEventLog.csv"));
}

std::size_t TTraceLogCapture::CountRows(const std::string& Fragment) const {
    std::istringstream rows(Text());
    std::size_t count = 0;
    for (std::string row; std::getline(rows, row);)
        if (row.find(Fragment) != std::string::npos) ++count;
    return count;
}

int TTraceLogCapture::Count(const std::string& TypeText, const std::string& Fragment) const {
    std::istringstream rows(Text());
    int count = 0;
    for (std::string row; std::getline(rows, row);)
        if (row.find("\"" + TypeText + "\"") != std::string::npos && row.find(Fragment) != std::string::npos)
            ++count;
    return count;
}

} // namespace testsupport
