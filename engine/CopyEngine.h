#pragma once

#include "engine/DownloadServices.h"

#include <cstdint>
#include <memory>

namespace jobs {
class TPasswordManager;
class TSavedOptions;
} // namespace jobs
namespace messaging {
class TSpiderInputMessageQueue;
class TSpiderOutputMessageQueue;
class TSpiderOutputSplitter;
} // namespace messaging

namespace engine {

class TDownloadFilter;
class TMIMEExtensionsTable;
class TSpiderThread;

// The copy engine of one program run: the command queue, the report queue
// and its splitter, the download filter, the MIME table, the cookie jar and
// the spider thread with its download threads. Front ends post commands to
// Input() and take reports through Output() (their notifier) and Splitter().
// The settings and the password store are the front end's; they must outlive
// the engine.
class TCopyEngine {
public:
    // Downloads: cookie jar, client settings and password lookup for the
    // download threads; an empty jar or lookup means the engine's own jar and
    // a lookup in Passwords.
    TCopyEngine(jobs::TSavedOptions& Settings, jobs::TPasswordManager& Passwords,
                TDownloadThreadServices Downloads = {});
    // Stops the spider thread before anything it uses goes.
    ~TCopyEngine();
    TCopyEngine(const TCopyEngine&) = delete;
    TCopyEngine& operator=(const TCopyEngine&) = delete;

    messaging::TSpiderInputMessageQueue& Input() { return *InputQueue; }
    messaging::TSpiderOutputMessageQueue& Output() { return *OutputQueue; }
    messaging::TSpiderOutputSplitter& Splitter() { return *OutputSplitter; }
    jobs::TSavedOptions& Settings() { return SavedSettings; }
    jobs::TPasswordManager& Passwords() { return PasswordStore; }

    // The spider thread is created idle; it takes commands once resumed.
    void Resume();
    // Ends the spider thread and waits for it; reports already posted stay
    // in the output queue.
    void Terminate();
    bool Finished() const;
    // The job the spider runs now; 0 while none runs.
    std::int32_t CurrentJobNumber() const;

private:
    jobs::TSavedOptions& SavedSettings;
    jobs::TPasswordManager& PasswordStore;
    std::unique_ptr<messaging::TSpiderInputMessageQueue> InputQueue;
    std::unique_ptr<messaging::TSpiderOutputMessageQueue> OutputQueue;
    std::unique_ptr<messaging::TSpiderOutputSplitter> OutputSplitter;
    std::unique_ptr<TDownloadFilter> Filter;
    std::unique_ptr<TMIMEExtensionsTable> MIMETable;
    std::unique_ptr<TCookieStore> Cookies;
    std::unique_ptr<TSpiderThread> Spider;  // last: ends first
};

} // namespace engine
