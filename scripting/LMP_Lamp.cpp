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
    static LMP_Lamp *create(lua_State *L) { return new LMP_Lamp(constructObject(L, "newLamp", make)); }

private:
    static MDL_Object *make() { return new MDL_Lamp(); }
};

static const LMP_Method<LMP_Lamp> s_aoMethods[] = {{nullptr, nullptr}};

const LMP_Class<LMP_Lamp, LMP_Object> LMP_Lamp::binding = {"newLamp", OBJECT_LAMP, true, s_aoMethods};

void LMP_registerLamp(lua_State *L)
{
    LMP_Luna<LMP_Lamp>::registerClass(L);
}
