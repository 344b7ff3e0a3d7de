#pragma once

#include <optional>
#include <string>
#include <string_view>

#include <sys/stat.h>

// Whole-file reads and complete writes on POSIX descriptors, retried on EINTR
// and short writes, for the files the program keeps (INI files, the event log,
// downloads), and the few file facts the program asks for.
namespace base {

// Owns an open file descriptor: closes it on every way out of a scope.
class TFileDescriptor {
public:
    explicit TFileDescriptor(int Handle = -1) : Handle(Handle) {}
    ~TFileDescriptor();
    TFileDescriptor(const TFileDescriptor&) = delete;
    TFileDescriptor& operator=(const TFileDescriptor&) = delete;
    TFileDescriptor(TFileDescriptor&& Other) noexcept : Handle(Other.Handle) { Other.Handle = -1; }
    // Closes what this one held.
    TFileDescriptor& operator=(TFileDescriptor&& Other) noexcept;
    int Get() const { return Handle; }
    // Closes now; false with errno when the last writes could not be completed.
    bool Close();

private:
    int Handle;
};

// Something (a file or a folder) exists under Path; an empty path names nothing.
bool FileExists(const std::string& Path);
// The same, with its size and times in Info when it exists.
bool FileExists(const std::string& Path, struct stat& Info);

// Path still names the file open as Handle: it was neither removed nor
// replaced since it was opened. Opened, when given, receives the open file's status.
bool PathNamesOpenFile(const std::string& Path, int Handle, struct stat* Opened = nullptr);
// The same for an open file whose status (Opened) was taken before.
bool PathNamesFile(const std::string& Path, const struct stat& Opened);

// False when not every byte could be written.
bool WriteAll(int Handle, std::string_view Data);
// The same from the file's start, wherever its position is.
bool WriteAllFromStart(int Handle, std::string_view Data);
// Reads at most Size bytes of the open file, from its position, into Bytes:
// fewer when its end comes first (a file that shrank meanwhile). False with
// errno when reading failed.
bool ReadUpTo(int Handle, std::size_t Size, std::string& Bytes);
// The whole file; an empty string when it does not exist; nullopt when it
// exists but cannot be read or is no regular file.
std::optional<std::string> ReadWholeFile(const std::string& Path);

} // namespace base
