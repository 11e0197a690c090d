#include "tools/vekta-pack/PACK_Check.h"

#include <cstring>
#include <string>
#include <strings.h>

#include <lua.hpp>
#include <tinyxml.h>

#include "controller/CTRL_Config.h"
#include "foundation/UTIL_Log.h"
#include "foundation/UTIL_XmlValues.h"
#include "scripting/LMP_ScriptLibraries.h"

namespace {

bool hasExtension(const std::string &name, const char *extension)
{
    size_t length = strlen(extension);
    return name.size() > length && strcasecmp(name.c_str() + name.size() - length, extension) == 0;
}

// The member's bytes as the text the player's readers take: whole, ended by
// a NUL.
std::string text(const PACK_Member &member)
{
    return std::string(member.m_aucData.begin(), member.m_aucData.end());
}

bool checkScript(lua_State *L, const PACK_Member &member)
{
    bool ok =
        LMP_iLoadScriptBytes(L, member.m_sName.c_str(), member.m_aucData.data(), member.m_aucData.size()) == LUA_OK;
    if (!ok)
        UTIL_warnText(lua_tostring(L, -1));
    lua_pop(L, 1);
    return ok;
}

bool checkXml(const PACK_Member &member)
{
    TiXmlDocument document;
    if (LoadBuffer(document, text(member).c_str(), 0))
        return true;
    if (!UTIL_isNestingWithin(text(member).c_str(), UTIL_kiMaxXmlNesting))
        UTIL_warn("%s: elements nested deeper than %d levels", member.m_sName.c_str(), UTIL_kiMaxXmlNesting);
    else if (document.ErrorRow() > 0)
        UTIL_warn("%s:%d: %s", member.m_sName.c_str(), document.ErrorRow(), document.ErrorDesc());
    else
        UTIL_warn("%s: %s", member.m_sName.c_str(), document.ErrorDesc());
    return false;
}

} // namespace

bool PACK_checkContents(const std::vector<PACK_Member> &members)
{
    lua_State *L = luaL_newstate();
    if (L == nullptr) {
        UTIL_warn("not enough memory to compile the scripts");
        return false;
    }
    bool ok = true;
    for (const PACK_Member &member : members) {
        if (member.m_sName == "config.xml") {
            int major = 0, minor = 0, patch = 0;
            ok = CTRL_checkConfigText(text(member).c_str(), major, minor, patch) && ok;
        } else if (hasExtension(member.m_sName, ".lua")) {
            ok = checkScript(L, member) && ok;
        } else if (hasExtension(member.m_sName, ".xml")) {
            ok = checkXml(member) && ok;
        }
    }
    lua_close(L);
    return ok;
}
