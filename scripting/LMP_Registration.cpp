// The registration steps: the list of bound classes, the value types, and
// stand-ins for the steps whose bindings do not exist yet (each registers
// nothing). A binding that defines one of these functions in its own file
// removes the stand-in here.
#include "scripting/LMP_Registration.h"

#include <lua.hpp>

#include "scripting/LMP_ValueTypes.h"

void LMP_registerConstants(lua_State *) {}

void LMP_registerGlobalFunctions(lua_State *) {}

void LMP_registerObjectTypes(lua_State *) {}

// --- the bound classes ---

// Each class binding file ends with its registration function (declared in
// LMP_Registration.h) and gets one row here, in this order: Scene, Viewport,
// Object, Mesh, AnimatedMesh, RigidBody, Sound, Text, Lamp, Camera, Mike,
// Image, Polyline, Texture, Sample, Bone, Stream, Font, ModelsSet, Material,
// Spring, Joint, CollisionVolume, AnimationData, Animation, Locator.
static const LMP_RegistrationStep s_apfnClassSteps[] = {
    nullptr, // end of the list
};

void LMP_registerClasses(lua_State *L)
{
    for (const LMP_RegistrationStep *step = s_apfnClassSteps; *step != nullptr; step++)
        (*step)(L);
}

// --- the value types ---

void LMP_registerValueTypes(lua_State *L)
{
    LMP_iRegisterV3(L);
    LMP_iRegisterV2(L);
    LMP_iRegisterColor(L);
    LMP_iRegisterM33(L);
}
