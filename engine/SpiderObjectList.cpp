#include "engine/SpiderObjectList.h"

#include "base/AsciiText.h"

#include <algorithm>

namespace engine {

namespace {

// An address that gets no local name (refused as unsafe, or of a scheme that
// is never saved) is filed under its own text, so that such addresses do not
// all merge into one object and each is reported on its own.
bool KeyIsAddressText(const TSpiderObject& Object) {
    return Object.Address.GetScheme() == web::SchemeMailto || Object.LocalFileName.empty();
}

bool WantsDownload(const TSpiderObject& Object) { return !Object.Dispatched; }
bool WantsParsing(const TSpiderObject& Object) { return Object.IsPage && !Object.LinksParsed; }

constexpr std::size_t FirstSlotCount = 1024;

} // namespace

TSpiderObject& TSpiderObjectStore::Append(TSpiderObject&& Object) {
    if (Count % ChunkSize == 0) Chunks.emplace_back().reserve(ChunkSize);
    ++Count;
    return Chunks.back().emplace_back(std::move(Object));
}

std::string_view TSpiderObjectList::KeyOf(TPlace Place) const {
    if (Marks[Place] & KeyKeptApart) return KeysKeptApart[KeptApartNumber[Place] - 1];
    return Objects[Place].LocalFileName;
}

std::uint32_t TSpiderObjectList::KeepApart(std::string Key) {
    KeysKeptApart.push_back(std::move(Key));
    return static_cast<std::uint32_t>(KeysKeptApart.size());
}

bool TSpiderObjectList::KeyLess(const TQueued& A, const TQueued& B) const {
    if (A.Summary != B.Summary) return A.Summary < B.Summary;
    return FoldedLess(KeyOf(A.Place), KeyOf(B.Place));
}

TSpiderObjectList::TAddOutcome TSpiderObjectList::AddIfNotPresent(TSpiderObject NewObject) {
    const bool apart = KeyIsAddressText(NewObject);
    std::string addressKey = apart ? NewObject.Address.Unpack().GetFullURL() : std::string();
    const std::string_view key = apart ? std::string_view(addressKey) : std::string_view(NewObject.LocalFileName);
    const auto hash = static_cast<std::uint32_t>(FoldedHash(key));
    if ((Objects.Size() + 1) * 4 > Slots.size() * 3) GrowSlots();
    const std::size_t slot = FindSlot(key, hash);
    if (Slots[slot].Place != 0) return Merge(Objects[Slots[slot].Place - 1], NewObject);
    if (!Summary) Summary.emplace(key);
    const auto place = static_cast<TPlace>(Objects.Size());
    Slots[slot] = {hash, place + 1};
    Marks.push_back(apart ? KeyKeptApart : 0);
    KeptApartNumber.push_back(apart ? KeepApart(std::move(addressKey)) : 0);
    NewObject.SequenceNumber = place + 1;
    if (!NewObject.Dispatched) ++UndispatchedCount;
    Objects.Append(std::move(NewObject));
    EnqueueWanted(place);
    return TAddOutcome::Inserted;
}

TSpiderObjectList::TAddOutcome TSpiderObjectList::Merge(TSpiderObject& Known, TSpiderObject& NewObject) {
    // A host change counts once: only while no alternate host was recorded.
    const bool hostChanged = Known.Dispatched && Known.AlternateHost.empty() &&
                             !base::SameTextAscii(Known.Address.GetHostName(), NewObject.Address.GetHostName());
    if (hostChanged) Known.AlternateHost = NewObject.Address.GetHostName();
    const bool closer = NewObject.Distance < Known.Distance;
    if (closer) {
        Known.Distance = NewObject.Distance;
        Known.Referrer = std::move(NewObject.Referrer);
    }
    // A link refused for its query may come back as a page's embedded resource;
    // the query is all that embedding changes, so only then is it fetched again.
    const bool nowEmbedded = NewObject.Embedded && !Known.Embedded;
    if (nowEmbedded) Known.Embedded = true;
    const bool queryNowAllowed = nowEmbedded && Known.Address.HasExtraInfo();
    if (!hostChanged && !closer && !queryNowAllowed) return TAddOutcome::Known;
    const bool wasDispatched = Known.Dispatched;
    SetDispatched(Known, false);
    return wasDispatched ? TAddOutcome::Requeued : TAddOutcome::Known;
}

const TSpiderObject* TSpiderObjectList::FindByKey(std::string_view Key) const {
    if (Slots.empty()) return nullptr;
    const TSlot& slot = Slots[FindSlot(Key, static_cast<std::uint32_t>(FoldedHash(Key)))];
    return slot.Place == 0 ? nullptr : &Objects[slot.Place - 1];
}

// The slot that holds Key, or the empty slot where it belongs. A key found
// with the same hash is nearly always written the same way too: one memcmp
// settles it before the letter-case-blind comparison.
std::size_t TSpiderObjectList::FindSlot(std::string_view Key, std::uint32_t Hash) const {
    const std::size_t mask = Slots.size() - 1;
    for (std::size_t at = Hash & mask;; at = (at + 1) & mask) {
        const TSlot& slot = Slots[at];
        if (slot.Place == 0) return at;
        if (slot.Hash != Hash) continue;
        const std::string_view known = KeyOf(slot.Place - 1);
        if (known == Key || base::SameTextAscii(known, Key)) return at;
    }
}

// Doubles the table; the slots keep their hashes, so no key is read again.
void TSpiderObjectList::GrowSlots() {
    decltype(Slots) old(std::max(FirstSlotCount, Slots.size() * 2), TSlot{0, 0});
    old.swap(Slots);
    const std::size_t mask = Slots.size() - 1;
    for (const TSlot& slot : old) {
        if (slot.Place == 0) continue;
        std::size_t at = slot.Hash & mask;
        while (Slots[at].Place != 0) at = (at + 1) & mask;
        Slots[at] = slot;
    }
}

TSpiderObject* TSpiderObjectList::FindBySequenceNumber(std::uint32_t SequenceNumber) {
    if (SequenceNumber == 0 || SequenceNumber > Objects.Size()) return nullptr;
    return &Objects[SequenceNumber - 1];
}

TSpiderObject* TSpiderObjectList::FirstUndispatched() {
    return FirstWanted(Undispatched, InUndispatched, WantsDownload);
}

TSpiderObject* TSpiderObjectList::FirstUnparsedPage() {
    return FirstWanted(UnparsedPages, InUnparsedPages, WantsParsing);
}

// Drops the places at the top that are no longer wanted.
TSpiderObject* TSpiderObjectList::FirstWanted(THeap& Heap, TMark Mark,
                                              bool (*Wanted)(const TSpiderObject&)) {
    while (!Heap.empty()) {
        const TPlace place = Heap.front().Place;
        if (Wanted(Objects[place])) return &Objects[place];
        Marks[place] &= static_cast<std::uint8_t>(~Mark);
        std::pop_heap(Heap.begin(), Heap.end(), TKeyAfter{this});
        Heap.pop_back();
    }
    return nullptr;
}

void TSpiderObjectList::Enqueue(THeap& Heap, TMark Mark, TPlace Place) {
    if (Marks[Place] & Mark) return;
    Marks[Place] |= Mark;
    Heap.push_back({Summary->Of(KeyOf(Place)), Place});
    std::push_heap(Heap.begin(), Heap.end(), TKeyAfter{this});
}

void TSpiderObjectList::EnqueueWanted(TPlace Place) {
    const TSpiderObject& object = Objects[Place];
    if (WantsDownload(object)) {
        if (!Holding) {
            Enqueue(Undispatched, InUndispatched, Place);
        } else if (!(Marks[Place] & InUndispatched)) {
            Marks[Place] |= InUndispatched;  // held, out of the heap until released
            Held.push_back(Place);
        }
    }
    if (WantsParsing(object)) Enqueue(UnparsedPages, InUnparsedPages, Place);
}

void TSpiderObjectList::ReleaseHeldDownloads() {
    for (const TPlace place : Held) {
        Marks[place] &= static_cast<std::uint8_t>(~InUndispatched);
        Enqueue(Undispatched, InUndispatched, place);
    }
    Held.clear();
}

void TSpiderObjectList::SetDispatched(TSpiderObject& Object, bool Dispatched) {
    if (Object.Dispatched == Dispatched) return;
    Object.Dispatched = Dispatched;
    if (Dispatched) --UndispatchedCount;
    else ++UndispatchedCount;
    EnqueueWanted(Object.SequenceNumber - 1);
}

void TSpiderObjectList::SetIsPage(TSpiderObject& Object) {
    Object.IsPage = true;
    EnqueueWanted(Object.SequenceNumber - 1);
}

// Leaves its heap when it comes to the top.
void TSpiderObjectList::SetLinksParsed(TSpiderObject& Object) { Object.LinksParsed = true; }

// The key stays what it was: an object whose key was its old name keeps that
// name apart before taking the new one.
void TSpiderObjectList::SetLocalFileName(TSpiderObject& Object, const std::string& FileName) {
    if (Object.LocalFileName == FileName) return;
    const TPlace place = Object.SequenceNumber - 1;
    if (!(Marks[place] & KeyKeptApart)) {
        KeptApartNumber[place] = KeepApart(std::move(Object.LocalFileName));
        Marks[place] |= KeyKeptApart;
    }
    Object.LocalFileName = FileName;
}

void TSpiderObjectList::ForEach(const std::function<bool(TSpiderObject&)>& Visit) {
    std::vector<TQueued> order(Objects.Size());
    for (TPlace place = 0; place < order.size(); ++place) order[place] = {Summary->Of(KeyOf(place)), place};
    std::sort(order.begin(), order.end(), [this](const TQueued& A, const TQueued& B) { return KeyLess(A, B); });
    for (const TQueued& queued : order)
        if (!Visit(Objects[queued.Place])) return;
}

} // namespace engine
