// The script proxy of a lamp, the Lua class "newLamp": the 41 rows of
// "newObject", then the lamp's light and shadow settings. The spot settings
// exist for spot lamps only: on other lamps their getters give nothing and
// their setters change nothing.
#include <cmath>

#include <lua.hpp>

#include "foundation/MTH_Vector.h"
#include "model/MDL_Lamp.h"
#include "scripting/LMP_Binding.h"
#include "scripting/LMP_Object.h"
#include "scripting/LMP_Registration.h"
#include "scripting/LMP_ValueTypes.h"

class LMP_Lamp : public LMP_Object {
public:
    static const LMP_Class<LMP_Lamp, LMP_Object> binding;

    explicit LMP_Lamp(MDL_Object *object) : LMP_Object(object) {}
    const char *getClassName() const override { return "newLamp"; }

    // newLamp(scene | object [, template]): a new point lamp, or a copy of a
    // template lamp of a models set.
    static LMP_Lamp *create(lua_State *L);

    // The bound lamp while it is alive and not flagged deleted.
    MDL_Lamp *getLamp() const { return dynamic_cast<MDL_Lamp *>(getLiveObject()); }
    // The same when it is a spot lamp.
    MDL_Lamp *getSpot() const
    {
        MDL_Lamp *lamp = getLamp();
        return lamp != nullptr && lamp->m_iLampType == MDL_Lamp::LAMP_SPOT ? lamp : nullptr;
    }

    int getShadow(lua_State *L);
    int setShadow(lua_State *L);
    int getOn(lua_State *L);
    int setOn(lua_State *L);
    int getShadowType(lua_State *L);
    int setShadowType(lua_State *L);
    int getShadowDepth(lua_State *L);
    int setShadowDepth(lua_State *L);
    int getColor(lua_State *L);
    int setColor(lua_State *L);
    int getAmbientColor(lua_State *L);
    int setAmbientColor(lua_State *L);
    int getShadowCoeff(lua_State *L);
    int setShadowCoeff(lua_State *L);
    int getSpotExponent(lua_State *L);
    int setSpotExponent(lua_State *L);
    int getSpotSize(lua_State *L);
    int setSpotSize(lua_State *L);
    int getEnergy(lua_State *L);
    int setEnergy(lua_State *L);
};

static MDL_Object *makeLamp()
{
    return new MDL_Lamp();
}

// The object is made first: its checks may raise, and nothing may be
// allocated then.
LMP_Lamp *LMP_Lamp::create(lua_State *L)
{
    MDL_Object *object = constructObject(L, binding.m_sClassName, makeLamp);
    return new LMP_Lamp(object);
}

// Stores the value kept within low to high (below low gives low, else above
// high gives high, else the value). Not a number leaves the field as it was.
static void storeClamped(double value, double low, double high, double &field)
{
    if (std::isnan(value))
        return;
    if (value < low)
        field = low;
    else if (value > high)
        field = high;
    else
        field = value;
}

int LMP_Lamp::getShadow(lua_State *L)
{
    MDL_Lamp *lamp = getLamp();
    if (lamp == nullptr)
        return 0;
    lua_pushboolean(L, lamp->m_bShadows);
    return 1;
}

int LMP_Lamp::setShadow(lua_State *L)
{
    bool shadows = false;
    if (!LMP_iCheckArgs(L, "B", &shadows))
        return 0;
    MDL_Lamp *lamp = getLamp();
    if (lamp == nullptr)
        return 0;
    lamp->m_bShadows = shadows;
    return 0;
}

int LMP_Lamp::getOn(lua_State *L)
{
    MDL_Lamp *lamp = getLamp();
    if (lamp == nullptr)
        return 0;
    lua_pushboolean(L, lamp->m_bOn);
    return 1;
}

int LMP_Lamp::setOn(lua_State *L)
{
    bool on = false;
    if (!LMP_iCheckArgs(L, "B", &on))
        return 0;
    MDL_Lamp *lamp = getLamp();
    if (lamp == nullptr)
        return 0;
    lamp->m_bOn = on;
    return 0;
}

int LMP_Lamp::getShadowType(lua_State *L)
{
    MDL_Lamp *lamp = getLamp();
    if (lamp == nullptr)
        return 0;
    lua_pushinteger(L, lamp->getShadowType());
    return 1;
}

// SHADOW_ZPASS or SHADOW_ZFAIL; other values are kept as they are.
int LMP_Lamp::setShadowType(lua_State *L)
{
    int32_t type = 0;
    if (!LMP_iCheckArgs(L, "I", &type))
        return 0;
    MDL_Lamp *lamp = getLamp();
    if (lamp == nullptr)
        return 0;
    lamp->setShadowType(type);
    return 0;
}

int LMP_Lamp::getShadowDepth(lua_State *L)
{
    MDL_Lamp *lamp = getLamp();
    if (lamp == nullptr)
        return 0;
    lua_pushnumber(L, lamp->getShadowDepth());
    return 1;
}

int LMP_Lamp::setShadowDepth(lua_State *L)
{
    double depth = 0;
    if (!LMP_iCheckArgs(L, "N", &depth))
        return 0;
    MDL_Lamp *lamp = getLamp();
    if (lamp == nullptr)
        return 0;
    lamp->setShadowDepth(depth);
    return 0;
}

int LMP_Lamp::getColor(lua_State *L)
{
    MDL_Lamp *lamp = getLamp();
    if (lamp == nullptr)
        return 0;
    *LMP_iPushColor(L) = lamp->m_oColor;
    return 1;
}

int LMP_Lamp::setColor(lua_State *L)
{
    MTH_Vector4D *color = nullptr;
    if (!LMP_iCheckArgs(L, "C", &color))
        return 0;
    MDL_Lamp *lamp = getLamp();
    if (lamp == nullptr)
        return 0;
    lamp->m_oColor = *color;
    return 0;
}

int LMP_Lamp::getAmbientColor(lua_State *L)
{
    MDL_Lamp *lamp = getLamp();
    if (lamp == nullptr)
        return 0;
    *LMP_iPushColor(L) = lamp->m_oAmbientColor;
    return 1;
}

int LMP_Lamp::setAmbientColor(lua_State *L)
{
    MTH_Vector4D *color = nullptr;
    if (!LMP_iCheckArgs(L, "C", &color))
        return 0;
    MDL_Lamp *lamp = getLamp();
    if (lamp == nullptr)
        return 0;
    lamp->m_oAmbientColor = *color;
    return 0;
}

int LMP_Lamp::getShadowCoeff(lua_State *L)
{
    MDL_Lamp *lamp = getLamp();
    if (lamp == nullptr)
        return 0;
    lua_pushnumber(L, lamp->m_fShadowCoeff);
    return 1;
}

int LMP_Lamp::setShadowCoeff(lua_State *L)
{
    double coefficient = 0;
    if (!LMP_iCheckArgs(L, "N", &coefficient))
        return 0;
    MDL_Lamp *lamp = getLamp();
    if (lamp == nullptr)
        return 0;
    lamp->m_fShadowCoeff = coefficient;
    return 0;
}

int LMP_Lamp::getSpotExponent(lua_State *L)
{
    MDL_Lamp *lamp = getSpot();
    if (lamp == nullptr)
        return 0;
    lua_pushnumber(L, lamp->m_fSpotExponent);
    return 1;
}

// An integer from 0 to 128.
int LMP_Lamp::setSpotExponent(lua_State *L)
{
    int32_t exponent = 0;
    if (!LMP_iCheckArgs(L, "I", &exponent))
        return 0;
    MDL_Lamp *lamp = getSpot();
    if (lamp == nullptr)
        return 0;
    storeClamped(exponent, 0, 128, lamp->m_fSpotExponent);
    return 0;
}

int LMP_Lamp::getSpotSize(lua_State *L)
{
    MDL_Lamp *lamp = getSpot();
    if (lamp == nullptr)
        return 0;
    lua_pushnumber(L, lamp->m_fSpotSize);
    return 1;
}

// From 0 to 90; not a number changes nothing.
int LMP_Lamp::setSpotSize(lua_State *L)
{
    double size = 0;
    if (!LMP_iCheckArgs(L, "N", &size))
        return 0;
    MDL_Lamp *lamp = getSpot();
    if (lamp == nullptr)
        return 0;
    storeClamped(size, 0, 90, lamp->m_fSpotSize);
    return 0;
}

int LMP_Lamp::getEnergy(lua_State *L)
{
    MDL_Lamp *lamp = getLamp();
    if (lamp == nullptr)
        return 0;
    lua_pushnumber(L, lamp->m_fEnergy);
    return 1;
}

// From 0 to 100, for every kind of lamp; not a number changes nothing.
int LMP_Lamp::setEnergy(lua_State *L)
{
    double energy = 0;
    if (!LMP_iCheckArgs(L, "N", &energy))
        return 0;
    MDL_Lamp *lamp = getLamp();
    if (lamp == nullptr)
        return 0;
    storeClamped(energy, 0, 100, lamp->m_fEnergy);
    return 0;
}

static const LMP_Method<LMP_Lamp> s_aoMethods[] = {
    {"getShadow", &LMP_Lamp::getShadow},
    {"setShadow", &LMP_Lamp::setShadow},
    {"getOn", &LMP_Lamp::getOn},
    {"setOn", &LMP_Lamp::setOn},
    {"getShadowType", &LMP_Lamp::getShadowType},
    {"setShadowType", &LMP_Lamp::setShadowType},
    {"getShadowDepth", &LMP_Lamp::getShadowDepth},
    {"setShadowDepth", &LMP_Lamp::setShadowDepth},
    {"getColor", &LMP_Lamp::getColor},
    {"setColor", &LMP_Lamp::setColor},
    {"getAmbientColor", &LMP_Lamp::getAmbientColor},
    {"setAmbientColor", &LMP_Lamp::setAmbientColor},
    {"getShadowCoeff", &LMP_Lamp::getShadowCoeff},
    {"setShadowCoeff", &LMP_Lamp::setShadowCoeff},
    {"getSpotExponent", &LMP_Lamp::getSpotExponent},
    {"setSpotExponent", &LMP_Lamp::setSpotExponent},
    {"getSpotSize", &LMP_Lamp::getSpotSize},
    {"setSpotSize", &LMP_Lamp::setSpotSize},
    {"getEnergy", &LMP_Lamp::getEnergy},
    {"setEnergy", &LMP_Lamp::setEnergy},
    {nullptr, nullptr},
};

const LMP_Class<LMP_Lamp, LMP_Object> LMP_Lamp::binding = {"newLamp", OBJECT_LAMP, true, s_aoMethods};

void LMP_registerLamp(lua_State *L)
{
    LMP_Luna<LMP_Lamp>::registerClass(L);
}
