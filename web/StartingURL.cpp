#include "web/StartingURL.h"

namespace web {

TURL GetStartingURL(const jobs::TCopyJob& Job) {
    TURL url;
    const std::string& text = Job.StartingWebAddress.empty() ? Job.UnusableStartingAddress : Job.StartingWebAddress;
    if (text.empty()) return url;  // no address at all: nothing to parse or to report
    url.SetFullURL(text);
    // Credentials apart from the address win over any written into it by hand.
    if (url.IsValid() && !Job.StartingUserName.empty() && !Job.StartingPassword.empty())
        url.SetCredentials(Job.StartingUserName, Job.StartingPassword);
    return url;
}

void SetStartingURL(jobs::TCopyJob& Job, const TURL& Url) {
    Job.StartingWebAddress = Url.GetURL(false, true, true, true, true);
    Job.StartingUserName = Url.GetUserName();
    Job.StartingPassword = Url.GetPassword();
    Job.UnusableStartingAddress = Url.IsValid() ? std::string() : Url.GetUnusableText();
}

bool SetStartingURL(jobs::TCopyJob& Job, std::string_view Text) {
    TURL url;
    const bool valid = url.SetFullURL(Text);
    SetStartingURL(Job, url);
    return valid;
}

void NormalizeStartingURL(jobs::TCopyJob& Job) { SetStartingURL(Job, GetStartingURL(Job)); }

} // namespace web
