// The global functions that scripts call: input state, callbacks, devices,
// the outside world, the document's frame, the mouse and the renderer's
// caches. Each one reaches the player through the controller kept with the
// interpreter and returns no value when there is none or when its arguments
// do not pass the check. None of them raises by itself (only the argument
// check does), so none keeps anything with a destructor in its frame.
#include <lua.hpp>

#include <cstdint>
#include <cstring>

#include "controller/CTRL_Generic.h"
#include "foundation/MTH_Vector.h"
#include "scripting/LMP_ScriptEngine.h"
#include "scripting/LMP_Binding.h"
#include "scripting/LMP_Registration.h"
#include "scripting/LMP_ValueTypes.h"
#include "view/VIEW_Generic.h"

namespace {

// Accepts anything and does nothing.
int trace(lua_State *)
{
    return 0;
}

// Checks its argument and does nothing else.
int tracePoint(lua_State *L)
{
    MTH_Vector3D *point = nullptr;
    if (LMP_poController(L) == nullptr || !LMP_iCheckArgs(L, "V", &point))
        return 0;
    return 0;
}

// The three key queries share their check; the controller answers false for
// codes outside its tables.
int pushKeyState(lua_State *L, bool (CTRL_Generic::*query)(int) const)
{
    CTRL_Generic *controller = LMP_poController(L);
    int32_t code = 0;
    if (controller == nullptr || !LMP_iCheckArgs(L, "I", &code))
        return 0;
    lua_pushboolean(L, (controller->*query)(code));
    return 1;
}

int isKeyPressed(lua_State *L)
{
    return pushKeyState(L, &CTRL_Generic::isKeyPressed);
}

int isKeyJustPressed(lua_State *L)
{
    return pushKeyState(L, &CTRL_Generic::isKeyJustPressed);
}

int isKeyJustReleased(lua_State *L)
{
    return pushKeyState(L, &CTRL_Generic::isKeyJustReleased);
}

// Stores the function as the engine's callback for the id. An id outside
// 1..CB_MAX is stored nowhere, and its reference is given back at once; a
// replaced callback's reference is given back too.
int setCallback(lua_State *L)
{
    CTRL_Generic *controller = LMP_poController(L);
    int32_t id = 0;
    int reference = 0;
    if (controller == nullptr || !LMP_iCheckArgs(L, "IF", &id, &reference))
        return 0;
    LMP_ScriptEngine *engine = LMP_ScriptEngine::of(controller);
    LMP_iStoreCallback(L, engine != nullptr ? engine->m_aiCallbackRefs : nullptr, id, reference, engine != nullptr);
    return 0;
}

int registerDevice(lua_State *L)
{
    CTRL_Generic *controller = LMP_poController(L);
    int32_t a = 0, b = 0, c = 0;
    if (controller == nullptr || !LMP_iCheckArgs(L, "III", &a, &b, &c))
        return 0;
    lua_pushinteger(L, controller->registerDevice(a, b, c));
    return 1;
}

int sendToDevice(lua_State *L)
{
    CTRL_Generic *controller = LMP_poController(L);
    int32_t device = 0;
    const char *data = "";
    if (controller == nullptr || !LMP_iCheckArgs(L, "IS", &device, &data))
        return 0;
    // The check made argument 2 a string; its length counts embedded NULs.
    size_t length = 0;
    lua_tolstring(L, 2, &length);
    if (length > static_cast<size_t>(INT32_MAX))
        length = static_cast<size_t>(INT32_MAX);
    lua_pushinteger(L, controller->sendToDevice(device, data, static_cast<int>(length)));
    return 1;
}

int openURL(lua_State *L)
{
    CTRL_Generic *controller = LMP_poController(L);
    const char *address = "";
    if (controller == nullptr || !LMP_iCheckArgs(L, "S", &address))
        return 0;
    controller->openExternal(address);
    return 0;
}

int setAspectRatio(lua_State *L)
{
    CTRL_Generic *controller = LMP_poController(L);
    double ratio = 0;
    if (controller == nullptr || !LMP_iCheckArgs(L, "N", &ratio))
        return 0;
    controller->setAspectRatio(ratio);
    return 0;
}

int getAspectRatio(lua_State *L)
{
    CTRL_Generic *controller = LMP_poController(L);
    if (controller == nullptr)
        return 0;
    lua_pushnumber(L, controller->getAspectRatio());
    return 1;
}

// A view without width (not sized yet) answers 0 rather than a division by
// zero.
int getViewAspectRatio(lua_State *L)
{
    CTRL_Generic *controller = LMP_poController(L);
    if (controller == nullptr)
        return 0;
    lua_pushnumber(L, controller->getResolution().m_fX != 0 ? controller->getViewAspectRatio() : 0.0);
    return 1;
}

int getResolution(lua_State *L)
{
    CTRL_Generic *controller = LMP_poController(L);
    if (controller == nullptr)
        return 0;
    *LMP_iPushV2(L) = controller->getResolution();
    return 1;
}

int getHiDPI(lua_State *L)
{
    CTRL_Generic *controller = LMP_poController(L);
    if (controller == nullptr)
        return 0;
    lua_pushboolean(L, controller->getHiDPI());
    return 1;
}

int setBackgroundColor(lua_State *L)
{
    CTRL_Generic *controller = LMP_poController(L);
    MTH_Vector4D *color = nullptr;
    if (controller == nullptr || !LMP_iCheckArgs(L, "C", &color))
        return 0;
    controller->setBackgroundColor(*color);
    return 0;
}

int getAcceleration(lua_State *L)
{
    CTRL_Generic *controller = LMP_poController(L);
    if (controller == nullptr)
        return 0;
    *LMP_iPushV3(L) = *controller->getAcceleration();
    return 1;
}

int getLanguage(lua_State *L)
{
    CTRL_Generic *controller = LMP_poController(L);
    if (controller == nullptr)
        return 0;
    // The controller writes a code of at most 5 characters and its NUL; the
    // buffer has room to spare and always ends in a NUL.
    char code[16];
    memset(code, 0, sizeof(code));
    controller->getLanguage(code);
    code[sizeof(code) - 1] = '\0';
    lua_pushstring(L, code);
    return 1;
}

int getPlatform(lua_State *L)
{
    CTRL_Generic *controller = LMP_poController(L);
    if (controller == nullptr)
        return 0;
    lua_pushinteger(L, controller->m_iPlatform);
    return 1;
}

// No value when there is no object; an object of a kind without a bound
// class is reported by LMP_iPushProxy and gives no value either.
int pushObject(lua_State *L, MDL_Object *object)
{
    if (object == nullptr)
        return 0;
    return LMP_iPushProxy(L, object);
}

int getHooveredObject(lua_State *L)
{
    CTRL_Generic *controller = LMP_poController(L);
    if (controller == nullptr)
        return 0;
    return pushObject(L, controller->m_poHoverObject);
}

int getPickedObject(lua_State *L)
{
    CTRL_Generic *controller = LMP_poController(L);
    if (controller == nullptr)
        return 0;
    return pushObject(L, controller->m_poGrabbedObject);
}

int setPickPosition(lua_State *L)
{
    CTRL_Generic *controller = LMP_poController(L);
    MTH_Vector3D *point = nullptr;
    if (controller == nullptr || !LMP_iCheckArgs(L, "V", &point))
        return 0;
    controller->m_oGrabPoint = *point;
    return 0;
}

int getViewportMouse(lua_State *L)
{
    CTRL_Generic *controller = LMP_poController(L);
    if (controller == nullptr)
        return 0;
    *LMP_iPushV3(L) = controller->getViewportMouse();
    return 1;
}

// The scene point under the mouse; the origin when there is no current
// viewport to ask.
int getSceneMouse(lua_State *L)
{
    CTRL_Generic *controller = LMP_poController(L);
    if (controller == nullptr)
        return 0;
    MTH_Vector3D *point = LMP_iPushV3(L);
    *point = controller->getSceneMouse(MTH_Vector3D());
    return 1;
}

// The renderer functions do nothing while there is no renderer.
VIEW_Generic *renderer(lua_State *L)
{
    CTRL_Generic *controller = LMP_poController(L);
    return controller != nullptr ? controller->m_poRenderer : nullptr;
}

int resetTextureCache(lua_State *L)
{
    if (VIEW_Generic *view = renderer(L))
        view->invalidateImageTextures();
    return 0;
}

int resetGlyphTextureCache(lua_State *L)
{
    if (VIEW_Generic *view = renderer(L))
        view->invalidateGlyphTextures();
    return 0;
}

int setDefaultTextureFilter(lua_State *L)
{
    CTRL_Generic *controller = LMP_poController(L);
    int32_t filter = 0;
    if (controller == nullptr || !LMP_iCheckArgs(L, "I", &filter))
        return 0;
    if (controller->m_poRenderer != nullptr)
        controller->m_poRenderer->setTextureFilter(filter);
    return 0;
}

int resetRenderingOpti(lua_State *L)
{
    if (VIEW_Generic *view = renderer(L))
        view->releaseBuffers();
    return 0;
}

// In registration order, each behind the guard of bound calls.
const luaL_Reg s_aoGlobals[] = {
    {"trace", LMP_iGuarded<trace>},
    {"tracePoint", LMP_iGuarded<tracePoint>},
    {"isKeyPressed", LMP_iGuarded<isKeyPressed>},
    {"isKeyJustPressed", LMP_iGuarded<isKeyJustPressed>},
    {"isKeyJustReleased", LMP_iGuarded<isKeyJustReleased>},
    {"setCallback", LMP_iGuarded<setCallback>},
    {"registerDevice", LMP_iGuarded<registerDevice>},
    {"sendToDevice", LMP_iGuarded<sendToDevice>},
    {"openURL", LMP_iGuarded<openURL>},
    {"setAspectRatio", LMP_iGuarded<setAspectRatio>},
    {"getAspectRatio", LMP_iGuarded<getAspectRatio>},
    {"getViewAspectRatio", LMP_iGuarded<getViewAspectRatio>},
    {"getResolution", LMP_iGuarded<getResolution>},
    {"getHiDPI", LMP_iGuarded<getHiDPI>},
    {"setBackgroundColor", LMP_iGuarded<setBackgroundColor>},
    {"getAcceleration", LMP_iGuarded<getAcceleration>},
    {"getLanguage", LMP_iGuarded<getLanguage>},
    {"getPlatform", LMP_iGuarded<getPlatform>},
    {"getHooveredObject", LMP_iGuarded<getHooveredObject>},
    {"getPickedObject", LMP_iGuarded<getPickedObject>},
    {"setPickPosition", LMP_iGuarded<setPickPosition>},
    {"getViewportMouse", LMP_iGuarded<getViewportMouse>},
    {"getSceneMouse", LMP_iGuarded<getSceneMouse>},
    {"resetTextureCache", LMP_iGuarded<resetTextureCache>},
    {"resetGlyphTextureCache", LMP_iGuarded<resetGlyphTextureCache>},
    {"setDefaultTextureFilter", LMP_iGuarded<setDefaultTextureFilter>},
    {"resetRenderingOpti", LMP_iGuarded<resetRenderingOpti>},
    {nullptr, nullptr},
};

} // namespace

void LMP_registerGlobalFunctions(lua_State *L)
{
    for (const luaL_Reg *row = s_aoGlobals; row->name != nullptr; row++) {
        lua_pushcfunction(L, row->func);
        lua_setglobal(L, row->name);
    }
}
