// Runs its input as a script (a text chunk; binary chunks are refused) in a
// controller whose script engine has every class registered, over a small
// document: a models set with a mesh and its material and texture, a skinned
// mesh with its bones, lamps, a camera, a collision volume, a sound and an
// animation track, and a texture member. Before the input, a prelude makes a
// scene with copies of the templates and a viewport; the globals are listed
// in PRELUDE. After it, a few frames run through the renderer that draws
// nothing (physics, skinning, animations, shadow volumes, purges, the
// scripts' callbacks).
//
// Then the controller closes its interpreter as the player does after the
// last frame, before anything else of the document goes: every finalizer
// runs then, and may call anything a script can. The prelude keeps one whose
// finalizer calls bound and file functions, and the input may set its own.
//
// An instruction budget ends what runs too long (the engine's interrupt,
// which a script cannot catch), and the interpreter may hold at most 64 MiB.
// Lua turns hooks off in finalizers, so each finalizer that setmetatable or
// debug.setmetatable gives an object runs in a coroutine of its own, where a
// budget of its own counts. So that nothing outlasts the budget, the input
// cannot reach what runs unbounded in C without instructions being counted:
// debug.sethook (which would remove the budget) and the pattern matching of
// the string library (which can backtrack for ever on a short subject).
// Files that the script writes beside the document go to a scratch folder,
// removed at exit; the standard input reads as empty.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <dirent.h>
#include <unistd.h>

#include <lua.hpp>

#include "controller/CTRL_Generic.h"
#include "foundation/UTIL_Log.h"
#include "scripting/LMP_Allocator.h"
#include "scripting/LMP_ScriptEngine.h"
#include "tools/pack/PACK_Document.h"
#include "view/null/VIEW_Null.h"

namespace {

// A 2 x 2 RGBA PNG image.
const char *const PNG_HEX = "89504e470d0a1a0a0000000d494844520000000200000002080600000072b60d2400000011494441"
                            "54789c63f8ffff7f030833c0180080a00df5b5aea81c0000000049454e44ae426082";

const char *const MODELS_SET =
    "<textures><texture name=\"checker\" size=\"74\">"
    "89504e470d0a1a0a0000000d494844520000000200000002080600000072b60d2400000011494441"
    "54789c63f8ffff7f030833c0180080a00df5b5aea81c0000000049454e44ae426082</texture></textures>\n"
    "<materials><material name=\"paint\"><diffuse>1 0.5 0</diffuse><texture>checker</texture></material>"
    "<material name=\"glass\"><alpha>0.5</alpha></material></materials>\n"
    "<meshes><mesh name=\"tri\"><min>0 0 0</min><max>1 1 0</max>"
    "<vertices count=\"3\" size=\"4\">000000000000000000000000 0000803f0000000000000000 "
    "000000000000803f00000000</vertices>"
    "<normals count=\"3\" size=\"4\">00000000000000000000803f 00000000000000000000803f "
    "00000000000000000000803f</normals>"
    "<uvs count=\"3\" size=\"4\">0000000000000000 0000803f00000000 000000000000803f</uvs>"
    "<colors count=\"3\">ff0000ff 00ff00ff 0000ffff</colors>"
    "<triangles count=\"1\" size=\"2\">0000 0100 0200</triangles></mesh></meshes>\n"
    "<animated_meshes><animated_mesh name=\"all\"><vertices count=\"3\" size=\"2\">0000 0100 0200</vertices>"
    "<weights count=\"3\" size=\"4\">0000803f 0000803f 0000803f</weights></animated_mesh></animated_meshes>\n"
    "<animations><animation name=\"walk\"><keys count=\"2\">"
    "<key time=\"0\"><location>0 0 0</location><rotation>0 0 0</rotation><scale>1 1 1</scale></key>"
    "<key time=\"1\"><location>1 0 0</location><rotation>0 0 1.5</rotation><scale>1 1 1</scale></key>"
    "</keys></animation></animations>\n"
    "<objects>"
    "<object type=\"Mesh\" name=\"tri\"><mesh>tri</mesh><material>paint</material></object>"
    "<object type=\"Mesh\" name=\"pane\"><matrix>1 0 0 0 0 1 0 0 0 0 1 0 0 0 -1 1</matrix><mesh>tri</mesh>"
    "<material>glass</material></object>"
    "<object type=\"AnimatedMesh\" name=\"skin\"><mesh>tri</mesh><material>paint</material>"
    "<animated_meshes><animated_mesh>all</animated_mesh><bone>arm</bone></animated_meshes></object>"
    "<object type=\"Bone\" name=\"root\"><parent>skin</parent><limit_zrot>-45 45</limit_zrot></object>"
    "<object type=\"Bone\" name=\"arm\"><parent>root</parent><matrix>1 0 0 0 0 1 0 0 0 0 1 0 0 1 0 1</matrix>"
    "<original_matrix>1 0 0 0 0 1 0 0 0 0 1 0 0 1 0 1</original_matrix></object>"
    "<object type=\"Camera\" name=\"eye\"><matrix>1 0 0 0 0 1 0 0 0 0 1 0 0.5 0.5 3 1</matrix>"
    "<angle>60</angle></object>"
    "<object type=\"Lamp\" name=\"lamp\"><matrix>1 0 0 0 0 1 0 0 0 0 1 0 1 1 2 1</matrix><type>Lamp</type>"
    "<color>1 1 1</color><shadows>1</shadows></object>"
    "<object type=\"Lamp\" name=\"spot\"><type>Spot</type><color>1 0 0</color></object>"
    "<object type=\"CollisionVolume\" name=\"box\"><volume_type>box</volume_type></object>"
    "<object type=\"None\" name=\"marker\"></object>"
    "<object type=\"Sound\" name=\"beep\"></object>"
    "</objects>\n";

// Globals for the input: scene, set, tex, viewport, eye, lamp, spot, mesh,
// pane, skin, root, arm, box, ball, marker, material, walk, and closing (the
// table whose finalizer runs when the document closes).
const char *const PRELUDE =
    "scene = newScene('fuzz') set = newModelsSet('set.xml') tex = newTexture('tex.png') "
    "viewport = newViewport(0, 0, 1, 0.75) eye = newCamera(scene, set:get('eye')) viewport:setCamera(eye) "
    "lamp = newLamp(scene, set:get('lamp')) spot = newLamp(scene, set:get('spot')) "
    "mesh = newMesh(scene, set:get('tri')) pane = newMesh(scene, set:get('pane')) "
    "skin = newAnimatedMesh(scene, set:get('skin')) root = skin:getChild('root') arm = root:getChild('arm') "
    "box = newCollisionVolume(scene, set:get('box')) ball = newCollisionVolume(mesh) "
    "marker = newObject(scene, set:get('marker')) material = mesh:getMaterial() "
    "walk = newAnimation(set:getAnimationData('walk'), marker) "
    "debug.sethook = nil string.find, string.match, string.gmatch, string.gsub = nil, nil, nil, nil "
    // Finalizers run bounded (runFinalizer), each wrapped once.
    "do local run, setmt, dsetmt, rawget, rawset, type = runFinalizer, setmetatable, debug.setmetatable, rawget, "
    "  rawset, type runFinalizer = nil "
    "  local wrappers = setmt({}, {__mode = 'k'}) "
    "  local function bound(mt) if type(mt) == 'table' then local gc = rawget(mt, '__gc') "
    "    if type(gc) == 'function' and not wrappers[gc] then "
    "      local wrapper = function(o) run(gc, o) end wrappers[wrapper] = true rawset(mt, '__gc', wrapper) end end end "
    "  setmetatable = function(t, mt) bound(mt) return setmt(t, mt) end "
    "  debug.setmetatable = function(v, mt) bound(mt) return dsetmt(v, mt) end end "
    // What the document closes with: bound calls and file access.
    "closing = setmetatable({}, {__gc = function() "
    "  pcall(newTexture, 'tex.png') pcall(newModelsSet, 'set.xml') pcall(newSample, 'none.ogg') "
    "  pcall(newStream, 'none.ogv') pcall(newFont, 'none.ttf') pcall(dofile, 'none.lua') "
    "  pcall(function() return io.open('set.xml'):read(16), io.open('//closing.txt', 'w'):write('closing') end) "
    "  pcall(function() return mesh:getPosition(), scene:getGravity(), viewport:getCamera() end) end})";

const size_t MEMORY_LIMIT = 64u << 20;
const int HOOK_STEP = 1000;      // instructions between two counts
const int HOOK_BUDGET = 400;     // counts before the interrupt
const int FINALIZER_BUDGET = 50; // counts before a finalizer's error

std::vector<unsigned char> fromHex(const char *hex)
{
    std::vector<unsigned char> bytes;
    for (size_t i = 0; hex[i] != '\0' && hex[i + 1] != '\0'; i += 2)
        bytes.push_back(static_cast<unsigned char>(std::stoi(std::string(hex + i, 2), nullptr, 16)));
    return bytes;
}

const std::vector<unsigned char> &documentBytes()
{
    static const std::vector<unsigned char> s_oBytes = [] {
        std::vector<PACK_Member> members;
        members.push_back({"set.xml", std::vector<unsigned char>(MODELS_SET, MODELS_SET + strlen(MODELS_SET))});
        members.push_back({"tex.png", fromHex(PNG_HEX)});
        return PACK_writeZip(members, true);
    }();
    return s_oBytes;
}

std::string s_sScratch; // the folder "beside the document"

void removeScratch()
{
    DIR *dir = opendir(s_sScratch.c_str());
    if (dir != nullptr) {
        while (dirent *entry = readdir(dir))
            if (strcmp(entry->d_name, ".") != 0 && strcmp(entry->d_name, "..") != 0)
                unlink((s_sScratch + "/" + entry->d_name).c_str());
        closedir(dir);
    }
    rmdir(s_sScratch.c_str());
}

const char *documentPath()
{
    static const std::string s_sPath = [] {
        char folder[] = "/tmp/vekta-fuzz-script-XXXXXX";
        if (mkdtemp(folder) == nullptr)
            abort();
        s_sScratch = folder;
        atexit(removeScratch);
        if (freopen("/dev/null", "r", stdin) == nullptr)
            abort();
        return s_sScratch + "/fuzz.vk";
    }();
    return s_sPath.c_str();
}

void quiet(const char *, void *) {}

LMP_ScriptEngine *s_poEngine = nullptr;
int s_iCounts = 0;

// Counts instructions; past the budget the engine interrupts the script.
void budgetHook(lua_State *, lua_Debug *)
{
    if (++s_iCounts == HOOK_BUDGET && s_poEngine != nullptr)
        s_poEngine->requestInterrupt();
}

int s_iFinalizerCounts = 0;

// Counts a finalizer's instructions; past its budget the finalizer ends.
void finalizerHook(lua_State *L, lua_Debug *)
{
    if (++s_iFinalizerCounts >= FINALIZER_BUDGET)
        luaL_error(L, "finalizer budget spent");
}

// runFinalizer(f, o): f(o) in a new coroutine, where hooks count (Lua turns
// them off for the thread that runs a finalizer); its errors are dropped, as
// Lua drops those of finalizers that run while it closes.
int runFinalizer(lua_State *L)
{
    lua_settop(L, 2);
    lua_State *thread = lua_newthread(L);
    lua_pushvalue(L, 1);
    lua_pushvalue(L, 2);
    lua_xmove(L, thread, 2);
    lua_sethook(thread, finalizerHook, LUA_MASKCOUNT, HOOK_STEP);
    int counts = s_iFinalizerCounts;
    s_iFinalizerCounts = 0;
    lua_resume(thread, L, 1);
    s_iFinalizerCounts = counts;
    return 0;
}

// Loads a text chunk and runs it through the engine (errors go to the
// controller's report).
void runChunk(LMP_ScriptEngine *engine, const char *text, size_t size, const char *name)
{
    lua_State *L = engine->m_poLuaState;
    if (luaL_loadbufferx(L, text, size, name, "t") != LUA_OK) {
        lua_pop(L, 1);
        return;
    }
    engine->pcall(0, 0);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size > 65536)
        return 0;
    // VEKTA_FUZZ_LOG shows the diagnostics and the scripts' output.
    static const bool s_bLog = getenv("VEKTA_FUZZ_LOG") != nullptr;
    if (!s_bLog)
        UTIL_setLogSink(quiet, nullptr);
    const std::vector<unsigned char> &document = documentBytes();
    const char *path = documentPath();
    {
        LMP_ScriptEngine *engine = new LMP_ScriptEngine();
        CTRL_Generic controller(engine, CTRL_PLATFORM_LINUX);
        controller.m_poDocument = new UTIL_DynArray<char, 128>(static_cast<int>(document.size()));
        memcpy(controller.m_poDocument->m_pData, document.data(), document.size());
        free(controller.m_sDocumentPath);
        controller.m_sDocumentPath = strdup(path);
        controller.m_bStarted = true; // the scripts are the prelude and the input
        controller.setRunning();
        controller.resize(320, 240);
        lua_register(engine->m_poLuaState, "runFinalizer", runFinalizer);
        runChunk(engine, PRELUDE, strlen(PRELUDE), "=prelude");
        if (controller.m_bHalted)
            abort(); // the prelude must run

        engine->setMemoryLimit(engine->getAllocator()->getBytesInUse() + MEMORY_LIMIT);
        s_poEngine = engine;
        s_iCounts = 0;
        lua_sethook(engine->m_poLuaState, budgetHook, LUA_MASKCOUNT, HOOK_STEP);
        runChunk(engine, reinterpret_cast<const char *>(data), size, "=fuzz");
        // The frames run whatever the input did, reported errors included.
        controller.m_bHalted = false;
        VIEW_Null renderer;
        for (int frame = 0; frame < 4; frame++)
            controller.frame(nullptr, &renderer, 0.02);
        s_poEngine = nullptr;
        controller.closeScripts();
    }
    if (!s_bLog)
        UTIL_setLogSink(nullptr, nullptr);
    return 0;
}
