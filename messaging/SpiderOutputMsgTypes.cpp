#include "messaging/SpiderOutputMsgTypes.h"

namespace messaging {

const char* SpiderOutputMsgKindName(std::uint8_t Kind) {
    switch (Kind) {
    case somJobStarted:
        return "job started";
    case somJobPaused:
        return "job paused";
    case somJobResumed:
        return "job resumed";
    case somJobEnded:
        return "job ended";
    case somDownloadStarted:
        return "download started";
    case somDownloadProgress:
        return "download progress";
    case somDownloadEnded:
        return "download ended";
    case somParseStarted:
        return "page parse started";
    case somParseProgress:
        return "page parse progress";
    case somLinkFound:
        return "link found";
    case somParseEnded:
        return "page parse ended";
    case somRewriteStarted:
        return "page rewrite started";
    case somRewriteProgress:
        return "page rewrite progress";
    case somRewriteEnded:
        return "page rewrite ended";
    case somPruneStarted:
        return "pruning started";
    case somPruneFolder:
        return "pruning folder";
    case somPruneEnded:
        return "pruning ended";
    case somFlattenStarted:
        return "flattening started";
    case somFlattenFileMoved:
        return "file moved up";
    case somFlattenEnded:
        return "flattening ended";
    }
    return "unknown";
}

void AssignReport(TSpiderOutputMsg& Target, const TSpiderOutputMsg& Source) {
    const std::uint8_t kind = Source.Kind;
    Target.Kind = kind;
    Target.JobNumber = Source.JobNumber;
    Target.Status = Source.Status;
    if (kind == somJobStarted || kind == somJobEnded) Target.Job = Source.Job;
    if (kind == somJobEnded || (kind >= somDownloadStarted && kind <= somDownloadEnded))
        Target.FileDownload = Source.FileDownload;
    if (kind >= somParseStarted && kind <= somRewriteEnded) Target.FileReadWrite = Source.FileReadWrite;
    if (kind == somLinkFound) Target.Link = Source.Link;
    if (kind == somJobEnded || kind >= somPruneStarted) Target.StartPageFile = Source.StartPageFile;
    if (kind == somJobEnded) Target.JobErrorText = Source.JobErrorText;
    if (kind == somPruneFolder) Target.FolderPath = Source.FolderPath;
    if (kind == somFlattenFileMoved) Target.Flattening = Source.Flattening;
}

} // namespace messaging
