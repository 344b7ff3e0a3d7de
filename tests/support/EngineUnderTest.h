#pragma once

// A whole copy engine of its own for tests: queues, filter, MIME table, the
// spider thread with given download services, and a front end that records
// every report in order.

#include "engine/DownloadFilter.h"
#include "engine/MIMEExtensions.h"
#include "engine/SpiderThread.h"
#include "messaging/SpiderInputMsg.h"
#include "messaging/SpiderOutputMsgQueue.h"
#include "messaging/SpiderOutputSplitter.h"
#include "support/OutputQueueDrain.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <vector>

namespace testsupport {

class TEngineUnderTest {
public:
    explicit TEngineUnderTest(engine::TDownloadThreadServices Downloads = {}) {
        EXPECT_TRUE(Recorder.Subscribe(Splitter, messaging::SpiderOutputKindRange(1, 22)));
        Spider = std::make_unique<engine::TSpiderThread>(
            engine::TSpiderServices{&Input, &Output, &Filter, &MIMETable, std::move(Downloads)});
        Spider->Resume();
    }
    ~TEngineUnderTest() {
        Spider.reset();
        Output.SetDestinationWindow(nullptr);
    }
    TEngineUnderTest(const TEngineUnderTest&) = delete;
    TEngineUnderTest& operator=(const TEngineUnderTest&) = delete;

    static jobs::TProxyServerInfo NoProxy() {
        jobs::TProxyServerInfo none;
        none.UseProxyServer = false;
        return none;
    }

    // Posts the start of Job as job Number with the proxy records.
    void Start(const jobs::TCopyJob& Job, std::int32_t Number, const jobs::TProxyServerInfo& HTTPProxy = NoProxy(),
               const jobs::TProxyServerInfo& FTPProxy = NoProxy()) {
        messaging::TSpiderInputMsg msg;
        msg.Kind = messaging::simStartJob;
        msg.JobNumber = Number;
        msg.Job = Job;
        msg.HTTPProxy = HTTPProxy;
        msg.FTPProxy = FTPProxy;
        EXPECT_TRUE(Input.Post(msg));
    }

    // Waits for the end of job Number and returns its outcome (0 when it never ended).
    int WaitForEnd(std::int32_t Number, std::chrono::milliseconds Patience = std::chrono::seconds(60)) {
        int outcome = 0;
        Recorder.WaitFor(
            [&](const std::vector<TOutputRecorder::TRecord>& Records) {
                for (const auto& record : Records)
                    if (record.Msg.Kind == messaging::somJobEnded && record.Msg.JobNumber == Number)
                        outcome = record.Msg.Status;
                return outcome != 0;
            },
            Patience);
        return outcome;
    }

    messaging::TSpiderInputMessageQueue Input;
    messaging::TSpiderOutputMessageQueue Output;
    messaging::TSpiderOutputSplitter Splitter{Output};
    TOutputQueueDrain Drain{Output, Splitter};
    TOutputRecorder Recorder;
    engine::TDownloadFilter Filter;
    engine::TMIMEExtensionsTable MIMETable;
    std::unique_ptr<engine::TSpiderThread> Spider;  // last: ends first
};

} // namespace testsupport
