// Bodies that come to rest: crates dropped flat or on an edge, a ball and a
// drum settle on the floor and freeze with speeds below the rest thresholds;
// a crate rests on a shallow slope and slides down a steep one; a pile comes
// to rest; a frozen body that another rests on stays where it is until a
// blow, or a body that cannot fit beside it, wakes it.
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <string>
#include <vector>

#include "model/MDL_Event.h"
#include "tests/model/physics_test_support.h"

namespace {

enum { SPHERE = MDL_CollisionVolume::SHAPE_SPHERE, BOX = MDL_CollisionVolume::SHAPE_BOX };
enum { CYLINDER = MDL_CollisionVolume::SHAPE_CYLINDER };

// The rest thresholds of the bodies (squared speeds, the widened constants).
const double REST_SPEED_SQUARED = 0.009999999776482582;
const double REST_TURN_SQUARED = 0.10000000149011612;
const double DEGREE = 0.017453292519943295;

// One frame of 0.02 s as the player plays it: ten sub-steps, then the step
// of length 0 that follows the scripts' update.
void playFrame(PhysicsWorld &w)
{
    for (int i = 0; i < 10; i++)
        w.step(0.002);
    w.step(0);
}

// Plays frames until the body is still or the time runs out; the seconds
// played.
double playUntilStill(PhysicsWorld &w, MDL_RigidBody *body, double seconds)
{
    int frames = 0;
    while (!body->getStill() && frames * 0.02 < seconds) {
        playFrame(w);
        frames++;
    }
    return frames * 0.02;
}

// The angle between the body's axis k and the vertical, in degrees (0 or 180
// when that axis stands upright).
double tiltOf(MDL_RigidBody *body, int k)
{
    MTH_Vector3D axis = body->getGlobalBasis().getRow(k);
    axis.normalize();
    return std::acos(std::max(-1.0, std::min(1.0, axis.m_fZ))) / DEGREE;
}

void expectRestingSpeeds(MDL_RigidBody *body, const std::string &what)
{
    EXPECT_LT(body->getSpeed().lengthSquared(), REST_SPEED_SQUARED) << what;
    EXPECT_LT(body->getAngularSpeed().lengthSquared(), REST_TURN_SQUARED) << what;
}

// Dropped without spin onto the scene's floor, each comes to rest lying on
// a face (or a ball on its lowest point) within a few seconds; a crate
// dropped flat neither tilts nor turns about the vertical.
TEST(PhysicsRest, DroppedBodiesComeToRestOnTheFloor)
{
    const struct Case {
        const char *what;
        int shape;
        MTH_Vector3D halfSizes;
        double height, tilt; // the drop's height, and its tilt about x in degrees
        double restHeights[2];
        double seconds;
    } cases[] = {
        {"crate dropped flat", BOX, MTH_Vector3D(0.5, 0.5, 0.5), 4, 0, {0.5, 0.5}, 7},
        {"crate dropped on an edge", BOX, MTH_Vector3D(0.5, 0.5, 0.5), 2, 30, {0.5, 0.5}, 5},
        {"crate dropped on a long edge", BOX, MTH_Vector3D(0.8, 0.4, 0.25), 2, 10, {0.25, 0.25}, 5},
        {"ball", SPHERE, MTH_Vector3D(0.5, 0.5, 0.5), 2, 0, {0.5, 0.5}, 5},
        {"drum dropped on its rim", CYLINDER, MTH_Vector3D(0.3, 0.3, 0.6), 2, 30, {0.3, 0.6}, 5},
    };
    for (const Case &c : cases) {
        PhysicsWorld w;
        w.m_poProxy->m_bRecord = false;
        MDL_RigidBody *body = w.body(c.shape, MTH_Vector3D(0, 0, c.height), c.halfSizes);
        body->editGlobalBasis().rotate(MTH_Vector3D(1, 0, 0), c.tilt * DEGREE);
        const double seconds = playUntilStill(w, body, c.seconds);
        if (!body->getStill()) {
            ADD_FAILURE() << c.what << ": not still after " << seconds << " s";
            continue;
        }
        expectRestingSpeeds(body, c.what);
        const double z = body->getGlobalPosition().m_fZ;
        EXPECT_TRUE(std::fabs(z - c.restHeights[0]) < 0.01 || std::fabs(z - c.restHeights[1]) < 0.01)
            << c.what << ": rests at z " << z;
        // Face down: one of a crate's axes stands upright.
        if (c.shape == BOX) {
            double upright = 90;
            for (int k = 0; k < 3; k++)
                upright = std::min(upright, std::min(tiltOf(body, k), 180 - tiltOf(body, k)));
            EXPECT_LT(upright, 0.5) << c.what;
        }
        if (c.tilt == 0) {
            EXPECT_LT(tiltOf(body, 2), 1e-6) << c.what;
            const MTH_Vector3D &x = body->getGlobalBasis().getRow(0);
            EXPECT_LT(std::fabs(std::atan2(x.m_fY, x.m_fX)), 1e-6) << c.what << ": turned about the vertical";
            expectNear(MTH_Vector3D(0, 0, z), body->getGlobalPosition(), 1e-9);
        }
        // Frozen: it stays where it is.
        const MTH_Frame rest = body->getGlobalFrame();
        for (int i = 0; i < 25; i++)
            playFrame(w);
        EXPECT_EQ(rest.m_oPosition, body->getGlobalPosition()) << c.what;
    }
}

// A crate of a solid unit cube's inertia on a slope (a fixed volume, with
// the scene's friction): friction 0.8 holds it on 20 degrees and not on 55.
TEST(PhysicsRest, ACrateRestsOnAShallowSlopeAndSlidesDownASteepOne)
{
    for (double angle : {20.0, 55.0}) {
        PhysicsWorld w;
        w.m_poProxy->m_bRecord = false;
        MDL_CollisionVolume *slope = w.volume(BOX, MTH_Vector3D(), MTH_Vector3D(20, 20, 0.5));
        slope->editGlobalBasis().rotate(MTH_Vector3D(1, 0, 0), angle * DEGREE);
        MTH_Vector3D up = slope->getGlobalBasis().getRow(2), down = -slope->getGlobalBasis().getRow(1);
        up.normalize();
        down.normalize();
        const MTH_Vector3D top(0, 0, 12); // on the slope's upper face
        slope->editGlobalPosition() = top - up * 0.5;
        MDL_RigidBody *crate = w.body(BOX, top + up * 0.501, MTH_Vector3D(0.5, 0.5, 0.5));
        crate->editGlobalBasis().rotate(MTH_Vector3D(1, 0, 0), angle * DEGREE);
        crate->setInertia(MTH_Vector3D(1.0 / 6, 1.0 / 6, 1.0 / 6));
        const MTH_Vector3D start = crate->getGlobalPosition();
        if (angle < 30) {
            playUntilStill(w, crate, 5);
            ASSERT_TRUE(crate->getStill()) << angle;
            expectRestingSpeeds(crate, "on the slope");
            EXPECT_LT((crate->getGlobalPosition() - start).length(), 0.5) << angle;
            EXPECT_NEAR(angle, tiltOf(crate, 2), 0.5);
        } else {
            for (int i = 0; i < 50; i++)
                playFrame(w);
            EXPECT_FALSE(crate->getStill()) << angle;
            EXPECT_GT((crate->getGlobalPosition() - start).dot(down), 1.0) << angle;
            EXPECT_GT(crate->getSpeed().dot(down), 1.0) << angle;
        }
    }
}

// Piles rest too: crates and balls dropped six layers deep into a narrow box
// of walls all freeze, each with speeds below the rest thresholds and none
// sunk into the floor (the speeds into their supports that the corrections
// of a pile leave would keep them moving).
TEST(PhysicsRest, APileComesToRest)
{
    PhysicsWorld w;
    w.m_poProxy->m_bRecord = false;
    const double half = 0.25, spacing = 0.6;
    const int side = 2, count = 24; // four to a layer, six layers
    const double wall = side * spacing / 2;
    w.m_oScene.setBounds(-wall, wall, -wall, wall, 0, DBL_MAX);
    std::vector<MDL_RigidBody *> bodies;
    for (int i = 0; i < count; i++) {
        const bool ball = i % 2 == 0;
        const double jitter = 0.05 * std::sin(i * 12.9898);
        const MTH_Vector3D centre(-wall + spacing * (i % side + 0.5) + jitter,
                                  -wall + spacing * (i / side % side + 0.5) - jitter,
                                  half + 0.05 + spacing * (i / (side * side)));
        MDL_RigidBody *body = w.body(ball ? SPHERE : BOX, centre, MTH_Vector3D(half, half, half));
        body->editGlobalBasis().rotate(MTH_Vector3D(1, 1, 0), 0.3 * i);
        const double inertia = ball ? 0.4 * half * half : 8 * half * half / 12;
        body->setInertia(MTH_Vector3D(inertia, inertia, inertia));
        bodies.push_back(body);
    }
    double seconds = 0;
    int still = 0;
    for (; seconds < 16 && still < count; seconds += 0.02) {
        playFrame(w);
        still = 0;
        for (MDL_RigidBody *body : bodies)
            still += body->getStill() ? 1 : 0;
    }
    ASSERT_EQ(count, still) << "after " << seconds << " s";
    for (size_t i = 0; i < bodies.size(); i++) {
        expectRestingSpeeds(bodies[i], "body " + std::to_string(i));
        EXPECT_GT(bodies[i]->getGlobalPosition().m_fZ, 0.24) << i;
    }
}

// A frozen crate that another comes to rest on, off its middle, is neither
// pushed nor sped up by that contact (the floor no longer holds a frozen
// body up), and the impulses it gives name it; a blow that would set it
// moving wakes it, and so does a crate squeezed into it.
TEST(PhysicsRest, AStillBodyStaysPutUnderAnotherUntilABlowWakesIt)
{
    PhysicsWorld w;
    w.m_poProxy->m_bRecord = false;
    const MTH_Vector3D half(0.5, 0.5, 0.5);
    MDL_RigidBody *below = w.body(BOX, MTH_Vector3D(0, 0, 0.5), half, "below");
    below->setStill(true);
    MDL_RigidBody *above = w.body(BOX, MTH_Vector3D(0.2, 0, 1.5001), half, "above");
    // The impulses of the frozen crate's contacts name it, and its volume,
    // as the surface that gave them, second, with the normal from it into
    // the crate that took them.
    below->getFirstChild()->setName("below's volume");
    above->getFirstChild()->setName("above's volume");
    std::vector<std::string> impulses;
    w.m_poProxy->m_fnAction = [&](const PhysicsEvent &e) {
        if (e.m_iCode != MDL_CB_POST_COLLISION || e.m_apoObjects[2] == nullptr)
            return;
        std::string names;
        for (const MDL_Object *o : e.m_apoObjects)
            names += (names.empty() ? "" : ", ") + PHYS_name(o);
        impulses.push_back(names);
        EXPECT_GT(e.m_oNormal.m_fZ, 0.99);
    };
    for (int i = 0; i < 10; i++)
        playFrame(w);
    w.m_poProxy->m_fnAction = nullptr;
    ASSERT_FALSE(impulses.empty());
    EXPECT_EQ(std::vector<std::string>(impulses.size(), "above, above's volume, below, below's volume"), impulses);
    EXPECT_TRUE(below->getStill());
    EXPECT_EQ(MTH_Vector3D(0, 0, 0.5), below->getGlobalPosition());
    EXPECT_EQ(MTH_Vector3D(), below->getSpeed());
    EXPECT_NEAR(1.5, above->getGlobalPosition().m_fZ, 0.01);
    playUntilStill(w, above, 5);
    EXPECT_TRUE(above->getStill());
    EXPECT_EQ(MTH_Vector3D(0, 0, 0.5), below->getGlobalPosition());

    MDL_RigidBody *ball = w.sphere(MTH_Vector3D(-1.5, 0, 0.5), 0.25, "ball");
    ball->setSpeed(MTH_Vector3D(5, 0, 0));
    for (int i = 0; i < 10; i++)
        playFrame(w);
    EXPECT_FALSE(below->getStill());
    EXPECT_GT(below->getGlobalPosition().m_fX, 0.05);

    // A gentle blow wakes a frozen crate too: the ball goes in far less deep
    // than a squeeze would, but its impulse alone would set the crate moving.
    PhysicsWorld gentle;
    gentle.m_poProxy->m_bRecord = false;
    MDL_RigidBody *struck = gentle.body(BOX, MTH_Vector3D(0, 0, 0.5), half, "struck");
    struck->setStill(true);
    MDL_RigidBody *rolling = gentle.sphere(MTH_Vector3D(-0.9, 0, 0.25), 0.25, "rolling");
    rolling->setSpeed(MTH_Vector3D(1, 0, 0));
    for (int i = 0; i < 25; i++)
        playFrame(gentle);
    EXPECT_FALSE(struck->getStill());
    EXPECT_GT(struck->getGlobalPosition().m_fX, 0.05);

    // A crate that cannot fit between a wall and a frozen crate wakes that
    // crate and pushes it aside rather than sinking into it.
    PhysicsWorld squeeze;
    squeeze.m_poProxy->m_bRecord = false;
    squeeze.m_oScene.setBounds(0, DBL_MAX, -DBL_MAX, DBL_MAX, 0, DBL_MAX);
    MDL_RigidBody *frozen = squeeze.body(BOX, MTH_Vector3D(1.5, 0, 0.5), half, "frozen");
    frozen->setStill(true);
    MDL_RigidBody *wide = squeeze.body(BOX, MTH_Vector3D(0.6, 0, 0.5), MTH_Vector3D(0.6, 0.5, 0.5), "wide");
    for (int i = 0; i < 50; i++)
        playFrame(squeeze);
    EXPECT_GT(frozen->getGlobalPosition().m_fX - wide->getGlobalPosition().m_fX, 1.1 - 0.01);
    EXPECT_GT(wide->getGlobalPosition().m_fX, 0.6 - 0.01); // not pushed into the wall
}

} // namespace
