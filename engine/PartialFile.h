#pragma once

#include <string>

namespace engine {

// The work files of a download lie beside its destination: the partial file
// that the body is written to, and the validator of the answer it came from.
// Their names end in "#part" and "#validator": a local name never holds '#'
// (it begins an address's fragment, and "%23" stays escaped), so no file of a
// site can take either name, while disks formatted for Windows accept it; a
// later run of the job still finds the partial file to resume it.
std::string PartialFileName(const std::string& Destination);
std::string PartialValidatorName(const std::string& Destination);

// The ETag (or else the Last-Modified date) of the answer whose body the
// partial file of Destination holds. A resumed request sends it, so that a
// server whose file changed sends the whole file.
struct TPartialValidator {
    bool Found = false;  // a validator file lies beside Destination, whatever it holds
    std::string Value;   // empty when none was kept or what was kept is unusable
};
TPartialValidator ReadPartialValidator(const std::string& Destination);
// Keeps Validator beside the partial file; an empty one removes what was kept.
// False with errno when it could not be written.
bool WritePartialValidator(const std::string& Destination, const std::string& Validator);
void RemovePartialValidator(const std::string& Destination);

} // namespace engine
