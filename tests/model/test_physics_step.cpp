// The physics of a scene step by step: bound contacts and their events, the
// order of the collision events, rest on the floor, springs and joints with
// bodies that go away, and a fixed pile stepped the same on every run.
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "model/MDL_Event.h"
#include "model/MDL_Joint.h"
#include "model/MDL_Spring.h"
#include "tests/model/physics_test_support.h"

namespace {

enum { SPHERE = MDL_CollisionVolume::SHAPE_SPHERE, BOX = MDL_CollisionVolume::SHAPE_BOX };
enum { CYLINDER = MDL_CollisionVolume::SHAPE_CYLINDER };

TEST(PhysicsStep, BoundContactsPushBodiesBackWithTheirEvents)
{
    PhysicsWorld w;
    MDL_RigidBody *ball = w.sphere(MTH_Vector3D(1, 2, 0.4), 0.5, "ball");
    MDL_RigidBody *crate = w.body(BOX, MTH_Vector3D(5, 0, 0.3), MTH_Vector3D(0.5, 0.5, 0.5), "crate");
    crate->setSpeed(MTH_Vector3D(0, 0, -1));
    w.step(0);
    std::vector<PhysicsEvent> events = w.m_poProxy->collisions();
    ASSERT_EQ(3u, events.size());
    // The ball is at rest: a contact, no impulse.
    EXPECT_EQ(9, events[0].m_iCode);
    expectNear(MTH_Vector3D(1, 2, -0.1), events[0].m_oPoint);
    EXPECT_EQ(MTH_Vector3D(0, 0, 1), events[0].m_oNormal);
    EXPECT_NEAR(0.1, events[0].m_fValue, 1e-15);
    EXPECT_EQ(ball, events[0].m_apoObjects[0]);
    EXPECT_EQ(ball->getFirstChild(), events[0].m_apoObjects[1]);
    EXPECT_EQ(nullptr, events[0].m_apoObjects[2]);
    // The crate moves into the floor lying flat: the middle of its lowest
    // face, then the impulse.
    EXPECT_EQ(9, events[1].m_iCode);
    expectNear(MTH_Vector3D(5, 0, -0.2), events[1].m_oPoint);
    EXPECT_EQ(10, events[2].m_iCode);
    EXPECT_GT(events[2].m_fValue, 0);
    EXPECT_EQ(crate, events[2].m_apoObjects[0]);
    EXPECT_EQ(nullptr, events[2].m_apoObjects[2]);
    EXPECT_EQ(nullptr, events[2].m_apoObjects[3]);
    // Both stand on the floor now; the crate's normal speed turned round
    // with the mean of the two elasticities.
    EXPECT_NEAR(0.5, ball->getGlobalPosition().m_fZ, 1e-12);
    EXPECT_GT(crate->getPointVelocity(events[1].m_oPoint).m_fZ, 0);

    // A ceiling pushes down; a script that refuses the contact lets the body
    // through.
    w.m_poProxy->m_aoEvents.clear();
    w.m_oScene.setBounds(-DBL_MAX, DBL_MAX, -DBL_MAX, DBL_MAX, -DBL_MAX, 1.2);
    ball->editGlobalPosition() = MTH_Vector3D(1, 2, 1);
    w.step(0);
    ASSERT_FALSE(w.m_poProxy->collisions().empty());
    EXPECT_EQ(MTH_Vector3D(0, 0, -1), w.m_poProxy->collisions()[0].m_oNormal);
    EXPECT_NEAR(0.7, ball->getGlobalPosition().m_fZ, 1e-12);
    w.m_poProxy->m_bRefuse = true;
    ball->editGlobalPosition() = MTH_Vector3D(1, 2, 1);
    w.step(0);
    EXPECT_EQ(1.0, ball->getGlobalPosition().m_fZ);
}

// The bounds of a body are met axis after axis: what script code does in an
// event of one axis (moving the body, taking a volume away) holds for the
// next.
TEST(PhysicsStep, BoundsSeeWhatAnEventChanged)
{
    // The event moves the body up, takes its lower ball away, or keeps that
    // ball from the bounds (the lowest bit of its mask) and refuses the
    // contact, so that nothing moves.
    for (int change = 0; change < 3; change++) {
        PhysicsWorld w;
        w.m_oScene.setBounds(-2, 2, -DBL_MAX, DBL_MAX, 0, DBL_MAX);
        // One ball of the body against the wall at x = -2, one below the
        // floor.
        MDL_RigidBody *body = w.sphere(MTH_Vector3D(-1.8, 0, 3), 0.5, "body");
        MDL_CollisionVolume *low = w.volume(SPHERE, MTH_Vector3D(-1, 0, 0.3), MTH_Vector3D(0.5, 0.5, 0.5), body, "low");
        w.m_poProxy->m_fnAction = [&](const PhysicsEvent &e) {
            if (e.m_iCode != MDL_CB_PRE_COLLISION || e.m_oNormal != MTH_Vector3D(1, 0, 0))
                return;
            if (change == 0)
                body->editGlobalPosition() = MTH_Vector3D(-1.8, 0, 5);
            else if (change == 1)
                low->unlinkFromParent();
            else
                low->setCollisionMask(0xFFFFFFFEu);
            w.m_poProxy->m_bRefuse = change == 2;
        };
        w.step(0);
        std::vector<MTH_Vector3D> normals;
        for (const PhysicsEvent &e : w.m_poProxy->collisions())
            if (e.m_iCode == MDL_CB_PRE_COLLISION)
                normals.push_back(e.m_oNormal);
        // Moved up, without its lower ball, or with that ball kept from the
        // bounds, the body is clear of the floor.
        EXPECT_EQ((std::vector<MTH_Vector3D>{MTH_Vector3D(1, 0, 0)}), normals) << change;
    }
}

TEST(PhysicsStep, AnImmovableBodyAtABoundOnlyTurns)
{
    PhysicsWorld w;
    MDL_RigidBody *fixed = w.body(BOX, MTH_Vector3D(0, 0, 0.4), MTH_Vector3D(0.5, 0.5, 0.5));
    fixed->setMass(0);
    fixed->setSpeed(MTH_Vector3D(0, 0, -1));
    fixed->setAngularSpeed(MTH_Vector3D(1, 0, 0));
    w.step(0);
    EXPECT_EQ(MTH_Vector3D(0, 0, 0.4), fixed->getGlobalPosition());
    EXPECT_EQ(MTH_Vector3D(0, 0, -1), fixed->getSpeed());
}

// In a step: post-integration, then each pair at its endpoints (a contact
// and its impulse), then the bounds body by body, then the end of the step.
TEST(PhysicsStep, CollisionEventsComeInStepOrder)
{
    PhysicsWorld w;
    MDL_RigidBody *a = w.sphere(MTH_Vector3D(0, 0, 0.45), 0.5, "a");
    MDL_RigidBody *b = w.sphere(MTH_Vector3D(0.8, 0, 0.45), 0.5, "b");
    b->setSpeed(MTH_Vector3D(-1, 0, 0));
    w.step(0);
    std::vector<std::string> order;
    for (const PhysicsEvent &e : w.m_poProxy->m_aoEvents) {
        std::string line = std::to_string(e.m_iCode);
        if (e.m_iCode == MDL_CB_PRE_COLLISION || e.m_iCode == MDL_CB_POST_COLLISION)
            line += " " + PHYS_name(e.m_apoObjects[0]) + " " + PHYS_name(e.m_apoObjects[2]);
        order.push_back(line);
    }
    const std::vector<std::string> expected = {"8", "9 b a", "10 b a", "9 a -", "9 b -", "7"};
    EXPECT_EQ(expected, order);
    EXPECT_NEAR(1.0, (b->getGlobalPosition() - a->getGlobalPosition()).length(), 1e-12);
    // Without a script to answer, every contact gets its response.
    PhysicsWorld silent;
    silent.m_oScene.m_oProxyHandle.release();
    MDL_RigidBody *c = silent.sphere(MTH_Vector3D(0, 0, 0.45), 0.5);
    silent.step(0);
    EXPECT_NEAR(0.5, c->getGlobalPosition().m_fZ, 1e-12);
}

TEST(PhysicsStep, ABodyOnTheFloorComesToRest)
{
    PhysicsWorld w;
    w.m_poProxy->m_bRecord = false;
    MDL_RigidBody *ball = w.sphere(MTH_Vector3D(0, 0, 0.5), 0.5);
    int stillAt = 0;
    for (int i = 1; i <= 1500 && stillAt == 0; i++) {
        w.step();
        if (ball->getStill())
            stillAt = i;
    }
    EXPECT_EQ(1000, stillAt);
    EXPECT_NEAR(0.5, ball->getGlobalPosition().m_fZ, 1e-4);
    MTH_Vector3D rest = ball->getGlobalPosition();
    for (int i = 0; i < 100; i++)
        w.step();
    EXPECT_EQ(rest, ball->getGlobalPosition());
}

TEST(PhysicsStep, SpringsPullAndJointsHold)
{
    PhysicsWorld w;
    w.m_oScene.setBounds(-DBL_MAX, DBL_MAX, -DBL_MAX, DBL_MAX, -DBL_MAX, DBL_MAX);
    w.m_oScene.setGravity(MTH_Vector3D());
    MDL_RigidBody *a = w.sphere(MTH_Vector3D(0, 0, 0), 0.1);
    MDL_RigidBody *b = w.sphere(MTH_Vector3D(3, 0, 0), 0.1);
    MDL_Spring *spring = MDL_Spring::addTo(w.m_oScene);
    ASSERT_NE(nullptr, spring);
    spring->setBodies(a, b);
    spring->setRestLength(1);
    spring->setStiffness(10);
    spring->solve(0); // the zero step changes nothing
    EXPECT_EQ(MTH_Vector3D(), a->getSpeed());
    spring->solve(0.01);
    // Stretched by 2: 10 x 2 x 0.01 along the line, towards each other.
    expectNear(MTH_Vector3D(0.2, 0, 0), a->getSpeed(), 1e-15);
    expectNear(MTH_Vector3D(-0.2, 0, 0), b->getSpeed(), 1e-15);

    // A ball joint to the world brings a non-turning body's point onto the
    // world point; with no relative motion it does nothing.
    MDL_RigidBody *c = w.sphere(MTH_Vector3D(0, 5, 0), 0.1);
    c->setInertia(MTH_Vector3D(0, 0, 0));
    MDL_Joint *joint = MDL_Joint::addTo(w.m_oScene);
    joint->setBodies(c, nullptr);
    joint->m_oPointB = MTH_Vector3D(1, 5, 0);
    joint->solve();
    EXPECT_EQ(MTH_Vector3D(0, 5, 0), c->getGlobalPosition());
    c->setSpeed(MTH_Vector3D(0, 0, 1));
    joint->solve();
    expectNear(MTH_Vector3D(1, 5, 0), c->getGlobalPosition(), 1e-12);
    expectNear(MTH_Vector3D(), c->getSpeed(), 1e-12);
    // Kinds outside 0 to 4 do nothing.
    joint->m_iKind = 5;
    c->setSpeed(MTH_Vector3D(0, 0, 1));
    joint->solve();
    EXPECT_EQ(MTH_Vector3D(0, 0, 1), c->getSpeed());
}

// A point kept above a plane is pushed back when it dips below, and only
// while it approaches: with elasticities of 0 it is still not held down.
TEST(PhysicsStep, APointAbovePlaneStaysOneSided)
{
    PhysicsWorld w;
    MDL_RigidBody *a = w.sphere(MTH_Vector3D(0, 0, -0.5), 0.1);
    a->setInertia(MTH_Vector3D(0, 0, 0));
    a->setElasticity(0);
    MDL_Joint *joint = MDL_Joint::addTo(w.m_oScene);
    joint->setBodies(a, nullptr);
    joint->m_iKind = MDL_Joint::POINT_ABOVE_PLANE;
    joint->m_oAxisB = MTH_Vector3D(0, 0, 1);
    // Leaving the plane upwards: moved onto it, its speed kept.
    a->setSpeed(MTH_Vector3D(0, 0, 2));
    joint->solve();
    expectNear(MTH_Vector3D(0, 0, 0), a->getGlobalPosition(), 1e-15);
    EXPECT_EQ(MTH_Vector3D(0, 0, 2), a->getSpeed());
    // Above the plane nothing happens; below it, moving down, it is stopped.
    a->editGlobalPosition() = MTH_Vector3D(0, 0, 1);
    a->setSpeed(MTH_Vector3D(0, 0, -2));
    joint->solve();
    EXPECT_EQ(MTH_Vector3D(0, 0, -2), a->getSpeed());
    a->editGlobalPosition() = MTH_Vector3D(0, 0, -1);
    joint->solve();
    expectNear(MTH_Vector3D(), a->getSpeed(), 1e-15);
    EXPECT_NEAR(0, a->getGlobalPosition().m_fZ, 1e-15);
}

TEST(PhysicsStep, LinksOfADeletedBodyGoAway)
{
    PhysicsWorld w, other;
    MDL_RigidBody *a = w.sphere(MTH_Vector3D(0, 0, 5), 0.1);
    MDL_RigidBody *b = w.sphere(MTH_Vector3D(2, 0, 5), 0.1);
    MDL_RigidBody *far = other.sphere(MTH_Vector3D(0, 0, 5), 0.1);
    MDL_Spring *spring = MDL_Spring::addTo(w.m_oScene);
    spring->setBodies(a, b);
    MDL_Joint *joint = MDL_Joint::addTo(w.m_oScene);
    joint->setBodies(a, far); // across scenes
    MDL_Spring *kept = MDL_Spring::addTo(w.m_oScene);
    kept->setBodies(a, nullptr);
    kept->m_oPointB = MTH_Vector3D(0, 0, 9);

    // Flagged, not yet purged: the spring is not solved any more.
    MDL_Scene::deleteObject(b);
    a->setSpeed(MTH_Vector3D());
    spring->solve(0.1);
    EXPECT_EQ(MTH_Vector3D(), a->getSpeed());
    w.m_oScene.purgeDeleted();
    ASSERT_EQ(2, w.m_oScene.m_oSprings.m_iCount + w.m_oScene.m_oJoints.m_iCount);

    // The body of the other scene goes with its scene's purge: the joint
    // leaves this scene's list.
    MDL_Scene::deleteObject(far);
    other.m_oScene.purgeDeleted();
    EXPECT_EQ(0, w.m_oScene.m_oJoints.m_iCount);
    ASSERT_EQ(1, w.m_oScene.m_oSprings.m_iCount);
    EXPECT_EQ(kept, w.m_oScene.m_oSprings[0]);
    for (int i = 0; i < 10; i++)
        w.step();

    // A scene destroyed first takes its links out of the bodies it joins.
    PhysicsWorld *first = new PhysicsWorld();
    MDL_Spring *across = MDL_Spring::addTo(first->m_oScene);
    across->setBodies(nullptr, a);
    delete first;
    EXPECT_EQ(1, a->m_oLinks.m_iCount);
    // A scene without this physics makes no links.
    MDL_Scene plain;
    EXPECT_EQ(nullptr, MDL_Spring::addTo(plain));
    EXPECT_EQ(nullptr, MDL_Joint::addTo(plain));
}

// FNV-1a over the bits of every body's position and basis.
uint64_t hashBodies(MDL_Scene &scene)
{
    uint64_t hash = 1469598103934665603ull;
    auto add = [&hash](double value) {
        uint64_t bits;
        std::memcpy(&bits, &value, sizeof bits);
        for (int i = 0; i < 8; i++) {
            hash ^= (bits >> (8 * i)) & 0xFF;
            hash *= 1099511628211ull;
        }
    };
    for (int i = 0; i < scene.m_oRigidBodies.m_iCount; i++) {
        const MTH_Frame &frame = scene.m_oRigidBodies[i]->getGlobalFrame();
        add(frame.m_oPosition.m_fX);
        add(frame.m_oPosition.m_fY);
        add(frame.m_oPosition.m_fZ);
        for (int r = 0; r < 3; r++) {
            add(frame.m_oBasis.getRow(r).m_fX);
            add(frame.m_oBasis.getRow(r).m_fY);
            add(frame.m_oBasis.getRow(r).m_fZ);
        }
    }
    return hash;
}

// A fixed pile of spheres, boxes and cylinders dropped into a box of bounds:
// the same transforms and the same step of rest on every run and build.
TEST(PhysicsStep, AFixedPileIsDeterministic)
{
    PhysicsWorld w;
    w.m_poProxy->m_bRecord = false;
    w.m_oScene.setBounds(-2, 2, -2, 2, 0, DBL_MAX);
    const int shapes[] = {SPHERE, BOX, CYLINDER};
    for (int i = 0; i < 24; i++) {
        int shape = shapes[i % 3];
        double size = 0.3 + 0.05 * (i % 4);
        MTH_Vector3D centre(-1.2 + 0.8 * (i % 4), -1.0 + 1.0 * ((i / 4) % 3), 0.6 + 0.9 * (i / 12) + 0.1 * (i % 5));
        MDL_RigidBody *body = w.body(shape, centre, MTH_Vector3D(size, size, shape == CYLINDER ? size * 1.5 : size));
        body->editGlobalBasis().rotate(MTH_Vector3D(1, 0.5 * i, 0.3), 0.2 * i);
        body->setInertia(MTH_Vector3D(0.05, 0.05, 0.05));
    }
    const int steps = 15000;
    int restStep = 0;
    for (int s = 1; s <= steps; s++) {
        w.step();
        if (restStep == 0) {
            bool all = true;
            for (int i = 0; i < w.m_oScene.m_oRigidBodies.m_iCount && all; i++)
                all = MDL_RigidBody::cast(w.m_oScene.m_oRigidBodies[i])->getStill();
            if (all)
                restStep = s;
        }
    }
    uint64_t hash = hashBodies(w.m_oScene);
    EXPECT_EQ(3218, restStep);
    EXPECT_EQ(0xe726f00db716027aull, hash) << std::hex << hash;
    // Nothing left the box or sank into the floor.
    for (int i = 0; i < w.m_oScene.m_oRigidBodies.m_iCount; i++) {
        const MTH_Vector3D &p = w.m_oScene.m_oRigidBodies[i]->getGlobalPosition();
        EXPECT_TRUE(std::fabs(p.m_fX) < 2 && std::fabs(p.m_fY) < 2 && p.m_fZ > 0 && p.m_fZ < 5) << i;
    }
}

} // namespace
