#pragma once

// A tiny class binding written the way the player's own class bindings are,
// to exercise the mechanism: "newTestThing" binds plain engine objects and
// "newTestGadget", bound to TEST_Gadget objects, inherits its rows. Beside
// them, a fixture with a controller and script engine that runs Lua chunks.

#include <string>
#include <vector>

#include <lua.hpp>

#include "controller/CTRL_Generic.h"
#include "model/MDL_Object.h"
#include "scripting/LMP_ScriptEngine.h"
#include "scripting/LMP_Luna.h"
#include "tests/support/TEST_Log.h"

// Type codes of the test kinds: no player kind uses them.
enum { TEST_TYPE_THING = 20, TEST_TYPE_GADGET = 21 };

class TEST_Gadget : public MDL_Object {
public:
    TEST_Gadget() { m_iType = TEST_TYPE_GADGET; }
    double m_fPower = 0;
};

class LMP_TestThing : public LMP_Proxy {
public:
    static const LMP_Class<LMP_TestThing> binding;

    explicit LMP_TestThing(MDL_Object *object);
    ~LMP_TestThing() override;
    static LMP_TestThing *create(lua_State *L);

    MDL_Object *getObject() const { return static_cast<MDL_Object *>(m_poObject); }

    int getPosition(lua_State *L);
    int setPosition(lua_State *L);
    int getName(lua_State *L);
    int exist(lua_State *L);
    int destroy(lua_State *L);
    // Runs two full collections, then answers exist() (it reads the proxy
    // after the collections).
    int collectThenExist(lua_State *L);
    // An engine allocation that fails (std::bad_alloc), with C++ objects of
    // the call alive when it does.
    int allocateTooMuch(lua_State *L);

    // Proxies alive, so that tests see every proxy go.
    static int s_iLiveCount;
};

class LMP_TestGadget : public LMP_TestThing {
public:
    static const LMP_Class<LMP_TestGadget, LMP_TestThing> binding;

    explicit LMP_TestGadget(MDL_Object *object) : LMP_TestThing(object) {}
    static LMP_TestGadget *create(lua_State *L);

    TEST_Gadget *getGadget() const { return static_cast<TEST_Gadget *>(getObject()); }

    int getPower(lua_State *L);
    int setPower(lua_State *L);
    int getName(lua_State *L);
};

// The engine objects made by the test classes and functions, owned here.
std::vector<MDL_Object *> &TEST_things();
// Deletes every owned engine object (their proxies lose them).
void TEST_deleteThings();

// Registers both classes and the test globals:
//   findThing(name)      the proxy of an owned object (LMP_iPushProxy)
//   pushObjectOfType(c)  a new owned object of type code c through LMP_iPushProxy
//   isObject(x)          whether LMP_iGetObject accepts x
//   allocateTooMuch()    a global function whose engine allocation fails
// newTestThing("too much") fails the same way.
void TEST_registerThings(lua_State *L);

// A controller with a script engine, the log captured, the test classes
// registered, and chunks run under the name "t" (so positions read "t:N: ").
struct BindingFixture {
    TEST_LogCapture m_oLog;
    CTRL_Generic *m_poController;
    lua_State *L;

    BindingFixture();
    ~BindingFixture();

    // Runs the chunk with a plain protected call; returns its results as
    // texts joined by "," ("nil" for nil), or "error: <message>".
    std::string run(const std::string &chunk);
    // run("return " + expression)
    std::string eval(const std::string &expression) { return run("return " + expression); }
    // The message of the error that the chunk raises, or "<no error>".
    std::string raised(const std::string &chunk);
    // Runs the chunk through the engine's protected call (errors go to the
    // controller's report).
    bool runEngine(const std::string &chunk);
    std::string log() const { return m_oLog.joined(); }
};
