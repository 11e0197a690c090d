#pragma once

#include <cstdarg>
#include <cstdint>

#include <lua.hpp>

#include "model/MDL_Event.h"
#include "scripting/LMP_Luna.h"

class MDL_Viewport;
struct MTH_Vector3D;

// "newViewport": the script proxy of a viewport, with the function that the
// script registered for its input events.
//
// The one event it answers (handleCallback) is MDL_CB_EVENT, with the input
// record (MDL_InputEvent<CTRL_ScriptEvent>). The result is 1 when the script
// function consumed the event (it returned true).
class LMP_Viewport : public LMP_Proxy {
public:
    static const LMP_Class<LMP_Viewport> binding;

    explicit LMP_Viewport(MDL_Viewport *viewport);
    ~LMP_Viewport() override;
    static LMP_Viewport *create(lua_State *L);

    MDL_Viewport *getViewport() const { return static_cast<MDL_Viewport *>(m_poObject); }

    int handleCallback(UTIL_EventHost *host, int code, va_list args) override;

    int destroy(lua_State *L); // "delete"
    int getCamera(lua_State *L);
    int getMike(lua_State *L);
    int setBackgroundColor(lua_State *L);
    int setCamera(lua_State *L);
    int getActive(lua_State *L);
    int setActive(lua_State *L);
    int setMike(lua_State *L);
    int getShadowRendering(lua_State *L);
    int setShadowRendering(lua_State *L);
    int setNavigationMode(lua_State *L);
    int getNavigationMode(lua_State *L);
    int setNavigationPosition(lua_State *L);
    int getNavigationPosition(lua_State *L);
    int setNavigationBasis(lua_State *L);
    int setNavigationRadius(lua_State *L);
    int setNavigationElevation(lua_State *L);
    int setNavigationAzimuth(lua_State *L);
    int getNavigationRadius(lua_State *L);
    int getNavigationElevation(lua_State *L);
    int getNavigationAzimuth(lua_State *L);
    int setPosition(lua_State *L);
    int getPosition(lua_State *L);
    int toScene(lua_State *L);
    int fromScene(lua_State *L);
    int mapPoint(lua_State *L, bool (MDL_Viewport::*map)(const MTH_Vector3D &, MTH_Vector3D &));
    int setSize(lua_State *L);
    int getSize(lua_State *L);
    int getWidth(lua_State *L);
    int getHeight(lua_State *L);
    int getCenter(lua_State *L);
    int getPickRay(lua_State *L);
    int setCallback(lua_State *L);

    // Registry reference of the function per CB_ id (element id - 1), 0 for
    // none; only CB_EVENT's is read.
    int32_t m_aiCallbackRefs[MDL_CB_MAX];
};

void LMP_registerViewport(lua_State *L);
