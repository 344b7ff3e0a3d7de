#pragma once

// A whole copy engine of its own for tests, with given download services, its
// own settings and password store, and a front end that records every report
// in order.

#include "engine/CopyEngine.h"
#include "jobs/PasswordMgr.h"
#include "jobs/SavedOptions.h"
#include "messaging/SpiderInputMsg.h"
#include "messaging/SpiderOutputMsgQueue.h"
#include "messaging/SpiderOutputSplitter.h"
#include "support/OutputQueueDrain.h"

#include <gtest/gtest.h>

#include <chrono>
#include <vector>

namespace testsupport {

class TEngineUnderTest {
public:
    explicit TEngineUnderTest(engine::TDownloadThreadServices Downloads = {})
        : Engine(Settings, Passwords, std::move(Downloads)) {
        EXPECT_TRUE(Recorder.Subscribe(Splitter, messaging::SpiderOutputKindRange(1, 22)));
        Engine.Resume();
    }
    // The spider ends before the front end that drains its reports goes.
    ~TEngineUnderTest() { Stop(); }
    TEngineUnderTest(const TEngineUnderTest&) = delete;
    TEngineUnderTest& operator=(const TEngineUnderTest&) = delete;

    // Ends the spider thread; for fixtures whose members the spider uses.
    void Stop() { Engine.Terminate(); }

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

    jobs::TSavedOptions Settings;
    jobs::TPasswordManager Passwords;
    engine::TCopyEngine Engine;
    messaging::TSpiderInputMessageQueue& Input = Engine.Input();
    messaging::TSpiderOutputMessageQueue& Output = Engine.Output();
    messaging::TSpiderOutputSplitter& Splitter = Engine.Splitter();
    TOutputRecorder Recorder;  // outlives the drain thread that delivers to it
    TOutputQueueDrain Drain{Output, Splitter};
};

} // namespace testsupport
