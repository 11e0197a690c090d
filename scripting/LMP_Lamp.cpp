// The script class "newLamp": a lamp in a scene. Its rows so far are the 41
// of "newObject"; the lamp's own methods come with their binding.
#include "model/MDL_Lamp.h"
#include "scripting/LMP_Object.h"
#include "scripting/LMP_Registration.h"

class LMP_Lamp : public LMP_Object {
public:
    static const LMP_Class<LMP_Lamp, LMP_Object> binding;

    explicit LMP_Lamp(MDL_Object *object) : LMP_Object(object) {}
    const char *getClassName() const override { return "newLamp"; }

    // newLamp(scene | object [, template]): a new lamp, or a copy of a
    // template lamp of a models set.
    // The object is made first: its checks may raise, and nothing may be
    // allocated then.
    static LMP_Lamp *create(lua_State *L)
    {
        MDL_Object *object = constructObject(L, "newLamp", make);
        return new LMP_Lamp(object);
    }

private:
    static MDL_Object *make() { return new MDL_Lamp(); }
};

static const LMP_Method<LMP_Lamp> s_aoMethods[] = {{nullptr, nullptr}};

const LMP_Class<LMP_Lamp, LMP_Object> LMP_Lamp::binding = {"newLamp", OBJECT_LAMP, true, s_aoMethods};

void LMP_registerLamp(lua_State *L)
{
    LMP_Luna<LMP_Lamp>::registerClass(L);
}
