// The cost of a bound method call and of a value-type operation, beside a
// plain host function returning a number, in the same run. Each benchmark
// runs a Lua loop of 1000 calls; items per second are calls per second.
// Read the ratios, not the times: the empty loop shows the loop's own share.
// Every loop runs twice, in an interpreter on the system allocator ("system")
// and in one on the engine's pooled allocator ("pooled").
#include <benchmark/benchmark.h>

#include <lua.hpp>

#include "controller/CTRL_Generic.h"
#include "model/MDL_Object.h"
#include "scripting/LMP_Allocator.h"
#include "scripting/LMP_ScriptEngine.h"
#include "scripting/LMP_Binding.h"
#include "scripting/LMP_Luna.h"
#include "scripting/LMP_ValueTypes.h"

namespace {

const int CALLS = 1000;

// The smallest class binding: a proxy of a plain engine object with the
// object binding's getPosition, and a method that allocates nothing.
class LMP_BenchThing : public LMP_Proxy {
public:
    static const LMP_Class<LMP_BenchThing> binding;

    explicit LMP_BenchThing(MDL_Object *object) : LMP_Proxy(object)
    {
        if (object != nullptr)
            object->m_oProxyHandle.bind(this);
    }
    static LMP_BenchThing *create(lua_State *) { return new LMP_BenchThing(nullptr); }

    MDL_Object *getObject() const { return static_cast<MDL_Object *>(m_poObject); }

    int getPosition(lua_State *L)
    {
        if (lua_gettop(L) > 0 && !LMP_iCheckArgs(L, ""))
            return 0;
        MDL_Object *object = getObject();
        if (object == nullptr)
            return 0;
        *LMP_iPushV3(L) = object->getGlobalPosition();
        return 1;
    }

    int exist(lua_State *L)
    {
        lua_pushboolean(L, getObject() != nullptr);
        return 1;
    }
};

const LMP_Method<LMP_BenchThing> s_aoBenchMethods[] = {
    {"getPosition", &LMP_BenchThing::getPosition},
    {"exist", &LMP_BenchThing::exist},
    {nullptr, nullptr},
};

const LMP_Class<LMP_BenchThing> LMP_BenchThing::binding = {"newBenchThing", 30, false, s_aoBenchMethods};

int plainNumber(lua_State *L)
{
    lua_pushnumber(L, 1.5);
    return 1;
}

const char *const SCRIPT =
    "function benchEmpty(n) for i = 1, n do end end\n"
    "function benchPlain(n) local f = plain; for i = 1, n do local x = f() end end\n"
    "function benchBound(n) local o = thing; for i = 1, n do local p = o:getPosition() end end\n"
    "function benchBoundNoAlloc(n) local o = thing; for i = 1, n do local e = o:exist() end end\n"
    "function benchAdd(n) local a, b = v3(1, 2, 3), v3(4, 5, 6)\n"
    "  for i = 1, n do local c = a + b end end\n";

struct BindingBench {
    CTRL_Generic *m_poController;
    lua_State *L;
    MDL_Object *m_poObject;
    bool m_bReady = false;

    explicit BindingBench(LMP_Allocator::Mode mode)
    {
        m_poController = new CTRL_Generic(new LMP_ScriptEngine(mode), CTRL_PLATFORM_LINUX);
        L = LMP_ScriptEngine::of(m_poController)->m_poLuaState;
        m_poObject = new MDL_Object();
        m_poObject->m_iType = 30;
        LMP_Luna<LMP_BenchThing>::registerClass(L);
        lua_register(L, "plain", plainNumber);
        LMP_Luna<LMP_BenchThing>::pushObject(L, m_poObject);
        lua_setglobal(L, "thing");
        m_bReady = luaL_dostring(L, SCRIPT) == LUA_OK;
    }

    ~BindingBench()
    {
        delete m_poController;
        delete m_poObject;
    }

    bool call(const char *name)
    {
        lua_getglobal(L, name);
        lua_pushinteger(L, CALLS);
        if (lua_pcall(L, 1, 0, 0) != LUA_OK) {
            lua_pop(L, 1);
            return false;
        }
        return true;
    }
};

BindingBench &bench(LMP_Allocator::Mode mode)
{
    static BindingBench system(LMP_Allocator::SYSTEM);
    static BindingBench pooled(LMP_Allocator::POOLED);
    return mode == LMP_Allocator::POOLED ? pooled : system;
}

void run(benchmark::State &state, const char *function, LMP_Allocator::Mode mode)
{
    BindingBench &b = bench(mode);
    if (!b.m_bReady) {
        state.SkipWithError("the script did not load");
        return;
    }
    for (auto _ : state)
        if (!b.call(function))
            state.SkipWithError("the loop failed");
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * CALLS);
}

void BM_EmptyLoop(benchmark::State &state, LMP_Allocator::Mode mode)
{
    run(state, "benchEmpty", mode);
}
BENCHMARK_CAPTURE(BM_EmptyLoop, system, LMP_Allocator::SYSTEM);
BENCHMARK_CAPTURE(BM_EmptyLoop, pooled, LMP_Allocator::POOLED);

void BM_PlainHostCallReturningNumber(benchmark::State &state, LMP_Allocator::Mode mode)
{
    run(state, "benchPlain", mode);
}
BENCHMARK_CAPTURE(BM_PlainHostCallReturningNumber, system, LMP_Allocator::SYSTEM);
BENCHMARK_CAPTURE(BM_PlainHostCallReturningNumber, pooled, LMP_Allocator::POOLED);

void BM_BoundMethodGetPosition(benchmark::State &state, LMP_Allocator::Mode mode)
{
    run(state, "benchBound", mode);
}
BENCHMARK_CAPTURE(BM_BoundMethodGetPosition, system, LMP_Allocator::SYSTEM);
BENCHMARK_CAPTURE(BM_BoundMethodGetPosition, pooled, LMP_Allocator::POOLED);

void BM_BoundMethodReturningBoolean(benchmark::State &state, LMP_Allocator::Mode mode)
{
    run(state, "benchBoundNoAlloc", mode);
}
BENCHMARK_CAPTURE(BM_BoundMethodReturningBoolean, system, LMP_Allocator::SYSTEM);
BENCHMARK_CAPTURE(BM_BoundMethodReturningBoolean, pooled, LMP_Allocator::POOLED);

void BM_V3Add(benchmark::State &state, LMP_Allocator::Mode mode)
{
    run(state, "benchAdd", mode);
}
BENCHMARK_CAPTURE(BM_V3Add, system, LMP_Allocator::SYSTEM);
BENCHMARK_CAPTURE(BM_V3Add, pooled, LMP_Allocator::POOLED);

} // namespace
