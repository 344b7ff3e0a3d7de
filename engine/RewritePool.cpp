#include "engine/RewritePool.h"

#include "engine/SpiderJobControl.h"
#include "engine/SpiderObjectList.h"
#include "base/AppTraceLog.h"
#include "base/ThreadPriority.h"
#include "messaging/SpiderOutputMsgQueue.h"

#include <algorithm>
#include <chrono>

namespace engine {

namespace {

constexpr auto CommandPoll = std::chrono::milliseconds(100);

// The job run as one rewriting thread sees it: it posts straight into the
// output queue, which takes posts from many threads, and learns of pause and
// abort from the flags the spider thread sets.
class TRewriteThreadControl final : public TSpiderJobControl {
public:
    TRewriteThreadControl(messaging::TSpiderOutputMessageQueue& Output, TRewriteCommands& Commands,
                          const std::atomic<bool>& Failed)
        : Output(Output), Commands(Commands), Failed(Failed) {}

    // The spider thread takes the commands; these only read what it passed on.
    void CheckPauseAndResume() override {}
    void CheckStopAndAbort() override {}
    bool Paused() const override { return Commands.Paused(); }
    // Another thread's error ends the pass like an abort, leaving every page whole.
    bool AbortRequested() const override { return Commands.Aborted() || Failed.load(); }
    // A stop does not shorten the rewrite pass.
    bool StopRequested() const override { return false; }
    void WaitForCommand() override { Commands.WaitForChange(); }
    void Post(const messaging::TSpiderOutputMsg& Msg) override {
        if (!Output.TryToPostMessage(Msg)) throw TOutputQueueGaveUp();
    }
    // Rewriting adds no object and moves no file.
    bool AddSpiderObject(TSpiderObjectList&, const web::TURL&, const std::shared_ptr<const web::TURL>&,
                         std::int32_t, std::int32_t, bool) override {
        return false;
    }
    void PostFileMoved(std::int32_t, const std::string&, const std::string&) override {}
    void PostFolderExamined(std::int32_t, const std::string&) override {}

private:
    messaging::TSpiderOutputMessageQueue& Output;
    TRewriteCommands& Commands;
    const std::atomic<bool>& Failed;
};

} // namespace

unsigned RewriteThreadCount(std::size_t Pages) {
    const unsigned hardware = std::max(1u, std::thread::hardware_concurrency());
    return static_cast<unsigned>(std::min<std::size_t>({hardware, MaxRewriteThreads, Pages}));
}

TRewriteList::TRewriteList(TSpiderObjectList& List) : Objects(List) {
    List.ForEach([this](TSpiderObject& object) {
        if (object.IsPage) Pages.push_back(&object);
        return true;
    });
}

web::TSavedFileCache::TKnownSaved TRewriteList::KnownSaved() const {
    return [&Objects = Objects](std::string_view Path) {
        const TSpiderObject* object = Objects.FindByKey(Path);
        return object && object->Saved && object->LocalFileName == Path;
    };
}

const TSpiderObject* TRewriteList::Take() {
    const std::size_t next = Next.fetch_add(1);
    return next < Pages.size() ? Pages[next] : nullptr;
}

void TRewriteList::Cancel() {
    if (!Cancelled.exchange(true)) base::TraceLog.LogMessage("Cancelled rewriting");
}

void RewriteNextPages(TSpiderJobControl& Control, TLinkParser& Parser, TRewritePass& Pass,
                      const jobs::TCopyJob& Job, TRewriteList& Pages) {
    while (const TSpiderObject* page = Pages.Take()) {
        WaitWhilePaused(Control);
        if (Control.AbortRequested()) {
            Pages.Cancel();
            return;
        }
        Parser.RewriteLinksInFile(Control, *page, Job, Pass);
    }
}

void TRewriteCommands::Set(bool Paused, bool Aborted) {
    if (Paused == IsPaused.load() && Aborted == IsAborted.load()) return;
    {
        std::lock_guard guard(Lock);
        IsPaused = Paused;
        IsAborted = Aborted;
        ++Changes;
    }
    Changed.notify_all();
}

void TRewriteCommands::WaitForChange() {
    std::unique_lock guard(Lock);
    const std::uint64_t seen = Changes;
    // A change before this lock was taken shows in the caller's next look at the flags.
    Changed.wait_for(guard, CommandPoll, [&] { return Changes != seen; });
}

TRewritePool::TRewritePool(const TRewriteSetup& Setup, TRewriteList& Pages, unsigned Threads)
    : Setup(Setup), ThreadCount(Threads), Pages(Pages) {
    this->Threads.reserve(Threads);
    for (unsigned i = 0; i < Threads; ++i) this->Threads.emplace_back([this] { Run(); });
}

TRewritePool::~TRewritePool() {
    Commands.Set(false, true);
    Threads.clear();  // joins
}

void TRewritePool::Join() {
    Threads.clear();  // joins
    if (Failure) std::rethrow_exception(Failure);
}

void TRewritePool::Run() {
    base::LowerThisThreadsPriority();
    try {
        TRewriteThreadControl control(Setup.Output, Commands, Failed);
        TLinkParser parser = Setup.Model.Twin();
        TRewritePass pass(Setup.Count, Pages.KnownSaved());  // its scratch file goes with this thread
        RewriteNextPages(control, parser, pass, Setup.Job, Pages);
    } catch (...) {
        std::lock_guard guard(FailureLock);
        if (!Failure) Failure = std::current_exception();
        Failed = true;
    }
    ++Ended;
    if (Setup.OnThreadEnded) Setup.OnThreadEnded();
}

} // namespace engine
