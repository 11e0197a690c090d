#include "model/MDL_Physics.h"

#include "model/MDL_Collision.h"
#include "model/MDL_Contact.h"
#include "model/MDL_Joint.h"
#include "model/MDL_RigidBody.h"
#include "model/MDL_Spring.h"

MDL_RigidBodyPhysics &MDL_RigidBodyPhysics::instance()
{
    static MDL_RigidBodyPhysics s_oInstance;
    return s_oInstance;
}

bool MDL_RigidBodyPhysics::runs(const MDL_Scene &scene)
{
    return scene.getPhysics() == &instance();
}

MDL_Spring *MDL_RigidBodyPhysics::newSpring()
{
    return new MDL_Spring();
}

MDL_Joint *MDL_RigidBodyPhysics::newJoint()
{
    return new MDL_Joint();
}

void MDL_RigidBodyPhysics::deleteSpring(MDL_Spring *spring)
{
    delete spring;
}

void MDL_RigidBodyPhysics::deleteJoint(MDL_Joint *joint)
{
    delete joint;
}

void MDL_RigidBodyPhysics::springBodies(const MDL_Spring *spring, MDL_Object *&a, MDL_Object *&b)
{
    a = spring->getBodyA();
    b = spring->getBodyB();
}

void MDL_RigidBodyPhysics::jointBodies(const MDL_Joint *joint, MDL_Object *&a, MDL_Object *&b)
{
    a = joint->getBodyA();
    b = joint->getBodyB();
}

void MDL_RigidBodyPhysics::solveSpring(MDL_Spring *spring, double dt)
{
    spring->solve(dt);
}

void MDL_RigidBodyPhysics::integrate(MDL_Object *object, const MTH_Vector3D &gravity, double dt)
{
    MDL_RigidBody *body = MDL_RigidBody::cast(object);
    if (body != nullptr)
        body->integrate(gravity, dt);
}

void MDL_RigidBodyPhysics::solveJoint(MDL_Joint *joint)
{
    joint->solve();
}

void MDL_RigidBodyPhysics::collide(MDL_Scene &scene, UTIL_EventHost *events)
{
    MDL_Collision::collide(scene, events);
}

void MDL_RigidBodyPhysics::collideBounds(MDL_Object *object, UTIL_EventHost *events, int axis, double minimum,
                                         double maximum, double elasticity, double friction)
{
    MDL_RigidBody *body = MDL_RigidBody::cast(object);
    if (body != nullptr)
        MDL_Contact::collideBounds(body, events, axis, minimum, maximum, elasticity, friction);
}

void MDL_RigidBodyPhysics::settleContacts()
{
    MDL_Contact::settleContacts();
}
