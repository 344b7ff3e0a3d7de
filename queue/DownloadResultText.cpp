#include "queue/DownloadResultText.h"

#include "base/PosixFile.h"
#include "jobs/LanguageStrings.h"
#include "messaging/SpiderOutputMsgTypes.h"

#include <algorithm>
#include <cerrno>
#include <curl/curl.h>

namespace queue {

namespace {

constexpr int TextCancelled = 186;
constexpr int TextInternalError = 187;
constexpr int TextFirstFilterReason = 189;  // "Filtered: Location", then one per code up to 14
constexpr std::uint8_t FilterPreviouslyDownloaded = 14;
constexpr std::int32_t InternetErrorFirst = 12000;  // library errors: 12000 + the curl code
constexpr std::int32_t InternetErrorLast = 12171;

constexpr std::int32_t InternetError(CURLcode Code) { return InternetErrorFirst + static_cast<std::int32_t>(Code); }

bool IsOneOf(std::int32_t Value, std::initializer_list<std::int32_t> Values) {
    return std::find(Values.begin(), Values.end(), Value) != Values.end();
}

// Failures that may pass on their own: time-out, cancelled transfer, no
// connection, connection lost, a file in use, a full disk.
bool IsPassingError(std::int32_t OsError) {
    return IsOneOf(OsError, {InternetError(CURLE_OPERATION_TIMEDOUT), InternetError(CURLE_ABORTED_BY_CALLBACK),
                             InternetError(CURLE_COULDNT_CONNECT), InternetError(CURLE_SEND_ERROR),
                             InternetError(CURLE_RECV_ERROR), InternetError(CURLE_GOT_NOTHING), EBUSY,
                             ETXTBSY, ENOSPC, EDQUOT});
}

std::string AddressText(const web::TURL& Address) {
    return Address.IsValid() ? Address.GetPlainURL() : Address.GetUnusableText();
}

std::string ReplaceLineBreaks(const std::string& Text) {
    std::string result;
    result.reserve(Text.size());
    for (std::size_t i = 0; i < Text.size(); ++i) {
        if (Text[i] == '\r' && i + 1 < Text.size() && Text[i + 1] == '\n') {
            result += '\\';
            ++i;
        } else {
            result += Text[i];
        }
    }
    return result;
}

} // namespace

std::string FilterReasonText(std::uint8_t FilterReason) {
    if (FilterReason < 1 || FilterReason > FilterPreviouslyDownloaded) return std::string(jobs::UnknownLocalText);
    return jobs::LocalText(TextFirstFilterReason + FilterReason - 1);
}

std::string DownloadResultText(const messaging::TFileDownloadResults& Results, bool FriendlyResults) {
    if (Results.Outcome == messaging::doStopped || Results.Outcome == messaging::doAborted)
        return jobs::LocalText(TextCancelled);
    if (Results.Outcome == messaging::doFailed)
        return jobs::LocalText(TextInternalError) + " (" + Results.OutcomeText + ")";
    if (Results.HaveOsError) return jobs::GetErrorText(Results.OsError);
    if (Results.Filtered) return FilterReasonText(Results.FilterReason);
    if (FriendlyResults && IsOneOf(Results.StatusCode, {200, 201, 202, 203, 205, 206, 301, 302, 304, 307}))
        return "OK";
    const std::string text = ReplaceLineBreaks(Results.StatusText);
    return text == "200" ? "OK" : text;
}

TDownloadResultIcon DownloadResultIcon(const messaging::TFileDownloadMsg& Download) {
    const auto& results = Download.Results;
    switch (results.Outcome) {
    case messaging::doStopped: return TDownloadResultIcon::Stopped;
    case messaging::doAborted: return TDownloadResultIcon::Warning;
    case messaging::doCompleted: break;
    default: return TDownloadResultIcon::Failure;
    }
    if (results.HaveOsError)
        return IsPassingError(results.OsError) ? TDownloadResultIcon::Warning : TDownloadResultIcon::Failure;
    if (results.Filtered) return TDownloadResultIcon::Filtered;
    const bool ftp = Download.Address.GetScheme() == web::SchemeFTP;
    const bool success = ftp ? results.StatusCode == 200
                             : IsOneOf(results.StatusCode, {200, 205, 206, 301, 302, 304, 307, 412});
    if (success) return TDownloadResultIcon::Success;
    if (IsOneOf(results.StatusCode, {401, 407, 503})) return TDownloadResultIcon::Warning;
    return TDownloadResultIcon::Failure;
}

std::string FinishedDownloadLocation(const messaging::TFileDownloadMsg& Download) {
    const auto& results = Download.Results;
    const std::string address = AddressText(Download.Address);
    if (results.Outcome == messaging::doStopped || results.Outcome == messaging::doAborted ||
        results.Outcome == messaging::doFailed)
        return address;
    if (results.HaveOsError)
        return results.OsError >= InternetErrorFirst && results.OsError <= InternetErrorLast ? address
                                                                                             : Download.LocalFile;
    if (!results.Filtered) return base::FileExists(Download.LocalFile) ? Download.LocalFile : address;
    return results.FilterReason == FilterPreviouslyDownloaded ? Download.LocalFile : address;
}

std::string SizeText(std::int64_t Bytes) {
    if (Bytes < 1024) return std::to_string(Bytes);
    if (Bytes < 1048576) return std::to_string(Bytes / 1024) + " KB";
    return std::to_string(Bytes / 1048576) + " MB";
}

} // namespace queue
