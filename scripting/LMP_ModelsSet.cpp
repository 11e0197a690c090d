// The script proxy of a models set, the Lua class "newModelsSet": a set of
// the controller's list whose objects are templates for the object classes'
// constructors.
#include <lua.hpp>

#include "controller/CTRL_Generic.h"
#include "model/MDL_AnimationData.h"
#include "model/MDL_ModelsSet.h"
#include "model/MDL_Object.h"
#include "scripting/LMP_ScriptEngine.h"
#include "scripting/LMP_AnimationData.h"
#include "scripting/LMP_Binding.h"
#include "scripting/LMP_Luna.h"
#include "scripting/LMP_ResourceProxy.h"

class LMP_ModelsSet : public LMP_Proxy {
public:
    static const LMP_Class<LMP_ModelsSet> binding;

    explicit LMP_ModelsSet(MDL_ModelsSet *set) : LMP_Proxy(set)
    {
        if (set != nullptr)
            set->m_oProxyHandle.bind(this);
    }
    ~LMP_ModelsSet() override
    {
        if (getSet() != nullptr)
            LMP_forgetProxy(this, getSet()->m_oProxyHandle);
    }

    static LMP_ModelsSet *create(lua_State *L);
    MDL_ModelsSet *getSet() const { return static_cast<MDL_ModelsSet *>(m_poObject); }

    int get(lua_State *L);
    int getAnimationData(lua_State *L);
    int destroy(lua_State *L); // "delete"
    int getNames(lua_State *L);
};

// newModelsSet(name): a set of the controller's list, parsed from the
// document's models-set member of that name.
LMP_ModelsSet *LMP_ModelsSet::create(lua_State *L)
{
    const char *name = nullptr;
    if (!LMP_iCheckArgs(L, "S", &name))
        return new LMP_ModelsSet(nullptr);
    CTRL_Generic *controller = LMP_poController(L);
    if (controller == nullptr)
        return new LMP_ModelsSet(nullptr);
    MDL_ModelsSet *set = controller->addModelsSet(name);
    if (set == nullptr) {
        LMP_iReportError(L, "File %s not found", name);
        return new LMP_ModelsSet(nullptr);
    }
    return new LMP_ModelsSet(set);
}

// The proxy of the set's object of that name (case-insensitive), nil when
// there is none.
int LMP_ModelsSet::get(lua_State *L)
{
    const char *name = nullptr;
    if (!LMP_iCheckArgs(L, "S", &name))
        return 0;
    MDL_ModelsSet *set = getSet();
    if (set == nullptr)
        return 0;
    return LMP_iPushProxy(L, set->getObject(name));
}

// The proxy of the set's animation data of that name (case-insensitive);
// nothing when there is none.
int LMP_ModelsSet::getAnimationData(lua_State *L)
{
    const char *name = nullptr;
    if (!LMP_iCheckArgs(L, "S", &name))
        return 0;
    MDL_ModelsSet *set = getSet();
    if (set == nullptr)
        return 0;
    MDL_AnimationData *data = set->getAnimationData(name);
    if (data == nullptr)
        return 0;
    return LMP_Luna<LMP_AnimationData>::pushObject(L, data);
}

// Deletes a set of the controller's list with everything it owns. A set
// that is not listed stays; the proxy only lets go of it. Extra arguments
// are reported and the set goes all the same.
int LMP_ModelsSet::destroy(lua_State *L)
{
    if (lua_gettop(L) > 0)
        LMP_iCheckArgs(L, "");
    MDL_ModelsSet *set = getSet();
    CTRL_Generic *controller = LMP_poController(L);
    if (set == nullptr || controller == nullptr)
        return 0;
    LMP_unbindProxy(this, set->m_oProxyHandle);
    controller->removeModelsSet(set); // nothing for a set that is not listed
    return 0;
}

// A table of the names of the set's objects of that type code that have no
// parent, in the set's order, keys from 1 (an unnamed object leaves its entry
// nil); nothing when there is none. The names are copied by Lua, straight
// from the objects, so nothing is left to free should a push raise.
int LMP_ModelsSet::getNames(lua_State *L)
{
    int32_t type = 0;
    if (!LMP_iCheckArgs(L, "I", &type))
        return 0;
    MDL_ModelsSet *set = getSet();
    if (set == nullptr)
        return 0;
    int count = 0;
    for (int i = 0; i < set->m_oObjects.m_iCount; i++) {
        const MDL_Object *object = set->m_oObjects[i];
        if (object->m_iType == type && object->m_poParent == nullptr)
            count++;
    }
    if (count == 0)
        return 0;
    lua_createtable(L, count, 0);
    int key = 0;
    for (int i = 0; i < set->m_oObjects.m_iCount; i++) {
        const MDL_Object *object = set->m_oObjects[i];
        if (object->m_iType != type || object->m_poParent != nullptr)
            continue;
        key++;
        if (object->getName() == nullptr)
            continue;
        lua_pushstring(L, object->getName());
        lua_rawseti(L, -2, key);
    }
    return 1;
}

static const LMP_Method<LMP_ModelsSet> s_aoMethods[] = {
    {"get", &LMP_ModelsSet::get},
    {"getAnimationData", &LMP_ModelsSet::getAnimationData},
    {"delete", &LMP_ModelsSet::destroy},
    {"getNames", &LMP_ModelsSet::getNames},
    {nullptr, nullptr},
};

const LMP_Class<LMP_ModelsSet> LMP_ModelsSet::binding = {"newModelsSet", LMP_NO_TYPE_CODE, false, s_aoMethods};

void LMP_registerModelsSet(lua_State *L)
{
    LMP_Luna<LMP_ModelsSet>::registerClass(L);
}
