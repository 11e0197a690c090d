#pragma once

#include <cstddef>

// The header's static stdio callbacks would be unused copies in every file.
#ifndef OV_EXCLUDE_STATIC_CALLBACKS
#define OV_EXCLUDE_STATIC_CALLBACKS
#endif
#include <vorbis/vorbisfile.h>

// A read cursor over encoded bytes held in memory, and the four vorbisfile
// callbacks that read it like a file. The cursor does not own the bytes.
struct MDL_VorbisMemory {
    const unsigned char *m_pucData;
    long m_iPosition; // 0 .. m_iSize
    long m_iSize;
};

// Copies min(size x count, bytes left) bytes from the position and advances
// past them; returns the number of bytes copied, 0 at the end. (vorbisfile
// asks with a size of 1, so bytes and items are the same.)
size_t MDL_uiVorbisMemoryRead(void *buffer, size_t size, size_t count, void *source);
// Moves the position to offset from the start (SEEK_SET), the position
// (SEEK_CUR) or the end (SEEK_END), then clamps it to 0 .. size; any other
// whence leaves it. Always 0.
int MDL_iVorbisMemorySeek(void *source, ogg_int64_t offset, int whence);
// Nothing to close: 1.
int MDL_iVorbisMemoryClose(void *source);
// The position.
long MDL_lVorbisMemoryTell(void *source);

// The four callbacks above, for ov_open_callbacks with a MDL_VorbisMemory.
ov_callbacks MDL_oVorbisMemoryCallbacks();
