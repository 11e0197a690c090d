#pragma once

#include "scripting/LMP_Luna.h"

class MDL_Font;

// The script proxy of a font, the Lua class "newFont".
class LMP_Font : public LMP_Proxy {
public:
    static const LMP_Class<LMP_Font> binding;

    // Wraps an existing font and binds itself into its handle (a proxy
    // bound before is detached). Null gives an unbound proxy.
    explicit LMP_Font(MDL_Font *font);
    ~LMP_Font() override;

    // newFont(name).
    static LMP_Font *create(lua_State *L);

    MDL_Font *getFont() const { return static_cast<MDL_Font *>(m_poObject); }

    int destroy(lua_State *L); // "delete"
};

void LMP_registerFont(lua_State *L);

// The "newFont" proxy at index (a userdata of exactly that class holding its
// proxy; the proxy may be unbound), else the standard argument error naming
// "newFont" is raised: never null.
LMP_Font *LMP_iCheckFont(lua_State *L, int index);
