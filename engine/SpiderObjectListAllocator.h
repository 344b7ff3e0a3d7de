#pragma once

#include <cstddef>

namespace engine {

// Room for one of the object list's arrays; a large one lies on huge pages
// where the system grants them for the asking. Throws std::bad_alloc.
void* AllocateListArray(std::size_t Bytes);
void FreeListArray(void* Block);

// Allocates the object list's large arrays (objects, hash slots, heaps): with
// a million objects, first touching hundreds of megabytes in 4 KB pages cost
// more than all the list's own work.
template <class T>
struct THugePageAllocator {
    using value_type = T;

    THugePageAllocator() = default;
    template <class U>
    THugePageAllocator(const THugePageAllocator<U>&) {}

    T* allocate(std::size_t Count) { return static_cast<T*>(AllocateListArray(Count * sizeof(T))); }
    void deallocate(T* Block, std::size_t) { FreeListArray(Block); }

    template <class U>
    bool operator==(const THugePageAllocator<U>&) const { return true; }
};

} // namespace engine
