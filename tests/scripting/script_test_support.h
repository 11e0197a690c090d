#pragma once

#include <limits>
#include <string>
#include <vector>

#include <lua.hpp>

#include "controller/CTRL_Generic.h"
#include "scripting/LMP_ScriptEngine.h"
#include "tests/support/TEST_Document.h"
#include "tests/support/TEST_Log.h"
#include "tests/support/TEST_Support.h"

// Lua helpers for exact tables of results: R(x) prints numbers, v2, v3 and
// color values and tables of numbers rounded to 6 decimals (so that 6e-17
// reads as 0): "0.5", "(1,0)", "(1,0,0)", "(1,0,0,1)", "1,2,3".
inline const char *TEST_roundingHelpers()
{
    return "local function n(x) x = math.floor(x * 1e6 + 0.5) / 1e6 if x == 0 then x = 0 end "
           "  return string.format('%.6g', x) end "
           "function R(x) "
           "  if type(x) == 'number' then return n(x) end "
           "  if type(x) == 'table' then local t = {} for i, v in ipairs(x) do t[i] = n(v) end "
           "    return table.concat(t, ',') end "
           "  if getmetatable(x) == getmetatable(v3()) then "
           "    return '(' .. n(x:x()) .. ',' .. n(x:y()) .. ',' .. n(x:z()) .. ')' end "
           "  if getmetatable(x) == getmetatable(v2()) then return '(' .. n(x:x()) .. ',' .. n(x:y()) .. ')' end "
           "  if getmetatable(x) == getmetatable(color()) then "
           "    return '(' .. n(x:r()) .. ',' .. n(x:g()) .. ',' .. n(x:b()) .. ',' .. n(x:a()) .. ')' end "
           "  return tostring(x) end";
}

// A document written to a fresh folder and opened by a controller that owns
// a script engine, with the log captured from the start.
struct ScriptDocument {
    TEST_TempDir m_oDir;
    TEST_LogCapture m_oLog;
    LMP_ScriptEngine *m_poEngine; // owned by the controller
    CTRL_Generic m_oController;
    std::string m_sPath;
    bool m_bOpened = false;

    explicit ScriptDocument(const TEST_DocumentBuilder &document)
        : m_poEngine(new LMP_ScriptEngine()), m_oController(m_poEngine, CTRL_PLATFORM_LINUX)
    {
        m_sPath = m_oDir.write("doc.vk", document.build());
        m_bOpened = m_oController.openDocument(m_sPath.c_str());
    }

    // A document of one "init.lua".
    static TEST_DocumentBuilder withInit(const std::string &init)
    {
        TEST_DocumentBuilder document;
        document.add("init.lua", init);
        return document;
    }

    bool run() { return m_poEngine->loadScripts(); }
    // Runs the chunk in a protected call; its results as texts joined by ","
    // ("nil" for nil), or "error: <message>".
    std::string run(const std::string &chunk) { return TEST_runLua(state(), chunk); }
    bool reported() const { return m_oController.m_bHalted; }
    // Lets the next report through (the error report works once).
    void clearReport()
    {
        m_oController.m_bHalted = false;
        m_oLog.m_asLines.clear();
    }
    lua_State *state() const { return m_poEngine->m_poLuaState; }
    std::string log() const { return m_oLog.joined(); }

    // Makes the global function the engine's callback for a CB_ id.
    void setCallback(int id, const char *global)
    {
        lua_getglobal(state(), global);
        m_poEngine->m_aiCallbackRefs[id - 1] = luaL_ref(state(), LUA_REGISTRYINDEX);
    }

    // The global as a number (NaN when it is none).
    double number(const char *global)
    {
        lua_getglobal(state(), global);
        int ok = 0;
        double value = lua_tonumberx(state(), -1, &ok);
        lua_pop(state(), 1);
        return ok ? value : std::numeric_limits<double>::quiet_NaN();
    }

    std::string text(const char *global)
    {
        lua_getglobal(state(), global);
        const char *value = lua_tostring(state(), -1);
        std::string result = value != nullptr ? value : "<nil>";
        lua_pop(state(), 1);
        return result;
    }
};
