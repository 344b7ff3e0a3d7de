// Saving and loading a TCopyJob as a job file (INI text, ".hcj").

#include "jobs/Base64.h"
#include "jobs/IniFile.h"
#include "jobs/JobTypes.h"
#include "base/AppTraceLog.h"

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

bool SaveStartSection(const TCopyJob& Job, TIniText& Text) {
    const web::TURL& url = Job.StartingWebAddress;
    // Credentials are stored apart, so that the address can be shown as it is;
    // empty keys make sure no credentials saved earlier in the file survive.
    const bool hasUser = !url.GetUserName().empty();
    return Text.WriteString(Start, "JobName", Job.JobName) &&
           Text.WriteString(Start, "StartingWebAddress", url.GetURL(false, true, true, true, true)) &&
           Text.WriteString(Start, "SU", hasUser ? StrToBase64(url.GetUserName()) : "") &&
           Text.WriteString(Start, "SP", hasUser ? StrToBase64(url.GetPassword()) : "") &&
           Text.WriteString(Start, "DestinationFolder", Job.DestinationFolder) &&
           Text.WriteBool(Start, "RecreateFolderStructure", Job.RecreateFolderStructure) &&
           Text.WriteBool(Start, "FlattenDestinationFolders", Job.FlattenDestinationFolders) &&
           Text.WriteBool(Start, "RewriteLinks", Job.RewriteLinks) &&
           Text.WriteBool(Start, "KeepRewriteInputFiles", Job.KeepRewriteInputFiles) &&
           Text.WriteBool(Start, "AddMarkOfWebOnRewrite", Job.AddMarkOfWebOnRewrite);
}

bool SaveRestrictions(const TCopyJob& Job, TIniText& Text) {
    return Text.WriteInteger(Location, "RestrictLocation", Job.RestrictLocation) &&
           Text.WriteBool(Location, "RestrictLocationOfWebPagesOnly", Job.RestrictLocationOfWebPagesOnly) &&
           Text.WriteInteger(Location, "MaxDistance", Job.MaxDistance) &&
           Text.WriteString(Address, "AddressStrings", Job.AddressStrings) &&
           Text.WriteInteger(Address, "AddressStringsPurpose", Job.AddressStringsPurpose) &&
           Text.WriteInteger(CountAndSize, "MaxFileCount", Job.MaxFileCount) &&
           Text.WriteInteger(CountAndSize, "MinFileSize", Job.MinFileSize) &&
           Text.WriteInteger(CountAndSize, "MaxFileSize", Job.MaxFileSize) &&
           // The full 64-bit number: limits of 2 GB and more must survive.
           Text.WriteInteger(CountAndSize, "MaxJobDownloadSize", Job.MaxJobDownloadSize) &&
           Text.WriteString(FileExtensions, "Extensions", Job.Extensions) &&
           Text.WriteInteger(FileExtensions, "ExtensionsPurpose", Job.ExtensionsPurpose) &&
           Text.WriteString(MimeTypes, "Types", Job.Types) &&
           Text.WriteInteger(MimeTypes, "TypesPurpose", Job.TypesPurpose) &&
           Text.WriteString(Hostnames, "Hosts", Job.Hosts) &&
           Text.WriteInteger(Hostnames, "HostsPurpose", Job.HostsPurpose);
}

bool SaveAdditionalOptions(const TCopyJob& Job, TIniText& Text) {
    return Text.WriteString(Additional, "StartingReferrer", Job.StartingReferrer) &&
           Text.WriteInteger(Additional, "PauseBetweenDownloads", Job.PauseBetweenDownloads) &&
           Text.WriteBool(Additional, "HonorRobotNoIndexTags", Job.HonorRobotNoIndexTags) &&
           Text.WriteBool(Additional, "HonorRobotNoFollowTags", Job.HonorRobotNoFollowTags) &&
           Text.WriteBool(Additional, "SaveQueryResults", Job.SaveQueryResults) &&
           Text.WriteBool(Additional, "DownloadHTTP", Job.DownloadHTTP) &&
           Text.WriteBool(Additional, "DownloadHTTPS", Job.DownloadHTTPS) &&
           Text.WriteBool(Additional, "DownloadFTP", Job.DownloadFTP) &&
           Text.WriteBool(Additional, "DownloadDefaultInEachDirectory", Job.DownloadDefaultInEachDirectory) &&
           Text.WriteInteger(Additional, "MaxSecondsForAllDownloads", Job.MaxSecondsForAllDownloads) &&
           Text.WriteBool(Additional, "AssumeWWWWhenNoThirdLevelDomain", Job.AssumeWWWWhenNoThirdLevelDomain) &&
           Text.WriteBool(Additional, "PruneFolders", Job.PruneFolders);
}

// Reads "SU"/"SP" into the starting address; false when a value is no Base64.
bool LoadCredentials(const TIniText& Text, web::TURL& Url) {
    const std::string user = Text.ReadString(Start, "SU", "");
    const std::string password = Text.ReadString(Start, "SP", "");
    if (user.empty() || password.empty()) return true;
    const auto plainUser = Base64ToStr(user);
    const auto plainPassword = Base64ToStr(password);
    if (!plainUser || !plainPassword) {
        base::TraceLog.LogEntry(base::ttException, Base64LengthError, "LoadFromFile",
                                     "JobTypes");
        return false;
    }
    Url.SetCredentials(*plainUser, *plainPassword);
    return true;
}

void LoadStartRest(const TIniText& Text, TCopyJob& Job) {
    Job.DestinationFolder = Text.ReadString(Start, "DestinationFolder", "");
    Job.UniqueSubfolder.clear();
    Job.RecreateFolderStructure = Text.ReadBool(Start, "RecreateFolderStructure", true);
    Job.FlattenDestinationFolders = Text.ReadBool(Start, "FlattenDestinationFolders", true);
    Job.RewriteLinks = Text.ReadBool(Start, "RewriteLinks", true);
    Job.KeepRewriteInputFiles = Text.ReadBool(Start, "KeepRewriteInputFiles", false);
    Job.AddMarkOfWebOnRewrite = Text.ReadBool(Start, "AddMarkOfWebOnRewrite", false);
}

void LoadRestrictions(const TIniText& Text, TCopyJob& Job) {
    Job.RestrictLocation = Text.ReadInteger(Location, "RestrictLocation", lrWithinFolder);
    Job.RestrictLocationOfWebPagesOnly = Text.ReadBool(Location, "RestrictLocationOfWebPagesOnly", true);
    Job.MaxDistance = Text.ReadInteger(Location, "MaxDistance", 8);
    Job.AddressStrings = Text.ReadString(Address, "AddressStrings", "");
    Job.AddressStringsPurpose = Text.ReadInteger(Address, "AddressStringsPurpose", lpCopyAll);
    Job.MaxFileCount = Text.ReadInteger(CountAndSize, "MaxFileCount", -1);
    Job.MinFileSize = Text.ReadInteger(CountAndSize, "MinFileSize", -1);
    Job.MaxFileSize = Text.ReadInteger(CountAndSize, "MaxFileSize", -1);
    // Older files hold the low 32 bits as a signed number; they read as before.
    Job.MaxJobDownloadSize = Text.ReadInt64(CountAndSize, "MaxJobDownloadSize", -1);
    Job.Extensions = Text.ReadString(FileExtensions, "Extensions", "");
    Job.ExtensionsPurpose = Text.ReadInteger(FileExtensions, "ExtensionsPurpose", lpCopyAll);
    Job.Types = Text.ReadString(MimeTypes, "Types", "");
    Job.TypesPurpose = Text.ReadInteger(MimeTypes, "TypesPurpose", lpCopyAll);
    Job.Hosts = Text.ReadString(Hostnames, "Hosts", "");
    Job.HostsPurpose = Text.ReadInteger(Hostnames, "HostsPurpose", lpCopyAll);
}

void LoadAdditionalOptions(const TIniText& Text, TCopyJob& Job) {
    Job.StartingReferrer = Text.ReadString(Additional, "StartingReferrer", "");
    Job.PauseBetweenDownloads = Text.ReadInteger(Additional, "PauseBetweenDownloads", 0);
    Job.HonorRobotNoIndexTags = Text.ReadBool(Additional, "HonorRobotNoIndexTags", false);
    Job.HonorRobotNoFollowTags = Text.ReadBool(Additional, "HonorRobotNoFollowTags", false);
    Job.SaveQueryResults = Text.ReadBool(Additional, "SaveQueryResults", false);
    Job.DownloadHTTP = Text.ReadBool(Additional, "DownloadHTTP", true);
    Job.DownloadHTTPS = Text.ReadBool(Additional, "DownloadHTTPS", false);
    Job.DownloadFTP = Text.ReadBool(Additional, "DownloadFTP", false);
    Job.DownloadDefaultInEachDirectory = Text.ReadBool(Additional, "DownloadDefaultInEachDirectory", false);
    Job.MaxSecondsForAllDownloads = Text.ReadInteger(Additional, "MaxSecondsForAllDownloads", -1);
    Job.AssumeWWWWhenNoThirdLevelDomain = Text.ReadBool(Additional, "AssumeWWWWhenNoThirdLevelDomain", true);
    Job.PruneFolders = Text.ReadBool(Additional, "PruneFolders", true);
}

} // namespace

bool TCopyJob::SaveToText(TIniText& Text) const {
    return Text.WriteString(FileInfo, "Description", "Harvexis Copy Job") &&
           Text.WriteInteger(FileInfo, "SchemaVersion", SchemaVersion) && SaveStartSection(*this, Text) &&
           SaveRestrictions(*this, Text) && SaveAdditionalOptions(*this, Text) &&
           DownloadOptions.SaveToText(Text);
}

// A wrong schema version leaves the job untouched; a bad credential value stops
// the load with the fields read before it already changed.
bool TCopyJob::LoadFromText(const TIniText& Text) {
    if (Text.ReadInteger(FileInfo, "SchemaVersion", 0) != SchemaVersion) return false;
    JobName = Text.ReadString(Start, "JobName", "");
    StartingWebAddress.SetFullURL(Text.ReadString(Start, "StartingWebAddress", ""));
    if (!LoadCredentials(Text, StartingWebAddress)) return false;
    LoadStartRest(Text, *this);
    LoadRestrictions(Text, *this);
    LoadAdditionalOptions(Text, *this);
    DownloadOptions.LoadFromText(Text);
    return true;
}

// The whole job goes to disk in one atomic replacement: an interrupted save
// never leaves half a job behind. Lines the program does not know are kept.
bool TCopyJob::SaveToFile(const std::string& FileName) const {
    return TIniFile(FileName).Update([this](TIniText& text) { return SaveToText(text); });
}

bool TCopyJob::LoadFromFile(const std::string& FileName) {
    const auto text = TIniFile(FileName).TryLoad();
    return text && LoadFromText(*text);
}

} // namespace jobs
