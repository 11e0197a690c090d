#pragma once

#include "foundation/MTH_Vector.h"

class MDL_CollisionVolume;
class MDL_RigidBody;
class MDL_Scene;
class UTIL_EventHost;

// Collision detection between the collision volumes of a scene, once per
// sub-step: a sort and sweep along x over two endpoints per volume, a
// bounding-sphere rejection, then exact tests for sphere/sphere, box/sphere,
// cylinder/sphere, box/box and box/cylinder (two cylinders never collide).
// Each contact found is offered to the scene's script (pre-collision event)
// and, when accepted, answered by the contact response.
//
// A contact (P, n, d) follows one convention: n points from the first
// volume A towards the second B, P lies on A's surface where it enters B and
// B's deepest point is P - d n. Every contact handed out has a unit normal
// and a finite positive depth; degenerate shapes give none.
class MDL_Collision {
public:
    // Results of one separating-axis test.
    enum { AXIS_SEPARATED = 0, AXIS_OVERLAP = 1, AXIS_LEAST = 2 };

    // One pass over the scene's volumes. Volumes added while it runs (by a
    // script answering an event) wait for the next pass.
    static void collide(MDL_Scene &scene, UTIL_EventHost *events);
    // The rigid body that carries a volume: its nearest ancestor that is a
    // body; null for a fixed volume.
    static MDL_RigidBody *bodyOf(MDL_CollisionVolume *volume);

    // The narrow phase: true when the pair touches, with the contact.
    static bool testContact(MDL_CollisionVolume *A, MDL_CollisionVolume *B, MTH_Vector3D &P, MTH_Vector3D &n, double &d)
    {
        return findContact(A, B, P, n, d) == FOUND;
    }
    // The same, saying why there is no contact: APART when the bounding
    // spheres or the shape test find the volumes apart, which depends on
    // nothing but their two global frames, shapes and radii, and comes out
    // the same with A and B exchanged; REFUSED when a contact was found but
    // is unfit to push along (a zero or not finite normal, point or depth).
    enum { APART = 0, FOUND = 1, REFUSED = 2 };
    static int findContact(MDL_CollisionVolume *A, MDL_CollisionVolume *B, MTH_Vector3D &P, MTH_Vector3D &n, double &d);
    static bool collideSphereSphere(MDL_CollisionVolume *A, MDL_CollisionVolume *B, MTH_Vector3D &P, MTH_Vector3D &n,
                                    double &d);
    static bool collideBoxSphere(MDL_CollisionVolume *box, MDL_CollisionVolume *sphere, MTH_Vector3D &P,
                                 MTH_Vector3D &n, double &d);
    // In the sphere-first convention.
    static bool collideCylinderSphere(MDL_CollisionVolume *cylinder, MDL_CollisionVolume *sphere, MTH_Vector3D &P,
                                      MTH_Vector3D &n, double &d);
    static bool collideBoxBox(MDL_CollisionVolume *A, MDL_CollisionVolume *B, MTH_Vector3D &P, MTH_Vector3D &n,
                              double &d);
    static bool collideBoxCylinder(MDL_CollisionVolume *box, MDL_CollisionVolume *cylinder, MTH_Vector3D &P,
                                   MTH_Vector3D &n, double &d);
};
