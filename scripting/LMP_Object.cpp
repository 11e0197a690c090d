#include "scripting/LMP_Object.h"

#include <cmath>
#include <cstring>
#include <strings.h>

#include <lua.hpp>

#include "controller/CTRL_Generic.h"
#include "foundation/MTH_Frame.h"
#include "foundation/MTH_Matrix3x3.h"
#include "foundation/MTH_Vector.h"
#include "model/MDL_Object.h"
#include "model/MDL_Scene.h"
#include "scripting/LMP_ScriptEngine.h"
#include "scripting/LMP_Binding.h"
#include "scripting/LMP_Scene.h"
#include "scripting/LMP_ValueTypes.h"

static const double DEGREES_TO_RADIANS = 0.017453292519943295;
static const double HALF_PI = 1.5707963267948966;
static const double PI = 3.141592653589793;

// --- construction ---

LMP_Object::LMP_Object(MDL_Object *object) : LMP_Proxy(object), m_iUserDataRef(0)
{
    for (int i = 0; i < MDL_CB_MAX; i++)
        m_aiCallbackRefs[i] = 0;
    if (object != nullptr)
        object->m_oProxyHandle.bind(this);
}

LMP_Object::~LMP_Object()
{
    // The handle holds a reference, so a proxy it still names is not being
    // destroyed through the count; clear it all the same so that no handle
    // is left naming a dead proxy. The engine object itself stays.
    MDL_Object *object = static_cast<MDL_Object *>(m_poObject);
    if (object != nullptr && object->m_oProxyHandle.getProxy() == this)
        object->m_oProxyHandle.m_poProxy = nullptr;
}

MDL_Object *LMP_Object::getLiveObject() const
{
    MDL_Object *object = static_cast<MDL_Object *>(m_poObject);
    if (object == nullptr || object->m_bDeleted)
        return nullptr;
    return object;
}

// The scene of a "newScene" proxy at index (null once its scene is gone);
// found tells whether the value is such a proxy at all.
static MDL_Scene *sceneAt(lua_State *L, int index, bool *found)
{
    LMP_Scene *proxy = LMP_Luna<LMP_Scene>::toProxy(L, index);
    *found = proxy != nullptr;
    return proxy != nullptr ? proxy->getScene() : nullptr;
}

void LMP_Object::bindOrCreate(lua_State *L, int index, MDL_Scene **scene, MDL_Object **parent)
{
    *scene = nullptr;
    *parent = nullptr;
    LMP_Proxy *proxy = LMP_iGetObject(L, index);
    if (proxy != nullptr) {
        MDL_Object *object = static_cast<MDL_Object *>(proxy->m_poObject);
        // A parent that is gone, flagged deleted or in no scene (a models-set
        // template) gives nothing to create in.
        if (object == nullptr || object->m_bDeleted || object->getScene() == nullptr) {
            LMP_iReportError(L, "Unable to retreive Scene");
            return;
        }
        *scene = object->getScene();
        *parent = object;
        return;
    }
    bool found = false;
    MDL_Scene *s = sceneAt(L, index, &found);
    if (!found)
        LMP_iArgError(L, index, "newScene");
    if (s == nullptr)
        LMP_iReportError(L, "Unable to retreive Scene");
    *scene = s;
}

int LMP_Object::placeNewObject(lua_State *L, const char *className, MDL_Scene **scene, MDL_Object **parent)
{
    int n = lua_gettop(L);
    if (n > 2)
        LMP_iReportError(L, "Too much arguments for %s", className);
    bindOrCreate(L, 1, scene, parent);
    return n;
}

MDL_Object *LMP_Object::constructObject(lua_State *L, const char *className, MDL_Object *(*make)())
{
    MDL_Scene *scene = nullptr;
    MDL_Object *parent = nullptr;
    int n = placeNewObject(L, className, &scene, &parent);
    MDL_Object *templateObject = nullptr;
    if (n >= 2) {
        // Templates are of this very class only.
        LMP_Proxy *proxy = nullptr;
        if (lua_type(L, 2) == LUA_TUSERDATA) {
            luaL_getmetatable(L, className);
            proxy = lua_istable(L, -1) ? LMP_poProxyAt(L, 2, -1) : nullptr;
            lua_pop(L, 1);
        }
        if (proxy == nullptr)
            LMP_iArgError(L, 2, className);
        templateObject = static_cast<MDL_Object *>(proxy->m_poObject);
        if (templateObject == nullptr || templateObject->m_bDeleted)
            return nullptr; // nothing to copy
    }
    if (scene == nullptr)
        return nullptr;

    if (templateObject == nullptr)
        return addNewObject(scene, parent, make(), true);
    MDL_Object *object = scene->instantiate(templateObject);
    if (object == nullptr)
        return nullptr;
    if (parent != nullptr)
        parent->addChild(object);
    return object;
}

MDL_Object *LMP_Object::addNewObject(MDL_Scene *scene, MDL_Object *parent, MDL_Object *object, bool atParent)
{
    if (object == nullptr)
        return nullptr;
    if (!scene->addObject(object)) {
        delete object;
        return nullptr;
    }
    if (parent != nullptr) {
        if (atParent)
            object->editGlobalFrame() = parent->getGlobalFrame();
        parent->addChild(object);
    }
    return object;
}

static MDL_Object *makePlainObject()
{
    return new MDL_Object();
}

LMP_Object *LMP_Object::create(lua_State *L)
{
    MDL_Object *object = constructObject(L, binding.m_sClassName, makePlainObject);
    return new LMP_Object(object);
}

// --- helpers ---

// Whether ref is one of the three reference ids; else reported.
static bool validReference(lua_State *L, int ref)
{
    if (ref == LMP_Object::REF_SELF || ref == LMP_Object::REF_LOCAL || ref == LMP_Object::REF_GLOBAL)
        return true;
    LMP_iReportError(L, "Invalid reference ID");
    return false;
}

// Whether axis is 1 to 3; else reported.
static bool validAxis(lua_State *L, int axis)
{
    if (axis >= 1 && axis <= 3)
        return true;
    LMP_iReportError(L, "Invalid axis ID");
    return false;
}

int32_t LMP_Object::optionalReference(lua_State *L)
{
    int32_t ref = REF_GLOBAL;
    if (lua_gettop(L) > 0)
        LMP_iCheckArgs(L, "I", &ref); // a failed check keeps REF_GLOBAL
    return ref;
}

int LMP_Object::pushOwnPoint(lua_State *L, MDL_Object *object, const MTH_Vector3D &point, int32_t ref)
{
    if (!validReference(L, ref))
        return 0;
    MTH_Vector3D *out = LMP_iPushV3(L);
    *out = point;
    if (ref == REF_GLOBAL)
        object->getGlobalFrame().toGlobalPoint(*out);
    else if (ref == REF_LOCAL)
        object->getLocalFrame().toGlobalPoint(*out);
    return 1;
}

double LMP_Object::shapeParameter(double t, int mode)
{
    switch (mode) {
    case INTERPOL_SIN:
        return 0.5 - std::sin(t * PI + HALF_PI) * 0.5;
    case INTERPOL_BEGSIN:
        return 1 - std::sin(t * HALF_PI + HALF_PI);
    case INTERPOL_ENDSIN:
        return -std::sin(t * HALF_PI + PI);
    default:
        return t;
    }
}

// --- methods ---

int LMP_Object::destroy(lua_State *L)
{
    // Extra arguments are reported, and the object is removed all the same.
    if (lua_gettop(L) > 0)
        LMP_iCheckArgs(L, "");
    MDL_Object *object = getLiveObject();
    if (object == nullptr)
        return 0;
    CTRL_Generic *controller = LMP_poController(L);
    if (controller == nullptr)
        return 0;
    bool listed = false;
    MDL_Scene *scene = object->getScene();
    for (int i = 0; scene != nullptr && i < controller->m_oScenes.m_iCount && !listed; i++)
        listed = controller->m_oScenes.m_pData[i] == scene;
    if (!listed) {
        // Not the controller's to remove (a models-set template): the proxy
        // only lets go of it. The script's userdata keeps this proxy alive.
        m_poObject = nullptr;
        if (object->m_oProxyHandle.getProxy() == this)
            object->m_oProxyHandle.release();
        return 0;
    }
    m_poObject = nullptr;
    controller->removeObject(object);
    return 0;
}

int LMP_Object::getBoundingBox(lua_State *L)
{
    MDL_Object *object = getLiveObject();
    if (object == nullptr)
        return 0;
    MTH_Vector3D corners[2];
    object->getBoundingBox(corners[0], corners[1]);
    lua_createtable(L, 6, 0);
    for (int i = 0; i < 2; i++) {
        lua_pushnumber(L, corners[i].m_fX);
        lua_rawseti(L, -2, 3 * i + 1);
        lua_pushnumber(L, corners[i].m_fY);
        lua_rawseti(L, -2, 3 * i + 2);
        lua_pushnumber(L, corners[i].m_fZ);
        lua_rawseti(L, -2, 3 * i + 3);
    }
    return 1;
}

int LMP_Object::getChild(lua_State *L)
{
    const char *name = nullptr;
    if (lua_gettop(L) > 0 && !LMP_iCheckArgs(L, "S", &name))
        return 0;
    MDL_Object *object = getLiveObject();
    if (object == nullptr)
        return 0;
    MDL_Object *child = object->getFirstChild();
    if (name != nullptr)
        while (child != nullptr && (child->getName() == nullptr || strcasecmp(child->getName(), name) != 0))
            child = child->getNextSibling();
    if (child == nullptr)
        return 0;
    return LMP_iPushProxy(L, child);
}

int LMP_Object::getChildrenCount(lua_State *L)
{
    MDL_Object *object = getLiveObject();
    if (object == nullptr)
        return 0;
    int count = 0;
    for (MDL_Object *child = object->getFirstChild(); child != nullptr; child = child->getNextSibling())
        count++;
    lua_pushinteger(L, count);
    return 1;
}

int LMP_Object::getDescendant(lua_State *L)
{
    const char *name = nullptr;
    if (!LMP_iCheckArgs(L, "S", &name))
        return 0;
    MDL_Object *object = getLiveObject();
    if (object == nullptr)
        return 0;
    MDL_Object *found = object->getDescendant(name);
    if (found == nullptr)
        return 0;
    return LMP_iPushProxy(L, found);
}

int LMP_Object::getParent(lua_State *L)
{
    MDL_Object *object = getLiveObject();
    if (object == nullptr || object->getParent() == nullptr)
        return 0;
    return LMP_iPushProxy(L, object->getParent());
}

int LMP_Object::getScene(lua_State *L)
{
    MDL_Object *object = getLiveObject();
    if (object == nullptr || object->getScene() == nullptr)
        return 0;
    // Nil when the scene has no proxy.
    return LMP_Luna<LMP_Scene>::push(L, LMP_Luna<LMP_Scene>::cast(object->getScene()->m_oProxyHandle.getProxy()));
}

int LMP_Object::getPosition(lua_State *L)
{
    int32_t ref = REF_GLOBAL;
    if (lua_gettop(L) > 0)
        LMP_iCheckArgs(L, "I", &ref); // a failed check keeps REF_GLOBAL
    MDL_Object *object = getLiveObject();
    if (object == nullptr || !validReference(L, ref))
        return 0;
    MTH_Vector3D *out = LMP_iPushV3(L);
    if (ref == REF_GLOBAL)
        *out = object->getGlobalPosition();
    else if (ref == REF_LOCAL)
        *out = object->getLocalPosition();
    else
        *out = MTH_Vector3D(0, 0, 0);
    return 1;
}

int LMP_Object::getBasis(lua_State *L)
{
    int32_t ref = REF_GLOBAL;
    LMP_iCheckArgs(L, "|I", &ref);
    MDL_Object *object = getLiveObject();
    if (object == nullptr || !validReference(L, ref))
        return 0;
    MTH_Matrix3x3 *out = LMP_iPushM33(L);
    if (ref == REF_GLOBAL)
        *out = object->getGlobalBasis();
    else if (ref == REF_LOCAL)
        *out = object->getLocalBasis();
    else
        out->setIdentity();
    return 1;
}

int LMP_Object::getScale(lua_State *L)
{
    int32_t ref = REF_GLOBAL;
    if (lua_gettop(L) > 0)
        LMP_iCheckArgs(L, "I", &ref);
    MDL_Object *object = getLiveObject();
    if (object == nullptr || !validReference(L, ref))
        return 0;
    MTH_Vector3D *out = LMP_iPushV3(L);
    if (ref == REF_GLOBAL)
        object->getGlobalBasis().getRowLengths(*out);
    else if (ref == REF_LOCAL)
        object->getLocalBasis().getRowLengths(*out);
    else
        *out = MTH_Vector3D(1, 1, 1);
    return 1;
}

int LMP_Object::getSibling(lua_State *L)
{
    MDL_Object *object = getLiveObject();
    if (object == nullptr || object->getNextSibling() == nullptr)
        return 0;
    return LMP_iPushProxy(L, object->getNextSibling());
}

int LMP_Object::getUserData(lua_State *L)
{
    if (getLiveObject() == nullptr || m_iUserDataRef == 0)
        return 0;
    lua_rawgeti(L, LUA_REGISTRYINDEX, m_iUserDataRef);
    return 1;
}

int LMP_Object::getAxis(lua_State *L)
{
    int32_t axis = 0;
    int32_t ref = REF_GLOBAL;
    LMP_iCheckArgs(L, "I|I", &axis, &ref);
    MDL_Object *object = getLiveObject();
    if (object == nullptr || !validAxis(L, axis) || !validReference(L, ref))
        return 0;
    MTH_Vector3D *out = LMP_iPushV3(L);
    if (ref == REF_GLOBAL) {
        *out = object->getGlobalBasis().getRow(axis - 1);
    } else if (ref == REF_LOCAL) {
        *out = object->getLocalBasis().getRow(axis - 1);
    } else {
        *out = MTH_Vector3D(0, 0, 0);
        (axis == 1 ? out->m_fX : (axis == 2 ? out->m_fY : out->m_fZ)) = 1;
    }
    return 1;
}

int LMP_Object::rotate(lua_State *L)
{
    MTH_Vector3D *axis = nullptr;
    double angle = 0;
    int32_t ref = REF_GLOBAL;
    if (!LMP_iCheckArgs(L, "VN|I", &axis, &angle, &ref))
        return 0;
    MDL_Object *object = getLiveObject();
    if (object == nullptr || !validReference(L, ref))
        return 0;
    angle *= DEGREES_TO_RADIANS;
    if (ref == REF_GLOBAL) {
        object->editGlobalFrame().rotate(*axis, angle);
    } else {
        if (ref == REF_SELF)
            object->getLocalFrame().toGlobalDirection(*axis);
        object->editLocalFrame().rotate(*axis, angle);
    }
    return 0;
}

int LMP_Object::rotateAxis(lua_State *L)
{
    int32_t axis = 0;
    double angle = 0;
    if (!LMP_iCheckArgs(L, "IN", &axis, &angle))
        return 0;
    MDL_Object *object = getLiveObject();
    if (object == nullptr || !validAxis(L, axis))
        return 0;
    object->editLocalBasis().rotateAroundRow(axis - 1, angle * DEGREES_TO_RADIANS);
    return 0;
}

int LMP_Object::setScale(lua_State *L)
{
    MTH_Vector3D *scale = nullptr;
    int32_t ref = REF_GLOBAL;
    if (!LMP_iCheckArgs(L, "V|I", &scale, &ref))
        return 0;
    MDL_Object *object = getLiveObject();
    if (object == nullptr)
        return 0;
    if (ref == REF_GLOBAL)
        object->editGlobalBasis().setRowLengths(*scale);
    else if (ref == REF_LOCAL)
        object->editLocalBasis().setRowLengths(*scale);
    else
        LMP_iReportError(L, "Invalid reference ID");
    return 0;
}

int LMP_Object::scale(lua_State *L)
{
    MTH_Vector3D *factors = nullptr;
    if (!LMP_iCheckArgs(L, "V", &factors))
        return 0;
    MDL_Object *object = getLiveObject();
    if (object == nullptr)
        return 0;
    object->editLocalBasis().scaleRows(*factors);
    return 0;
}

int LMP_Object::setCallback(lua_State *L)
{
    int32_t id = 0;
    int function = 0;
    if (!LMP_iCheckArgs(L, "IF", &id, &function))
        return 0;
    LMP_iStoreCallback(L, m_aiCallbackRefs, id, function, getLiveObject() != nullptr);
    return 0;
}

int LMP_Object::setPosition(lua_State *L)
{
    MTH_Vector3D *position = nullptr;
    int32_t ref = REF_GLOBAL;
    if (!LMP_iCheckArgs(L, "V|I", &position, &ref))
        return 0;
    MDL_Object *object = getLiveObject();
    if (object == nullptr || !validReference(L, ref))
        return 0;
    if (ref == REF_GLOBAL) {
        object->editGlobalPosition() = *position;
    } else {
        if (ref == REF_SELF)
            object->getLocalFrame().toGlobalPoint(*position);
        object->editLocalPosition() = *position;
    }
    return 0;
}

int LMP_Object::setBasis(lua_State *L)
{
    MTH_Matrix3x3 *basis = nullptr;
    int32_t ref = REF_GLOBAL;
    if (!LMP_iCheckArgs(L, "M|I", &basis, &ref))
        return 0;
    MDL_Object *object = getLiveObject();
    if (object == nullptr || !validReference(L, ref))
        return 0;
    if (ref == REF_GLOBAL) {
        object->editGlobalBasis() = *basis;
    } else {
        if (ref == REF_SELF)
            for (int i = 0; i < 3; i++)
                object->getLocalFrame().toGlobalDirection(basis->row(i));
        object->editLocalBasis() = *basis;
    }
    return 0;
}

int LMP_Object::setUserData(lua_State *L)
{
    // The value is the last argument; without one there is nothing to store.
    if (lua_gettop(L) == 0) {
        LMP_iReportError(L, "Not enough arguments, <?> argument(s) expected");
        return 0;
    }
    if (getLiveObject() == nullptr)
        return 0;
    if (m_iUserDataRef != 0)
        luaL_unref(L, LUA_REGISTRYINDEX, m_iUserDataRef);
    m_iUserDataRef = luaL_ref(L, LUA_REGISTRYINDEX);
    return 0;
}

int LMP_Object::translate(lua_State *L)
{
    MTH_Vector3D *offset = nullptr;
    int32_t ref = REF_GLOBAL;
    if (!LMP_iCheckArgs(L, "V|I", &offset, &ref))
        return 0;
    MDL_Object *object = getLiveObject();
    if (object == nullptr || !validReference(L, ref))
        return 0;
    if (ref == REF_GLOBAL) {
        object->editGlobalPosition() += *offset;
    } else {
        if (ref == REF_SELF)
            object->getLocalFrame().toGlobalDirection(*offset);
        object->editLocalPosition() += *offset;
    }
    return 0;
}

int LMP_Object::interpolateBasis(lua_State *L)
{
    MTH_Matrix3x3 *a = nullptr;
    MTH_Matrix3x3 *b = nullptr;
    double t = 0;
    int32_t mode = INTERPOL_LINEAR;
    int32_t ref = REF_GLOBAL;
    if (!LMP_iCheckArgs(L, "MMN|II", &a, &b, &t, &mode, &ref))
        return 0;
    MDL_Object *object = getLiveObject();
    if (object == nullptr || !validReference(L, ref))
        return 0;
    t = shapeParameter(t, mode);
    if (ref == REF_GLOBAL) {
        MTH_Matrix3x3 &basis = object->editGlobalBasis();
        MTH_Matrix3x3::slerp(basis, *a, *b, t);
    } else {
        if (ref == REF_SELF) {
            const MTH_Frame &local = object->getLocalFrame();
            for (int i = 0; i < 3; i++) {
                local.toGlobalDirection(a->row(i));
                if (b != a)
                    local.toGlobalDirection(b->row(i));
            }
        }
        MTH_Matrix3x3 &basis = object->editLocalBasis();
        MTH_Matrix3x3::slerp(basis, *a, *b, t);
    }
    return 0;
}

int LMP_Object::interpolatePosition(lua_State *L)
{
    MTH_Vector3D *a = nullptr;
    MTH_Vector3D *b = nullptr;
    double t = 0;
    int32_t mode = INTERPOL_LINEAR;
    int32_t ref = REF_GLOBAL;
    if (!LMP_iCheckArgs(L, "VVN|II", &a, &b, &t, &mode, &ref))
        return 0;
    MDL_Object *object = getLiveObject();
    if (object == nullptr || !validReference(L, ref))
        return 0;
    t = shapeParameter(t, mode);
    if (ref == REF_SELF) {
        const MTH_Frame &local = object->getLocalFrame();
        local.toGlobalDirection(*a);
        if (b != a)
            local.toGlobalDirection(*b);
    }
    MTH_Vector3D position = *b * t + *a * (1 - t);
    if (ref == REF_GLOBAL)
        object->editGlobalPosition() = position;
    else
        object->editLocalPosition() = position;
    return 0;
}

// The four conversions between the object's frame and the scene: a v3
// argument mapped by one of the global frame's operations into a new v3.
int LMP_Object::mapThroughGlobalFrame(lua_State *L, void (MTH_Frame::*map)(const MTH_Vector3D &, MTH_Vector3D &) const)
{
    MTH_Vector3D *v = nullptr;
    if (!LMP_iCheckArgs(L, "V", &v))
        return 0;
    MDL_Object *object = getLiveObject();
    if (object == nullptr)
        return 0;
    MTH_Vector3D in = *v;
    (object->getGlobalFrame().*map)(in, *LMP_iPushV3(L));
    return 1;
}

int LMP_Object::localToGlobalPoint(lua_State *L)
{
    return mapThroughGlobalFrame(L, &MTH_Frame::globalPoint);
}

int LMP_Object::localToGlobalVector(lua_State *L)
{
    return mapThroughGlobalFrame(L, &MTH_Frame::globalDirection);
}

int LMP_Object::globalToLocalPoint(lua_State *L)
{
    return mapThroughGlobalFrame(L, &MTH_Frame::localPoint);
}

int LMP_Object::globalToLocalVector(lua_State *L)
{
    return mapThroughGlobalFrame(L, &MTH_Frame::localDirection);
}

int LMP_Object::setMaxMouseMove(lua_State *L)
{
    double distance = 0;
    int32_t scope = SCOPE_RECURSE;
    if (!LMP_iCheckArgs(L, "N|I", &distance, &scope))
        return 0;
    MDL_Object *object = getLiveObject();
    if (object == nullptr)
        return 0;
    object->setMaxMouseMove(distance, scope);
    return 0;
}

int LMP_Object::getType(lua_State *L)
{
    MDL_Object *object = getLiveObject();
    if (object == nullptr)
        return 0;
    lua_pushinteger(L, object->getType());
    return 1;
}

int LMP_Object::getName(lua_State *L)
{
    MDL_Object *object = getLiveObject();
    if (object == nullptr || object->getName() == nullptr)
        return 0;
    lua_pushstring(L, object->getName());
    return 1;
}

int LMP_Object::setName(lua_State *L)
{
    const char *name = nullptr;
    if (!LMP_iCheckArgs(L, "S", &name)) {
        MDL_Object *object = getLiveObject();
        if (object == nullptr)
            return 0;
        if (lua_type(L, 1) == LUA_TNIL)
            object->setName(nullptr);
        else
            LMP_iReportError(L, "Wrong usage of setName");
        return 0;
    }
    MDL_Object *object = getLiveObject();
    if (object == nullptr)
        return 0;
    object->setName(name);
    return 0;
}

int LMP_Object::exist(lua_State *L)
{
    lua_pushboolean(L, getLiveObject() != nullptr);
    return 1;
}

int LMP_Object::getState(lua_State *L)
{
    MDL_Object *object = getLiveObject();
    if (object == nullptr)
        return 0;
    lua_pushinteger(L, object->getState());
    return 1;
}

int LMP_Object::setState(lua_State *L)
{
    int32_t bits = 0;
    int32_t scope = SCOPE_RECURSE;
    if (!LMP_iCheckArgs(L, "I|I", &bits, &scope))
        return 0;
    MDL_Object *object = getLiveObject();
    if (object == nullptr)
        return 0;
    object->setState(bits, scope);
    return 0;
}

int LMP_Object::hasState(lua_State *L)
{
    int32_t mask = 0;
    if (!LMP_iCheckArgs(L, "I", &mask))
        return 0;
    MDL_Object *object = getLiveObject();
    if (object == nullptr)
        return 0;
    lua_pushboolean(L, object->hasState(mask));
    return 1;
}

int LMP_Object::enableState(lua_State *L)
{
    int32_t bits = 0;
    int32_t scope = SCOPE_RECURSE;
    if (!LMP_iCheckArgs(L, "I|I", &bits, &scope))
        return 0;
    MDL_Object *object = getLiveObject();
    if (object == nullptr)
        return 0;
    object->enableState(bits, scope);
    return 0;
}

int LMP_Object::disableState(lua_State *L)
{
    int32_t bits = 0;
    int32_t scope = SCOPE_RECURSE;
    if (!LMP_iCheckArgs(L, "I|I", &bits, &scope))
        return 0;
    MDL_Object *object = getLiveObject();
    if (object == nullptr)
        return 0;
    object->disableState(bits, scope);
    return 0;
}

int LMP_Object::toggleState(lua_State *L)
{
    int32_t bits = 0;
    int32_t scope = SCOPE_RECURSE;
    if (!LMP_iCheckArgs(L, "I|I", &bits, &scope))
        return 0;
    MDL_Object *object = getLiveObject();
    if (object == nullptr)
        return 0;
    object->toggleState(bits, scope);
    return 0;
}

// The live object of the last argument when it is an object proxy, else
// null (also when there are no arguments).
static MDL_Object *lastObjectArgument(lua_State *L)
{
    if (lua_gettop(L) == 0)
        return nullptr;
    LMP_Proxy *proxy = LMP_iGetObject(L, lua_gettop(L));
    if (proxy == nullptr)
        return nullptr;
    MDL_Object *object = static_cast<MDL_Object *>(proxy->m_poObject);
    if (object == nullptr || object->m_bDeleted)
        return nullptr;
    return object;
}

int LMP_Object::setParent(lua_State *L)
{
    MDL_Object *object = getLiveObject();
    if (object == nullptr)
        return 0;
    MDL_Object *parent = lastObjectArgument(L);
    if (parent != nullptr && (!parent->canAdopt(object) || parent->getScene() != object->getScene())) {
        // Itself, one of its descendants, or an object of another scene: a
        // link that would break the tree or cross scenes is refused.
        LMP_iReportError(L, "Invalid parent");
        return 0;
    }
    object->unlinkFromParent();
    if (parent != nullptr)
        parent->addChild(object);
    else
        object->setParent(nullptr);
    return 0;
}

int LMP_Object::isDescendant(lua_State *L)
{
    MDL_Object *object = getLiveObject();
    if (object == nullptr)
        return 0;
    MDL_Object *other = lastObjectArgument(L);
    lua_pushboolean(L, other != nullptr && object->isDescendantOf(other));
    return 1;
}

// --- events ---

int LMP_Object::handleCallback(UTIL_EventHost *host, int code, va_list args)
{
    if (code < 1 || code > MDL_CB_MAX)
        return 0;
    int function = m_aiCallbackRefs[code - 1];
    if (function == 0)
        return 0;
    LMP_ScriptEngine *engine = LMP_ScriptEngine::of(host);
    if (engine == nullptr)
        return 0;
    lua_State *L = engine->m_poLuaState;
    MDL_Object *object = static_cast<MDL_Object *>(m_poObject);
    if (L == nullptr || object == nullptr || !lua_checkstack(L, 8))
        return 0;
    int top = lua_gettop(L);
    if (code == MDL_CB_MOUSE_DOWN || code == MDL_CB_MOUSE_UP || code == MDL_CB_MOUSE_CLICK) {
        const MDL_PickEvent event = MDL_PickEvent::read(args);
        bool ok = engine->pcallPushed(
            [function, object, &event](lua_State *L) {
                lua_rawgeti(L, LUA_REGISTRYINDEX, function);
                if (LMP_iPushProxy(L, object) == 0)
                    lua_pushnil(L);
                if (event.m_poPicked == nullptr || LMP_iPushProxy(L, event.m_poPicked) == 0)
                    lua_pushnil(L);
                *LMP_iPushV3(L) = event.m_oPoint;
                return 4;
            },
            0);
        lua_settop(L, top);
        return ok ? 1 : 0;
    }
    if (code == MDL_CB_MOVED) {
        bool ok = engine->pcallPushed(
            [function, object](lua_State *L) {
                lua_rawgeti(L, LUA_REGISTRYINDEX, function);
                if (LMP_iPushProxy(L, object) == 0)
                    lua_pushnil(L);
                return 2;
            },
            0);
        lua_settop(L, top);
        return ok ? 1 : 0;
    }
    // The report reads the calling script's position: there is none here.
    LMP_iReportError(L, "Unhandled object callback");
    return 0;
}

// --- the class ---

static const LMP_Method<LMP_Object> s_aoMethods[] = {
    {"delete", &LMP_Object::destroy},
    {"getBoundingBox", &LMP_Object::getBoundingBox},
    {"getChild", &LMP_Object::getChild},
    {"getChildrenCount", &LMP_Object::getChildrenCount},
    {"getDescendant", &LMP_Object::getDescendant},
    {"getParent", &LMP_Object::getParent},
    {"getScene", &LMP_Object::getScene},
    {"getPosition", &LMP_Object::getPosition},
    {"getBasis", &LMP_Object::getBasis},
    {"getScale", &LMP_Object::getScale},
    {"getSibling", &LMP_Object::getSibling},
    {"getUserData", &LMP_Object::getUserData},
    {"getAxis", &LMP_Object::getAxis},
    {"rotate", &LMP_Object::rotate},
    {"rotateAxis", &LMP_Object::rotateAxis},
    {"setScale", &LMP_Object::setScale},
    {"scale", &LMP_Object::scale},
    {"setCallback", &LMP_Object::setCallback},
    {"setPosition", &LMP_Object::setPosition},
    {"setBasis", &LMP_Object::setBasis},
    {"setUserData", &LMP_Object::setUserData},
    {"translate", &LMP_Object::translate},
    {"interpolateBasis", &LMP_Object::interpolateBasis},
    {"interpolatePosition", &LMP_Object::interpolatePosition},
    {"localToGlobalPoint", &LMP_Object::localToGlobalPoint},
    {"localToGlobalVector", &LMP_Object::localToGlobalVector},
    {"globalToLocalPoint", &LMP_Object::globalToLocalPoint},
    {"globalToLocalVector", &LMP_Object::globalToLocalVector},
    {"setMaxMouseMove", &LMP_Object::setMaxMouseMove},
    {"getType", &LMP_Object::getType},
    {"getName", &LMP_Object::getName},
    {"setName", &LMP_Object::setName},
    {"exist", &LMP_Object::exist},
    {"getState", &LMP_Object::getState},
    {"setState", &LMP_Object::setState},
    {"hasState", &LMP_Object::hasState},
    {"enableState", &LMP_Object::enableState},
    {"disableState", &LMP_Object::disableState},
    {"toggleState", &LMP_Object::toggleState},
    {"setParent", &LMP_Object::setParent},
    {"isDescendant", &LMP_Object::isDescendant},
    {nullptr, nullptr},
};

const LMP_Class<LMP_Object> LMP_Object::binding = {"newObject", OBJECT_NONE, true, s_aoMethods};

void LMP_registerObject(lua_State *L)
{
    LMP_Luna<LMP_Object>::registerClass(L);
}
