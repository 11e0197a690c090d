// The script proxy of a text, the Lua class "newText": the 41 rows of
// "newObject", then the text's string, font, size, colours and tab size,
// and its laid-out box. A text is drawn among its scene's overlays, its
// layout in its own units: x along the line, y down from line to line, the
// first baseline at y = 0.
#include <lua.hpp>

#include "controller/CTRL_Generic.h"
#include "foundation/MTH_Vector.h"
#include "model/MDL_Font.h"
#include "model/MDL_Text.h"
#include "scripting/LMP_Binding.h"
#include "scripting/LMP_Font.h"
#include "scripting/LMP_Object.h"
#include "scripting/LMP_Registration.h"
#include "scripting/LMP_ScriptEngine.h"
#include "scripting/LMP_ValueTypes.h"

class LMP_Text : public LMP_Object {
public:
    static const LMP_Class<LMP_Text, LMP_Object> binding;

    explicit LMP_Text(MDL_Object *object) : LMP_Object(object) {}
    const char *getClassName() const override { return "newText"; }

    // newText(scene | object): a new empty text in the player's default
    // font; with an object it takes the object's placement and becomes its
    // child. There is no template form: a second argument is reported
    // ("Too many arguments creating a newText") and no text is made.
    static LMP_Text *create(lua_State *L);

    // The bound text while it is alive and not flagged deleted.
    MDL_Text *getTextObject() const { return dynamic_cast<MDL_Text *>(getLiveObject()); }

    int getBackgroundColor(lua_State *L);
    int getBoundingBox(lua_State *L);
    int getColor(lua_State *L);
    int getFont(lua_State *L);
    int getSize(lua_State *L);
    int getText(lua_State *L);
    int setBackgroundColor(lua_State *L);
    int setColor(lua_State *L);
    int setFont(lua_State *L);
    int setSize(lua_State *L);
    int setText(lua_State *L);
    int getCenter(lua_State *L);
    int setTabSize(lua_State *L);
    int getTabSize(lua_State *L);
};

// The checks come first (they may raise, and nothing may be allocated then).
LMP_Text *LMP_Text::create(lua_State *L)
{
    CTRL_Generic *controller = LMP_poController(L);
    if (controller == nullptr)
        return new LMP_Text(nullptr);
    MDL_Scene *scene = nullptr;
    MDL_Object *parent = nullptr;
    bindOrCreate(L, 1, &scene, &parent);
    if (lua_gettop(L) > 1) {
        LMP_iReportError(L, "Too many arguments creating a newText");
        return new LMP_Text(nullptr);
    }
    if (scene == nullptr)
        return new LMP_Text(nullptr);
    MDL_Text *text = new MDL_Text();
    text->setFont(controller->m_poDefaultFont);
    return new LMP_Text(addNewObject(scene, parent, text, true));
}

// --- colours ---

int LMP_Text::getBackgroundColor(lua_State *L)
{
    MDL_Text *text = getTextObject();
    if (text == nullptr)
        return 0;
    *LMP_iPushColor(L) = text->getBackgroundColor();
    return 1;
}

int LMP_Text::getColor(lua_State *L)
{
    MDL_Text *text = getTextObject();
    if (text == nullptr)
        return 0;
    *LMP_iPushColor(L) = text->getColor();
    return 1;
}

// The box behind the text is drawn when the alpha is above 0.
int LMP_Text::setBackgroundColor(lua_State *L)
{
    MTH_Vector4D *color = nullptr;
    if (!LMP_iCheckArgs(L, "C", &color))
        return 0;
    MDL_Text *text = getTextObject();
    if (text == nullptr)
        return 0;
    text->setBackgroundColor(*color);
    return 0;
}

int LMP_Text::setColor(lua_State *L)
{
    MTH_Vector4D *color = nullptr;
    if (!LMP_iCheckArgs(L, "C", &color))
        return 0;
    MDL_Text *text = getTextObject();
    if (text == nullptr)
        return 0;
    text->setColor(*color);
    return 0;
}

// --- font, size, string ---

// The font's proxy, made when it has none; nothing without a font.
int LMP_Text::getFont(lua_State *L)
{
    MDL_Text *text = getTextObject();
    if (text == nullptr || text->getFont() == nullptr)
        return 0;
    return LMP_Luna<LMP_Font>::pushObject(L, text->getFont());
}

// setFont(font): the last argument, a "newFont" (else the argument error
// naming it). A font proxy that stands for no font leaves the text without
// one: it draws nothing.
int LMP_Text::setFont(lua_State *L)
{
    int top = lua_gettop(L);
    LMP_Font *font = LMP_iCheckFont(L, top >= 1 ? top : 1);
    MDL_Text *text = getTextObject();
    if (text == nullptr)
        return 0;
    text->setFont(font->getFont());
    return 0;
}

int LMP_Text::getSize(lua_State *L)
{
    MDL_Text *text = getTextObject();
    if (text == nullptr)
        return 0;
    lua_pushnumber(L, text->getSize());
    return 1;
}

// A size that is not above 0 draws nothing.
int LMP_Text::setSize(lua_State *L)
{
    double size = 0;
    if (!LMP_iCheckArgs(L, "N", &size))
        return 0;
    MDL_Text *text = getTextObject();
    if (text == nullptr)
        return 0;
    text->setSize(size);
    return 0;
}

// Nil for a text that was never given one.
int LMP_Text::getText(lua_State *L)
{
    MDL_Text *text = getTextObject();
    if (text == nullptr)
        return 0;
    lua_pushstring(L, text->getText());
    return 1;
}

// UTF-8, laid out at once; a string ends at its first NUL.
int LMP_Text::setText(lua_State *L)
{
    const char *string = nullptr;
    if (!LMP_iCheckArgs(L, "S", &string))
        return 0;
    MDL_Text *text = getTextObject();
    if (text == nullptr)
        return 0;
    text->setText(string);
    return 0;
}

// Width of a tab stop, in spaces.
int LMP_Text::setTabSize(lua_State *L)
{
    int32_t spaces = 0;
    if (!LMP_iCheckArgs(L, "I", &spaces))
        return 0;
    MDL_Text *text = getTextObject();
    if (text == nullptr)
        return 0;
    text->setTabSize(spaces);
    return 0;
}

int LMP_Text::getTabSize(lua_State *L)
{
    MDL_Text *text = getTextObject();
    if (text == nullptr)
        return 0;
    lua_pushinteger(L, text->getTabSize());
    return 1;
}

// --- layout ---

// {min x, min y, max x, max y} of the laid-out text, in its own units.
int LMP_Text::getBoundingBox(lua_State *L)
{
    MDL_Text *text = getTextObject();
    if (text == nullptr)
        return 0;
    double box[4] = {0, 0, 0, 0};
    text->getBoundingBox(box[0], box[1], box[2], box[3]);
    lua_createtable(L, 4, 0);
    for (int i = 0; i < 4; i++) {
        lua_pushnumber(L, box[i]);
        lua_rawseti(L, -2, i + 1);
    }
    return 1;
}

// getCenter([ref]): the middle of the laid-out box.
int LMP_Text::getCenter(lua_State *L)
{
    int32_t ref = optionalReference(L);
    MDL_Text *text = getTextObject();
    if (text == nullptr)
        return 0;
    double minX = 0, minY = 0, maxX = 0, maxY = 0;
    text->getBoundingBox(minX, minY, maxX, maxY);
    MTH_Vector3D centre((maxX - minX) * 0.5 + minX, (maxY - minY) * 0.5 + minY, 0);
    return pushOwnPoint(L, text, centre, ref);
}

static const LMP_Method<LMP_Text> s_aoMethods[] = {
    {"getBackgroundColor", &LMP_Text::getBackgroundColor},
    {"getBoundingBox", &LMP_Text::getBoundingBox},
    {"getColor", &LMP_Text::getColor},
    {"getFont", &LMP_Text::getFont},
    {"getSize", &LMP_Text::getSize},
    {"getText", &LMP_Text::getText},
    {"setBackgroundColor", &LMP_Text::setBackgroundColor},
    {"setColor", &LMP_Text::setColor},
    {"setFont", &LMP_Text::setFont},
    {"setSize", &LMP_Text::setSize},
    {"setText", &LMP_Text::setText},
    {"getCenter", &LMP_Text::getCenter},
    {"setTabSize", &LMP_Text::setTabSize},
    {"getTabSize", &LMP_Text::getTabSize},
    {nullptr, nullptr},
};

const LMP_Class<LMP_Text, LMP_Object> LMP_Text::binding = {"newText", OBJECT_TEXT, true, s_aoMethods};

void LMP_registerText(lua_State *L)
{
    LMP_Luna<LMP_Text>::registerClass(L);
}
