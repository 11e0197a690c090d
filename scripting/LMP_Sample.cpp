#include "scripting/LMP_Sample.h"

#include <lua.hpp>

#include "controller/CTRL_Generic.h"
#include "model/MDL_Sample.h"
#include "scripting/LMP_ScriptEngine.h"
#include "scripting/LMP_Binding.h"
#include "scripting/LMP_ResourceProxy.h"

LMP_Sample::LMP_Sample(MDL_Sample *sample) : LMP_Proxy(sample)
{
    if (sample != nullptr)
        sample->m_oProxyHandle.bind(this);
}

LMP_Sample::~LMP_Sample()
{
    MDL_Sample *sample = getSample();
    if (sample != nullptr)
        LMP_forgetProxy(this, sample->m_oProxyHandle);
}

// newSample(name): a sample of the controller's list, decoded from the
// document's Ogg Vorbis member of that name.
LMP_Sample *LMP_Sample::create(lua_State *L)
{
    const char *name = nullptr;
    if (!LMP_iCheckArgs(L, "S", &name))
        return new LMP_Sample(nullptr);
    CTRL_Generic *controller = LMP_poController(L);
    if (controller == nullptr)
        return new LMP_Sample(nullptr);
    MDL_Sample *sample = controller->addSample(name);
    if (sample == nullptr) {
        LMP_iReportError(L, "File %s not found", name);
        return new LMP_Sample(nullptr);
    }
    return new LMP_Sample(sample);
}

MDL_Sample *LMP_Sample::checkSample(lua_State *L, int index)
{
    LMP_Proxy *proxy = nullptr;
    if (lua_type(L, index) == LUA_TUSERDATA) {
        index = lua_absindex(L, index);
        luaL_getmetatable(L, binding.m_sClassName);
        proxy = lua_istable(L, -1) ? LMP_poProxyAt(L, index, -1) : nullptr;
        lua_pop(L, 1);
    }
    LMP_Sample *sample = LMP_Luna<LMP_Sample>::cast(proxy);
    if (sample == nullptr) {
        LMP_iArgError(L, index, binding.m_sClassName); // raises
        return nullptr;
    }
    return sample->getSample();
}

// Deletes a sample of the controller's list (its sounds fall silent). A
// sample that is not listed (a movie's own audio) stays; the proxy only lets
// go of it. Extra arguments are reported and the sample goes all the same.
int LMP_Sample::destroy(lua_State *L)
{
    if (lua_gettop(L) > 0)
        LMP_iCheckArgs(L, "");
    MDL_Sample *sample = getSample();
    CTRL_Generic *controller = LMP_poController(L);
    if (sample == nullptr || controller == nullptr)
        return 0;
    LMP_unbindProxy(this, sample->m_oProxyHandle);
    controller->removeSample(sample); // nothing for a sample that is not listed
    return 0;
}

static const LMP_Method<LMP_Sample> s_aoMethods[] = {
    {"delete", &LMP_Sample::destroy},
    {nullptr, nullptr},
};

const LMP_Class<LMP_Sample> LMP_Sample::binding = {"newSample", LMP_NO_TYPE_CODE, false, s_aoMethods};

void LMP_registerSample(lua_State *L)
{
    LMP_Luna<LMP_Sample>::registerClass(L);
}
