#pragma once

#include <optional>
#include <string>
#include <string_view>

// Whole-file reads and complete writes on POSIX descriptors, retried on EINTR
// and short writes, for the files the program keeps (INI files, the event log).
namespace base {

// False when not every byte could be written.
bool WriteAll(int Handle, std::string_view Data);
// The whole file; an empty string when it does not exist; nullopt when it
// exists but cannot be read or is no regular file.
std::optional<std::string> ReadWholeFile(const std::string& Path);

} // namespace base
