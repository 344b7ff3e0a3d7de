#pragma once

#include <string>
#include <string_view>
#include <vector>

// What the program does with the parameters it is started with, with a
// second start's parameters handed over, and with files dropped on the
// window. Plain logic: the window answers through TOpenTarget.
namespace ui {

// How a job file or shortcut is opened: edited on the Start page or queued.
enum class TOpenMode { Edit, Queue, Dropped };

// What queuing an address gave: added, the queue is full, or the job was refused.
enum class TQueueAnswer { Added, QueueFull, Refused };

// The window's side of opening files and addresses.
class TOpenTarget {
  public:
    virtual ~TOpenTarget() = default;
    // Queues the job file; false when it could not be read or added.
    virtual bool AddJobFile(const std::string& Path) = 0;
    virtual TQueueAnswer CopyAddressNow(const std::string& Address) = 0;
    virtual void LoadJobFile(const std::string& Path) = 0;
    virtual void NewJobFromAddress(const std::string& Address) = 0;
    virtual void ReportInvalidParameter(const std::string& Parameter) = 0;
    // The Start page is the page in front (a single dropped file is then edited).
    virtual bool StartPageCurrent() const = 0;
};

// GNU-style switches: "--edit" opens job files and addresses on the Start
// page; "--runonce" and "--uninstall" set up and remove the job file
// association; "--eventlog" writes the event log. A leading "/" is a path.
inline constexpr std::string_view EditSwitch = "--edit";
inline constexpr std::string_view RunOnceSwitch = "--runonce";
inline constexpr std::string_view UninstallSwitch = "--uninstall";
inline constexpr std::string_view EventLogSwitch = "--eventlog";

bool HasSwitch(const std::vector<std::string>& Params, std::string_view Switch);

// The address of an internet shortcut: "URL" in [InternetShortcut] of a
// ".url" file, or of a ".desktop" file of Type=Link in [Desktop Entry];
// empty when the file names none.
std::string ReadInternetShortcut(const std::string& Path);

// Each existing file is opened; switches are skipped; a valid web address is
// edited or queued; anything else is reported as invalid.
void ProcessCommandLine(const std::vector<std::string>& Params, TOpenTarget& Target);

// Job files (".hcj") and shortcuts (".url", ".desktop") are queued or edited
// by Mode; other files are ignored. A file that cannot be queued ends the request.
void OpenFiles(const std::vector<std::string>& Paths, TOpenMode Mode, TOpenTarget& Target);

} // namespace ui
