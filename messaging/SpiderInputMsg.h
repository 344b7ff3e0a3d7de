#pragma once

#include "jobs/DownloadOptionTypes.h"
#include "jobs/JobTypes.h"

#include <array>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <mutex>
#include <string>

namespace messaging {

// Commands to the copy engine. The numbers travel in messages and form the
// bits of the take-matching mask, so they are fixed.
enum TSpiderInputMsgKind : std::uint8_t {
    simStartJob = 1,
    simPauseJob = 2,
    simResumeJob = 3,
    simStopJob = 4,
    simAbortJob = 5,
    simStopFileDownload = 6,     // stop one download
    simStopHostDownload = 7,     // stop it and exclude its host
    simStopFileExtDownload = 8,  // stop it and exclude its file extension
    simStopMimeTypeDownload = 9, // stop it and exclude its MIME type
};

// A set of command kinds 0-15 for TakeMatching: bit k stands for kind k.
using TSpiderInputKindSet = std::uint16_t;

constexpr TSpiderInputKindSet SpiderInputKinds(std::initializer_list<TSpiderInputMsgKind> Kinds) {
    TSpiderInputKindSet set = 0;
    for (auto kind : Kinds)
        if (kind < 16) set = static_cast<TSpiderInputKindSet>(set | (1u << kind));
    return set;
}

// One command. Plain value: the queue holds copies, and copying into a slot
// that held a message before reuses that slot's string buffers.
class TSpiderInputMsg {
  public:
    void Assign(const TSpiderInputMsg& Source) { *this = Source; }

    std::uint8_t Kind = 0;            // TSpiderInputMsgKind
    jobs::TCopyJob Job;               // Start only
    std::int32_t DownloadNumber = 0;  // kinds 6-9: the dispatcher's number of the download
    std::int32_t JobNumber = 0;       // the job queue's number of the job
    jobs::TProxyServerInfo HTTPProxy; // Start only
    jobs::TProxyServerInfo FTPProxy;  // Start only
};

// The debug view's line for a posted command ("Pause job #3", "Stop file DL: 12").
std::string SpiderInputMsgTraceText(const TSpiderInputMsg& Msg);

// Receives one line per posted command for the debug view's input log. Called
// while the queue's lock is held, so lines arrive in queue order; the sink must
// not call back into the queue.
class TSpiderInputLogSink {
  public:
    virtual ~TSpiderInputLogSink() = default;
    virtual void LogSpiderInput(const std::string& Line) = 0;
};

// The bounded command queue from the user interface to the spider thread.
// Posters and takers may run on any threads; every operation is atomic.
class TSpiderInputMessageQueue {
  public:
    static constexpr int Capacity = 10;

    // Copies Msg into the next free slot. A full queue refuses it with the
    // trace entry "Spider input queue full"; posting again later is the caller's choice.
    bool Post(const TSpiderInputMsg& Msg);
    bool PostPause(std::int32_t JobNumber);
    bool PostResume(std::int32_t JobNumber);
    bool PostStop(std::int32_t JobNumber);
    bool PostAbort(std::int32_t JobNumber);
    bool PostStopFile(std::int32_t JobNumber, std::int32_t DownloadNumber);
    bool PostStopHost(std::int32_t JobNumber, std::int32_t DownloadNumber);
    bool PostStopFileExtension(std::int32_t JobNumber, std::int32_t DownloadNumber);
    bool PostStopMimeType(std::int32_t JobNumber, std::int32_t DownloadNumber);

    // Takes the oldest command of any kind.
    bool TakeFirst(TSpiderInputMsg& Msg);
    // Takes the oldest command whose kind is in Kinds and, unless JobNumber is 0,
    // whose JobNumber equals it. Msg may be null when only the removal matters.
    bool TakeMatching(TSpiderInputKindSet Kinds, std::int32_t JobNumber, TSpiderInputMsg* Msg);
    void Clear();
    int Count() const;

    // Number of successful posts so far. With WaitForPostAfter a taker sleeps
    // until something new arrives instead of polling on a fixed period:
    //   seen = PostCount(); if (!TakeMatching(...)) WaitForPostAfter(seen, 100ms);
    std::uint64_t PostCount() const;
    // True when PostCount() exceeds Seen, waiting at most Timeout for that.
    bool WaitForPostAfter(std::uint64_t Seen, std::chrono::milliseconds Timeout) const;
    // Called after every successful post, outside the lock, on the poster's
    // thread; lets a loop that waits for several sources (the dispatcher) wake up.
    // An empty function removes it.
    void SetPostListener(std::function<void()> Listener);
    // Borrowed; null switches the input log off. Must outlive its registration.
    void SetLogSink(TSpiderInputLogSink* Sink);

  private:
    bool PostCommand(std::uint8_t Kind, std::int32_t JobNumber, std::int32_t DownloadNumber);
    void RemoveAt(int Index);

    mutable std::mutex Lock; // guards Slots, Used, Posts, LogSink and Listener
    // Signalled on every successful post; waited on by WaitForPostAfter.
    mutable std::condition_variable Posted;
    std::array<TSpiderInputMsg, Capacity> Slots; // built once, reused; 0 is the oldest
    int Used = 0;
    std::uint64_t Posts = 0;
    TSpiderInputLogSink* LogSink = nullptr;
    // Shared so a post can call it after releasing the lock while another
    // thread replaces it.
    std::shared_ptr<const std::function<void()>> Listener;
};

} // namespace messaging
