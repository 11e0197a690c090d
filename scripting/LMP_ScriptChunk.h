#pragma once

#include <cstddef>

struct lua_State;
class CTRL_Stream;

// The source of a chunk for the interpreter: a stream of the stream layer,
// or bytes in memory when the stream is null.
struct LMP_ChunkReader {
    CTRL_Stream *m_poStream;
    const unsigned char *m_pucBytes;
    size_t m_uiSize;
    size_t m_uiPosition;
    int m_iCount;     // characters waiting in m_acBuffer
    int m_iReadError; // errno of a failed read, or 0
    char m_acBuffer[1024];
};

LMP_ChunkReader LMP_streamChunkReader(CTRL_Stream *stream);
LMP_ChunkReader LMP_bytesChunkReader(const unsigned char *bytes, size_t size);

// Compiles the chunk of reader with lua_load under chunkName and mode, its
// start skipped as the stand-alone interpreter skips a file's: a UTF-8
// byte-order mark, and a first line that starts with "#" (its line break
// kept, so that line numbers stay right). A precompiled chunk (after such a
// start) is read from the source's beginning again, when mayBePrecompiled is
// set; else it is read as it comes (and the mode decides). Leaves the chunk
// or the error text on the stack and returns the load status.
int LMP_iLoadChunk(lua_State *L, LMP_ChunkReader *reader, const char *chunkName, const char *mode,
                   bool mayBePrecompiled);
