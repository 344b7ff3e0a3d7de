#include "base/PosixFile.h"

#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace base {

bool WriteAll(int Handle, std::string_view Data) {
    std::size_t done = 0;
    while (done < Data.size()) {
        const ssize_t n = ::write(Handle, Data.data() + done, Data.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

std::optional<std::string> ReadWholeFile(const std::string& Path) {
    const int handle = ::open(Path.c_str(), O_RDONLY | O_CLOEXEC);
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
    ::close(handle);
    return data;
}

} // namespace base
