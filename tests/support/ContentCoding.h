#pragma once

#include <string>
#include <string_view>

namespace testsupport {

// Data in the Content-Encoding Coding ("gzip" or "deflate"), as a server
// that compresses its answers sends it.
std::string ContentCoded(std::string_view Data, std::string_view Coding);

} // namespace testsupport
