// What a document may do of the os library. Time and date stay as in stock
// Lua; nothing starts a process or ends the player; the environment reads as
// empty; files can be removed or renamed only beside the document ("//name",
// as the stream layer names them), never inside it (it is read-only) nor
// anywhere else; the process locale stays "C" (numbers are formatted and
// parsed with a full stop).
#include <cerrno>
#include <cstdio>
#include <cstring>

#include <lua.hpp>

#include "controller/CTRL_Generic.h"
#include "controller/CTRL_Stream.h"
#include "scripting/LMP_ScriptEngine.h"
#include "scripting/LMP_ScriptLibraries.h"

// os.execute([command]): there is no shell for a document.
static int osExecute(lua_State *L)
{
    if (lua_isnoneornil(L, 1)) {
        lua_pushboolean(L, 0);
        return 1;
    }
    luaL_checkstring(L, 1);
    return luaL_error(L, "'execute' not supported");
}

// os.exit: a document does not end the player.
static int osExit(lua_State *L)
{
    return luaL_error(L, "'exit' not supported");
}

// os.getenv(name): the user's environment (tokens, paths, names) is not the
// document's to read, nor to send anywhere with openURL; every name answers
// nil. The language, the one thing a document needs of it, is getLanguage's.
static int osGetenv(lua_State *L)
{
    luaL_checkstring(L, 1);
    lua_pushnil(L);
    return 1;
}

// os.tmpname: a name outside the document that no file function could use.
static int osTmpname(lua_State *L)
{
    return luaL_error(L, "'tmpname' not supported");
}

// The path of a "//" name beside the document, with the stream layer's
// rules: no empty name, no absolute path, no ".." above the document's
// folder. False with errno set otherwise (a member of the document is
// read-only).
static bool pathBesideDocument(lua_State *L, const char *name, char *path, size_t size)
{
    CTRL_Generic *controller = LMP_poController(L);
    size_t length = strlen(name);
    if (controller == nullptr || length <= 2 || name[0] != '/' || name[1] != '/') {
        const char *member = length > 2 && name[0] == '.' && name[1] == '/' ? name + 2 : name;
        errno = controller != nullptr && controller->hasMember(member) ? EACCES : ENOENT;
        return false;
    }
    const char *relative = name + 2;
    if (!CTRL_Stream::staysBesideDocument(relative)) {
        errno = EACCES;
        return false;
    }
    size_t directory = 0;
    const char *document = controller->m_sDocumentPath;
    if (document != nullptr) {
        const char *slash = strrchr(document, '/');
        if (slash != nullptr)
            directory = static_cast<size_t>(slash - document) + 1;
    }
    if (directory + strlen(relative) + 1 > size) {
        errno = ENAMETOOLONG;
        return false;
    }
    if (directory > 0)
        memcpy(path, document, directory);
    strcpy(path + directory, relative);
    return true;
}

static int osRemove(lua_State *L)
{
    const char *name = luaL_checkstring(L, 1);
    char path[1024];
    bool ok = pathBesideDocument(L, name, path, sizeof(path)) && remove(path) == 0;
    return luaL_fileresult(L, ok, name);
}

static int osRename(lua_State *L)
{
    const char *from = luaL_checkstring(L, 1);
    const char *to = luaL_checkstring(L, 2);
    char fromPath[1024];
    char toPath[1024];
    bool ok = pathBesideDocument(L, from, fromPath, sizeof(fromPath)) &&
              pathBesideDocument(L, to, toPath, sizeof(toPath)) && rename(fromPath, toPath) == 0;
    return luaL_fileresult(L, ok, from);
}

// os.setlocale([locale [, category]]): the locale is "C" and stays so; a
// query or a request for "C" answers "C", any other request fails (nil).
static int osSetlocale(lua_State *L)
{
    static const char *const categories[] = {"all", "collate", "ctype", "monetary", "numeric", "time", nullptr};
    const char *locale = luaL_optstring(L, 1, nullptr);
    luaL_checkoption(L, 2, "all", categories);
    if (locale == nullptr || strcmp(locale, "C") == 0 || strcmp(locale, "POSIX") == 0)
        lua_pushliteral(L, "C");
    else
        lua_pushnil(L);
    return 1;
}

static const luaL_Reg s_aoOsFunctions[] = {
    {"execute", osExecute}, {"exit", osExit},       {"getenv", osGetenv},       {"remove", osRemove},
    {"rename", osRename},   {"tmpname", osTmpname}, {"setlocale", osSetlocale}, {nullptr, nullptr},
};

void LMP_installOs(lua_State *L)
{
    lua_getglobal(L, LUA_OSLIBNAME);
    if (lua_istable(L, -1))
        luaL_setfuncs(L, s_aoOsFunctions, 0);
    lua_pop(L, 1);
}
