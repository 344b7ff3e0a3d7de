#include "jobs/DownloadOptionTypes.h"

#include "jobs/IniFile.h"

namespace jobs {

namespace {

constexpr const char* OptionsSection = "DownloadOptions";
constexpr const char* HeadersSection = "HTTPHeaders";
constexpr std::string_view LineBreak = "\r\n";

// Header lines are stored one per key, numbered without gaps over the non-empty lines.
bool SaveHeaderLines(const std::string& Headers, TIniText& Text) {
    std::string rest = Headers + std::string(LineBreak);
    std::int64_t count = 0;
    for (auto end = rest.find(LineBreak); end != std::string::npos; end = rest.find(LineBreak)) {
        const std::string line = rest.substr(0, end);
        rest.erase(0, end + LineBreak.size());
        if (line.empty()) continue;
        if (!Text.WriteString(HeadersSection, "Line" + std::to_string(count), line)) return false;
        ++count;
    }
    return Text.WriteInteger(HeadersSection, "LineCount", count);
}

std::string LoadHeaderLines(const TIniText& Text) {
    std::string headers;
    const std::int32_t count = Text.ReadInteger(HeadersSection, "LineCount", 0);
    for (std::int32_t i = 0; i < count; ++i) {
        const std::string line = Text.ReadString(HeadersSection, "Line" + std::to_string(i), "");
        if (line.empty()) continue;
        if (!headers.empty()) headers += LineBreak;
        headers += line;
    }
    if (!headers.empty()) headers += LineBreak;
    return headers;
}

} // namespace

void TCopyJobDownloadOptions::SetDefaults() { *this = TCopyJobDownloadOptions{}; }

void TCopyJobDownloadOptions::LoadFromText(const TIniText& Text) {
    HTTPAgentName = Text.ReadString(OptionsSection, "HTTPAgentName", "");
    AllowCookies = Text.ReadBool(OptionsSection, "AllowCookies", true);
    UpdateOldFiles = Text.ReadBool(OptionsSection, "UpdateOldFiles", false);
    AllowAuthentication = Text.ReadBool(OptionsSection, "AllowAuthentication", true);
    HTTPHeaders = LoadHeaderLines(Text);
    ConnectRetries = Text.ReadInteger(OptionsSection, "ConnectRetries", 3);
    Timeout = Text.ReadInteger(OptionsSection, "Timeout", 60000);
    WriteToIECache = Text.ReadBool(OptionsSection, "WriteToIECache", false);
    UsePassiveFTP = Text.ReadBool(OptionsSection, "UsePassiveFTP", false);
    AddFileExtensions = Text.ReadBool(OptionsSection, "AddFileExtensions", true);
    UseReferrer = Text.ReadBool(OptionsSection, "UseReferrer", true);
}

bool TCopyJobDownloadOptions::SaveToText(TIniText& Text) const {
    return Text.WriteString(OptionsSection, "HTTPAgentName", HTTPAgentName) &&
           Text.WriteBool(OptionsSection, "AllowCookies", AllowCookies) &&
           Text.WriteBool(OptionsSection, "UpdateOldFiles", UpdateOldFiles) &&
           Text.WriteBool(OptionsSection, "AllowAuthentication", AllowAuthentication) &&
           SaveHeaderLines(HTTPHeaders, Text) &&
           Text.WriteInteger(OptionsSection, "ConnectRetries", ConnectRetries) &&
           Text.WriteInteger(OptionsSection, "Timeout", Timeout) &&
           Text.WriteBool(OptionsSection, "WriteToIECache", WriteToIECache) &&
           Text.WriteBool(OptionsSection, "UsePassiveFTP", UsePassiveFTP) &&
           Text.WriteBool(OptionsSection, "AddFileExtensions", AddFileExtensions) &&
           Text.WriteBool(OptionsSection, "UseReferrer", UseReferrer);
}

bool TCopyJobDownloadOptions::LoadFromFile(const std::string& FileName) {
    const auto text = TIniFile(FileName).TryLoad();
    if (!text) return false;
    LoadFromText(*text);
    return true;
}

bool TCopyJobDownloadOptions::SaveToFile(const std::string& FileName) const {
    return TIniFile(FileName).Update([this](TIniText& text) { return SaveToText(text); });
}

} // namespace jobs
