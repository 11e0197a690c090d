// The lamp, camera, microphone, bone, collision-volume and locator classes
// through scripts, as tables of calls with their exact results; and the object look-up, which
// gives every object kind its class.
#include <gtest/gtest.h>

#include <string>

#include "model/MDL_Bone.h"
#include "model/MDL_Camera.h"
#include "model/MDL_CollisionVolume.h"
#include "model/MDL_Mike.h"
#include "model/MDL_ObjectTypes.h"
#include "tests/scripting/kinds_test_support.h"
#include "tests/scripting/test_binding_example.h"

namespace {

const char *const LAMPS = "l = newLamp(scene) s = newLamp(scene, set:get('spot')) b = newLamp(scene, set:get('bulb'))";

TEST(KindBindings, Lamps)
{
    static const TEST_CallRow rows[] = {
        {"return l:getOn(), l:getShadow(), l:getEnergy(), l:getShadowCoeff(), R(l:getColor()), R(l:getAmbientColor())",
         "true,false,1,0.5,(0,0,0,1),(0,0,0,1)", nullptr},
        {"return l:getShadowType(), l:getShadowDepth(), select('#', l:getSpotSize()), select('#', l:getSpotExponent())",
         "0,30,0,0", nullptr},
        {"l:setOn(false) l:setShadow(true) l:setShadowType(SHADOW_ZFAIL) l:setShadowDepth(12.5) "
         "return l:getOn(), l:getShadow(), l:getShadowType(), l:getShadowDepth()",
         "false,true,1,12.5", nullptr},
        {"l:setShadowType(7) l:setShadowCoeff(2.5) return l:getShadowType(), l:getShadowCoeff()", "7,2.5", nullptr},
        {"l:setColor(color(1, 0.5, 0.25, 0.5)) l:setAmbientColor(color(0.1, 0.2, 0.3, 1)) "
         "return R(l:getColor()), R(l:getAmbientColor())",
         "(1,0.5,0.25,0.5),(0.1,0.2,0.3,1)", nullptr},
        {"l:setEnergy(150) b:setEnergy(-3) s:setEnergy(42.5) return l:getEnergy(), b:getEnergy(), s:getEnergy()",
         "100,0,42.5", nullptr},
        // Not a number leaves the lamp as it was; the infinities are clamped.
        {"l:setEnergy(42) l:setEnergy(0/0) local a = l:getEnergy() l:setEnergy(1/0) local b = l:getEnergy() "
         "l:setEnergy(-1/0) return a, b, l:getEnergy()",
         "42,100,0", nullptr},
        {"s:setSpotSize(30) s:setSpotSize(0/0) return s:getSpotSize()", "30", nullptr},
        // The spot settings are a spot lamp's only.
        {"return s:getSpotSize(), s:getSpotExponent()", "45,42", nullptr},
        {"s:setSpotSize(120) local a = s:getSpotSize() s:setSpotSize(-5) local b = s:getSpotSize() "
         "s:setSpotSize(30.5) return a, b, s:getSpotSize()",
         "90,0,30.5", nullptr},
        {"s:setSpotExponent(200) local a = s:getSpotExponent() s:setSpotExponent(-1) local b = s:getSpotExponent() "
         "s:setSpotExponent(2.7) return a, b, s:getSpotExponent()",
         "128,0,2", nullptr},
        {"b:setSpotSize(10) b:setSpotExponent(3) return select('#', b:getSpotSize()) + select('#', "
         "b:getSpotExponent())",
         "0", nullptr},
        {"l:setOn('yes') return l:getOn()", "true",
         "Invalid type (string) for argument #1, <B> type argument(s) expected"},
        {"l:setEnergy() return l:getEnergy()", "1", "Not enough arguments, <N> argument(s) expected"},
        {"l:setColor(1)", "error: t:1: bad argument #1 to 'setColor' (color expected, got number)", nullptr},
        {"l:delete() l:setEnergy(5) return select('#', l:getEnergy())", "0", nullptr},
        {"return select(2, pcall(newLamp.getEnergy, newCamera(scene)))",
         "bad argument #1 to 'newLamp.getEnergy' (newLamp)", nullptr},
    };
    TEST_runCallRows(LAMPS, rows);
}

const char *const CAMERAS = "c = newCamera(scene) c:setName('c') eye = newCamera(scene, set:get('eye'))";

TEST(KindBindings, CamerasSeeDegrees)
{
    static const TEST_CallRow rows[] = {
        {"return string.format('%.2f', c:getFOV()), c:getNearZ(), c:getFarZ()", "49.14,1,100", nullptr},
        {"return R(c:getFOV() * 0.017453292519943295)", "0.857655", nullptr},
        {"return R(eye:getFOV())", "60", nullptr},
        {"c:setFOV(90) return c:getFOV()", "90", nullptr},
        {"c:setFOV(33.3) return c:getFOV() - 33.3 < 1e-12", "true", nullptr},
        // An angle that gives no image leaves the camera as it was: only
        // angles above 0 and below 180 are kept.
        {"local t = {} for _, a in ipairs({0, -0.0, -30, 180, 270, 360, 1e9, -1e9, 1/0, -1/0, 0/0}) do "
         "c:setFOV(90) c:setFOV(a) t[#t + 1] = c:getFOV() end return table.concat(t, ' ')",
         "90 90 90 90 90 90 90 90 90 90 90", nullptr},
        {"local t = {} for _, a in ipairs({0.5, 179.5}) do c:setFOV(a) t[#t + 1] = R(c:getFOV()) end "
         "return table.concat(t, ' ')",
         "0.5 179.5", nullptr},
        {"c:setNearZ(0.25) c:setFarZ(-5) return c:getNearZ(), c:getFarZ()", "0.25,-5", nullptr},
        {"c:setFOV('wide') return R(c:getFOV())", "49.14",
         "Invalid type (string) for argument #1, <N> type argument(s) expected"},
        {"c:delete() c:setFOV(10) return select('#', c:getFOV())", "0", nullptr},
    };
    TEST_runCallRows(CAMERAS, rows);

    KindsFixture f;
    ASSERT_EQ(f.run(CAMERAS), "");
    ASSERT_EQ(f.run("c:setFOV(90)"), "");
    MDL_Camera *camera = dynamic_cast<MDL_Camera *>(f.object("c"));
    ASSERT_NE(camera, nullptr);
    EXPECT_NEAR(camera->m_fFocal, 1, 1e-15);
}

// a is a copy of "skin"; root (at the origin) and arm (at (0, 1, 0), its
// rest pose) are its bones.
const char *const BONES = "a = newAnimatedMesh(scene, set:get('skin')) root = a:getChild('root') arm = root:getChild() "
                          "moved = {} local function note(b) moved[#moved + 1] = b:getName() end "
                          "root:setCallback(CB_MOVED, note) arm:setCallback(CB_MOVED, note)";

TEST(KindBindings, Bones)
{
    static const TEST_CallRow rows[] = {
        {"return root:getType(), getmetatable(root) == newBone, arm:getState(), R(arm:getPosition())",
         "6,true,6,(0,1,0)", nullptr},
        {"local b = newBone(scene) return getmetatable(b) == newBone, b:exist()", "true,false",
         "Unsupported usage of a Lua constructor LMP_Bone"},
        {"arm:rotate(v3(0, 0, 1), 90) arm:translate(v3(3, 0, 0)) arm:reset() "
         "return R(arm:getPosition(REF_LOCAL)), R(arm:getAxis(AXIS_X))",
         "(0,1,0),(1,0,0)", nullptr},
        // A free bone turns so that the point swings onto the ray towards
        // the target; the root is the last bone of the chain.
        {"root:movePoint(v3(1, 0, 0), v3(0, 2, 0)) return R(root:getAxis(AXIS_X)), table.concat(moved, ' ')",
         "(0,1,0),root", nullptr},
        {"arm:movePoint(v3(1, 1, 0), v3(1, 1, 0)) return R(arm:getAxis(AXIS_X)), #moved", "(1,0,0),0", nullptr},
        {"arm:movePoint(v3(1, 1, 0), v3(0, 1, 1)) return moved[1], R(arm:localToGlobalPoint(v3(1, 0, 0)))",
         "arm,(0,1,1)", nullptr},
        {"arm:movePoint(v3(1, 1, 0))", "", "Not enough arguments, <VV> argument(s) expected"},
        {"arm:movePoint(v3(1, 1, 0), 5)", "error: t:1: bad argument #2 to 'movePoint' (v3 expected, got number)",
         nullptr},
        // A template bone moves too, without callbacks.
        {"local t = set:get('arm') t:setCallback(CB_MOVED, function() error('called') end) "
         "t:movePoint(v3(1, 1, 0), v3(0, 2, 0)) return R(t:getAxis(AXIS_X))",
         "(0,1,0)", nullptr},
        {"arm:delete() arm:reset() arm:movePoint(v3(1, 0, 0), v3(0, 1, 0)) return #moved", "0", nullptr},
    };
    TEST_runCallRows(BONES, rows);
}

const char *const VOLUMES =
    "v = newCollisionVolume(scene) v:setName('v') box = newCollisionVolume(scene, set:get('box')) "
    "box:setName('box')";

TEST(KindBindings, CollisionVolumesHave32BitLayersAndMasks)
{
    static const TEST_CallRow rows[] = {
        {"return v:getCollisionLayer(), v:getCollisionMask(), box:getCollisionMask()", "1,4294967295,4294967295",
         nullptr},
        {"v:setCollisionMask(-1) return v:getCollisionMask()", "4294967295", nullptr},
        {"v:setCollisionMask(4294967295) return v:getCollisionMask()", "4294967295", nullptr},
        {"v:setCollisionMask(0x80000001) v:setCollisionLayer(6) return v:getCollisionMask(), v:getCollisionLayer()",
         "2147483649,6", nullptr},
        {"v:setCollisionLayer(-1) return v:getCollisionLayer()", "4294967295", nullptr},
        {"v:setCollisionLayer(4294967298) return v:getCollisionLayer()", "2", nullptr},
        {"v:setCollisionMask(2.9) return v:getCollisionMask()", "2", nullptr},
        {"v:setCollisionMask(0/0) v:setCollisionLayer(1/0) return v:getCollisionMask(), v:getCollisionLayer()", "0,0",
         nullptr},
        {"v:setCollisionMask('x') return v:getCollisionMask()", "4294967295",
         "Invalid type (string) for argument #1, <I> type argument(s) expected"},
        {"v:delete() v:setCollisionMask(3) return select('#', v:getCollisionMask())", "0", nullptr},
    };
    TEST_runCallRows(VOLUMES, rows);

    KindsFixture f;
    ASSERT_EQ(f.run(VOLUMES), "");
    MDL_CollisionVolume *v = dynamic_cast<MDL_CollisionVolume *>(f.object("v"));
    MDL_CollisionVolume *box = dynamic_cast<MDL_CollisionVolume *>(f.object("box"));
    ASSERT_TRUE(v != nullptr && box != nullptr);
    EXPECT_EQ(v->m_iShape, MDL_CollisionVolume::SHAPE_SPHERE);
    EXPECT_EQ(box->m_iShape, MDL_CollisionVolume::SHAPE_BOX);
    ASSERT_EQ(f.run("v:setCollisionLayer(0x80000000)"), "");
    EXPECT_EQ(static_cast<uint32_t>(v->m_iCollisionLayer), 0x80000000u);
}

const char *const MIKES = "m = newMike(scene) m:setName('m')";

TEST(KindBindings, Microphones)
{
    static const TEST_CallRow rows[] = {
        {"return m:getOn(), m:getGain(), m:getType(), getmetatable(m) == newMike", "true,1,11,true", nullptr},
        {"m:setOn(false) m:setGain(0.25) return m:getOn(), m:getGain()", "false,0.25", nullptr},
        // Any gain is kept as given.
        {"m:setGain(-3) local a = m:getGain() m:setGain(1e308) return a, m:getGain()", "-3,1e+308", nullptr},
        {"m:setOn(1) return m:getOn()", "true", "Invalid type (number) for argument #1, <B> type argument(s) expected"},
        {"m:setGain() return m:getGain()", "1", "Not enough arguments, <N> argument(s) expected"},
        {"local c = newMike(m) return c:getParent() == m, c:getGain()", "true,1", nullptr},
        {"newMike(scene, newLamp(scene))", "error: t:1: bad argument #2 to 'newMike' (newMike)", nullptr},
        {"m:delete() m:setGain(5) m:setOn(false) return select('#', m:getGain()) + select('#', m:getOn())", "0",
         nullptr},
    };
    TEST_runCallRows(MIKES, rows);

    // The mixer reads the fields that the methods write.
    KindsFixture f;
    ASSERT_EQ(f.run(MIKES), "");
    ASSERT_EQ(f.run("m:setGain(0.5) m:setOn(false)"), "");
    MDL_Mike *mike = dynamic_cast<MDL_Mike *>(f.object("m"));
    ASSERT_NE(mike, nullptr);
    EXPECT_EQ(mike->m_fGain, 0.5);
    EXPECT_FALSE(mike->m_bOn);
}

TEST(KindBindings, Locators)
{
    static const TEST_CallRow rows[] = {
        {"local l = newLocator(scene) return l:getType(), getmetatable(l) == newLocator, R(l:getPosition())",
         "14,true,(0,0,0)", nullptr},
        {"local p = newObject(scene) p:setPosition(v3(1, 2, 3)) local l = newLocator(p) "
         "return R(l:getPosition()), l:getParent() == p",
         "(1,2,3),true", nullptr},
        {"local t = set:get('mark') local l = newLocator(scene, t) "
         "return getmetatable(t) == newLocator, l:getName(), l:getScene() == scene",
         "true,mark,true", nullptr},
        // A locator is an object wherever one is asked for.
        {"local l = newLocator(scene) local c = newMesh(l) c:setParent(l) return c:isDescendant(l)", "true", nullptr},
        {"newLocator(scene, set:get('tri'))", "error: t:1: bad argument #2 to 'newLocator' (newLocator)", nullptr},
        {"newLocator(scene, 1, 2)", "error: t:1: bad argument #2 to 'newLocator' (newLocator)",
         "Too much arguments for newLocator"},
    };
    TEST_runCallRows("", rows);
}

// Every object kind comes to scripts as an instance of its class, from a
// models set or from the tree; and every object class is an object argument.
TEST(KindBindings, EveryKindHasItsClass)
{
    static const TEST_CallRow rows[] = {
        {"local t = {} for _, name in ipairs({'tri', 'skin', 'root', 'arm', 'spot', 'eye', 'box', 'mark'}) do "
         "  local o = set:get(name) t[#t + 1] = o:getType() .. (getmetatable(o) == _G[({[1] = 'newLamp', "
         "  [2] = 'newCamera', [3] = 'newMesh', [6] = 'newBone', [7] = 'newAnimatedMesh', "
         "  [13] = 'newCollisionVolume', [14] = 'newLocator'})[o:getType()]] and '' or '?') end "
         "return table.concat(t, ' ')",
         "3 7 6 6 1 2 13 14", nullptr},
        // The overlays and microphones that scripts make come back through
        // the tree as instances of their classes.
        {"local p = newObject(scene) newText(p) newImage(p) newPolyline(p) newMike(p) local t = {} "
         "local c = p:getChild() while c do t[#t + 1] = c:getType() .. (getmetatable(c) == _G[({[8] = 'newText', "
         "[10] = 'newImage', [12] = 'newPolyline', [11] = 'newMike'})[c:getType()]] and '' or '?') "
         "c = c:getSibling() end return table.concat(t, ' ')",
         "8 10 12 11", nullptr},
        {"local a = newAnimatedMesh(scene, set:get('skin')) return getmetatable(a:getChild()) == newBone, "
         "getmetatable(a:getChild():getParent()) == newAnimatedMesh",
         "true,true", nullptr},
        // Objects of every class take children and parents.
        {"local a, v = newAnimatedMesh(scene), newCollisionVolume(scene) local c = newObject(a) "
         "local d = newLamp(v) local bone = newAnimatedMesh(scene, set:get('skin')):getChild() "
         "local e = newObject(bone) v:setParent(a) "
         "return c:getParent() == a, d:getParent() == v, e:getParent() == bone, v:isDescendant(a)",
         "true,true,true,true", nullptr},
    };
    TEST_runCallRows("", rows);
}

// An engine object whose type code names a class but which is not of that
// class's kind comes as an instance of the class, whose own methods refuse
// it: none reads it as what it is not.
TEST(KindBindings, ObjectsOfAnotherKindAreRefused)
{
    struct Case {
        int m_iType;
        const char *m_sClass;
        const char *m_sCalls;
    };
    static const Case cases[] = {
        {OBJECT_LAMP, "newLamp", "o:setEnergy(5) o:setSpotSize(3) return select('#', o:getEnergy(), o:getColor())"},
        {OBJECT_CAMERA, "newCamera", "o:setFOV(5) o:setNearZ(1) return select('#', o:getFOV(), o:getFarZ())"},
        {OBJECT_MESH, "newMesh",
         "o:setColor(color()) o:setVertexPosition(1, v3()) return select('#', o:getNumVertices(), o:getMaterial())"},
        {OBJECT_BONE, "newBone", "o:reset() o:movePoint(v3(1, 0, 0), v3(0, 1, 0)) return select('#', o:getType())"},
        {OBJECT_ANIMATED_MESH, "newAnimatedMesh",
         "o:update() o:setLocked(true) o:setTexture(newTexture('x')) return select('#', o:getColor(), o:getTexture())"},
        {OBJECT_COLLISION_VOLUME, "newCollisionVolume",
         "o:setCollisionMask(1) return select('#', o:getCollisionMask(), o:getCollisionLayer())"},
        {OBJECT_SOUND, "newSound", "o:setVolume(2) return select('#', o:getVolume(), o:getTime())"},
        {OBJECT_MIKE, "newMike", "o:setGain(2) o:setOn(false) return select('#', o:getGain(), o:getOn())"},
        {OBJECT_TEXT, "newText",
         "o:setText('x') o:setFont(newFont('font.ttf')) return select('#', o:getText(), o:getBoundingBox())"},
        {OBJECT_IMAGE, "newImage",
         "o:setColor(color()) o:setTexture(newTexture('x')) return select('#', o:getAspectRatio(), o:getCenter())"},
        {OBJECT_POLYLINE, "newPolyline",
         "o:addPoints({v2()}) o:setColor(color()) o:setFillColor(color()) "
         "return select('#', o:getPointsCount(), o:distanceToPoint(v2()))"},
    };
    for (const Case &c : cases) {
        BindingFixture f;
        std::string type = std::to_string(c.m_iType);
        EXPECT_EQ(f.run("o = pushObjectOfType(" + type + ") return getmetatable(o) == " + c.m_sClass), "true")
            << c.m_sClass;
        // select('#', a(), b()) counts b's results and one for a.
        EXPECT_EQ(f.run(c.m_sCalls), "1") << c.m_sClass;
    }
}

} // namespace
