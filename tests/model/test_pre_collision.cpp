// The question put before a contact's response: only a handler that refuses
// the contact leaves it unanswered. With nobody to ask (a scene without
// scripts) every contact gets its response.
#include <gtest/gtest.h>

#include <cstdarg>

#include "model/MDL_Event.h"
#include "tests/model/physics_test_support.h"

namespace {

// Stands for the scene's script proxy: gives result to every pre-collision
// question.
class Answering : public UTIL_Proxy {
public:
    explicit Answering(int result) : m_iResult(result) {}
    int handleCallback(UTIL_EventHost *, int code, va_list) override
    {
        return code == MDL_CB_PRE_COLLISION ? m_iResult : 0;
    }
    int m_iResult;
};

TEST(PreCollision, OnlyARefusalLeavesAContactUnanswered)
{
    const struct {
        const char *who;
        bool proxy, host, accepts;
        int result; // the proxy's
        bool answered;
    } cases[] = {
        {"no proxy", false, true, true, 0, true},
        {"no host", true, false, true, 0, true},
        {"a host that takes no events", true, true, false, MDL_ContactEvent::answer(false), true},
        {"a proxy without a function for the event", true, true, true, 0, true},
        {"a script that answers yes", true, true, true, MDL_ContactEvent::answer(true), true},
        {"a script that refuses", true, true, true, MDL_ContactEvent::answer(false), false},
    };
    for (const auto &c : cases) {
        PhysicsWorld w;
        if (c.proxy)
            w.m_oScene.m_oProxyHandle.bind(new Answering(c.result));
        else
            w.m_oScene.m_oProxyHandle.release();
        w.m_oHost.m_bAccepts = c.accepts;
        // A ball sunk into the floor (a bound contact), and two balls that
        // overlap (a pair).
        MDL_RigidBody *sunk = w.sphere(MTH_Vector3D(0, 0, 0.45), 0.5);
        MDL_RigidBody *a = w.sphere(MTH_Vector3D(10, 0, 5), 0.5);
        MDL_RigidBody *b = w.sphere(MTH_Vector3D(10.8, 0, 5), 0.5);
        w.m_oScene.step(0, c.host ? &w.m_oHost : nullptr);
        EXPECT_NEAR(c.answered ? 0.5 : 0.45, sunk->getGlobalPosition().m_fZ, 1e-12) << c.who;
        EXPECT_NEAR(c.answered ? 1.0 : 0.8, (b->getGlobalPosition() - a->getGlobalPosition()).length(), 1e-12) << c.who;
    }
}

} // namespace
