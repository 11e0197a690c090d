// Loading script files through the stream layer: the chunk loader behind
// loadfile, dofile, require and the engine's "init.lua", and require's
// searchers. Plain names are members of the open document, "//name" a real
// file beside the document file; nothing is looked up on the system, and
// native modules are never loaded. Precompiled chunks come only from the
// document's members: load, loadstring and "//" files take text.
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include <lua.hpp>

#include "controller/CTRL_Stream.h"
#include "scripting/LMP_Binding.h"
#include "scripting/LMP_ScriptChunk.h"
#include "scripting/LMP_ScriptEngine.h"
#include "scripting/LMP_ScriptLibraries.h"

static const char NATIVE_DISABLED[] = "dynamic libraries not enabled; check your Lua installation";
static const char DEFAULT_PATH[] = "./?.lua";
static const char DEFAULT_NATIVE_PATH[] = "./?.so";
// The template separator, the place of the module name in a template, and
// the mark that stands for the default path in a path from the environment.
#define PATH_SEPARATOR ";"
static const char PATH_NAME_MARK[] = "?";
static const char PATH_MARK_DEFAULT[] = "\1";

// Replaces the chunk name at nameIndex by "cannot <what> <name>: <error>".
static int chunkFileError(lua_State *L, const char *what, int nameIndex, int error)
{
    const char *name = lua_tostring(L, nameIndex) + 1;
    lua_pushfstring(L, "cannot %s %s: %s", what, name, strerror(error));
    lua_remove(L, nameIndex);
    return LUA_ERRFILE;
}

int LMP_iLoadScriptFile(lua_State *L, const char *name, const char *mode)
{
    LMP_ChunkReader reader = LMP_streamChunkReader(CTRL_Stream::STDIN);
    int nameIndex = lua_gettop(L) + 1;
    if (name == nullptr) {
        lua_pushliteral(L, "=stdin");
    } else {
        lua_pushfstring(L, "@%s", name);
        errno = 0;
        reader.m_poStream = CTRL_Stream::open(LMP_poController(L), name, "r");
        // A name that is no member sets no errno: it is simply not there.
        if (reader.m_poStream == nullptr)
            return chunkFileError(L, "open", nameIndex, errno != 0 ? errno : ENOENT);
    }
    // A file beside the document may have been written by a script: only
    // the document's members, which its signature vouches for, may be
    // precompiled.
    bool member = name != nullptr && !reader.m_poStream->m_bRealFile;
    if (name != nullptr && !member)
        mode = LMP_textOnlyMode(mode);
    int status = LMP_iLoadChunk(L, &reader, lua_tostring(L, -1), mode, member);
    if (name != nullptr)
        CTRL_Stream::close(reader.m_poStream);
    if (reader.m_iReadError != 0) {
        lua_settop(L, nameIndex); // the load's result is dropped
        return chunkFileError(L, "read", nameIndex, reader.m_iReadError);
    }
    lua_remove(L, nameIndex);
    return status;
}

const char *LMP_textOnlyMode(const char *mode)
{
    return mode == nullptr || strchr(mode, 't') != nullptr ? "t" : "";
}

// The stack slot where a reader function's last piece is kept while the
// interpreter reads it (above load's four arguments).
static const int READER_PIECE = 5;

// The pieces of a chunk from load's reader function (argument 1): nil or
// an empty string ends it.
static const char *readPiece(lua_State *L, void *, size_t *size)
{
    luaL_checkstack(L, 2, "too many nested functions");
    lua_pushvalue(L, 1);
    lua_call(L, 0, 1);
    if (lua_isnil(L, -1)) {
        lua_pop(L, 1);
        *size = 0;
        return nullptr;
    }
    if (!lua_isstring(L, -1))
        luaL_error(L, "reader function must return a string");
    lua_replace(L, READER_PIECE);
    return lua_tolstring(L, READER_PIECE, size);
}

// load(chunk [, chunkname [, mode [, env]]]), and loadstring: Lua's own
// load, with the mode cut to text. The bytes of a string or of a reader
// function are the script's own making, and the interpreter does not check
// a precompiled chunk: a forged one could crash it. Lua's own function is
// not kept anywhere a script could reach it (an upvalue, a level of the
// stack under a reader or a hook).
static int loaderLoad(lua_State *L)
{
    int top = lua_gettop(L);
    size_t length = 0;
    const char *text = lua_tolstring(L, 1, &length);
    const char *mode = LMP_textOnlyMode(luaL_optstring(L, 3, nullptr));
    int status;
    if (text != nullptr) {
        const char *chunkName = luaL_optstring(L, 2, text);
        status = luaL_loadbufferx(L, text, length, chunkName, mode);
    } else {
        const char *chunkName = luaL_optstring(L, 2, "=(load)");
        luaL_checktype(L, 1, LUA_TFUNCTION);
        lua_settop(L, READER_PIECE);
        status = lua_load(L, readPiece, nullptr, chunkName, mode);
    }
    if (status != LUA_OK) {
        lua_pushnil(L);
        lua_insert(L, -2);
        return 2;
    }
    if (top >= 4) {
        // The environment given becomes the chunk's first upvalue.
        lua_pushvalue(L, 4);
        if (lua_setupvalue(L, -2, 1) == nullptr)
            lua_pop(L, 1);
    }
    return 1;
}

// loadfile([filename [, mode [, env]]])
static int loaderLoadfile(lua_State *L)
{
    const char *name = luaL_optstring(L, 1, nullptr);
    const char *mode = luaL_optstring(L, 2, nullptr);
    int env = !lua_isnone(L, 3) ? 3 : 0;
    int status = LMP_iLoadScriptFile(L, name, mode);
    if (status != LUA_OK) {
        lua_pushnil(L);
        lua_insert(L, -2);
        return 2; // nil and the message
    }
    if (env != 0) {
        lua_pushvalue(L, env);
        if (lua_setupvalue(L, -2, 1) == nullptr)
            lua_pop(L, 1);
    }
    return 1;
}

static int dofileResults(lua_State *L)
{
    return lua_gettop(L) - 1;
}

// dofile([filename]): runs the chunk, errors propagate.
static int loaderDofile(lua_State *L)
{
    const char *name = luaL_optstring(L, 1, nullptr);
    lua_settop(L, 1);
    if (LMP_iLoadScriptFile(L, name, nullptr) != LUA_OK)
        return lua_error(L);
    lua_callk(L, 0, LUA_MULTRET, 0, dofileResults);
    return dofileResults(L);
}

static bool isReadable(lua_State *L, const char *name)
{
    CTRL_Stream *stream = CTRL_Stream::open(LMP_poController(L), name, "r");
    if (stream == nullptr)
        return false;
    CTRL_Stream::close(stream);
    return true;
}

// Pushes the next ";"-separated template of path; null when there is none.
static const char *pushNextTemplate(lua_State *L, const char *path)
{
    while (*path == *PATH_SEPARATOR)
        path++;
    if (*path == '\0')
        return nullptr;
    const char *end = strchr(path, *PATH_SEPARATOR);
    if (end == nullptr)
        end = path + strlen(path);
    lua_pushlstring(L, path, static_cast<size_t>(end - path));
    return end;
}

// Tries each template of path with "?" replaced by name (sep in the name
// turned into dirsep). Returns the first name that opens, left on top of
// the stack, or null with the list of tried names on top.
static const char *searchPath(lua_State *L, const char *name, const char *path, const char *sep, const char *dirsep)
{
    if (*sep != '\0')
        name = luaL_gsub(L, name, sep, dirsep);
    lua_pushliteral(L, "");
    while ((path = pushNextTemplate(L, path)) != nullptr) {
        const char *filename = luaL_gsub(L, lua_tostring(L, -1), PATH_NAME_MARK, name);
        lua_remove(L, -2);
        if (isReadable(L, filename))
            return filename;
        lua_pushfstring(L, "\n\tno file '%s'", filename);
        lua_remove(L, -2);
        lua_concat(L, 2);
    }
    return nullptr;
}

static const char *findFile(lua_State *L, const char *name, const char *field)
{
    lua_getfield(L, lua_upvalueindex(1), field);
    const char *path = lua_tostring(L, -1);
    if (path == nullptr)
        luaL_error(L, "'package.%s' must be a string", field);
    return searchPath(L, name, path, ".", LUA_DIRSEP);
}

static int checkLoad(lua_State *L, bool loaded, const char *filename)
{
    if (loaded) {
        lua_pushstring(L, filename); // the module's second argument
        return 2;
    }
    return luaL_error(L, "error loading module '%s' from file '%s':\n\t%s", lua_tostring(L, 1), filename,
                      lua_tostring(L, -1));
}

// The Lua searcher over package.path.
static int searcherLua(lua_State *L)
{
    const char *name = luaL_checkstring(L, 1);
    const char *filename = findFile(L, name, "path");
    if (filename == nullptr)
        return 1;
    return checkLoad(L, LMP_iLoadScriptFile(L, filename, nullptr) == LUA_OK, filename);
}

// The native searcher over package.cpath, also for the root of a dotted
// name: a file that it finds cannot be loaded.
static int searcherNative(lua_State *L)
{
    const char *name = luaL_checkstring(L, 1);
    const char *filename = findFile(L, name, "cpath");
    if (filename == nullptr) {
        const char *dot = strchr(name, '.');
        if (dot == nullptr)
            return 1;
        int tried = lua_gettop(L);
        lua_pushlstring(L, name, static_cast<size_t>(dot - name));
        filename = findFile(L, lua_tostring(L, -1), "cpath");
        if (filename == nullptr) {
            // Both lists of tried names, the full name's first.
            lua_pushvalue(L, tried);
            lua_insert(L, -2);
            lua_concat(L, 2);
            return 1;
        }
    }
    lua_pushstring(L, NATIVE_DISABLED);
    return checkLoad(L, false, filename);
}

// package.loadlib(path, funcname): native libraries are never opened.
static int packageLoadlib(lua_State *L)
{
    luaL_checkstring(L, 1);
    luaL_checkstring(L, 2);
    lua_pushnil(L);
    lua_pushstring(L, NATIVE_DISABLED);
    lua_pushliteral(L, "absent");
    return 3;
}

// package.searchpath(name, path [, sep [, rep]]) over the stream layer.
static int packageSearchpath(lua_State *L)
{
    const char *found = searchPath(L, luaL_checkstring(L, 1), luaL_checkstring(L, 2), luaL_optstring(L, 3, "."),
                                   luaL_optstring(L, 4, LUA_DIRSEP));
    if (found != nullptr)
        return 1;
    lua_pushnil(L);
    lua_insert(L, -2);
    return 2;
}

// Sets package[field] from the environment as stock Lua does (";;" stands
// for the default), else to the default.
static void setPath(lua_State *L, int package, const char *field, const char *variable, const char *alternative,
                    const char *fallback)
{
    const char *path = getenv(variable);
    if (path == nullptr)
        path = getenv(alternative);
    lua_getfield(L, LUA_REGISTRYINDEX, "LUA_NOENV");
    bool noEnvironment = lua_toboolean(L, -1);
    lua_pop(L, 1);
    if (path == nullptr || noEnvironment) {
        lua_pushstring(L, fallback);
    } else {
        path = luaL_gsub(L, path, PATH_SEPARATOR PATH_SEPARATOR, PATH_SEPARATOR "\1" PATH_SEPARATOR);
        luaL_gsub(L, path, PATH_MARK_DEFAULT, fallback);
        lua_remove(L, -2);
    }
    lua_setfield(L, package, field);
}

void LMP_installLoader(lua_State *L)
{
    lua_pushcfunction(L, LMP_iGuarded<loaderLoadfile>);
    lua_setglobal(L, "loadfile");
    lua_pushcfunction(L, LMP_iGuarded<loaderDofile>);
    lua_setglobal(L, "dofile");
    lua_pushcfunction(L, LMP_iGuarded<loaderLoad>);
    lua_getglobal(L, "loadstring"); // only where the library keeps it
    if (!lua_isnil(L, -1)) {
        lua_pushvalue(L, -2);
        lua_setglobal(L, "loadstring");
    }
    lua_pop(L, 1);
    lua_setglobal(L, "load");

    lua_getglobal(L, LUA_LOADLIBNAME);
    if (!lua_istable(L, -1)) {
        lua_pop(L, 1);
        return;
    }
    int package = lua_gettop(L);
    setPath(L, package, "path", "LUA_PATH_5_2", "LUA_PATH", DEFAULT_PATH);
    setPath(L, package, "cpath", "LUA_CPATH_5_2", "LUA_CPATH", DEFAULT_NATIVE_PATH);
    lua_pushcfunction(L, LMP_iGuarded<packageLoadlib>);
    lua_setfield(L, package, "loadlib");
    lua_pushcfunction(L, LMP_iGuarded<packageSearchpath>);
    lua_setfield(L, package, "searchpath");

    // The searchers table is changed in place (package.loaders, where it
    // exists, is the same table): the preload searcher stays first.
    lua_getfield(L, package, "searchers");
    if (lua_istable(L, -1)) {
        lua_pushvalue(L, package);
        lua_pushcclosure(L, LMP_iGuarded<searcherLua>, 1);
        lua_rawseti(L, -2, 2);
        lua_pushvalue(L, package);
        lua_pushcclosure(L, LMP_iGuarded<searcherNative>, 1);
        lua_rawseti(L, -2, 3);
        for (int i = static_cast<int>(lua_rawlen(L, -1)); i >= 4; i--) {
            lua_pushnil(L);
            lua_rawseti(L, -2, i);
        }
    }
    lua_pop(L, 2);
}
