#pragma once

#include "engine/LinkParser.h"

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace messaging {
class TSpiderOutputMessageQueue;
}

namespace engine {

class TSpiderJobControl;
class TSpiderObjectList;

// Beyond this many threads the disk, not the processor, sets the pace of rewriting.
constexpr unsigned MaxRewriteThreads = 8;

// Threads that rewrite Pages pages here: one per hardware thread, capped.
unsigned RewriteThreadCount(std::size_t Pages);

// The saved pages of a pass, collected once in key order, handed out one at
// a time to whichever thread asks next.
class TRewriteList {
public:
    explicit TRewriteList(TSpiderObjectList& List);
    std::size_t Count() const { return Pages.size(); }
    // Which link targets the job saved itself, from the objects, for every
    // thread's lookups: the list does not change while the pass runs.
    web::TSavedFileCache::TKnownSaved KnownSaved() const;
    // The next page, or null when every page is handed out.
    const TSpiderObject* Take();
    // Notes in the trace log, once per pass, that an abort left pages unrewritten.
    void Cancel();

private:
    const TSpiderObjectList& Objects;
    std::vector<const TSpiderObject*> Pages;
    std::atomic<std::size_t> Next{0};
    std::atomic<bool> Cancelled{false};
};

// Rewrites pages taken from Pages until none is left or Control reports an
// abort; holds between pages while Control is paused.
void RewriteNextPages(TSpiderJobControl& Control, TLinkParser& Parser, TRewritePass& Pass,
                      const jobs::TCopyJob& Job, TRewriteList& Pages);

// The job's pause and abort as the rewriting threads see them: only the
// spider thread reads the command queue, and it passes them on here.
class TRewriteCommands {
public:
    void Set(bool Paused, bool Aborted);
    bool Paused() const { return IsPaused.load(); }
    bool Aborted() const { return IsAborted.load(); }
    // Returns when Set changed something, or after a short bounded wait.
    void WaitForChange();

private:
    std::mutex Lock;  // orders Set against WaitForChange, so no change is missed
    std::condition_variable Changed;
    std::uint64_t Changes = 0;
    std::atomic<bool> IsPaused{false};
    std::atomic<bool> IsAborted{false};
};

// What every rewriting thread needs from the job run.
struct TRewriteSetup {
    messaging::TSpiderOutputMessageQueue& Output;
    const TLinkParser& Model;  // each thread rewrites with a twin of it
    const jobs::TCopyJob& Job;
    std::atomic<std::int32_t>& Count;  // numbers every rewrite of the program
    std::function<void()> OnThreadEnded;
};

// Rewrites every page of Pages on Threads threads of its own, while the
// spider thread goes on taking commands and passes them on with Follow.
// Each thread owns its parser, report, scratch file and saved-file cache,
// and posts its own reports. Destroying the pool aborts and joins the threads.
class TRewritePool {
public:
    TRewritePool(const TRewriteSetup& Setup, TRewriteList& Pages, unsigned Threads);
    ~TRewritePool();
    TRewritePool(const TRewritePool&) = delete;
    TRewritePool& operator=(const TRewritePool&) = delete;

    void Follow(bool Paused, bool Aborted) { Commands.Set(Paused, Aborted); }
    bool Finished() const { return Ended.load() == ThreadCount; }
    // Waits for every thread; rethrows the first error that ended one (the
    // others then stopped as after an abort).
    void Join();

private:
    void Run();

    TRewriteSetup Setup;
    const std::size_t ThreadCount;
    TRewriteList& Pages;
    TRewriteCommands Commands;
    std::atomic<bool> Failed{false};
    std::mutex FailureLock;  // guards Failure
    std::exception_ptr Failure;
    std::atomic<std::size_t> Ended{0};
    std::vector<std::jthread> Threads;  // last: joined before the rest goes
};

} // namespace engine
