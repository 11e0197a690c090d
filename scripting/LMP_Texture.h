#pragma once

#include "scripting/LMP_Luna.h"

class MDL_Texture;

// The script proxy of a texture, the Lua class "newTexture". Textures made
// by the script are the controller's (its texture list); the proxy of a
// texture reached otherwise (a movie's frame texture, a material layer's
// texture) only stands for it.
class LMP_Texture : public LMP_Proxy {
public:
    static const LMP_Class<LMP_Texture> binding;

    // Wraps an existing texture and binds itself into its handle (a proxy
    // bound before is detached). Null gives an unbound proxy.
    explicit LMP_Texture(MDL_Texture *texture);
    ~LMP_Texture() override;

    // newTexture(name [, filter]).
    static LMP_Texture *create(lua_State *L);

    MDL_Texture *getTexture() const { return static_cast<MDL_Texture *>(m_poObject); }

    int getBinaryAlpha(lua_State *L);
    int setBinaryAlpha(lua_State *L);
    int getFilter(lua_State *L);
    int setFilter(lua_State *L);
    int destroy(lua_State *L); // "delete"
};

void LMP_registerTexture(lua_State *L);

// The "newTexture" proxy at index (a userdata of exactly that class holding
// its proxy; the proxy may be unbound), else the standard argument error
// naming "newTexture" is raised: never null.
LMP_Texture *LMP_iCheckTexture(lua_State *L, int index);
