#pragma once

#include "support/TempDir.h"

#include <cstddef>
#include <string>

namespace testsupport {

// Switches the program's trace log on into a temporary folder for the life of
// the object, so a test can assert which entries the code under test wrote.
class TTraceLogCapture {
  public:
    TTraceLogCapture();
    ~TTraceLogCapture();
    TTraceLogCapture(const TTraceLogCapture&) = delete;
    TTraceLogCapture& operator=(const TTraceLogCapture&) = delete;

    // The whole event log file as written so far.
    std::string Text() const;
    // Number of rows whose text contains Fragment (e.g. "\"Warning\", \"Array full\"").
    std::size_t CountRows(const std::string& Fragment) const;
    // Rows of one type ("Warning", "API Error", "Message") whose text holds Fragment.
    int Count(const std::string& TypeText, const std::string& Fragment = "") const;

  private:
    TTempDir Dir;
};

} // namespace testsupport
