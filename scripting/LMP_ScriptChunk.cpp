// Reading a chunk's text or precompiled bytes for the interpreter, from the
// stream layer or from memory.
#include "scripting/LMP_ScriptChunk.h"

#include <cerrno>
#include <cstdio>

#include <lua.hpp>

#include "controller/CTRL_Stream.h"
#include "scripting/LMP_ScriptLibraries.h"

LMP_ChunkReader LMP_streamChunkReader(CTRL_Stream *stream)
{
    LMP_ChunkReader reader;
    reader.m_poStream = stream;
    reader.m_pucBytes = nullptr;
    reader.m_uiSize = 0;
    reader.m_uiPosition = 0;
    reader.m_iCount = 0;
    reader.m_iReadError = 0;
    return reader;
}

LMP_ChunkReader LMP_bytesChunkReader(const unsigned char *bytes, size_t size)
{
    LMP_ChunkReader reader = LMP_streamChunkReader(nullptr);
    reader.m_pucBytes = bytes;
    reader.m_uiSize = bytes != nullptr ? size : 0;
    return reader;
}

static int nextChar(LMP_ChunkReader *reader)
{
    if (reader->m_poStream != nullptr)
        return CTRL_Stream::getc(reader->m_poStream);
    return reader->m_uiPosition < reader->m_uiSize ? reader->m_pucBytes[reader->m_uiPosition++] : EOF;
}

static void rewind(LMP_ChunkReader *reader)
{
    if (reader->m_poStream != nullptr)
        CTRL_Stream::seek(reader->m_poStream, 0, SEEK_SET);
    else
        reader->m_uiPosition = 0;
}

// The pieces for lua_load: the characters read ahead while skipping the
// start, then blocks of up to 1024 bytes from a stream, or the rest of the
// bytes in one piece.
static const char *readChunkBlock(lua_State *, void *data, size_t *size)
{
    LMP_ChunkReader *reader = static_cast<LMP_ChunkReader *>(data);
    if (reader->m_iCount > 0) {
        *size = static_cast<size_t>(reader->m_iCount);
        reader->m_iCount = 0;
        return reader->m_acBuffer;
    }
    if (reader->m_poStream == nullptr) {
        *size = reader->m_uiSize - reader->m_uiPosition;
        const unsigned char *rest = reader->m_pucBytes + reader->m_uiPosition;
        reader->m_uiPosition = reader->m_uiSize;
        return *size > 0 ? reinterpret_cast<const char *>(rest) : nullptr;
    }
    if (CTRL_Stream::eof(reader->m_poStream))
        return nullptr;
    *size = CTRL_Stream::read(reader->m_acBuffer, 1, sizeof(reader->m_acBuffer), reader->m_poStream);
    if (*size < sizeof(reader->m_acBuffer) && CTRL_Stream::error(reader->m_poStream))
        reader->m_iReadError = errno != 0 ? errno : EIO;
    return reader->m_acBuffer;
}

// Skips a UTF-8 byte-order mark; a partial mark stays in the buffer for the
// parser. Returns the next character.
static int skipByteOrderMark(LMP_ChunkReader *reader)
{
    static const unsigned char mark[] = {0xEF, 0xBB, 0xBF};
    reader->m_iCount = 0;
    for (unsigned char expected : mark) {
        int c = nextChar(reader);
        if (c == EOF || c != expected)
            return c;
        reader->m_acBuffer[reader->m_iCount++] = static_cast<char>(c);
    }
    reader->m_iCount = 0; // the whole mark: dropped
    return nextChar(reader);
}

// Skips the mark and a first line that starts with "#"; true when a line
// was skipped. *first receives the first character after them.
static bool skipStart(LMP_ChunkReader *reader, int *first)
{
    int c = *first = skipByteOrderMark(reader);
    if (c != '#')
        return false;
    do
        c = nextChar(reader);
    while (c != EOF && c != '\n');
    *first = nextChar(reader);
    return true;
}

int LMP_iLoadChunk(lua_State *L, LMP_ChunkReader *reader, const char *chunkName, const char *mode,
                   bool mayBePrecompiled)
{
    int c;
    if (skipStart(reader, &c))
        reader->m_acBuffer[reader->m_iCount++] = '\n'; // keeps the line numbers right
    if (c == LUA_SIGNATURE[0] && mayBePrecompiled) {
        // A precompiled chunk: bytes already, it only starts again from its
        // beginning.
        rewind(reader);
        skipStart(reader, &c);
    }
    if (c != EOF)
        reader->m_acBuffer[reader->m_iCount++] = static_cast<char>(c);
    return lua_load(L, readChunkBlock, reader, chunkName, mode);
}

int LMP_iLoadScriptBytes(lua_State *L, const char *name, const unsigned char *bytes, size_t size)
{
    LMP_ChunkReader reader = LMP_bytesChunkReader(bytes, size);
    lua_pushfstring(L, "@%s", name);
    int status = LMP_iLoadChunk(L, &reader, lua_tostring(L, -1), nullptr, true);
    lua_remove(L, -2);
    return status;
}
