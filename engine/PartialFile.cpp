#include "engine/PartialFile.h"

#include "base/AsciiText.h"
#include "base/PosixFile.h"

#include <cerrno>

#include <fcntl.h>
#include <unistd.h>

namespace engine {

namespace {

std::string ValidatorFileName(const std::string& Destination) { return Destination + "#validator"; }

} // namespace

std::string PartialFileName(const std::string& Destination) { return Destination + "#part"; }

std::string ReadPartialValidator(const std::string& Destination) {
    const auto text = base::ReadWholeFile(ValidatorFileName(Destination));
    if (!text) return {};
    std::string validator = base::TrimControls(*text);
    // Only a header value: a line break inside would end the request's header early.
    for (const char c : validator)
        if (static_cast<unsigned char>(c) < 0x20) return {};
    return validator;
}

bool WritePartialValidator(const std::string& Destination, const std::string& Validator) {
    if (Validator.empty()) {
        RemovePartialValidator(Destination);
        return true;
    }
    const std::string name = ValidatorFileName(Destination);
    base::TFileDescriptor file(::open(name.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
    return file.Get() >= 0 && base::WriteAll(file.Get(), Validator) && file.Close();
}

void RemovePartialValidator(const std::string& Destination) {
    ::unlink(ValidatorFileName(Destination).c_str());
}

} // namespace engine
