// The script class "newSpring": a spring of a scene between two rigid
// bodies, or a body and a fixed world point. Springs stay in their scene;
// no method removes one.
#include <lua.hpp>

#include "model/MDL_RigidBody.h"
#include "model/MDL_Scene.h"
#include "model/MDL_Spring.h"
#include "scripting/LMP_Binding.h"
#include "scripting/LMP_BodyLink.h"
#include "scripting/LMP_Luna.h"
#include "scripting/LMP_Object.h"
#include "scripting/LMP_Registration.h"
#include "scripting/LMP_ResourceProxy.h"

class LMP_Spring : public LMP_Proxy {
public:
    static const LMP_Class<LMP_Spring> binding;

    explicit LMP_Spring(MDL_Spring *spring) : LMP_Proxy(spring)
    {
        if (spring != nullptr)
            spring->m_oProxyHandle.bind(this);
    }
    // The spring itself stays in its scene.
    ~LMP_Spring() override
    {
        if (getSpring() != nullptr)
            LMP_forgetProxy(this, getSpring()->m_oProxyHandle);
    }

    static LMP_Spring *create(lua_State *L);
    MDL_Spring *getSpring() const { return static_cast<MDL_Spring *>(m_poObject); }

    int getDamping(lua_State *L) { return pushNumber(L, &MDL_Spring::getDamping); }
    int getPointA(lua_State *L) { return getPoint(L, true); }
    int getPointB(lua_State *L) { return getPoint(L, false); }
    int getRestPosition(lua_State *L) { return pushNumber(L, &MDL_Spring::getRestLength); }
    int getStiffness(lua_State *L) { return pushNumber(L, &MDL_Spring::getStiffness); }
    int setDamping(lua_State *L) { return takeNumber(L, &MDL_Spring::setDamping); }
    int setPointA(lua_State *L) { return setPoint(L, true); }
    int setPointB(lua_State *L) { return setPoint(L, false); }
    int setRestPosition(lua_State *L) { return takeNumber(L, &MDL_Spring::setRestLength); }
    int setStiffness(lua_State *L) { return takeNumber(L, &MDL_Spring::setStiffness); }

private:
    int getPoint(lua_State *L, bool first);
    int setPoint(lua_State *L, bool first);
    int pushNumber(lua_State *L, double (MDL_Spring::*get)() const)
    {
        MDL_Spring *spring = getSpring();
        if (spring == nullptr)
            return 0;
        lua_pushnumber(L, (spring->*get)());
        return 1;
    }
    int takeNumber(lua_State *L, void (MDL_Spring::*set)(double))
    {
        double value = 0;
        if (!LMP_iCheckArgs(L, "N", &value))
            return 0;
        MDL_Spring *spring = getSpring();
        if (spring != nullptr)
            (spring->*set)(value);
        return 0;
    }
};

// newSpring(bodyA, pointA, bodyB, pointB [, refA, refB]): either body may be
// nil (a fixed world point); points are world points by default.
LMP_Spring *LMP_Spring::create(lua_State *L)
{
    MDL_RigidBody *a = nullptr, *b = nullptr;
    MTH_Vector3D *pointA = nullptr, *pointB = nullptr;
    int32_t refA = LMP_Object::REF_GLOBAL, refB = LMP_Object::REF_GLOBAL;
    if (!LMP_iCheckArgs(L, "RVRV|II", &a, &pointA, &b, &pointB, &refA, &refB))
        return new LMP_Spring(nullptr);
    MDL_Scene *scene = LMP_poLinkScene(L, 1, a, 3, b, "Spring rigid bodies must belong to the same scene");
    MDL_Spring *spring = scene != nullptr ? MDL_Spring::addTo(*scene) : nullptr;
    if (spring == nullptr)
        return new LMP_Spring(nullptr);
    spring->setBodies(a, b);
    LMP_bStoreLinkValue(L, a, refA, *pointA, false, spring->m_oPointA);
    LMP_bStoreLinkValue(L, b, refB, *pointB, false, spring->m_oPointB);
    return new LMP_Spring(spring);
}

int LMP_Spring::getPoint(lua_State *L, bool first)
{
    int32_t ref = LMP_Object::REF_GLOBAL;
    if (lua_gettop(L) > 0 && !LMP_iCheckArgs(L, "I", &ref))
        return 0;
    MDL_Spring *spring = getSpring();
    if (spring == nullptr)
        return 0;
    return LMP_iPushLinkValue(L, first ? spring->getBodyA() : spring->getBodyB(), ref,
                              first ? spring->m_oPointA : spring->m_oPointB, false);
}

int LMP_Spring::setPoint(lua_State *L, bool first)
{
    MTH_Vector3D *point = nullptr;
    int32_t ref = LMP_Object::REF_GLOBAL;
    if (!LMP_iCheckArgs(L, "V|I", &point, &ref))
        return 0;
    MDL_Spring *spring = getSpring();
    if (spring == nullptr)
        return 0;
    LMP_bStoreLinkValue(L, first ? spring->getBodyA() : spring->getBodyB(), ref, *point, false,
                        first ? spring->m_oPointA : spring->m_oPointB);
    return 0;
}

// clang-format off
static const LMP_Method<LMP_Spring> s_aoMethods[] = {
    {"getDamping", &LMP_Spring::getDamping},
    {"getPointA", &LMP_Spring::getPointA},
    {"getPointB", &LMP_Spring::getPointB},
    {"getRestPosition", &LMP_Spring::getRestPosition},
    {"getStiffness", &LMP_Spring::getStiffness},
    {"setDamping", &LMP_Spring::setDamping},
    {"setPointA", &LMP_Spring::setPointA},
    {"setPointB", &LMP_Spring::setPointB},
    {"setRestPosition", &LMP_Spring::setRestPosition},
    {"setStiffness", &LMP_Spring::setStiffness},
    {nullptr, nullptr},
};
// clang-format on

const LMP_Class<LMP_Spring> LMP_Spring::binding = {"newSpring", LMP_NO_TYPE_CODE, false, s_aoMethods};

void LMP_registerSpring(lua_State *L)
{
    LMP_Luna<LMP_Spring>::registerClass(L);
}
