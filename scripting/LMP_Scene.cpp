#include "scripting/LMP_Scene.h"

#include "controller/CTRL_Generic.h"
#include "foundation/MTH_Vector.h"
#include "model/MDL_Object.h"
#include "model/MDL_Scene.h"
#include "scripting/LMP_ScriptEngine.h"
#include "scripting/LMP_Binding.h"
#include "scripting/LMP_ValueTypes.h"

LMP_Scene::LMP_Scene(MDL_Scene *scene) : LMP_Proxy(scene), m_aiCallbackRefs(), m_iUserDataRef(0)
{
    if (scene != nullptr)
        scene->m_oProxyHandle.bind(this);
}

// A proxy goes when its last owner lets go, so its scene's handle no longer
// counts it; should it still point here, it is emptied all the same, so that
// the scene never posts to a deleted proxy. The scene itself stays.
LMP_Scene::~LMP_Scene()
{
    MDL_Scene *scene = getScene();
    if (scene != nullptr && scene->m_oProxyHandle.m_poProxy == this)
        scene->m_oProxyHandle.m_poProxy = nullptr;
}

// newScene(name): a new scene of the controller's list; the name is the
// first argument when it is a string (or a number), else none. Without a
// controller the proxy stays unbound.
LMP_Scene *LMP_Scene::create(lua_State *L)
{
    CTRL_Generic *controller = LMP_poController(L);
    if (controller == nullptr)
        return new LMP_Scene(nullptr);
    const char *name = lua_gettop(L) >= 1 && lua_isstring(L, 1) ? lua_tostring(L, 1) : nullptr;
    return new LMP_Scene(controller->addScene(name));
}

// --- events ---

// Pushes the proxy of an object, or nil for none; always one value.
static void pushObjectOrNil(lua_State *L, MDL_Object *object)
{
    if (object == nullptr || LMP_iPushProxy(L, object) != 1)
        lua_pushnil(L);
}

int LMP_Scene::handleCallback(UTIL_EventHost *host, int code, va_list args)
{
    // Most contacts meet no function: that is known before the engine is
    // looked up. Nobody asked gives no answer, and the contact its response.
    int reference = code >= 1 && code <= MDL_CB_MAX ? m_aiCallbackRefs[code - 1] : 0;
    if (reference == 0)
        return 0;
    LMP_ScriptEngine *engine = LMP_ScriptEngine::of(host);
    if (engine == nullptr || engine->m_poLuaState == nullptr)
        return 0;
    lua_State *L = engine->m_poLuaState;
    if (code != MDL_CB_MECHA && code != MDL_CB_POST_INTEGRATION && code != MDL_CB_PRE_COLLISION &&
        code != MDL_CB_POST_COLLISION) {
        LMP_iReportError(L, "Unhandled scene callback");
        return 0;
    }
    // The script may drop its last hold on this proxy during the call; the
    // extra count keeps it until the call is over.
    m_iRefCount++;
    int height = lua_gettop(L);
    int result = 0;
    if (code == MDL_CB_MECHA || code == MDL_CB_POST_INTEGRATION) {
        // A function and a number take no memory to push.
        lua_rawgeti(L, LUA_REGISTRYINDEX, reference);
        lua_pushnumber(L, MDL_StepEvent::read(args).m_fStep);
        result = engine->pcall(1, 0) ? 1 : 0;
    } else {
        const MDL_ContactEvent contact = MDL_ContactEvent::read(args);
        auto push = [this, reference, &contact](lua_State *L) {
            lua_rawgeti(L, LUA_REGISTRYINDEX, reference);
            LMP_Luna<LMP_Scene>::push(L, this);
            *LMP_iPushV3(L) = contact.m_oPoint;
            *LMP_iPushV3(L) = contact.m_oNormal;
            lua_pushnumber(L, contact.m_fValue);
            for (MDL_Object *object : contact.m_apoObjects)
                pushObjectOrNil(L, object);
            return 9;
        };
        if (code == MDL_CB_PRE_COLLISION) {
            // A function that fails answers no.
            bool respond = false;
            if (engine->pcallPushed(push, 1)) {
                respond = lua_toboolean(L, -1) != 0;
                lua_pop(L, 1);
            }
            result = MDL_ContactEvent::answer(respond);
        } else {
            result = engine->pcallPushed(push, 0) ? 1 : 0;
        }
    }
    lua_settop(L, height);
    if (--m_iRefCount == 0)
        delete this;
    return result;
}

// --- methods ---

// clear(): removes every object of the scene through the controller; the
// scene drops them at its next purge.
int LMP_Scene::clear(lua_State *L)
{
    MDL_Scene *scene = getScene();
    CTRL_Generic *controller = LMP_poController(L);
    if (scene == nullptr || controller == nullptr)
        return 0;
    // Removal leaves the list as it is until the purge; an object removed
    // with an ancestor is flagged already and not walked again.
    for (int i = 0; i < scene->m_oObjects.m_iCount; i++) {
        MDL_Object *object = scene->m_oObjects.m_pData[i];
        if (object != nullptr && !object->m_bDeleted)
            controller->removeObject(object);
    }
    return 0;
}

// getBounds(): {xmin, xmax, ymin, ymax, zmin, zmax}.
int LMP_Scene::getBounds(lua_State *L)
{
    MDL_Scene *scene = getScene();
    if (scene == nullptr)
        return 0;
    double bounds[6];
    scene->getBounds(bounds[0], bounds[1], bounds[2], bounds[3], bounds[4], bounds[5]);
    lua_createtable(L, 6, 0);
    for (int i = 0; i < 6; i++) {
        lua_pushnumber(L, bounds[i]);
        lua_rawseti(L, -2, i + 1);
    }
    return 1;
}

int LMP_Scene::getElasticity(lua_State *L)
{
    MDL_Scene *scene = getScene();
    if (scene == nullptr)
        return 0;
    lua_pushnumber(L, scene->getElasticity());
    return 1;
}

int LMP_Scene::getFriction(lua_State *L)
{
    MDL_Scene *scene = getScene();
    if (scene == nullptr)
        return 0;
    lua_pushnumber(L, scene->getFriction());
    return 1;
}

int LMP_Scene::getGravity(lua_State *L)
{
    MDL_Scene *scene = getScene();
    if (scene == nullptr)
        return 0;
    *LMP_iPushV3(L) = scene->getGravity();
    return 1;
}

int LMP_Scene::getIntegrationStep(lua_State *L)
{
    MDL_Scene *scene = getScene();
    if (scene == nullptr)
        return 0;
    lua_pushnumber(L, scene->getIntegrationStep());
    return 1;
}

// getObject(name): the proxy of the scene's object of that name (the last
// argument), or nothing when there is none.
int LMP_Scene::getObject(lua_State *L)
{
    int last = lua_gettop(L);
    if (last == 0 || !lua_isstring(L, last)) {
        LMP_iReportError(L, "Object name ommited");
        return 0;
    }
    MDL_Scene *scene = getScene();
    if (scene == nullptr)
        return 0;
    MDL_Object *object = scene->getObject(lua_tostring(L, last));
    if (object == nullptr)
        return 0;
    return LMP_iPushProxy(L, object);
}

// setBounds({xmin, xmax, ymin, ymax, zmin, zmax}): the last argument when it
// is a table; a missing or non-numeric entry gives 0. Anything else is
// ignored.
int LMP_Scene::setBounds(lua_State *L)
{
    int last = lua_gettop(L);
    MDL_Scene *scene = getScene();
    if (last == 0 || !lua_istable(L, last) || scene == nullptr)
        return 0;
    double bounds[6];
    for (int i = 0; i < 6; i++) {
        lua_rawgeti(L, last, i + 1);
        bounds[i] = lua_tonumberx(L, -1, nullptr);
        lua_pop(L, 1);
    }
    scene->setBounds(bounds[0], bounds[1], bounds[2], bounds[3], bounds[4], bounds[5]);
    return 0;
}

// setCallback(id, function or nil): ids 1 to CB_MAX; any other id has no slot
// and is ignored. The function replaced lets go of its reference.
int LMP_Scene::setCallback(lua_State *L)
{
    int id = 0;
    int reference = 0;
    if (!LMP_iCheckArgs(L, "IF", &id, &reference))
        return 0;
    LMP_iStoreCallback(L, m_aiCallbackRefs, id, reference, getScene() != nullptr);
    return 0;
}

int LMP_Scene::setFriction(lua_State *L)
{
    double value = 0;
    if (!LMP_iCheckArgs(L, "N", &value))
        return 0;
    MDL_Scene *scene = getScene();
    if (scene != nullptr)
        scene->setFriction(value);
    return 0;
}

int LMP_Scene::setElasticity(lua_State *L)
{
    double value = 0;
    if (!LMP_iCheckArgs(L, "N", &value))
        return 0;
    MDL_Scene *scene = getScene();
    if (scene != nullptr)
        scene->setElasticity(value);
    return 0;
}

int LMP_Scene::setGravity(lua_State *L)
{
    MTH_Vector3D *gravity = nullptr;
    if (!LMP_iCheckArgs(L, "V", &gravity))
        return 0;
    MDL_Scene *scene = getScene();
    if (scene != nullptr && gravity != nullptr)
        scene->setGravity(*gravity);
    return 0;
}

int LMP_Scene::setIntegrationStep(lua_State *L)
{
    double value = 0;
    if (!LMP_iCheckArgs(L, "N", &value))
        return 0;
    MDL_Scene *scene = getScene();
    if (scene != nullptr)
        scene->setIntegrationStep(value);
    return 0;
}

// setUserData(value): the value on top of the stack replaces the stored
// one; nil, or no argument at all, leaves none stored.
int LMP_Scene::setUserData(lua_State *L)
{
    if (getScene() == nullptr)
        return 0;
    if (m_iUserDataRef > 0)
        luaL_unref(L, LUA_REGISTRYINDEX, m_iUserDataRef);
    m_iUserDataRef = 0;
    if (lua_gettop(L) == 0 || lua_isnil(L, -1))
        return 0;
    lua_pushvalue(L, -1);
    int reference = luaL_ref(L, LUA_REGISTRYINDEX);
    m_iUserDataRef = reference > 0 ? reference : 0;
    return 0;
}

int LMP_Scene::getUserData(lua_State *L)
{
    if (getScene() == nullptr || m_iUserDataRef == 0)
        return 0;
    lua_rawgeti(L, LUA_REGISTRYINDEX, m_iUserDataRef);
    return 1;
}

int LMP_Scene::setActive(lua_State *L)
{
    bool active = false;
    if (!LMP_iCheckArgs(L, "B", &active))
        return 0;
    MDL_Scene *scene = getScene();
    if (scene != nullptr)
        scene->setActive(active);
    return 0;
}

int LMP_Scene::getActive(lua_State *L)
{
    MDL_Scene *scene = getScene();
    if (scene == nullptr)
        return 0;
    lua_pushboolean(L, scene->getActive());
    return 1;
}

// clang-format off
static const LMP_Method<LMP_Scene> s_aoSceneMethods[] = {
    {"clear", &LMP_Scene::clear},
    {"getBounds", &LMP_Scene::getBounds},
    {"getElasticity", &LMP_Scene::getElasticity},
    {"getFriction", &LMP_Scene::getFriction},
    {"getGravity", &LMP_Scene::getGravity},
    {"getIntegrationStep", &LMP_Scene::getIntegrationStep},
    {"getObject", &LMP_Scene::getObject},
    {"setBounds", &LMP_Scene::setBounds},
    {"setCallback", &LMP_Scene::setCallback},
    {"setFriction", &LMP_Scene::setFriction},
    {"setElasticity", &LMP_Scene::setElasticity},
    {"setGravity", &LMP_Scene::setGravity},
    {"setIntegrationStep", &LMP_Scene::setIntegrationStep},
    {"setUserData", &LMP_Scene::setUserData},
    {"getUserData", &LMP_Scene::getUserData},
    {"setActive", &LMP_Scene::setActive},
    {"getActive", &LMP_Scene::getActive},
    {nullptr, nullptr},
};
// clang-format on

const LMP_Class<LMP_Scene> LMP_Scene::binding = {"newScene", LMP_NO_TYPE_CODE, false, s_aoSceneMethods};

void LMP_registerScene(lua_State *L)
{
    LMP_Luna<LMP_Scene>::registerClass(L);
}
