// Counts the heap allocations of the calling thread, to prove that passing
// messages through a warm queue allocates nothing.
#include "messaging/SpiderOutputMsgQueue.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <new>
#include <vector>

namespace {
thread_local std::size_t ThreadAllocations = 0;
} // namespace

void* operator new(std::size_t Size) {
    ++ThreadAllocations;
    if (void* p = std::malloc(Size ? Size : 1)) return p;
    throw std::bad_alloc();
}
void* operator new[](std::size_t Size) {
    return operator new(Size);
}
void operator delete(void* P) noexcept {
    std::free(P);
}
void operator delete[](void* P) noexcept {
    std::free(P);
}
void operator delete(void* P, std::size_t) noexcept {
    std::free(P);
}
void operator delete[](void* P, std::size_t) noexcept {
    std::free(P);
}

using namespace messaging;

namespace {

struct TLabelSink : TSpiderOutputNotifier {
    bool NotifySpiderOutput(std::uint32_t) override { return true; }
};

// A download-ended report whose strings all lie beyond the small-string buffer.
TSpiderOutputMsg BigReport(int Number) {
    TSpiderOutputMsg msg;
    msg.Kind = somDownloadEnded;
    msg.JobNumber = 1;
    msg.FileDownload.DownloadNumber = Number;
    msg.FileDownload.Address.SetFullURL("http://www.example.test/some/deep/folder/page.html");
    msg.FileDownload.Referrer.SetFullURL("http://www.example.test/some/deep/folder/index.html");
    msg.FileDownload.LocalFile = "/home/user/copies/www.example.test/some/deep/folder/page.html";
    msg.FileDownload.Progress.ContentType = "text/html; charset=windows-1252";
    msg.FileDownload.Results.StatusText = "OK, and a long status text from the server";
    msg.StartPageFile = "/home/user/copies/www.example.test/index.html";
    return msg;
}

} // namespace

TEST(OutputQueueCopyCost, AWarmQueueCopiesWithoutAllocating) {
    TLabelSink sink;
    auto queue = std::make_unique<TSpiderOutputMessageQueue>();
    queue->SetDestinationWindow(&sink);
    std::vector<TSpiderOutputMsg> reports;
    for (int i = 0; i < 3; ++i)
        reports.push_back(BigReport(i));
    TSpiderOutputMsg out;

    // Warm up: every slot and the receiving message get their buffers.
    std::uint32_t label = 1;
    const std::size_t cold = ThreadAllocations;
    for (int round = 0; round < 3; ++round) {
        for (int i = 0; i < TSpiderOutputMessageQueue::Capacity; ++i)
            ASSERT_TRUE(queue->PostMessage(reports[i % 3]));
        for (int i = 0; i < TSpiderOutputMessageQueue::Capacity; ++i)
            ASSERT_TRUE(queue->Retrieve(label++, out));
    }

    ASSERT_GT(ThreadAllocations - cold, 0u) << "fresh slots take buffers: the count works";

    const std::size_t before = ThreadAllocations;
    for (int i = 0; i < 1000; ++i) {
        ASSERT_TRUE(queue->TryToPostMessage(reports[i % 3]));
        ASSERT_TRUE(queue->Retrieve(label++, out));
        ASSERT_EQ(out.FileDownload.DownloadNumber, i % 3);
    }
    EXPECT_EQ(ThreadAllocations - before, 0u);
    queue->SetDestinationWindow(nullptr);
}
