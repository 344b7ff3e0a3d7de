#include "engine/SpiderObjectList.h"

#include "base/AsciiText.h"

namespace engine {

// An address that gets no local name (refused as unsafe, or of a scheme that
// is never saved) is filed under its own text, so that such addresses do not
// all merge into one object and each is reported on its own.
std::string SpiderObjectKey(const TSpiderObject& Object) {
    if (Object.Address.GetScheme() == web::SchemeMailto || Object.LocalFileName.empty())
        return Object.Address.GetFullURL();
    return Object.LocalFileName;
}

TSpiderObjectList::TAddOutcome TSpiderObjectList::AddIfNotPresent(TSpiderObject NewObject) {
    NewObject.FoldedKey = base::UpperAscii(SpiderObjectKey(NewObject));
    const auto found = Objects.find(NewObject.FoldedKey);
    if (found == Objects.end()) {
        auto owned = std::make_unique<TSpiderObject>(std::move(NewObject));
        owned->SequenceNumber = ++InsertCounter;
        TSpiderObject& object = *owned;
        Objects.insert(std::move(owned));
        BySequence.push_back(&object);
        IndexFlags(object);
        return TAddOutcome::Inserted;
    }
    TSpiderObject& known = **found;
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

TSpiderObject* TSpiderObjectList::FindBySequenceNumber(std::uint32_t SequenceNumber) const {
    if (SequenceNumber == 0 || SequenceNumber > BySequence.size()) return nullptr;
    return BySequence[SequenceNumber - 1];
}

TSpiderObject* TSpiderObjectList::FirstUndispatched() const {
    return Undispatched.empty() ? nullptr : *Undispatched.begin();
}

TSpiderObject* TSpiderObjectList::FirstUnparsedPage() const {
    return UnparsedPages.empty() ? nullptr : *UnparsedPages.begin();
}

void TSpiderObjectList::IndexFlags(TSpiderObject& Object) {
    if (Object.Dispatched) Undispatched.erase(&Object);
    else Undispatched.insert(&Object);
    if (Object.IsPage && !Object.LinksParsed) UnparsedPages.insert(&Object);
    else UnparsedPages.erase(&Object);
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

void TSpiderObjectList::ForEach(const std::function<bool(TSpiderObject&)>& Visit) const {
    for (const auto& object : Objects)
        if (!Visit(*object)) return;
}

} // namespace engine
