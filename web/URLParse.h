#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// Our own address text handling (RFC 3986): splitting an absolute address,
// resolving a link against a base as a browser does, and composing an address
// from parts. TURL builds on these; they neither log nor decode anything.
namespace web {

// Room of each part, in characters. A longer part makes CrackURL fail.
constexpr std::size_t MaxHostNameLength = 256;
constexpr std::size_t MaxUrlPathLength = 2048;
constexpr std::size_t MaxUserNameLength = 128;
constexpr std::size_t MaxPasswordLength = 128;
constexpr std::size_t MaxExtraInfoLength = 2048;  // query and fragment together
// Longest text that CombineURL and CreateURL produce.
constexpr std::size_t MaxComposedURLLength = 2054;

// The parts of an absolute address, exactly as written.
struct TCrackedURL {
    std::int32_t Scheme = -1;  // a TURLScheme number; -1 for a scheme we do not know
    std::string UserName;
    std::string Password;
    std::string HostName;  // an IPv6 literal keeps its brackets
    std::int32_t Port = 0;  // the scheme's default when the address names none
    std::string UrlPath;    // empty when the address has none
    std::string ExtraInfo;  // from the first "?" or "#" to the end
};

// The parts CreateURL joins; empty strings are left out.
struct TURLComponents {
    std::int32_t Scheme = -1;
    std::int32_t Port = 0;
    std::string UserName;
    std::string Password;
    std::string HostName;
    std::string UrlPath;
    std::string ExtraInfo;
};

// One address or link split by RFC 3986 (appendix B); nothing is checked.
// The parts refer to the text that was split.
struct TURLReference {
    bool HasScheme = false;
    std::string_view Scheme;
    bool HasAuthority = false;
    std::string_view Authority;
    std::string_view Path;
    std::size_t PathEnd = 0;  // where the query or fragment begins
    bool HasQuery = false;
    std::string_view Query;  // without "?"
    bool HasFragment = false;
    std::string_view Fragment;  // without "#"
};

TURLReference SplitURLReference(std::string_view Text);

// The port a scheme uses when an address names none; 0 when it has none.
std::int32_t DefaultPort(std::int32_t Scheme);

// Each returns 0 on success, else an error code of the program's error space
// (an errno value, or 12000 + a curl code) that SystemErrorText explains.

// Splits an absolute address into Parts, which keep their strings' room. Fails on a missing scheme, a malformed
// authority or port, an empty host where the scheme needs one, a NUL byte,
// or a part longer than its room.
int CrackURL(std::string_view Text, TCrackedURL& Parts);
// The same for Text split already: Split is SplitURLReference(Text).
int CrackURL(std::string_view Text, const TURLReference& Split, TCrackedURL& Parts);

// Resolves Reference against the absolute BaseText as a browser does: "\" is
// a "/" before the query in web schemes, tabs and line breaks are dropped,
// dot segments are removed, unsafe path characters are %-escaped, and the
// query and fragment are left exactly as written. InheritsAuthority tells
// whether the result took user, host and port from BaseText.
int CombineURL(std::string_view BaseText, std::string_view Reference, std::string& Result,
               bool& InheritsAuthority);
// The same against a base split once, for the many links of one page.
int CombineURL(const TURLReference& Base, std::string_view Reference, std::string& Result,
               bool& InheritsAuthority);

// Reference is an absolute address with a host that CombineURL gives back
// exactly as written, against any base: nothing to drop, turn, remove or escape.
bool CombinesToItself(std::string_view Reference);
// The same, giving Reference's split (SplitURLReference) when true.
bool CombinesToItself(std::string_view Reference, TURLReference& Split);

// Composes an address; the port is left out when it is the scheme's default.
// Characters that would end the user name or password are %-escaped.
int CreateURL(const TURLComponents& Parts, std::string& Result);

} // namespace web
