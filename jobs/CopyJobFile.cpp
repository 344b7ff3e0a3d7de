// Saving and loading a TCopyJob as a job file (INI text, ".hcj").

#include "jobs/JobFileFields.h"

#include "base/AppTraceLog.h"
#include "jobs/Base64.h"
#include "jobs/IniFile.h"

namespace jobs {

namespace {

constexpr const char* FileInfo = "FileInfo";
constexpr const char* Start = "Start";
constexpr const char* Location = "LocationRestrictions";
constexpr const char* Address = "AddressRestrictions";
constexpr const char* CountAndSize = "FileCountAndSize";
constexpr const char* FileExtensions = "FileExtensions";
constexpr const char* MimeTypes = "MimeTypes";
constexpr const char* Hostnames = "Hostnames";
constexpr const char* Additional = "AdditionalOptions";
constexpr std::int32_t SchemaVersion = 1;

using J = TCopyJob;

// Some defaults of a missing key differ from those of Reset (a new job on the
// job page): files written before a key existed read as they always did.
const std::vector<TIniField<TCopyJob>> Fields = {
    {Start, "JobName", &J::JobName},
    {Start, "StartingWebAddress", &J::StartingWebAddress},
    // Credentials are stored apart, so that the address can be shown as it is;
    // empty keys make sure no credentials saved earlier in the file survive.
    {Start, "SU", &J::StartingUserName, 0, true},
    {Start, "SP", &J::StartingPassword, 0, true},
    {Start, "DestinationFolder", &J::DestinationFolder},
    {Start, "RecreateFolderStructure", &J::RecreateFolderStructure, true},
    {Start, "FlattenDestinationFolders", &J::FlattenDestinationFolders, true},
    {Start, "RewriteLinks", &J::RewriteLinks, true},
    {Start, "KeepRewriteInputFiles", &J::KeepRewriteInputFiles, false},
    {Start, "AddMarkOfWebOnRewrite", &J::AddMarkOfWebOnRewrite, false},
    {Location, "RestrictLocation", &J::RestrictLocation, lrWithinFolder},
    {Location, "RestrictLocationOfWebPagesOnly", &J::RestrictLocationOfWebPagesOnly, true},
    {Location, "MaxDistance", &J::MaxDistance, 8},
    {Address, "AddressStrings", &J::AddressStrings},
    {Address, "AddressStringsPurpose", &J::AddressStringsPurpose, lpCopyAll},
    {CountAndSize, "MaxFileCount", &J::MaxFileCount, -1},
    {CountAndSize, "MinFileSize", &J::MinFileSize, -1},
    {CountAndSize, "MaxFileSize", &J::MaxFileSize, -1},
    // The full 64-bit number: limits of 2 GB and more must survive. Older files
    // hold the low 32 bits as a signed number; they read as before.
    {CountAndSize, "MaxJobDownloadSize", &J::MaxJobDownloadSize, -1},
    {FileExtensions, "Extensions", &J::Extensions},
    {FileExtensions, "ExtensionsPurpose", &J::ExtensionsPurpose, lpCopyAll},
    {MimeTypes, "Types", &J::Types},
    {MimeTypes, "TypesPurpose", &J::TypesPurpose, lpCopyAll},
    {Hostnames, "Hosts", &J::Hosts},
    {Hostnames, "HostsPurpose", &J::HostsPurpose, lpCopyAll},
    {Additional, "StartingReferrer", &J::StartingReferrer},
    {Additional, "PauseBetweenDownloads", &J::PauseBetweenDownloads, 0},
    {Additional, "HonorRobotNoIndexTags", &J::HonorRobotNoIndexTags, false},
    {Additional, "HonorRobotNoFollowTags", &J::HonorRobotNoFollowTags, false},
    {Additional, "SaveQueryResults", &J::SaveQueryResults, false},
    {Additional, "DownloadHTTP", &J::DownloadHTTP, true},
    {Additional, "DownloadHTTPS", &J::DownloadHTTPS, false},
    {Additional, "DownloadFTP", &J::DownloadFTP, false},
    {Additional, "DownloadDefaultInEachDirectory", &J::DownloadDefaultInEachDirectory, false},
    {Additional, "MaxSecondsForAllDownloads", &J::MaxSecondsForAllDownloads, -1},
    {Additional, "AssumeWWWWhenNoThirdLevelDomain", &J::AssumeWWWWhenNoThirdLevelDomain, true},
    {Additional, "PruneFolders", &J::PruneFolders, true},
};

// "SU"/"SP" were read as stored: both set, or neither counts. False when a
// value is no Base64.
bool DecodeCredentials(TCopyJob& Job) {
    if (Job.StartingUserName.empty() || Job.StartingPassword.empty()) {
        Job.StartingUserName.clear();
        Job.StartingPassword.clear();
        return true;
    }
    const auto user = Base64ToStr(Job.StartingUserName);
    const auto password = Base64ToStr(Job.StartingPassword);
    if (!user || !password) {
        base::TraceLog.LogEntry(base::ttException, Base64LengthError, "LoadFromFile", "JobTypes");
        return false;
    }
    Job.StartingUserName = *user;
    Job.StartingPassword = *password;
    return true;
}

} // namespace

const std::vector<TIniField<TCopyJob>>& CopyJobFields() { return Fields; }

std::string JobFileSectionOfKey(std::string_view Key) {
    if (const char* section = SectionOfIniKey(Fields, Key)) return section;
    if (const char* section = SectionOfIniKey(DownloadOptionFields(), Key)) return section;
    if (IsHTTPHeadersKey(Key)) return HTTPHeadersSection;
    return {};
}

bool TCopyJob::ForEachFileValue(const TIniValueVisitor& Visit) const {
    for (const auto& field : Fields)
        if (!Visit(field.Section, field.Key, IniFieldText(field, *this))) return false;
    return DownloadOptions.ForEachFileValue(Visit);
}

bool TCopyJob::SaveToText(TIniText& Text) const {
    if (!Text.WriteString(FileInfo, "Description", "Harvexis Copy Job") ||
        !Text.WriteInteger(FileInfo, "SchemaVersion", SchemaVersion))
        return false;
    return ForEachFileValue(Text.ValueWriter());
}

bool TCopyJob::LoadFromText(const TIniText& Text) {
    if (Text.ReadInteger(FileInfo, "SchemaVersion", 0) != SchemaVersion) return false;
    TCopyJob loaded = *this;
    for (const auto& field : Fields) LoadIniField(Text, field, loaded);
    if (!DecodeCredentials(loaded)) return false;
    loaded.UniqueSubfolder.clear();
    loaded.UnusableStartingAddress.clear();
    loaded.DownloadOptions.LoadFromText(Text);
    *this = std::move(loaded);
    return true;
}

// The whole job goes to disk in one atomic replacement: an interrupted save
// never leaves half a job behind. Lines the program does not know are kept.
// A file with credentials is readable by its owner only, as the password store is.
bool TCopyJob::SaveToFile(const std::string& FileName) const {
    const bool credentials = !StartingUserName.empty() || !StartingPassword.empty();
    const auto kind = credentials ? TIniFile::TFileKind::Secret : TIniFile::TFileKind::Plain;
    return TIniFile(FileName, kind).Update([this](TIniText& text) { return SaveToText(text); });
}

bool TCopyJob::LoadFromFile(const std::string& FileName) {
    const auto text = TIniFile(FileName).TryLoad();
    return text && LoadFromText(*text);
}

} // namespace jobs
