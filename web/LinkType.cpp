#include "web/LinkType.h"

#include "base/AppTraceLog.h"
#include "base/AsciiText.h"
#include "web/PackedURL.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <exception>
#include <numeric>
#include <utility>

namespace web {

namespace {
void LogAddFailure(const std::exception& Error) {
    base::TraceLog.LogEntry(base::ttException, Error.what(), "AddLink", "LinkType");
}
} // namespace

TURL TWebLinkInfo::URL() const {
    TURL address;
    URLInto(address);
    return address;
}

void TWebLinkInfo::URLInto(TURL& Address) const { TPackedURL::UnpackFrom(PackedURL(), Address); }

bool TWebLinkInfo::HasValidURL() const { return TPackedURL::PackedIsValid(PackedURL()); }

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

// Only the items' numbers are sorted and each item moves once; the parser's
// list is mostly in order already.
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

void TLinkTextBlock::Begin() {
    // A link of an earlier page still holds the block: it stays theirs.
    if (Block.use_count() > 1) Block.reset(), Capacity = 0;
    // Their reads of the block come before its reuse.
    std::atomic_thread_fence(std::memory_order_acquire);
    Used = 0;
    Places.clear();
}

char* TLinkTextBlock::Room(std::size_t Size) {
    if (Used + Size > Capacity) {
        const std::size_t capacity = std::max({Capacity * 2, Used + Size, std::size_t{4} << 10});
        auto block = std::make_shared_for_overwrite<char[]>(capacity);
        if (Used) std::memcpy(block.get(), Block.get(), Used);
        Block = std::move(block);
        Capacity = capacity;
    }
    char* out = Block.get() + Used;
    Used += Size;
    return out;
}

void TLinkTextBlock::Add(std::string_view TagName, std::string_view Value, const TURL* Address) {
    // Room for the longest packing, then only what the address took is kept.
    const std::size_t offset = Used;
    char* out = Room(TagName.size() + Value.size() + (Address ? TPackedURL::PackedSizeLimit(*Address) : 0));
    for (const char c : TagName) *out++ = base::UpperAsciiChar(c);
    if (!Value.empty()) std::memcpy(out, Value.data(), Value.size());
    const std::size_t urlSize = Address ? TPackedURL::PackInto(*Address, out + Value.size()) : 0;
    Used = offset + TagName.size() + Value.size() + urlSize;
    Places.push_back({offset, static_cast<std::uint32_t>(TagName.size()), static_cast<std::uint32_t>(Value.size()),
                      static_cast<std::uint32_t>(urlSize)});
}

void TLinkTextBlock::Finish(TWebLinkList& Links) const {
    for (std::size_t i = 0; i < Places.size(); ++i) {
        TWebLinkInfo& link = *Links.Get(static_cast<std::int32_t>(i));
        const TPlace& place = Places[i];
        link.Texts = std::shared_ptr<const char[]>(Block, Block.get() + place.Offset);
        link.TagNameSize = place.TagNameSize;
        link.ValueSize = place.ValueSize;
        link.URLSize = place.URLSize;
    }
}

} // namespace web
