// Script file access: require of a document member, and reading a 10 MiB
// member through the scripts' io library (whole and by lines), beside
// reading the same bytes from a file with plain C stdio in the same run.
// Read the ratios of the throughputs, not the times.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>
#include <vector>

#include <lua.hpp>

#include "controller/CTRL_Generic.h"
#include "scripting/LMP_ScriptEngine.h"
#include "tools/pack/PACK_Document.h"

namespace {

const size_t BIG_SIZE = 10u << 20;

// Lines of 63 printable bytes and a line end, 10 MiB in all.
std::vector<unsigned char> bigBytes()
{
    std::vector<unsigned char> bytes(BIG_SIZE);
    for (size_t i = 0; i < bytes.size(); i++)
        bytes[i] = i % 64 == 63 ? '\n' : static_cast<unsigned char>('a' + (i * 7 + i / 64) % 26);
    return bytes;
}

// One controller and engine over a document with a module and the big
// member (stored, so that the member is served from the document buffer),
// and the same big bytes in a plain file.
struct ScriptBench {
    CTRL_Generic *m_poController = nullptr;
    lua_State *m_poState = nullptr;
    std::string m_sPlainFile;
    bool m_bReady = false;

    ScriptBench()
    {
        PACK_Key key;
        std::string error;
        if (!PACK_readKey(VEKTA_DEV_KEY, key, error))
            return;
        std::string config = "<vekta><version major=\"1\" minor=\"6\" patch=\"4\"/></vekta>\n";
        std::string init = "function startup() end\n"
                           "function benchRequire()\n"
                           "  package.loaded['ui.menu'] = nil\n"
                           "  return require('ui.menu')\n"
                           "end\n"
                           "function benchReadAll()\n"
                           "  local f = io.open('big.txt', 'rb')\n"
                           "  local s = f:read('*a')\n"
                           "  f:close()\n"
                           "  return #s\n"
                           "end\n"
                           "function benchReadLines()\n"
                           "  local n = 0\n"
                           "  for line in io.lines('big.txt') do n = n + #line + 1 end\n"
                           "  return n\n"
                           "end\n";
        std::string module = "local menu = {}\n"
                             "for i = 1, 20 do menu[i] = {name = 'item' .. i, enabled = i % 2 == 0} end\n"
                             "function menu.find(name)\n"
                             "  for _, item in ipairs(menu) do if item.name == name then return item end end\n"
                             "end\n"
                             "return menu\n";
        std::vector<PACK_Member> members(4);
        members[0] = {"config.xml", std::vector<unsigned char>(config.begin(), config.end())};
        members[1] = {"init.lua", std::vector<unsigned char>(init.begin(), init.end())};
        members[2] = {"ui/menu.lua", std::vector<unsigned char>(module.begin(), module.end())};
        members[3] = {"big.txt", bigBytes()};
        std::vector<unsigned char> document;
        if (!PACK_makeDocument(members, key, true, document, error))
            return;
        std::string base = "/tmp/vekta-bench-scripts-" + std::to_string(getpid());
        std::string documentPath = base + ".vk";
        m_sPlainFile = base + ".txt";
        if (!PACK_writeFile(documentPath, document, error) ||
            !PACK_writeFile(m_sPlainFile, members[3].m_aucData, error))
            return;
        m_poController = new CTRL_Generic(new LMP_ScriptEngine(), CTRL_PLATFORM_LINUX);
        bool opened = m_poController->openDocument(documentPath.c_str());
        unlink(documentPath.c_str());
        if (!opened || !LMP_ScriptEngine::of(m_poController)->loadScripts())
            return;
        m_poState = LMP_ScriptEngine::of(m_poController)->m_poLuaState;
        m_bReady = true;
    }

    ~ScriptBench()
    {
        delete m_poController;
        if (!m_sPlainFile.empty())
            unlink(m_sPlainFile.c_str());
    }

    // Calls a global function of init.lua; its one result as a number.
    double call(const char *name)
    {
        lua_getglobal(m_poState, name);
        if (lua_pcall(m_poState, 0, 1, 0) != LUA_OK) {
            lua_pop(m_poState, 1);
            return -1;
        }
        double result = lua_istable(m_poState, -1) ? 1 : lua_tonumber(m_poState, -1);
        lua_pop(m_poState, 1);
        return result;
    }
};

ScriptBench &bench()
{
    static ScriptBench instance;
    return instance;
}

void BM_RequireMember(benchmark::State &state)
{
    ScriptBench &b = bench();
    if (!b.m_bReady) {
        state.SkipWithError("the document did not run");
        return;
    }
    for (auto _ : state)
        if (b.call("benchRequire") != 1)
            state.SkipWithError("require failed");
}
BENCHMARK(BM_RequireMember);

void BM_ReadMember10MiBWholeThroughIo(benchmark::State &state)
{
    ScriptBench &b = bench();
    if (!b.m_bReady) {
        state.SkipWithError("the document did not run");
        return;
    }
    for (auto _ : state)
        if (b.call("benchReadAll") != static_cast<double>(BIG_SIZE))
            state.SkipWithError("short read");
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(BIG_SIZE));
}
BENCHMARK(BM_ReadMember10MiBWholeThroughIo)->Unit(benchmark::kMillisecond);

void BM_ReadFile10MiBWholeWithStdio(benchmark::State &state)
{
    ScriptBench &b = bench();
    if (!b.m_bReady) {
        state.SkipWithError("the document did not run");
        return;
    }
    std::vector<char> buffer(BIG_SIZE);
    for (auto _ : state) {
        FILE *file = fopen(b.m_sPlainFile.c_str(), "rb");
        size_t got = file != nullptr ? fread(buffer.data(), 1, buffer.size(), file) : 0;
        if (file != nullptr)
            fclose(file);
        if (got != BIG_SIZE)
            state.SkipWithError("short read");
        benchmark::DoNotOptimize(buffer.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(BIG_SIZE));
}
BENCHMARK(BM_ReadFile10MiBWholeWithStdio)->Unit(benchmark::kMillisecond);

void BM_ReadMember10MiBLinesThroughIo(benchmark::State &state)
{
    ScriptBench &b = bench();
    if (!b.m_bReady) {
        state.SkipWithError("the document did not run");
        return;
    }
    for (auto _ : state)
        if (b.call("benchReadLines") != static_cast<double>(BIG_SIZE))
            state.SkipWithError("short read");
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(BIG_SIZE));
}
BENCHMARK(BM_ReadMember10MiBLinesThroughIo)->Unit(benchmark::kMillisecond);

void BM_ReadFile10MiBLinesWithStdio(benchmark::State &state)
{
    ScriptBench &b = bench();
    if (!b.m_bReady) {
        state.SkipWithError("the document did not run");
        return;
    }
    char line[1024];
    for (auto _ : state) {
        FILE *file = fopen(b.m_sPlainFile.c_str(), "rb");
        size_t total = 0;
        while (file != nullptr && fgets(line, sizeof(line), file) != nullptr)
            total += strlen(line);
        if (file != nullptr)
            fclose(file);
        if (total != BIG_SIZE)
            state.SkipWithError("short read");
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(BIG_SIZE));
}
BENCHMARK(BM_ReadFile10MiBLinesWithStdio)->Unit(benchmark::kMillisecond);

} // namespace
