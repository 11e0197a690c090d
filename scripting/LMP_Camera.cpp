// The script class "newCamera": a camera in a scene. Its rows so far are the 41
// of "newObject"; the camera's own methods come with their binding.
#include "model/MDL_Camera.h"
#include "scripting/LMP_Object.h"
#include "scripting/LMP_Registration.h"

class LMP_Camera : public LMP_Object {
public:
    static const LMP_Class<LMP_Camera, LMP_Object> binding;

    explicit LMP_Camera(MDL_Object *object) : LMP_Object(object) {}
    const char *getClassName() const override { return "newCamera"; }

    // newCamera(scene | object [, template]): a new camera, or a copy of a
    // template camera of a models set.
    // The object is made first: its checks may raise, and nothing may be
    // allocated then.
    static LMP_Camera *create(lua_State *L)
    {
        MDL_Object *object = constructObject(L, "newCamera", make);
        return new LMP_Camera(object);
    }

private:
    static MDL_Object *make() { return new MDL_Camera(); }
};

static const LMP_Method<LMP_Camera> s_aoMethods[] = {{nullptr, nullptr}};

const LMP_Class<LMP_Camera, LMP_Object> LMP_Camera::binding = {"newCamera", OBJECT_CAMERA, true, s_aoMethods};

void LMP_registerCamera(lua_State *L)
{
    LMP_Luna<LMP_Camera>::registerClass(L);
}
