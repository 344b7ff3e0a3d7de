#pragma once

#include "web/URLType.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <unordered_map>
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
    // (which may carry an added extension) through the list's SetLocalFileName.
    std::string LocalFileName;
    bool Dispatched = false;
    bool IsPage = false;
    bool LinksParsed = false;
    // Set by the list: the object's key is not its LocalFileName but is kept
    // apart (an address without a local name, or a name replaced later).
    bool KeyKeptApart = false;
};

// Objects by place, in chunks: a place costs no allocation of its own, no
// object moves, and finding one touches a small table and the object only.
class TSpiderObjectStore {
public:
    std::size_t Size() const { return Count; }
    TSpiderObject& operator[](std::uint32_t Place) { return Chunks[Place >> ChunkBits][Place & ChunkMask]; }
    const TSpiderObject& operator[](std::uint32_t Place) const { return Chunks[Place >> ChunkBits][Place & ChunkMask]; }
    TSpiderObject& Append(TSpiderObject&& Object);

private:
    static constexpr unsigned ChunkBits = 10;
    static constexpr std::uint32_t ChunkMask = (1u << ChunkBits) - 1;
    std::vector<std::unique_ptr<TSpiderObject[]>> Chunks;
    std::uint32_t Count = 0;
};

// Every object of the running job, in ascending key order. The key is the
// object's local file name, or the whole text of a mailto address or of an
// address that gets no local name; keys compare with the ASCII letters folded
// to upper case, so two addresses that map to the same local file are one object.
//
// The crawl asks for "the first undispatched object" and "the first unparsed
// page" in key order after every step, so both are kept in their own ordered
// indexes and every operation is O(log n): a million objects stay usable.
// Objects are stored once, in insertion order (their sequence number is their
// place), and the indexes hold only their numbers; a key is no second string
// unless it differs from the local name. Pointers to objects stay valid while
// the list lives. An object's key is fixed when it is inserted.
class TSpiderObjectList {
public:
    TSpiderObjectList();
    TSpiderObjectList(const TSpiderObjectList&) = delete;
    TSpiderObjectList& operator=(const TSpiderObjectList&) = delete;

    enum class TAddOutcome {
        Inserted,
        Known,     // already there, nothing changed
        Requeued,  // already there and handed out again (smaller distance, other host, query now embedded)
    };
    TAddOutcome AddIfNotPresent(TSpiderObject NewObject);

    std::size_t Count() const { return Objects.Size(); }
    TSpiderObject* FindBySequenceNumber(std::uint32_t SequenceNumber);
    TSpiderObject* FirstUndispatched();
    TSpiderObject* FirstUnparsedPage();
    bool HasUndispatched() const { return !Undispatched.empty(); }

    // Changes go through the list so that its indexes and keys stay true.
    void SetDispatched(TSpiderObject& Object, bool Dispatched);
    void SetIsPage(TSpiderObject& Object);
    void SetLinksParsed(TSpiderObject& Object);
    void SetLocalFileName(TSpiderObject& Object, const std::string& FileName);

    // Visits every object in key order; Visit returns false to stop.
    void ForEach(const std::function<bool(TSpiderObject&)>& Visit);

private:
    using TIndex = std::uint32_t;  // place in Objects
    // Orders places by their objects' keys; a key text can be looked up directly.
    struct TKeyOrder {
        using is_transparent = void;
        const TSpiderObjectList* List;
        bool operator()(TIndex A, TIndex B) const;
        bool operator()(TIndex A, std::string_view B) const;
        bool operator()(std::string_view A, TIndex B) const;
    };
    using TOrderedIndex = std::set<TIndex, TKeyOrder>;

    std::string_view KeyOf(TIndex Index) const;
    void IndexFlags(TSpiderObject& Object);

    TSpiderObjectStore Objects;  // SequenceNumber - 1 is the place
    std::unordered_map<TIndex, std::string> KeysKeptApart;
    TOrderedIndex ByKey;
    TOrderedIndex Undispatched;
    TOrderedIndex UnparsedPages;  // IsPage set, LinksParsed clear
};

} // namespace engine
