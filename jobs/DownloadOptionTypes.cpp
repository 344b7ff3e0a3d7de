#include "jobs/DownloadOptionTypes.h"

#include "base/AsciiText.h"
#include "jobs/IniFile.h"
#include "jobs/JobFileFields.h"

namespace jobs {

namespace {

constexpr const char* OptionsSection = "DownloadOptions";
constexpr std::string_view LineBreak = "\r\n";

using O = TCopyJobDownloadOptions;

const std::vector<TIniField<O>> Fields = {
    {OptionsSection, "HTTPAgentName", &O::HTTPAgentName},
    {OptionsSection, "AllowCookies", &O::AllowCookies, true},
    {OptionsSection, "UpdateOldFiles", &O::UpdateOldFiles, false},
    {OptionsSection, "AllowAuthentication", &O::AllowAuthentication, true},
    {OptionsSection, "ConnectRetries", &O::ConnectRetries, 3},
    {OptionsSection, "Timeout", &O::Timeout, 60000},
    {OptionsSection, "WriteToIECache", &O::WriteToIECache, false},
    {OptionsSection, "UsePassiveFTP", &O::UsePassiveFTP, false},
    {OptionsSection, "AddFileExtensions", &O::AddFileExtensions, true},
    {OptionsSection, "UseReferrer", &O::UseReferrer, true},
};

// Header lines are stored one per key, numbered without gaps over the non-empty lines.
bool ForEachHeaderLine(const std::string& Headers, const TIniValueVisitor& Visit) {
    std::string rest = Headers + std::string(LineBreak);
    std::int64_t count = 0;
    for (auto end = rest.find(LineBreak); end != std::string::npos; end = rest.find(LineBreak)) {
        const std::string line = rest.substr(0, end);
        rest.erase(0, end + LineBreak.size());
        if (line.empty()) continue;
        if (!Visit(HTTPHeadersSection, "Line" + std::to_string(count), line)) return false;
        ++count;
    }
    return Visit(HTTPHeadersSection, "LineCount", std::to_string(count));
}

std::string LoadHeaderLines(const TIniText& Text) {
    std::string headers;
    const std::int32_t count = Text.ReadCount(HTTPHeadersSection, "LineCount");
    for (std::int32_t i = 0; i < count; ++i) {
        const std::string line = Text.ReadString(HTTPHeadersSection, "Line" + std::to_string(i), "");
        if (line.empty()) continue;
        if (!headers.empty()) headers += LineBreak;
        headers += line;
    }
    if (!headers.empty()) headers += LineBreak;
    return headers;
}

} // namespace

bool IsHTTPHeadersKey(std::string_view Key) {
    if (base::SameTextAscii(Key, "LineCount")) return true;
    if (Key.size() < 5 || !base::SameTextAscii(Key.substr(0, 4), "Line")) return false;
    return Key.find_first_not_of("0123456789", 4) == std::string_view::npos;
}

const std::vector<TIniField<TCopyJobDownloadOptions>>& DownloadOptionFields() { return Fields; }

void TCopyJobDownloadOptions::SetDefaults() { *this = TCopyJobDownloadOptions{}; }

void TCopyJobDownloadOptions::LoadFromText(const TIniText& Text) {
    for (const auto& field : Fields) LoadIniField(Text, field, *this);
    // No time at all would fail every download; such a file gets a new job's time-out.
    if (Timeout <= 0) Timeout = TCopyJobDownloadOptions{}.Timeout;
    HTTPHeaders = LoadHeaderLines(Text);
}

// The header lines' section comes after the options' own keys, as in every
// file written so far.
bool TCopyJobDownloadOptions::ForEachFileValue(const TIniValueVisitor& Visit) const {
    for (const auto& field : Fields)
        if (!Visit(field.Section, field.Key, IniFieldText(field, *this))) return false;
    return ForEachHeaderLine(HTTPHeaders, Visit);
}

bool TCopyJobDownloadOptions::SaveToText(TIniText& Text) const {
    return ForEachFileValue(Text.ValueWriter());
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
