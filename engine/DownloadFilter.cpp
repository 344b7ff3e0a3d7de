#include "engine/DownloadFilter.h"

#include "base/AsciiText.h"
#include "web/StartingURL.h"

#include <utility>

namespace engine {

namespace {

constexpr std::int32_t NoLimit = -1;

// The list decides only when it is applied: purpose 1 refuses what no member
// matches, purpose 2 what some member matches.
bool ListRefuses(std::int32_t Purpose, bool Matched) {
    return (Purpose == jobs::lpDoNotCopy && Matched) || (Purpose == jobs::lpCopyOnly && !Matched);
}

bool ProtocolAllowed(const jobs::TCopyJob& Job, std::int32_t Scheme) {
    switch (Scheme) {
    case web::SchemeFTP:
        return Job.DownloadFTP;
    case web::SchemeHTTP:
        return Job.DownloadHTTP;
    case web::SchemeHTTPS:
        return Job.DownloadHTTPS;
    default:
        return false;
    }
}

// Up to and including the last "/"; empty when there is none.
std::string FolderPart(const std::string& FileName) {
    const auto slash = FileName.rfind('/');
    return slash == std::string::npos ? std::string() : FileName.substr(0, slash + 1);
}

} // namespace

TDownloadFilter::TDownloadFilter(TClock Clock) : Now(std::move(Clock)), StartTime(Now()) {}

void TDownloadFilter::SetJob(const jobs::TCopyJob& NewJob, bool ResetCounters, bool RecomputeBase) {
    std::lock_guard guard(Lock);
    Job = NewJob;
    SplitLists();
    // A job changed during the run keeps the start it was redirected to: the
    // location restriction must not snap back to the address it began with.
    if (RecomputeBase) {
        StartAddress = web::GetStartingURL(Job);
        RecomputeBaseFolder();
    }
    if (ResetCounters) {
        StartTime = Now();
        Bytes = 0;
        Files = 0;
    }
}

void TDownloadFilter::SetStartAddress(const web::TURL& Address) {
    std::lock_guard guard(Lock);
    StartAddress = Address;
    RecomputeBaseFolder();
}

// The lists are split when the job arrives, not for every address.
void TDownloadFilter::SplitLists() {
    AddressStrings.SetText(Job.AddressStrings, "CSVMemberFoundInString");
    Hosts.SetText(Job.Hosts, "CSVMemberEqualsString");
    Extensions.SetText(Job.Extensions, "CSVMemberEqualsString");
    Types.SetText(Job.Types, "CSVMemberEqualsString");
}

// The folder tree is always assumed here, whatever the job says, so that the
// base names the starting address's folder even for a flat copy.
void TDownloadFilter::RecomputeBaseFolder() {
    Base = base::LowerAscii(FolderPart(LocalFileNameLocked(StartAddress, true)));
}

std::string TDownloadFilter::LocalFileNameLocked(const web::TURL& Address,
                                                 bool RecreateFolders) const {
    return Address.GetLocalFileName(Job.GetDestinationPath(), RecreateFolders,
                                    Job.AssumeWWWWhenNoThirdLevelDomain);
}

std::string TDownloadFilter::LocalFileName(const web::TURL& Address) const {
    std::lock_guard guard(Lock);
    return LocalFileNameLocked(Address, Job.RecreateFolderStructure);
}

TDownloadFilterCode TDownloadFilter::CheckLists(const web::TURL& Address, bool Embedded) const {
    if (Job.AddressStringsPurpose != jobs::lpCopyAll &&
        ListRefuses(Job.AddressStringsPurpose, AddressStrings.FoundInString(Address.GetPlainURL())))
        return dfAddress;
    if (Job.HostsPurpose != jobs::lpCopyAll &&
        ListRefuses(Job.HostsPurpose, Hosts.EqualsString(Address.GetHostName())))
        return dfDomainName;
    if (Job.ExtensionsPurpose != jobs::lpCopyAll &&
        ListRefuses(Job.ExtensionsPurpose, Extensions.EqualsString(Address.GetExtension())))
        return dfFileExtension;
    if (!Job.SaveQueryResults && !Embedded && !Address.GetExtraInfo().empty()) return dfQuery;
    return dfPassed;
}

TDownloadFilterCode TDownloadFilter::CheckBeforeDownload(const web::TURL& Address,
                                                         std::int32_t Distance, bool Embedded) const {
    std::lock_guard guard(Lock);
    if (Distance >= 0) {
        const TDownloadFilterCode code = CheckLists(Address, Embedded);
        if (code != dfPassed) return code;
    }
    if (Job.MaxFileCount != NoLimit && Files >= Job.MaxFileCount) return dfFileCount;
    if (!ProtocolAllowed(Job, Address.GetScheme())) return dfProtocol;
    if (Job.MaxDistance != NoLimit && Distance > Job.MaxDistance) return dfDepth;
    if (TimeLimitUsedUp()) return dfJobTime;
    return dfPassed;
}

TDownloadFilterCode TDownloadFilter::CheckLocation(const web::TURL& Address,
                                                   std::string_view ContentType) const {
    if (Job.RestrictLocationOfWebPagesOnly && !Address.IsHTML(ContentType)) return dfPassed;
    switch (Job.RestrictLocation) {
    case jobs::lrWithinFolder: {
        const std::string folder = base::LowerAscii(FolderPart(LocalFileNameLocked(Address, true)));
        return folder.compare(0, Base.size(), Base) == 0 ? dfPassed : dfLocation;
    }
    case jobs::lrAtServer:
        return base::SameTextAscii(Address.GetHostName(), StartAddress.GetHostName())
                   ? dfPassed
                   : dfLocation;
    default:
        return dfPassed;
    }
}

// Limits are compared as unsigned numbers, as a size can never be negative.
TDownloadFilterCode TDownloadFilter::CheckSizes(std::uint64_t Size) const {
    if (Size != 0) {
        const bool tooSmall = Job.MinFileSize != NoLimit &&
                              std::uint64_t{static_cast<std::uint32_t>(Job.MinFileSize)} > Size;
        const bool tooBig = Job.MaxFileSize != NoLimit &&
                            std::uint64_t{static_cast<std::uint32_t>(Job.MaxFileSize)} < Size;
        if (tooSmall || tooBig) return dfFileSize;
    }
    if (Job.MaxJobDownloadSize != NoLimit) {
        const std::uint64_t done = Bytes > 0 ? static_cast<std::uint64_t>(Bytes) : 0;
        // A negative limit other than "none" admits nothing; the sum cannot wrap.
        const bool over = Job.MaxJobDownloadSize < 0 ||
                          Size > static_cast<std::uint64_t>(Job.MaxJobDownloadSize) ||
                          Size + done > static_cast<std::uint64_t>(Job.MaxJobDownloadSize);
        if (over) return dfJobDownloadSize;
    }
    return dfPassed;
}

std::int64_t TDownloadFilter::MaxFileSize() const {
    std::lock_guard guard(Lock);
    return Job.MaxFileSize == NoLimit ? -1 : std::int64_t{static_cast<std::uint32_t>(Job.MaxFileSize)};
}

TDownloadFilterCode TDownloadFilter::CheckAfterHeaders(const web::TURL& Address,
                                                       std::string_view ContentType,
                                                       std::int32_t Distance,
                                                       std::uint64_t Size, bool Embedded) const {
    std::lock_guard guard(Lock);
    TDownloadFilterCode code = CheckBeforeDownload(Address, Distance, Embedded);
    if (code == dfPassed) code = CheckLocation(Address, ContentType);
    if (code == dfPassed) code = CheckSizes(Size);
    if (code != dfPassed) return code;
    if (Job.TypesPurpose != jobs::lpCopyAll &&
        ListRefuses(Job.TypesPurpose, Types.EqualsString(ContentType)))
        return dfMimeType;
    if (!Job.DownloadOptions.AllowAuthentication && !Address.HasNoCredentials()) return dfPassword;
    return dfPassed;
}

TDownloadFilterCode TDownloadFilter::CheckRedirect(std::int32_t Distance, std::int32_t Redirects) const {
    std::lock_guard guard(Lock);
    if (Job.MaxFileCount != NoLimit && Files + Redirects > Job.MaxFileCount) return dfFileCount;
    if (Job.MaxDistance != NoLimit && Distance + Redirects - 1 > Job.MaxDistance) return dfDepth;
    return dfPassed;
}

void TDownloadFilter::CountFile(std::int64_t FileBytes) {
    std::lock_guard guard(Lock);
    Bytes += FileBytes;
    ++Files;
}

bool TDownloadFilter::TimeLimitUsedUp() const {
    std::lock_guard guard(Lock);
    if (Job.MaxSecondsForAllDownloads == NoLimit) return false;
    const auto elapsed = std::chrono::ceil<std::chrono::seconds>(Now() - StartTime);
    return elapsed.count() >= Job.MaxSecondsForAllDownloads;
}

std::int32_t TDownloadFilter::FileCount() const {
    std::lock_guard guard(Lock);
    return Files;
}

std::int64_t TDownloadFilter::TotalBytes() const {
    std::lock_guard guard(Lock);
    return Bytes;
}

std::string TDownloadFilter::BaseFolder() const {
    std::lock_guard guard(Lock);
    return Base;
}

} // namespace engine
