// Every method of the resource classes (textures, fonts, models sets,
// samples, sounds, streams, animation data, animations) and their
// constructors called with random receivers and argument lists: live,
// deleted and unbound proxies, nil, numbers, strings, tables and proxies of
// the other classes. Resources are deleted and made again, flagged textures
// dropped as a draw drops them, proxies collected and scenes purged in
// between: the player must stay up and the interpreter's stack balanced.
// The seed is fixed, so a failure repeats.
#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <string>

#include "model/MDL_CollisionVolume.h"
#include "model/MDL_Scene.h"
#include "model/MDL_Texture.h"
#include "tests/scripting/resource_test_support.h"

namespace {

// Class table name and its methods ("M" rows of newObject are covered by
// the object fuzz; a few of them are mixed in for sounds).
struct ClassMethods {
    const char *klass;
    std::vector<const char *> methods;
    std::vector<const char *> receivers; // of this class: live, deleted, unbound
};

const std::vector<ClassMethods> &classes()
{
    static const std::vector<ClassMethods> s_aClasses = {
        {"newTexture",
         {"getBinaryAlpha", "setBinaryAlpha", "getFilter", "setFilter", "delete"},
         {"R.tex", "R.frame", "R.dead", "R.unbound"}},
        {"newFont", {"delete"}, {"R.font"}},
        {"newModelsSet", {"get", "getAnimationData", "delete", "getNames"}, {"R.set"}},
        {"newSample", {"delete"}, {"R.sample", "R.audio", "R.deadSample"}},
        {"newSound",
         {"setSample", "getVolume", "setVolume", "getLooping", "setLooping", "seek", "getTime", "setAutoDelete",
          "getAutoDelete", "delete", "getPosition", "setParent", "getParent", "exist"},
         {"R.sound", "R.template"}},
        {"newStream",
         {"delete", "getDuration", "getSample", "getTexture", "getTime", "getCurrentFrame", "pause", "play", "seek",
          "isPlaying"},
         {"R.stream"}},
        {"newAnimationData", {}, {"R.data", "R.deadData"}},
        {"newAnimation",
         {"play", "pause", "isPlaying", "seek", "getTime", "getDuration", "setSpeed", "getSpeed"},
         {"R.anim"}},
        {"newRigidBody",
         {"getAngularSpeed",
          "getElasticity",
          "getFriction",
          "getInertia",
          "getMass",
          "getSpeed",
          "getStill",
          "getStillDelay",
          "getVerticesGroundCollision",
          "setAngularSpeed",
          "setElasticity",
          "setFriction",
          "setInertia",
          "setMass",
          "setSpeed",
          "setStill",
          "setStillDelay",
          "setVerticesGroundCollision",
          "computeMassAndInertia",
          "setDamping",
          "setAngularDamping",
          "getDamping",
          "getAngularDamping",
          "getForce",
          "setForce",
          "getTorque",
          "setTorque",
          "delete",
          "setPosition",
          "rotate",
          "setParent",
          "exist"},
         {"R.body", "R.body2", "R.deadBody"}},
        {"newSpring",
         {"getDamping", "getPointA", "getPointB", "getRestPosition", "getStiffness", "setDamping", "setPointA",
          "setPointB", "setRestPosition", "setStiffness"},
         {"R.spring", "R.unboundSpring"}},
        {"newJoint",
         {"getAxisA", "getAxisB", "getPointA", "getPointB", "setAxisA", "setAxisB", "setPointA", "setPointB"},
         {"R.joint", "R.unboundJoint"}},
    };
    return s_aClasses;
}

const char *const VALUES[] = {
    "1",
    "0",
    "-1",
    "3",
    "5",
    "2147483648",
    "1e308",
    "-1e308",
    "0/0",
    "1/0",
    "-1/0",
    "0.5",
    "'tex.png'",
    "'sine.ogg'",
    "'movie.ogv'",
    "'set.xml'",
    "'font.ttf'",
    "'Marker'",
    "'walk'",
    "'Beep'",
    "'missing'",
    "''",
    "nil",
    "{}",
    "true",
    "false",
    "v3(1, 2, 3)",
    "scene",
    "R.tex",
    "R.font",
    "R.set",
    "R.sample",
    "R.sound",
    "R.stream",
    "R.frame",
    "R.audio",
    "R.data",
    "R.anim",
    "R.obj",
    "R.template",
    "R.dead",
    "R.unbound",
    "R.deadSample",
    "R.deadData",
    "print",
    "OBJECT_MESH",
    "OBJECT_SOUND",
    "R.body",
    "R.body2",
    "R.deadBody",
    "R.spring",
    "R.joint",
    "REF_SELF",
    "REF_LOCAL",
    "v3(0/0, 0, 1)",
    "v3(1e308, -1e308, 0)",
    "v3(0, 0, 0)",
};

// The arguments of a spring or joint constructor, of the right shapes most
// of the time: bodies (live, deleted, nil or of another class), points,
// axes and reference ids.
const char *const BODIES[] = {"R.body", "R.body2", "R.deadBody", "nil", "nil", "R.obj", "R.other"};
const char *const VECTORS[] = {"v3(1, 2, 3)", "v3(0, 0, 0)", "v3(0/0, 1, 0)", "v3(0, 0, 1)", "v3(1e308, 0, 0)"};
const char *const IDS[] = {"REF_GLOBAL", "REF_LOCAL", "REF_SELF", "0/0", "7"};

template <size_t N> const char *pick(std::mt19937 &random, const char *const (&list)[N])
{
    return list[std::uniform_int_distribution<size_t>(0, N - 1)(random)];
}

// Makes again whatever in R is gone (a method answering nothing is taken as
// unbound).
const char *const REFILL =
    "local function live(x, m) return x ~= nil and select('#', m(x)) > 0 end "
    "if not live(R.set, function(x) return x:getNames(OBJECT_NONE) end) then R.set = newModelsSet('set.xml') end "
    "if not live(R.tex, function(x) return x:getFilter() end) then R.tex = newTexture('tex.png', 3) end "
    "if not live(R.sample, function(x) return tostring(x) end) then R.sample = newSample('sine.ogg') end "
    "R.font = newFont('font.ttf') "
    "if not live(R.stream, function(x) return x:getDuration() end) then R.stream = newStream('movie.ogv') end "
    "R.frame = R.stream:getTexture() R.audio = R.stream:getSample() "
    "if not R.obj:exist() then R.obj = newObject(scene) end "
    "if not live(R.sound, function(x) return x:getVolume() end) then R.sound = newSound(R.obj, R.sample) end "
    "R.template = R.set:get('Beep') "
    "R.data = R.set:getAnimationData('walk') "
    "if not live(R.anim, function(x) return x:getTime() end) then R.anim = newAnimation(R.data, R.obj) end "
    "if not R.body:exist() then R.body = newRigidBody(scene, R.set:get('Box')) R.body:setPosition(v3(0, 0, 1)) end "
    "if not R.body2:exist() then R.body2 = newRigidBody(R.obj) R.body2:setPosition(v3(0.5, 0, 2)) end "
    "if not live(R.spring, function(x) return x:getDamping() end) then "
    "  R.spring = newSpring(R.body, v3(0, 0, 1), R.body2, v3(0, 0, 0)) end "
    "if not live(R.joint, function(x) return x:getPointA() end) then "
    "  R.joint = newJoint(JOINT_POINT_AXIS, R.body, v3(0, 0, 0), v3(1, 0, 0), nil, v3(0, 0, 3), v3(0, 0, 1)) end ";

TEST(ResourceFuzz, RandomCallsKeepThePlayerUp)
{
    ResourceFixture f;
    ASSERT_TRUE(f.m_bOpened) << f.log();
    ASSERT_EQ(f.run("R = {obj = newObject(scene)} "
                    "R.dead = newTexture('tex.png') R.dead:delete() "
                    "R.unbound = newTexture('missing') "
                    "R.deadSample = newSample('sine.ogg') R.deadSample:delete() "
                    "R.deadData = newAnimationData() "
                    "R.body = newRigidBody(scene) R.body:delete() R.body2 = R.body "
                    "R.deadBody = newRigidBody(scene) R.deadBody:delete() "
                    "R.other = newRigidBody(newScene('other')) "
                    "R.unboundSpring = newSpring(nil, v3(), nil, v3()) "
                    "R.unboundJoint = newJoint(0, nil, v3(), v3(), nil, v3(), v3()) "
                    "PASSED = 0"),
              "");
    f.clearReport();
    ASSERT_EQ(f.run(REFILL), "");
    ASSERT_FALSE(f.reported()) << f.log();
    MDL_Scene *scene = f.m_oController.m_oScenes.m_pData[0];

    std::mt19937 random(20261210);
    const int iterations = 20000;
    lua_State *L = f.state();
    int top = lua_gettop(L);
    const std::vector<ClassMethods> &all = classes();
    for (int i = 0; i < iterations; i++) {
        const ClassMethods &c = all[std::uniform_int_distribution<size_t>(0, all.size() - 1)(random)];
        int count = std::uniform_int_distribution<int>(0, 4)(random);
        std::string arguments;
        for (int a = 0; a < count; a++)
            arguments += std::string(", ") + pick(random, VALUES);
        std::string chunk;
        bool link = std::string(c.klass) == "newSpring" || std::string(c.klass) == "newJoint";
        if (link && std::uniform_int_distribution<int>(0, 5)(random) == 0) {
            // A constructor call of nearly the right shape.
            bool spring = std::string(c.klass) == "newSpring";
            std::string a = std::string(pick(random, BODIES)) + ", " + pick(random, VECTORS);
            std::string b = std::string(pick(random, BODIES)) + ", " + pick(random, VECTORS);
            if (!spring) {
                a += std::string(", ") + pick(random, VECTORS);
                b += std::string(", ") + pick(random, VECTORS);
            }
            std::string kind = spring ? "" : std::to_string(std::uniform_int_distribution<int>(-1, 5)(random)) + ", ";
            chunk = std::string("local ok = pcall(") + c.klass + ", " + kind + a + ", " + b + ", " + pick(random, IDS) +
                    ", " + pick(random, IDS) + ")";
        } else if (c.methods.empty() || std::uniform_int_distribution<int>(0, 9)(random) == 0) {
            chunk = std::string("local ok = pcall(") + c.klass + arguments + ")";
        } else {
            const char *method = c.methods[std::uniform_int_distribution<size_t>(0, c.methods.size() - 1)(random)];
            // Mostly a receiver of the class, else any value.
            const char *receiver = pick(random, VALUES);
            if (std::uniform_int_distribution<int>(0, 3)(random) != 0)
                receiver = c.receivers[std::uniform_int_distribution<size_t>(0, c.receivers.size() - 1)(random)];
            chunk = std::string("local ok = pcall(") + c.klass + "." + method + ", " + receiver + arguments + ")";
        }
        chunk += " if ok then PASSED = PASSED + 1 end";
        ASSERT_EQ(f.run(chunk), "") << chunk;
        ASSERT_EQ(lua_gettop(L), top) << chunk;
        f.clearReport();

        if (i % 40 == 39) {
            // As a drawn frame does: flagged textures leave the list.
            for (int t = 0; t < f.m_oController.m_oTextures.m_iCount;) {
                MDL_Texture *texture = f.m_oController.m_oTextures.m_pData[t];
                if (texture->m_bReleasePending)
                    f.m_oController.removeTexture(texture);
                else
                    t++;
            }
            lua_gc(L, LUA_GCCOLLECT, 0);
            // The physics runs over whatever the calls left: bodies get a
            // volume, springs and joints are solved, contacts answered.
            for (int b = 0; b < scene->m_oRigidBodies.m_iCount; b++) {
                MDL_Object *body = scene->m_oRigidBodies.m_pData[b];
                bool carries = false;
                for (MDL_Object *c = body->getFirstChild(); c != nullptr; c = c->getNextSibling())
                    carries = carries || c->getType() == OBJECT_COLLISION_VOLUME;
                if (body->m_bDeleted || carries)
                    continue;
                MDL_CollisionVolume *volume = new MDL_CollisionVolume(1 + b % 3);
                scene->addObject(volume);
                volume->editGlobalFrame() = body->getGlobalFrame();
                body->addChild(volume);
            }
            for (int k = 0; k < 5; k++)
                scene->step(k == 4 ? 0 : 0.002, f.m_oController.m_poScriptEngine);
            f.clearReport();
            for (int k = 0; k < f.m_oController.m_oScenes.m_iCount; k++)
                f.m_oController.m_oScenes.m_pData[k]->purgeDeleted();
            ASSERT_EQ(f.run(REFILL), "") << f.log();
            f.clearReport();
        }
    }
    EXPECT_EQ(f.run("return R.tex:getFilter(), R.anim:getDuration(), R.dead:getFilter()"), "3,4");
    std::string passed = f.run("return PASSED");
    std::printf("calls that returned: %s of %d\n", passed.c_str(), iterations);
    EXPECT_GT(std::stoi(passed), iterations / 3);
}

} // namespace
