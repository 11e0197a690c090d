#pragma once

#include "model/MDL_Scene.h"

// The rigid-body simulation of a scene: rigid bodies, collision volumes with
// their contacts, springs and joints, in the scene's fixed step order. One
// instance serves every scene (it keeps no state of its own); the controller
// gives it to the scenes it makes.
class MDL_RigidBodyPhysics : public MDL_ScenePhysics {
public:
    static MDL_RigidBodyPhysics &instance();
    // Whether scene runs this simulation.
    static bool runs(const MDL_Scene &scene);

    MDL_Spring *newSpring() override;
    MDL_Joint *newJoint() override;
    void deleteSpring(MDL_Spring *spring) override;
    void deleteJoint(MDL_Joint *joint) override;
    void springBodies(const MDL_Spring *spring, MDL_Object *&a, MDL_Object *&b) override;
    void jointBodies(const MDL_Joint *joint, MDL_Object *&a, MDL_Object *&b) override;

    void solveSpring(MDL_Spring *spring, double dt) override;
    void integrate(MDL_Object *body, const MTH_Vector3D &gravity, double dt) override;
    void solveJoint(MDL_Joint *joint) override;
    void collide(MDL_Scene &scene, UTIL_EventHost *events) override;
    void collideBounds(MDL_Object *body, UTIL_EventHost *events, int axis, double minimum, double maximum,
                       double elasticity, double friction) override;
    void settleContacts() override;
};
