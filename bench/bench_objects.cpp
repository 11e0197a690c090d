// A script that creates 10,000 objects through "newObject" and moves every
// one of them each frame from its update callback; whole frames of the
// controller (the renderer that draws nothing), as frames per second.
// A second case times the creation of the 10,000 objects.
#include <benchmark/benchmark.h>

#include <lua.hpp>

#include "controller/CTRL_Generic.h"
#include "model/MDL_Event.h"
#include "scripting/LMP_ScriptEngine.h"
#include "view/null/VIEW_Null.h"

namespace {

const char *const CREATE =
    "scene = newScene('bench') objects = {} for i = 1, 10000 do objects[i] = newObject(scene) end";
const char *const MOVE = "local step = v3(0.01, 0, 0) "
                         "function update(dt) for i = 1, #objects do objects[i]:translate(step) end end";

bool runChunk(lua_State *L, const char *chunk)
{
    return luaL_loadstring(L, chunk) == LUA_OK && lua_pcall(L, 0, 0, 0) == LUA_OK;
}

void BM_ScriptMoves10000Objects(benchmark::State &state)
{
    LMP_ScriptEngine *engine = new LMP_ScriptEngine();
    CTRL_Generic controller(engine, CTRL_PLATFORM_LINUX);
    VIEW_Null renderer;
    lua_State *L = engine->m_poLuaState;
    if (!runChunk(L, CREATE) || !runChunk(L, MOVE)) {
        state.SkipWithError("the script did not run");
        return;
    }
    lua_getglobal(L, "update");
    engine->m_aiCallbackRefs[MDL_CB_UPDATE - 1] = luaL_ref(L, LUA_REGISTRYINDEX);
    controller.m_bRunning = true;
    controller.resize(800, 600);
    controller.setRunning();
    for (auto _ : state)
        controller.frame(nullptr, &renderer, 1.0 / 60);
    // Every frame moved the last object too.
    lua_settop(L, 0);
    bool moved = runChunk(L, "moved = objects[#objects]:getPosition():x()");
    lua_getglobal(L, "moved");
    double x = lua_tonumber(L, -1);
    lua_pop(L, 1);
    if (controller.m_bHalted || !moved || !(x > 0.01 * static_cast<double>(state.iterations()) - 1e-6))
        state.SkipWithError("the objects did not move every frame");
    state.counters["frames_per_second"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_ScriptMoves10000Objects)->Unit(benchmark::kMillisecond);

void BM_ScriptCreates10000Objects(benchmark::State &state)
{
    for (auto _ : state) {
        state.PauseTiming();
        LMP_ScriptEngine *engine = new LMP_ScriptEngine();
        CTRL_Generic *controller = new CTRL_Generic(engine, CTRL_PLATFORM_LINUX);
        state.ResumeTiming();
        bool ran = runChunk(engine->m_poLuaState, CREATE);
        state.PauseTiming();
        delete controller;
        state.ResumeTiming();
        if (!ran) {
            state.SkipWithError("the script did not run");
            break;
        }
    }
}
BENCHMARK(BM_ScriptCreates10000Objects)->Unit(benchmark::kMillisecond);

} // namespace
