#pragma once

#include "web/URLType.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace engine {

// One web object that the running job has met.
struct TSpiderObject {
    // The page through which the object was reached at its smallest distance;
    // shared, since every link of a page has the same referrer. For the start,
    // the job's starting referrer, or null when it names none.
    std::shared_ptr<const web::TURL> Referrer;
    std::int32_t Distance = 0;  // -1 for the starting address
    std::int32_t Redirects = 0;  // redirects in a row that led to it
    // A page shows or runs it (image, stylesheet, script ...): saved even with a query.
    bool Embedded = false;
    // Another host name under which the object, already handed out, was met again;
    // its next download uses it.
    std::string AlternateHost;
    std::uint32_t SequenceNumber = 0;  // identifies the object when its download completes
    web::TURL Address;
    // The local path the address maps to; replaced by the path really written
    // (which may carry an added extension) when the download completes.
    std::string LocalFileName;
    bool Dispatched = false;
    bool IsPage = false;
    bool LinksParsed = false;
    // Set by the list on insertion and never changed: the key with its letters
    // folded to upper case, which orders the list.
    std::string FoldedKey;
};

// The key under which an object is filed: its local file name, or the whole
// text of a mailto address or of an address that gets no local name.
std::string SpiderObjectKey(const TSpiderObject& Object);

// Every object of the running job, in ascending key order, where keys compare
// with the ASCII letters folded to one case: two addresses that map to the same
// local file are one object.
//
// The crawl asks for "the first undispatched object" and "the first unparsed
// page" in key order after every step, so both are kept in their own ordered
// indexes and every operation is O(log n): a million objects stay usable.
// An object's key is fixed when it is inserted; its LocalFileName may change
// later without moving it, so an address met again still finds its object.
class TSpiderObjectList {
public:
    enum class TAddOutcome {
        Inserted,
        Known,     // already there, nothing changed
        Requeued,  // already there and handed out again (smaller distance, other host, query now embedded)
    };
    TAddOutcome AddIfNotPresent(TSpiderObject NewObject);

    std::size_t Count() const { return Objects.size(); }
    TSpiderObject* FindBySequenceNumber(std::uint32_t SequenceNumber) const;
    TSpiderObject* FirstUndispatched() const;
    TSpiderObject* FirstUnparsedPage() const;
    bool HasUndispatched() const { return !Undispatched.empty(); }

    // Flag changes go through the list so that its indexes stay true.
    void SetDispatched(TSpiderObject& Object, bool Dispatched);
    void SetIsPage(TSpiderObject& Object);
    void SetLinksParsed(TSpiderObject& Object);

    // Visits every object in key order; Visit returns false to stop.
    void ForEach(const std::function<bool(TSpiderObject&)>& Visit) const;

private:
    struct TKeyLess {
        using is_transparent = void;
        bool operator()(const std::unique_ptr<TSpiderObject>& A, const std::unique_ptr<TSpiderObject>& B) const {
            return A->FoldedKey < B->FoldedKey;
        }
        bool operator()(const std::unique_ptr<TSpiderObject>& A, const std::string& B) const { return A->FoldedKey < B; }
        bool operator()(const std::string& A, const std::unique_ptr<TSpiderObject>& B) const { return A < B->FoldedKey; }
        bool operator()(const TSpiderObject* A, const TSpiderObject* B) const { return A->FoldedKey < B->FoldedKey; }
    };
    void IndexFlags(TSpiderObject& Object);

    std::set<std::unique_ptr<TSpiderObject>, TKeyLess> Objects;  // owns every object; nodes never move
    std::vector<TSpiderObject*> BySequence;                      // SequenceNumber - 1 -> object
    std::set<TSpiderObject*, TKeyLess> Undispatched;
    std::set<TSpiderObject*, TKeyLess> UnparsedPages;  // IsPage set, LinksParsed clear
    std::uint32_t InsertCounter = 0;
};

} // namespace engine
