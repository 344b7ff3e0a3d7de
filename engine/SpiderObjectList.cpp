#include "engine/SpiderObjectList.h"

#include "base/AsciiText.h"

#include <algorithm>

namespace engine {

namespace {

// A before B with the ASCII letters folded to upper case, bytes compared
// unsigned, as std::string compares the folded texts.
bool FoldedLess(std::string_view A, std::string_view B) {
    const std::size_t common = std::min(A.size(), B.size());
    for (std::size_t i = 0; i < common; ++i) {
        if (A[i] == B[i]) continue;
        const auto a = static_cast<unsigned char>(base::UpperAsciiChar(A[i]));
        const auto b = static_cast<unsigned char>(base::UpperAsciiChar(B[i]));
        if (a != b) return a < b;
    }
    return A.size() < B.size();
}

// An address that gets no local name (refused as unsafe, or of a scheme that
// is never saved) is filed under its own text, so that such addresses do not
// all merge into one object and each is reported on its own.
bool KeyIsAddressText(const TSpiderObject& Object) {
    return Object.Address.GetScheme() == web::SchemeMailto || Object.LocalFileName.empty();
}

} // namespace

TSpiderObject& TSpiderObjectStore::Append(TSpiderObject&& Object) {
    if ((Count & ChunkMask) == 0) Chunks.push_back(std::make_unique<TSpiderObject[]>(ChunkMask + 1));
    TSpiderObject& slot = (*this)[Count++];
    slot = std::move(Object);
    return slot;
}

bool TSpiderObjectList::TKeyOrder::operator()(TIndex A, TIndex B) const {
    return FoldedLess(List->KeyOf(A), List->KeyOf(B));
}

bool TSpiderObjectList::TKeyOrder::operator()(TIndex A, std::string_view B) const {
    return FoldedLess(List->KeyOf(A), B);
}

bool TSpiderObjectList::TKeyOrder::operator()(std::string_view A, TIndex B) const {
    return FoldedLess(A, List->KeyOf(B));
}

TSpiderObjectList::TSpiderObjectList()
    : ByKey(TKeyOrder{this}), Undispatched(TKeyOrder{this}), UnparsedPages(TKeyOrder{this}) {}

std::string_view TSpiderObjectList::KeyOf(TIndex Index) const {
    const TSpiderObject& object = Objects[Index];
    if (object.KeyKeptApart) return KeysKeptApart.find(Index)->second;
    return object.LocalFileName;
}

TSpiderObjectList::TAddOutcome TSpiderObjectList::AddIfNotPresent(TSpiderObject NewObject) {
    const bool apart = KeyIsAddressText(NewObject);
    std::string addressKey = apart ? NewObject.Address.GetFullURL() : std::string();
    const std::string_view key = apart ? std::string_view(addressKey) : std::string_view(NewObject.LocalFileName);
    const auto found = ByKey.lower_bound(key);
    if (found == ByKey.end() || FoldedLess(key, KeyOf(*found))) {
        const auto index = static_cast<TIndex>(Objects.Size());
        NewObject.SequenceNumber = index + 1;
        NewObject.KeyKeptApart = apart;
        if (apart) KeysKeptApart.emplace(index, std::move(addressKey));
        TSpiderObject& object = Objects.Append(std::move(NewObject));
        ByKey.insert(found, index);
        IndexFlags(object);
        return TAddOutcome::Inserted;
    }
    TSpiderObject& known = Objects[*found];
    // A host change counts once: only while no alternate host was recorded.
    const bool hostChanged = known.Dispatched && known.AlternateHost.empty() &&
                             !base::SameTextAscii(known.Address.GetHostName(), NewObject.Address.GetHostName());
    if (hostChanged) known.AlternateHost = NewObject.Address.GetHostName();
    const bool closer = NewObject.Distance < known.Distance;
    if (closer) {
        known.Distance = NewObject.Distance;
        known.Referrer = std::move(NewObject.Referrer);
    }
    // A link refused for its query may come back as a page's embedded resource;
    // the query is all that embedding changes, so only then is it fetched again.
    const bool nowEmbedded = NewObject.Embedded && !known.Embedded;
    if (nowEmbedded) known.Embedded = true;
    const bool queryNowAllowed = nowEmbedded && !known.Address.GetExtraInfo().empty();
    if (!hostChanged && !closer && !queryNowAllowed) return TAddOutcome::Known;
    const bool wasDispatched = known.Dispatched;
    SetDispatched(known, false);
    return wasDispatched ? TAddOutcome::Requeued : TAddOutcome::Known;
}

TSpiderObject* TSpiderObjectList::FindBySequenceNumber(std::uint32_t SequenceNumber) {
    if (SequenceNumber == 0 || SequenceNumber > Objects.Size()) return nullptr;
    return &Objects[SequenceNumber - 1];
}

TSpiderObject* TSpiderObjectList::FirstUndispatched() {
    return Undispatched.empty() ? nullptr : &Objects[*Undispatched.begin()];
}

TSpiderObject* TSpiderObjectList::FirstUnparsedPage() {
    return UnparsedPages.empty() ? nullptr : &Objects[*UnparsedPages.begin()];
}

void TSpiderObjectList::IndexFlags(TSpiderObject& Object) {
    const TIndex index = Object.SequenceNumber - 1;
    if (Object.Dispatched) Undispatched.erase(index);
    else Undispatched.insert(index);
    if (Object.IsPage && !Object.LinksParsed) UnparsedPages.insert(index);
    else UnparsedPages.erase(index);
}

void TSpiderObjectList::SetDispatched(TSpiderObject& Object, bool Dispatched) {
    Object.Dispatched = Dispatched;
    IndexFlags(Object);
}

void TSpiderObjectList::SetIsPage(TSpiderObject& Object) {
    Object.IsPage = true;
    IndexFlags(Object);
}

void TSpiderObjectList::SetLinksParsed(TSpiderObject& Object) {
    Object.LinksParsed = true;
    IndexFlags(Object);
}

// The key stays what it was: an object whose key was its old name keeps that
// name apart before taking the new one.
void TSpiderObjectList::SetLocalFileName(TSpiderObject& Object, const std::string& FileName) {
    if (Object.LocalFileName == FileName) return;
    if (!Object.KeyKeptApart) {
        KeysKeptApart.emplace(Object.SequenceNumber - 1, std::move(Object.LocalFileName));
        Object.KeyKeptApart = true;
    }
    Object.LocalFileName = FileName;
}

void TSpiderObjectList::ForEach(const std::function<bool(TSpiderObject&)>& Visit) {
    for (const TIndex index : ByKey)
        if (!Visit(Objects[index])) return;
}

} // namespace engine
