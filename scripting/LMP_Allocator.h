#pragma once

#include <cstddef>

// The interpreter's allocator (a lua_Alloc). Lua makes and frees a great many
// small blocks: strings, tables, closures, and the userdata of every value
// that a binding returns. In the pooled mode blocks of up to 512 bytes come
// from size classes 16 bytes apart, each a free list of blocks carved from
// 64 KiB chunks of that class; the chunks are kept until the allocator goes
// (after the interpreter closed). Larger blocks come from realloc and free.
//
// The system mode passes every block to realloc and free. The engine uses it
// under AddressSanitizer, so that every block has its own red zones and a use
// after free is caught; the pooled mode still works there (its tests run
// under the sanitizer) and keeps the blocks of its free lists poisoned.
//
// Both modes count the bytes in use, as Lua gives the sizes, and can refuse
// to grow beyond a limit (Lua then collects and, failing again, raises its
// memory error). Shrinking a block never fails. When the system itself
// refuses a block, the player's memory reserve is given back
// (UTIL_MemoryReserve) and the limit becomes the bytes in use: the
// interpreter cannot take the reserve that is meant for the error report.
class LMP_Allocator {
public:
    enum Mode { SYSTEM = 0, POOLED = 1 };

    // POOLED, or SYSTEM when built with AddressSanitizer.
    static Mode defaultMode();

    explicit LMP_Allocator(Mode mode = defaultMode());
    // Frees the chunks: the interpreter must be closed first.
    ~LMP_Allocator();
    LMP_Allocator(const LMP_Allocator &) = delete;
    LMP_Allocator &operator=(const LMP_Allocator &) = delete;

    // The lua_Alloc function; userData is the allocator. A null block is a
    // new one (oldSize then tells Lua's object kind and is ignored); a new
    // size of 0 frees the block and gives null.
    static void *allocate(void *userData, void *block, size_t oldSize, size_t newSize);

    // Growth beyond this many bytes in use is refused; 0 for no limit.
    void setLimit(size_t bytes) { m_uiLimit = bytes; }
    size_t getLimit() const { return m_uiLimit; }
    size_t getBytesInUse() const { return m_uiInUse; }
    Mode getMode() const { return m_eMode; }
    // Chunks taken for the size classes so far.
    int getChunkCount() const { return m_iChunkCount; }

    // Blocks of up to this many bytes come from the size classes.
    static const size_t SMALL_LIMIT = 512;
    static const size_t GRANULE = 16;
    static const size_t CHUNK_SIZE = 64 * 1024;

private:
    enum { CLASS_COUNT = SMALL_LIMIT / GRANULE };

    struct FreeBlock {
        FreeBlock *m_poNext;
    };
    struct Chunk {
        Chunk *m_poNext;
    };
    // One size class: its free blocks, and the part of its newest chunk not
    // carved yet.
    struct SizeClass {
        FreeBlock *m_poFree;
        char *m_pcNext;
        char *m_pcEnd;
    };

    void *resize(void *block, size_t oldSize, size_t newSize);
    void *takeBlock(size_t size);
    void giveBlock(void *block, size_t size);
    bool addChunk(SizeClass &sizeClass, size_t blockSize);

    Mode m_eMode;
    size_t m_uiLimit;
    size_t m_uiInUse;
    int m_iChunkCount;
    Chunk *m_poChunks;
    SizeClass m_aoClasses[CLASS_COUNT];
};
