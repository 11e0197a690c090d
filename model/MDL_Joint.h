#pragma once

#include "model/MDL_BodyLink.h"

// A constraint between two bodies, or a body and the world, enforced once
// per physics sub-step after the integration: a velocity impulse and a
// positional correction that closes the whole error at once. Points and
// axes are in the own coordinates of their body (world without a body).
class MDL_Joint : public MDL_BodyLink {
public:
    // The kinds (the scripts' JOINT_ constants); any other value does nothing.
    enum {
        POINT_POINT = 0,       // point A on point B
        AXIS_AXIS = 1,         // axis A parallel to axis B
        POINT_AXIS = 2,        // point A on the line through point B along axis B
        POINT_ABOVE_PLANE = 3, // point A on or above the plane through point B, normal axis B
        POINT_ON_PLANE = 4,    // point A on that plane
    };

    // Kind 0, no bodies, points 0, axes (1, 0, 0).
    MDL_Joint();

    // A new joint listed by scene, when the scene runs the rigid-body
    // physics; null otherwise. The scene owns it.
    static MDL_Joint *addTo(MDL_Scene &scene);

    void solve();

    // The shared correction of the point kinds along direction d (world):
    // a velocity impulse with restitution term c (applied whatever its sign
    // when c is 0 and the constraint works both ways, only while the points
    // approach otherwise), then the displacement that moves PA (on A) onto
    // PB (rB on B, in B's coordinates). Nothing when d is 0.
    void correct(MTH_Vector3D d, const MTH_Vector3D &rB, const MTH_Vector3D &PA, const MTH_Vector3D &PB, double c,
                 bool bothWays);

    int32_t m_iKind;
    MTH_Vector3D m_oAxisA;
    MTH_Vector3D m_oAxisB;

protected:
    void leaveScene() override;

private:
    void solvePlane();
    void solveAxes();
};
