#pragma once

#include <memory>
#include <string>

namespace queue {

// One program to start: the completion command line, placeholders filled.
struct TProcessRequest {
    std::string Program;    // an executable (by path or on the PATH), or a document or folder to open
    std::string Parameters; // split into arguments at blanks, double quotes grouping
    std::string WorkingFolder;
};

// A started program the automation may wait for. Destroying it ends the wait:
// the program goes on running and is reaped when it ends.
class TRunningProcess {
  public:
    virtual ~TRunningProcess() = default;
    virtual bool StillRuns() = 0;
};

// Starts completion programs. The desktop program uses TSpawnProcessRunner;
// tests inject a fake so that nothing real is started.
class TProcessRunner {
  public:
    virtual ~TProcessRunner() = default;
    // The started program, or null with the errno value in Error when it
    // could not be started.
    virtual std::unique_ptr<TRunningProcess> Start(const TProcessRequest& Request, int& Error) = 0;
};

// Starts the program without a shell (filled-in placeholders cannot become
// shell syntax). A program that is no executable file (a page, a folder) is
// opened with xdg-open, the desktop's "open" action.
class TSpawnProcessRunner final : public TProcessRunner {
  public:
    std::unique_ptr<TRunningProcess> Start(const TProcessRequest& Request, int& Error) override;
};

} // namespace queue
