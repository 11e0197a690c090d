// The script proxy of a locator, the Lua class "newLocator": a plain
// placeable object (a named point, or a parent that moves a group), used
// through the 41 rows of "newObject" alone.
#include "model/MDL_Locator.h"
#include "scripting/LMP_Object.h"
#include "scripting/LMP_Registration.h"

class LMP_Locator : public LMP_Object {
public:
    static const LMP_Class<LMP_Locator, LMP_Object> binding;

    explicit LMP_Locator(MDL_Object *object) : LMP_Object(object) {}
    const char *getClassName() const override { return "newLocator"; }

    // newLocator(scene | object [, template]): a new locator, or a copy of a
    // template locator of a models set.
    static LMP_Locator *create(lua_State *L);
};

static MDL_Object *makeLocator()
{
    return new MDL_Locator();
}

// The object is made first: its checks may raise, and nothing may be
// allocated then.
LMP_Locator *LMP_Locator::create(lua_State *L)
{
    MDL_Object *object = constructObject(L, binding.m_sClassName, makeLocator);
    return new LMP_Locator(object);
}

static const LMP_Method<LMP_Locator> s_aoMethods[] = {{nullptr, nullptr}};

const LMP_Class<LMP_Locator, LMP_Object> LMP_Locator::binding = {"newLocator", OBJECT_LOCATOR, true, s_aoMethods};

void LMP_registerLocator(lua_State *L)
{
    LMP_Luna<LMP_Locator>::registerClass(L);
}
