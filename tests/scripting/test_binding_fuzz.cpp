// Every method of every bound class, and every constructor, called with
// random receivers and argument lists: instances of every class (live,
// deleted, unbound), nil, numbers (NaN and infinities among them), strings,
// tables, value types and functions. The classes and their methods are read
// from the interpreter, so a class bound later is called too; its instances
// come from its constructor (tried with every argument list of SEEDS below)
// and from what any call returns. In between, object events are posted,
// whole frames run (physics, skinning, animations, shadow volumes, released
// textures, purges) and the collector runs: the player must stay up, the
// interpreter's stack balanced. The seed is fixed, so a failure repeats; with
// VEKTA_TRACE_FUZZ set each chunk is written to standard error first.
#include <gtest/gtest.h>

#include <cstdio>
#include <algorithm>
#include <cstdlib>
#include <map>
#include <random>
#include <string>
#include <vector>

#include <lua.hpp>

#include "foundation/MTH_Vector.h"
#include "model/MDL_Event.h"
#include "model/MDL_Object.h"
#include "model/MDL_Scene.h"
#include "scripting/LMP_Binding.h"
#include "scripting/LMP_Proxy.h"
#include "view/null/VIEW_Null.h"
#include "tests/scripting/kinds_test_support.h"

namespace {

struct BoundClass {
    std::string m_sName;
    std::vector<std::string> m_asMethods;
    // What identifies each method's implementation: the row that the class
    // mechanism's closure carries, shared by the classes that inherit it.
    std::vector<const void *> m_apImplementations;
};

// The player's classes (TEST_boundClasses), by name, each method with its
// implementation, in name order.
std::vector<BoundClass> boundClasses(lua_State *L)
{
    std::vector<BoundClass> classes;
    for (const auto &bound : TEST_boundClasses(L)) {
        BoundClass c{bound.first, {}, {}};
        for (const auto &method : bound.second) {
            c.m_asMethods.push_back(method.first);
            c.m_apImplementations.push_back(method.second);
        }
        classes.push_back(c);
    }
    return classes;
}

// The pools of instances and the helpers of the calls:
//   keep(x)       files an instance x in the pools of its class: 8 that
//                 stand for something (bound(x)), replaced in turn, and 4
//                 that are gone or were never bound
//   prune()       moves the instances that are gone to the second pool
//   I(k), O(c, k) an instance of any class, of the class named c
//   call(f, ...)  pcall, counting successes and keeping what it returns
//   seed()        every class's constructor with every argument list of SEEDS,
//                 with an instance of each class, and with the scene and each
//                 template of the models sets (loaded again when a call
//                 deleted them), keeping what the getters of the copies give
const char *const HELPERS = R"(
CLASSNAME, POOLS, GONE, PASSED, TURN = {}, {}, {}, 0, 0
for _, name in ipairs(CLASSES) do CLASSNAME[_G[name]] = name POOLS[name] = {} GONE[name] = {} end
local function add(pool, x, size)
  for _, y in ipairs(pool) do if rawequal(x, y) then return end end
  TURN = TURN + 1
  if #pool < size then pool[#pool + 1] = x else pool[TURN % size + 1] = x end
end
function keep(x)
  local name = type(x) == 'userdata' and CLASSNAME[getmetatable(x)]
  if not name then return end
  if bound(x) then add(POOLS[name], x, 8) else add(GONE[name], x, 4) end
end
function prune()
  for _, name in ipairs(CLASSES) do
    local live = {}
    for _, x in ipairs(POOLS[name]) do if bound(x) then live[#live + 1] = x else add(GONE[name], x, 4) end end
    POOLS[name] = live
  end
end
local function any(pool, gone, k)
  local n = #pool + #gone
  if n == 0 then return nil end
  k = k % n + 1
  if k <= #pool then return pool[k] end
  return gone[k - #pool]
end
function O(name, k) return any(POOLS[name], GONE[name], k) end
function I(k) return O(CLASSES[k % #CLASSES + 1], math.floor(k / #CLASSES)) end
function call(f, ...)
  local r = table.pack(pcall(f, ...))
  if r[1] then PASSED = PASSED + 1 end
  for i = 2, r.n do keep(r[i]) end
end
function seed()
  prune()
  if select('#', kinds:getNames(OBJECT_MESH)) == 0 then kinds = newModelsSet('kinds.xml') end
  if select('#', set:getNames(OBJECT_MESH)) == 0 then set = newModelsSet('set.xml') end
  if select('#', tex:getFilter()) == 0 then tex = newTexture('tex.png') end
  if select('#', wide:getFilter()) == 0 then wide = newTexture('wide.png') end
  keep(scene) keep(set) keep(kinds) keep(tex) keep(wide)
  local templates = {}
  local function fetch(s, name) local t = s:get(name) keep(t) templates[#templates + 1] = t end
  for _, name in ipairs({'tri', 'bare', 'skin', 'root', 'arm', 'spot', 'bulb', 'eye', 'box', 'mark'}) do
    fetch(kinds, name)
  end
  for _, name in ipairs({'Box', 'Lid', 'Marker', 'Beep'}) do fetch(set, name) end
  keep(set:getAnimationData('walk'))
  local object = newObject(scene)
  for _, name in ipairs(CLASSES) do
    local c = _G[name]
    for _, args in ipairs(SEEDS) do call(c, table.unpack(args)) end
    -- With an instance of each class first or second (an animation's track
    -- and object, a sound's sample).
    for _, other in ipairs(CLASSES) do call(c, O(other, TURN), object) call(c, scene, O(other, TURN)) end
    for _, t in ipairs(templates) do
      -- What the copies' getters give joins too: their materials,
      -- textures, children (the skin's bones).
      local ok, x = pcall(c, scene, t)
      if ok and bound(x) then
        keep(x)
        for _, getter in ipairs(GETTERS[name]) do call(x[getter], x) end
      end
    end
  end
end
SEEDS = {{}, {scene}, {'tex.png'}, {'sine.ogg'}, {'movie.ogv'}, {'font.ttf'}, {'kinds.xml'}, {'set.xml'},
  {0, 0, 1, 0.75}, {'extra'}, {tex}, {scene, wide}}
)";

// Argument values: fresh on each use (some methods write into their v3 and
// m33 arguments).
const char *const VALUES[] = {
    "1",
    "2",
    "3",
    "0",
    "-1",
    "4",
    "5",
    "12",
    "24",
    "25",
    "-2",
    "100",
    "0.5",
    "2147483648",
    "4294967295",
    "1e308",
    "-1e308",
    "0/0",
    "1/0",
    "-1/0",
    "'abc'",
    "'2'",
    "''",
    "nil",
    "{}",
    "{1, 2, 3, 4, 5, 6}",
    "true",
    "false",
    "v3(1, 2, 3)",
    "v3(0, 0, 0)",
    "v3(0/0, 1, 1/0)",
    "m33()",
    "m33(v3(0, 0, 0), v3(0, 0, 0), v3(0, 0, 0))",
    "v2(1, 2)",
    "v2(0.5, 0.5)",
    "{v2(0, 0), v2(0.5, 0), v2(0.5, 0.5), v2(0, 0.5)}",
    "{v2(0, 0), v2(0/0, 1), 5, v2(1/0, 1), v2(0, 0)}",
    "color(1, 0, 0, 1)",
    "color(1, 1, 1, 0.5)",
    "'tex.png'",
    "'A\\tline\\nand é'",
    "'kinds.xml'",
    "'sine.ogg'",
    "'skin'",
    "'arm'",
    "'walk'",
    "scene",
    "tex",
    "function() end",
    "function() error('x') end",
    "print",
    "CB_MOVED",
    "CB_MOUSE_DOWN",
    "REF_SELF",
    "OBJECT_MESH",
};

// bound(x): whether x is an instance that stands for something (an engine
// object that is there, and for objects not flagged deleted).
int bound(lua_State *L)
{
    bool result = false;
    if (lua_type(L, 1) == LUA_TUSERDATA && lua_getmetatable(L, 1)) {
        LMP_Proxy *proxy = LMP_poProxyAt(L, 1, -1);
        lua_pop(L, 1);
        result = proxy != nullptr && proxy->m_poObject != nullptr;
        LMP_Proxy *object = LMP_iGetObject(L, 1);
        if (result && object != nullptr)
            result = !static_cast<MDL_Object *>(object->m_poObject)->m_bDeleted;
    }
    lua_pushboolean(L, result);
    return 1;
}

template <size_t N> const char *pick(std::mt19937 &random, const char *const (&list)[N])
{
    return list[std::uniform_int_distribution<size_t>(0, N - 1)(random)];
}

// A random argument: mostly a value, else an instance of any class.
std::string argument(std::mt19937 &random)
{
    if (std::uniform_int_distribution<int>(0, 2)(random) == 0)
        return "I(" + std::to_string(std::uniform_int_distribution<int>(0, 1000)(random)) + ")";
    return pick(random, VALUES);
}

TEST(BindingFuzz, RandomCallsOfEveryMethodKeepThePlayerUp)
{
    KindsFixture f;
    ASSERT_TRUE(f.m_bOpened) << f.log();
    lua_State *L = f.state();
    const std::vector<BoundClass> classes = boundClasses(L);
    ASSERT_GE(classes.size(), 18u);
    lua_createtable(L, static_cast<int>(classes.size()), 0);
    for (size_t i = 0; i < classes.size(); i++) {
        lua_pushstring(L, classes[i].m_sName.c_str());
        lua_rawseti(L, -2, static_cast<int>(i + 1));
    }
    lua_setglobal(L, "CLASSES");
    lua_newtable(L);
    for (const BoundClass &c : classes) {
        lua_newtable(L);
        int n = 0;
        for (const std::string &method : c.m_asMethods)
            if (method.compare(0, 3, "get") == 0) {
                lua_pushstring(L, method.c_str());
                lua_rawseti(L, -2, ++n);
            }
        lua_setfield(L, -2, c.m_sName.c_str());
    }
    lua_setglobal(L, "GETTERS");
    lua_register(L, "bound", bound);
    ASSERT_EQ(f.run("kinds = set set = newModelsSet('set.xml')"), "");
    ASSERT_EQ(f.run(HELPERS), "");
    ASSERT_EQ(f.run("seed() dead = newObject(scene) dead:delete() keep(dead)"), "");
    f.clearReport();
    // Every class has instances to call methods on, bones, materials and
    // fonts included (from the models set, the meshes' getMaterial and the
    // texts' getFont).
    for (const char *name : {"newMesh", "newAnimatedMesh", "newBone", "newLamp", "newCamera", "newCollisionVolume",
                             "newMike", "newLocator", "newText", "newImage", "newPolyline", "newMaterial", "newTexture",
                             "newFont", "newModelsSet", "newScene"})
        EXPECT_NE(f.run(std::string("return #POOLS.") + name), "0") << name;

    VIEW_Null renderer;
    f.m_oController.resize(320, 240);
    f.m_oController.m_bStarted = true; // the scripts are these chunks
    f.m_oController.setRunning();
    const bool trace = getenv("VEKTA_TRACE_FUZZ") != nullptr;
    std::map<std::string, int> called;
    std::mt19937 random(20261210);
    const int iterations = 50000;
    int top = lua_gettop(L);
    // What is called: a constructor or a method of a class, each
    // implementation alike often (an inherited method is shared by the
    // classes that have it).
    struct Target {
        size_t m_iClass;
        int m_iMethod; // -1: the constructor
    };
    std::vector<Target> targets;
    std::vector<double> weights;
    std::map<const void *, int> sharing;
    for (const BoundClass &c : classes)
        for (const void *row : c.m_apImplementations)
            sharing[row]++;
    for (size_t k = 0; k < classes.size(); k++) {
        targets.push_back({k, -1});
        weights.push_back(1);
        for (size_t m = 0; m < classes[k].m_asMethods.size(); m++) {
            targets.push_back({k, static_cast<int>(m)});
            weights.push_back(1.0 / sharing[classes[k].m_apImplementations[m]]);
        }
    }
    std::discrete_distribution<size_t> target(weights.begin(), weights.end());
    // Mostly short argument lists, as the methods take.
    std::discrete_distribution<int> argumentCount({2, 4, 3, 2, 1, 1});
    for (int i = 0; i < iterations; i++) {
        const Target &t = targets[target(random)];
        const BoundClass &c = classes[t.m_iClass];
        int count = argumentCount(random);
        std::string arguments;
        for (int a = 0; a < count; a++)
            arguments += ", " + argument(random);
        std::string chunk;
        if (t.m_iMethod < 0) {
            // Half of them with a place and an instance of the class, which
            // the object classes take as a template.
            if (random() % 2 == 0)
                arguments = ", " + std::string(random() % 2 ? "scene" : argument(random)) + ", O('" + c.m_sName +
                            "', " + std::to_string(random() % 1000) + ")";
            chunk = "call(" + c.m_sName + arguments + ")";
            called[c.m_sName + "()"]++;
        } else {
            const std::string &method = c.m_asMethods[t.m_iMethod];
            // Mostly an instance of the class, else any value.
            std::string receiver = "O('" + c.m_sName + "', " + std::to_string(random() % 1000) + ")";
            if (std::uniform_int_distribution<int>(0, 4)(random) == 0)
                receiver = argument(random);
            chunk = "call(" + c.m_sName + "." + method + ", " + receiver + arguments + ")";
            called[c.m_sName + ":" + method]++;
        }
        if (trace)
            fprintf(stderr, "%d: %s\n", i, chunk.c_str());
        ASSERT_EQ(f.run(chunk), "") << chunk;
        ASSERT_EQ(lua_gettop(L), top) << chunk;
        f.clearReport();

        // Events to a listed object of any scene (deleted ones stay valid
        // until the purge).
        if (i % 7 == 0) {
            UTIL_DynArray<MDL_Scene *> &scenes = f.m_oController.m_oScenes;
            MDL_Scene *scene = scenes.m_pData[std::uniform_int_distribution<int>(0, scenes.m_iCount - 1)(random)];
            UTIL_DynArray<MDL_Object *> &objects = scene->m_oObjects;
            if (objects.m_iCount > 0) {
                std::uniform_int_distribution<int> any(0, objects.m_iCount - 1);
                MDL_Object *target = objects.m_pData[any(random)];
                MDL_Object *picked = objects.m_pData[any(random)];
                int code = std::uniform_int_distribution<int>(0, MDL_CB_MAX + 1)(random);
                MDL_PickEvent{picked, MTH_Vector3D(1, 2, 3)}.post(target->m_oProxyHandle,
                                                                  f.m_oController.m_poScriptEngine, code);
                ASSERT_EQ(lua_gettop(L), top);
                f.clearReport();
            }
        }
        if (i % 400 == 399) {
            f.m_oController.frame(nullptr, &renderer, 0.02);
            lua_gc(L, LUA_GCCOLLECT, 0);
            f.clearReport();
            ASSERT_EQ(f.run("seed()"), "") << f.log();
            f.clearReport();
        }
    }
    printf("instances at the end (live+gone): %s\n",
           f.run("prune() local t = {} for _, n in ipairs(CLASSES) do "
                 "t[#t + 1] = n .. ' ' .. #POOLS[n] .. '+' .. #GONE[n] end return table.concat(t, ', ')")
               .c_str());
    EXPECT_EQ(f.run("return newObject(scene):exist(), dead:exist(), 6 * 7"), "true,false,42");
    // Every method of every class was called, and most calls got past the
    // checks that raise.
    for (const BoundClass &c : classes)
        for (const std::string &method : c.m_asMethods)
            EXPECT_GT(called[c.m_sName + ":" + method], 0) << c.m_sName << ":" << method;
    std::string passed = f.run("return PASSED");
    printf("%zu classes; calls that returned: %s of %d and the seeding\n", classes.size(), passed.c_str(), iterations);
    EXPECT_GT(std::stoi(passed), iterations / 3);
}

} // namespace
