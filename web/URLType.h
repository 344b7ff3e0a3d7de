#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace web {

// The internet library's scheme numbers; stored and compared as plain numbers.
enum TURLScheme : std::int32_t {
    SchemePartial = -2,
    SchemeUnknown = -1,
    SchemeDefault = 0,
    SchemeFTP = 1,
    SchemeGopher = 2,
    SchemeHTTP = 3,
    SchemeHTTPS = 4,
    SchemeFile = 5,
    SchemeNews = 6,
    SchemeMailto = 7,
    SchemeSocks = 8,
    SchemeJavascript = 9,
    SchemeVBScript = 10,
    SchemeRes = 11,
};

class TURLBase;
struct TURLReference;

// One absolute web address split into its parts. Plain value type: copy it
// (or Assign) to hand it to another thread; never share one between threads.
class TURL {
public:
    TURL() { Clear(); }

    void Clear();
    // Copies every field but UnusableText, which keeps its own value.
    void Assign(const TURL& Source);

    // Parses an absolute address; on failure the object is cleared and the text
    // kept in UnusableText.
    bool SetFullURL(std::string_view Text);
    // Resolves Text, which may be relative, against Base as a browser does.
    bool SetRelativeURL(std::string_view Text, const TURL& Base);
    // The same against a base prepared once for many links (web/URLBase.h).
    bool SetRelativeURL(std::string_view Text, const TURLBase& Base);

    std::string GetURL(bool IncludeUserInfo, bool IncludeHost, bool IncludePath,
                       bool IncludeQuery, bool IncludeFragment) const;
    // Every part, credentials included; empty when not valid.
    std::string GetFullURL() const { return GetURL(true, true, true, true, true); }
    // Host, path and query: the form shown to the user and written to logs.
    std::string GetPlainURL() const { return GetURL(false, true, true, true, false); }

    std::int32_t GetScheme() const { return Scheme; }
    const std::string& GetHostName() const { return HostName; }
    std::int32_t GetPort() const { return Port; }
    const std::string& GetUrlPath() const { return UrlPath; }
    const std::string& GetExtraInfo() const { return ExtraInfo; }
    const std::string& GetFragment() const { return Fragment; }
    const std::string& GetUserName() const { return UserName; }
    const std::string& GetPassword() const { return Password; }
    const std::string& GetUnusableText() const { return UnusableText; }
    bool IsValid() const { return Valid; }
    const std::string& GetFileURL() const { return FileURL; }

    // The path's extension with its dot ('.htm'); empty when a "/" follows the last ".".
    std::string GetExtension() const;
    void SetCredentials(const std::string& NewUserName, const std::string& NewPassword);
    bool HasNoCredentials() const { return UserName.empty() && Password.empty(); }
    void ClearCredentials();
    void SetHostName(const std::string& Host) { HostName = Host; }
    // A web page: MimeType begins with "text/html", or the extension is ".htm"/".html".
    bool IsHTML(std::string_view MimeType) const;
    // A style sheet: MimeType begins with "text/css", or the extension is ".css".
    bool IsStyleSheet(std::string_view MimeType) const;

    // The local path under BaseFolder where this address is saved (see web/LocalFileName.h).
    std::string GetLocalFileName(const std::string& BaseFolder, bool RecreateFolderStructure,
                                 bool AssumeWWW) const;

private:
    friend class TPackedURL;  // packs and unpacks every field as it is
    friend class TURLBase;

    bool JoinPlainPath(std::string_view Text, const TURLBase& Base);
    // SetFullURL's work after clearing, for Text trimmed already; Split, when
    // not null, is Text's split.
    bool SetTrimmedURL(std::string_view Text, const TURLReference* Split);

    std::int32_t Scheme = SchemeUnknown;
    std::string UserName;   // at most 128 characters
    std::string Password;   // at most 128 characters
    std::string HostName;   // at most 256 characters
    std::int32_t Port = 0;  // the scheme's default when the address names none
    std::string UrlPath;    // begins with "/", at most 2048 characters
    std::string ExtraInfo;  // the query with its "?"
    std::string Fragment;   // with its "#"
    std::string FileURL;    // whole text of a file address
    std::string MailtoURL;  // whole text of a mailto address
    bool Valid = false;
    std::string UnusableText;  // text of the last failed parse; empty after success
};

// Text is an absolute address that SetFullURL accepts.
bool IsValidURLText(std::string_view Text);
// Ext, lower-cased, is ".htm" or ".html".
bool IsHTMLExtension(std::string_view Ext);
// Ext, in any letter case, is ".css".
bool IsStyleSheetExtension(std::string_view Ext);
// Ch may stand unescaped in an address (letters, digits, ";/?:@&=+$," and "-_.!~*'()").
bool IsURLChar(char Ch);
// Decodes one whole character reference, "&" through ";".
bool DecodeEntity(std::string_view Entity, char& Ch);
// Replaces short character references ('&amp;', '&#32;') inside an address.
std::string DecodeEntitiesInURL(std::string_view Text);
// The same into Result, reusing its room.
void DecodeEntitiesInURL(std::string_view Text, std::string& Result);

} // namespace web
