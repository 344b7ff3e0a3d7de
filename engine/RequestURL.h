#pragma once

#include <string>

namespace web {
class TURL;
}

namespace engine {

// The address as the internet library sends it, without user name and
// password: scheme, host (an IPv6 host in brackets), port, and the object
// name with character references decoded and every byte that may not stand
// in a request target escaped, so the server sees one unambiguous address.
// HTTP and HTTPS keep the query; an FTP path has none.
std::string RequestURL(const web::TURL& Address);

} // namespace engine
