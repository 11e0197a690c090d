// The text, image and polyline classes through scripts: tables of calls with
// their exact results, then what only the engine side shows (the layout of
// a text, the line and fill flags of a polyline, its points when the table
// of points deletes it on the way).
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "controller/CTRL_Generic.h"
#include "model/MDL_Image.h"
#include "model/MDL_Material.h"
#include "model/MDL_Polyline.h"
#include "model/MDL_Text.h"
#include "tests/scripting/kinds_test_support.h"

namespace {

// t is an empty text; p an object at (0.1, 0.2, 0.5) with a text child c.
const char *const TEXTS = "t = newText(scene) t:setName('t') p = newObject(scene) p:setPosition(v3(0.1, 0.2, 0.5)) "
                          "c = newText(p) c:setName('c')";

TEST(OverlayBindings, Texts)
{
    static const TEST_CallRow rows[] = {
        {"return t:getType(), getmetatable(t) == newText, t:getText(), t:getSize(), t:getTabSize()", "8,true,nil,1,8",
         nullptr},
        {"return R(t:getColor()), R(t:getBackgroundColor()), R(t:getBoundingBox())", "(0,0,0,1),(0,0,0,0),0,0,0,0",
         nullptr},
        // Every new text has the default font, one proxy for all.
        {"return getmetatable(t:getFont()) == newFont, t:getFont() == c:getFont()", "true,true", nullptr},
        {"return R(c:getPosition()), c:getParent() == p, c:getScene() == scene", "(0.1,0.2,0.5),true,true", nullptr},
        {"t:setText('Vekta') t:setSize(0.05) t:setTabSize(4) return t:getText(), t:getSize(), t:getTabSize()",
         "Vekta,0.05,4", nullptr},
        {"t:setText(12) return t:getText()", "12", nullptr},
        {"t:setColor(color(1, 0.5, 0, 1)) t:setBackgroundColor(color(0, 0, 1, 0.5)) "
         "return R(t:getColor()), R(t:getBackgroundColor())",
         "(1,0.5,0,1),(0,0,1,0.5)", nullptr},
        // A laid-out text's box holds its first baseline's start, and its
        // centre is the middle of the box, carried by the reference id.
        {"t:setText('Vekta') local b = t:getBoundingBox() return b[1] <= 0, b[2] < 0, b[3] > 0, b[4] >= 0, #b",
         "true,true,true,true,4", nullptr},
        {"t:setText('Vekta') local b, s = t:getBoundingBox(), t:getCenter(REF_SELF) "
         "return s:x() == (b[3] - b[1]) * 0.5 + b[1], s:y() == (b[4] - b[2]) * 0.5 + b[2], s:z()",
         "true,true,0", nullptr},
        {"c:setText('A') local s, g = c:getCenter(REF_SELF), c:getCenter() "
         "return R(g - s), R(c:getCenter(REF_LOCAL) - s)",
         "(0.1,0.2,0.5),(0,0,0)", nullptr},
        {"p:setScale(v3(2, 2, 2)) c:setText('A') local s = c:getCenter(REF_SELF) "
         "return R(c:getCenter() - v3(0.1, 0.2, 0.5) - s * 2)",
         "(0,0,0)", nullptr},
        {"return select('#', t:getCenter(5))", "0", "Invalid reference ID"},
        // A failed check of the reference id keeps REF_GLOBAL.
        {"c:setText('A') return R(c:getCenter('x') - c:getCenter(REF_SELF))", "(0.1,0.2,0.5)",
         "Invalid type (string) for argument #1, <I> type argument(s) expected"},
        // A font that FreeType does not take lays out nothing; its deletion
        // gives the text the default font back.
        {"local f = newFont('font.ttf') t:setText('Vekta') t:setFont(f) "
         "return t:getFont() == f, R(t:getBoundingBox())",
         "true,0,0,0,0", nullptr},
        {"local d = t:getFont() local f = newFont('font.ttf') t:setFont(f) f:delete() return t:getFont() == d", "true",
         nullptr},
        {"t:setFont(nil)", "error: t:1: bad argument #1 to 'setFont' (newFont)", nullptr},
        {"t:setFont(t:getFont(), 5)", "error: t:1: bad argument #2 to 'setFont' (newFont)", nullptr},
        {"t:setSize('big') return t:getSize()", "1",
         "Invalid type (string) for argument #1, <N> type argument(s) expected"},
        {"t:setColor(1)", "error: t:1: bad argument #1 to 'setColor' (color expected, got number)", nullptr},
        // There is no template form.
        {"local x = newText(scene, t) return getmetatable(x) == newText, x:exist()", "true,false",
         "Too many arguments creating a newText"},
        {"newText()", "error: t:1: bad argument #1 to 'newText' (newScene)", nullptr},
        {"t:delete() t:setText('x') t:setSize(3) "
         "return select('#', t:getText()) + select('#', t:getBoundingBox()) + select('#', t:getCenter()) + "
         "select('#', t:getFont())",
         "0", nullptr},
        {"return select(2, pcall(newText.getSize, newImage(scene)))", "bad argument #1 to 'newText.getSize' (newText)",
         nullptr},
    };
    TEST_runCallRows(TEXTS, rows);
}

// The binding gives the engine's layout, exactly.
TEST(OverlayBindings, TextBoxIsTheEnginesLayout)
{
    KindsFixture f;
    ASSERT_EQ(f.run(TEXTS), "") << f.log();
    ASSERT_EQ(f.run("t:setText('Vekta\\tbinds\\ntexts') t:setSize(0.5)"), "");
    MDL_Text *text = dynamic_cast<MDL_Text *>(f.object("t"));
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(text->getFont(), f.m_oController.m_poDefaultFont);
    double box[4] = {0, 0, 0, 0};
    text->getBoundingBox(box[0], box[1], box[2], box[3]);
    EXPECT_LT(box[1], 0);
    EXPECT_GT(box[3], 0);
    char expected[160];
    snprintf(expected, sizeof(expected), "%.17g,%.17g,%.17g,%.17g", box[0], box[1], box[2], box[3]);
    EXPECT_EQ(f.run("local b = t:getBoundingBox() return string.format('%.17g,%.17g,%.17g,%.17g', b[1], b[2], "
                    "b[3], b[4])"),
              expected);
    EXPECT_FALSE(f.reported()) << f.log();
}

// i is an image without texture; w one of wide.png (4 x 2); p an object at
// (0.1, 0.2, 0.5).
const char *const IMAGES = "i = newImage(scene) i:setName('i') w = newImage(scene, wide) w:setName('w') "
                           "p = newObject(scene) p:setPosition(v3(0.1, 0.2, 0.5))";

TEST(OverlayBindings, Images)
{
    static const TEST_CallRow rows[] = {
        {"return i:getType(), getmetatable(i) == newImage, i:getAspectRatio(), R(i:getCenter(REF_SELF))",
         "10,true,1,(0.5,0.5,0)", nullptr},
        {"return select('#', i:getColor()) + select('#', i:getTexture()) + select('#', i:getMaterial())", "0", nullptr},
        {"return w:getAspectRatio(), R(w:getCenter(REF_SELF)), w:getTexture() == wide, R(w:getColor())",
         "0.5,(0.5,0.25,0),true,(1,1,1,1)", nullptr},
        {"i:setPosition(v3(0.1, 0.2, 0)) i:setScale(v3(0.5, 0.5, 1)) return R(i:getCenter()), R(i:getCenter(3))",
         "(0.35,0.45,0),(0.35,0.45,0)", nullptr},
        {"return select('#', i:getCenter(5))", "0", "Invalid reference ID"},
        {"i:setPosition(v3(1, 1, 0)) return R(i:getCenter({}))", "(1.5,1.5,0)",
         "Invalid type (table) for argument #1, <I> type argument(s) expected"},
        // Under a parent: at the parent's place without a texture, at the
        // scene's origin with one.
        {"local a, b = newImage(p), newImage(p, wide) "
         "return R(a:getPosition()), R(b:getPosition()), a:getParent() == p, b:getParent() == p, "
         "R(a:getCenter(REF_LOCAL)), R(b:getCenter(REF_LOCAL))",
         "(0.1,0.2,0.5),(0,0,0),true,true,(0.5,0.5,0),(0.4,0.05,-0.5)", nullptr},
        // A material comes with the first colour or texture.
        {"i:setColor(color(1, 0, 0, 0.5)) return R(i:getColor()), getmetatable(i:getMaterial()) == newMaterial",
         "(1,0,0,0.5),true", nullptr},
        {"i:setTexture(wide) return i:getTexture() == wide, i:getAspectRatio(), R(i:getColor())", "true,0.5,(1,1,1,1)",
         nullptr},
        {"i:setOwnMaterial() return R(i:getColor()), select('#', i:getTexture())", "(1,1,1,1),0", nullptr},
        {"i:setOwnMaterial(1) return select('#', i:getMaterial())", "1", "Too much arguments, <> argument(s) expected"},
        // setTexture writes the last layer, getTexture reads the first; a
        // texture of the first layer gives the proportions.
        {"w:getMaterial():addLayer(nil) w:setTexture(tex) "
         "return w:getTexture() == wide, w:getMaterial():getTexture(1) == tex, w:getAspectRatio()",
         "true,true,0.5", nullptr},
        {"w:getMaterial():setDiffuse(color(0, 1, 0, 1)) return R(w:getColor())", "(0,1,0,1)", nullptr},
        {"i:setTexture(5)", "error: t:1: bad argument #1 to 'setTexture' (newTexture)", nullptr},
        {"newImage(scene, 5)", "error: t:1: bad argument #2 to 'newImage' (newTexture)", nullptr},
        {"newImage()", "error: t:1: bad argument #1 to 'newImage' (newScene)", nullptr},
        {"local x = newImage(scene, wide, 1) return x:getAspectRatio()", "0.5", "Too much arguments for newImage"},
        {"w:delete() w:setColor(color()) w:setTexture(tex) "
         "return select('#', w:getAspectRatio()) + select('#', w:getCenter()) + select('#', w:getTexture())",
         "0", nullptr},
    };
    TEST_runCallRows(IMAGES, rows);
}

// l is a new polyline; q has the points (0, 0), (1, 0), (1, 1).
const char *const POLYLINES = "l = newPolyline(scene) l:setName('l') q = newPolyline(scene) q:setName('q') "
                              "q:addPoints({v2(0, 0), v2(1, 0), v2(1, 1)})";

TEST(OverlayBindings, PolylinePointsCountFromOne)
{
    static const TEST_CallRow rows[] = {
        {"return l:getType(), getmetatable(l) == newPolyline, l:getPointsCount(), l:getClosed(), "
         "string.format('%.17g', l:getThickness()), l:distanceToPoint(v2(0, 0)) == INFINITE_PLUS",
         "12,true,0,true,0.0099999997764825821,true", nullptr},
        {"l:addPoints({v2(0, 0), v2(1, 0), v2(1, 0), v2(1, 1)}) "
         "return l:getPointsCount(), R(l:getPoint(1)), R(l:getPoint(2)), R(l:getPoint(3))",
         "3,(0,0),(1,0),(1,1)", nullptr},
        {"return select('#', q:getPoint(0)), select('#', q:getPoint(4)), select('#', q:getPoint(-2147483648)), "
         "select('#', q:getPoint(0/0)), select('#', q:getPoint(1e308)), select('#', l:getPoint(1))",
         "0,0,0,0,0,0", nullptr},
        {"return q:getPoint('x')", "", "Invalid type (string) for argument #1, <I> type argument(s) expected"},
        // A point equal to the last one is dropped, also across calls.
        {"q:addPoints({v2(1, 1), v2(2, 2)}) q:addPoints({v2(2, 2)}) return q:getPointsCount(), R(q:getPoint(4))",
         "4,(2,2)", nullptr},
        {"l:addPoints({v2(0, 0), 5, v2(1, 1)}) return l:getPointsCount(), R(l:getPoint(2))", "2,(1,1)",
         "Wrong element in table, 2D vector element expected"},
        {"l:addPoints({v3(0, 0, 0)}) return l:getPointsCount()", "0",
         "Wrong element in table, 2D vector element expected"},
        {"l:addPoints(v2(0, 0)) return l:getPointsCount()", "0",
         "Wrong argument, Table of 2D vector argument expected"},
        {"l:addPoints({v2(0, 0)}, {}) return l:getPointsCount()", "0",
         "Wrong argument, Table of 2D vector argument expected"},
        {"l:addPoints() return l:getPointsCount()", "0", "Wrong argument, Table of 2D vector argument expected"},
        {"q:setPoints({v2(5, 5)}) return q:getPointsCount(), R(q:getPoint(1))", "1,(5,5)", nullptr},
        // The points go before the argument is looked at.
        {"q:setPoints(5) return q:getPointsCount()", "0", "Wrong argument, Table of 2D vector argument expected"},
        {"q:clear() return q:getPointsCount()", "0", nullptr},
        // A copy of a polyline has its points, and its own.
        {"local c = newPolyline(scene, q) c:addPoints({v2(3, 3)}) return c:getPointsCount(), q:getPointsCount()", "4,3",
         nullptr},
        {"newPolyline(scene, newImage(scene))", "error: t:1: bad argument #2 to 'newPolyline' (newPolyline)", nullptr},
        {"q:delete() q:addPoints({v2(7, 7)}) q:clear() return select('#', q:getPointsCount()) + "
         "select('#', q:getPoint(1)) + select('#', q:distanceToPoint(v2()))",
         "0", nullptr},
        {"return select(2, pcall(newPolyline.getPointsCount, newText(scene)))",
         "bad argument #1 to 'newPolyline.getPointsCount' (newPolyline)", nullptr},
    };
    TEST_runCallRows(POLYLINES, rows);
}

TEST(OverlayBindings, PolylineLineAndFill)
{
    static const TEST_CallRow rows[] = {
        {"return select('#', l:getColor()) + select('#', l:getFillColor()) + select('#', l:getMaterial())", "0",
         nullptr},
        {"l:setColor(color(0, 1, 0, 0.5)) return R(l:getColor()), getmetatable(l:getMaterial()) == newMaterial",
         "(0,1,0,0.5),true", nullptr},
        {"l:setColor() return select('#', l:getColor())", "0", nullptr},
        {"l:setColor(color(), color())", "", "Too much arguments, <|C> argument(s) expected"},
        {"l:setColor(5)", "error: t:1: bad argument #1 to 'setColor' (color expected, got number)", nullptr},
        {"l:setFillColor(color(1, 0, 0, 1)) return R(l:getFillColor())", "(1,0,0,1)", nullptr},
        {"l:setFillColor(color(1, 0, 0, 1)) l:setFillColor() return select('#', l:getFillColor())", "0", nullptr},
        {"l:setFillColor(color(1, 0, 0, 1)) l:setFillColor(color(), color()) return select('#', l:getFillColor())", "0",
         "Too much arguments, <|C> argument(s) expected"},
        {"l:setFillColor(nil)", "error: t:1: bad argument #1 to 'setFillColor' (color expected, got nil)", nullptr},
        {"l:setTexture(tex) return l:getMaterial():getTexture(0) == tex, R(l:getColor())", "true,(1,1,1,1)", nullptr},
        {"l:setTexture()", "error: t:1: bad argument #1 to 'setTexture' (newTexture)", nullptr},
        {"l:setThickness(0.05) l:setClosed(false) return l:getThickness(), l:getClosed()", "0.05,false", nullptr},
        {"l:setThickness('x') l:setClosed(0) return R(l:getThickness()), l:getClosed()", "0.01,true",
         "Invalid type (string) for argument #1, <N> type argument(s) expected"},
        // Open (0, 0) to (1, 0) with thickness 0.1: the edge of the line is
        // 0.1 from the points.
        {"l:addPoints({v2(0, 0), v2(1, 0)}) l:setClosed(false) l:setThickness(0.1) "
         "return R(l:distanceToPoint(v2(0.5, 0.5))), R(l:distanceToPoint(v2(0.5, 0))), R(l:distanceToPoint(v2(2, "
         "0)))",
         "0.4,-0.1,0.9", nullptr},
        {"l:addPoints({v2(0, 0)}) l:setClosed(false) return R(l:distanceToPoint(v2(3, 4)))", "4.99", nullptr},
        {"l:distanceToPoint(5)", "error: t:1: bad argument #1 to 'distanceToPoint' (v2 expected, got number)", nullptr},
        {"l:delete() l:setColor(color()) l:setFillColor(color()) l:setTexture(tex) l:setThickness(1) "
         "return select('#', l:getThickness()) + select('#', l:getClosed()) + select('#', l:getColor())",
         "0", nullptr},
    };
    TEST_runCallRows(POLYLINES, rows);
}

// What the line and fill methods leave in the engine.
TEST(OverlayBindings, PolylineFlags)
{
    KindsFixture f;
    ASSERT_EQ(f.run(POLYLINES), "") << f.log();
    MDL_Polyline *l = dynamic_cast<MDL_Polyline *>(f.object("l"));
    ASSERT_NE(l, nullptr);
    ASSERT_EQ(f.run("l:setColor()"), "");
    EXPECT_TRUE(l->isLineVisible());
    EXPECT_EQ(l->getMaterial(), nullptr);
    ASSERT_EQ(f.run("l:setColor(color(1, 0, 0, 1))"), "");
    ASSERT_TRUE(l->ownsMaterial());
    MDL_Material *material = l->getMaterial();
    ASSERT_EQ(f.run("l:setColor(color(0, 0, 1, 1)) l:setTexture(tex)"), "");
    EXPECT_EQ(l->getMaterial(), material); // the material it has takes the changes
    EXPECT_EQ(material->getLayerCount(), 1);
    // setColor(nil) hides the line for good; the last argument counts.
    ASSERT_EQ(f.run("l:setColor(nil)"), "");
    EXPECT_FALSE(l->isLineVisible());
    ASSERT_EQ(f.run("l:setColor(color(0, 1, 0, 1))"), "");
    EXPECT_FALSE(l->isLineVisible());
    ASSERT_EQ(f.run("l:setFillColor(color(0, 1, 0, 1)) return l:getFillColor() ~= nil"), "true");
    EXPECT_TRUE(l->isFilled());
    EXPECT_FALSE(f.reported()) << f.log();
}

// A table whose reading deletes the polyline half way: the points read
// before stay, nothing is written after.
TEST(OverlayBindings, PolylineDeletedWhileItsPointsAreRead)
{
    KindsFixture f;
    ASSERT_EQ(f.run(POLYLINES), "") << f.log();
    MDL_Polyline *l = dynamic_cast<MDL_Polyline *>(f.object("l"));
    ASSERT_NE(l, nullptr);
    EXPECT_EQ(f.run("local t = setmetatable({v2(0, 0), nil, v2(2, 0)}, "
                    "{__index = function() l:delete() return v2(1, 0) end}) "
                    "l:addPoints(t) return l:exist(), #t"),
              "false,3");
    EXPECT_EQ(l->getPointsCount(), 1);
    EXPECT_FALSE(f.reported()) << f.log();
}

} // namespace
