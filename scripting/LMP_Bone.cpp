// The script proxy of a bone, the Lua class "newBone": the 41 rows of
// "newObject", then the rest pose and the inverse kinematics of the bone's
// chain. Scripts reach bones through the object tree and the look-ups
// (models sets, getChild, getDescendant); they cannot make one.
#include <lua.hpp>

#include "controller/CTRL_Generic.h"
#include "foundation/MTH_Vector.h"
#include "model/MDL_Bone.h"
#include "model/MDL_Scene.h"
#include "scripting/LMP_Binding.h"
#include "scripting/LMP_Object.h"
#include "scripting/LMP_Registration.h"
#include "scripting/LMP_ScriptEngine.h"

class LMP_Bone : public LMP_Object {
public:
    static const LMP_Class<LMP_Bone, LMP_Object> binding;

    explicit LMP_Bone(MDL_Object *object) : LMP_Object(object) {}
    const char *getClassName() const override { return "newBone"; }

    // newBone(...): refused with a report; the proxy stands for no bone.
    static LMP_Bone *create(lua_State *L);

    // The bound bone while it is alive and not flagged deleted.
    MDL_Bone *getBone() const { return dynamic_cast<MDL_Bone *>(getLiveObject()); }

    int reset(lua_State *L);
    int movePoint(lua_State *L);
};

LMP_Bone *LMP_Bone::create(lua_State *L)
{
    LMP_iReportError(L, "Unsupported usage of a Lua constructor LMP_Bone");
    return new LMP_Bone(nullptr);
}

// Back to the rest pose; the children follow.
int LMP_Bone::reset(lua_State *)
{
    MDL_Bone *bone = getBone();
    if (bone == nullptr)
        return 0;
    bone->reset();
    return 0;
}

// movePoint(current, target): turns the bone and its bone ancestors so that
// the point current (scene coordinates) moves towards target; every bone
// turned gets its CB_MOVED callback. Nothing without a controller. A bone
// of no scene (a template of a models set) moves without callbacks: they
// could delete its set, and the bone with it, while it moves.
int LMP_Bone::movePoint(lua_State *L)
{
    CTRL_Generic *controller = LMP_poController(L);
    if (controller == nullptr)
        return 0;
    MTH_Vector3D *current = nullptr;
    MTH_Vector3D *target = nullptr;
    if (!LMP_iCheckArgs(L, "VV", &current, &target))
        return 0;
    MDL_Bone *bone = getBone();
    if (bone == nullptr)
        return 0;
    // Copies: the callbacks may change the values given.
    const MTH_Vector3D from = *current;
    const MTH_Vector3D to = *target;
    bone->movePoint(from, to, bone->getScene() != nullptr ? controller->m_poScriptEngine : nullptr);
    return 0;
}

static const LMP_Method<LMP_Bone> s_aoMethods[] = {
    {"reset", &LMP_Bone::reset},
    {"movePoint", &LMP_Bone::movePoint},
    {nullptr, nullptr},
};

const LMP_Class<LMP_Bone, LMP_Object> LMP_Bone::binding = {"newBone", OBJECT_BONE, true, s_aoMethods};

void LMP_registerBone(lua_State *L)
{
    LMP_Luna<LMP_Bone>::registerClass(L);
}
