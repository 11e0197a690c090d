#pragma once

// A binding fixture with one scene made by the script as the global
// "scene", the spatial and state constants, and the helper R(x) of
// TEST_roundingHelpers.

#include <string>

#include <lua.hpp>

#include "model/MDL_Scene.h"
#include "tests/scripting/script_test_support.h"
#include "tests/scripting/test_binding_example.h"

struct ObjectFixture : BindingFixture {
    MDL_Scene *m_poScene;

    ObjectFixture()
    {
        run("scene = newScene('main')");
        m_poScene = m_poController->m_oScenes.m_iCount > 0 ? m_poController->m_oScenes.m_pData[0] : nullptr;
        run("REF_SELF = REF_SELF or 1 REF_LOCAL = REF_LOCAL or 2 REF_GLOBAL = REF_GLOBAL or 3 "
            "AXIS_X = AXIS_X or 1 AXIS_Y = AXIS_Y or 2 AXIS_Z = AXIS_Z or 3 "
            "SCOPE_OBJECT = SCOPE_OBJECT or 1 SCOPE_RECURSE = SCOPE_RECURSE or 2 "
            "STATE_ACTIVE = STATE_ACTIVE or 1 STATE_MOVABLE = STATE_MOVABLE or 2 STATE_VISIBLE = STATE_VISIBLE or 4 "
            "INTERPOL_LINEAR = INTERPOL_LINEAR or 0 INTERPOL_SIN = INTERPOL_SIN or 1 "
            "INTERPOL_BEGSIN = INTERPOL_BEGSIN or 2 INTERPOL_ENDSIN = INTERPOL_ENDSIN or 3");
        run(TEST_roundingHelpers());
    }

    bool reported() const { return m_poController->m_bHalted; }
    // Lets the next report through (the error report works once).
    void clearReport()
    {
        m_poController->m_bHalted = false;
        m_oLog.m_asLines.clear();
    }
};
