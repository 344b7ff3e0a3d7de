#pragma once

#include "jobs/DownloadOptionTypes.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace jobs {

// Stored as 32-bit numbers in job files and messages; the values are fixed.
enum TLocationRestriction : std::int32_t {
    lrWithinFolder = 1,  // only files under the folder of the starting address
    lrAtServer = 2,      // only files on the starting address's server
    lrAnywhere = 3,
};

enum TListPurpose : std::int32_t {
    lpCopyOnly = 1,   // copy only what matches an item of the list
    lpDoNotCopy = 2,  // do not copy what matches an item of the list
    lpCopyAll = 3,    // the list is not applied
};

// Limits of a comma list as the job pages keep it.
constexpr std::size_t MaxCommaListItemLength = 64;
constexpr std::size_t MaxCommaListItems = 64;

// One copy job: what to copy, from where, to where, under which restrictions.
// Plain data: jobs travel between threads as copies, never shared.
// A job made by the constructor is not yet usable (location rule, purposes and
// distance are 0): Reset, LoadFromFile or a copy of a usable job make it so.
class TCopyJob {
public:
    void Assign(const TCopyJob& Source) { *this = Source; }
    bool operator==(const TCopyJob&) const = default;

    // Path without one trailing "/"; forgets the run's numbered subfolder.
    void SetDestinationFolder(const std::string& Path);
    // DestinationFolder, plus "/" + UniqueSubfolder when there is one. Everything
    // that writes files of the job uses this, never DestinationFolder alone.
    std::string GetDestinationPath() const;
    bool HasUniqueSubfolder() const { return !UniqueSubfolder.empty(); }
    // Picks and creates the first free numbered subfolder ('00000001'...).
    bool SelectUniqueDestinationSubfolder();
    // Makes the job consistent before a run; true when a list purpose changed.
    bool PrepareForRun();
    // The defaults of a new job on the job page; keeps the destination, the
    // starting address and the texts of the address, extension and type lists.
    void Reset();

    // Make the running job refuse one more host, extension (with its dot) or MIME type.
    void ExcludeHost(std::string_view Host);
    void ExcludeFileExtension(std::string_view Extension);
    void ExcludeMimeType(std::string_view MimeType);

    // A failed load (unreadable file, wrong schema version, credentials that are
    // no Base64) leaves the job as it was.
    bool LoadFromFile(const std::string& FileName);
    bool SaveToFile(const std::string& FileName) const;
    // The same on an INI text in memory.
    bool LoadFromText(const TIniText& Text);
    bool SaveToText(TIniText& Text) const;
    // Every key of the job's own sections and of its download options with the
    // text SaveToText writes, in file order; false when Visit stopped the walk.
    bool ForEachFileValue(const TIniValueVisitor& Visit) const;

    std::string DestinationFolder;
    std::string UniqueSubfolder;  // eight digits, or empty; never stored in a job file
    std::string JobName;
    // The starting address as the job file holds it: normalised, without user
    // name and password, which are kept apart (Base64 in the file). web/StartingURL
    // turns these fields into an address and back.
    std::string StartingWebAddress;
    std::string StartingUserName;
    std::string StartingPassword;
    std::string UnusableStartingAddress;  // text of an address that did not parse, for the refusal; never stored
    bool RecreateFolderStructure = true;
    bool FlattenDestinationFolders = false;
    bool RewriteLinks = false;
    std::int32_t RestrictLocation = 0;  // TLocationRestriction
    bool RestrictLocationOfWebPagesOnly = false;
    std::int32_t MaxDistance = 0;  // -1 = unlimited
    std::string AddressStrings;
    std::int32_t AddressStringsPurpose = 0;  // TListPurpose
    std::int32_t MaxFileCount = 0;           // -1 = no limit
    std::int32_t MinFileSize = 0;            // bytes; -1 = no limit
    std::int32_t MaxFileSize = 0;            // bytes; -1 = no limit
    std::int64_t MaxJobDownloadSize = 0;     // bytes; -1 = no limit
    std::string Extensions;
    std::int32_t ExtensionsPurpose = 0;
    std::string Types;
    std::int32_t TypesPurpose = 0;
    std::string Hosts;
    std::int32_t HostsPurpose = 0;
    TCopyJobDownloadOptions DownloadOptions;
    std::string StartingReferrer;
    std::int32_t PauseBetweenDownloads = 0;  // seconds
    bool HonorRobotNoIndexTags = false;
    bool HonorRobotNoFollowTags = false;
    bool SaveQueryResults = false;
    bool DownloadHTTP = true;
    bool DownloadFTP = false;
    bool DownloadHTTPS = false;
    bool DownloadDefaultInEachDirectory = false;  // kept with the job; nothing acts on it
    std::int32_t MaxSecondsForAllDownloads = -1;  // -1 = no limit
    bool AssumeWWWWhenNoThirdLevelDomain = false;
    bool PruneFolders = true;
    bool AddMarkOfWebOnRewrite = false;
    bool KeepRewriteInputFiles = false;
};

// The list in its normal form: items split at commas, blanks and control
// characters; empty and over-long items dropped; at most MaxItems kept; joined by ", ".
std::string NormalizeCommaList(std::string_view Text, std::size_t MaxItemLength,
                               std::size_t MaxItems);
// Makes List (applied as Purpose) refuse Item; the three Exclude operations use it.
void ExcludeListItem(std::string& List, std::int32_t& Purpose, std::string_view Item);

} // namespace jobs
