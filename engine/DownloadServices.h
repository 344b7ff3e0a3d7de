#pragma once

#include "engine/InternetSettings.h"

#include <cstdint>
#include <functional>
#include <string>

namespace engine {

class TCookieStore;
class TFoldersMadeByRun;

// User name and password for a site, as the password store gives them.
struct TSiteCredentials {
    std::string UserName;
    std::string Password;
};

// What the download threads of one dispatcher share besides the filter and
// the MIME table. Everything named here outlives the threads.
struct TDownloadThreadServices {
    TCookieStore* Cookies = nullptr;  // null: no cookie is kept or sent
    TInternetClientSettings ClientSettings;
    // The password store: fills the credentials for a site ("host" or
    // "host:port"); empty = no store, only addresses' own credentials are sent.
    std::function<bool(const std::string& Host, TSiteCredentials& Credentials)> FindSitePassword;
    // Runs on the download thread, with no lock held, when a download has
    // begun, reached dsReadingData or become dsFinished (a finished one and
    // the next one's beginning are told once); must be quick and thread-safe
    // (the dispatcher uses it to wake its loop instead of polling).
    std::function<void()> StateChanged;
    // What the job's downloads made and named, shared by them; null: every
    // name is looked up on disk.
    TFoldersMadeByRun* Folders = nullptr;
    // Saved pages up to this size are read in whole to be scanned for links
    // and rewritten; a larger one is saved but not scanned, so that a huge
    // body sent as a page never has to fit in memory.
    std::int64_t MaxPageScanSize = std::int64_t{64} << 20;
    // A compressed body of a job without a file-size limit is stopped and
    // removed once it decodes to more than this, so that a small answer that
    // inflates without end (a decompression bomb) cannot fill the disk.
    std::int64_t MaxDecodedSize = std::int64_t{1} << 30;
};

} // namespace engine
