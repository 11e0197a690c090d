// The script proxy of a polyline, the Lua class "newPolyline": the 41 rows
// of "newObject", then the polyline's points (v2 values in its own
// coordinates, counted from 1), its line (thickness, colour, texture,
// closed or open) and its fill. A polyline is drawn among its scene's
// overlays.
#include <lua.hpp>

#include "foundation/MTH_Vector.h"
#include "model/MDL_Material.h"
#include "model/MDL_Polyline.h"
#include "scripting/LMP_Binding.h"
#include "scripting/LMP_Material.h"
#include "scripting/LMP_Object.h"
#include "scripting/LMP_Registration.h"
#include "scripting/LMP_Texture.h"
#include "scripting/LMP_ValueTypes.h"

class LMP_Polyline : public LMP_Object {
public:
    static const LMP_Class<LMP_Polyline, LMP_Object> binding;

    explicit LMP_Polyline(MDL_Object *object) : LMP_Object(object) {}
    const char *getClassName() const override { return "newPolyline"; }

    // newPolyline(scene | object [, template]): a new polyline without points
    // or material (closed, not filled, thickness 0.01), or a copy of a
    // template polyline.
    static LMP_Polyline *create(lua_State *L);

    // The bound polyline while it is alive and not flagged deleted.
    MDL_Polyline *getPolyline() const { return dynamic_cast<MDL_Polyline *>(getLiveObject()); }

    int addPoints(lua_State *L);
    int setPoints(lua_State *L);
    int getPoint(lua_State *L);
    int getPointsCount(lua_State *L);
    int clear(lua_State *L);
    int getColor(lua_State *L);
    int getFillColor(lua_State *L);
    int getThickness(lua_State *L);
    int setColor(lua_State *L);
    int setFillColor(lua_State *L);
    int setTexture(lua_State *L);
    int setThickness(lua_State *L);
    int setClosed(lua_State *L);
    int getClosed(lua_State *L);
    int distanceToPoint(lua_State *L);
    int getMaterial(lua_State *L);
};

static MDL_Object *makePolyline()
{
    return new MDL_Polyline();
}

// The object is made first: its checks may raise, and nothing may be
// allocated then.
LMP_Polyline *LMP_Polyline::create(lua_State *L)
{
    MDL_Object *object = constructObject(L, binding.m_sClassName, makePolyline);
    return new LMP_Polyline(object);
}

// --- points ---

// addPoints({v2, ...}): appends the table's v2 values in order, up to its
// raw length; a point equal to the one before is dropped. Another argument
// is reported and adds nothing; an element that is no v2 is reported and
// skipped, and the others are added.
int LMP_Polyline::addPoints(lua_State *L)
{
    if (lua_gettop(L) != 1 || !lua_istable(L, 1)) {
        LMP_iReportError(L, "Wrong argument, Table of 2D vector argument expected");
        return 0;
    }
    if (getPolyline() == nullptr)
        return 0;
    int n = static_cast<int>(lua_rawlen(L, 1));
    for (int k = 1; k <= n; k++) {
        lua_pushinteger(L, k);
        lua_gettable(L, 1); // may run a metamethod: the polyline is fetched again below
        MTH_Vector2D *point = LMP_poToV2(L, -1);
        MTH_Vector2D copy;
        if (point != nullptr)
            copy = *point;
        lua_pop(L, 1);
        if (point == nullptr) {
            LMP_iReportError(L, "Wrong element in table, 2D vector element expected");
            continue;
        }
        MDL_Polyline *polyline = getPolyline();
        if (polyline == nullptr)
            return 0;
        polyline->addPoint(copy);
    }
    return 0;
}

// The points go first, so that a wrong argument leaves the polyline empty.
int LMP_Polyline::setPoints(lua_State *L)
{
    MDL_Polyline *polyline = getPolyline();
    if (polyline != nullptr)
        polyline->clearPoints();
    return addPoints(L);
}

// getPoint(i): point i, from 1 to the count; nothing for any other i.
int LMP_Polyline::getPoint(lua_State *L)
{
    int32_t index = 0;
    if (!LMP_iCheckArgs(L, "I", &index))
        return 0;
    MDL_Polyline *polyline = getPolyline();
    if (polyline == nullptr || index < 1 || index > polyline->getPointsCount())
        return 0;
    *LMP_iPushV2(L) = polyline->getPoint(index - 1);
    return 1;
}

int LMP_Polyline::getPointsCount(lua_State *L)
{
    MDL_Polyline *polyline = getPolyline();
    if (polyline == nullptr)
        return 0;
    lua_pushinteger(L, polyline->getPointsCount());
    return 1;
}

int LMP_Polyline::clear(lua_State *)
{
    MDL_Polyline *polyline = getPolyline();
    if (polyline == nullptr)
        return 0;
    polyline->clearPoints();
    return 0;
}

// --- line and fill ---

// The line's colour: the material's diffuse colour.
int LMP_Polyline::getColor(lua_State *L)
{
    MDL_Polyline *polyline = getPolyline();
    if (polyline == nullptr)
        return 0;
    return LMP_iPushDiffuse(L, polyline->getMaterial());
}

// Nothing while the polyline is not filled.
int LMP_Polyline::getFillColor(lua_State *L)
{
    MDL_Polyline *polyline = getPolyline();
    if (polyline == nullptr || !polyline->isFilled())
        return 0;
    *LMP_iPushColor(L) = polyline->getFillColor();
    return 1;
}

int LMP_Polyline::getThickness(lua_State *L)
{
    MDL_Polyline *polyline = getPolyline();
    if (polyline == nullptr)
        return 0;
    lua_pushnumber(L, polyline->getThickness());
    return 1;
}

// setColor(color): the line's colour (the material's diffuse colour, alpha
// included); setColor(nil) hides the line. A colour given later does not
// show it again. Without an argument nothing changes.
int LMP_Polyline::setColor(lua_State *L)
{
    int top = lua_gettop(L);
    bool hide = top > 0 && lua_isnil(L, top);
    MTH_Vector4D *color = nullptr;
    if (!hide && LMP_iCheckArgs(L, "|C", &color) != 1)
        return 0;
    MDL_Polyline *polyline = getPolyline();
    if (polyline == nullptr)
        return 0;
    if (hide)
        polyline->setLineVisible(false);
    else
        LMP_poMaterialOf(polyline)->m_oDiffuse = *color;
    return 0;
}

// setFillColor(color): fills the outline with the colour; without a colour
// (or after a reported error) the polyline is no longer filled.
int LMP_Polyline::setFillColor(lua_State *L)
{
    MTH_Vector4D *color = nullptr;
    bool filled = LMP_iCheckArgs(L, "|C", &color) == 1 && color != nullptr;
    MDL_Polyline *polyline = getPolyline();
    if (polyline == nullptr)
        return 0;
    if (filled)
        polyline->setFillColor(*color);
    polyline->setFilled(filled);
    return 0;
}

// setTexture(texture): the last argument, a "newTexture" (else the argument
// error naming it), becomes the texture of the material's last layer.
int LMP_Polyline::setTexture(lua_State *L)
{
    int top = lua_gettop(L);
    LMP_Texture *texture = LMP_iCheckTexture(L, top >= 1 ? top : 1);
    MDL_Polyline *polyline = getPolyline();
    if (polyline == nullptr)
        return 0;
    LMP_setLastLayerTexture(LMP_poMaterialOf(polyline), texture->getTexture());
    return 0;
}

// Half the line's width; a thickness that is not above 0 draws no line.
int LMP_Polyline::setThickness(lua_State *L)
{
    double thickness = 0;
    if (!LMP_iCheckArgs(L, "N", &thickness))
        return 0;
    MDL_Polyline *polyline = getPolyline();
    if (polyline == nullptr)
        return 0;
    polyline->setThickness(thickness);
    return 0;
}

int LMP_Polyline::setClosed(lua_State *L)
{
    bool closed = false;
    if (!LMP_iCheckArgs(L, "B", &closed))
        return 0;
    MDL_Polyline *polyline = getPolyline();
    if (polyline == nullptr)
        return 0;
    polyline->setClosed(closed);
    return 0;
}

int LMP_Polyline::getClosed(lua_State *L)
{
    MDL_Polyline *polyline = getPolyline();
    if (polyline == nullptr)
        return 0;
    lua_pushboolean(L, polyline->isClosed());
    return 1;
}

// distanceToPoint(v2): the distance from the point to the line's edge,
// negative on the line; the largest number for a polyline without points.
int LMP_Polyline::distanceToPoint(lua_State *L)
{
    MTH_Vector2D *point = nullptr;
    if (!LMP_iCheckArgs(L, "W", &point))
        return 0;
    MDL_Polyline *polyline = getPolyline();
    if (polyline == nullptr)
        return 0;
    lua_pushnumber(L, polyline->distanceToPoint(*point));
    return 1;
}

// The material as it is, possibly shared.
int LMP_Polyline::getMaterial(lua_State *L)
{
    MDL_Polyline *polyline = getPolyline();
    if (polyline == nullptr)
        return 0;
    return LMP_iPushMaterial(L, polyline->getMaterial());
}

static const LMP_Method<LMP_Polyline> s_aoMethods[] = {
    {"addPoints", &LMP_Polyline::addPoints},
    {"setPoints", &LMP_Polyline::setPoints},
    {"getPoint", &LMP_Polyline::getPoint},
    {"getPointsCount", &LMP_Polyline::getPointsCount},
    {"clear", &LMP_Polyline::clear},
    {"getColor", &LMP_Polyline::getColor},
    {"getFillColor", &LMP_Polyline::getFillColor},
    {"getThickness", &LMP_Polyline::getThickness},
    {"setColor", &LMP_Polyline::setColor},
    {"setFillColor", &LMP_Polyline::setFillColor},
    {"setTexture", &LMP_Polyline::setTexture},
    {"setThickness", &LMP_Polyline::setThickness},
    {"setClosed", &LMP_Polyline::setClosed},
    {"getClosed", &LMP_Polyline::getClosed},
    {"distanceToPoint", &LMP_Polyline::distanceToPoint},
    {"getMaterial", &LMP_Polyline::getMaterial},
    {nullptr, nullptr},
};

const LMP_Class<LMP_Polyline, LMP_Object> LMP_Polyline::binding = {"newPolyline", OBJECT_POLYLINE, true, s_aoMethods};

void LMP_registerPolyline(lua_State *L)
{
    LMP_Luna<LMP_Polyline>::registerClass(L);
}
