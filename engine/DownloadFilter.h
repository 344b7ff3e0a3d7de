#pragma once

#include "engine/RestrictionList.h"
#include "jobs/JobTypes.h"
#include "web/URLType.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>

namespace engine {

// The filter's verdict on one object; the number travels in the download's
// result and names the restriction that refused it.
enum TDownloadFilterCode : std::uint8_t {
    dfLocation = 1,        // outside the location restriction
    dfDepth = 2,           // farther than MaxDistance
    dfAddress = 3,         // address strings
    dfDomainName = 4,      // host name list
    dfFileCount = 5,       // MaxFileCount reached
    dfFileSize = 6,        // below MinFileSize or above MaxFileSize
    dfJobDownloadSize = 7, // would exceed MaxJobDownloadSize
    dfFileExtension = 8,   // file extension list
    dfMimeType = 9,        // MIME type list
    dfQuery = 10,          // has a query and query results are not saved
    dfPassword = 11,       // carries credentials while authentication is not allowed
    dfProtocol = 12,       // protocol not allowed
    dfJobTime = 13,        // MaxSecondsForAllDownloads used up
    dfPreviouslyDownloaded =
        14, // local file exists and old files are not updated (download thread)
    dfPassed = 15,
};

// Decides for each object of the running job whether it may be downloaded,
// and keeps the job's running totals that its limits are measured against.
// Every operation is atomic; the download threads and the spider thread share
// one filter.
class TDownloadFilter {
  public:
    using TClock = std::function<std::chrono::steady_clock::time_point()>;

    // Clock is read for the job's start and for the time limit; tests give their own.
    explicit TDownloadFilter(TClock Clock = std::chrono::steady_clock::now);
    TDownloadFilter(const TDownloadFilter&) = delete;
    TDownloadFilter& operator=(const TDownloadFilter&) = delete;

    // Takes a copy of Job. A new run resets the counters and computes the base
    // folder from the job's start; a job changed during the run (an exclusion)
    // keeps all three, so a redirected start stays redirected.
    void SetJob(const jobs::TCopyJob& Job, bool ResetCounters, bool RecomputeBase);
    // A redirected start: the location restriction follows the new address.
    void SetStartAddress(const web::TURL& Address);
    // Where Address is saved for the running job; empty when it must not be saved.
    std::string LocalFileName(const web::TURL& Address) const;

    // Before the request. Distance is -1 for the starting address, which is
    // exempt from the address, host, extension and query lists. Embedded: a
    // page shows or runs the address (image, stylesheet, script ...); such a
    // page resource is saved even when it carries a query (a cache buster),
    // as the page would be incomplete without it.
    TDownloadFilterCode CheckBeforeDownload(const web::TURL& Address, std::int32_t Distance,
                                            bool Embedded = false) const;
    // After the response headers. Size is the announced length, 0 when none.
    TDownloadFilterCode CheckAfterHeaders(const web::TURL& Address, std::string_view ContentType,
                                          std::int32_t Distance, std::uint64_t Size,
                                          bool Embedded = false) const;
    // Whether the crawl may follow the Redirects-th redirect in a row that
    // began at an object of Distance, so that a chain of redirects cannot get
    // around the limits: each redirect of the chain takes one file of the
    // file-count limit, and each after the first (which is how a server moves
    // a page) is one hop for the depth limit. dfPassed, dfFileCount or dfDepth.
    TDownloadFilterCode CheckRedirect(std::int32_t Distance, std::int32_t Redirects) const;
    // The job's largest file in bytes; -1 when it sets none.
    std::int64_t MaxFileSize() const;
    // A completed download of Bytes.
    void CountFile(std::int64_t Bytes);
    // MaxSecondsForAllDownloads, rounded up to whole seconds, has passed.
    bool TimeLimitUsedUp() const;

    std::int32_t FileCount() const;
    std::int64_t TotalBytes() const;
    // Lower-cased folder of the starting address, with its trailing "/".
    std::string BaseFolder() const;

  private:
    void RecomputeBaseFolder();
    void SplitLists();
    TDownloadFilterCode CheckLists(const web::TURL& Address, bool Embedded) const;
    TDownloadFilterCode CheckLocation(const web::TURL& Address, std::string_view ContentType) const;
    TDownloadFilterCode CheckSizes(std::uint64_t Size) const;
    std::string LocalFileNameLocked(const web::TURL& Address, bool RecreateFolders) const;

    // Guards every field below. Re-entrant: the check after headers runs the
    // check before download inside its own hold.
    mutable std::recursive_mutex Lock;
    TClock Now;
    jobs::TCopyJob Job;
    web::TURL StartAddress;  // the job's, or where its start was redirected to
    std::string Base;
    std::chrono::steady_clock::time_point StartTime;
    std::int64_t Bytes = 0;
    std::int32_t Files = 0;
    TRestrictionList AddressStrings;
    TRestrictionList Hosts;
    TRestrictionList Extensions;
    TRestrictionList Types;
};

} // namespace engine
