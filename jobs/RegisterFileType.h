#pragma once

#include <string>
#include <string_view>

// The association of job files ("*.hcj") with the program, the desktop way:
// a shared-mime-info type and a .desktop entry under $XDG_DATA_HOME, whose
// main command queues the job ("queue", the default) and whose "edit" action
// opens it on the job page.
namespace jobs {

inline constexpr std::string_view JobFileMimeType = "application/x-harvexis-job";
inline constexpr std::string_view JobFileDesktopFile = "harvexis-jobfile.desktop";  // in applications/
inline constexpr std::string_view JobFileMimePackage = "harvexis-jobfile.xml";      // in mime/packages/

// One argument of a desktop entry's Exec line, quoted and escaped so that any
// path survives; empty for text that cannot be written (line breaks).
std::string DesktopExecArgument(std::string_view Argument);

// Writes the type and the entry for ProgramPath (the running program when
// empty), then refreshes the desktop and MIME databases when their tools are
// installed. False when a file could not be written; a missing tool is no failure.
bool RegisterFileType(const std::string& ProgramPath = {});
// Removes the entry with its two verbs; the type itself stays known. Then refreshes.
bool UnregisterFileType();

} // namespace jobs
