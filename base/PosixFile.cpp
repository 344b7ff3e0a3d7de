#include "base/PosixFile.h"

#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace base {

TFileDescriptor::~TFileDescriptor() {
    if (Handle >= 0) ::close(Handle);
}

TFileDescriptor& TFileDescriptor::operator=(TFileDescriptor&& Other) noexcept {
    if (this != &Other) {
        if (Handle >= 0) ::close(Handle);
        Handle = Other.Handle;
        Other.Handle = -1;
    }
    return *this;
}

bool TFileDescriptor::Close() {
    const int handle = Handle;
    Handle = -1;
    return ::close(handle) == 0;
}

bool FileExists(const std::string& Path, struct stat& Info) {
    return !Path.empty() && ::stat(Path.c_str(), &Info) == 0;
}

bool PathNamesOpenFile(const std::string& Path, int Handle, struct stat* Opened) {
    struct stat own;
    struct stat& opened = Opened ? *Opened : own;
    return ::fstat(Handle, &opened) == 0 && PathNamesFile(Path, opened);
}

bool PathNamesFile(const std::string& Path, const struct stat& Opened) {
    struct stat named;
    return ::stat(Path.c_str(), &named) == 0 && named.st_dev == Opened.st_dev && named.st_ino == Opened.st_ino;
}

bool FileExists(const std::string& Path) {
    struct stat info {};
    return FileExists(Path, info);
}

namespace {

// Puts Data out through Put (given how much of it is done, it writes from
// there), retried on EINTR and short writes.
template <class TPut>
bool PutEveryByte(std::string_view Data, TPut Put) {
    std::size_t done = 0;
    while (done < Data.size()) {
        const ssize_t n = Put(done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

} // namespace

bool WriteAll(int Handle, std::string_view Data) {
    return PutEveryByte(Data, [&](std::size_t Done) { return ::write(Handle, Data.data() + Done, Data.size() - Done); });
}

bool WriteAllFromStart(int Handle, std::string_view Data) {
    return PutEveryByte(Data, [&](std::size_t Done) {
        return ::pwrite(Handle, Data.data() + Done, Data.size() - Done, static_cast<off_t>(Done));
    });
}

bool ReadUpTo(int Handle, std::size_t Size, std::string& Bytes) {
    Bytes.resize(Size);
    std::size_t done = 0;
    while (done < Size) {
        const ssize_t n = ::read(Handle, Bytes.data() + done, Size - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            Bytes.resize(done);
            return n == 0;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

std::optional<std::string> ReadWholeFile(const std::string& Path) {
    const TFileDescriptor file(::open(Path.c_str(), O_RDONLY | O_CLOEXEC));
    const int handle = file.Get();
    if (handle < 0) return errno == ENOENT ? std::optional<std::string>("") : std::nullopt;
    std::optional<std::string> data;
    struct stat info {};
    if (::fstat(handle, &info) == 0 && S_ISREG(info.st_mode)) {
        data.emplace();
        char buffer[65536];
        for (;;) {
            const ssize_t n = ::read(handle, buffer, sizeof buffer);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) data.reset();
            if (n <= 0) break;
            data->append(buffer, static_cast<std::size_t>(n));
        }
    }
    return data;
}

} // namespace base
