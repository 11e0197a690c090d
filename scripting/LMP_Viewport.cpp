#include "scripting/LMP_Viewport.h"

#include <cfloat>
#include <cmath>

#include "controller/CTRL_Generic.h"
#include "foundation/MTH_Matrix3x3.h"
#include "foundation/MTH_Vector.h"
#include "model/MDL_Camera.h"
#include "model/MDL_Mike.h"
#include "model/MDL_ObjectTypes.h"
#include "model/MDL_Viewport.h"
#include "scripting/LMP_ScriptEngine.h"
#include "scripting/LMP_Binding.h"
#include "scripting/LMP_ValueTypes.h"

static const double s_fDegree = 0.017453292519943295;

LMP_Viewport::LMP_Viewport(MDL_Viewport *viewport) : LMP_Proxy(viewport), m_aiCallbackRefs()
{
    if (viewport != nullptr)
        viewport->m_oProxyHandle.bind(this);
}

// As for scenes: the viewport's handle never keeps pointing at a deleted
// proxy; the viewport itself stays.
LMP_Viewport::~LMP_Viewport()
{
    MDL_Viewport *viewport = getViewport();
    if (viewport != nullptr && viewport->m_oProxyHandle.m_poProxy == this)
        viewport->m_oProxyHandle.m_poProxy = nullptr;
}

// newViewport(x, y, width, height): a new viewport of the controller's list,
// which becomes the current one. After a failed check, or without a
// controller, the proxy stays unbound.
LMP_Viewport *LMP_Viewport::create(lua_State *L)
{
    double x = 0, y = 0, width = 0, height = 0;
    if (!LMP_iCheckArgs(L, "NNNN", &x, &y, &width, &height))
        return new LMP_Viewport(nullptr);
    CTRL_Generic *controller = LMP_poController(L);
    if (controller == nullptr)
        return new LMP_Viewport(nullptr);
    return new LMP_Viewport(controller->addViewport(MTH_Vector2D(x, y), MTH_Vector2D(width, height)));
}

// --- events ---

int LMP_Viewport::handleCallback(UTIL_EventHost *host, int code, va_list args)
{
    LMP_ScriptEngine *engine = LMP_ScriptEngine::of(host);
    if (code != MDL_CB_EVENT || engine == nullptr || engine->m_poLuaState == nullptr)
        return 0;
    int reference = m_aiCallbackRefs[MDL_CB_EVENT - 1];
    const CTRL_ScriptEvent *event = MDL_InputEvent<CTRL_ScriptEvent>::read(args).m_poRecord;
    MDL_Viewport *viewport = getViewport();
    if (reference == 0 || event == nullptr || viewport == nullptr)
        return 0;
    lua_State *L = engine->m_poLuaState;
    // The function may delete this viewport and let go of its proxy; the
    // extra count keeps the proxy until the call is over, and nothing below
    // reads the viewport after the call.
    m_iRefCount++;
    int height = lua_gettop(L);
    // The wheel's point in the viewport, found before the arguments are made
    // (a script's hook may run then, and delete the viewport). The record
    // holds the mouse in units of the view's width.
    MTH_Vector2D at;
    CTRL_Generic *controller = engine->m_poController;
    if (event->m_iType == CTRL_ScriptEvent::ZOOM && controller != nullptr) {
        MTH_Vector2D mouse = event->m_poZoomVector != nullptr ? *event->m_poZoomVector : MTH_Vector2D();
        at = controller->mouseToViewport(viewport, mouse * controller->m_oViewSize.m_fX);
    }
    auto push = [this, reference, event, &at](lua_State *L) {
        lua_rawgeti(L, LUA_REGISTRYINDEX, reference);
        LMP_Luna<LMP_Viewport>::push(L, this);
        lua_pushinteger(L, event->m_iType);
        switch (event->m_iType) {
        case CTRL_ScriptEvent::KEY_DOWN:
        case CTRL_ScriptEvent::KEY_UP:
            lua_pushinteger(L, event->m_iKey);
            lua_pushinteger(L, 0);
            break;
        case CTRL_ScriptEvent::ZOOM:
            lua_pushnumber(L, event->m_fZoom);
            *LMP_iPushV2(L) = at;
            break;
        default:
            lua_pushinteger(L, 0);
            lua_pushinteger(L, 0);
            break;
        }
        return 5;
    };
    bool consumed = false;
    if (engine->pcallPushed(push, 1)) {
        // Exactly one boolean.
        if (lua_gettop(L) == height + 1 && lua_isboolean(L, -1))
            consumed = lua_toboolean(L, -1) != 0;
        else
            LMP_iReportError(L, "Event function must return 1 boolean value.");
    }
    lua_settop(L, height);
    if (--m_iRefCount == 0)
        delete this;
    return consumed ? 1 : 0;
}

// --- methods ---

// delete(): removes the viewport from the controller's list and destroys it;
// the proxy is left without one. Arguments are reported, and the viewport
// goes all the same.
int LMP_Viewport::destroy(lua_State *L)
{
    if (lua_gettop(L) > 0)
        LMP_iCheckArgs(L, "");
    MDL_Viewport *viewport = getViewport();
    CTRL_Generic *controller = LMP_poController(L);
    if (viewport == nullptr || controller == nullptr)
        return 0;
    // The viewport's handle lets go of this proxy: nothing here is touched
    // afterwards.
    controller->removeViewport(viewport);
    return 0;
}

int LMP_Viewport::getCamera(lua_State *L)
{
    MDL_Viewport *viewport = getViewport();
    if (viewport == nullptr || viewport->m_poCamera == nullptr)
        return 0;
    return LMP_iPushProxy(L, viewport->m_poCamera);
}

int LMP_Viewport::getMike(lua_State *L)
{
    MDL_Viewport *viewport = getViewport();
    if (viewport == nullptr || viewport->m_poMike == nullptr)
        return 0;
    return LMP_iPushProxy(L, viewport->m_poMike);
}

int LMP_Viewport::setBackgroundColor(lua_State *L)
{
    MTH_Vector4D *color = nullptr;
    if (!LMP_iCheckArgs(L, "C", &color))
        return 0;
    MDL_Viewport *viewport = getViewport();
    if (viewport != nullptr && color != nullptr)
        viewport->m_oViewportBackground = *color;
    return 0;
}

// The last argument of setCamera and setMike: out := null for nil, the
// engine object of a live proxy of the class for one of type, else the
// argument error naming the class is raised.
static void objectArgument(lua_State *L, const char *className, int type, MDL_Object **out)
{
    int last = lua_gettop(L);
    if (last > 0 && lua_isnil(L, last)) {
        *out = nullptr;
        return;
    }
    MDL_Object *object = nullptr;
    if (last > 0) {
        luaL_getmetatable(L, className);
        LMP_Proxy *proxy = lua_istable(L, -1) ? LMP_poProxyAt(L, last, -1) : nullptr;
        lua_pop(L, 1);
        if (proxy != nullptr)
            object = static_cast<MDL_Object *>(proxy->m_poObject);
    }
    if (object == nullptr || object->getType() != type)
        LMP_iArgError(L, last > 0 ? last : 1, className);
    *out = object;
}

// setCamera(camera or nil).
int LMP_Viewport::setCamera(lua_State *L)
{
    MDL_Object *camera = nullptr;
    objectArgument(L, "newCamera", OBJECT_CAMERA, &camera);
    MDL_Viewport *viewport = getViewport();
    if (viewport != nullptr)
        viewport->m_poCamera = dynamic_cast<MDL_Camera *>(camera); // null for an object of another kind
    return 0;
}

// setMike(microphone or nil).
int LMP_Viewport::setMike(lua_State *L)
{
    MDL_Object *mike = nullptr;
    objectArgument(L, "newMike", OBJECT_MIKE, &mike);
    MDL_Viewport *viewport = getViewport();
    if (viewport != nullptr)
        viewport->m_poMike = static_cast<MDL_Mike *>(mike);
    return 0;
}

int LMP_Viewport::getActive(lua_State *L)
{
    MDL_Viewport *viewport = getViewport();
    if (viewport == nullptr)
        return 0;
    lua_pushboolean(L, viewport->m_bActive);
    return 1;
}

int LMP_Viewport::setActive(lua_State *L)
{
    bool active = false;
    if (!LMP_iCheckArgs(L, "B", &active))
        return 0;
    MDL_Viewport *viewport = getViewport();
    if (viewport != nullptr)
        viewport->m_bActive = active;
    return 0;
}

int LMP_Viewport::getShadowRendering(lua_State *L)
{
    MDL_Viewport *viewport = getViewport();
    if (viewport == nullptr)
        return 0;
    lua_pushinteger(L, viewport->m_iShadowType);
    return 1;
}

int LMP_Viewport::setShadowRendering(lua_State *L)
{
    int32_t type = 0;
    if (!LMP_iCheckArgs(L, "I", &type))
        return 0;
    if (type != SHADOW_2D && type != SHADOW_3D) {
        LMP_iReportError(L, "Unsupported shadow type specified.");
        return 0;
    }
    MDL_Viewport *viewport = getViewport();
    if (viewport != nullptr)
        viewport->m_iShadowType = type;
    return 0;
}

int LMP_Viewport::setNavigationMode(lua_State *L)
{
    int32_t mode = 0;
    if (!LMP_iCheckArgs(L, "I", &mode))
        return 0;
    if (mode < NAVIGATION_FREE || mode > NAVIGATION_GLASSBALL) {
        LMP_iReportError(L, "Unsupported navigation type specified.");
        return 0;
    }
    MDL_Viewport *viewport = getViewport();
    if (viewport != nullptr)
        viewport->m_iNavigationMode = mode;
    return 0;
}

int LMP_Viewport::getNavigationMode(lua_State *L)
{
    MDL_Viewport *viewport = getViewport();
    if (viewport == nullptr)
        return 0;
    lua_pushinteger(L, viewport->m_iNavigationMode);
    return 1;
}

// Whether the camera orbits the navigation target.
static bool isOrbiting(const MDL_Viewport *viewport)
{
    return viewport->m_iNavigationMode == NAVIGATION_MIXED || viewport->m_iNavigationMode == NAVIGATION_GLASSBALL;
}

// setNavigationPosition(v3): the orbit's target, or the camera's global
// position in the other modes (nothing without a camera).
int LMP_Viewport::setNavigationPosition(lua_State *L)
{
    MTH_Vector3D *position = nullptr;
    if (!LMP_iCheckArgs(L, "V", &position))
        return 0;
    MDL_Viewport *viewport = getViewport();
    if (viewport == nullptr || position == nullptr)
        return 0;
    if (isOrbiting(viewport)) {
        viewport->m_oNavigationTarget = *position;
        viewport->navigate(0);
    } else if (viewport->m_poCamera != nullptr) {
        viewport->m_poCamera->editGlobalPosition() = *position;
    }
    return 0;
}

// getNavigationPosition(): v3 of the orbit's target, or of the camera's
// global position in the other modes (zero without a camera).
int LMP_Viewport::getNavigationPosition(lua_State *L)
{
    MDL_Viewport *viewport = getViewport();
    if (viewport == nullptr)
        return 0;
    MTH_Vector3D position;
    if (isOrbiting(viewport))
        position = viewport->m_oNavigationTarget;
    else if (viewport->m_poCamera != nullptr)
        position = viewport->m_poCamera->getGlobalPosition();
    *LMP_iPushV3(L) = position;
    return 1;
}

// setNavigationBasis(m33): the camera's global basis in the free and fixed
// modes; nothing in the others or without a camera.
int LMP_Viewport::setNavigationBasis(lua_State *L)
{
    MTH_Matrix3x3 *basis = nullptr;
    if (!LMP_iCheckArgs(L, "M", &basis))
        return 0;
    MDL_Viewport *viewport = getViewport();
    if (viewport == nullptr || basis == nullptr || isOrbiting(viewport) || viewport->m_poCamera == nullptr)
        return 0;
    viewport->m_poCamera->editGlobalBasis() = *basis;
    return 0;
}

// The three navigation setters: value [, minimum, maximum] in the orbiting
// modes; scale converts the script's unit (degrees for the angles). Without
// both limits they are lifted to lowest .. DBL_MAX.
static int setNavigationQuantity(lua_State *L, MDL_Viewport *viewport, double scale, double lowest, double *value,
                                 double *minimum, double *maximum)
{
    double given = 0, low = 0, high = 0;
    int count = LMP_iCheckArgs(L, "N|NN", &given, &low, &high);
    if (count == 0 || viewport == nullptr || !isOrbiting(viewport))
        return 0;
    *value = given * scale;
    if (count >= 3) {
        *minimum = low * scale;
        *maximum = high * scale;
    } else {
        *minimum = lowest;
        *maximum = DBL_MAX;
    }
    viewport->navigate(0);
    return 0;
}

int LMP_Viewport::setNavigationRadius(lua_State *L)
{
    MDL_Viewport *viewport = getViewport();
    if (viewport == nullptr)
        return setNavigationQuantity(L, nullptr, 1, 0, nullptr, nullptr, nullptr);
    return setNavigationQuantity(L, viewport, 1, 0, &viewport->m_fNavigationRadius, &viewport->m_fRadiusMin,
                                 &viewport->m_fRadiusMax);
}

int LMP_Viewport::setNavigationElevation(lua_State *L)
{
    MDL_Viewport *viewport = getViewport();
    if (viewport == nullptr)
        return setNavigationQuantity(L, nullptr, s_fDegree, -DBL_MAX, nullptr, nullptr, nullptr);
    return setNavigationQuantity(L, viewport, s_fDegree, -DBL_MAX, &viewport->m_fNavigationElevation,
                                 &viewport->m_fElevationMin, &viewport->m_fElevationMax);
}

int LMP_Viewport::setNavigationAzimuth(lua_State *L)
{
    MDL_Viewport *viewport = getViewport();
    if (viewport == nullptr)
        return setNavigationQuantity(L, nullptr, s_fDegree, -DBL_MAX, nullptr, nullptr, nullptr);
    return setNavigationQuantity(L, viewport, s_fDegree, -DBL_MAX, &viewport->m_fNavigationAzimuth,
                                 &viewport->m_fAzimuthMin, &viewport->m_fAzimuthMax);
}

// The three navigation getters: the viewport navigates first (which clamps
// the values), then the value in the script's unit in the orbiting modes,
// nil in the others.
static int getNavigationQuantity(lua_State *L, MDL_Viewport *viewport, const double *value, double scale)
{
    if (viewport == nullptr)
        return 0;
    viewport->navigate(0);
    if (isOrbiting(viewport))
        lua_pushnumber(L, *value / scale);
    else
        lua_pushnil(L);
    return 1;
}

int LMP_Viewport::getNavigationRadius(lua_State *L)
{
    MDL_Viewport *viewport = getViewport();
    return getNavigationQuantity(L, viewport, viewport != nullptr ? &viewport->m_fNavigationRadius : nullptr, 1);
}

int LMP_Viewport::getNavigationElevation(lua_State *L)
{
    MDL_Viewport *viewport = getViewport();
    return getNavigationQuantity(L, viewport, viewport != nullptr ? &viewport->m_fNavigationElevation : nullptr,
                                 s_fDegree);
}

int LMP_Viewport::getNavigationAzimuth(lua_State *L)
{
    MDL_Viewport *viewport = getViewport();
    return getNavigationQuantity(L, viewport, viewport != nullptr ? &viewport->m_fNavigationAzimuth : nullptr,
                                 s_fDegree);
}

int LMP_Viewport::setPosition(lua_State *L)
{
    MTH_Vector2D *position = nullptr;
    if (!LMP_iCheckArgs(L, "W", &position))
        return 0;
    MDL_Viewport *viewport = getViewport();
    if (viewport != nullptr && position != nullptr)
        viewport->m_oViewportPosition = *position;
    return 0;
}

int LMP_Viewport::getPosition(lua_State *L)
{
    MDL_Viewport *viewport = getViewport();
    if (viewport == nullptr)
        return 0;
    *LMP_iPushV2(L) = viewport->m_oViewportPosition;
    return 1;
}

// A v3 argument mapped by the viewport's toScene or fromScene into a new v3;
// zero without a camera.
int LMP_Viewport::mapPoint(lua_State *L, bool (MDL_Viewport::*map)(const MTH_Vector3D &, MTH_Vector3D &))
{
    MTH_Vector3D *point = nullptr;
    if (!LMP_iCheckArgs(L, "V", &point))
        return 0;
    MDL_Viewport *viewport = getViewport();
    if (viewport == nullptr || point == nullptr)
        return 0;
    MTH_Vector3D result;
    if (!(viewport->*map)(*point, result))
        result = MTH_Vector3D();
    *LMP_iPushV3(L) = result;
    return 1;
}

// toScene(v3): the scene point of a viewport point with depth.
int LMP_Viewport::toScene(lua_State *L)
{
    return mapPoint(L, &MDL_Viewport::toScene);
}

// fromScene(v3): the viewport point with depth of a scene point.
int LMP_Viewport::fromScene(lua_State *L)
{
    return mapPoint(L, &MDL_Viewport::fromScene);
}

int LMP_Viewport::setSize(lua_State *L)
{
    MTH_Vector2D *size = nullptr;
    if (!LMP_iCheckArgs(L, "W", &size))
        return 0;
    MDL_Viewport *viewport = getViewport();
    if (viewport != nullptr && size != nullptr)
        viewport->m_oViewportSize = *size;
    return 0;
}

int LMP_Viewport::getSize(lua_State *L)
{
    MDL_Viewport *viewport = getViewport();
    if (viewport == nullptr)
        return 0;
    *LMP_iPushV2(L) = viewport->m_oViewportSize;
    return 1;
}

int LMP_Viewport::getWidth(lua_State *L)
{
    MDL_Viewport *viewport = getViewport();
    if (viewport == nullptr)
        return 0;
    lua_pushnumber(L, viewport->m_oViewportSize.m_fX);
    return 1;
}

int LMP_Viewport::getHeight(lua_State *L)
{
    MDL_Viewport *viewport = getViewport();
    if (viewport == nullptr)
        return 0;
    lua_pushnumber(L, viewport->m_oViewportSize.m_fY);
    return 1;
}

// getCenter(): half the size, not offset by the position.
int LMP_Viewport::getCenter(lua_State *L)
{
    MDL_Viewport *viewport = getViewport();
    if (viewport == nullptr)
        return 0;
    *LMP_iPushV3(L) = MTH_Vector3D(viewport->m_oViewportSize.m_fX * 0.5, viewport->m_oViewportSize.m_fY * 0.5, 0);
    return 1;
}

// getPickRay(v3): direction, origin of the ray under the viewport point (x,
// y); both zero without a camera.
int LMP_Viewport::getPickRay(lua_State *L)
{
    MTH_Vector3D *point = nullptr;
    if (!LMP_iCheckArgs(L, "V", &point))
        return 0;
    MDL_Viewport *viewport = getViewport();
    if (viewport == nullptr || point == nullptr)
        return 0;
    MTH_Vector3D origin, direction;
    if (!viewport->getPickRay(MTH_Vector2D(point->m_fX, point->m_fY), origin, direction))
        origin = direction = MTH_Vector3D();
    *LMP_iPushV3(L) = direction;
    *LMP_iPushV3(L) = origin;
    return 2;
}

// setCallback(id, function or nil): ids 1 to CB_MAX, only CB_EVENT is called;
// any other id has no slot and is ignored. The function replaced lets go of
// its reference.
int LMP_Viewport::setCallback(lua_State *L)
{
    int id = 0;
    int reference = 0;
    if (!LMP_iCheckArgs(L, "IF", &id, &reference))
        return 0;
    LMP_iStoreCallback(L, m_aiCallbackRefs, id, reference, getViewport() != nullptr);
    return 0;
}

// clang-format off
static const LMP_Method<LMP_Viewport> s_aoViewportMethods[] = {
    {"delete", &LMP_Viewport::destroy},
    {"getCamera", &LMP_Viewport::getCamera},
    {"getMike", &LMP_Viewport::getMike},
    {"setBackgroundColor", &LMP_Viewport::setBackgroundColor},
    {"setCamera", &LMP_Viewport::setCamera},
    {"getActive", &LMP_Viewport::getActive},
    {"setActive", &LMP_Viewport::setActive},
    {"setMike", &LMP_Viewport::setMike},
    {"getShadowRendering", &LMP_Viewport::getShadowRendering},
    {"setShadowRendering", &LMP_Viewport::setShadowRendering},
    {"setNavigationMode", &LMP_Viewport::setNavigationMode},
    {"getNavigationMode", &LMP_Viewport::getNavigationMode},
    {"setNavigationPosition", &LMP_Viewport::setNavigationPosition},
    {"getNavigationPosition", &LMP_Viewport::getNavigationPosition},
    {"setNavigationBasis", &LMP_Viewport::setNavigationBasis},
    {"setNavigationRadius", &LMP_Viewport::setNavigationRadius},
    {"setNavigationElevation", &LMP_Viewport::setNavigationElevation},
    {"setNavigationAzimuth", &LMP_Viewport::setNavigationAzimuth},
    {"getNavigationRadius", &LMP_Viewport::getNavigationRadius},
    {"getNavigationElevation", &LMP_Viewport::getNavigationElevation},
    {"getNavigationAzimuth", &LMP_Viewport::getNavigationAzimuth},
    {"setPosition", &LMP_Viewport::setPosition},
    {"getPosition", &LMP_Viewport::getPosition},
    {"toScene", &LMP_Viewport::toScene},
    {"fromScene", &LMP_Viewport::fromScene},
    {"setSize", &LMP_Viewport::setSize},
    {"getSize", &LMP_Viewport::getSize},
    {"getWidth", &LMP_Viewport::getWidth},
    {"getHeight", &LMP_Viewport::getHeight},
    {"getCenter", &LMP_Viewport::getCenter},
    {"getPickRay", &LMP_Viewport::getPickRay},
    {"setCallback", &LMP_Viewport::setCallback},
    {nullptr, nullptr},
};
// clang-format on

const LMP_Class<LMP_Viewport> LMP_Viewport::binding = {"newViewport", LMP_NO_TYPE_CODE, false, s_aoViewportMethods};

void LMP_registerViewport(lua_State *L)
{
    LMP_Luna<LMP_Viewport>::registerClass(L);
}
