#include "engine/RequestURL.h"

#include "web/URLType.h"

#include <string_view>

namespace engine {

std::string RequestURL(const web::TURL& Address) {
    const bool ftp = Address.GetScheme() == web::SchemeFTP;
    std::string url = ftp ? "ftp://" : Address.GetScheme() == web::SchemeHTTPS ? "https://" : "http://";
    const std::string& host = Address.GetHostName();
    url += host.find(':') != std::string::npos && host.front() != '[' ? "[" + host + "]" : host;
    url += ":" + std::to_string(Address.GetPort());
    const std::string object = web::DecodeEntitiesInURL(Address.GetURL(false, false, true, !ftp, false));
    static const char* const Hex = "0123456789ABCDEF";
    for (unsigned char c : object) {
        if (c <= 0x20 || c >= 0x7F ||
            std::string_view("\"<>\\^`{|}#").find(static_cast<char>(c)) != std::string_view::npos) {
            url += '%';
            url += Hex[c >> 4];
            url += Hex[c & 15];
        } else {
            url += static_cast<char>(c);
        }
    }
    return url;
}

} // namespace engine
