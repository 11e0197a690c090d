// The script proxy of an animation player, the Lua class "newAnimation": a
// models set's animation data played on a scene object.
#include <cfloat>

#include <lua.hpp>

#include "model/MDL_Animation.h"
#include "model/MDL_AnimationData.h"
#include "model/MDL_Object.h"
#include "model/MDL_Scene.h"
#include "scripting/LMP_AnimationData.h"
#include "scripting/LMP_Binding.h"
#include "scripting/LMP_Luna.h"
#include "scripting/LMP_ResourceProxy.h"

class LMP_Animation : public LMP_Proxy {
public:
    static const LMP_Class<LMP_Animation> binding;

    explicit LMP_Animation(MDL_Animation *animation) : LMP_Proxy(animation)
    {
        if (animation != nullptr)
            animation->m_oProxyHandle.bind(this);
    }
    // A bound proxy goes only when its animation's handle lets go of it;
    // clearing the handle all the same keeps it from ever naming a dead one.
    ~LMP_Animation() override
    {
        if (getAnimation() != nullptr)
            LMP_forgetProxy(this, getAnimation()->m_oProxyHandle);
    }

    static LMP_Animation *create(lua_State *L);
    MDL_Animation *getAnimation() const { return static_cast<MDL_Animation *>(m_poObject); }

    int play(lua_State *L);
    int pause(lua_State *L);
    int isPlaying(lua_State *L);
    int seek(lua_State *L);
    int getTime(lua_State *L);
    int getDuration(lua_State *L);
    int setSpeed(lua_State *L);
    int getSpeed(lua_State *L);
};

// newAnimation(data, object): the last argument is the target object, the
// one before it a "newAnimationData" proxy (else the argument error naming
// "newAnimationData" is raised). Nothing is made for a target that is no
// live object of a scene or for unbound data. The new player joins the
// target's scene with a duration of the sum of the data's key times.
LMP_Animation *LMP_Animation::create(lua_State *L)
{
    int n = lua_gettop(L);
    LMP_Proxy *target = n >= 1 ? LMP_iGetObject(L, n) : nullptr;
    int dataIndex = n >= 2 ? n - 1 : 1;
    LMP_AnimationData *dataProxy = nullptr;
    if (lua_type(L, dataIndex) == LUA_TUSERDATA) {
        luaL_getmetatable(L, LMP_AnimationData::binding.m_sClassName);
        dataProxy = lua_istable(L, -1) ? LMP_Luna<LMP_AnimationData>::cast(LMP_poProxyAt(L, dataIndex, -1)) : nullptr;
        lua_pop(L, 1);
    }
    if (dataProxy == nullptr || n < 2)
        LMP_iArgError(L, dataIndex, LMP_AnimationData::binding.m_sClassName); // raises

    MDL_Object *object = target != nullptr ? static_cast<MDL_Object *>(target->m_poObject) : nullptr;
    MDL_AnimationData *data = dataProxy != nullptr ? dataProxy->getData() : nullptr;
    if (object == nullptr || object->m_bDeleted || data == nullptr)
        return new LMP_Animation(nullptr);
    MDL_Scene *scene = object->getScene();
    if (scene == nullptr)
        return new LMP_Animation(nullptr); // a template plays in no scene
    MDL_Animation *animation = new MDL_Animation();
    LMP_Animation *proxy = new LMP_Animation(animation);
    animation->setData(data);
    animation->setTarget(object);
    scene->addAnimation(animation);
    for (int i = 0; i < data->getKeyCount(); i++)
        animation->setDuration(animation->getDuration() + data->getKeyTime(i));
    return proxy;
}

int LMP_Animation::play(lua_State *L)
{
    if (lua_gettop(L) > 0)
        LMP_iCheckArgs(L, "");
    MDL_Animation *animation = getAnimation();
    if (animation != nullptr)
        animation->play();
    return 0;
}

int LMP_Animation::pause(lua_State *L)
{
    if (lua_gettop(L) > 0)
        LMP_iCheckArgs(L, "");
    MDL_Animation *animation = getAnimation();
    if (animation != nullptr)
        animation->pause();
    return 0;
}

int LMP_Animation::isPlaying(lua_State *L)
{
    MDL_Animation *animation = getAnimation();
    if (animation == nullptr)
        return 0;
    lua_pushboolean(L, animation->isPlaying());
    return 1;
}

int LMP_Animation::seek(lua_State *L)
{
    double time = 0;
    if (!LMP_iCheckArgs(L, "N", &time))
        return 0;
    MDL_Animation *animation = getAnimation();
    if (animation == nullptr)
        return 0;
    animation->seek(LMP_fToSingle(time));
    return 0;
}

int LMP_Animation::getTime(lua_State *L)
{
    MDL_Animation *animation = getAnimation();
    if (animation == nullptr)
        return 0;
    lua_pushnumber(L, animation->getTime());
    return 1;
}

int LMP_Animation::getDuration(lua_State *L)
{
    MDL_Animation *animation = getAnimation();
    if (animation == nullptr)
        return 0;
    lua_pushnumber(L, animation->getDuration());
    return 1;
}

int LMP_Animation::setSpeed(lua_State *L)
{
    double speed = 0;
    if (!LMP_iCheckArgs(L, "N", &speed))
        return 0;
    MDL_Animation *animation = getAnimation();
    if (animation == nullptr)
        return 0;
    animation->setSpeed(speed);
    return 0;
}

int LMP_Animation::getSpeed(lua_State *L)
{
    MDL_Animation *animation = getAnimation();
    if (animation == nullptr)
        return 0;
    lua_pushnumber(L, animation->getSpeed());
    return 1;
}

static const LMP_Method<LMP_Animation> s_aoMethods[] = {
    {"play", &LMP_Animation::play},
    {"pause", &LMP_Animation::pause},
    {"isPlaying", &LMP_Animation::isPlaying},
    {"seek", &LMP_Animation::seek},
    {"getTime", &LMP_Animation::getTime},
    {"getDuration", &LMP_Animation::getDuration},
    {"setSpeed", &LMP_Animation::setSpeed},
    {"getSpeed", &LMP_Animation::getSpeed},
    {nullptr, nullptr},
};

const LMP_Class<LMP_Animation> LMP_Animation::binding = {"newAnimation", LMP_NO_TYPE_CODE, false, s_aoMethods};

void LMP_registerAnimation(lua_State *L)
{
    LMP_Luna<LMP_Animation>::registerClass(L);
}
