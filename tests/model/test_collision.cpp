// Collision detection: the shape tests and their conventions, degenerate
// shapes, and the sweep's pairing rules.
#include <gtest/gtest.h>

#include <cmath>

#include "model/MDL_Collision.h"
#include "model/MDL_Event.h"
#include "tests/model/physics_test_support.h"

namespace {

enum { SPHERE = MDL_CollisionVolume::SHAPE_SPHERE, BOX = MDL_CollisionVolume::SHAPE_BOX };
enum { CYLINDER = MDL_CollisionVolume::SHAPE_CYLINDER };

struct Contact {
    bool m_bHit = false;
    MTH_Vector3D m_oPoint, m_oNormal;
    double m_fDepth = 0;
};

Contact contact(MDL_CollisionVolume *a, MDL_CollisionVolume *b)
{
    a->getRadius();
    b->getRadius();
    Contact c;
    c.m_bHit = MDL_Collision::testContact(a, b, c.m_oPoint, c.m_oNormal, c.m_fDepth);
    return c;
}

TEST(Collision, ShapeTestsFollowOneConvention)
{
    PhysicsWorld w;
    const MTH_Vector3D one(1, 1, 1);
    struct Case {
        const char *what;
        int shapeA;
        MTH_Vector3D centreA, sizeA;
        int shapeB;
        MTH_Vector3D centreB, sizeB;
        MTH_Vector3D point, normal;
        double depth;
    } cases[] = {
        {"spheres at one centre", SPHERE, MTH_Vector3D(), one, SPHERE, MTH_Vector3D(), MTH_Vector3D(2, 2, 2),
         MTH_Vector3D(1, 0, 0), MTH_Vector3D(1, 0, 0), 3},
        {"spheres apart along y", SPHERE, MTH_Vector3D(), one, SPHERE, MTH_Vector3D(0, 1.5, 0), one,
         MTH_Vector3D(0, 1, 0), MTH_Vector3D(0, 1, 0), 0.5},
        // A face lying flat on a face touches at the middle of the corners
        // that lie on the other box.
        {"box below a box", BOX, MTH_Vector3D(), one, BOX, MTH_Vector3D(0, 0, 1.9), one, MTH_Vector3D(0, 0, 1),
         MTH_Vector3D(0, 0, 1), 0.1},
        // Equal depths along x and y: the earlier axis (A's row 0) wins; of
        // B's face across it only the edge over A's face touches.
        {"boxes corner to corner", BOX, MTH_Vector3D(), one, BOX, MTH_Vector3D(1.9, 1.9, 0), one,
         MTH_Vector3D(1, 0.9, 0), MTH_Vector3D(1, 0, 0), 0.1},
        {"sphere on a box", BOX, MTH_Vector3D(), one, SPHERE, MTH_Vector3D(0.2, 0, 1.5), one, MTH_Vector3D(0.2, 0, 1),
         MTH_Vector3D(0, 0, 1), 0.5},
        {"box under a sphere, swapped", SPHERE, MTH_Vector3D(0.2, 0, 1.5), one, BOX, MTH_Vector3D(), one,
         MTH_Vector3D(0.2, 0, 0.5), MTH_Vector3D(0, 0, -1), 0.5},
        // The cylinder's side lies along the box's face: the middle of the
        // line it touches along.
        {"cylinder beside a box", BOX, MTH_Vector3D(), one, CYLINDER, MTH_Vector3D(1.8, 0, 0), one,
         MTH_Vector3D(1, 0, 0), MTH_Vector3D(1, 0, 0), 0.2},
    };
    for (const Case &c : cases) {
        MDL_CollisionVolume *a = w.volume(c.shapeA, c.centreA, c.sizeA);
        MDL_CollisionVolume *b = w.volume(c.shapeB, c.centreB, c.sizeB);
        Contact got = contact(a, b);
        ASSERT_TRUE(got.m_bHit) << c.what;
        EXPECT_NEAR(c.depth, got.m_fDepth, 1e-12) << c.what;
        expectNear(c.normal, got.m_oNormal, 1e-12);
        expectNear(c.point, got.m_oPoint, 1e-12);
        // The pair the other way round: the same depth, the normal reversed
        // (coincident centres have no direction of their own).
        if (c.centreA == c.centreB)
            continue;
        Contact back = contact(b, a);
        ASSERT_TRUE(back.m_bHit) << c.what;
        EXPECT_NEAR(got.m_fDepth, back.m_fDepth, 1e-12) << c.what;
        expectNear(-got.m_oNormal, back.m_oNormal, 1e-12);
    }
}

TEST(Collision, RimContactOfASphereOnACylinder)
{
    // Centre (0.5, 0, 1.5) above a unit cylinder: the nearest rim point is
    // (1, 0, 1); the sphere of radius 1 reaches it.
    PhysicsWorld w;
    MDL_CollisionVolume *s = w.volume(SPHERE, MTH_Vector3D(0.5, 0, 1.5), MTH_Vector3D(1, 1, 1));
    MDL_CollisionVolume *c = w.volume(CYLINDER, MTH_Vector3D(), MTH_Vector3D(1, 1, 1));
    Contact got = contact(s, c);
    ASSERT_TRUE(got.m_bHit);
    double h = std::sqrt(0.5 * 0.5 + 0.5 * 0.5);
    EXPECT_NEAR(1 - h, got.m_fDepth, 1e-12);
    MTH_Vector3D n(0.5 / h, 0, -0.5 / h);
    expectNear(n, got.m_oNormal, 1e-12);
    expectNear(MTH_Vector3D(1, 0, 1) + n * (1 - h), got.m_oPoint, 1e-12);
}

TEST(Collision, DegenerateShapesGiveNoContact)
{
    PhysicsWorld w;
    const MTH_Vector3D one(1, 1, 1), none(0, 0, 0);
    struct Case {
        const char *what;
        int shapeA;
        MTH_Vector3D centreA, sizeA;
        int shapeB;
        MTH_Vector3D centreB, sizeB;
    } cases[] = {
        {"two cylinders", CYLINDER, MTH_Vector3D(), one, CYLINDER, MTH_Vector3D(0.5, 0, 0), one},
        // No axis can be tested: no normal, no depth.
        {"two boxes of no size", BOX, MTH_Vector3D(), none, BOX, MTH_Vector3D(), none},
        // On the rim the direction to the cylinder is zero.
        {"sphere centred on a rim", SPHERE, MTH_Vector3D(1, 0, 1), one, CYLINDER, MTH_Vector3D(), one},
        {"cylinder with a sphere centred on its rim", CYLINDER, MTH_Vector3D(), one, SPHERE, MTH_Vector3D(0, 1, -1),
         one},
        {"sphere centred on the nearest box corner", BOX, MTH_Vector3D(), one, SPHERE, MTH_Vector3D(1, 1, 1), one},
        {"unknown shape", 7, MTH_Vector3D(), one, SPHERE, MTH_Vector3D(), one},
    };
    for (const Case &c : cases) {
        Contact got = contact(w.volume(c.shapeA, c.centreA, c.sizeA), w.volume(c.shapeB, c.centreB, c.sizeB));
        EXPECT_FALSE(got.m_bHit) << c.what;
    }
    // A box of no size inside a box still touches it along the box's axes.
    Contact inside = contact(w.volume(BOX, MTH_Vector3D(0, 0, 0.5), none), w.volume(BOX, MTH_Vector3D(), one));
    EXPECT_TRUE(inside.m_bHit);
    EXPECT_TRUE(std::isfinite(inside.m_fDepth));
}

// Who meets whom in a pass: layers and masks, fixed volumes, still bodies,
// the script's answer.
TEST(Collision, PassPairsVolumesByTheirRules)
{
    PhysicsWorld w;
    w.m_oScene.setBounds(-DBL_MAX, DBL_MAX, -DBL_MAX, DBL_MAX, -DBL_MAX, DBL_MAX);
    MDL_RigidBody *a = w.sphere(MTH_Vector3D(0, 0, 5), 1, "a");
    MDL_RigidBody *b = w.sphere(MTH_Vector3D(1.5, 0, 5), 1, "b");
    MDL_CollisionVolume *va = static_cast<MDL_CollisionVolume *>(a->getFirstChild());
    MDL_CollisionVolume *vb = static_cast<MDL_CollisionVolume *>(b->getFirstChild());
    // Fixed volumes never meet each other.
    w.volume(SPHERE, MTH_Vector3D(10, 0, 0), MTH_Vector3D(1, 1, 1));
    w.volume(SPHERE, MTH_Vector3D(10.5, 0, 0), MTH_Vector3D(1, 1, 1));
    auto pairs = [&]() {
        w.m_poProxy->m_aoEvents.clear();
        w.m_oScene.collide(&w.m_oHost);
        int count = 0;
        for (const PhysicsEvent &e : w.m_poProxy->m_aoEvents)
            count += e.m_iCode == MDL_CB_PRE_COLLISION;
        return count;
    };
    // Only one side's mask needs to match the other's layer.
    va->m_iCollisionLayer = 2;
    va->m_uiCollisionMask = 4;
    vb->m_iCollisionLayer = 4;
    vb->m_uiCollisionMask = 1;
    w.m_poProxy->m_bRefuse = true;
    EXPECT_EQ(2, pairs()); // examined at two endpoints, never answered
    vb->m_uiCollisionMask = 8;
    va->m_uiCollisionMask = 1;
    EXPECT_EQ(0, pairs());
    va->m_uiCollisionMask = 0xFFFFFFFFu;
    // Two still bodies are not tested; a moving one and a still one are.
    a->setStill(true);
    b->setStill(true);
    EXPECT_EQ(0, pairs());
    b->setStill(false);
    EXPECT_EQ(2, pairs());
    // An answered contact is resolved at once: the second examination
    // finds the pair apart.
    w.m_poProxy->m_bRefuse = false;
    EXPECT_EQ(1, pairs());
    EXPECT_NEAR(2.0, (b->getGlobalPosition() - a->getGlobalPosition()).length(), 1e-12);
}

// A volume that script code adds while the pass runs waits for the next
// pass: it has no radius nor endpoint values yet.
TEST(Collision, VolumesAddedDuringThePassWaitForTheNext)
{
    PhysicsWorld w;
    w.m_oScene.setBounds(-DBL_MAX, DBL_MAX, -DBL_MAX, DBL_MAX, -DBL_MAX, DBL_MAX);
    w.sphere(MTH_Vector3D(0, 0, 5), 1, "a");
    w.sphere(MTH_Vector3D(1.5, 0, 5), 1, "b");
    MDL_RigidBody *added = nullptr;
    w.m_poProxy->m_bRefuse = true;
    w.m_poProxy->m_fnAction = [&](const PhysicsEvent &e) {
        if (e.m_iCode == MDL_CB_PRE_COLLISION && added == nullptr)
            added = w.sphere(MTH_Vector3D(0.5, 0, 5), 1, "added");
    };
    w.m_oScene.collide(&w.m_oHost);
    ASSERT_NE(nullptr, added);
    for (const PhysicsEvent &e : w.m_poProxy->m_aoEvents)
        for (MDL_Object *o : e.m_apoObjects)
            EXPECT_NE(added, o);
    w.m_poProxy->m_aoEvents.clear();
    w.m_oScene.collide(&w.m_oHost);
    int withAdded = 0;
    for (const PhysicsEvent &e : w.m_poProxy->m_aoEvents)
        withAdded += e.m_apoObjects[0] == added || e.m_apoObjects[2] == added;
    EXPECT_EQ(4, withAdded); // it meets both others, at two endpoints each
}

// Script code answering an event may move a body anywhere: the pairs after
// it in the same pass see where it is now, whichever event moved it.
TEST(Collision, BodiesMovedByEventsAreSeenAtOnce)
{
    for (int code : {9, 10}) {
        PhysicsWorld w;
        MDL_RigidBody *a = w.sphere(MTH_Vector3D(0, 0, 5), 1, "a");
        MDL_RigidBody *b = w.sphere(MTH_Vector3D(1.5, 0, 5), 1, "b");
        // Within both intervals along x, far away along y.
        MDL_RigidBody *c = w.sphere(MTH_Vector3D(0.8, 20, 5), 1, "c");
        b->setSpeed(MTH_Vector3D(-1, 0, 0));
        w.m_poProxy->m_fnAction = [&](const PhysicsEvent &e) {
            if (e.m_iCode == code && e.m_apoObjects[0] == b && e.m_apoObjects[2] == a)
                c->editGlobalPosition() = MTH_Vector3D(2.2, 0, 5);
        };
        w.m_oScene.collide(&w.m_oHost);
        std::vector<std::string> order;
        for (const PhysicsEvent &e : w.m_poProxy->collisions())
            order.push_back(std::to_string(e.m_iCode) + " " + PHYS_name(e.m_apoObjects[0]) + " " +
                            PHYS_name(e.m_apoObjects[2]));
        ASSERT_GE(order.size(), 3u) << code;
        EXPECT_EQ("9 b a", order[0]) << code;
        EXPECT_EQ("10 b a", order[1]) << code;
        EXPECT_EQ("9 b c", order[2]) << code;
    }
}

// Two crates whose bounding spheres overlap but whose shapes are apart are
// tested at both endpoints; when script code moves one into the other in
// between, the second test finds the contact.
TEST(Collision, PairsFoundApartAreTestedAgainAfterAMove)
{
    PhysicsWorld w;
    MDL_RigidBody *a = w.sphere(MTH_Vector3D(0, 0, 5), 1, "a");
    MDL_RigidBody *b = w.sphere(MTH_Vector3D(1.6, 0, 5), 1, "b");
    const MTH_Vector3D half(0.5, 0.5, 0.5);
    w.body(BOX, MTH_Vector3D(0.45, 5, 5), half, "d");
    MDL_RigidBody *e = w.body(BOX, MTH_Vector3D(1, 6.2, 5), half, "e");
    w.m_poProxy->m_fnAction = [&](const PhysicsEvent &ev) {
        if (ev.m_iCode == MDL_CB_PRE_COLLISION && ev.m_apoObjects[0] == b && ev.m_apoObjects[2] == a)
            e->editGlobalPosition() = MTH_Vector3D(1, 5.9, 5);
    };
    w.m_oScene.collide(&w.m_oHost);
    std::vector<std::string> contacts;
    for (const PhysicsEvent &ev : w.m_poProxy->collisions())
        if (ev.m_iCode == MDL_CB_PRE_COLLISION)
            contacts.push_back(PHYS_name(ev.m_apoObjects[0]) + " " + PHYS_name(ev.m_apoObjects[2]));
    EXPECT_EQ((std::vector<std::string>{"b a", "d e"}), contacts);
}

// Pairs far from the origin, at the edge of the float range and beyond it,
// or tiny, meet exactly where their bounding spheres do.
TEST(Collision, PairsMeetAtAnyMagnitude)
{
    const struct {
        double y1, y2, radius;
        bool contact;
    } cases[] = {
        {1e6, 1e6 + 1.999999, 1, true},     {1e6, 1e6 + 2.000001, 1, false}, {3.3e38, 3.3e38, 1, true},
        {3.4023e38, 3.4038e38, 1e35, true}, // one within the floats' range, one beyond
        {-3.4e38, -3.4e38, 1, true},        {1e140, 1e140, 1, true},         {1e200, 1e200, 1, true},
        {0, 1.5e-150, 1e-150, true},        {0, 2.5e-150, 1e-150, false},    {0, 5, 1, false},
    };
    for (const auto &c : cases) {
        PhysicsWorld w;
        w.sphere(MTH_Vector3D(0, c.y1, 5), c.radius, "a");
        w.sphere(MTH_Vector3D(0, c.y2, 5), c.radius, "b");
        w.m_poProxy->m_bRefuse = true;
        w.m_oScene.collide(&w.m_oHost);
        EXPECT_EQ(c.contact ? 2u : 0u, w.m_poProxy->collisions().size()) << c.y1 << " " << c.y2 << " " << c.radius;
    }
}

} // namespace
