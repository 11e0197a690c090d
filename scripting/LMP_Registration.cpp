// The registration steps: the list of bound classes and the value types. The
// constants and object type codes live in LMP_Constants.cpp, the global
// functions in LMP_Globals.cpp.
#include "scripting/LMP_Registration.h"

#include <lua.hpp>

#include "scripting/LMP_ValueTypes.h"

// --- the bound classes ---

// Each class binding file ends with its registration function (declared in
// LMP_Registration.h) and gets one row here, in this order: Scene, Viewport,
// Object, Mesh, AnimatedMesh, RigidBody, Sound, Text, Lamp, Camera, Mike,
// Image, Polyline, Texture, Sample, Bone, Stream, Font, ModelsSet, Material,
// Spring, Joint, CollisionVolume, AnimationData, Animation, Locator. That is
// all a new class needs: the object look-up by type code and the object
// argument test read the class's binding data.
static const LMP_RegistrationStep s_apfnClassSteps[] = {
    LMP_registerScene,
    LMP_registerViewport,
    LMP_registerObject,
    LMP_registerMesh,
    LMP_registerAnimatedMesh,
    LMP_registerRigidBody,
    LMP_registerSound,
    LMP_registerText,
    LMP_registerLamp,
    LMP_registerCamera,
    LMP_registerMike,
    LMP_registerImage,
    LMP_registerPolyline,
    LMP_registerTexture,
    LMP_registerSample,
    LMP_registerBone,
    LMP_registerStream,
    LMP_registerFont,
    LMP_registerModelsSet,
    LMP_registerMaterial,
    LMP_registerSpring,
    LMP_registerJoint,
    LMP_registerCollisionVolume,
    LMP_registerAnimationData,
    LMP_registerAnimation,
    LMP_registerLocator,
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
