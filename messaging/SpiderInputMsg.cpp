#include "messaging/SpiderInputMsg.h"

#include "base/AppTraceLog.h"
#include "web/StartingURL.h"

#include <utility>

namespace messaging {

namespace {

constexpr const char* UnitName = "SpiderInputMsg";

// The job's name, else its starting address. The address is shown without
// credentials: the debug view is no place for a password.
std::string JobDisplayName(const jobs::TCopyJob& Job) {
    return Job.JobName.empty() ? web::GetStartingURL(Job).GetPlainURL() : Job.JobName;
}

} // namespace

std::string SpiderInputMsgTraceText(const TSpiderInputMsg& Msg) {
    const std::string job = std::to_string(Msg.JobNumber);
    const std::string download = std::to_string(Msg.DownloadNumber);
    switch (Msg.Kind) {
    case simStartJob:
        return "Start job #" + job + ": " + JobDisplayName(Msg.Job);
    case simPauseJob:
        return "Pause job #" + job;
    case simResumeJob:
        return "Resume job #" + job;
    case simStopJob:
        return "Stop job #" + job;
    case simAbortJob:
        return "Abort job #" + job;
    case simStopFileDownload:
        return "Stop file DL: " + download;
    case simStopHostDownload:
        return "Stop host DL: " + download;
    case simStopFileExtDownload:
        return "Stop file ext DL: " + download;
    case simStopMimeTypeDownload:
        return "Stop MIME type DL: " + download;
    }
    return "Unknown spider input msg " + std::to_string(Msg.Kind);
}

bool TSpiderInputMessageQueue::Post(const TSpiderInputMsg& Msg) {
    std::shared_ptr<const std::function<void()>> listener;
    {
        std::lock_guard guard(Lock);
        if (Used >= Capacity) {
            base::TraceLog.LogEntry(base::ttMessage, "Spider input queue full", "Post", UnitName);
            return false;
        }
        Slots[Used] = Msg;
        ++Used;
        ++Posts;
        if (LogSink) LogSink->LogSpiderInput(SpiderInputMsgTraceText(Msg));
        listener = Listener;
    }
    Posted.notify_all();
    if (listener) (*listener)();
    return true;
}

bool TSpiderInputMessageQueue::PostCommand(std::uint8_t Kind, std::int32_t JobNumber,
                                           std::int32_t DownloadNumber) {
    // Only the small fields are set; the empty job is not copied anew per command.
    TSpiderInputMsg msg;
    msg.Kind = Kind;
    msg.JobNumber = JobNumber;
    msg.DownloadNumber = DownloadNumber;
    return Post(msg);
}

bool TSpiderInputMessageQueue::PostPause(std::int32_t JobNumber) {
    return PostCommand(simPauseJob, JobNumber, 0);
}

bool TSpiderInputMessageQueue::PostResume(std::int32_t JobNumber) {
    return PostCommand(simResumeJob, JobNumber, 0);
}

bool TSpiderInputMessageQueue::PostStop(std::int32_t JobNumber) {
    return PostCommand(simStopJob, JobNumber, 0);
}

bool TSpiderInputMessageQueue::PostAbort(std::int32_t JobNumber) {
    return PostCommand(simAbortJob, JobNumber, 0);
}

bool TSpiderInputMessageQueue::PostStopFile(std::int32_t JobNumber, std::int32_t DownloadNumber) {
    return PostCommand(simStopFileDownload, JobNumber, DownloadNumber);
}

bool TSpiderInputMessageQueue::PostStopHost(std::int32_t JobNumber, std::int32_t DownloadNumber) {
    return PostCommand(simStopHostDownload, JobNumber, DownloadNumber);
}

bool TSpiderInputMessageQueue::PostStopFileExtension(std::int32_t JobNumber,
                                                     std::int32_t DownloadNumber) {
    return PostCommand(simStopFileExtDownload, JobNumber, DownloadNumber);
}

bool TSpiderInputMessageQueue::PostStopMimeType(std::int32_t JobNumber,
                                                std::int32_t DownloadNumber) {
    return PostCommand(simStopMimeTypeDownload, JobNumber, DownloadNumber);
}

bool TSpiderInputMessageQueue::TakeFirst(TSpiderInputMsg& Msg) {
    std::lock_guard guard(Lock);
    if (Used == 0) return false;
    // Swapping hands the caller the message without copying its strings; the
    // slot, about to be freed, keeps the caller's old buffers for reuse.
    std::swap(Msg, Slots[0]);
    RemoveAt(0);
    return true;
}

bool TSpiderInputMessageQueue::TakeMatching(TSpiderInputKindSet Kinds, std::int32_t JobNumber,
                                            TSpiderInputMsg* Msg) {
    // Found and removed under one acquisition, so any thread may take.
    std::lock_guard guard(Lock);
    for (int i = 0; i < Used; ++i) {
        const std::uint8_t kind = Slots[i].Kind;
        if (kind >= 16 || (Kinds & (1u << kind)) == 0) continue;
        if (JobNumber != 0 && Slots[i].JobNumber != JobNumber) continue;
        if (Msg) std::swap(*Msg, Slots[i]);
        RemoveAt(i);
        return true;
    }
    return false;
}

// Moves the later messages down by one, keeping their order; the freed
// message lands in the last slot so its buffers are reused by a later post.
void TSpiderInputMessageQueue::RemoveAt(int Index) {
    for (int i = Index; i + 1 < Used; ++i)
        std::swap(Slots[i], Slots[i + 1]);
    --Used;
}

void TSpiderInputMessageQueue::Clear() {
    std::lock_guard guard(Lock);
    Used = 0;
}

int TSpiderInputMessageQueue::Count() const {
    std::lock_guard guard(Lock);
    return Used;
}

std::uint64_t TSpiderInputMessageQueue::PostCount() const {
    std::lock_guard guard(Lock);
    return Posts;
}

bool TSpiderInputMessageQueue::WaitForPostAfter(std::uint64_t Seen,
                                                std::chrono::milliseconds Timeout) const {
    std::unique_lock guard(Lock);
    return Posted.wait_for(guard, Timeout, [&] { return Posts > Seen; });
}

void TSpiderInputMessageQueue::SetPostListener(std::function<void()> NewListener) {
    auto shared = NewListener
                      ? std::make_shared<const std::function<void()>>(std::move(NewListener))
                      : nullptr;
    std::lock_guard guard(Lock);
    Listener = std::move(shared);
}

void TSpiderInputMessageQueue::SetLogSink(TSpiderInputLogSink* Sink) {
    std::lock_guard guard(Lock);
    LogSink = Sink;
}

} // namespace messaging
