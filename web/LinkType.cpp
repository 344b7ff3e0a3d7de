#include "web/LinkType.h"

#include "base/AppTraceLog.h"

#include <algorithm>
#include <exception>
#include <numeric>
#include <utility>

namespace web {

namespace {
void LogAddFailure(const std::exception& Error) {
    base::TraceLog.LogEntry(base::ttException, Error.what(), "AddLink", "LinkType");
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

// Items are large (an address and three strings), so only their numbers are
// sorted and each item moves once; the parser's list is mostly in order already.
void TWebLinkList::Sort() {
    auto before = [](const TWebLinkInfo& A, const TWebLinkInfo& B) {
        return A.TextPosition() < B.TextPosition();
    };
    if (std::is_sorted(Items.begin(), Items.end(), before)) return;
    std::vector<std::size_t> order(Items.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::stable_sort(order.begin(), order.end(),
                     [&](std::size_t A, std::size_t B) { return before(Items[A], Items[B]); });
    std::vector<TWebLinkInfo> sorted;
    sorted.reserve(Items.size());
    for (const std::size_t index : order)
        sorted.push_back(std::move(Items[index]));
    Items = std::move(sorted);
}

} // namespace web
