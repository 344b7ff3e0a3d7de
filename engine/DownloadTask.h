#pragma once

#include "engine/DownloadData.h"
#include "engine/DownloadServices.h"
#include "engine/InternetClient.h"
#include "jobs/DownloadOptionTypes.h"
#include "base/PosixFile.h"
#include "web/URLType.h"

#include <array>
#include <cstdint>
#include <exception>
#include <functional>
#include <string>

namespace engine {

class TDownloadFilter;
class TMIMEExtensionsTable;

// Trace entries of every part of a download carry the download thread's name.
inline constexpr const char* DownloadUnitName = "DownloadThread";

// A larger page is read back from its file to be parsed.
inline constexpr std::size_t MaxKeptPageBody = std::size_t{1} << 20;

// One download as the HTTP download, the FTP download and the saving of the
// partial file see it: the download thread's session, filter and options,
// the address, and the progress and result it reports into. Lives on the
// download thread for one download.
struct TDownloadTask {
    TInternetSession& Session;
    TDownloadFilter& Filter;
    TMIMEExtensionsTable& MIMETable;
    const TDownloadThreadServices& Services;
    const jobs::TDownloadOptions& Options;
    // Why a root could not be opened, by root.
    const std::array<std::int32_t, InternetRootCount>& RootErrors;
    const web::TURL& Address;
    const web::TURL& Referrer;  // invalid when none
    std::int32_t Distance;
    bool Embedded;  // a page shows or runs the address (see TDownloadFilter)
    TDownloadProgress& Progress;
    TFileDownloadCompleteData& Complete;
    // The body transfer begins: the thread reports that it is reading data.
    std::function<void()> ReadingData;
    // Address with the credentials that are sent; set by ApplyCredentials.
    web::TURL RequestAddress{};
    // When set, the body of a page that this download saves whole is kept
    // here too, up to MaxKeptPageBody bytes, so that its parse need not read
    // the file back; left empty otherwise.
    std::string* PageBody = nullptr;

    std::string DestinationFile() const { return Progress.DestinationFile(); }
    bool StopRequested() const { return Session.StopRequested(); }
    // False, with the error that kept it closed as the result, when the root is not open.
    bool RootOpen(TInternetRoot Root);
    // The password store fills in what the address does not carry; without
    // permission to authenticate, no credentials are sent at all.
    void ApplyCredentials();
    // Nothing lies under Name, as the job's own folders tell without a look
    // at the disk (see TFoldersMadeByRun); false when they cannot tell.
    bool KnownFree(const std::string& Name) const;
    // Something lies under Name: the job's folders answer when they know,
    // the disk otherwise.
    bool NameTaken(const std::string& Name) const { return !KnownFree(Name) && base::FileExists(Name); }
    // Name is about to be given to a file of the copy, or may be.
    void Naming(const std::string& Name) const;
    // Makes Folder and its missing parents, and tells the job's folders.
    bool MakeFolder(const std::string& Folder) const;
    void RecordError(std::int32_t Error, const std::string& Call, const std::string& Operation,
                     const TInternetRequest* Request);
    void RecordException(const std::exception& Error, const std::string& Operation);
};

} // namespace engine
