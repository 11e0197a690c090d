// The script proxy of a microphone, the Lua class "newMike": the 41 rows of
// "newObject", then the microphone's on flag and gain. A viewport hears its
// scene through its microphone (viewport:setMike).
#include <lua.hpp>

#include "model/MDL_Mike.h"
#include "scripting/LMP_Binding.h"
#include "scripting/LMP_Object.h"
#include "scripting/LMP_Registration.h"

class LMP_Mike : public LMP_Object {
public:
    static const LMP_Class<LMP_Mike, LMP_Object> binding;

    explicit LMP_Mike(MDL_Object *object) : LMP_Object(object) {}
    const char *getClassName() const override { return "newMike"; }

    // newMike(scene | object [, template]): a new microphone (gain 1, on);
    // with an object it takes the object's placement and becomes its child.
    static LMP_Mike *create(lua_State *L);

    // The bound microphone while it is alive and not flagged deleted.
    MDL_Mike *getMike() const { return dynamic_cast<MDL_Mike *>(getLiveObject()); }

    int getOn(lua_State *L);
    int getGain(lua_State *L);
    int setOn(lua_State *L);
    int setGain(lua_State *L);
};

static MDL_Object *makeMike()
{
    return new MDL_Mike();
}

// The object is made first: its checks may raise, and nothing may be
// allocated then.
LMP_Mike *LMP_Mike::create(lua_State *L)
{
    MDL_Object *object = constructObject(L, binding.m_sClassName, makeMike);
    return new LMP_Mike(object);
}

int LMP_Mike::getOn(lua_State *L)
{
    MDL_Mike *mike = getMike();
    if (mike == nullptr)
        return 0;
    lua_pushboolean(L, mike->m_bOn);
    return 1;
}

int LMP_Mike::getGain(lua_State *L)
{
    MDL_Mike *mike = getMike();
    if (mike == nullptr)
        return 0;
    lua_pushnumber(L, mike->m_fGain);
    return 1;
}

// A microphone that is off hears nothing.
int LMP_Mike::setOn(lua_State *L)
{
    bool on = false;
    if (!LMP_iCheckArgs(L, "B", &on))
        return 0;
    MDL_Mike *mike = getMike();
    if (mike == nullptr)
        return 0;
    mike->m_bOn = on;
    return 0;
}

// Any number is kept: the mixer multiplies what the microphone hears by it.
int LMP_Mike::setGain(lua_State *L)
{
    double gain = 0;
    if (!LMP_iCheckArgs(L, "N", &gain))
        return 0;
    MDL_Mike *mike = getMike();
    if (mike == nullptr)
        return 0;
    mike->m_fGain = gain;
    return 0;
}

static const LMP_Method<LMP_Mike> s_aoMethods[] = {
    {"getOn", &LMP_Mike::getOn}, {"getGain", &LMP_Mike::getGain},
    {"setOn", &LMP_Mike::setOn}, {"setGain", &LMP_Mike::setGain},
    {nullptr, nullptr},
};

const LMP_Class<LMP_Mike, LMP_Object> LMP_Mike::binding = {"newMike", OBJECT_MIKE, true, s_aoMethods};

void LMP_registerMike(lua_State *L)
{
    LMP_Luna<LMP_Mike>::registerClass(L);
}
