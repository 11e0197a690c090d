#pragma once

#include <typeinfo>

#include "foundation/MTH_Vector.h"
#include "foundation/UTIL_DynArray.h"
#include "model/MDL_Object.h"

class MDL_BodyLink;

// An object that moves (type 4): under gravity, a persistent force and
// torque, impulses and positional corrections. Its position and orientation
// are its global frame; its shape is given by the collision volumes and
// meshes below it in the tree, which move with it. Physics quantities are in
// scene coordinates, except the inverse inertia, which is about the body's
// own axes.
//
// A body that stays nearly at rest for longer than its still delay becomes
// still: it is no longer integrated and takes no part in contacts with other
// still bodies until something wakes it.
//
// The springs and joints that join a body are told when it is destroyed, so
// that none of them is ever stepped with a body that is gone.
class MDL_RigidBody : public MDL_Object {
public:
    // Mass 1, inertia 0.01 on each axis, damping 0.2, elasticity 0.6,
    // friction 0.8 (the single-precision constants widened), still delay 2.
    MDL_RigidBody();
    // The base object and every physics field; the copy joins no spring or
    // joint.
    MDL_RigidBody(const MDL_RigidBody &other);
    // Removes (and destroys) every spring and joint that joins the body,
    // from whichever scene lists it.
    ~MDL_RigidBody() override;

    // The body when object is one (of type 4 and of this class), else null:
    // the type code alone is not trusted.
    static MDL_RigidBody *cast(MDL_Object *object)
    {
        if (object == nullptr || object->m_iType != OBJECT_RIGID_BODY || typeid(*object) != typeid(MDL_RigidBody))
            return nullptr;
        return static_cast<MDL_RigidBody *>(object);
    }

    // --- accessors ---
    // 1/inverse mass: infinity for an immovable body.
    double getMass() const;
    // 0 makes the body immovable.
    void setMass(double mass);
    // The component reciprocals of the inverse inertia (infinity for 0).
    MTH_Vector3D getInertia() const;
    // Stores the component reciprocals (0 stays 0) and picks the main axis.
    void setInertia(const MTH_Vector3D &inertia);
    double getFriction() const { return m_fFriction; }
    void setFriction(double friction) { m_fFriction = friction; }
    double getElasticity() const { return m_fElasticity; }
    void setElasticity(double elasticity) { m_fElasticity = elasticity; }
    double getDamping() const { return m_fDamping; }
    void setDamping(double damping) { m_fDamping = damping; }
    double getAngularDamping() const { return m_fAngularDamping; }
    void setAngularDamping(double damping) { m_fAngularDamping = damping; }
    double getStillDelay() const { return m_fStillDelay; }
    void setStillDelay(double delay) { m_fStillDelay = delay; }
    bool getVerticesGroundCollision() const { return m_bVerticesGroundCollision; }
    void setVerticesGroundCollision(bool flag) { m_bVerticesGroundCollision = flag; }
    bool getStill() const { return m_bStill; }
    // Clearing the flag also restarts the time spent at rest.
    void setStill(bool still);
    const MTH_Vector3D &getSpeed() const { return m_oSpeed; }
    // The three setters below wake the body.
    void setSpeed(const MTH_Vector3D &speed);
    const MTH_Vector3D &getForce() const { return m_oForce; }
    void setForce(const MTH_Vector3D &force);
    const MTH_Vector3D &getTorque() const { return m_oTorque; }
    void setTorque(const MTH_Vector3D &torque);
    // The angular velocity (world frame), worked out from the momentum and
    // the orientation when either changed.
    const MTH_Vector3D &getAngularSpeed();
    // Sets the momentum that gives this angular velocity.
    void setAngularSpeed(const MTH_Vector3D &speed);
    const MTH_Vector3D &getAngularMomentum() const { return m_oAngularMomentum; }
    const MTH_Vector3D &getInverseInertia() const { return m_oInverseInertia; }
    double getInverseMass() const { return m_fInverseMass; }
    int getMainAxis() const { return m_iMainAxis; }
    // The momentum or the orientation was changed from outside.
    void markAngularSpeedDirty() { m_bAngularSpeedDirty = true; }
    // Turns the global basis by the small rotation theta (world), keeping
    // the main axis.
    void turnBy(const MTH_Vector3D &theta);

    // --- physics operations ---
    // One time step of length dt under gravity; nothing while still.
    void integrate(const MTH_Vector3D &gravity, double dt);
    // Speed of a world point moving with the body.
    MTH_Vector3D getPointVelocity(const MTH_Vector3D &point);
    // An impulse at a world point; may wake the body.
    void applyImpulse(const MTH_Vector3D &point, const MTH_Vector3D &impulse);
    // A positional correction at a world point (no velocity changes).
    void applyDisplacement(const MTH_Vector3D &point, const MTH_Vector3D &displacement);
    // Clears the still state when the body moves faster than the rest
    // thresholds (and may freeze at all).
    void wakeIfMoving();
    // Whether the impulse at a world point would by itself set the body
    // moving (or turning) faster than the rest thresholds.
    bool wouldWake(const MTH_Vector3D &point, const MTH_Vector3D &impulse);
    // Gives the point (body coordinates) the world velocity by one impulse;
    // an immovable body only turns.
    void setPointSpeed(const MTH_Vector3D &point, const MTH_Vector3D &velocity);
    // Mass and inertia of a solid box around the meshes that carry the
    // body's collision volumes, of the given density.
    void computeMassAndInertia(double density);
    // The extreme points of the subtree of object along world axis k (0..2):
    // from the vertices of the meshes that carry collision volumes, and from
    // the shapes of the volumes (only those with bit 0 of their mask). A
    // point (and its object) is replaced only by a strictly lower (higher)
    // one.
    static void getExtentAlongAxis(MDL_Object *object, int k, MTH_Vector3D &lowest, MTH_Vector3D &highest,
                                   MDL_Object *&lowObject, MDL_Object *&highObject);
    static void getVolumeExtentAlongAxis(MDL_Object *object, int k, MTH_Vector3D &lowest, MTH_Vector3D &highest,
                                         MDL_Object *&lowObject, MDL_Object *&highObject);
    // Adds to sum and count the points of the subtree of object that lie
    // beyond level along world axis k (below it for side -1, above it for
    // side +1): the outline points of its volumes along that axis
    // (MDL_CollisionVolume::outlinePoints, volumes with bit 0 of their mask),
    // or with vertices set the vertices of the meshes that carry volumes.
    static void addPointsBeyond(MDL_Object *object, int k, int side, double level, bool vertices, MTH_Vector3D &sum,
                                int &count);
    // The volume extents along x, y and z at once, as three calls of
    // getVolumeExtentAlongAxis would give them (each point and object
    // indexed by its axis).
    static void getVolumeExtents(MDL_Object *object, MTH_Vector3D lowest[3], MTH_Vector3D highest[3],
                                 MDL_Object *lowObject[3], MDL_Object *highObject[3]);

    // --- frame helpers ---
    // World vectors in the body's own axes and back.
    MTH_Vector3D toBodyDirection(const MTH_Vector3D &d)
    {
        MTH_Vector3D out;
        getGlobalFrame().localDirection(d, out);
        return out;
    }
    MTH_Vector3D toBodyPoint(const MTH_Vector3D &p)
    {
        MTH_Vector3D out;
        getGlobalFrame().localPoint(p, out);
        return out;
    }
    MTH_Vector3D toWorldDirection(const MTH_Vector3D &d)
    {
        MTH_Vector3D out;
        getGlobalFrame().globalDirection(d, out);
        return out;
    }
    // Inverse mass plus the rotational part along direction n (body axes)
    // at offset r (body axes): the inverse effective mass.
    double inverseEffectiveMass(const MTH_Vector3D &r, const MTH_Vector3D &n) const;

    // --- the springs and joints that join the body ---
    void addLink(MDL_BodyLink *link) { m_oLinks.append(link); }
    void removeLink(MDL_BodyLink *link) { m_oLinks.removeValue(link); }

    // --- fields, in order ---
    MTH_Vector3D m_oForce;
    MTH_Vector3D m_oSpeed;
    double m_fInverseMass;
    MTH_Vector3D m_oTorque;
    MTH_Vector3D m_oAngularMomentum;
    MTH_Vector3D m_oAngularSpeed;
    MTH_Vector3D m_oInverseInertia;
    double m_fDamping;
    double m_fAngularDamping;
    double m_fElasticity;
    double m_fFriction;
    bool m_bStill;
    bool m_bVerticesGroundCollision;
    bool m_bAngularSpeedDirty;
    double m_fStillTime;
    double m_fStillDelay;
    int32_t m_iMainAxis;
    UTIL_DynArray<MDL_BodyLink *> m_oLinks; // not owning
};
