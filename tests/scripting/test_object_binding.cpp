// The "newObject" class: every method through scripts, as tables of calls
// and their exact results, the constructor, deletion and object events.
#include <gtest/gtest.h>

#include <string>

#include "foundation/MTH_Vector.h"
#include "model/MDL_Event.h"
#include "model/MDL_Object.h"
#include "model/MDL_Scene.h"
#include "scripting/LMP_Object.h"
#include "tests/scripting/object_test_support.h"

namespace {

struct Row {
    const char *m_sChunk;
    const char *m_sExpected;
    const char *m_sReported; // a text the log must hold, or null: nothing reported
};

// p stands at (1, 0, 0) turned 90 degrees about z; c is its child at local
// (1, 0, 0); o is a root turned 90 degrees about z at (1, 0, 0).
const char *const SETUP = "p = newObject(scene) p:setPosition(v3(1, 0, 0)) p:rotate(v3(0, 0, 1), 90) "
                          "c = newObject(p) c:setPosition(v3(1, 0, 0), REF_LOCAL) c:setName('Child') "
                          "o = newObject(scene) o:setPosition(v3(1, 0, 0)) o:rotate(v3(0, 0, 1), 90) ";

void runRows(const Row *rows, size_t count)
{
    for (size_t i = 0; i < count; i++) {
        const Row &row = rows[i];
        ObjectFixture f;
        ASSERT_EQ(f.run(SETUP), "") << f.log();
        EXPECT_EQ(f.run(row.m_sChunk), row.m_sExpected) << row.m_sChunk;
        if (row.m_sReported == nullptr)
            EXPECT_FALSE(f.reported()) << row.m_sChunk << "\n" << f.log();
        else
            EXPECT_NE(f.log().find(row.m_sReported), std::string::npos) << row.m_sChunk << "\n" << f.log();
    }
}

TEST(ObjectBinding, SpatialReferencesAndAngles)
{
    static const Row rows[] = {
        {"return R(newObject(scene):getPosition())", "(0,0,0)", nullptr},
        {"return R(c:getPosition())", "(1,1,0)", nullptr},
        {"return R(c:getPosition(REF_GLOBAL))", "(1,1,0)", nullptr},
        {"return R(c:getPosition(REF_LOCAL))", "(1,0,0)", nullptr},
        {"return R(c:getPosition(REF_SELF))", "(0,0,0)", nullptr},
        {"return c:getPosition(7)", "", "Invalid reference ID"},
        {"return R(c:getPosition('x'))", "(1,1,0)", "argument"}, // a failed check keeps REF_GLOBAL
        {"return R(p:getAxis(AXIS_X))", "(0,1,0)", nullptr},
        {"return R(c:getAxis(AXIS_X))", "(0,1,0)", nullptr}, // made at the parent's frame
        {"return R(c:getAxis(AXIS_X, REF_LOCAL))", "(1,0,0)", nullptr},
        {"return R(o:getAxis(AXIS_Y, REF_SELF))", "(0,1,0)", nullptr},
        {"return R(o:getAxis(AXIS_Y))", "(-1,0,0)", nullptr},
        {"return o:getAxis(4)", "", "Invalid axis ID"},
        {"return o:getAxis(0, REF_SELF)", "", "Invalid axis ID"},
        {"return o:getAxis(1, 9)", "", "Invalid reference ID"},
        {"return tostring(o:getBasis(REF_SELF))", "m33(v3(1,0,0),v3(0,1,0),v3(0,0,1))", nullptr},
        {"return tostring(newObject(scene):getBasis())", "m33(v3(1,0,0),v3(0,1,0),v3(0,0,1))", nullptr},
        {"return tostring(c:getBasis(REF_LOCAL))", "m33(v3(1,0,0),v3(0,1,0),v3(0,0,1))", nullptr},
        {"return R(o:getScale(REF_SELF))", "(1,1,1)", nullptr},
        {"o:setScale(v3(2, 3, 4)) return R(o:getScale()), R(o:getAxis(1))", "(2,3,4),(0,2,0)", nullptr},
        {"c:setScale(v3(2, 2, 2), REF_LOCAL) return R(c:getScale(REF_LOCAL)), R(c:getScale())", "(2,2,2),(2,2,2)",
         nullptr},
        {"o:setScale(v3(2, 3, 4), REF_SELF) return R(o:getScale())", "(1,1,1)", "Invalid reference ID"},
        {"o:scale(v3(2, 3, 4)) o:scale(v3(2, 1, 1)) return R(o:getScale(REF_LOCAL))", "(4,3,4)", nullptr},
        // rotate: degrees; REF_SELF turns the axis argument into parent coordinates
        {"local a = newObject(scene) a:rotate(v3(0, 0, 1), 180) return R(a:getAxis(1))", "(-1,0,0)", nullptr},
        {"local a = v3(1, 0, 0) o:rotate(a, 90, REF_SELF) return R(a), R(o:getAxis(3))", "(0,1,0),(1,0,0)", nullptr},
        {"c:rotate(v3(0, 0, 1), 90, REF_LOCAL) return R(c:getAxis(1, REF_LOCAL)), R(c:getAxis(1))", "(0,1,0),(-1,0,0)",
         nullptr},
        {"o:rotate(v3(0, 0, 1), 90, 0) return R(o:getAxis(1))", "(0,1,0)", "Invalid reference ID"},
        {"o:rotateAxis(AXIS_Z, 90) return R(o:getAxis(1)), R(o:getAxis(3))", "(-1,0,0),(0,0,1)", nullptr},
        {"o:rotateAxis(5, 90) return R(o:getAxis(1))", "(0,1,0)", "Invalid axis ID"},
        // set, translate: REF_SELF writes the converted value into the argument
        {"local v = v3(1, 0, 0) o:setPosition(v, REF_SELF) return R(v), R(o:getPosition())", "(1,1,0),(1,1,0)",
         nullptr},
        {"local v = v3(1, 0, 0) o:translate(v, REF_SELF) return R(v), R(o:getPosition())", "(0,1,0),(1,1,0)", nullptr},
        {"o:translate(v3(0, 0, 5)) return R(o:getPosition())", "(1,0,5)", nullptr},
        {"c:translate(v3(1, 0, 0), REF_LOCAL) return R(c:getPosition())", "(1,2,0)", nullptr},
        {"p:setPosition(v3(0, 0, 0)) return R(c:getPosition())", "(0,1,0)", nullptr}, // the child follows
        {"c:setPosition(v3(5, 5, 5)) return R(c:getPosition()), R(c:getPosition(REF_LOCAL))", "(5,5,5),(5,-4,5)",
         nullptr},
        {"local m = m33(v3(0, 1, 0), v3(-1, 0, 0), v3(0, 0, 1)) o:setBasis(m, REF_SELF) "
         "return tostring(m), R(o:getAxis(1))",
         "m33(v3(-1,6.1232339957368e-17,0),v3(-6.1232339957368e-17,-1,0),v3(0,0,1)),(-1,0,0)", nullptr},
        {"c:setBasis(m33(v3(0, 0, 1), v3(0, 1, 0), v3(-1, 0, 0)), REF_LOCAL) return R(c:getAxis(1))", "(0,0,1)",
         nullptr},
        {"o:setBasis(m33()) return R(o:getAxis(1))", "(1,0,0)", nullptr},
        // conversions
        {"return R(c:localToGlobalPoint(v3(1, 0, 0)))", "(1,2,0)", nullptr},
        {"return R(c:localToGlobalVector(v3(1, 0, 0)))", "(0,1,0)", nullptr},
        {"return R(c:globalToLocalPoint(v3(1, 2, 0)))", "(1,0,0)", nullptr},
        {"return R(c:globalToLocalVector(v3(0, 1, 0)))", "(1,0,0)", nullptr},
        {"local v = v3(1, 0, 0) local w = c:localToGlobalVector(v) return R(v), rawequal(v, w)", "(1,0,0),false",
         nullptr},
        // interpolation
        {"o:interpolatePosition(v3(0, 0, 0), v3(2, 0, 0), 0.5, INTERPOL_SIN) return R(o:getPosition())", "(1,0,0)",
         nullptr},
        {"o:interpolatePosition(v3(0, 0, 0), v3(2, 0, 0), 1, INTERPOL_ENDSIN) return R(o:getPosition())", "(2,0,0)",
         nullptr},
        {"o:interpolatePosition(v3(0, 0, 0), v3(2, 0, 0), 0.5, INTERPOL_BEGSIN) return R(o:getPosition())",
         "(0.585786,0,0)", nullptr},
        {"o:interpolatePosition(v3(0, 0, 0), v3(2, 0, 0), 0.25) return R(o:getPosition())", "(0.5,0,0)", nullptr},
        {"o:interpolatePosition(v3(0, 0, 0), v3(2, 0, 0), 0.25, 9) return R(o:getPosition())", "(0.5,0,0)", nullptr},
        {"c:interpolatePosition(v3(0, 0, 0), v3(2, 0, 0), 0.5, 0, REF_LOCAL) return R(c:getPosition())", "(1,1,0)",
         nullptr},
        {"local a, b = v3(0, 0, 0), v3(2, 0, 0) o:interpolatePosition(a, b, 0.5, 0, REF_SELF) "
         "return R(b), R(o:getPosition())",
         "(0,2,0),(0,1,0)", nullptr},
        {"local m = m33(v3(0, 1, 0), v3(-1, 0, 0), v3(0, 0, 1)) o:interpolateBasis(m33(), m, 1) "
         "return R(o:getAxis(1)), R(o:getAxis(2))",
         "(0,1,0),(-1,0,0)", nullptr},
        {"o:interpolateBasis(m33(), m33(), 0.5, 0, 5) return R(o:getAxis(1))", "(0,1,0)", "Invalid reference ID"},
    };
    runRows(rows, sizeof(rows) / sizeof(rows[0]));
}

TEST(ObjectBinding, TreeNamesStatesAndUserData)
{
    static const Row rows[] = {
        {"return R(p:getChildrenCount()), R(c:getChildrenCount())", "1,0", nullptr},
        {"return p:getChild() == c, p:getChild('cHILD') == c", "true,true", nullptr},
        {"return p:getChild('other')", "", nullptr},
        {"return c:getChild()", "", nullptr},
        {"local d = newObject(c) d:setName('deep') return p:getDescendant('DEEP') == d, p:getChild('deep')", "true",
         nullptr},
        {"return p:getDescendant()", "", "Not enough arguments"},
        {"return c:getParent() == p, p:getParent()", "true", nullptr},
        {"local d = newObject(p) return c:getSibling() == d, d:getSibling()", "true", nullptr},
        {"return o:getScene() == scene", "true", nullptr},
        {"return R(o:getType()), c:getName(), o:getName()", "0,Child", nullptr},
        {"c:setName(nil) return c:getName()", "", "argument"},
        // The argument error is reported first (the report keeps only the first).
        {"c:setName({}) return c:getName()", "Child", "Invalid type (table)"},
        {"c:setName(42) return c:getName()", "42", nullptr},
        {"return R(o:getState()), o:hasState(STATE_VISIBLE), o:hasState(STATE_ACTIVE + STATE_VISIBLE)", "4,true,false",
         nullptr},
        {"p:enableState(STATE_ACTIVE) return R(p:getState()), R(c:getState())", "5,5", nullptr},
        {"p:enableState(STATE_ACTIVE, SCOPE_OBJECT) return R(p:getState()), R(c:getState())", "5,4", nullptr},
        {"p:setState(STATE_MOVABLE) return R(p:getState()), R(c:getState())", "2,2", nullptr},
        {"p:disableState(STATE_VISIBLE, SCOPE_OBJECT) return R(p:getState()), R(c:getState())", "0,4", nullptr},
        {"p:toggleState(STATE_VISIBLE + STATE_ACTIVE) return R(p:getState()), R(c:getState())", "1,1", nullptr},
        {"return o:getUserData()", "", nullptr},
        {"o:setUserData({7}) return o:getUserData()[1]", "7", nullptr},
        {"o:setUserData(1) o:setUserData('two') return o:getUserData()", "two", nullptr},
        {"o:setUserData(1) o:setUserData(nil) return o:getUserData()", "nil", nullptr},
        {"o:setUserData(1, 2) return o:getUserData()", "2", nullptr}, // the last argument
        {"o:setUserData() return o:getUserData()", "", "Not enough arguments"},
        {"return R(o:getBoundingBox())", "0,0,0,0,0,0", nullptr},
        {"return tostring(o):match('^newObject %(') ~= nil", "true", nullptr},
        // parents: setParent() keeps the local frame, setParent(p) the place in the world
        {"c:setParent() return c:getParent(), R(c:getPosition()), R(p:getChildrenCount())", "nil,(1,0,0),0", nullptr},
        {"o:setParent(p) return o:getParent() == p, R(o:getPosition()), R(p:getChildrenCount()), p:getChild() == c",
         "true,(1,0,0),2,true", nullptr},
        {"c:setParent(o) return c:getParent() == o, R(c:getPosition()), R(p:getChildrenCount())", "true,(1,1,0),0",
         nullptr},
        {"c:setParent(c) return c:getParent() == p", "true", "Invalid parent"},
        {"local d = newObject(c) p:setParent(d) return p:getParent()", "", "Invalid parent"},
        {"c:setParent(42) return c:getParent()", "", nullptr}, // not an object: a root
        {"return c:isDescendant(p), p:isDescendant(c), c:isDescendant(o), c:isDescendant(5), c:isDescendant()",
         "true,false,false,false,false", nullptr},
        {"local d = newObject(c) return d:isDescendant(1, p)", "true", nullptr}, // the last argument
    };
    runRows(rows, sizeof(rows) / sizeof(rows[0]));
}

TEST(ObjectBinding, ConstructorAndDelete)
{
    static const Row rows[] = {
        {"local t = newObject(scene) newObject(t) local k = newObject(scene, t) "
         "return k ~= t, R(k:getChildrenCount()), k:getScene() == scene, k:getParent()",
         "true,1,true", nullptr},
        {"local k = newObject(p, o) return k:getParent() == p, R(k:getPosition()), R(k:getAxis(1))",
         "true,(1,0,0),(0,1,0)", nullptr},
        {"local k = newObject(scene, o, 3) return k:exist()", "true", "Too much arguments for newObject"},
        {"o:delete() return o:exist(), o:getPosition(), o:getName(), o:getType()", "false,nil,nil", nullptr},
        {"p:delete() return c:exist(), c:getPosition(), c:getParent()", "false,nil", nullptr},
        {"p:delete() local k = newObject(c) return k:exist()", "false", "Unable to retreive Scene"},
        {"o:delete(1) return o:exist()", "false", "Too much arguments"},
        {"o:delete() o:delete() return o:exist()", "false", nullptr},
        {"local k = newObject(scene) k:delete() return pcall(newObject, scene, k)", "true,newObject (", nullptr},
    };
    // The last row compares the text form's start only.
    runRows(rows, sizeof(rows) / sizeof(rows[0]) - 1);
    ObjectFixture f;
    ASSERT_EQ(f.run(SETUP), "");
    std::string last = f.run(rows[sizeof(rows) / sizeof(rows[0]) - 1].m_sChunk);
    EXPECT_EQ(last.substr(0, 16), "true,newObject (") << last;
    EXPECT_FALSE(f.reported());
}

TEST(ObjectBinding, ConstructorArgumentErrorsRaise)
{
    ObjectFixture f;
    EXPECT_NE(f.raised("newObject()").find("(newScene"), std::string::npos) << f.raised("newObject()");
    EXPECT_NE(f.raised("newObject(5)").find("(newScene"), std::string::npos);
    EXPECT_NE(f.raised("newObject(scene, 5)").find("(newObject"), std::string::npos);
    // Templates of another class are refused.
    EXPECT_NE(f.raised("newObject(scene, newTestThing('x'))").find("(newObject"), std::string::npos);
    EXPECT_NE(f.raised("local o = newObject(scene) o.getPosition(newTestThing('x'))").find("newObject"),
              std::string::npos);
    EXPECT_FALSE(f.reported());
    // The count of objects is unchanged by the raising calls.
    EXPECT_EQ(f.m_poScene->m_oObjects.m_iCount, 1);
}

// An object in no scene (a models-set template): constructing from it
// creates nothing, and deleting it only unbinds the proxy.
TEST(ObjectBinding, ObjectOutsideAnySceneIsOnlyUnbound)
{
    ObjectFixture f;
    MDL_Object outside;
    outside.setName("template");
    ASSERT_EQ(LMP_iPushProxy(f.L, &outside), 1);
    lua_setglobal(f.L, "t");
    EXPECT_EQ(f.run("local k = newObject(t) return k:exist(), t:getName()"), "false,template");
    EXPECT_NE(f.log().find("Unable to retreive Scene"), std::string::npos);
    EXPECT_EQ(f.m_poScene->m_oObjects.m_iCount, 0);
    f.clearReport();
    EXPECT_EQ(f.run("local k = newObject(scene, t) return k:getName()"), "template"); // copies are fine
    EXPECT_EQ(f.run("t:delete() return t:exist()"), "false");
    EXPECT_FALSE(outside.m_bDeleted);
    EXPECT_EQ(outside.m_oProxyHandle.getProxy(), nullptr);
    EXPECT_FALSE(f.reported());
}

// Collecting a proxy leaves its engine object; a later look-up makes a new
// proxy for it. Another proxy attached to the object detaches the first.
TEST(ObjectBinding, CollectingAProxyKeepsItsObject)
{
    ObjectFixture f;
    ASSERT_EQ(f.run("do newObject(scene):setName('kept') end collectgarbage() collectgarbage()"), "");
    MDL_Object *kept = f.m_poScene->getObject("kept");
    ASSERT_NE(kept, nullptr);
    EXPECT_FALSE(kept->m_bDeleted);
    ASSERT_EQ(LMP_iPushProxy(f.L, kept), 1);
    lua_setglobal(f.L, "k");
    EXPECT_EQ(f.run("return k:exist(), k:getName()"), "true,kept");
    LMP_Object *second = new LMP_Object(kept);
    EXPECT_EQ(kept->m_oProxyHandle.getProxy(), second);
    EXPECT_EQ(f.run("return k:exist()"), "false");
    kept->m_oProxyHandle.release(); // the second proxy goes with the handle's reference
    EXPECT_FALSE(f.reported());
}

TEST(ObjectBinding, SetMaxMouseMoveAndScopes)
{
    ObjectFixture f;
    ASSERT_EQ(f.run(SETUP), "");
    ASSERT_EQ(f.run("p:setMaxMouseMove(2.5) o:setMaxMouseMove(7, SCOPE_OBJECT)"), "");
    MDL_Object *child = f.m_poScene->getObject("Child");
    ASSERT_NE(child, nullptr);
    EXPECT_EQ(child->m_fMaxMouseMove, 2.5);
    EXPECT_EQ(child->getParent()->m_fMaxMouseMove, 2.5);
    EXPECT_FALSE(f.reported());
}

// --- object events ---

struct EventFixture : ObjectFixture {
    MDL_Object *m_poObject = nullptr;
    EventFixture()
    {
        run("o = newObject(scene) o:setName('o') k = newObject(o) k:setName('k') log = {} "
            "function record(self, picked, point) "
            "  log[#log + 1] = self:getName() .. ':' .. picked:getName() .. ':' .. R(point) end");
        m_poObject = m_poScene->getObject("o");
    }
    int post(int code, MDL_Object *picked, const MTH_Vector3D &point)
    {
        return MDL_PickEvent{picked, point}.post(m_poObject->m_oProxyHandle, m_poController->m_poScriptEngine, code);
    }
    int postMoved() { return MDL_MovedEvent().post(m_poObject->m_oProxyHandle, m_poController->m_poScriptEngine); }
};

TEST(ObjectBinding, MouseEventsCallTheRegisteredFunction)
{
    static const int codes[] = {MDL_CB_MOUSE_DOWN, MDL_CB_MOUSE_UP, MDL_CB_MOUSE_CLICK};
    for (int code : codes) {
        EventFixture f;
        MTH_Vector3D point(1, 2, 3);
        MDL_Object *picked = f.m_poScene->getObject("k");
        EXPECT_EQ(f.post(code, picked, point), 0) << "no function: not consumed, the event climbs";
        f.run("o:setCallback(" + std::to_string(code) + ", record)");
        EXPECT_EQ(f.post(code, picked, point), 1);
        point.m_fX = 9; // the script got a copy
        EXPECT_EQ(f.run("return log[1], #log"), "o:k:(1,2,3),1");
        f.run("o:setCallback(" + std::to_string(code) + ", nil)");
        EXPECT_EQ(f.post(code, picked, point), 0);
        EXPECT_FALSE(f.reported()) << f.log();
    }
}

TEST(ObjectBinding, MovedEventsAndFailures)
{
    EventFixture f;
    f.run("o:setCallback(CB_MOVED, function(self, extra) log[1] = self:getName() .. tostring(extra) end)");
    EXPECT_EQ(f.postMoved(), 1);
    EXPECT_EQ(f.run("return log[1]"), "onil");
    // A function that raises does not consume the event.
    f.run("o:setCallback(CB_MOUSE_DOWN, function() error('boom') end)");
    MTH_Vector3D point;
    EXPECT_EQ(f.post(MDL_CB_MOUSE_DOWN, f.m_poObject, point), 0);
    EXPECT_NE(f.log().find("boom"), std::string::npos);
    f.clearReport();
    // A function registered for an id that is no object event.
    f.run("o:setCallback(CB_MECHA, record)");
    EXPECT_EQ(f.post(MDL_CB_MECHA, f.m_poObject, point), 0);
    EXPECT_NE(f.log().find("Unhandled object callback"), std::string::npos);
    f.clearReport();
    // Ids without a slot are ignored, and their references given back.
    EXPECT_EQ(f.run("local before = #testRegistry() for i = 1, 100 do o:setCallback(12, record) "
                    "o:setCallback(0, record) o:setCallback(CB_MOVED, record) end "
                    "return #testRegistry() - before < 5"),
              "true");
    EXPECT_FALSE(f.m_poController->m_bHalted);
    // A halted controller calls nothing.
    f.run("o:setCallback(CB_MOVED, record)");
    f.m_poController->m_bHalted = true;
    EXPECT_EQ(f.postMoved(), 0);
}

} // namespace
