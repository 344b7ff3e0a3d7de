#pragma once

#include "web/URLParse.h"
#include "web/URLType.h"

#include <string>
#include <string_view>

namespace web {

// A base address composed and split once, so that the many links of one page
// are resolved without composing or parsing their base again. It refers to
// Address, which must stay unchanged while this lives.
class TURLBase {
public:
    explicit TURLBase(const TURL& Address);
    TURLBase(const TURLBase&) = delete;
    TURLBase& operator=(const TURLBase&) = delete;

private:
    friend class TURL;

    const TURL& Address;
    std::string Text;     // without the credentials, which stay out of the trace log
    TURLReference Parts;  // refers to Text
    bool Usable = false;  // an address that can be written out
    // A link that is a plain path below the base's folder resolves to Directory
    // followed by the link as written, with the base's own parts.
    TCrackedURL Cracked;         // Text's parts
    std::string_view Directory;  // Text's path through its last "/"; empty when links take the long way
};

} // namespace web
