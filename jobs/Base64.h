#pragma once

#include <optional>
#include <string>
#include <string_view>

// The program's own Base64 codec for stored user names and passwords. Its output
// must stay byte-for-byte what earlier files hold, quirks included: the empty
// input encodes as "A===", and unknown characters decode to wrong bytes, not errors.
namespace jobs {

// Text of the error when decoding fails.
constexpr const char* Base64LengthError = "Base64ToStr: illegal input length!";

std::string StrToBase64(std::string_view Bytes);
// nullopt when Text is shorter than 4 characters or not a multiple of 4 long.
std::optional<std::string> Base64ToStr(std::string_view Text);

} // namespace jobs
