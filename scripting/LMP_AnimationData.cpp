#include "scripting/LMP_AnimationData.h"

#include <lua.hpp>

#include "model/MDL_AnimationData.h"
#include "scripting/LMP_Binding.h"
#include "scripting/LMP_ResourceProxy.h"

LMP_AnimationData::LMP_AnimationData(MDL_AnimationData *data) : LMP_Proxy(data)
{
    if (data != nullptr)
        data->m_oProxyHandle.bind(this);
}

LMP_AnimationData::~LMP_AnimationData()
{
    MDL_AnimationData *data = getData();
    if (data != nullptr)
        LMP_forgetProxy(this, data->m_oProxyHandle);
}

LMP_AnimationData *LMP_AnimationData::create(lua_State *L)
{
    (void)L;
    return new LMP_AnimationData(nullptr);
}

static const LMP_Method<LMP_AnimationData> s_aoMethods[] = {
    {nullptr, nullptr},
};

const LMP_Class<LMP_AnimationData> LMP_AnimationData::binding = {"newAnimationData", LMP_NO_TYPE_CODE, false,
                                                                 s_aoMethods};

void LMP_registerAnimationData(lua_State *L)
{
    LMP_Luna<LMP_AnimationData>::registerClass(L);
}
