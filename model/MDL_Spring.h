#pragma once

#include "model/MDL_BodyLink.h"

// A spring between two bodies, or a body and a fixed world point: a force
// of stiffness times the extension beyond the rest length, plus damping
// times the relative speed of its ends along it, applied as an impulse at
// the start of every physics sub-step.
class MDL_Spring : public MDL_BodyLink {
public:
    // Stiffness 1, damping 0.5, rest length 0, no bodies.
    MDL_Spring();

    // A new spring listed by scene, when the scene runs the rigid-body
    // physics; null otherwise. The scene owns it.
    static MDL_Spring *addTo(MDL_Scene &scene);

    // The impulse for a step of length dt (nothing when dt is 0).
    void solve(double dt);

    double getStiffness() const { return m_fStiffness; }
    void setStiffness(double stiffness) { m_fStiffness = stiffness; }
    double getDamping() const { return m_fDamping; }
    void setDamping(double damping) { m_fDamping = damping; }
    double getRestLength() const { return m_fRestLength; }
    void setRestLength(double length) { m_fRestLength = length; }

    double m_fStiffness;
    double m_fDamping;
    double m_fRestLength;

protected:
    void leaveScene() override;
};
