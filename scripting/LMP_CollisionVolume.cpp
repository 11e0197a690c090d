// The script proxy of a collision volume, the Lua class
// "newCollisionVolume": the 41 rows of "newObject", then the volume's
// collision layer and mask, 32 bits each. Two volumes collide when the
// layer of each meets the mask of the other.
#include <cmath>

#include <lua.hpp>

#include "model/MDL_CollisionVolume.h"
#include "scripting/LMP_Binding.h"
#include "scripting/LMP_Object.h"
#include "scripting/LMP_Registration.h"

class LMP_CollisionVolume : public LMP_Object {
public:
    static const LMP_Class<LMP_CollisionVolume, LMP_Object> binding;

    explicit LMP_CollisionVolume(MDL_Object *object) : LMP_Object(object) {}
    const char *getClassName() const override { return "newCollisionVolume"; }

    // newCollisionVolume(scene | object [, template]): a new sphere of
    // radius 1 (the length of its first axis), or a copy of a template
    // volume of a models set.
    static LMP_CollisionVolume *create(lua_State *L);

    // The bound volume while it is alive and not flagged deleted.
    MDL_CollisionVolume *getVolume() const { return dynamic_cast<MDL_CollisionVolume *>(getLiveObject()); }

    int getCollisionLayer(lua_State *L);
    int getCollisionMask(lua_State *L);
    int setCollisionLayer(lua_State *L);
    int setCollisionMask(lua_State *L);
};

static MDL_Object *makeVolume()
{
    return new MDL_CollisionVolume(MDL_CollisionVolume::SHAPE_SPHERE);
}

// The object is made first: its checks may raise, and nothing may be
// allocated then.
LMP_CollisionVolume *LMP_CollisionVolume::create(lua_State *L)
{
    MDL_Object *object = constructObject(L, binding.m_sClassName, makeVolume);
    return new LMP_CollisionVolume(object);
}

// The low 32 bits of the integer part of the number at index (a number or
// numeric string, as the argument check let through), so that -1 and
// 4294967295 both give every bit; 0 for what is not finite.
static uint32_t lowBits(lua_State *L, int index)
{
    double number = std::trunc(lua_tonumber(L, index));
    if (!std::isfinite(number))
        return 0;
    double bits = std::fmod(number, 4294967296.0);
    if (bits < 0)
        bits += 4294967296.0;
    return static_cast<uint32_t>(bits);
}

int LMP_CollisionVolume::getCollisionLayer(lua_State *L)
{
    MDL_CollisionVolume *volume = getVolume();
    if (volume == nullptr)
        return 0;
    lua_pushnumber(L, static_cast<uint32_t>(volume->m_iCollisionLayer));
    return 1;
}

int LMP_CollisionVolume::getCollisionMask(lua_State *L)
{
    MDL_CollisionVolume *volume = getVolume();
    if (volume == nullptr)
        return 0;
    lua_pushnumber(L, volume->m_uiCollisionMask);
    return 1;
}

int LMP_CollisionVolume::setCollisionLayer(lua_State *L)
{
    int32_t unused = 0;
    if (!LMP_iCheckArgs(L, "I", &unused))
        return 0;
    MDL_CollisionVolume *volume = getVolume();
    if (volume == nullptr)
        return 0;
    volume->m_iCollisionLayer = static_cast<int32_t>(lowBits(L, 1));
    return 0;
}

int LMP_CollisionVolume::setCollisionMask(lua_State *L)
{
    int32_t unused = 0;
    if (!LMP_iCheckArgs(L, "I", &unused))
        return 0;
    MDL_CollisionVolume *volume = getVolume();
    if (volume == nullptr)
        return 0;
    volume->setCollisionMask(lowBits(L, 1));
    return 0;
}

static const LMP_Method<LMP_CollisionVolume> s_aoMethods[] = {
    {"getCollisionLayer", &LMP_CollisionVolume::getCollisionLayer},
    {"getCollisionMask", &LMP_CollisionVolume::getCollisionMask},
    {"setCollisionLayer", &LMP_CollisionVolume::setCollisionLayer},
    {"setCollisionMask", &LMP_CollisionVolume::setCollisionMask},
    {nullptr, nullptr},
};

const LMP_Class<LMP_CollisionVolume, LMP_Object> LMP_CollisionVolume::binding = {
    "newCollisionVolume", OBJECT_COLLISION_VOLUME, true, s_aoMethods};

void LMP_registerCollisionVolume(lua_State *L)
{
    LMP_Luna<LMP_CollisionVolume>::registerClass(L);
}
