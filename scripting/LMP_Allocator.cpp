#include "scripting/LMP_Allocator.h"

#include <cstdlib>
#include <cstring>

#include "foundation/UTIL_MemoryReserve.h"

#if defined(__SANITIZE_ADDRESS__)
#define LMP_ADDRESS_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define LMP_ADDRESS_SANITIZER 1
#endif
#endif

#if defined(LMP_ADDRESS_SANITIZER)
#include <sanitizer/asan_interface.h>
// Bytes of the pools that no block hands out are poisoned.
#define LMP_POISON(address, size) ASAN_POISON_MEMORY_REGION(address, size)
#define LMP_UNPOISON(address, size) ASAN_UNPOISON_MEMORY_REGION(address, size)
#else
#define LMP_POISON(address, size) ((void)(address), (void)(size))
#define LMP_UNPOISON(address, size) ((void)(address), (void)(size))
#endif

namespace {

// The size class of a block of 1 to SMALL_LIMIT bytes, and its block size.
inline int classOf(size_t size)
{
    return static_cast<int>((size - 1) / LMP_Allocator::GRANULE);
}

inline size_t classSize(int index)
{
    return (static_cast<size_t>(index) + 1) * LMP_Allocator::GRANULE;
}

inline bool isSmall(size_t size)
{
    return size <= LMP_Allocator::SMALL_LIMIT;
}

} // namespace

LMP_Allocator::Mode LMP_Allocator::defaultMode()
{
#if defined(LMP_ADDRESS_SANITIZER)
    return SYSTEM;
#else
    return POOLED;
#endif
}

LMP_Allocator::LMP_Allocator(Mode mode)
    : m_eMode(mode), m_uiLimit(0), m_uiInUse(0), m_iChunkCount(0), m_poChunks(nullptr)
{
    for (SizeClass &sizeClass : m_aoClasses)
        sizeClass = SizeClass{nullptr, nullptr, nullptr};
}

LMP_Allocator::~LMP_Allocator()
{
    while (m_poChunks != nullptr) {
        Chunk *chunk = m_poChunks;
        m_poChunks = chunk->m_poNext;
        LMP_UNPOISON(chunk, CHUNK_SIZE);
        free(chunk);
    }
}

void *LMP_Allocator::allocate(void *userData, void *block, size_t oldSize, size_t newSize)
{
    LMP_Allocator *self = static_cast<LMP_Allocator *>(userData);
    if (block == nullptr)
        oldSize = 0; // Lua passes the kind of the new object there
    if (newSize == 0) {
        if (block != nullptr) {
            if (self->m_eMode == POOLED && isSmall(oldSize))
                self->giveBlock(block, oldSize);
            else
                free(block);
            self->m_uiInUse -= oldSize;
        }
        return nullptr;
    }
    if (newSize > oldSize && self->m_uiLimit != 0) {
        size_t growth = newSize - oldSize;
        if (self->m_uiInUse > self->m_uiLimit || growth > self->m_uiLimit - self->m_uiInUse)
            return nullptr;
    }
    void *result = self->m_eMode == POOLED ? self->resize(block, oldSize, newSize) : realloc(block, newSize);
    if (result != nullptr) {
        self->m_uiInUse = self->m_uiInUse - oldSize + newSize;
    } else {
        // The process has no more to give: what the player holds back goes
        // to what follows the memory error (its report), and the
        // interpreter keeps what it has, so that it cannot take that too.
        UTIL_MemoryReserve::release();
        self->m_uiLimit = self->m_uiInUse > 0 ? self->m_uiInUse : 1;
    }
    return result;
}

void *LMP_Allocator::resize(void *block, size_t oldSize, size_t newSize)
{
    if (block == nullptr)
        return isSmall(newSize) ? takeBlock(newSize) : malloc(newSize);
    const bool wasSmall = isSmall(oldSize);
    const bool small = isSmall(newSize);
    if (wasSmall && small && classOf(oldSize) == classOf(newSize)) {
        LMP_POISON(block, classSize(classOf(oldSize)));
        LMP_UNPOISON(block, newSize);
        return block;
    }
    if (!wasSmall && !small)
        return realloc(block, newSize);
    void *moved = small ? takeBlock(newSize) : malloc(newSize);
    if (moved == nullptr) {
        // Only when memory is exhausted. A shrink must not fail: the block
        // stays where it is and serves its smaller size from now on (it is
        // at least that large; a block from malloc that shrank into a class
        // then ends in that class's free list, for the process's life).
        if (newSize < oldSize)
            return block;
        return nullptr;
    }
    memcpy(moved, block, oldSize < newSize ? oldSize : newSize);
    if (wasSmall)
        giveBlock(block, oldSize);
    else
        free(block);
    return moved;
}

bool LMP_Allocator::addChunk(SizeClass &sizeClass, size_t blockSize)
{
    Chunk *chunk = static_cast<Chunk *>(malloc(CHUNK_SIZE));
    if (chunk == nullptr)
        return false;
    chunk->m_poNext = m_poChunks;
    m_poChunks = chunk;
    m_iChunkCount++;
    // The blocks start one granule in, so that they keep its alignment.
    char *start = reinterpret_cast<char *>(chunk) + GRANULE;
    sizeClass.m_pcNext = start;
    sizeClass.m_pcEnd = start + (CHUNK_SIZE - GRANULE) / blockSize * blockSize;
    LMP_POISON(start, CHUNK_SIZE - GRANULE);
    return true;
}

void *LMP_Allocator::takeBlock(size_t size)
{
    const int index = classOf(size);
    const size_t blockSize = classSize(index);
    SizeClass &sizeClass = m_aoClasses[index];
    void *block = sizeClass.m_poFree;
    if (block != nullptr) {
        LMP_UNPOISON(block, sizeof(FreeBlock));
        sizeClass.m_poFree = sizeClass.m_poFree->m_poNext;
        LMP_POISON(block, blockSize);
    } else {
        if (sizeClass.m_pcNext == sizeClass.m_pcEnd && !addChunk(sizeClass, blockSize))
            return nullptr;
        block = sizeClass.m_pcNext;
        sizeClass.m_pcNext += blockSize;
    }
    LMP_UNPOISON(block, size);
    return block;
}

void LMP_Allocator::giveBlock(void *block, size_t size)
{
    const int index = classOf(size);
    const size_t blockSize = classSize(index);
    SizeClass &sizeClass = m_aoClasses[index];
    LMP_UNPOISON(block, sizeof(FreeBlock));
    FreeBlock *freeBlock = static_cast<FreeBlock *>(block);
    freeBlock->m_poNext = sizeClass.m_poFree;
    sizeClass.m_poFree = freeBlock;
    LMP_POISON(block, blockSize);
}
