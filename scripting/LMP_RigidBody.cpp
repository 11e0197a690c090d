// The script class "newRigidBody": a body of a scene's rigid-body physics,
// with the 41 rows of "newObject" first, then its own 27.
#include <lua.hpp>

#include "foundation/MTH_Matrix3x3.h"
#include "foundation/MTH_Vector.h"
#include "model/MDL_RigidBody.h"
#include "model/MDL_Scene.h"
#include "scripting/LMP_Binding.h"
#include "scripting/LMP_Object.h"
#include "scripting/LMP_Registration.h"
#include "scripting/LMP_ValueTypes.h"

class LMP_RigidBody : public LMP_Object {
public:
    static const LMP_Class<LMP_RigidBody, LMP_Object> binding;

    explicit LMP_RigidBody(MDL_Object *object) : LMP_Object(object) {}
    const char *getClassName() const override { return "newRigidBody"; }

    static LMP_RigidBody *create(lua_State *L);

    // The bound body while it is alive and not flagged deleted.
    MDL_RigidBody *getBody() const { return MDL_RigidBody::cast(getLiveObject()); }

    int getAngularSpeed(lua_State *L) { return pushVector(L, &MDL_RigidBody::getAngularSpeed); }
    int getElasticity(lua_State *L) { return pushNumber(L, &MDL_RigidBody::getElasticity); }
    int getFriction(lua_State *L) { return pushNumber(L, &MDL_RigidBody::getFriction); }
    int getInertia(lua_State *L);
    int getMass(lua_State *L) { return pushNumber(L, &MDL_RigidBody::getMass); }
    int getSpeed(lua_State *L) { return pushVector(L, &MDL_RigidBody::getSpeed); }
    int getStill(lua_State *L) { return pushBoolean(L, &MDL_RigidBody::getStill); }
    int getStillDelay(lua_State *L) { return pushNumber(L, &MDL_RigidBody::getStillDelay); }
    int getVerticesGroundCollision(lua_State *L) { return pushBoolean(L, &MDL_RigidBody::getVerticesGroundCollision); }
    int setAngularSpeed(lua_State *L) { return takeVector(L, &MDL_RigidBody::setAngularSpeed); }
    int setElasticity(lua_State *L) { return takeNumber(L, &MDL_RigidBody::setElasticity); }
    int setFriction(lua_State *L) { return takeNumber(L, &MDL_RigidBody::setFriction); }
    int setInertia(lua_State *L) { return takeVector(L, &MDL_RigidBody::setInertia); }
    int setMass(lua_State *L) { return takeNumber(L, &MDL_RigidBody::setMass); }
    int setSpeed(lua_State *L);
    int setStill(lua_State *L) { return takeBoolean(L, &MDL_RigidBody::setStill); }
    int setStillDelay(lua_State *L) { return takeNumber(L, &MDL_RigidBody::setStillDelay); }
    int setVerticesGroundCollision(lua_State *L) { return takeBoolean(L, &MDL_RigidBody::setVerticesGroundCollision); }
    int computeMassAndInertia(lua_State *L) { return takeNumber(L, &MDL_RigidBody::computeMassAndInertia); }
    int setDamping(lua_State *L) { return takeNumber(L, &MDL_RigidBody::setDamping); }
    int setAngularDamping(lua_State *L) { return takeNumber(L, &MDL_RigidBody::setAngularDamping); }
    int getDamping(lua_State *L) { return pushNumber(L, &MDL_RigidBody::getDamping); }
    int getAngularDamping(lua_State *L) { return pushNumber(L, &MDL_RigidBody::getAngularDamping); }
    int getForce(lua_State *L) { return pushVector(L, &MDL_RigidBody::getForce); }
    int setForce(lua_State *L) { return takeVector(L, &MDL_RigidBody::setForce); }
    int getTorque(lua_State *L) { return pushVector(L, &MDL_RigidBody::getTorque); }
    int setTorque(lua_State *L) { return takeVector(L, &MDL_RigidBody::setTorque); }

private:
    static MDL_Object *make() { return new MDL_RigidBody(); }
    static void adoptTemplate(MDL_Scene *scene, MDL_RigidBody *body, MDL_Object *source);

    // The shapes shared by most rows: a getter's result pushed, or a
    // setter's single checked argument handed on.
    template <typename G> int pushNumber(lua_State *L, G get)
    {
        MDL_RigidBody *body = getBody();
        if (body == nullptr)
            return 0;
        lua_pushnumber(L, (body->*get)());
        return 1;
    }
    template <typename G> int pushBoolean(lua_State *L, G get)
    {
        MDL_RigidBody *body = getBody();
        if (body == nullptr)
            return 0;
        lua_pushboolean(L, (body->*get)());
        return 1;
    }
    template <typename G> int pushVector(lua_State *L, G get)
    {
        MDL_RigidBody *body = getBody();
        if (body == nullptr)
            return 0;
        *LMP_iPushV3(L) = (body->*get)();
        return 1;
    }
    int takeNumber(lua_State *L, void (MDL_RigidBody::*set)(double))
    {
        double value = 0;
        if (!LMP_iCheckArgs(L, "N", &value))
            return 0;
        MDL_RigidBody *body = getBody();
        if (body != nullptr)
            (body->*set)(value);
        return 0;
    }
    int takeBoolean(lua_State *L, void (MDL_RigidBody::*set)(bool))
    {
        bool value = false;
        if (!LMP_iCheckArgs(L, "B", &value))
            return 0;
        MDL_RigidBody *body = getBody();
        if (body != nullptr)
            (body->*set)(value);
        return 0;
    }
    int takeVector(lua_State *L, void (MDL_RigidBody::*set)(const MTH_Vector3D &))
    {
        MTH_Vector3D *value = nullptr;
        if (!LMP_iCheckArgs(L, "V", &value))
            return 0;
        MDL_RigidBody *body = getBody();
        if (body != nullptr)
            (body->*set)(*value);
        return 0;
    }
};

// The template's copy becomes the body's child: the body takes the copy's
// place and pure rotation, the copy keeps only the scale, at the body's
// origin.
void LMP_RigidBody::adoptTemplate(MDL_Scene *scene, MDL_RigidBody *body, MDL_Object *source)
{
    MDL_Object *copy = scene->instantiate(source);
    if (copy == nullptr)
        return;
    body->addChild(copy);
    const MTH_Frame &placed = copy->getGlobalFrame();
    MTH_Vector3D position = placed.m_oPosition;
    MTH_Matrix3x3 basis = placed.m_oBasis;
    MTH_Vector3D lengths;
    basis.getRowLengths(lengths);
    MTH_Frame &frame = body->editGlobalFrame();
    frame.m_oPosition = position;
    frame.m_oBasis = basis;
    if (!frame.m_oBasis.orthonormalize(0))
        frame.m_oBasis.setIdentity();
    frame.invalidateInverse();
    body->markAngularSpeedDirty();
    MTH_Frame &local = copy->editLocalFrame();
    local.m_oPosition = MTH_Vector3D(0, 0, 0);
    local.m_oBasis.setIdentity();
    local.m_oBasis.scaleRows(lengths);
    local.invalidateInverse();
}

// newRigidBody(scene | object [, template]): an object given first only
// names the scene; the body does not become its child.
LMP_RigidBody *LMP_RigidBody::create(lua_State *L)
{
    MDL_Scene *scene = nullptr;
    MDL_Object *parent = nullptr;
    int n = placeNewObject(L, binding.m_sClassName, &scene, &parent);
    LMP_Proxy *source = n >= 2 ? LMP_iGetObject(L, 2) : nullptr;
    if (scene == nullptr)
        return new LMP_RigidBody(nullptr);
    MDL_RigidBody *body = static_cast<MDL_RigidBody *>(addNewObject(scene, nullptr, make(), false));
    if (body == nullptr)
        return new LMP_RigidBody(nullptr);
    MDL_Object *templateObject = source != nullptr ? static_cast<MDL_Object *>(source->m_poObject) : nullptr;
    if (templateObject != nullptr && !templateObject->m_bDeleted)
        adoptTemplate(scene, body, templateObject);
    return new LMP_RigidBody(body);
}

int LMP_RigidBody::getInertia(lua_State *L)
{
    MDL_RigidBody *body = getBody();
    if (body == nullptr)
        return 0;
    *LMP_iPushV3(L) = body->getInertia();
    return 1;
}

// setSpeed(velocity [, world point]): the linear speed, or the speed of one
// point of the body given by an impulse.
int LMP_RigidBody::setSpeed(lua_State *L)
{
    MTH_Vector3D *velocity = nullptr;
    MTH_Vector3D *point = nullptr;
    if (!LMP_iCheckArgs(L, "V|V", &velocity, &point))
        return 0;
    MDL_RigidBody *body = getBody();
    if (body == nullptr)
        return 0;
    if (point != nullptr)
        body->setPointSpeed(body->toBodyPoint(*point), *velocity);
    else
        body->setSpeed(*velocity);
    return 0;
}

// clang-format off
static const LMP_Method<LMP_RigidBody> s_aoMethods[] = {
    {"getAngularSpeed", &LMP_RigidBody::getAngularSpeed},
    {"getElasticity", &LMP_RigidBody::getElasticity},
    {"getFriction", &LMP_RigidBody::getFriction},
    {"getInertia", &LMP_RigidBody::getInertia},
    {"getMass", &LMP_RigidBody::getMass},
    {"getSpeed", &LMP_RigidBody::getSpeed},
    {"getStill", &LMP_RigidBody::getStill},
    {"getStillDelay", &LMP_RigidBody::getStillDelay},
    {"getVerticesGroundCollision", &LMP_RigidBody::getVerticesGroundCollision},
    {"setAngularSpeed", &LMP_RigidBody::setAngularSpeed},
    {"setElasticity", &LMP_RigidBody::setElasticity},
    {"setFriction", &LMP_RigidBody::setFriction},
    {"setInertia", &LMP_RigidBody::setInertia},
    {"setMass", &LMP_RigidBody::setMass},
    {"setSpeed", &LMP_RigidBody::setSpeed},
    {"setStill", &LMP_RigidBody::setStill},
    {"setStillDelay", &LMP_RigidBody::setStillDelay},
    {"setVerticesGroundCollision", &LMP_RigidBody::setVerticesGroundCollision},
    {"computeMassAndInertia", &LMP_RigidBody::computeMassAndInertia},
    {"setDamping", &LMP_RigidBody::setDamping},
    {"setAngularDamping", &LMP_RigidBody::setAngularDamping},
    {"getDamping", &LMP_RigidBody::getDamping},
    {"getAngularDamping", &LMP_RigidBody::getAngularDamping},
    {"getForce", &LMP_RigidBody::getForce},
    {"setForce", &LMP_RigidBody::setForce},
    {"getTorque", &LMP_RigidBody::getTorque},
    {"setTorque", &LMP_RigidBody::setTorque},
    {nullptr, nullptr},
};
// clang-format on

const LMP_Class<LMP_RigidBody, LMP_Object> LMP_RigidBody::binding = {"newRigidBody", OBJECT_RIGID_BODY, true,
                                                                     s_aoMethods};

void LMP_registerRigidBody(lua_State *L)
{
    LMP_Luna<LMP_RigidBody>::registerClass(L);
}
