// Counts the heap allocations of the calling thread, to prove that passing
// messages through a warm queue allocates nothing.
#include "messaging/SpiderOutputMsgQueue.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <new>

namespace {
thread_local std::size_t ThreadAllocations = 0;
} // namespace

void* operator new(std::size_t Size) {
    ++ThreadAllocations;
    if (void* p = std::malloc(Size ? Size : 1)) return p;
    throw std::bad_alloc();
}
void* operator new[](std::size_t Size) { return operator new(Size); }
void operator delete(void* P) noexcept { std::free(P); }
void operator delete[](void* P) noexcept { std::free(P); }
void operator delete(void* P, std::size_t) noexcept { std::free(P); }
void operator delete[](void* P, std::size_t) noexcept { std::free(P); }

using namespace messaging;

TEST(OutputQueueCopyCost, AWarmQueueCopiesWithoutAllocating) {
    struct : TSpiderOutputNotifier {
        bool NotifySpiderOutput(std::uint32_t) override { return true; }
    } sink;
    TSpiderOutputMessageQueue queue;
    queue.SetDestinationWindow(&sink);
    // A download-ended report whose strings all lie beyond the small-string buffer.
    TSpiderOutputMsg report, out;
    report.Kind = somDownloadEnded;
    report.FileDownload.Address.SetFullURL("http://www.example.test/some/deep/folder/page.html");
    report.FileDownload.LocalFile = "/home/user/copies/www.example.test/some/deep/folder/page.html";
    report.FileDownload.Progress.ContentType = "text/html; charset=windows-1252";
    report.FileDownload.Results.StatusText = "OK, and a long status text from the server";

    // Warm up: every slot and the receiving message get their buffers.
    std::uint32_t label = 1;
    const std::size_t cold = ThreadAllocations;
    for (int i = 0; i < TSpiderOutputMessageQueue::Capacity; ++i) ASSERT_TRUE(queue.PostMessage(report));
    for (int i = 0; i < TSpiderOutputMessageQueue::Capacity; ++i) ASSERT_TRUE(queue.Retrieve(label++, out));
    ASSERT_GT(ThreadAllocations - cold, 0u) << "fresh slots take buffers: the count works";

    const std::size_t before = ThreadAllocations;
    for (int i = 0; i < 1000; ++i) {
        report.FileDownload.DownloadNumber = i;
        ASSERT_TRUE(queue.TryToPostMessage(report));
        ASSERT_TRUE(queue.Retrieve(label++, out));
        ASSERT_EQ(out.FileDownload.DownloadNumber, i);
    }
    EXPECT_EQ(ThreadAllocations - before, 0u);
    queue.SetDestinationWindow(nullptr);
}
