// The io library of the scripts, over the stream layer: a plain name is a
// member of the open document (read-only), "//name" a real file beside the
// document file. The standard output and error go to the diagnostic log,
// one message per written value; the standard input is empty. Behaviour and
// messages otherwise follow the stock Lua 5.2 library.
//
// Every function here is called by Lua and may raise: frames hold plain
// data only.
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <lua.hpp>

#include "controller/CTRL_Stream.h"
#include "scripting/LMP_Binding.h"
#include "scripting/LMP_ScriptEngine.h"
#include "scripting/LMP_ScriptLibraries.h"

static const char FILE_HANDLE[] = LUA_FILEHANDLE; // "FILE*", the stock type name
static const char IO_INPUT[] = "_IO_input";
static const char IO_OUTPUT[] = "_IO_output";
static const int IO_PREFIX_LENGTH = 4; // "_IO_"

// An open stream or temporary file of a script file handle, listed with the
// interpreter the handle belongs to. Lua frees the handles that finalizers
// open while it closes without collecting them: LMP_closeFilesLeftOpen then
// closes what they held.
struct LMP_OpenFile {
    lua_State *m_poState; // the interpreter's main thread
    CTRL_Stream *m_poStream;
    FILE *m_poTemporary;
    LMP_OpenFile *m_poPrevious;
    LMP_OpenFile *m_poNext;
};

static LMP_OpenFile *s_poFirstOpenFile = nullptr;

// The userdata of a script file handle.
struct LMP_ScriptFile {
    CTRL_Stream *m_poStream;  // a stream or a standard handle; null for a temporary file
    lua_CFunction m_pfnClose; // null: the handle is closed
    FILE *m_poTemporary;      // the file of io.tmpfile, else null
    LMP_OpenFile *m_poListed; // its entry in the list of open files, or null
    // Last, where no other userdata of this size keeps a word a script can
    // set: together with the metatable and the size it proves the block is
    // a file handle, whatever metatable a script gave other userdata.
    const void *m_pTag;
};

static const char s_cFileTag = 0;

// The file handle at index, or null: the "FILE*" metatable alone is not
// enough, since a script can give it to any userdata.
static LMP_ScriptFile *testScriptFile(lua_State *L, int index)
{
    void *block = luaL_testudata(L, index, FILE_HANDLE);
    if (block == nullptr || lua_rawlen(L, index) != sizeof(LMP_ScriptFile))
        return nullptr;
    LMP_ScriptFile *file = static_cast<LMP_ScriptFile *>(block);
    return file->m_pTag == &s_cFileTag ? file : nullptr;
}

// --- the list of open files ---

// Lists the file's stream or temporary file (once it holds one). Without
// memory for the entry it stays unlisted: only its collection closes it.
static void listOpenFile(lua_State *L, LMP_ScriptFile *file)
{
    if (file->m_poStream == nullptr && file->m_poTemporary == nullptr)
        return;
    LMP_OpenFile *entry = static_cast<LMP_OpenFile *>(malloc(sizeof(LMP_OpenFile)));
    if (entry == nullptr)
        return;
    lua_rawgeti(L, LUA_REGISTRYINDEX, LUA_RIDX_MAINTHREAD);
    entry->m_poState = lua_tothread(L, -1);
    lua_pop(L, 1);
    entry->m_poStream = file->m_poStream;
    entry->m_poTemporary = file->m_poTemporary;
    entry->m_poPrevious = nullptr;
    entry->m_poNext = s_poFirstOpenFile;
    if (s_poFirstOpenFile != nullptr)
        s_poFirstOpenFile->m_poPrevious = entry;
    s_poFirstOpenFile = entry;
    file->m_poListed = entry;
}

static void unlistOpenFile(LMP_OpenFile *entry)
{
    if (entry == nullptr)
        return;
    if (entry->m_poPrevious != nullptr)
        entry->m_poPrevious->m_poNext = entry->m_poNext;
    else
        s_poFirstOpenFile = entry->m_poNext;
    if (entry->m_poNext != nullptr)
        entry->m_poNext->m_poPrevious = entry->m_poPrevious;
    free(entry);
}

void LMP_closeFilesLeftOpen(lua_State *state)
{
    LMP_OpenFile *entry = s_poFirstOpenFile;
    while (entry != nullptr) {
        LMP_OpenFile *next = entry->m_poNext;
        if (entry->m_poState == state) {
            if (entry->m_poStream != nullptr)
                CTRL_Stream::close(entry->m_poStream);
            if (entry->m_poTemporary != nullptr)
                fclose(entry->m_poTemporary);
            unlistOpenFile(entry);
        }
        entry = next;
    }
}

// --- operations on either kind of file ---

static int fileGetc(LMP_ScriptFile *file)
{
    if (file->m_poTemporary != nullptr)
        return getc(file->m_poTemporary);
    return CTRL_Stream::getc(file->m_poStream);
}

static void fileUngetc(int c, LMP_ScriptFile *file)
{
    if (file->m_poTemporary != nullptr)
        ungetc(c, file->m_poTemporary);
    else
        CTRL_Stream::ungetc(c, file->m_poStream);
}

static size_t fileRead(char *buffer, size_t count, LMP_ScriptFile *file)
{
    if (file->m_poTemporary != nullptr)
        return fread(buffer, 1, count, file->m_poTemporary);
    return CTRL_Stream::read(buffer, 1, count, file->m_poStream);
}

// True when all count bytes were written. The standard output and error
// take every write (to the log); a document member takes none.
static bool fileWrite(const char *data, size_t count, LMP_ScriptFile *file)
{
    if (file->m_poTemporary != nullptr)
        return fwrite(data, 1, count, file->m_poTemporary) == count;
    CTRL_Stream *stream = file->m_poStream;
    if (stream == CTRL_Stream::STDOUT || stream == CTRL_Stream::STDERR) {
        CTRL_Stream::write(data, 1, count, stream);
        return true;
    }
    if (count == 0)
        return true;
    if (CTRL_Stream::isStandard(stream) || !stream->m_bRealFile) {
        errno = EBADF; // the standard input and document members are read-only
        return false;
    }
    return CTRL_Stream::write(data, 1, count, stream) == count;
}

static int fileSeek(LMP_ScriptFile *file, long offset, int whence)
{
    if (file->m_poTemporary != nullptr)
        return fseek(file->m_poTemporary, offset, whence);
    if (CTRL_Stream::isStandard(file->m_poStream)) {
        errno = ESPIPE;
        return -1;
    }
    return CTRL_Stream::seek(file->m_poStream, offset, whence);
}

static long fileTell(LMP_ScriptFile *file)
{
    if (file->m_poTemporary != nullptr)
        return ftell(file->m_poTemporary);
    return CTRL_Stream::tell(file->m_poStream);
}

static int fileFlush(LMP_ScriptFile *file)
{
    if (file->m_poTemporary != nullptr)
        return fflush(file->m_poTemporary);
    return CTRL_Stream::flush(file->m_poStream);
}

static bool fileError(LMP_ScriptFile *file)
{
    if (file->m_poTemporary != nullptr)
        return ferror(file->m_poTemporary) != 0;
    return CTRL_Stream::error(file->m_poStream) != 0;
}

static void fileClearError(LMP_ScriptFile *file)
{
    if (file->m_poTemporary != nullptr)
        clearerr(file->m_poTemporary);
    else
        CTRL_Stream::clearError(file->m_poStream);
}

// --- handles ---

static LMP_ScriptFile *toScriptFile(lua_State *L)
{
    LMP_ScriptFile *file = testScriptFile(L, 1);
    if (file == nullptr)
        luaL_argerror(L, 1, lua_pushfstring(L, "%s expected, got %s", FILE_HANDLE, luaL_typename(L, 1)));
    return file;
}

static bool isClosed(const LMP_ScriptFile *file)
{
    return file->m_pfnClose == nullptr;
}

static LMP_ScriptFile *toOpenFile(lua_State *L)
{
    LMP_ScriptFile *file = toScriptFile(L);
    if (isClosed(file))
        luaL_error(L, "attempt to use a closed file");
    return file;
}

// A closed handle first, so that a failure while opening leaves it sound.
static LMP_ScriptFile *newPreFile(lua_State *L)
{
    LMP_ScriptFile *file = static_cast<LMP_ScriptFile *>(lua_newuserdata(L, sizeof(LMP_ScriptFile)));
    file->m_poStream = nullptr;
    file->m_pfnClose = nullptr;
    file->m_poTemporary = nullptr;
    file->m_poListed = nullptr;
    file->m_pTag = &s_cFileTag;
    luaL_setmetatable(L, FILE_HANDLE);
    return file;
}

static int closeStream(lua_State *L)
{
    LMP_ScriptFile *file = toScriptFile(L);
    unlistOpenFile(file->m_poListed);
    file->m_poListed = nullptr;
    errno = 0;
    int result = CTRL_Stream::close(file->m_poStream);
    file->m_poStream = nullptr;
    return luaL_fileresult(L, result == 0, nullptr);
}

static int closeTemporary(lua_State *L)
{
    LMP_ScriptFile *file = toScriptFile(L);
    unlistOpenFile(file->m_poListed);
    file->m_poListed = nullptr;
    int result = fclose(file->m_poTemporary);
    file->m_poTemporary = nullptr;
    return luaL_fileresult(L, result == 0, nullptr);
}

static int closeStandard(lua_State *L)
{
    LMP_ScriptFile *file = toScriptFile(L);
    file->m_pfnClose = closeStandard; // stays open
    lua_pushnil(L);
    lua_pushliteral(L, "cannot close standard file");
    return 2;
}

static LMP_ScriptFile *newFile(lua_State *L)
{
    LMP_ScriptFile *file = newPreFile(L);
    file->m_pfnClose = closeStream;
    return file;
}

static CTRL_Stream *openStream(lua_State *L, const char *name, const char *mode)
{
    errno = 0;
    CTRL_Stream *stream = CTRL_Stream::open(LMP_poController(L), name, mode);
    // A name that is no member sets no errno: it is simply not there.
    if (stream == nullptr && errno == 0)
        errno = ENOENT;
    return stream;
}

static void openChecked(lua_State *L, const char *name, const char *mode)
{
    LMP_ScriptFile *file = newFile(L);
    file->m_poStream = openStream(L, name, mode);
    if (file->m_poStream == nullptr)
        luaL_error(L, "cannot open file '%s' (%s)", name, strerror(errno));
    listOpenFile(L, file);
}

static int auxClose(lua_State *L)
{
    LMP_ScriptFile *file = toScriptFile(L);
    lua_CFunction close = file->m_pfnClose;
    file->m_pfnClose = nullptr;
    return close(L);
}

static int ioClose(lua_State *L)
{
    if (lua_isnone(L, 1))
        lua_getfield(L, LUA_REGISTRYINDEX, IO_OUTPUT);
    toOpenFile(L);
    return auxClose(L);
}

static int fileGc(lua_State *L)
{
    // Collection never raises: a userdata that only borrowed the metatable
    // is left alone.
    LMP_ScriptFile *file = testScriptFile(L, 1);
    if (file != nullptr && !isClosed(file) && (file->m_poStream != nullptr || file->m_poTemporary != nullptr))
        auxClose(L);
    return 0;
}

static int fileToString(lua_State *L)
{
    LMP_ScriptFile *file = toScriptFile(L);
    if (isClosed(file))
        lua_pushliteral(L, "file (closed)");
    else if (file->m_poTemporary != nullptr)
        lua_pushfstring(L, "file (%p)", static_cast<void *>(file->m_poTemporary));
    else
        lua_pushfstring(L, "file (%p)", static_cast<void *>(file->m_poStream));
    return 1;
}

static int ioType(lua_State *L)
{
    luaL_checkany(L, 1);
    LMP_ScriptFile *file = testScriptFile(L, 1);
    if (file == nullptr)
        lua_pushnil(L);
    else if (isClosed(file))
        lua_pushliteral(L, "closed file");
    else
        lua_pushliteral(L, "file");
    return 1;
}

static int ioOpen(lua_State *L)
{
    const char *name = luaL_checkstring(L, 1);
    const char *mode = luaL_optstring(L, 2, "r");
    LMP_ScriptFile *file = newFile(L);
    int i = 0;
    // The mode must match [rwa]%+?b?
    if (!(mode[i] != '\0' && strchr("rwa", mode[i++]) != nullptr && (mode[i] != '+' || ++i) &&
          (mode[i] != 'b' || ++i) && mode[i] == '\0'))
        return luaL_error(L, "invalid mode '%s' (should match '[rwa]%%+?b?')", mode);
    file->m_poStream = openStream(L, name, mode);
    listOpenFile(L, file);
    return file->m_poStream == nullptr ? luaL_fileresult(L, 0, name) : 1;
}

static int ioPopen(lua_State *L)
{
    luaL_checkstring(L, 1);
    luaL_optstring(L, 2, "r");
    return luaL_error(L, "'popen' not supported");
}

// A real temporary file, removed when closed; it lies outside the document
// and only this handle reaches it.
static int ioTmpfile(lua_State *L)
{
    LMP_ScriptFile *file = newPreFile(L);
    file->m_pfnClose = closeTemporary;
    file->m_poTemporary = tmpfile();
    listOpenFile(L, file);
    return file->m_poTemporary == nullptr ? luaL_fileresult(L, 0, nullptr) : 1;
}

static LMP_ScriptFile *getIoFile(lua_State *L, const char *key)
{
    lua_getfield(L, LUA_REGISTRYINDEX, key);
    LMP_ScriptFile *file = testScriptFile(L, -1);
    if (file == nullptr || isClosed(file))
        luaL_error(L, "standard %s file is closed", key + IO_PREFIX_LENGTH);
    return file;
}

static int defaultFile(lua_State *L, const char *key, const char *mode)
{
    if (!lua_isnoneornil(L, 1)) {
        const char *name = lua_tostring(L, 1);
        if (name != nullptr) {
            openChecked(L, name, mode);
        } else {
            toOpenFile(L);
            lua_pushvalue(L, 1);
        }
        lua_setfield(L, LUA_REGISTRYINDEX, key);
    }
    lua_getfield(L, LUA_REGISTRYINDEX, key);
    return 1;
}

static int ioInput(lua_State *L)
{
    return defaultFile(L, IO_INPUT, "r");
}

static int ioOutput(lua_State *L)
{
    return defaultFile(L, IO_OUTPUT, "w");
}

// --- reading ---

// The longest numeral read by "*n".
static const int MAX_NUMERAL = 200;

struct CTRL_NumeralReader {
    LMP_ScriptFile *m_poFile;
    int m_iCurrent; // look-ahead character
    int m_iCount;
    char m_acBuffer[MAX_NUMERAL + 1];
};

static bool nextNumeralChar(CTRL_NumeralReader *reader)
{
    if (reader->m_iCount >= MAX_NUMERAL) {
        reader->m_acBuffer[0] = '\0'; // too long: not a number
        return false;
    }
    reader->m_acBuffer[reader->m_iCount++] = static_cast<char>(reader->m_iCurrent);
    reader->m_iCurrent = fileGetc(reader->m_poFile);
    return true;
}

static bool acceptNumeralChar(CTRL_NumeralReader *reader, const char *set)
{
    if (reader->m_iCurrent == set[0] || reader->m_iCurrent == set[1])
        return nextNumeralChar(reader);
    return false;
}

static int readNumeralDigits(CTRL_NumeralReader *reader, bool hex)
{
    int count = 0;
    while ((hex ? isxdigit(reader->m_iCurrent) : isdigit(reader->m_iCurrent)) && nextNumeralChar(reader))
        count++;
    return count;
}

// Reads the longest prefix that can start a numeral, then converts it.
static int readNumber(lua_State *L, LMP_ScriptFile *file)
{
    CTRL_NumeralReader reader;
    reader.m_poFile = file;
    reader.m_iCount = 0;
    do
        reader.m_iCurrent = fileGetc(file);
    while (reader.m_iCurrent != EOF && isspace(reader.m_iCurrent));
    int count = 0;
    bool hex = false;
    acceptNumeralChar(&reader, "-+");
    if (acceptNumeralChar(&reader, "00")) {
        if (acceptNumeralChar(&reader, "xX"))
            hex = true;
        else
            count = 1;
    }
    count += readNumeralDigits(&reader, hex);
    if (acceptNumeralChar(&reader, ".."))
        count += readNumeralDigits(&reader, hex);
    if (count > 0 && acceptNumeralChar(&reader, hex ? "pP" : "eE")) {
        acceptNumeralChar(&reader, "-+");
        readNumeralDigits(&reader, false);
    }
    fileUngetc(reader.m_iCurrent, file);
    reader.m_acBuffer[reader.m_iCount] = '\0';
    lua_pushstring(L, reader.m_acBuffer);
    int isNumber = 0;
    lua_Number value = lua_tonumberx(L, -1, &isNumber);
    lua_pop(L, 1);
    if (isNumber) {
        lua_pushnumber(L, value);
        return 1;
    }
    lua_pushnil(L); // the result to be removed
    return 0;
}

static int testEof(lua_State *L, LMP_ScriptFile *file)
{
    int c = fileGetc(file);
    fileUngetc(c, file);
    lua_pushliteral(L, "");
    return c != EOF;
}

// A document member is memory: its unread bytes are read in place, a line
// found with memchr and a whole read copied at once. False for other files
// and for a member at its end.
static bool memberBytes(LMP_ScriptFile *file, const unsigned char **bytes, size_t *count)
{
    CTRL_Stream *stream = file->m_poStream;
    if (file->m_poTemporary != nullptr || CTRL_Stream::isStandard(stream) || stream->m_bRealFile)
        return false;
    int c = CTRL_Stream::getc(stream); // loads the data
    if (c == EOF)
        return false;
    CTRL_Stream::ungetc(c, stream);
    *bytes = stream->m_pucMemberData + stream->m_iPosition;
    *count = static_cast<size_t>(stream->m_iSize - stream->m_iPosition);
    return true;
}

static void skipMemberBytes(LMP_ScriptFile *file, size_t count)
{
    CTRL_Stream::seek(file->m_poStream, static_cast<long>(count), SEEK_CUR);
}

static int readLine(lua_State *L, LMP_ScriptFile *file, bool chop)
{
    const unsigned char *bytes;
    size_t count;
    if (memberBytes(file, &bytes, &count)) {
        const void *end = memchr(bytes, '\n', count);
        size_t length = end != nullptr ? static_cast<size_t>(static_cast<const unsigned char *>(end) - bytes) : count;
        size_t taken = end != nullptr ? length + 1 : length;
        lua_pushlstring(L, reinterpret_cast<const char *>(bytes), chop ? length : taken);
        skipMemberBytes(file, taken);
        return 1; // a line end or at least one byte
    }
    luaL_Buffer buffer;
    luaL_buffinit(L, &buffer);
    int c = '\0';
    while (c != EOF && c != '\n') {
        char *block = luaL_prepbuffer(&buffer);
        int i = 0;
        while (i < LUAL_BUFFERSIZE && (c = fileGetc(file)) != EOF && c != '\n')
            block[i++] = static_cast<char>(c);
        luaL_addsize(&buffer, i);
    }
    if (!chop && c == '\n')
        luaL_addchar(&buffer, '\n');
    luaL_pushresult(&buffer);
    return c == '\n' || lua_rawlen(L, -1) > 0;
}

static void readAll(lua_State *L, LMP_ScriptFile *file)
{
    const unsigned char *bytes;
    size_t count;
    if (memberBytes(file, &bytes, &count)) {
        lua_pushlstring(L, reinterpret_cast<const char *>(bytes), count);
        skipMemberBytes(file, count);
        return;
    }
    size_t blockSize = LUAL_BUFFERSIZE;
    luaL_Buffer buffer;
    luaL_buffinit(L, &buffer);
    for (;;) {
        char *block = luaL_prepbuffsize(&buffer, blockSize);
        size_t got = fileRead(block, blockSize, file);
        luaL_addsize(&buffer, got);
        if (got < blockSize)
            break;
        if (blockSize <= static_cast<size_t>(-1) / 4)
            blockSize *= 2;
    }
    luaL_pushresult(&buffer);
}

static int readChars(lua_State *L, LMP_ScriptFile *file, size_t count)
{
    size_t blockSize = LUAL_BUFFERSIZE;
    size_t got;
    luaL_Buffer buffer;
    luaL_buffinit(L, &buffer);
    do {
        char *block = luaL_prepbuffer(&buffer);
        if (blockSize > count)
            blockSize = count;
        got = fileRead(block, blockSize, file);
        luaL_addsize(&buffer, got);
        count -= got;
    } while (count > 0 && got == blockSize);
    luaL_pushresult(&buffer);
    return count == 0 || lua_rawlen(L, -1) > 0;
}

// Reads by the formats from index first on; returns the number of results.
static int readValues(lua_State *L, LMP_ScriptFile *file, int first)
{
    int formats = lua_gettop(L) - 1;
    int success;
    int n;
    fileClearError(file);
    if (formats == 0) {
        success = readLine(L, file, true);
        n = first + 1;
    } else {
        luaL_checkstack(L, formats + LUA_MINSTACK, "too many arguments");
        success = 1;
        for (n = first; formats-- && success; n++) {
            if (lua_type(L, n) == LUA_TNUMBER) {
                size_t count = static_cast<size_t>(lua_tointeger(L, n));
                success = count == 0 ? testEof(L, file) : readChars(L, file, count);
            } else {
                const char *format = lua_tostring(L, n);
                luaL_argcheck(L, format != nullptr && format[0] == '*', n, "invalid option");
                switch (format[1]) {
                case 'n':
                    success = readNumber(L, file);
                    break;
                case 'l':
                    success = readLine(L, file, true);
                    break;
                case 'L':
                    success = readLine(L, file, false);
                    break;
                case 'a':
                    readAll(L, file);
                    success = 1;
                    break;
                default:
                    return luaL_argerror(L, n, "invalid format");
                }
            }
        }
    }
    if (fileError(file))
        return luaL_fileresult(L, 0, nullptr);
    if (!success) {
        lua_pop(L, 1);
        lua_pushnil(L);
    }
    return n - first;
}

static int ioRead(lua_State *L)
{
    return readValues(L, getIoFile(L, IO_INPUT), 1);
}

static int fileReadMethod(lua_State *L)
{
    return readValues(L, toOpenFile(L), 2);
}

static int readLineIterator(lua_State *L)
{
    LMP_ScriptFile *file = static_cast<LMP_ScriptFile *>(lua_touserdata(L, lua_upvalueindex(1)));
    int n = static_cast<int>(lua_tointeger(L, lua_upvalueindex(2)));
    if (isClosed(file))
        return luaL_error(L, "file is already closed");
    lua_settop(L, 1);
    for (int i = 1; i <= n; i++)
        lua_pushvalue(L, lua_upvalueindex(3 + i));
    n = readValues(L, file, 2);
    if (!lua_isnil(L, -n))
        return n;
    if (n > 1) // an error: its message is the second result
        return luaL_error(L, "%s", lua_tostring(L, -n + 1));
    if (lua_toboolean(L, lua_upvalueindex(3))) { // the iterator opened the file
        lua_settop(L, 0);
        lua_pushvalue(L, lua_upvalueindex(1));
        auxClose(L);
    }
    return 0;
}

// The iterator over the file at index 1 with the formats after it.
static void pushLinesIterator(lua_State *L, bool closeAtEnd)
{
    int formats = lua_gettop(L) - 1;
    luaL_argcheck(L, formats <= LUA_MINSTACK - 3, LUA_MINSTACK - 3, "too many options");
    lua_pushvalue(L, 1);
    lua_pushinteger(L, formats);
    lua_pushboolean(L, closeAtEnd);
    for (int i = 1; i <= formats; i++)
        lua_pushvalue(L, i + 1);
    lua_pushcclosure(L, LMP_iGuarded<readLineIterator>, 3 + formats);
}

static int fileLines(lua_State *L)
{
    toOpenFile(L);
    pushLinesIterator(L, false);
    return 1;
}

static int ioLines(lua_State *L)
{
    bool closeAtEnd;
    if (lua_isnone(L, 1))
        lua_pushnil(L);
    if (lua_isnil(L, 1)) {
        lua_getfield(L, LUA_REGISTRYINDEX, IO_INPUT);
        lua_replace(L, 1);
        toOpenFile(L);
        closeAtEnd = false;
    } else {
        const char *name = luaL_checkstring(L, 1);
        openChecked(L, name, "r");
        lua_replace(L, 1);
        closeAtEnd = true;
    }
    pushLinesIterator(L, closeAtEnd);
    return 1;
}

// --- writing and positioning ---

static int writeValues(lua_State *L, LMP_ScriptFile *file, int arg)
{
    int values = lua_gettop(L) - arg;
    bool status = true;
    for (; values--; arg++) {
        if (lua_type(L, arg) == LUA_TNUMBER) {
            char text[64];
            int length = snprintf(text, sizeof(text), LUA_NUMBER_FMT, lua_tonumber(L, arg));
            status = status && length > 0 && fileWrite(text, static_cast<size_t>(length), file);
        } else {
            size_t length;
            const char *text = luaL_checklstring(L, arg, &length);
            status = status && fileWrite(text, length, file);
        }
    }
    if (status)
        return 1; // the file is on top
    return luaL_fileresult(L, 0, nullptr);
}

static int ioWrite(lua_State *L)
{
    return writeValues(L, getIoFile(L, IO_OUTPUT), 1);
}

static int fileWriteMethod(lua_State *L)
{
    LMP_ScriptFile *file = toOpenFile(L);
    lua_pushvalue(L, 1);
    return writeValues(L, file, 2);
}

static int fileSeekMethod(lua_State *L)
{
    static const int modes[] = {SEEK_SET, SEEK_CUR, SEEK_END};
    static const char *const modeNames[] = {"set", "cur", "end", nullptr};
    LMP_ScriptFile *file = toOpenFile(L);
    int mode = luaL_checkoption(L, 2, "cur", modeNames);
    lua_Number requested = luaL_optnumber(L, 3, 0);
    // Checked before the conversion: a value outside long (or NaN) has no
    // defined conversion.
    luaL_argcheck(L, requested >= static_cast<lua_Number>(LONG_MIN) && requested < -static_cast<lua_Number>(LONG_MIN),
                  3, "not an integer in proper range");
    long offset = static_cast<long>(requested);
    luaL_argcheck(L, static_cast<lua_Number>(offset) == requested, 3, "not an integer in proper range");
    if (fileSeek(file, offset, modes[mode]) != 0)
        return luaL_fileresult(L, 0, nullptr);
    lua_pushnumber(L, static_cast<lua_Number>(fileTell(file)));
    return 1;
}

static int fileSetvbuf(lua_State *L)
{
    static const int modes[] = {_IONBF, _IOFBF, _IOLBF};
    static const char *const modeNames[] = {"no", "full", "line", nullptr};
    LMP_ScriptFile *file = toOpenFile(L);
    int mode = luaL_checkoption(L, 2, nullptr, modeNames);
    lua_Integer size = luaL_optinteger(L, 3, LUAL_BUFFERSIZE);
    int result;
    if (file->m_poTemporary != nullptr)
        result = setvbuf(file->m_poTemporary, nullptr, modes[mode], size > 0 ? static_cast<size_t>(size) : 0);
    else
        result = CTRL_Stream::setBuffer(file->m_poStream, nullptr, modes[mode], static_cast<size_t>(size));
    return luaL_fileresult(L, result == 0, nullptr);
}

static int ioFlush(lua_State *L)
{
    return luaL_fileresult(L, fileFlush(getIoFile(L, IO_OUTPUT)) == 0, nullptr);
}

static int fileFlushMethod(lua_State *L)
{
    return luaL_fileresult(L, fileFlush(toOpenFile(L)) == 0, nullptr);
}

// --- the library ---

static const luaL_Reg s_aoIoFunctions[] = {
    {"close", LMP_iGuarded<ioClose>}, {"flush", LMP_iGuarded<ioFlush>}, {"input", LMP_iGuarded<ioInput>},
    {"lines", LMP_iGuarded<ioLines>}, {"open", LMP_iGuarded<ioOpen>},   {"output", LMP_iGuarded<ioOutput>},
    {"popen", LMP_iGuarded<ioPopen>}, {"read", LMP_iGuarded<ioRead>},   {"tmpfile", LMP_iGuarded<ioTmpfile>},
    {"type", LMP_iGuarded<ioType>},   {"write", LMP_iGuarded<ioWrite>}, {nullptr, nullptr},
};

static const luaL_Reg s_aoFileMethods[] = {
    {"close", LMP_iGuarded<ioClose>},           {"flush", LMP_iGuarded<fileFlushMethod>},
    {"lines", LMP_iGuarded<fileLines>},         {"read", LMP_iGuarded<fileReadMethod>},
    {"seek", LMP_iGuarded<fileSeekMethod>},     {"setvbuf", LMP_iGuarded<fileSetvbuf>},
    {"write", LMP_iGuarded<fileWriteMethod>},   {"__gc", LMP_iGuarded<fileGc>},
    {"__tostring", LMP_iGuarded<fileToString>}, {nullptr, nullptr},
};

static void createStandardFile(lua_State *L, CTRL_Stream *handle, const char *key, const char *field)
{
    LMP_ScriptFile *file = newPreFile(L);
    file->m_poStream = handle;
    file->m_pfnClose = closeStandard;
    if (key != nullptr) {
        lua_pushvalue(L, -1);
        lua_setfield(L, LUA_REGISTRYINDEX, key);
    }
    lua_setfield(L, -2, field);
}

int LMP_iOpenIoLibrary(lua_State *L)
{
    luaL_newlib(L, s_aoIoFunctions);
    luaL_newmetatable(L, FILE_HANDLE);
    lua_pushvalue(L, -1);
    lua_setfield(L, -2, "__index");
    luaL_setfuncs(L, s_aoFileMethods, 0);
    lua_pop(L, 1);
    createStandardFile(L, CTRL_Stream::STDIN, IO_INPUT, "stdin");
    createStandardFile(L, CTRL_Stream::STDOUT, IO_OUTPUT, "stdout");
    createStandardFile(L, CTRL_Stream::STDERR, nullptr, "stderr");
    return 1;
}
