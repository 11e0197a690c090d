#pragma once

#include "scripting/LMP_Luna.h"

class MDL_Sample;

// The script proxy of a sample, the Lua class "newSample": a decoded member
// of the controller's sample list, or a movie's own audio.
class LMP_Sample : public LMP_Proxy {
public:
    static const LMP_Class<LMP_Sample> binding;

    // Wraps an existing sample and binds itself into its handle (a proxy
    // bound before is detached). Null gives an unbound proxy.
    explicit LMP_Sample(MDL_Sample *sample);
    ~LMP_Sample() override;

    // newSample(name).
    static LMP_Sample *create(lua_State *L);

    MDL_Sample *getSample() const { return static_cast<MDL_Sample *>(m_poObject); }

    // The sample of the argument at index, which must be a userdata of
    // exactly this class's metatable (else the standard argument error
    // naming "newSample" is raised); null when its proxy is unbound.
    static MDL_Sample *checkSample(lua_State *L, int index);

    int destroy(lua_State *L); // "delete"
};

void LMP_registerSample(lua_State *L);
