#include "model/MDL_VorbisMemory.h"

#include <cstdio>
#include <cstring>

size_t MDL_uiVorbisMemoryRead(void *buffer, size_t size, size_t count, void *source)
{
    MDL_VorbisMemory *memory = static_cast<MDL_VorbisMemory *>(source);
    size_t wanted = 0;
    if (__builtin_mul_overflow(size, count, &wanted))
        wanted = static_cast<size_t>(-1);
    size_t left = static_cast<size_t>(memory->m_iSize - memory->m_iPosition);
    size_t n = wanted < left ? wanted : left;
    if (n == 0)
        return 0;
    memcpy(buffer, memory->m_pucData + memory->m_iPosition, n);
    memory->m_iPosition += static_cast<long>(n);
    return n;
}

int MDL_iVorbisMemorySeek(void *source, ogg_int64_t offset, int whence)
{
    MDL_VorbisMemory *memory = static_cast<MDL_VorbisMemory *>(source);
    ogg_int64_t base;
    switch (whence) {
    case SEEK_SET:
        base = 0;
        break;
    case SEEK_CUR:
        base = memory->m_iPosition;
        break;
    case SEEK_END:
        base = memory->m_iSize;
        break;
    default:
        return 0;
    }
    // base and size lie in 0 .. size, so clamping the offset to -size .. size
    // first keeps the sum from overflowing whatever the caller passes.
    ogg_int64_t size = memory->m_iSize;
    if (offset > size)
        offset = size;
    else if (offset < -size)
        offset = -size;
    ogg_int64_t position = base + offset;
    if (position < 0)
        position = 0;
    else if (position > size)
        position = size;
    memory->m_iPosition = static_cast<long>(position);
    return 0;
}

int MDL_iVorbisMemoryClose(void *)
{
    return 1;
}

long MDL_lVorbisMemoryTell(void *source)
{
    return static_cast<MDL_VorbisMemory *>(source)->m_iPosition;
}

ov_callbacks MDL_oVorbisMemoryCallbacks()
{
    ov_callbacks callbacks;
    callbacks.read_func = MDL_uiVorbisMemoryRead;
    callbacks.seek_func = MDL_iVorbisMemorySeek;
    callbacks.close_func = MDL_iVorbisMemoryClose;
    callbacks.tell_func = MDL_lVorbisMemoryTell;
    return callbacks;
}
