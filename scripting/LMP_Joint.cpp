// The script class "newJoint": a joint of a scene between two rigid bodies,
// or a body and the world (the JOINT_ kinds). Joints stay in their scene; no
// method removes one.
#include <lua.hpp>

#include "model/MDL_Joint.h"
#include "model/MDL_RigidBody.h"
#include "model/MDL_Scene.h"
#include "scripting/LMP_Binding.h"
#include "scripting/LMP_BodyLink.h"
#include "scripting/LMP_Luna.h"
#include "scripting/LMP_Object.h"
#include "scripting/LMP_Registration.h"
#include "scripting/LMP_ResourceProxy.h"

class LMP_Joint : public LMP_Proxy {
public:
    static const LMP_Class<LMP_Joint> binding;

    explicit LMP_Joint(MDL_Joint *joint) : LMP_Proxy(joint)
    {
        if (joint != nullptr)
            joint->m_oProxyHandle.bind(this);
    }
    // The joint itself stays in its scene.
    ~LMP_Joint() override
    {
        if (getJoint() != nullptr)
            LMP_forgetProxy(this, getJoint()->m_oProxyHandle);
    }

    static LMP_Joint *create(lua_State *L);
    MDL_Joint *getJoint() const { return static_cast<MDL_Joint *>(m_poObject); }

    int getAxisA(lua_State *L) { return get(L, true, true); }
    int getAxisB(lua_State *L) { return get(L, false, true); }
    int getPointA(lua_State *L) { return get(L, true, false); }
    int getPointB(lua_State *L) { return get(L, false, false); }
    int setAxisA(lua_State *L) { return set(L, true, true); }
    int setAxisB(lua_State *L) { return set(L, false, true); }
    int setPointA(lua_State *L) { return set(L, true, false); }
    int setPointB(lua_State *L) { return set(L, false, false); }

private:
    // The stored point or axis of end A (first) or B.
    static MTH_Vector3D &value(MDL_Joint *joint, bool first, bool axis)
    {
        if (axis)
            return first ? joint->m_oAxisA : joint->m_oAxisB;
        return first ? joint->m_oPointA : joint->m_oPointB;
    }
    int get(lua_State *L, bool first, bool axis);
    int set(lua_State *L, bool first, bool axis);
};

// newJoint(kind, bodyA, pointA, axisA, bodyB, pointB, axisB [, refPointA,
// refAxisA, refPointB, refAxisB]): either body may be nil (the world);
// points and axes are world values by default.
LMP_Joint *LMP_Joint::create(lua_State *L)
{
    int32_t kind = 0;
    MDL_RigidBody *a = nullptr, *b = nullptr;
    MTH_Vector3D *pointA = nullptr, *axisA = nullptr, *pointB = nullptr, *axisB = nullptr;
    int32_t refs[4] = {LMP_Object::REF_GLOBAL, LMP_Object::REF_GLOBAL, LMP_Object::REF_GLOBAL, LMP_Object::REF_GLOBAL};
    if (!LMP_iCheckArgs(L, "IRVVRVV|IIII", &kind, &a, &pointA, &axisA, &b, &pointB, &axisB, &refs[0], &refs[1],
                        &refs[2], &refs[3]))
        return new LMP_Joint(nullptr);
    MDL_Scene *scene = LMP_poLinkScene(L, 2, a, 5, b, "Joint rigid bodies must belong to the same scene");
    MDL_Joint *joint = scene != nullptr ? MDL_Joint::addTo(*scene) : nullptr;
    if (joint == nullptr)
        return new LMP_Joint(nullptr);
    joint->setBodies(a, b);
    LMP_bStoreLinkValue(L, a, refs[0], *pointA, false, joint->m_oPointA);
    LMP_bStoreLinkValue(L, a, refs[1], *axisA, true, joint->m_oAxisA);
    LMP_bStoreLinkValue(L, b, refs[2], *pointB, false, joint->m_oPointB);
    LMP_bStoreLinkValue(L, b, refs[3], *axisB, true, joint->m_oAxisB);
    joint->m_iKind = kind;
    return new LMP_Joint(joint);
}

int LMP_Joint::get(lua_State *L, bool first, bool axis)
{
    int32_t ref = LMP_Object::REF_GLOBAL;
    if (lua_gettop(L) > 0 && !LMP_iCheckArgs(L, "I", &ref))
        return 0;
    MDL_Joint *joint = getJoint();
    if (joint == nullptr)
        return 0;
    return LMP_iPushLinkValue(L, first ? joint->getBodyA() : joint->getBodyB(), ref, value(joint, first, axis), axis);
}

int LMP_Joint::set(lua_State *L, bool first, bool axis)
{
    MTH_Vector3D *v = nullptr;
    int32_t ref = LMP_Object::REF_GLOBAL;
    if (!LMP_iCheckArgs(L, "V|I", &v, &ref))
        return 0;
    MDL_Joint *joint = getJoint();
    if (joint == nullptr)
        return 0;
    LMP_bStoreLinkValue(L, first ? joint->getBodyA() : joint->getBodyB(), ref, *v, axis, value(joint, first, axis));
    return 0;
}

// clang-format off
static const LMP_Method<LMP_Joint> s_aoMethods[] = {
    {"getAxisA", &LMP_Joint::getAxisA},
    {"getAxisB", &LMP_Joint::getAxisB},
    {"getPointA", &LMP_Joint::getPointA},
    {"getPointB", &LMP_Joint::getPointB},
    {"setAxisA", &LMP_Joint::setAxisA},
    {"setAxisB", &LMP_Joint::setAxisB},
    {"setPointA", &LMP_Joint::setPointA},
    {"setPointB", &LMP_Joint::setPointB},
    {nullptr, nullptr},
};
// clang-format on

const LMP_Class<LMP_Joint> LMP_Joint::binding = {"newJoint", LMP_NO_TYPE_CODE, false, s_aoMethods};

void LMP_registerJoint(lua_State *L)
{
    LMP_Luna<LMP_Joint>::registerClass(L);
}
