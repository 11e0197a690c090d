#pragma once

#include "foundation/MTH_Vector.h"
#include "foundation/UTIL_ProxyHandle.h"

class MDL_RigidBody;
class MDL_Scene;

// What springs and joints share: the scene that lists (and owns) them, the
// two bodies they join (null stands for the world) and a point on each, in
// that body's own coordinates (world coordinates without a body).
//
// A link is known to its bodies: when a body is destroyed, every link that
// joins it leaves its scene's list and is destroyed with it, whichever scene
// lists it. A link whose body is flagged deleted is not solved any more.
class MDL_BodyLink {
public:
    MDL_BodyLink();
    // Leaves both bodies; releases the proxy.
    virtual ~MDL_BodyLink();
    MDL_BodyLink(const MDL_BodyLink &) = delete;
    MDL_BodyLink &operator=(const MDL_BodyLink &) = delete;

    // Joins the two bodies (either may be null), leaving those joined before.
    void setBodies(MDL_RigidBody *a, MDL_RigidBody *b);
    MDL_RigidBody *getBodyA() const { return m_poBodyA; }
    MDL_RigidBody *getBodyB() const { return m_poBodyB; }
    // Whether a solve has anything to do: some body, and none flagged deleted.
    bool isLive() const;
    // Called by a body that is being destroyed: the link leaves its scene's
    // list and is destroyed.
    void bodyGone(MDL_RigidBody *body);

    // The world position of a point stored for body (world when null), and
    // of a direction.
    static MTH_Vector3D worldPoint(MDL_RigidBody *body, const MTH_Vector3D &point);
    static MTH_Vector3D worldDirection(MDL_RigidBody *body, const MTH_Vector3D &direction);
    // The velocity of a world point moving with body (0 for the world).
    static MTH_Vector3D pointVelocity(MDL_RigidBody *body, const MTH_Vector3D &point);

    UTIL_ProxyHandle m_oProxyHandle;
    MDL_Scene *m_poScene; // the scene whose list holds this link, or null
    MDL_RigidBody *m_poBodyA;
    MDL_RigidBody *m_poBodyB;
    MTH_Vector3D m_oPointA;
    MTH_Vector3D m_oPointB;

protected:
    // Takes the link out of its scene's list (the caller destroys it).
    virtual void leaveScene() = 0;

private:
    void unlinkBodies();
};
