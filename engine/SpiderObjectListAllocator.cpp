#include "engine/SpiderObjectListAllocator.h"

#include <cstdlib>
#include <new>

#include <sys/mman.h>

namespace engine {

namespace {

constexpr std::size_t HugePage = std::size_t{2} << 20;

} // namespace

void* AllocateListArray(std::size_t Bytes) {
    const bool huge = Bytes >= HugePage;
    void* block = huge ? std::aligned_alloc(HugePage, (Bytes + HugePage - 1) / HugePage * HugePage)
                       : std::malloc(Bytes);
    if (!block) throw std::bad_alloc();
    // Only a hint: without huge pages the block serves as well.
    if (huge) ::madvise(block, Bytes, MADV_HUGEPAGE);
    return block;
}

void FreeListArray(void* Block) { std::free(Block); }

} // namespace engine
