// The interpreter's allocator: size classes with free lists, blocks moved
// between classes and to the system allocator with their contents, the byte
// count and the limit, and whole interpreters run on either mode.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <set>
#include <string>

#include <lua.hpp>

#include "controller/CTRL_Generic.h"
#include "scripting/LMP_Allocator.h"
#include "scripting/LMP_ScriptEngine.h"
#include "tests/support/TEST_Log.h"

namespace {

void *take(LMP_Allocator &a, size_t size)
{
    return LMP_Allocator::allocate(&a, nullptr, LUA_TTABLE, size);
}

void *resize(LMP_Allocator &a, void *block, size_t oldSize, size_t newSize)
{
    return LMP_Allocator::allocate(&a, block, oldSize, newSize);
}

void give(LMP_Allocator &a, void *block, size_t size)
{
    EXPECT_EQ(LMP_Allocator::allocate(&a, block, size, 0), nullptr);
}

void fill(void *block, size_t size, unsigned char seed)
{
    for (size_t i = 0; i < size; i++)
        static_cast<unsigned char *>(block)[i] = static_cast<unsigned char>(seed + i);
}

bool holds(const void *block, size_t size, unsigned char seed)
{
    for (size_t i = 0; i < size; i++)
        if (static_cast<const unsigned char *>(block)[i] != static_cast<unsigned char>(seed + i))
            return false;
    return true;
}

TEST(Allocator, SizeClassesHandOutAlignedDistinctBlocksAndReuseFreedOnes)
{
    LMP_Allocator a(LMP_Allocator::POOLED);
    std::set<uintptr_t> seen;
    void *blocks[700];
    for (size_t size = 1; size < 700; size++) {
        blocks[size] = take(a, size);
        ASSERT_NE(blocks[size], nullptr) << size;
        EXPECT_EQ(reinterpret_cast<uintptr_t>(blocks[size]) % 16, 0u) << size;
        EXPECT_TRUE(seen.insert(reinterpret_cast<uintptr_t>(blocks[size])).second) << size;
        fill(blocks[size], size, static_cast<unsigned char>(size));
    }
    size_t total = 0;
    for (size_t size = 1; size < 700; size++) {
        EXPECT_TRUE(holds(blocks[size], size, static_cast<unsigned char>(size))) << size;
        total += size;
    }
    EXPECT_EQ(a.getBytesInUse(), total);
    EXPECT_EQ(a.getChunkCount(), static_cast<int>(LMP_Allocator::SMALL_LIMIT / LMP_Allocator::GRANULE));
    // A freed block is the next one its class hands out, for any size of the
    // class; large blocks go back to the system.
    give(a, blocks[40], 40);
    EXPECT_EQ(take(a, 33), blocks[40]);
    give(a, blocks[40], 33);
    for (size_t size = 1; size < 700; size++)
        if (size != 40)
            give(a, blocks[size], size);
    EXPECT_EQ(a.getBytesInUse(), 0u);
    int chunks = a.getChunkCount();
    for (size_t size = 1; size <= LMP_Allocator::SMALL_LIMIT; size++)
        give(a, take(a, size), size);
    EXPECT_EQ(a.getChunkCount(), chunks);
}

// Growing and shrinking across classes and past the small limit keeps the
// contents, in both modes.
TEST(Allocator, ResizedBlocksKeepTheirContents)
{
    for (LMP_Allocator::Mode mode : {LMP_Allocator::POOLED, LMP_Allocator::SYSTEM}) {
        LMP_Allocator a(mode);
        const size_t sizes[] = {8, 12, 16, 17, 100, 512, 513, 2000, 600, 300, 20, 3, 40000, 1};
        size_t size = sizes[0];
        void *block = take(a, size);
        fill(block, size, 7);
        for (size_t next : sizes) {
            void *moved = resize(a, block, size, next);
            ASSERT_NE(moved, nullptr) << size << " -> " << next;
            size_t kept = size < next ? size : next;
            EXPECT_TRUE(holds(moved, kept, 7)) << size << " -> " << next;
            fill(moved, next, 7);
            EXPECT_EQ(a.getBytesInUse(), next);
            block = moved;
            size = next;
        }
        give(a, block, size);
        EXPECT_EQ(a.getBytesInUse(), 0u);
    }
}

TEST(Allocator, TheLimitRefusesGrowthButNeverAShrink)
{
    for (LMP_Allocator::Mode mode : {LMP_Allocator::POOLED, LMP_Allocator::SYSTEM}) {
        LMP_Allocator a(mode);
        a.setLimit(1000);
        void *big = take(a, 900);
        ASSERT_NE(big, nullptr);
        EXPECT_EQ(take(a, 101), nullptr);
        EXPECT_EQ(resize(a, big, 900, 1001), nullptr);
        EXPECT_EQ(a.getBytesInUse(), 900u);
        void *small = take(a, 100);
        ASSERT_NE(small, nullptr);
        // Over the limit (lowered meanwhile), shrinking still works.
        a.setLimit(10);
        small = resize(a, small, 100, 50);
        big = resize(a, big, 900, 20);
        ASSERT_NE(small, nullptr);
        ASSERT_NE(big, nullptr);
        EXPECT_EQ(take(a, 1), nullptr);
        EXPECT_EQ(a.getBytesInUse(), 70u);
        give(a, small, 50);
        give(a, big, 20);
        a.setLimit(0);
        void *any = take(a, 100000);
        EXPECT_NE(any, nullptr);
        give(a, any, 100000);
    }
}

// A script that churns strings, tables, closures and coroutines runs alike
// on both modes, and closing the interpreter gives every byte back.
TEST(Allocator, InterpretersRunOnEitherMode)
{
    const char *script = "local t, s = {}, '' "
                         "for i = 1, 20000 do t[i % 97] = {i, tostring(i), function() return i end} "
                         "  s = s .. string.char(65 + i % 26) if #s > 300 then s = '' end end "
                         "local co = coroutine.wrap(function() for i = 1, 100 do coroutine.yield(i) end end) "
                         "local sum = 0 for i = 1, 100 do sum = sum + co() end "
                         "return sum, #t, t[5][2], t[5][3]()";
    for (LMP_Allocator::Mode mode : {LMP_Allocator::POOLED, LMP_Allocator::SYSTEM}) {
        LMP_Allocator a(mode);
        lua_State *L = lua_newstate(LMP_Allocator::allocate, &a);
        ASSERT_NE(L, nullptr);
        luaL_openlibs(L);
        ASSERT_EQ(luaL_dostring(L, script), LUA_OK) << lua_tostring(L, -1);
        EXPECT_EQ(lua_tointeger(L, -4), 5050);
        EXPECT_EQ(lua_tointeger(L, -3), 96);
        EXPECT_STREQ(lua_tostring(L, -2), "19987");
        EXPECT_EQ(lua_tointeger(L, -1), 19987);
        EXPECT_GT(a.getBytesInUse(), 0u);
        lua_close(L);
        EXPECT_EQ(a.getBytesInUse(), 0u);
    }
}

// The engine pools, except under AddressSanitizer, which must see every
// block on its own; and its memory limit turns a runaway script into Lua's
// memory error, after which the interpreter goes on.
TEST(Allocator, TheEngineAllocatesThroughItAndHonoursItsLimit)
{
#if defined(__SANITIZE_ADDRESS__)
    const LMP_Allocator::Mode expected = LMP_Allocator::SYSTEM;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
    const LMP_Allocator::Mode expected = LMP_Allocator::SYSTEM;
#else
    const LMP_Allocator::Mode expected = LMP_Allocator::POOLED;
#endif
#else
    const LMP_Allocator::Mode expected = LMP_Allocator::POOLED;
#endif
    TEST_LogCapture log;
    LMP_ScriptEngine engine;
    ASSERT_NE(engine.getAllocator(), nullptr);
    EXPECT_EQ(engine.getAllocator()->getMode(), expected);
    EXPECT_GT(engine.getAllocator()->getBytesInUse(), 0u);

    lua_State *L = engine.m_poLuaState;
    size_t inUse = engine.getAllocator()->getBytesInUse();
    engine.setMemoryLimit(inUse + 256 * 1024);
    ASSERT_EQ(luaL_loadstring(L, "local t = {} for i = 1, 1e7 do t[i] = tostring(i) end"), LUA_OK);
    EXPECT_EQ(lua_pcall(L, 0, 0, 0), LUA_ERRMEM);
    EXPECT_STREQ(lua_tostring(L, -1), "not enough memory");
    lua_pop(L, 1);
    lua_gc(L, LUA_GCCOLLECT, 0);
    EXPECT_EQ(luaL_dostring(L, "return 6 * 7"), LUA_OK);
    EXPECT_EQ(lua_tointeger(L, -1), 42);
    lua_pop(L, 1);

    LMP_ScriptEngine system(LMP_Allocator::SYSTEM);
    EXPECT_EQ(system.getAllocator()->getMode(), LMP_Allocator::SYSTEM);
}

} // namespace

namespace {

// Whatever allocation of a constructor or a method fails, a memory error is
// raised and nothing is left behind (the leak checker of the sanitizer
// build sees it at exit). The limit is raised a few bytes at a time, so that
// every allocation of the call fails once.
TEST(Allocator, CallsThatRunOutOfMemoryLeaveNothingBehind)
{
    TEST_LogCapture log;
    LMP_ScriptEngine *engine = new LMP_ScriptEngine();
    CTRL_Generic controller(engine, CTRL_PLATFORM_LINUX);
    lua_State *L = engine->m_poLuaState;
    ASSERT_EQ(luaL_dostring(L, "scene = newScene('s') o = newObject(scene)"), LUA_OK);
    const char *const chunks[] = {
        "return newMaterial()",         "return newBone(scene)",          "return newMesh(scene)",
        "return newAnimatedMesh(o)",    "return newLamp(scene)",          "return newCamera(o)",
        "return newCollisionVolume(o)", "return newSound(scene)",         "return newObject(o)",
        "return newTexture('x')",       "return newSample('x')",          "return newStream('x')",
        "return newFont('x')",          "return newModelsSet('x')",       "return newAnimationData()",
        "return newScene('x')",         "return newViewport(0, 0, 1, 1)", "return o:getPosition()",
    };
    for (const char *chunk : chunks) {
        ASSERT_EQ(luaL_loadstring(L, chunk), LUA_OK);
        int failures = 0;
        for (size_t extra = 0; extra < 3000; extra += 8) {
            lua_gc(L, LUA_GCCOLLECT, 0);
            engine->setMemoryLimit(engine->getAllocator()->getBytesInUse() + extra);
            lua_pushvalue(L, -1);
            if (lua_pcall(L, 0, 1, 0) != LUA_OK) {
                EXPECT_STREQ(lua_tostring(L, -1), "not enough memory") << chunk;
                failures++;
            }
            lua_pop(L, 1);
            engine->setMemoryLimit(0);
            controller.m_bHalted = false;
        }
        lua_pop(L, 1);
        EXPECT_GT(failures, 0) << chunk;
    }
}

} // namespace
