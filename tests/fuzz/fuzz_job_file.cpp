// Any bytes read as a job file, a settings file and a password store. The INI
// text serializes to a stable text; a job loaded from it saves and loads back
// to the same values; the settings give histories within their length and a
// proxy that is either usable or named as a problem; the password store holds
// at most a hundred sites and saves and loads back to the same entries.

#include "fuzz_url_checks.h"

#include "jobs/IniText.h"
#include "jobs/JobTypes.h"
#include "jobs/PasswordMgr.h"
#include "jobs/SavedOptions.h"
#include "queue/ProxySettings.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

namespace {

using TValues = std::vector<std::tuple<std::string, std::string, std::string>>;

TValues FileValues(const jobs::TCopyJob& Job) {
    TValues values;
    Job.ForEachFileValue([&values](std::string_view Section, std::string_view Key, std::string_view Value) {
        values.emplace_back(Section, Key, Value);
        return true;
    });
    return values;
}

// A line that ends in CRs loses them when read back (a mixed CR LF line),
// so the text is stable from its second writing on.
void CheckTextRoundTrip(const jobs::TIniText& Text) {
    const std::string twice = jobs::TIniText::Parse(Text.Serialize()).Serialize();
    FUZZ_CHECK(jobs::TIniText::Parse(twice).Serialize() == twice);
}

void CheckJobRoundTrip(const jobs::TIniText& Text) {
    jobs::TCopyJob job;
    if (!job.LoadFromText(Text)) return;
    jobs::TIniText saved;
    if (!job.SaveToText(saved)) return;  // a value that would break the file's lines
    jobs::TCopyJob loaded;
    FUZZ_CHECK(loaded.LoadFromText(jobs::TIniText::Parse(saved.Serialize())));
    FUZZ_CHECK(FileValues(loaded) == FileValues(job));
}

void CheckPasswordStore(const jobs::TIniText& Text) {
    (void)jobs::PasswordTextProblem(Text);
    // The table is large; keep it off the stack.
    auto store = std::make_unique<jobs::TPasswordManager>();
    store->LoadFrom(Text);
    FUZZ_CHECK(store->Count() <= jobs::MaxSitePasswords);
    jobs::TIniText saved;
    if (!store->StoreTo(saved)) return;
    auto loaded = std::make_unique<jobs::TPasswordManager>();
    loaded->LoadFrom(jobs::TIniText::Parse(saved.Serialize()));
    const auto before = store->Entries(), after = loaded->Entries();
    FUZZ_CHECK(before.size() == after.size());
    for (std::size_t i = 0; i < before.size() && i < after.size(); ++i)
        FUZZ_CHECK(before[i].Host == after[i].Host && before[i].User == after[i].User &&
                   before[i].Password == after[i].Password);
}

// The settings are read from a file, as the program reads them.
const std::string& SettingsFolder() {
    static const std::string folder = [] {
        char pattern[] = "/tmp/fuzz_job_file.XXXXXX";
        if (!::mkdtemp(pattern)) std::abort();
        return std::string(pattern) + "/";
    }();
    return folder;
}

void CheckProxy(const jobs::TSavedOptions& Settings, const jobs::TProxySettingKeys& Keys,
                const jobs::TProxyServerInfo& Record) {
    if (!Settings.Read(Keys.UseProxyServer)) return;
    const bool usable = !queue::ProxySettingsProblem(Settings, Keys);
    if (usable) FUZZ_CHECK(Record.UseProxyServer && Record.Port >= 1 && Record.Port <= 65535);
    if (!Record.UseProxyServer) FUZZ_CHECK(!usable);
}

void CheckSettings(std::string_view Bytes) {
    const std::string file = SettingsFolder() + std::string(jobs::SettingsFileName);
    std::FILE* out = std::fopen(file.c_str(), "wb");
    if (!out) std::abort();
    std::fwrite(Bytes.data(), 1, Bytes.size(), out);
    std::fclose(out);
    jobs::TSavedOptions settings;
    settings.Initialize(SettingsFolder());
    const auto length = static_cast<std::size_t>(settings.MaxHistoryLength());
    FUZZ_CHECK(length >= 1 && length <= static_cast<std::size_t>(jobs::MaxHistoryLengthLimit));
    for (const auto section : {jobs::Settings::StartingAddressHistory, jobs::Settings::SaveFolderHistory,
                               jobs::Settings::AgentNameHistory}) {
        std::vector<std::string> history;
        settings.ReadHistory(section, history);
        FUZZ_CHECK(history.size() <= length);
    }
    jobs::TProxyServerInfo http, ftp;
    queue::GetProxySettings(settings, http, ftp);
    CheckProxy(settings, jobs::Settings::HTTPProxy, http);
    CheckProxy(settings, jobs::Settings::FTPProxy, ftp);
    (void)settings.SpeechVolume();
    (void)settings.Read(jobs::Settings::CountdownStartNextJob);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
    const std::string_view input(reinterpret_cast<const char*>(Data), Size);
    const auto text = jobs::TIniText::Parse(input);
    CheckTextRoundTrip(text);
    CheckJobRoundTrip(text);
    CheckPasswordStore(text);
    CheckSettings(input);
    return 0;
}
