#pragma once

// What the tests share: near-equality of vectors and matrices, an event host
// for engine objects, running a Lua chunk and reading its result or error.

#include <map>
#include <string>

#include <gtest/gtest.h>

#include "foundation/MTH_Matrix3x3.h"
#include "foundation/MTH_Vector.h"
#include "foundation/UTIL_ProxyHandle.h"

struct lua_State;

// Whether every test must run, none skipped for want of an X server or
// OpenGL: VEKTA_TESTS_NEED_ALL is set (scripts/test, and so CI, sets it), so
// that a broken machine fails the run instead of passing it by skipping the
// drawing and window tests.
bool TEST_everythingMustRun();

// Leaves a test that needs what the machine lacks (an X server, OpenGL):
// skipped, or failed when every test must run. Stream the reason into it:
// TEST_SKIP_WITHOUT() << "no X server: " << why;
#define TEST_SKIP_WITHOUT()                                                                                            \
    return GTEST_MESSAGE_AT_(__FILE__, __LINE__, "",                                                                   \
                             TEST_everythingMustRun() ? ::testing::TestPartResult::kFatalFailure                       \
                                                      : ::testing::TestPartResult::kSkip)

// Component by component within tolerance (GoogleTest failures name the
// component).
inline void expectNear(const MTH_Vector2D &expected, const MTH_Vector2D &actual, double tolerance = 1e-12)
{
    EXPECT_NEAR(expected.m_fX, actual.m_fX, tolerance);
    EXPECT_NEAR(expected.m_fY, actual.m_fY, tolerance);
}

inline void expectNear(const MTH_Vector3D &expected, const MTH_Vector3D &actual, double tolerance = 1e-12)
{
    EXPECT_NEAR(expected.m_fX, actual.m_fX, tolerance);
    EXPECT_NEAR(expected.m_fY, actual.m_fY, tolerance);
    EXPECT_NEAR(expected.m_fZ, actual.m_fZ, tolerance);
}

inline void expectNear(const MTH_Vector4D &expected, const MTH_Vector4D &actual, double tolerance = 1e-12)
{
    EXPECT_NEAR(expected.m_fX, actual.m_fX, tolerance);
    EXPECT_NEAR(expected.m_fY, actual.m_fY, tolerance);
    EXPECT_NEAR(expected.m_fZ, actual.m_fZ, tolerance);
    EXPECT_NEAR(expected.m_fW, actual.m_fW, tolerance);
}

inline void expectNear(const MTH_Matrix3x3 &expected, const MTH_Matrix3x3 &actual, double tolerance = 1e-12)
{
    for (int row = 0; row < 3; row++)
        for (int column = 0; column < 3; column++)
            EXPECT_NEAR(expected.get(row, column), actual.get(row, column), tolerance)
                << "row " << row << ", column " << column;
}

// An event host that accepts events while m_bAccepts is set: engine objects
// post to proxies through it without a controller or a script engine.
class TEST_EventHost : public UTIL_EventHost {
public:
    bool acceptsEvents() const override { return m_bAccepts; }
    bool m_bAccepts = true;
};

// Runs source as a text chunk named "=t" in a protected call, leaving the
// stack as it was. Gives its results as texts (tostring, so "nil" for nil)
// joined by ",", or "error: " and the error's message; an error value that
// is no string or number is named by its type.
std::string TEST_runLua(lua_State *L, const std::string &source);

// The precompiled chunk of a Lua source text (lua_dump); empty when the text
// does not compile.
std::string TEST_precompiled(const char *source);

// The bound classes as scripts see them, read from the interpreter.
// What identifies the function on top of the stack: the binding row its
// closure carries (shared by the classes that inherit the method), else the
// function itself.
const void *TEST_functionIdentity(lua_State *L);
// The functions of the table on top of the stack, by name, with their
// identities.
std::map<std::string, const void *> TEST_functionsOf(lua_State *L);
// Whether the registry metatable of that name indexes the value at index,
// as the table of a bound class does.
bool TEST_metatableIndexes(lua_State *L, const char *name, int index);
// The bound classes among the globals: each class's methods ("new" left
// out) with their identities.
std::map<std::string, std::map<std::string, const void *>> TEST_boundClasses(lua_State *L);
