#pragma once

#include <cstdint>
#include <string>

namespace messaging {
struct TFileDownloadMsg;
struct TFileDownloadResults;
} // namespace messaging

// How a finished download is shown to the user: the texts and icons of the
// progress view's list of finished files, also printed by the runner.
namespace queue {

// The icon of a finished download.
enum class TDownloadResultIcon : int {
    Success = 0,
    Filtered = 1,
    Stopped = 2,
    Warning = 3,  // aborted, or a failure that may pass (time-out, no connection, busy server)
    Failure = 4,
};

// "Filtered: Location" ... "Previously Downloaded" for filter codes 1 to 14; "?" otherwise.
std::string FilterReasonText(std::uint8_t FilterReason);

// The result caption: "Cancelled", "Internal Error (...)", "Error XXX (YYY)",
// a filter text, "OK" or the server's status text. FriendlyResults shows every
// success status as "OK".
std::string DownloadResultText(const messaging::TFileDownloadResults& Results, bool FriendlyResults);

TDownloadResultIcon DownloadResultIcon(const messaging::TFileDownloadMsg& Download);

// Where a finished download is: the saved local file when there is one, else
// the address (display form).
std::string FinishedDownloadLocation(const messaging::TFileDownloadMsg& Download);

// "512", "37 KB", "2 MB": bytes below 1024, then whole KB below 1 MB, then whole MB.
std::string SizeText(std::int64_t Bytes);

} // namespace queue
