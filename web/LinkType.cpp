#include "web/LinkType.h"

#include "messaging/AppTraceLog.h"

#include <algorithm>
#include <exception>
#include <utility>

namespace web {

namespace {
void LogAddFailure(const std::exception& Error) {
    messaging::TraceLog.LogEntry(messaging::ttException, Error.what(), "AddLink", "LinkType");
}
} // namespace

bool TWebLinkList::Add(const TWebLinkInfo& Info) {
    try {
        Items.push_back(Info);
        return true;
    } catch (const std::exception& Error) {
        LogAddFailure(Error);
        return false;
    }
}

bool TWebLinkList::Add(TWebLinkInfo&& Info) {
    try {
        Items.push_back(std::move(Info));
        return true;
    } catch (const std::exception& Error) {
        LogAddFailure(Error);
        return false;
    }
}

TWebLinkInfo* TWebLinkList::Get(std::int32_t Index) {
    if (Index < 0 || Index >= Count()) return nullptr;
    return &Items[static_cast<std::size_t>(Index)];
}

const TWebLinkInfo* TWebLinkList::Get(std::int32_t Index) const {
    if (Index < 0 || Index >= Count()) return nullptr;
    return &Items[static_cast<std::size_t>(Index)];
}

void TWebLinkList::Sort() {
    std::stable_sort(Items.begin(), Items.end(), [](const TWebLinkInfo& A, const TWebLinkInfo& B) {
        return A.TextPosition() < B.TextPosition();
    });
}

} // namespace web
