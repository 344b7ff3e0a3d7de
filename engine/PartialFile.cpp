#include "engine/PartialFile.h"

#include "base/AsciiText.h"
#include "base/PosixFile.h"

#include <cerrno>

#include <fcntl.h>
#include <unistd.h>

namespace engine {

std::string PartialFileName(const std::string& Destination) { return Destination + "#part"; }

std::string PartialValidatorName(const std::string& Destination) { return Destination + "#validator"; }

TPartialValidator ReadPartialValidator(const std::string& Destination) {
    const std::string name = PartialValidatorName(Destination);
    // Nearly every download finds none: one failed look tells, and only a
    // file that is there is read.
    if (::access(name.c_str(), F_OK) != 0 && errno == ENOENT) return {};
    const auto text = base::ReadWholeFile(name);
    if (!text) return {.Found = true};
    std::string validator = base::TrimControls(*text);
    // Only a header value: a line break inside would end the request's header early.
    for (const char c : validator)
        if (static_cast<unsigned char>(c) < 0x20) return {.Found = true};
    return {.Found = true, .Value = std::move(validator)};
}

bool WritePartialValidator(const std::string& Destination, const std::string& Validator) {
    if (Validator.empty()) {
        RemovePartialValidator(Destination);
        return true;
    }
    const std::string name = PartialValidatorName(Destination);
    base::TFileDescriptor file(::open(name.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
    return file.Get() >= 0 && base::WriteAll(file.Get(), Validator) && file.Close();
}

void RemovePartialValidator(const std::string& Destination) {
    ::unlink(PartialValidatorName(Destination).c_str());
}

} // namespace engine
