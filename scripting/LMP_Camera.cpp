// The script proxy of a camera, the Lua class "newCamera": the 41 rows of
// "newObject", then the field of view (in degrees; the camera keeps it in
// radians) and the clip distances.
#include <lua.hpp>

#include "model/MDL_Camera.h"
#include "scripting/LMP_Binding.h"
#include "scripting/LMP_Object.h"
#include "scripting/LMP_Registration.h"

static const double DEGREES_TO_RADIANS = 0.017453292519943295;

class LMP_Camera : public LMP_Object {
public:
    static const LMP_Class<LMP_Camera, LMP_Object> binding;

    explicit LMP_Camera(MDL_Object *object) : LMP_Object(object) {}
    const char *getClassName() const override { return "newCamera"; }

    // newCamera(scene | object [, template]): a new camera, or a copy of a
    // template camera of a models set.
    static LMP_Camera *create(lua_State *L);

    // The bound camera while it is alive and not flagged deleted.
    MDL_Camera *getCamera() const { return dynamic_cast<MDL_Camera *>(getLiveObject()); }

    int getFOV(lua_State *L);
    int getFarZ(lua_State *L);
    int getNearZ(lua_State *L);
    int setFOV(lua_State *L);
    int setFarZ(lua_State *L);
    int setNearZ(lua_State *L);
};

static MDL_Object *makeCamera()
{
    return new MDL_Camera();
}

// The object is made first: its checks may raise, and nothing may be
// allocated then.
LMP_Camera *LMP_Camera::create(lua_State *L)
{
    MDL_Object *object = constructObject(L, binding.m_sClassName, makeCamera);
    return new LMP_Camera(object);
}

int LMP_Camera::getFOV(lua_State *L)
{
    MDL_Camera *camera = getCamera();
    if (camera == nullptr)
        return 0;
    lua_pushnumber(L, camera->m_fAngle / DEGREES_TO_RADIANS);
    return 1;
}

int LMP_Camera::getFarZ(lua_State *L)
{
    MDL_Camera *camera = getCamera();
    if (camera == nullptr)
        return 0;
    lua_pushnumber(L, camera->m_fClipEnd);
    return 1;
}

int LMP_Camera::getNearZ(lua_State *L)
{
    MDL_Camera *camera = getCamera();
    if (camera == nullptr)
        return 0;
    lua_pushnumber(L, camera->m_fClipStart);
    return 1;
}

// In degrees. Only an angle above 0 and below 180 gives an image: any other
// (not a number among them) leaves the camera as it was.
int LMP_Camera::setFOV(lua_State *L)
{
    double degrees = 0;
    if (!LMP_iCheckArgs(L, "N", &degrees) || !(degrees > 0 && degrees < 180))
        return 0;
    MDL_Camera *camera = getCamera();
    if (camera == nullptr)
        return 0;
    camera->setFOV(degrees * DEGREES_TO_RADIANS);
    return 0;
}

int LMP_Camera::setFarZ(lua_State *L)
{
    double distance = 0;
    if (!LMP_iCheckArgs(L, "N", &distance))
        return 0;
    MDL_Camera *camera = getCamera();
    if (camera == nullptr)
        return 0;
    camera->m_fClipEnd = distance;
    return 0;
}

int LMP_Camera::setNearZ(lua_State *L)
{
    double distance = 0;
    if (!LMP_iCheckArgs(L, "N", &distance))
        return 0;
    MDL_Camera *camera = getCamera();
    if (camera == nullptr)
        return 0;
    camera->m_fClipStart = distance;
    return 0;
}

static const LMP_Method<LMP_Camera> s_aoMethods[] = {
    {"getFOV", &LMP_Camera::getFOV},
    {"getFarZ", &LMP_Camera::getFarZ},
    {"getNearZ", &LMP_Camera::getNearZ},
    {"setFOV", &LMP_Camera::setFOV},
    {"setFarZ", &LMP_Camera::setFarZ},
    {"setNearZ", &LMP_Camera::setNearZ},
    {nullptr, nullptr},
};

const LMP_Class<LMP_Camera, LMP_Object> LMP_Camera::binding = {"newCamera", OBJECT_CAMERA, true, s_aoMethods};

void LMP_registerCamera(lua_State *L)
{
    LMP_Luna<LMP_Camera>::registerClass(L);
}
