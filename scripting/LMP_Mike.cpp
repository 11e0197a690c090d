// The script class "newMike": a microphone in a scene, through which a
// viewport hears it (viewport:setMike). Its rows so far are the 41 of
// "newObject"; the microphone's own methods come with their binding.
#include "model/MDL_Mike.h"
#include "scripting/LMP_Object.h"
#include "scripting/LMP_Registration.h"

class LMP_Mike : public LMP_Object {
public:
    static const LMP_Class<LMP_Mike, LMP_Object> binding;

    explicit LMP_Mike(MDL_Object *object) : LMP_Object(object) {}
    const char *getClassName() const override { return "newMike"; }

    // newMike(scene | object [, template]): a new microphone (gain 1, on);
    // with an object it takes the object's placement and becomes its child.
    // The object is made first: its checks may raise, and nothing may be
    // allocated then.
    static LMP_Mike *create(lua_State *L)
    {
        MDL_Object *object = constructObject(L, "newMike", make);
        return new LMP_Mike(object);
    }

private:
    static MDL_Object *make() { return new MDL_Mike(); }
};

static const LMP_Method<LMP_Mike> s_aoMethods[] = {{nullptr, nullptr}};

const LMP_Class<LMP_Mike, LMP_Object> LMP_Mike::binding = {"newMike", OBJECT_MIKE, true, s_aoMethods};

void LMP_registerMike(lua_State *L)
{
    LMP_Luna<LMP_Mike>::registerClass(L);
}
