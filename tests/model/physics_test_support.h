#pragma once

// A scene that runs the rigid-body physics, with a script proxy stand-in
// that records every event it gets (and refuses contacts when told to), and
// helpers that build bodies carrying one collision volume.

#include <cstdarg>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "model/MDL_CollisionVolume.h"
#include "model/MDL_Physics.h"
#include "model/MDL_RigidBody.h"
#include "model/MDL_Contact.h"
#include "model/MDL_Event.h"
#include "model/MDL_Scene.h"
#include "tests/support/TEST_Support.h"

// One recorded event: its code, the step length or depth or impulse, and
// for the collision events the contact and the four objects.
struct PhysicsEvent {
    int m_iCode;
    double m_fValue;
    MTH_Vector3D m_oPoint, m_oNormal;
    MDL_Object *m_apoObjects[4];
};

class PhysicsProxy : public UTIL_Proxy {
public:
    int handleCallback(UTIL_EventHost *, int code, va_list args) override
    {
        PhysicsEvent e{code, 0, MTH_Vector3D(), MTH_Vector3D(), {nullptr, nullptr, nullptr, nullptr}};
        if (code == MDL_CB_MECHA || code == MDL_CB_POST_INTEGRATION) {
            e.m_fValue = MDL_StepEvent::read(args).m_fStep;
        } else if (code == MDL_CB_PRE_COLLISION || code == MDL_CB_POST_COLLISION) {
            const MDL_ContactEvent contact = MDL_ContactEvent::read(args);
            e.m_oPoint = contact.m_oPoint;
            e.m_oNormal = contact.m_oNormal;
            e.m_fValue = contact.m_fValue;
            for (int i = 0; i < 4; i++)
                e.m_apoObjects[i] = contact.m_apoObjects[i];
        }
        if (m_bRecord)
            m_aoEvents.push_back(e);
        if (m_fnAction)
            m_fnAction(e);
        // Like a scene whose script has no function for the event, unless
        // told to refuse contacts.
        return code == MDL_CB_PRE_COLLISION && m_bRefuse ? MDL_ContactEvent::answer(false) : 0;
    }
    // Only the collision events (codes 9 and 10).
    std::vector<PhysicsEvent> collisions() const
    {
        std::vector<PhysicsEvent> out;
        for (const PhysicsEvent &e : m_aoEvents)
            if (e.m_iCode == MDL_CB_PRE_COLLISION || e.m_iCode == MDL_CB_POST_COLLISION)
                out.push_back(e);
        return out;
    }
    std::vector<PhysicsEvent> m_aoEvents;
    // Script code run from inside an event.
    std::function<void(const PhysicsEvent &)> m_fnAction;
    bool m_bRefuse = false;
    bool m_bRecord = true;
};

struct PhysicsWorld {
    MDL_Scene m_oScene{"physics"};
    TEST_EventHost m_oHost;
    PhysicsProxy *m_poProxy = new PhysicsProxy();

    PhysicsWorld()
    {
        m_oScene.setPhysics(&MDL_RigidBodyPhysics::instance());
        m_oScene.m_oProxyHandle.bind(m_poProxy);
    }
    void step(double dt) { m_oScene.step(dt, &m_oHost); }
    void step() { step(m_oScene.getIntegrationStep()); }

    // A collision volume of shape placed with the given centre and half
    // sizes (rows scaled), under parent (or a root of the scene).
    MDL_CollisionVolume *volume(int shape, const MTH_Vector3D &centre, const MTH_Vector3D &halfSizes,
                                MDL_Object *parent = nullptr, const char *name = nullptr)
    {
        MDL_CollisionVolume *v = new MDL_CollisionVolume(shape);
        if (name != nullptr)
            v->setName(name);
        m_oScene.addObject(v);
        MTH_Frame &frame = v->editGlobalFrame();
        frame.setIdentity();
        frame.m_oPosition = centre;
        frame.m_oBasis.scaleRows(halfSizes);
        frame.invalidateInverse();
        if (parent != nullptr)
            parent->addChild(v);
        return v;
    }
    // A body at centre carrying one volume of that shape at its origin.
    MDL_RigidBody *body(int shape, const MTH_Vector3D &centre, const MTH_Vector3D &halfSizes,
                        const char *name = nullptr)
    {
        MDL_RigidBody *b = new MDL_RigidBody();
        if (name != nullptr)
            b->setName(name);
        m_oScene.addObject(b);
        b->editGlobalPosition() = centre;
        volume(shape, centre, halfSizes, b);
        return b;
    }
    MDL_RigidBody *sphere(const MTH_Vector3D &centre, double radius, const char *name = nullptr)
    {
        return body(MDL_CollisionVolume::SHAPE_SPHERE, centre, MTH_Vector3D(radius, radius, radius), name);
    }
};

inline std::string PHYS_name(const MDL_Object *o)
{
    return o == nullptr ? "-" : (o->getName() != nullptr ? o->getName() : "?");
}
