// Every method of "newObject" called with random argument lists (numbers,
// strings, nil, tables, v3, m33, deleted objects, objects of other classes,
// functions), with object events, collections and purges in between: the
// player must stay up and the interpreter's stack balanced. The seed is
// fixed, so a failure repeats.
#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <string>

#include "foundation/MTH_Vector.h"
#include "model/MDL_Object.h"
#include "model/MDL_Scene.h"
#include "scripting/LMP_Object.h"
#include "tests/scripting/object_test_support.h"

namespace {

const char *const METHODS[] = {
    "delete",
    "getBoundingBox",
    "getChild",
    "getChildrenCount",
    "getDescendant",
    "getParent",
    "getScene",
    "getPosition",
    "getBasis",
    "getScale",
    "getSibling",
    "getUserData",
    "getAxis",
    "rotate",
    "rotateAxis",
    "setScale",
    "scale",
    "setCallback",
    "setPosition",
    "setBasis",
    "setUserData",
    "translate",
    "interpolateBasis",
    "interpolatePosition",
    "localToGlobalPoint",
    "localToGlobalVector",
    "globalToLocalPoint",
    "globalToLocalVector",
    "setMaxMouseMove",
    "getType",
    "getName",
    "setName",
    "exist",
    "getState",
    "setState",
    "hasState",
    "enableState",
    "disableState",
    "toggleState",
    "setParent",
    "isDescendant",
};

const char *const ARGUMENTS[] = {
    "1",
    "2",
    "3",
    "0",
    "-1",
    "4",
    "12",
    "2147483648",
    "1e308",
    "-1e308",
    "0/0",
    "1/0",
    "'abc'",
    "'2'",
    "''",
    "nil",
    "{}",
    "{1, 2}",
    "true",
    "v3(1, 2, 3)",
    "v3(0, 0, 0)",
    "m33()",
    "m33(v3(0, 0, 0), v3(0, 0, 0), v3(0, 0, 0))",
    "v2(1, 2)",
    "color(1, 0, 0, 1)",
    "dead",
    "thing",
    "scene",
    "O[1]",
    "O[2]",
    "O[3]",
    "O[4]",
    "function() end",
    "function() error('x') end",
    "print",
    "CB_MOUSE_DOWN",
    "CB_MOVED",
};

const char *const RECEIVERS[] = {"O[1]", "O[2]", "O[3]", "O[4]", "O[5]", "O[6]", "dead", "thing", "5", "nil", "scene"};

template <size_t N> const char *pick(std::mt19937 &random, const char *const (&list)[N])
{
    return list[std::uniform_int_distribution<size_t>(0, N - 1)(random)];
}

TEST(ObjectFuzz, RandomCallsKeepThePlayerUp)
{
    static_assert(sizeof(METHODS) / sizeof(METHODS[0]) == 41, "every method of the class");
    ObjectFixture f;
    ASSERT_EQ(f.run("O = {} "
                    "function refill() for i = 1, 6 do if not O[i]:exist() then O[i] = newObject(scene) end end end "
                    "for i = 1, 6 do O[i] = newObject(scene) end O[2]:setParent(O[1]) O[3]:setParent(O[2]) "
                    "dead = newObject(scene) dead:delete() thing = newTestThing('x') "
                    "M = newObject PASSED = 0"),
              "");
    std::mt19937 random(20261210);
    const int iterations = 20000;
    int top = lua_gettop(f.L);
    for (int i = 0; i < iterations; i++) {
        std::string chunk;
        int kind = std::uniform_int_distribution<int>(0, 19)(random);
        int count = std::uniform_int_distribution<int>(0, 5)(random);
        std::string arguments;
        for (int a = 0; a < count; a++)
            arguments += std::string(", ") + pick(random, ARGUMENTS);
        if (kind == 0)
            chunk = "local ok = pcall(newObject" + arguments + ")";
        else
            chunk = std::string("local ok = pcall(M.") + pick(random, METHODS) + ", " + pick(random, RECEIVERS) +
                    arguments + ")";
        chunk += " if ok then PASSED = PASSED + 1 end";
        ASSERT_EQ(f.run(chunk), "") << chunk;
        ASSERT_EQ(lua_gettop(f.L), top) << chunk;
        f.clearReport();

        // Events to a listed object (deleted ones stay valid until the purge).
        if (i % 7 == 0 && f.m_poScene->m_oObjects.m_iCount > 0) {
            UTIL_DynArray<MDL_Object *> &objects = f.m_poScene->m_oObjects;
            MDL_Object *target = objects.m_pData[std::uniform_int_distribution<int>(0, objects.m_iCount - 1)(random)];
            MDL_Object *picked = objects.m_pData[std::uniform_int_distribution<int>(0, objects.m_iCount - 1)(random)];
            MTH_Vector3D point(1, 2, 3);
            int code = std::uniform_int_distribution<int>(0, 12)(random);
            target->m_oProxyHandle.postEvent(f.m_poController->m_poScriptEngine, code, picked, &point);
            ASSERT_EQ(lua_gettop(f.L), top);
            f.clearReport();
        }
        if (i % 50 == 49) {
            lua_gc(f.L, LUA_GCCOLLECT, 0);
            f.m_poScene->purgeDeleted();
            ASSERT_EQ(f.run("refill()"), "");
            f.clearReport();
        }
    }
    EXPECT_EQ(f.run("refill() return O[1]:exist(), dead:exist()"), "true,false");
    // Most calls get past the receiver and argument checks that raise.
    std::string passed = f.run("return PASSED");
    std::printf("calls that returned: %s of %d\n", passed.c_str(), iterations);
    EXPECT_GT(std::stoi(passed), iterations / 3);
}

} // namespace
