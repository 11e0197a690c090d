#include "scripting/LMP_Binding.h"

#include <cfloat>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include <lua.hpp>

#include "controller/CTRL_Generic.h"
#include "foundation/UTIL_Log.h"
#include "foundation/UTIL_MemoryReserve.h"
#include "model/MDL_Event.h"
#include "model/MDL_Object.h"
#include "scripting/LMP_ScriptEngine.h"
#include "scripting/LMP_Proxy.h"
#include "scripting/LMP_ValueTypes.h"

class MDL_RigidBody;

// A proxy userdata holds exactly one proxy pointer. No other userdata of the
// player has this size (value-type blocks and file handles are larger, and
// a value type reads and writes only blocks of its own), so a block of this
// size was made by the class mechanism and its pointer is genuine (or null
// once collected). Keep it so: create no other userdata of one pointer.
typedef LMP_Proxy *LMP_ProxySlot;

// Addresses used as private registry and metatable keys.
static const char s_cSelfMark = 0;     // upvalue of functions that removed their receiver
static const char s_cClassInfoKey = 0; // metatable field: light userdata of the class's info
static const char s_cTypeCodesKey = 0; // registry: table type code -> light userdata of a class info
static const char s_cAnchorsKey = 0;   // registry: table proxy -> receiver userdata during a call

// --- the classes known to the process ---

// Every class info that has been registered in any interpreter. Infos are
// static data of LMP_Luna<T>, so a pointer found in a script-reachable table
// is trusted only when it is listed here.
static const LMP_ClassInfo *s_apoKnownClasses[128];
static int s_iKnownClassCount = 0;

static bool isKnownClass(const void *info)
{
    for (int i = 0; i < s_iKnownClassCount; i++)
        if (s_apoKnownClasses[i] == info)
            return true;
    return false;
}

static void rememberClass(const LMP_ClassInfo *info)
{
    if (isKnownClass(info))
        return;
    if (s_iKnownClassCount < static_cast<int>(sizeof(s_apoKnownClasses) / sizeof(s_apoKnownClasses[0])))
        s_apoKnownClasses[s_iKnownClassCount++] = info;
    else
        UTIL_warn("Too many bound classes: %s ignored", info->m_sClassName);
}

// The info that the metatable on top of the stack names, or null; the
// metatable stays.
static const LMP_ClassInfo *metatableClass(lua_State *L)
{
    lua_rawgetp(L, -1, &s_cClassInfoKey);
    const void *info = lua_touserdata(L, -1);
    lua_pop(L, 1);
    return isKnownClass(info) ? static_cast<const LMP_ClassInfo *>(info) : nullptr;
}

// --- error reporting ---

void LMP_pushSelfMark(lua_State *L)
{
    lua_pushlightuserdata(L, const_cast<char *>(&s_cSelfMark));
}

// Whether the running host function carries the mark among its upvalues.
static bool removedItsReceiver(lua_State *L)
{
    lua_Debug ar;
    if (!lua_getstack(L, 0, &ar) || !lua_getinfo(L, "fu", &ar))
        return false;
    bool marked = false;
    for (int i = 1; i <= ar.nups && !marked; i++) {
        if (lua_getupvalue(L, -1, i) == nullptr)
            break;
        marked = lua_touserdata(L, -1) == &s_cSelfMark;
        lua_pop(L, 1);
    }
    lua_pop(L, 1);
    return marked;
}

int LMP_iArgError(lua_State *L, int index, const char *message)
{
    // luaL_argerror counts the receiver of a method call out; a function
    // that removed the receiver sees every argument one place early.
    if (removedItsReceiver(L))
        index++;
    return luaL_argerror(L, index, message);
}

void LMP_iReportError(lua_State *L, const char *format, ...)
{
    CTRL_Generic *controller = LMP_poController(L);
    if (controller == nullptr)
        return;
    char prefix[1024] = "";
    lua_Debug ar;
    if (lua_getstack(L, 1, &ar) && lua_getinfo(L, "Sl", &ar) && ar.currentline > 0)
        snprintf(prefix, sizeof(prefix), "%s:%d: ", ar.short_src, ar.currentline);
    char message[1024];
    va_list args;
    va_start(args, format);
    vsnprintf(message, sizeof(message), format, args);
    va_end(args);
    char text[2048];
    snprintf(text, sizeof(text), "%s%s", prefix, message);
    controller->reportError("%s", text);
}

int LMP_iRaiseOutOfMemory(lua_State *L)
{
    // What comes now (the report, drawing it) needs memory that the call
    // could not have.
    UTIL_MemoryReserve::release();
    LMP_iReportError(L, "not enough memory");
    // Lua keeps this text in every state, so pushing it takes no memory.
    lua_settop(L, 0);
    lua_pushliteral(L, "not enough memory");
    return lua_error(L);
}

// --- argument checking ---

int LMP_iRefFunction(lua_State *L, int index)
{
    lua_pushvalue(L, index);
    return luaL_ref(L, LUA_REGISTRYINDEX);
}

void LMP_iStoreCallback(lua_State *L, int *slots, int id, int reference, bool alive)
{
    if (!alive || id < 1 || id > MDL_CB_MAX) {
        if (reference > 0)
            luaL_unref(L, LUA_REGISTRYINDEX, reference);
        return;
    }
    int &slot = slots[id - 1];
    if (slot > 0 && slot != reference)
        luaL_unref(L, LUA_REGISTRYINDEX, slot);
    slot = reference > 0 ? reference : 0;
}

double LMP_fToSingle(double value)
{
    if (value > FLT_MAX && value <= DBL_MAX)
        return FLT_MAX;
    if (value < -FLT_MAX && value >= -DBL_MAX)
        return -FLT_MAX;
    return static_cast<float>(value);
}

int32_t LMP_iToInteger(lua_State *L, int index)
{
    lua_Number number = lua_tonumberx(L, index, nullptr);
    if (std::isnan(number))
        return 0;
    if (number >= 2147483647.0)
        return INT32_MAX;
    if (number <= -2147483648.0)
        return INT32_MIN;
    return static_cast<int32_t>(number);
}

// Raises the standard error of a value-type letter.
static int typeError(lua_State *L, int index, const char *typeName)
{
    const char *message = lua_pushfstring(L, "%s expected, got %s", typeName, luaL_typename(L, index));
    return LMP_iArgError(L, index, message);
}

// The engine object of a live rigid-body proxy at index; *ok false when the
// value is not one.
static MDL_RigidBody *rigidBodyAt(lua_State *L, int index, bool *ok)
{
    *ok = false;
    luaL_getmetatable(L, "newRigidBody");
    int metatable = lua_gettop(L);
    LMP_Proxy *proxy = nullptr;
    if (lua_istable(L, metatable)) {
        proxy = LMP_poProxyAt(L, index, metatable);
        const LMP_ClassInfo *info = metatableClass(L);
        proxy = info != nullptr ? info->m_pfnCast(proxy) : nullptr;
    }
    lua_pop(L, 1);
    if (proxy == nullptr)
        return nullptr;
    *ok = true;
    return static_cast<MDL_RigidBody *>(proxy->m_poObject);
}

// Function outputs wait for the end of a successful check.
struct LMP_PendingReference {
    int *m_piOutput;
    int m_iIndex;
};

int LMP_iCheckArgs(lua_State *L, const char *signature, ...)
{
    int count = lua_gettop(L);
    int argument = 1;
    bool optional = false;
    bool failed = false;
    LMP_PendingReference pending[16];
    int pendingCount = 0;
    const char *letter = signature;

    va_list outputs;
    va_start(outputs, signature);
    while (*letter != '\0' && argument <= count && !failed) {
        char c = *letter;
        if (c == '|') {
            optional = true;
            letter++;
            continue;
        }
        bool matched = false;
        switch (c) {
        case 'B': {
            bool *out = va_arg(outputs, bool *);
            if (lua_type(L, argument) == LUA_TBOOLEAN) {
                *out = lua_toboolean(L, argument) != 0;
                matched = true;
            }
            break;
        }
        case 'F': {
            int *out = va_arg(outputs, int *);
            int type = lua_type(L, argument);
            if (type == LUA_TNIL) {
                *out = 0;
                matched = true;
            } else if (type == LUA_TFUNCTION) {
                if (pendingCount < static_cast<int>(sizeof(pending) / sizeof(pending[0])))
                    pending[pendingCount++] = {out, argument};
                else
                    *out = LMP_iRefFunction(L, argument);
                matched = true;
            }
            break;
        }
        case 'I': {
            int32_t *out = va_arg(outputs, int32_t *);
            if (lua_isnumber(L, argument)) {
                *out = LMP_iToInteger(L, argument);
                matched = true;
            }
            break;
        }
        case 'N': {
            double *out = va_arg(outputs, double *);
            int isNumber = 0;
            lua_Number number = lua_tonumberx(L, argument, &isNumber);
            if (isNumber) {
                *out = number;
                matched = true;
            }
            break;
        }
        case 'S': {
            const char **out = va_arg(outputs, const char **);
            if (lua_isstring(L, argument)) {
                *out = lua_tostring(L, argument);
                matched = true;
            }
            break;
        }
        case 'C': {
            MTH_Vector4D **out = va_arg(outputs, MTH_Vector4D **);
            MTH_Vector4D *value = LMP_poToColor(L, argument);
            if (value == nullptr) {
                va_end(outputs);
                return typeError(L, argument, "color");
            }
            *out = value;
            matched = true;
            break;
        }
        case 'M': {
            MTH_Matrix3x3 **out = va_arg(outputs, MTH_Matrix3x3 **);
            MTH_Matrix3x3 *value = LMP_poToM33(L, argument);
            if (value == nullptr) {
                va_end(outputs);
                return typeError(L, argument, "m33");
            }
            *out = value;
            matched = true;
            break;
        }
        case 'V': {
            MTH_Vector3D **out = va_arg(outputs, MTH_Vector3D **);
            MTH_Vector3D *value = LMP_poToV3(L, argument);
            if (value == nullptr) {
                va_end(outputs);
                return typeError(L, argument, "v3");
            }
            *out = value;
            matched = true;
            break;
        }
        case 'W': {
            MTH_Vector2D **out = va_arg(outputs, MTH_Vector2D **);
            MTH_Vector2D *value = LMP_poToV2(L, argument);
            if (value == nullptr) {
                va_end(outputs);
                return typeError(L, argument, "v2");
            }
            *out = value;
            matched = true;
            break;
        }
        case 'R': {
            MDL_RigidBody **out = va_arg(outputs, MDL_RigidBody **);
            if (lua_isnil(L, argument)) {
                *out = nullptr;
            } else {
                bool ok = false;
                MDL_RigidBody *body = rigidBodyAt(L, argument, &ok);
                if (!ok) {
                    va_end(outputs);
                    return LMP_iArgError(L, argument, "newRigidBody");
                }
                *out = body;
            }
            matched = true;
            break;
        }
        default:
            // Any other character matches nothing, and takes no output.
            break;
        }
        letter++;
        if (matched)
            argument++;
        else if (!optional)
            failed = true;
    }
    va_end(outputs);

    if (failed) {
        LMP_iReportError(L, "Invalid type (%s) for argument #%d, <%s> type argument(s) expected",
                         luaL_typename(L, argument), argument, signature);
        return 0;
    }
    if (argument <= count) {
        LMP_iReportError(L, "Too much arguments, <%s> argument(s) expected", signature);
        return 0;
    }
    if (!optional && *letter != '\0' && *letter != '|') {
        LMP_iReportError(L, "Not enough arguments, <%s> argument(s) expected", signature);
        return 0;
    }
    for (int i = 0; i < pendingCount; i++)
        *pending[i].m_piOutput = LMP_iRefFunction(L, pending[i].m_iIndex);
    return count;
}

// --- proxies ---

LMP_Proxy *LMP_poProxyAt(lua_State *L, int index, int metatableIndex)
{
    // A string gives no pointer and a light userdata has no length, so this
    // is a full userdata of one pointer.
    LMP_ProxySlot *slot = static_cast<LMP_ProxySlot *>(lua_touserdata(L, index));
    if (slot == nullptr || lua_rawlen(L, index) != sizeof(LMP_ProxySlot))
        return nullptr;
    if (metatableIndex < 0 && metatableIndex > LUA_REGISTRYINDEX)
        metatableIndex = lua_absindex(L, metatableIndex); // a relative index, before the push
    if (!lua_getmetatable(L, index))
        return nullptr;
    bool same = lua_rawequal(L, -1, metatableIndex) != 0;
    lua_pop(L, 1);
    return same ? *slot : nullptr;
}

LMP_Proxy *LMP_poProxyOfClass(lua_State *L, int index, const LMP_ClassInfo *info)
{
    index = lua_absindex(L, index);
    luaL_getmetatable(L, info->m_sClassName);
    LMP_Proxy *proxy = lua_istable(L, -1) ? LMP_poProxyAt(L, index, -1) : nullptr;
    lua_pop(L, 1);
    return info->m_pfnCast(proxy);
}

LMP_Proxy *LMP_iGetObject(lua_State *L, int index)
{
    if (lua_type(L, index) != LUA_TUSERDATA)
        return nullptr;
    index = lua_absindex(L, index);
    if (!lua_getmetatable(L, index))
        return nullptr;
    const LMP_ClassInfo *info = metatableClass(L);
    lua_pop(L, 1);
    if (info == nullptr || !info->m_bObjectArgument)
        return nullptr;
    return LMP_poProxyOfClass(L, index, info);
}

// Whether the value on top is the userdata that holds proxy, with the
// metatable at metatableIndex.
static bool holdsProxy(lua_State *L, LMP_Proxy *proxy, int metatableIndex)
{
    return LMP_poProxyAt(L, -1, metatableIndex) == proxy;
}

int LMP_iPushUserdata(lua_State *L, const LMP_ClassInfo *info, LMP_Proxy *proxy)
{
    if (proxy == nullptr) {
        lua_pushnil(L);
        return 1;
    }
    luaL_getmetatable(L, info->m_sClassName);
    if (!lua_istable(L, -1)) {
        lua_pop(L, 1);
        LMP_iReportError(L, "%s missing metatable", info->m_sClassName);
        lua_pushnil(L);
        return 1;
    }
    int metatable = lua_gettop(L);

    // The weak cache: proxy address -> its userdata while the script holds it.
    lua_pushliteral(L, "userdata");
    lua_rawget(L, metatable);
    if (!lua_istable(L, -1)) {
        lua_pop(L, 1);
        lua_newtable(L);
        lua_pushvalue(L, -1);
        lua_setmetatable(L, -2);
        lua_pushliteral(L, "v");
        lua_setfield(L, -2, "__mode");
        lua_pushliteral(L, "userdata");
        lua_pushvalue(L, -2);
        lua_rawset(L, metatable);
    }
    int cache = lua_gettop(L);

    lua_rawgetp(L, cache, proxy);
    if (!holdsProxy(L, proxy, metatable)) {
        lua_pop(L, 1);
        // Sound at every step: the block holds null until the userdata is
        // filed, so a failure on the way leaves nothing half made.
        LMP_ProxySlot *slot = static_cast<LMP_ProxySlot *>(lua_newuserdata(L, sizeof(LMP_ProxySlot)));
        *slot = nullptr;
        lua_pushvalue(L, metatable);
        lua_setmetatable(L, -2);
        lua_pushvalue(L, -1);
        lua_rawsetp(L, cache, proxy);
        *slot = proxy;
        lua_rawgeti(L, LUA_REGISTRYINDEX, LUA_RIDX_MAINTHREAD);
        proxy->userdataMade(lua_tothread(L, -1));
        lua_pop(L, 1);
    }
    lua_replace(L, metatable);
    lua_settop(L, metatable);
    return 1;
}

// The push of LMP_iPushNewProxy, run protected: the class info and the
// proxy are its two light userdata arguments.
static int pushProtected(lua_State *L)
{
    const LMP_ClassInfo *info = static_cast<const LMP_ClassInfo *>(lua_touserdata(L, 1));
    LMP_Proxy *proxy = static_cast<LMP_Proxy *>(lua_touserdata(L, 2));
    lua_settop(L, 0);
    return LMP_iPushUserdata(L, info, proxy);
}

int LMP_iPushNewProxy(lua_State *L, const LMP_ClassInfo *info, LMP_Proxy *proxy)
{
    if (!lua_checkstack(L, 3)) {
        delete proxy;
        return luaL_error(L, "stack overflow");
    }
    // A light function and light userdata take no memory; what the call
    // itself needs is met inside the protection.
    lua_pushcfunction(L, pushProtected);
    lua_pushlightuserdata(L, const_cast<LMP_ClassInfo *>(info));
    lua_pushlightuserdata(L, proxy);
    int status = lua_pcall(L, 2, 1, 0);
    if (proxy->m_iRefCount == 0)
        delete proxy;
    if (status != LUA_OK)
        return lua_error(L); // the error value is on top
    return 1;
}

int LMP_iPushProxy(lua_State *L, MDL_Object *object)
{
    if (object == nullptr) {
        lua_pushnil(L);
        return 1;
    }
    const LMP_ClassInfo *info = nullptr;
    lua_rawgetp(L, LUA_REGISTRYINDEX, &s_cTypeCodesKey);
    if (lua_istable(L, -1)) {
        lua_rawgeti(L, -1, object->m_iType);
        const void *found = lua_touserdata(L, -1);
        lua_pop(L, 1);
        if (isKnownClass(found) && static_cast<const LMP_ClassInfo *>(found)->m_iTypeCode == object->m_iType)
            info = static_cast<const LMP_ClassInfo *>(found);
    }
    lua_pop(L, 1);
    if (info == nullptr || info->m_pfnWrap == nullptr) {
        LMP_iReportError(L, "LMP_iPushProxy -> Unknown object type");
        return 0;
    }
    LMP_Proxy *proxy = info->m_pfnCast(object->m_oProxyHandle.getProxy());
    if (proxy == nullptr)
        proxy = info->m_pfnWrap(object);
    return LMP_iPushUserdata(L, info, proxy);
}

// --- the class mechanism's shared steps ---

bool LMP_bBeginClass(lua_State *L, const LMP_ClassInfo *info, int (*construct)(lua_State *), int (*text)(lua_State *),
                     int (*collect)(lua_State *))
{
    rememberClass(info);
    lua_newtable(L); // the class table M
    if (!luaL_newmetatable(L, info->m_sClassName)) {
        UTIL_warn("Class %s is registered twice", info->m_sClassName);
        lua_pop(L, 2);
        return false;
    }
    lua_insert(L, -2); // MT below M

    // The class of each object type code, for LMP_iPushProxy.
    if (info->m_iTypeCode != LMP_NO_TYPE_CODE) {
        lua_rawgetp(L, LUA_REGISTRYINDEX, &s_cTypeCodesKey);
        if (!lua_istable(L, -1)) {
            lua_pop(L, 1);
            lua_newtable(L);
            lua_pushvalue(L, -1);
            lua_rawsetp(L, LUA_REGISTRYINDEX, &s_cTypeCodesKey);
        }
        lua_rawgeti(L, -1, info->m_iTypeCode);
        bool taken = !lua_isnil(L, -1);
        lua_pop(L, 1);
        if (taken) {
            UTIL_warn("Class %s: object type %d has a class already", info->m_sClassName, info->m_iTypeCode);
        } else {
            lua_pushlightuserdata(L, const_cast<LMP_ClassInfo *>(info));
            lua_rawseti(L, -2, info->m_iTypeCode);
        }
        lua_pop(L, 1);
    }

    lua_pushvalue(L, -1);
    lua_setglobal(L, info->m_sClassName);

    lua_pushvalue(L, -1);
    lua_setfield(L, -3, "__metatable");
    lua_pushvalue(L, -1);
    lua_setfield(L, -3, "__index");
    lua_pushcfunction(L, text);
    lua_setfield(L, -3, "__tostring");
    lua_pushcfunction(L, collect);
    lua_setfield(L, -3, "__gc");
    lua_pushlightuserdata(L, const_cast<LMP_ClassInfo *>(info));
    lua_rawsetp(L, -3, &s_cClassInfoKey);

    lua_newtable(L); // C, the class table's metatable
    lua_pushcfunction(L, construct);
    lua_setfield(L, -2, "__call");
    lua_setmetatable(L, -2);
    // "new" drops its first slot as a method drops its receiver, so Lua's
    // messages count its arguments as they count a method's: newMesh:new(a)
    // and newMesh(a) call a #1, newMesh.new(newMesh, a) calls it #2.
    LMP_pushSelfMark(L);
    lua_pushcclosure(L, construct, 1);
    lua_setfield(L, -2, "new");
    return true;
}

// The anchor table on top of the stack.
static void pushAnchors(lua_State *L)
{
    lua_rawgetp(L, LUA_REGISTRYINDEX, &s_cAnchorsKey);
    if (!lua_istable(L, -1)) {
        lua_pop(L, 1);
        lua_newtable(L);
        lua_pushvalue(L, -1);
        lua_rawsetp(L, LUA_REGISTRYINDEX, &s_cAnchorsKey);
    }
}

bool LMP_bAnchorReceiver(lua_State *L, LMP_Proxy *proxy)
{
    pushAnchors(L);
    lua_rawgetp(L, -1, proxy);
    bool anchored = lua_isnil(L, -1);
    lua_pop(L, 1);
    if (anchored) {
        lua_pushvalue(L, 1);
        lua_rawsetp(L, -2, proxy);
    }
    lua_pop(L, 1);
    return anchored;
}

void LMP_releaseReceiver(lua_State *L, LMP_Proxy *proxy)
{
    pushAnchors(L);
    lua_pushnil(L);
    lua_rawsetp(L, -2, proxy);
    lua_pop(L, 1);
}

int LMP_iProxyText(lua_State *L, const char *className)
{
    LMP_Proxy *proxy = nullptr;
    if (lua_type(L, 1) == LUA_TUSERDATA && lua_rawlen(L, 1) == sizeof(LMP_ProxySlot))
        proxy = *static_cast<LMP_ProxySlot *>(lua_touserdata(L, 1));
    const char *address = lua_pushfstring(L, "%p", static_cast<void *>(proxy));
    lua_pushfstring(L, "%s (%s)", className, address);
    return 1;
}

int LMP_iCollectProxy(lua_State *L)
{
    if (lua_type(L, 1) != LUA_TUSERDATA || lua_rawlen(L, 1) != sizeof(LMP_ProxySlot))
        return 0;
    LMP_ProxySlot *slot = static_cast<LMP_ProxySlot *>(lua_touserdata(L, 1));
    LMP_Proxy *proxy = *slot;
    *slot = nullptr;
    if (proxy == nullptr)
        return 0;
    proxy->userdataCollected();
    if (proxy->m_iRefCount <= 0)
        delete proxy;
    return 0;
}
