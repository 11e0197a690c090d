#include "scripting/LMP_Font.h"

#include <lua.hpp>

#include "controller/CTRL_Generic.h"
#include "model/MDL_Font.h"
#include "scripting/LMP_ScriptEngine.h"
#include "scripting/LMP_Binding.h"
#include "scripting/LMP_ResourceProxy.h"

LMP_Font::LMP_Font(MDL_Font *font) : LMP_Proxy(font)
{
    if (font != nullptr)
        font->m_oProxyHandle.bind(this);
}

LMP_Font::~LMP_Font()
{
    MDL_Font *font = getFont();
    if (font != nullptr)
        LMP_forgetProxy(this, font->m_oProxyHandle);
}

// newFont(name): a font of the controller's list, read from the document's
// member of that name.
LMP_Font *LMP_Font::create(lua_State *L)
{
    const char *name = nullptr;
    if (!LMP_iCheckArgs(L, "S", &name))
        return new LMP_Font(nullptr);
    CTRL_Generic *controller = LMP_poController(L);
    if (controller == nullptr)
        return new LMP_Font(nullptr);
    MDL_Font *font = controller->addFont(name);
    if (font == nullptr) {
        LMP_iReportError(L, "File %s not found", name);
        return new LMP_Font(nullptr);
    }
    return new LMP_Font(font);
}

// Deletes a font of the controller's list (its texts take the default font).
// A font that is not listed (the default font) stays; the proxy only lets go
// of it. Extra arguments are reported and the font goes all the same.
int LMP_Font::destroy(lua_State *L)
{
    if (lua_gettop(L) > 0)
        LMP_iCheckArgs(L, "");
    MDL_Font *font = getFont();
    CTRL_Generic *controller = LMP_poController(L);
    if (font == nullptr || controller == nullptr)
        return 0;
    LMP_unbindProxy(this, font->m_oProxyHandle);
    controller->removeFont(font); // nothing for a font that is not listed
    return 0;
}

LMP_Font *LMP_iCheckFont(lua_State *L, int index)
{
    LMP_Font *font = LMP_Luna<LMP_Font>::toProxy(L, index);
    if (font == nullptr)
        LMP_iArgError(L, index, "newFont");
    return font;
}

static const LMP_Method<LMP_Font> s_aoMethods[] = {
    {"delete", &LMP_Font::destroy},
    {nullptr, nullptr},
};

const LMP_Class<LMP_Font> LMP_Font::binding = {"newFont", LMP_NO_TYPE_CODE, false, s_aoMethods};

void LMP_registerFont(lua_State *L)
{
    LMP_Luna<LMP_Font>::registerClass(L);
}
