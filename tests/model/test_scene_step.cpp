#include <gtest/gtest.h>

#include <cfloat>
#include <cstdarg>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "model/MDL_Event.h"
#include "model/MDL_Object.h"
#include "model/MDL_Scene.h"
#include "tests/support/TEST_Support.h"

namespace {

typedef std::vector<std::string> Log;

std::string format(const char *f, ...) __attribute__((format(printf, 1, 2)));
std::string format(const char *f, ...)
{
    char buffer[128];
    va_list args;
    va_start(args, f);
    vsnprintf(buffer, sizeof buffer, f, args);
    va_end(args);
    return buffer;
}

const char *nameOf(const MDL_Object *o)
{
    return o != nullptr && o->getName() != nullptr ? o->getName() : "?";
}

// Springs and joints of the recording physics: two bodies and a number.
struct Link {
    int m_iId;
    MDL_Object *m_poA;
    MDL_Object *m_poB;
};

// Writes every phase the scene calls into the log.
class RecordingPhysics : public MDL_ScenePhysics {
public:
    explicit RecordingPhysics(Log &log) : m_oLog(log) {}
    ~RecordingPhysics() override { EXPECT_EQ(0, m_iLive) << "springs or joints left undestroyed"; }

    MDL_Spring *newSpring() override { return reinterpret_cast<MDL_Spring *>(make()); }
    MDL_Joint *newJoint() override { return reinterpret_cast<MDL_Joint *>(make()); }
    void deleteSpring(MDL_Spring *spring) override { drop("spring", reinterpret_cast<Link *>(spring)); }
    void deleteJoint(MDL_Joint *joint) override { drop("joint", reinterpret_cast<Link *>(joint)); }
    void springBodies(const MDL_Spring *spring, MDL_Object *&a, MDL_Object *&b) override
    {
        bodies(reinterpret_cast<const Link *>(spring), a, b);
    }
    void jointBodies(const MDL_Joint *joint, MDL_Object *&a, MDL_Object *&b) override
    {
        bodies(reinterpret_cast<const Link *>(joint), a, b);
    }
    void solveSpring(MDL_Spring *spring, double dt) override
    {
        m_oLog.push_back(format("spring %d %g", reinterpret_cast<Link *>(spring)->m_iId, dt));
    }
    void integrate(MDL_Object *body, const MTH_Vector3D &gravity, double dt) override
    {
        m_oLog.push_back(format("integrate %s %g %g", nameOf(body), gravity.m_fZ, dt));
    }
    void solveJoint(MDL_Joint *joint) override
    {
        m_oLog.push_back(format("joint %d", reinterpret_cast<Link *>(joint)->m_iId));
    }
    void collide(MDL_Scene &, UTIL_EventHost *) override { m_oLog.push_back("collide"); }
    void collideBounds(MDL_Object *body, UTIL_EventHost *, int axis, double minimum, double maximum, double elasticity,
                       double friction) override
    {
        m_oLog.push_back(format("bounds %s %c %s %s %g %g", nameOf(body), "xyz"[axis], bound(minimum).c_str(),
                                bound(maximum).c_str(), elasticity, friction));
    }
    void settleContacts() override { m_oLog.push_back("settle"); }

    static Link *link(MDL_Spring *spring) { return reinterpret_cast<Link *>(spring); }
    static Link *link(MDL_Joint *joint) { return reinterpret_cast<Link *>(joint); }

    Log &m_oLog;
    int m_iNext = 0;
    int m_iLive = 0;

private:
    Link *make()
    {
        m_iLive++;
        return new Link{m_iNext++, nullptr, nullptr};
    }
    void drop(const char *what, Link *l)
    {
        m_oLog.push_back(format("delete %s %d", what, l->m_iId));
        m_iLive--;
        delete l;
    }
    static std::string bound(double v) { return v == DBL_MAX ? "open" : (v == -DBL_MAX ? "-open" : format("%g", v)); }
    static void bodies(const Link *l, MDL_Object *&a, MDL_Object *&b)
    {
        a = l->m_poA;
        b = l->m_poB;
    }
};

// The scene's script proxy: logs its events and runs an action in them.
class RecordingProxy : public UTIL_Proxy {
public:
    explicit RecordingProxy(Log &log) : m_oLog(log) {}
    int handleCallback(UTIL_EventHost *, int code, va_list args) override
    {
        double dt = MDL_StepEvent::read(args).m_fStep;
        m_oLog.push_back(format("event %d %g", code, dt));
        if (m_fnAction)
            m_fnAction(code);
        return 1;
    }
    Log &m_oLog;
    std::function<void(int)> m_fnAction;
};

MDL_Object *body(const char *name)
{
    MDL_Object *o = new MDL_Object();
    o->m_iType = OBJECT_RIGID_BODY;
    o->setName(name);
    return o;
}

class SceneStep : public ::testing::Test {
protected:
    SceneStep() : m_oPhysics(m_oLog)
    {
        m_poScene = new MDL_Scene("physics");
        EXPECT_TRUE(m_poScene->setPhysics(&m_oPhysics));
        m_poProxy = new RecordingProxy(m_oLog);
        m_poScene->m_oProxyHandle.bind(m_poProxy);
    }
    ~SceneStep() override
    {
        delete m_poScene; // releases the proxy, destroys the springs and joints
    }

    Log m_oLog;
    RecordingPhysics m_oPhysics;
    TEST_EventHost m_oHost;
    UTIL_EventHost *m_poEvents = &m_oHost;
    MDL_Scene *m_poScene;
    RecordingProxy *m_poProxy;
};

TEST_F(SceneStep, PhasesRunInTheFixedOrder)
{
    MDL_Scene &scene = *m_poScene;
    MDL_Object *a = body("a"), *b = body("b");
    scene.addObject(a);
    scene.addObject(b);
    ASSERT_NE(nullptr, scene.newSpring());
    ASSERT_NE(nullptr, scene.newSpring());
    ASSERT_NE(nullptr, scene.newJoint());
    ASSERT_NE(nullptr, scene.newJoint());

    // Default bounds: only z is bounded (floor at 0).
    scene.step(0.25, m_poEvents);
    const Log first = {
        "spring 0 0.25",
        "spring 1 0.25",
        "integrate a -9.81 0.25",
        "integrate b -9.81 0.25",
        "event 8 0.25",
        "joint 2",
        "joint 3",
        "collide",
        "bounds a z 0 open 0.6 0.8",
        "bounds b z 0 open 0.6 0.8",
        "settle",
        "event 7 0.25",
    };
    EXPECT_EQ(first, m_oLog);

    // A zero step integrates nothing and runs everything else; every axis
    // with a finite side is bounded, x, y, z in turn for each body.
    m_oLog.clear();
    scene.setBounds(-1, DBL_MAX, -DBL_MAX, DBL_MAX, -DBL_MAX, 4);
    scene.setElasticity(0.5);
    scene.setFriction(0.25);
    scene.step(0, m_poEvents);
    const Log zero = {
        "spring 0 0",
        "spring 1 0",
        "event 8 0",
        "joint 2",
        "joint 3",
        "collide",
        "bounds a x -1 open 0.5 0.25",
        "bounds a z -open 4 0.5 0.25",
        "bounds b x -1 open 0.5 0.25",
        "bounds b z -open 4 0.5 0.25",
        "settle",
        "event 7 0",
    };
    EXPECT_EQ(zero, m_oLog);

    // Without a script engine the phases still run; no event is posted.
    m_oLog.clear();
    scene.setBounds(-DBL_MAX, DBL_MAX, -DBL_MAX, DBL_MAX, -DBL_MAX, DBL_MAX);
    scene.step(0.5, nullptr);
    const Log silent = {
        "spring 0 0.5", "spring 1 0.5", "integrate a -9.81 0.5", "integrate b -9.81 0.5", "joint 2", "joint 3",
        "collide",      "settle"};
    EXPECT_EQ(silent, m_oLog);
}

TEST_F(SceneStep, WithoutPhysicsOnlyTheEventsRemain)
{
    MDL_Scene &scene = *m_poScene;
    ASSERT_NE(nullptr, scene.newSpring());
    EXPECT_FALSE(scene.setPhysics(nullptr)); // it still owns a spring of this physics
    delete m_poScene;
    m_poScene = new MDL_Scene();
    m_oLog.clear();
    EXPECT_EQ(nullptr, m_poScene->getPhysics());
    m_poProxy = new RecordingProxy(m_oLog);
    m_poScene->m_oProxyHandle.bind(m_poProxy);
    m_poScene->addObject(body("a"));
    EXPECT_EQ(nullptr, m_poScene->newSpring());
    EXPECT_EQ(nullptr, m_poScene->newJoint());
    m_poScene->step(0.1, m_poEvents);
    EXPECT_EQ((Log{"event 8 0.1", "event 7 0.1"}), m_oLog);

    // New scenes take the default physics.
    MDL_Scene::setDefaultPhysics(&m_oPhysics);
    MDL_Scene scene2;
    MDL_Scene::setDefaultPhysics(nullptr);
    EXPECT_EQ(&m_oPhysics, scene2.getPhysics());
    EXPECT_EQ(nullptr, MDL_Scene::getDefaultPhysics());
}

// Script code run from the step's events deletes a body and adds one: the
// step goes on over the flagged body (still allocated), reaches the new one,
// and the purge at the end of the frame removes the deleted body with the
// spring and the joint that join it.
TEST_F(SceneStep, ObjectsDeletedDuringAnEventArePurgedSafely)
{
    MDL_Scene &scene = *m_poScene;
    MDL_Object *a = body("a"), *b = body("b");
    scene.addObject(a);
    scene.addObject(b);
    MDL_Spring *spring = scene.newSpring();
    RecordingPhysics::link(spring)->m_poA = a;
    RecordingPhysics::link(spring)->m_poB = b;
    MDL_Spring *keptSpring = scene.newSpring();
    RecordingPhysics::link(keptSpring)->m_poB = b;
    MDL_Joint *joint = scene.newJoint();
    RecordingPhysics::link(joint)->m_poB = a;

    MDL_Object *c = nullptr;
    m_poProxy->m_fnAction = [&](int code) {
        if (code == MDL_CB_POST_INTEGRATION && c == nullptr) {
            MDL_Scene::deleteObject(a);
            c = body("c");
            scene.addObject(c);
        }
    };
    std::vector<std::string> purged;
    scene.setPurgeHook(
        [](MDL_Scene *, MDL_Object *const *objects, int count, void *context) {
            for (int i = 0; i < count; i++)
                static_cast<std::vector<std::string> *>(context)->push_back(nameOf(objects[i]));
        },
        &purged);

    scene.step(0.5, m_poEvents);
    const Log during = {
        "spring 0 0.5",
        "spring 1 0.5",
        "integrate a -9.81 0.5",
        "integrate b -9.81 0.5",
        "event 8 0.5",
        "joint 2",
        "collide",
        "bounds a z 0 open 0.6 0.8",
        "bounds b z 0 open 0.6 0.8",
        "bounds c z 0 open 0.6 0.8",
        "settle",
        "event 7 0.5",
    };
    EXPECT_EQ(during, m_oLog);
    EXPECT_TRUE(a->m_bDeleted);
    EXPECT_EQ(3, scene.m_oRigidBodies.m_iCount); // flagged, still listed

    m_oLog.clear();
    scene.purgeDeleted();
    EXPECT_EQ((std::vector<std::string>{"a"}), purged);
    EXPECT_EQ((Log{"delete spring 0", "delete joint 2"}), m_oLog);
    ASSERT_EQ(1, scene.m_oSprings.m_iCount);
    EXPECT_EQ(keptSpring, scene.m_oSprings[0]);
    EXPECT_EQ(0, scene.m_oJoints.m_iCount);
    ASSERT_EQ(2, scene.m_oRigidBodies.m_iCount);
    EXPECT_EQ(b, scene.m_oRigidBodies[0]);
    EXPECT_EQ(c, scene.m_oRigidBodies[1]);
    EXPECT_EQ(2, scene.m_oObjects.m_iCount);

    m_oLog.clear();
    scene.step(0, m_poEvents);
    EXPECT_EQ((Log{"spring 1 0", "event 8 0", "collide", "bounds b z 0 open 0.6 0.8", "bounds c z 0 open 0.6 0.8",
                   "settle", "event 7 0"}),
              m_oLog);
}

TEST_F(SceneStep, DestroyingTheSceneReleasesItsProxyAndDestroysSpringsAndJoints)
{
    bool destroyed = false;
    struct Watched : public UTIL_Proxy {
        explicit Watched(bool *flag) : m_pbFlag(flag) {}
        ~Watched() override { *m_pbFlag = true; }
        bool *m_pbFlag;
    };
    Watched *watched = new Watched(&destroyed);
    watched->m_poObject = m_poScene;
    watched->m_iRefCount = 1; // a script still holds it
    m_poScene->m_oProxyHandle.bind(watched);
    m_poScene->newSpring();
    m_poScene->newJoint();
    delete m_poScene;
    m_poScene = nullptr;
    EXPECT_FALSE(destroyed);
    EXPECT_EQ(nullptr, watched->m_poObject);
    EXPECT_EQ(1, watched->m_iRefCount);
    EXPECT_EQ((Log{"delete spring 0", "delete joint 1"}), m_oLog);
    delete watched;
    m_poScene = new MDL_Scene();
}

} // namespace
