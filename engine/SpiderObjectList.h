#pragma once

#include "engine/SpiderObjectKey.h"
#include "engine/SpiderObjectListAllocator.h"
#include "web/PackedURL.h"
#include "web/URLType.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace engine {

// One web object that the running job has met.
struct TSpiderObject {
    // The page through which the object was reached at its smallest distance;
    // shared, since every link of a page has the same referrer. For the start,
    // the job's starting referrer, or null when it names none.
    std::shared_ptr<const web::TURL> Referrer;
    // Packed, since the list holds it for the whole job: unpacked when the
    // object is handed out or its page is parsed.
    web::TPackedURL Address;
    // Another host name under which the object, already handed out, was met again;
    // its next download uses it.
    std::string AlternateHost;
    // The local path the address maps to; replaced by the path really written
    // (which may carry an added extension) through the list's SetLocalFileName.
    std::string LocalFileName;
    std::int32_t Distance = 0;  // -1 for the starting address
    std::int32_t Redirects = 0;  // redirects in a row that led to it
    std::uint32_t SequenceNumber = 0;  // identifies the object when its download completes
    // One bit each, so that the flags fit beside the numbers above.
    // A page shows or runs it (image, stylesheet, script ...): saved even with a query.
    bool Embedded : 1 = false;
    bool Dispatched : 1 = false;
    bool IsPage : 1 = false;
    bool LinksParsed : 1 = false;
    // This run's download wrote the file that LocalFileName names, and
    // nothing removed it since: rewriting needs no look on disk for it.
    bool Saved : 1 = false;
};

// Objects by place, in chunks: a place costs no allocation of its own, no
// object moves, and finding one touches a small table and the object only.
// A chunk fills whole huge pages.
class TSpiderObjectStore {
public:
    std::size_t Size() const { return Count; }
    TSpiderObject& operator[](std::uint32_t Place) { return Chunks[Place / ChunkSize][Place % ChunkSize]; }
    const TSpiderObject& operator[](std::uint32_t Place) const { return Chunks[Place / ChunkSize][Place % ChunkSize]; }
    TSpiderObject& Append(TSpiderObject&& Object);

private:
    static constexpr std::uint32_t ChunkSize = (std::uint32_t{4} << 20) / sizeof(TSpiderObject);
    // Each filled only up to the room it reserved, so that no object moves.
    std::vector<std::vector<TSpiderObject, THugePageAllocator<TSpiderObject>>> Chunks;
    std::uint32_t Count = 0;
};

// Every object of the running job, in ascending key order. The key is the
// object's local file name, or the whole text of a mailto address or of an
// address that gets no local name; keys compare with the ASCII letters folded
// to upper case, so two addresses that map to the same local file are one object.
//
// A million objects stay usable, and inserting one costs about a microsecond.
// Objects are stored once, in insertion order (their sequence number is their
// place); a hash table of places finds a key. The crawl asks for "the first
// undispatched object" and "the first unparsed page" after every step, so
// each is a heap of places ordered by key, led by a 64-bit summary of the key
// that mostly spares reading the objects. A place leaves its heap lazily, when
// it comes to the top no longer wanted; every wanted place is in its heap.
// Key order as a whole is needed once a job, for rewriting, and is sorted then.
// Pointers to objects stay valid while the list lives. An object's key is fixed
// when it is inserted; it is no second string unless it differs from the local name.
class TSpiderObjectList {
public:
    TSpiderObjectList() = default;
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
    // The object whose key is Key, letter case aside; null when there is
    // none. Safe from many threads while nothing changes the list.
    const TSpiderObject* FindByKey(std::string_view Key) const;
    TSpiderObject* FirstUndispatched();
    TSpiderObject* FirstUnparsedPage();
    // Held objects aside (see HoldNewDownloads).
    bool HasUndispatched() const { return UndispatchedCount > Held.size(); }
    // While holding, an object that comes to want a download waits apart
    // until released, and FirstUndispatched hands out only the others: pages
    // parsed while a cycle's downloads run leave that cycle's work as it was,
    // as if they had been parsed after it.
    void HoldNewDownloads(bool Hold) { Holding = Hold; }
    void ReleaseHeldDownloads();

    // Changes go through the list so that its heaps and keys stay true.
    void SetDispatched(TSpiderObject& Object, bool Dispatched);
    void SetIsPage(TSpiderObject& Object);
    void SetLinksParsed(TSpiderObject& Object);
    void SetLocalFileName(TSpiderObject& Object, const std::string& FileName);

    // Visits every object in key order; Visit returns false to stop. Objects
    // that Visit inserts are not visited.
    void ForEach(const std::function<bool(TSpiderObject&)>& Visit);

private:
    using TPlace = std::uint32_t;  // place in Objects
    struct TQueued {
        std::uint64_t Summary;  // of the key, see TKeySummary
        TPlace Place;
    };
    struct TSlot {
        std::uint32_t Hash;  // low bits of the key's hash
        TPlace Place;        // plus one; 0: empty
    };
    using THeap = std::vector<TQueued, THugePageAllocator<TQueued>>;
    // Heaps keep the greatest on top; this puts the smallest key there.
    struct TKeyAfter {
        const TSpiderObjectList* List;
        bool operator()(const TQueued& A, const TQueued& B) const { return List->KeyLess(B, A); }
    };
    enum TMark : std::uint8_t {
        KeyKeptApart = 1,     // the key is not the LocalFileName
        InUndispatched = 2,   // the place is in that heap, perhaps no longer wanted
        InUnparsedPages = 4,  // likewise
    };

    std::string_view KeyOf(TPlace Place) const;
    std::uint32_t KeepApart(std::string Key);
    bool KeyLess(const TQueued& A, const TQueued& B) const;
    TSpiderObject* FirstWanted(THeap& Heap, TMark Mark, bool (*Wanted)(const TSpiderObject&));
    void Enqueue(THeap& Heap, TMark Mark, TPlace Place);
    void EnqueueWanted(TPlace Place);
    std::size_t FindSlot(std::string_view Key, std::uint32_t Hash) const;
    void GrowSlots();
    TAddOutcome Merge(TSpiderObject& Known, TSpiderObject& NewObject);

    TSpiderObjectStore Objects;  // SequenceNumber - 1 is the place
    std::vector<std::uint8_t> Marks;  // TMark bits, by place
    // Keys that are not the local name; by place, the number of its key
    // there (from 1): read at every step of a heap, it must not be a search.
    std::vector<std::string> KeysKeptApart;
    std::vector<std::uint32_t> KeptApartNumber;
    std::vector<TSlot, THugePageAllocator<TSlot>> Slots;  // open addressing, linear probing; size a power of two
    std::optional<TKeySummary> Summary;  // made from the first key
    THeap Undispatched;
    THeap UnparsedPages;  // IsPage set, LinksParsed clear
    std::size_t UndispatchedCount = 0;
    bool Holding = false;
    std::vector<TPlace> Held;  // wanted for download while holding; marked InUndispatched
};

} // namespace engine
