#include "tests/scripting/test_binding_example.h"

#include <cstring>
#include <new>
#include <string>

#include "foundation/MTH_Vector.h"
#include "scripting/LMP_Binding.h"
#include "scripting/LMP_ValueTypes.h"
#include "tests/support/TEST_Support.h"

// --- the engine objects of the tests ---

std::vector<MDL_Object *> &TEST_things()
{
    static std::vector<MDL_Object *> s_oThings;
    return s_oThings;
}

void TEST_deleteThings()
{
    for (MDL_Object *object : TEST_things())
        delete object;
    TEST_things().clear();
}

static MDL_Object *newThing(const char *name)
{
    MDL_Object *object = new MDL_Object();
    object->m_iType = TEST_TYPE_THING;
    object->setName(name);
    TEST_things().push_back(object);
    return object;
}

// --- "newTestThing": what a class binding file holds ---

int LMP_TestThing::s_iLiveCount = 0;

LMP_TestThing::LMP_TestThing(MDL_Object *object) : LMP_Proxy(object)
{
    s_iLiveCount++;
    if (object != nullptr)
        object->m_oProxyHandle.bind(this);
}

LMP_TestThing::~LMP_TestThing()
{
    s_iLiveCount--;
}

// newTestThing([name]): arguments checked first, the objects made after. A
// reported error still yields a proxy, one without an engine object.
LMP_TestThing *LMP_TestThing::create(lua_State *L)
{
    const char *name = nullptr;
    if (lua_gettop(L) > 0 && !LMP_iCheckArgs(L, "S", &name))
        return new LMP_TestThing(nullptr);
    if (name != nullptr && strcmp(name, "too much") == 0) {
        LMP_TestThing *made = new LMP_TestThing(nullptr);
        std::string copy(name);
        delete made;
        throw std::bad_alloc();
    }
    return new LMP_TestThing(newThing(name));
}

// getPosition(): v3 of the global position.
int LMP_TestThing::getPosition(lua_State *L)
{
    if (lua_gettop(L) > 0 && !LMP_iCheckArgs(L, ""))
        return 0;
    MDL_Object *object = getObject();
    if (object == nullptr)
        return 0;
    *LMP_iPushV3(L) = object->getGlobalPosition();
    return 1;
}

// setPosition(v3): no result.
int LMP_TestThing::setPosition(lua_State *L)
{
    MTH_Vector3D *position = nullptr;
    if (!LMP_iCheckArgs(L, "V", &position))
        return 0;
    MDL_Object *object = getObject();
    if (object == nullptr)
        return 0;
    object->editGlobalPosition() = *position;
    return 0;
}

int LMP_TestThing::getName(lua_State *L)
{
    MDL_Object *object = getObject();
    if (object == nullptr || object->getName() == nullptr)
        return 0;
    lua_pushstring(L, object->getName());
    return 1;
}

int LMP_TestThing::exist(lua_State *L)
{
    lua_pushboolean(L, getObject() != nullptr);
    return 1;
}

// destroy(): deletes the engine object; this proxy (and any other script
// value of it) is left without one.
int LMP_TestThing::destroy(lua_State *)
{
    MDL_Object *object = getObject();
    if (object == nullptr)
        return 0;
    std::vector<MDL_Object *> &things = TEST_things();
    for (size_t i = 0; i < things.size(); i++)
        if (things[i] == object)
            things.erase(things.begin() + static_cast<long>(i));
    delete object;
    return 0;
}

int LMP_TestThing::collectThenExist(lua_State *L)
{
    lua_gc(L, LUA_GCCOLLECT, 0);
    lua_gc(L, LUA_GCCOLLECT, 0);
    return exist(L);
}

int LMP_TestThing::allocateTooMuch(lua_State *L)
{
    lua_pushinteger(L, 1);
    std::vector<std::string> made(3, "engine data");
    throw std::bad_alloc();
}

// clang-format off
static const LMP_Method<LMP_TestThing> s_aoThingMethods[] = {
    {"getPosition", &LMP_TestThing::getPosition},
    {"setPosition", &LMP_TestThing::setPosition},
    {"getName", &LMP_TestThing::getName},
    {"exist", &LMP_TestThing::exist},
    {"destroy", &LMP_TestThing::destroy},
    {"collectThenExist", &LMP_TestThing::collectThenExist},
    {"allocateTooMuch", &LMP_TestThing::allocateTooMuch},
    {nullptr, nullptr},
};
// clang-format on

const LMP_Class<LMP_TestThing> LMP_TestThing::binding = {"newTestThing", TEST_TYPE_THING, true, s_aoThingMethods};

// --- "newTestGadget": a class that inherits the rows of another ---

LMP_TestGadget *LMP_TestGadget::create(lua_State *L)
{
    double power = 0;
    if (!LMP_iCheckArgs(L, "|N", &power) && lua_gettop(L) > 0)
        return new LMP_TestGadget(nullptr);
    TEST_Gadget *gadget = new TEST_Gadget();
    gadget->m_fPower = power;
    gadget->setName("gadget");
    TEST_things().push_back(gadget);
    return new LMP_TestGadget(gadget);
}

int LMP_TestGadget::getPower(lua_State *L)
{
    TEST_Gadget *gadget = getGadget();
    if (gadget == nullptr)
        return 0;
    lua_pushnumber(L, gadget->m_fPower);
    return 1;
}

int LMP_TestGadget::setPower(lua_State *L)
{
    double power = 0;
    if (!LMP_iCheckArgs(L, "N", &power))
        return 0;
    TEST_Gadget *gadget = getGadget();
    if (gadget == nullptr)
        return 0;
    gadget->m_fPower = power;
    return 0;
}

// Replaces the inherited row of the same name.
int LMP_TestGadget::getName(lua_State *L)
{
    TEST_Gadget *gadget = getGadget();
    if (gadget == nullptr)
        return 0;
    lua_pushfstring(L, "gadget of power %f", gadget->m_fPower);
    return 1;
}

static const LMP_Method<LMP_TestGadget> s_aoGadgetMethods[] = {
    {"getPower", &LMP_TestGadget::getPower},
    {"setPower", &LMP_TestGadget::setPower},
    {"getName", &LMP_TestGadget::getName},
    {nullptr, nullptr},
};

const LMP_Class<LMP_TestGadget, LMP_TestThing> LMP_TestGadget::binding = {"newTestGadget", TEST_TYPE_GADGET, false,
                                                                          s_aoGadgetMethods};

// --- test globals ---

static int findThing(lua_State *L)
{
    const char *name = nullptr;
    if (!LMP_iCheckArgs(L, "S", &name))
        return 0;
    for (MDL_Object *object : TEST_things())
        if (object->getName() != nullptr && strcmp(object->getName(), name) == 0)
            return LMP_iPushProxy(L, object);
    return 0;
}

static int pushObjectOfType(lua_State *L)
{
    int code = 0;
    if (!LMP_iCheckArgs(L, "I", &code))
        return 0;
    MDL_Object *object = code == TEST_TYPE_GADGET ? new TEST_Gadget() : new MDL_Object();
    object->m_iType = code;
    TEST_things().push_back(object);
    return LMP_iPushProxy(L, object);
}

static int isObject(lua_State *L)
{
    lua_pushboolean(L, LMP_iGetObject(L, 1) != nullptr);
    return 1;
}

static int allocateTooMuch(lua_State *L)
{
    lua_pushinteger(L, 1);
    std::string made(100, 'x');
    throw std::bad_alloc();
}

void TEST_registerThings(lua_State *L)
{
    LMP_Luna<LMP_TestThing>::registerClass(L);
    LMP_Luna<LMP_TestGadget>::registerClass(L);
    lua_register(L, "findThing", findThing);
    lua_register(L, "pushObjectOfType", pushObjectOfType);
    lua_register(L, "isObject", isObject);
    lua_register(L, "allocateTooMuch", LMP_iGuarded<allocateTooMuch>);
}

// --- the fixture ---

// Scripts cannot reach the registry; the tests look into it through this.
static int pushRegistry(lua_State *L)
{
    lua_pushvalue(L, LUA_REGISTRYINDEX);
    return 1;
}

BindingFixture::BindingFixture()
{
    m_poController = new CTRL_Generic(new LMP_ScriptEngine(), CTRL_PLATFORM_LINUX);
    L = LMP_ScriptEngine::of(m_poController)->m_poLuaState;
    TEST_registerThings(L);
    lua_register(L, "testRegistry", pushRegistry);
}

BindingFixture::~BindingFixture()
{
    // The controller closes the interpreter, which collects every userdata;
    // then the engine objects go.
    delete m_poController;
    TEST_deleteThings();
}

static int loadChunk(lua_State *L, const std::string &chunk)
{
    return luaL_loadbuffer(L, chunk.data(), chunk.size(), "=t");
}

std::string BindingFixture::run(const std::string &chunk)
{
    return TEST_runLua(L, chunk);
}

std::string BindingFixture::raised(const std::string &chunk)
{
    int top = lua_gettop(L);
    std::string result = "<no error>";
    if (loadChunk(L, chunk) != LUA_OK) {
        result = std::string("<syntax> ") + lua_tostring(L, -1);
    } else if (lua_pcall(L, 0, 0, 0) != LUA_OK) {
        const char *text = lua_tostring(L, -1);
        result = text != nullptr ? text : "<not a string>";
    }
    lua_settop(L, top);
    return result;
}

bool BindingFixture::runEngine(const std::string &chunk)
{
    if (loadChunk(L, chunk) != LUA_OK) {
        lua_pop(L, 1);
        return false;
    }
    return LMP_ScriptEngine::of(m_poController)->pcall(0, 0);
}
