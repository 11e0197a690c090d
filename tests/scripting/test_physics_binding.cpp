// The rigid body, spring and joint classes as scripts see them: defaults,
// the first steps of falling, resting, bound contacts, springs and joints,
// reference ids and the constructors' reports.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "model/MDL_CollisionVolume.h"
#include "model/MDL_Scene.h"
#include "tests/scripting/object_test_support.h"
#include "tests/scripting/script_test_support.h"
#include "tests/support/TEST_ModelsSetWriter.h"
#include "tests/support/TEST_Support.h"

namespace {

struct Case {
    const char *chunk;
    const char *result;
};

// Steps the fixture's scene as the frame loop does, with its scripts.
void stepScene(ObjectFixture &f, int steps = 1)
{
    for (int i = 0; i < steps; i++)
        f.m_poScene->step(f.m_poScene->getIntegrationStep(), f.m_poController->m_poScriptEngine);
}

// A sphere volume of radius r at the body's origin (scripts cannot make
// volumes themselves here).
void giveSphere(ObjectFixture &f, const char *global, double r)
{
    lua_getglobal(f.L, global);
    LMP_Proxy *proxy = LMP_iGetObject(f.L, -1);
    lua_pop(f.L, 1);
    ASSERT_NE(nullptr, proxy);
    MDL_Object *body = static_cast<MDL_Object *>(proxy->m_poObject);
    MDL_CollisionVolume *volume = new MDL_CollisionVolume(MDL_CollisionVolume::SHAPE_SPHERE);
    f.m_poScene->addObject(volume);
    MTH_Frame &frame = volume->editGlobalFrame();
    frame = body->getGlobalFrame();
    frame.m_oBasis.scale(r);
    frame.invalidateInverse();
    body->addChild(volume);
}

TEST(PhysicsBinding, DefaultsOfScenesAndBodies)
{
    ObjectFixture f;
    ASSERT_EQ(f.run("b = newRigidBody(scene)"), "");
    const Case cases[] = {
        {"local g = scene:getGravity() return g:z() == -9.8100004196167, scene:getIntegrationStep() == "
         "0.0020000000949949026",
         "true,true"},
        {"return scene:getFriction() == 0.800000011920929, scene:getElasticity() == 0.6000000238418579", "true,true"},
        {"return b:getType() == OBJECT_RIGID_BODY, b:getMass(), R(b:getInertia())", "true,1,(0.01,0.01,0.01)"},
        {"return b:getDamping() == 0.20000000298023224, b:getAngularDamping() == 0.20000000298023224", "true,true"},
        {"return b:getElasticity() == 0.6000000238418579, b:getFriction() == 0.800000011920929", "true,true"},
        {"return b:getStillDelay(), b:getStill(), b:getVerticesGroundCollision()", "2,false,false"},
        {"return R(b:getSpeed()), R(b:getAngularSpeed()), R(b:getForce()), R(b:getTorque())",
         "(0,0,0),(0,0,0),(0,0,0),(0,0,0)"},
        {"b:setMass(0) return b:getMass() == math.huge", "true"},
        {"b:setMass(2) b:setInertia(v3(1, 0, 4)) return b:getMass(), R(b:getInertia())", "2,(1,inf,4)"},
        {"b:setFriction(0.1) b:setElasticity(0.2) b:setDamping(0.3) b:setAngularDamping(0.4) b:setStillDelay(5) "
         "return b:getFriction(), b:getElasticity(), b:getDamping(), b:getAngularDamping(), b:getStillDelay()",
         "0.1,0.2,0.3,0.4,5"},
        {"b:setForce(v3(1, 2, 3)) b:setTorque(v3(0, 0, 1)) return R(b:getForce()), R(b:getTorque())",
         "(1,2,3),(0,0,1)"},
        {"b:setStill(true) b:setVerticesGroundCollision(true) return b:getStill(), b:getVerticesGroundCollision()",
         "true,true"},
        {"b:setSpeed(v3(1, 0, 0)) return b:getStill(), R(b:getSpeed())", "false,(1,0,0)"},
        {"b:computeMassAndInertia(3) return b:getMass(), R(b:getInertia())", "3,(0.5,0.5,0.5)"},
        {"return select('#', b:setMass(1)), tostring(b):match('^newRigidBody') ~= nil", "0,true"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(f.run(c.chunk), c.result) << c.chunk;
    EXPECT_FALSE(f.reported()) << f.log();
}

// The first sub-step of a fall from rest, seen from the post-integration
// callback: v = g t exactly without damping, the damped solution with the
// default damping.
TEST(PhysicsBinding, FirstSubStepOfAFreeFall)
{
    ObjectFixture f;
    ASSERT_EQ(f.run("free = newRigidBody(scene) free:setDamping(0) free:setPosition(v3(0, 0, 10)) "
                    "damped = newRigidBody(scene) damped:setPosition(v3(5, 0, 10)) "
                    "scene:setCallback(CB_POST_INTEGRATION, function(dt) "
                    "  if seen then return end seen = dt "
                    "  v0, z0 = free:getSpeed():z(), free:getPosition():z() "
                    "  v1, z1 = damped:getSpeed():z(), damped:getPosition():z() end)"),
              "");
    stepScene(f);
    const double g = -9.8100004196167, t = 0.0020000000949949026, k = 0.20000000298023224;
    EXPECT_EQ(f.eval("seen == 0.0020000000949949026"), "true");
    lua_State *L = f.L;
    auto number = [L](const char *name) {
        lua_getglobal(L, name);
        double v = lua_tonumber(L, -1);
        lua_pop(L, 1);
        return v;
    };
    EXPECT_EQ(g * t, number("v0"));
    EXPECT_NEAR(10 + g * t * t / 2, number("z0"), 1e-15);
    double h = std::exp(-k * t), G = (1 - h) / k;
    EXPECT_NEAR(g * G, number("v1"), 1e-17);
    EXPECT_NEAR(10 + g * (t - G) / k, number("z1"), 1e-15);
    EXPECT_FALSE(f.reported()) << f.log();
}

TEST(PhysicsBinding, ABodyOnTheFloorRestsFromItsThousandthStep)
{
    ObjectFixture f;
    ASSERT_EQ(f.run("ball = newRigidBody(scene) ball:setPosition(v3(0, 0, 0.25))"), "");
    giveSphere(f, "ball", 0.25);
    stepScene(f, 999);
    EXPECT_EQ(f.eval("ball:getStill()"), "false");
    stepScene(f);
    EXPECT_EQ(f.eval("ball:getStill(), math.abs(ball:getPosition():z() - 0.25) < 1e-4"), "true,true");
    EXPECT_FALSE(f.reported()) << f.log();
}

// A spring hung from a world point and a ball joint to a world point, each
// seen at the first event of the first step.
TEST(PhysicsBinding, FirstEventsOfASpringAndAJoint)
{
    ObjectFixture f;
    ASSERT_EQ(f.run("scene:setGravity(v3(0, 0, 0)) "
                    "hung = newRigidBody(scene) hung:setPosition(v3(0, 0, 3)) "
                    "s = newSpring(nil, v3(0, 0, 5), hung, v3(0, 0, 3)) "
                    "held = newRigidBody(scene) held:setPosition(v3(4, 0, 3)) held:setSpeed(v3(1, 0, 0)) "
                    "j = newJoint(JOINT_POINT_POINT, held, v3(4, 0, 3), v3(1, 0, 0), nil, v3(4, 0, 4), v3(1, 0, 0)) "
                    "scene:setCallback(CB_POST_INTEGRATION, function() "
                    "  if not spring then spring = hung:getSpeed():z() end end) "
                    "scene:setCallback(CB_MECHA, function() "
                    "  if not joint then joint = R(held:getPosition()) .. R(held:getSpeed()) end end)"),
              "");
    EXPECT_EQ(f.eval("R(s:getPointA()), R(s:getPointA(REF_LOCAL)), R(s:getPointB()), R(s:getPointB(REF_LOCAL))"),
              "(0,0,5),(0,0,5),(0,0,3),(0,0,0)");
    EXPECT_EQ(f.eval("s:getStiffness(), s:getDamping(), s:getRestPosition()"), "1,0.5,0");
    stepScene(f);
    // Stretched by 2 with stiffness 1: an impulse of 2 dt upwards, then one
    // damped step.
    const double t = 0.0020000000949949026, k = 0.20000000298023224;
    lua_getglobal(f.L, "spring");
    EXPECT_NEAR(2 * t * std::exp(-k * t), lua_tonumber(f.L, -1), 1e-15);
    lua_pop(f.L, 1);
    // The joint puts the body's point on the world point and stops it.
    EXPECT_EQ(f.eval("joint"), "(4,0,4)(0,0,0)");
    EXPECT_FALSE(f.reported()) << f.log();
}

TEST(PhysicsBinding, ReferenceIdsOfPointsAndAxes)
{
    ObjectFixture f;
    ASSERT_EQ(f.run("a = newRigidBody(scene) a:rotate(v3(0, 0, 1), 90) a:setPosition(v3(1, 0, 0)) "
                    "b = newRigidBody(scene) "),
              "");
    const Case cases[] = {
        // World values are stored in each body's own axes.
        {"j = newJoint(JOINT_AXIS_AXIS, a, v3(0, 0, 0), v3(1, 0, 0), b, v3(0, 0, 0), v3(0, 1, 0)) "
         "return R(j:getAxisA(REF_LOCAL)), R(j:getAxisA()), R(j:getPointA(REF_LOCAL)), R(j:getAxisB(REF_LOCAL))",
         "(0,-1,0),(1,0,0),(0,1,0),(0,1,0)"},
        {"s = newSpring(a, v3(1, 0, 0), b, v3(0, 0, 2), REF_LOCAL, REF_LOCAL) "
         "return R(s:getPointA(REF_LOCAL)), R(s:getPointA(REF_GLOBAL)), R(s:getPointB())",
         "(1,0,0),(1,1,0),(0,0,2)"},
        {"s:setPointA(v3(1, 3, 0)) s:setPointB(v3(1, 1, 1), REF_LOCAL) "
         "return R(s:getPointA(REF_LOCAL)), R(s:getPointB(REF_LOCAL))",
         "(3,0,0),(1,1,1)"},
        {"j:setAxisB(v3(0, 0, 1)) j:setPointB(v3(0, 2, 0)) j:setAxisA(v3(0, 1, 0)) "
         "return R(j:getAxisB()), R(j:getPointB()), R(j:getAxisA(REF_LOCAL))",
         "(0,0,1),(0,2,0),(1,0,0)"},
        // An end without a body keeps world values for either id.
        {"w = newSpring(nil, v3(0, 0, 5), a, v3(0, 0, 0)) return R(w:getPointA()), R(w:getPointA(REF_LOCAL))",
         "(0,0,5),(0,0,5)"},
        {"w:setPointA(v3(1, 2, 3), REF_LOCAL) return R(w:getPointA(REF_GLOBAL))", "(1,2,3)"},
    };
    f.clearReport();
    for (const Case &c : cases) {
        EXPECT_EQ(f.run(c.chunk), c.result) << c.chunk;
        f.clearReport();
    }
    EXPECT_EQ(2, f.m_poScene->m_oSprings.m_iCount);
    EXPECT_EQ(1, f.m_poScene->m_oJoints.m_iCount);
}

TEST(PhysicsBinding, ConstructorsAndIdsReport)
{
    const Case cases[] = {
        {"x = newSpring(nil, v3(), nil, v3())", "t:1: At least one rigid body expected"},
        {"x = newJoint(JOINT_POINT_POINT, nil, v3(), v3(), nil, v3(), v3())", "t:1: At least one rigid body expected"},
        {"x = newSpring(a, v3(), other, v3())", "t:1: Spring rigid bodies must belong to the same scene"},
        {"x = newJoint(0, a, v3(), v3(), other, v3(), v3())", "t:1: Joint rigid bodies must belong to the same scene"},
        {"x = newSpring(a, v3(), nil, v3(), REF_SELF)", "t:1: Invalid reference ID"},
        {"x = newSpring(a, v3(), nil, v3()) x:getPointA(REF_SELF)", "t:1: Invalid reference ID"},
        {"x = newJoint(0, a, v3(), v3(), nil, v3(), v3()) x:setAxisA(v3(), 7)", "t:1: Invalid reference ID"},
        {"x = newRigidBody(scene, scene, 3)", "Too much arguments for newRigidBody"},
        {"a:setMass('heavy')", "Invalid type (string) for argument #1, <N> type argument(s) expected"},
    };
    for (const Case &c : cases) {
        ObjectFixture f;
        ASSERT_EQ(f.run("a = newRigidBody(scene) other = newRigidBody(newScene('other'))"), "");
        EXPECT_EQ(f.run(c.chunk), "") << c.chunk;
        EXPECT_TRUE(f.reported()) << c.chunk;
        EXPECT_TRUE(f.m_oLog.contains(c.result)) << c.chunk << ": " << f.log();
    }
    // A spring across scenes is still made, in body A's scene; bodies that
    // are gone make nothing; a wrong class raises.
    ObjectFixture f;
    ASSERT_EQ(f.run("a = newRigidBody(scene) other = newRigidBody(newScene('other')) dead = newRigidBody(scene) "
                    "dead:delete() x = newSpring(a, v3(), other, v3()) y = newSpring(dead, v3(), a, v3())"),
              "");
    EXPECT_EQ(1, f.m_poScene->m_oSprings.m_iCount);
    EXPECT_EQ(f.eval("select('#', y:getDamping())"), "0");
    EXPECT_EQ(f.raised("newSpring(newObject(scene), v3(), a, v3())"),
              "t:1: bad argument #1 to 'newSpring' (newRigidBody)");
    EXPECT_EQ(f.raised("newRigidBody(5)"), "t:1: bad argument #1 to 'newRigidBody' (newScene)");
}

// A template scaled by 2 along x: the body takes its place and pure
// rotation, the copy below it keeps the scale.
TEST(PhysicsBinding, BodiesFromTemplatesAndPointSpeeds)
{
    ObjectFixture f;
    ASSERT_EQ(f.run("t = newMesh(scene) t:rotate(v3(0, 0, 1), 90) t:scale(v3(2, 1, 1)) t:setPosition(v3(1, 2, 3)) "
                    "b = newRigidBody(scene, t) c = b:getChild()"),
              "");
    const Case cases[] = {
        {"return R(b:getPosition()), R(b:getScale()), R(b:getAxis(AXIS_X))", "(1,2,3),(1,1,1),(0,1,0)"},
        {"return c:getType(), R(c:getPosition(REF_LOCAL)), R(c:getScale(REF_LOCAL)), R(c:getPosition())",
         "3,(0,0,0),(2,1,1),(1,2,3)"},
        {"return R(c:getAxis(AXIS_X)), b:getChildrenCount(), c:getParent() == b", "(0,2,0),1,true"},
        // Not an object: ignored.
        {"local e = newRigidBody(scene, 5) return e:getChildrenCount()", "0"},
        // The speed of a world point given by one impulse.
        {"p = newRigidBody(scene) p:setSpeed(v3(0, 1, 0), v3(0.1, 0, 0)) local v = p:getSpeed() "
         "local w = p:getAngularSpeed() return R(v + w * v3(0.1, 0, 0))",
         "(0,1,0)"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(f.run(c.chunk), c.result) << c.chunk;
    EXPECT_FALSE(f.reported()) << f.log();
}

// Plays a document whose init.lua is given, over the sample models set
// ("set.xml") whose cube (2 units wide) carries a box volume; steps its first
// scene once and gives what its report() says then.
std::string reportAfterOneStep(const char *init)
{
    TEST_ModelsSetWriter writer = TEST_ModelsSetWriter::sample();
    TEST_ObjectRecord volume;
    volume.m_sType = "CollisionVolume";
    volume.m_sName = "cubeVolume";
    volume.m_sParent = "cube";
    volume.m_sExtra = "<volume_type>box</volume_type>";
    writer.addObject(volume);
    TEST_DocumentBuilder document = ScriptDocument::withInit(init);
    document.add("set.xml", writer.text());
    ScriptDocument script(document);
    if (!script.m_bOpened || !script.run() || script.m_oController.m_oScenes.m_iCount < 1)
        return "not played: " + script.log();
    script.m_oController.m_oScenes.m_pData[0]->step(0, script.m_poEngine);
    if (script.m_oController.m_bHalted)
        return "halted: " + script.log();
    return TEST_runLua(script.state(), "return report()");
}

// Contacts with the floor reach the script with the contact point (the
// middle of the crate's lowest face, which lies flat on the floor), the
// normal, the depth and the body with the object that touched (the mesh
// that carries the volume when vertices are used).
TEST(PhysicsBinding, BoundContactsReachTheScript)
{
    const char *init = R"(
        function startup()
          scene = newScene("s")
          local set = newModelsSet("set.xml")
          crate = newRigidBody(scene, set:get("cube"))
          crate:setPosition(v3(2, 0, 0.9))
          crate:setVerticesGroundCollision(true)
          crate:setSpeed(v3(0, 0, -1))
          seen = {}
          scene:setCallback(CB_PRE_COLLISION, function(s, p, n, d, b1, v1, b2, v2)
            seen[#seen + 1] = table.concat({"pre", tostring(s == scene), p:x(), p:y(), p:z(), n:x(), n:y(), n:z(),
              string.format("%.6f", d), tostring(b1 == crate), tostring(v1 == crate:getChild()), tostring(b2),
              tostring(v2)}, " ")
            return true
          end)
          scene:setCallback(CB_POST_COLLISION, function(s, p, n, j, b1, v1, b2, v2)
            seen[#seen + 1] = "post " .. tostring(j > 0) .. " " .. tostring(b2)
          end)
        end
        function report() return table.concat(seen, "|") end)";
    EXPECT_EQ(reportAfterOneStep(init), "pre true 2 0 -0.1 0 0 1 0.100000 true true nil nil|post true nil");
}

TEST(PhysicsBinding, AStepsCallbacksComeInItsOrder)
{
    // Two crates on the floor, the second sliding into the first: the
    // integration; the pair (contact, then its impulse) as b's interval
    // opens (its response takes the crates apart, face from face, so that
    // they no longer touch as a's closes); the floor body by body (both
    // crates lie flat on it and are not moving into it: no impulse); then
    // the end of the step.
    const char *init = R"(
        function startup()
          scene = newScene("s")
          local set = newModelsSet("set.xml")
          local a, b = newRigidBody(scene, set:get("cube")), newRigidBody(scene, set:get("cube"))
          a:setPosition(v3(0, 0, 0.95))
          b:setPosition(v3(1.9, 0, 0.95))
          b:setSpeed(v3(-1, 0, 0))
          local names = {}
          names[a], names[b] = "a", "b"
          local function name(body) return names[body] or "-" end
          seen = {}
          scene:setCallback(CB_POST_INTEGRATION, function() seen[#seen + 1] = "8" end)
          scene:setCallback(CB_PRE_COLLISION, function(s, p, n, d, b1, v1, b2, v2)
            seen[#seen + 1] = "9 " .. name(b1) .. " " .. name(b2)
            return true
          end)
          scene:setCallback(CB_POST_COLLISION, function(s, p, n, j, b1, v1, b2, v2)
            seen[#seen + 1] = "10 " .. name(b1) .. " " .. name(b2)
          end)
          scene:setCallback(CB_MECHA, function() seen[#seen + 1] = "7" end)
        end
        function report() return table.concat(seen, ", ") end)";
    EXPECT_EQ(reportAfterOneStep(init), "8, 9 b a, 10 b a, 9 a -, 9 b -, 7");
}

} // namespace
