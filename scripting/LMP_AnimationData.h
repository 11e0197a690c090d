#pragma once

#include "scripting/LMP_Luna.h"

class MDL_AnimationData;

// The script proxy of a models set's animation data, the Lua class
// "newAnimationData". It has no methods; scripts get bound proxies from
// getAnimationData of a models set and hand them to newAnimation.
class LMP_AnimationData : public LMP_Proxy {
public:
    static const LMP_Class<LMP_AnimationData> binding;

    // Wraps existing animation data and binds itself into its handle (a
    // proxy bound before is detached). Null gives an unbound proxy.
    explicit LMP_AnimationData(MDL_AnimationData *data);
    ~LMP_AnimationData() override;

    // newAnimationData(...): always unbound; the arguments are ignored.
    static LMP_AnimationData *create(lua_State *L);

    MDL_AnimationData *getData() const { return static_cast<MDL_AnimationData *>(m_poObject); }
};

void LMP_registerAnimationData(lua_State *L);
