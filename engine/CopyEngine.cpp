#include "engine/CopyEngine.h"

#include "engine/DownloadFilter.h"
#include "engine/InternetClient.h"
#include "engine/MIMEExtensions.h"
#include "engine/SpiderThread.h"
#include "jobs/PasswordMgr.h"
#include "messaging/SpiderInputMsg.h"
#include "messaging/SpiderOutputMsgQueue.h"
#include "messaging/SpiderOutputSplitter.h"

namespace engine {

TCopyEngine::TCopyEngine(jobs::TSavedOptions& Settings, jobs::TPasswordManager& Passwords,
                         TDownloadThreadServices Downloads)
    : SavedSettings(Settings), PasswordStore(Passwords),
      InputQueue(std::make_unique<messaging::TSpiderInputMessageQueue>()),
      OutputQueue(std::make_unique<messaging::TSpiderOutputMessageQueue>()),
      OutputSplitter(std::make_unique<messaging::TSpiderOutputSplitter>(*OutputQueue)),
      Filter(std::make_unique<TDownloadFilter>()), MIMETable(std::make_unique<TMIMEExtensionsTable>()),
      Cookies(std::make_unique<TCookieStore>()) {
    if (!Downloads.Cookies) Downloads.Cookies = Cookies.get();
    if (!Downloads.FindSitePassword) {
        // Copied out under the store's lock, so a front end may edit the store meanwhile.
        Downloads.FindSitePassword = [&Passwords](const std::string& Site, TSiteCredentials& Credentials) {
            jobs::TSitePassword found;
            if (!Passwords.FindPassword(Site, found)) return false;
            Credentials = {found.User, found.Password};
            return true;
        };
    }
    Spider = std::make_unique<TSpiderThread>(*InputQueue, *OutputQueue, *Filter, *MIMETable, std::move(Downloads));
}

TCopyEngine::~TCopyEngine() = default;

void TCopyEngine::Resume() { Spider->Resume(); }

void TCopyEngine::Terminate() { Spider->Terminate(); }

bool TCopyEngine::Finished() const { return Spider->Finished(); }

std::int32_t TCopyEngine::CurrentJobNumber() const { return Spider->CurrentJobNumber(); }

} // namespace engine
