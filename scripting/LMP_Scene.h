#pragma once

#include <cstdarg>
#include <cstdint>

#include <lua.hpp>

#include "model/MDL_Event.h"
#include "scripting/LMP_Luna.h"

class MDL_Scene;

// "newScene": the script proxy of a scene, with the functions that the
// script registered for the scene's physics events.
//
// Events it answers (handleCallback): MDL_CB_MECHA and
// MDL_CB_POST_INTEGRATION (MDL_StepEvent), MDL_CB_PRE_COLLISION and
// MDL_CB_POST_COLLISION (MDL_ContactEvent). The result is 1 when a script
// function handled the event; for MDL_CB_PRE_COLLISION the function's answer
// (MDL_ContactEvent::answer), and 0 when there is no function to ask.
class LMP_Scene : public LMP_Proxy {
public:
    static const LMP_Class<LMP_Scene> binding;

    explicit LMP_Scene(MDL_Scene *scene);
    ~LMP_Scene() override;
    static LMP_Scene *create(lua_State *L);

    MDL_Scene *getScene() const { return static_cast<MDL_Scene *>(m_poObject); }

    int handleCallback(UTIL_EventHost *host, int code, va_list args) override;

    int clear(lua_State *L);
    int getBounds(lua_State *L);
    int getElasticity(lua_State *L);
    int getFriction(lua_State *L);
    int getGravity(lua_State *L);
    int getIntegrationStep(lua_State *L);
    int getObject(lua_State *L);
    int setBounds(lua_State *L);
    int setCallback(lua_State *L);
    int setFriction(lua_State *L);
    int setElasticity(lua_State *L);
    int setGravity(lua_State *L);
    int setIntegrationStep(lua_State *L);
    int setUserData(lua_State *L);
    int getUserData(lua_State *L);
    int setActive(lua_State *L);
    int getActive(lua_State *L);

    // Registry reference of the function per CB_ id (element id - 1), 0 for
    // none.
    int32_t m_aiCallbackRefs[MDL_CB_MAX];
    // Registry reference of the script's user data, 0 for none.
    int32_t m_iUserDataRef;
};

void LMP_registerScene(lua_State *L);
