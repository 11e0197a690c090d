#pragma once

#include "foundation/MTH_Vector.h"

class MDL_CollisionVolume;
class MDL_Object;
class MDL_RigidBody;
class MDL_Scene;
class UTIL_EventHost;

// Turning contacts into changes of motion: a normal impulse with
// restitution, a friction impulse and a positional correction that removes
// the penetration at once. A contact is a point P on the first volume's
// surface, a unit normal n from the first volume towards the second and a
// depth d > 0; the second volume's deepest point is P - d n.
//
// All vectors handed to the impulse formulas are in each body's own frame;
// the inverse inertia is diagonal there.
class MDL_Contact {
public:
    // The impulse magnitude along a direction between two bodies; negative
    // when they approach. c is the restitution term. 0 when the effective
    // mass is 0.
    static double computePairImpulse(const MTH_Vector3D &rA, const MTH_Vector3D &rB, const MTH_Vector3D &nA,
                                     const MTH_Vector3D &nB, const MTH_Vector3D &vA, const MTH_Vector3D &vB, double mA,
                                     double mB, double c, const MTH_Vector3D &lA, const MTH_Vector3D &lB,
                                     const MTH_Vector3D &iA, const MTH_Vector3D &iB);
    // The same for one body against a fixed surface; positive when the body
    // moves into it.
    static double computeFixedImpulse(const MTH_Vector3D &r, const MTH_Vector3D &n, const MTH_Vector3D &v,
                                      const MTH_Vector3D &l, const MTH_Vector3D &i, double m, double c);

    // A body against a fixed surface at P; n points from the surface into
    // the body. True when a normal impulse was applied. The surface belongs
    // to otherBody when that is a still body answering as a surface (the
    // collision event names it).
    static bool collideFixed(MDL_RigidBody *body, UTIL_EventHost *events, const MTH_Vector3D &P, const MTH_Vector3D &n,
                             MDL_Object *volume, MDL_Object *otherVolume, double otherElasticity, double otherFriction,
                             MDL_RigidBody *otherBody = nullptr);
    // Moves the body along n by depth at P (weighted by its effective mass).
    static void resolvePenetration(MDL_RigidBody *body, const MTH_Vector3D &P, const MTH_Vector3D &n, double depth);
    // The body against the bound planes of one axis (0 x, 1 y, 2 z). True
    // when a bound contact was handled. A body lying flat against a bound (a
    // face, an edge) touches it at the middle of its points that lie as deep
    // as the deepest to within a few depths (MDL_CollisionVolume::
    // outlinePoints), at the depth of the deepest.
    static bool collideBounds(MDL_RigidBody *body, UTIL_EventHost *events, int axis, double minimum, double maximum,
                              double elasticity, double friction);
    // The contact seen from each body, taken before the response changes
    // anything: B's contact point P - d n, and the offset of each body's
    // contact point and the normal in that body's frame (zero for a missing
    // body).
    struct Offsets {
        MTH_Vector3D m_oPointB, m_oRA, m_oNA, m_oRB, m_oNB;
    };
    static Offsets offsets(MDL_RigidBody *a, MDL_RigidBody *b, const MTH_Vector3D &P, const MTH_Vector3D &n, double d);
    // A still body that a moving one meets answers as a fixed surface (it is
    // left where it is and as it is, as the bounds leave it) unless its share
    // of the normal impulse would by itself set it moving past the rest
    // thresholds, or the contact is deeper than a small share of size (the
    // smaller volume's bounding radius): then it wakes and answers as a
    // body. Returns the still body that answers as a surface, taken out of a
    // or b, or null.
    static MDL_RigidBody *stillSurface(MDL_RigidBody *&a, MDL_RigidBody *&b, const MTH_Vector3D &P,
                                       const MTH_Vector3D &n, double d, double size);
    // The normal and friction impulses with their events; moves nothing. A
    // missing body is fixed: the scene's surface, or the still body surface
    // with its elasticity and friction.
    static void applyImpulses(MDL_Scene &scene, UTIL_EventHost *events, MDL_RigidBody *a, MDL_CollisionVolume *A,
                              MDL_RigidBody *b, MDL_CollisionVolume *B, const MTH_Vector3D &P, const MTH_Vector3D &n,
                              const Offsets &o, MDL_RigidBody *surface = nullptr);
    // Removes the whole penetration d at once; posts nothing.
    static void removePenetration(MDL_RigidBody *a, MDL_RigidBody *b, const MTH_Vector3D &P, const MTH_Vector3D &n,
                                  double d, const Offsets &o);

    // The speeds that a step's positional corrections leave. A correction
    // moves bodies apart without touching their speeds, so a body held up by
    // corrections alone (one of a pile, or pushed out at one point) keeps
    // the speed into its support that the correction undid, step after
    // step: it never reads as resting. Every correction of a step is noted
    // (its two bodies, null for a fixed surface, and its normal, from the
    // first towards the second), and once the step's contacts and bounds
    // are answered, settleContacts removes what is left of each noted
    // approach along its normal: between two bodies by equal and opposite
    // changes of their speeds (as their masses share them), against a fixed
    // surface from the body's speed alone. It sweeps the noted contacts a
    // few times, so that what a pile's lower contacts stop reaches those
    // above them, and then forgets them. Speeds that separate are kept, and
    // turning is left alone: bounces, slides and rolls keep their motion.
    // The collision pass that opens a step's contacts forgets whatever a
    // pass run on its own (outside a step) noted.
    static void noteCorrection(MDL_RigidBody *a, MDL_RigidBody *b, const MTH_Vector3D &n);
    static void settleContacts();
    static void forgetCorrections();
};
