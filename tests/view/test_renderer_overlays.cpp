// A scene's overlays drawn by the viewport pipeline over its 3D view: texts,
// images and polylines in units of the viewport's width, in depth order,
// compared with reference images and probed in their flat areas.
#include <cmath>

#include "model/MDL_Font.h"
#include "model/MDL_Image.h"
#include "model/MDL_Polyline.h"
#include "model/MDL_Text.h"
#include "tests/view/view_test_support.h"

namespace {

using P = MTH_Vector2D;
using RGB = std::vector<int>;

const RGB WHITE = {255, 255, 255};

class RendererOverlays : public DrawingTest {
protected:
    void SetUp() override
    {
        m_iWidth = 160;
        m_iHeight = 120;
        DrawingTest::SetUp();
        m_oScene.m_oViewport.m_oViewportBackground = MTH_Vector4D(1, 1, 1, 1);
    }

    // One frame of the scene's viewport over the whole framebuffer.
    void draw(UTIL_Bitmap &picture)
    {
        m_poRenderer->beginFrame(nullptr, false);
        m_poRenderer->renderViewport(&m_oScene.m_oViewport, P(0, 0), P(m_iWidth, m_iHeight));
        m_poRenderer->present(nullptr);
        expectNoGLError("overlays");
        readBack(picture);
    }

    // An overlay placed at (x, y, z) in units of the viewport's width, its
    // axes scaled by (sx, sy), added to the scene (which owns it).
    template <typename T> T *add(T *overlay, double x, double y, double z, double sx = 1, double sy = 1)
    {
        overlay->editGlobalPosition() = MTH_Vector3D(x, y, z);
        overlay->editGlobalBasis().scaleRows(MTH_Vector3D(sx, sy, 1));
        m_oScene.m_oScene.addObject(overlay);
        return overlay;
    }

    MDL_Polyline *polyline(const std::vector<P> &points, bool closed, double thickness, MDL_Material *material)
    {
        MDL_Polyline *line = new MDL_Polyline();
        for (const P &p : points)
            line->addPoint(p);
        line->setClosed(closed);
        line->setThickness(thickness);
        line->setMaterial(material);
        return line;
    }

    MDL_Text *text(const char *s, double size, const MTH_Vector4D &color)
    {
        MDL_Text *t = new MDL_Text();
        t->setFont(&m_oFont);
        t->setSize(size);
        t->setColor(color);
        t->setText(s);
        return t;
    }

    // A 2 x 2 checker sampled nearest: green, yellow on the top row, white,
    // blue below.
    MDL_Texture *checker()
    {
        const unsigned char pixels[12] = {255, 255, 255, 0, 0, 255, 0, 255, 0, 255, 255, 0};
        return VIEW_newTexture(VIEW_encodePng(2, 2, 3, pixels), MDL_FILTER_NEAREST_POINT);
    }

    MDL_Font m_oFont{"default", nullptr, 0, false};
    TestScene m_oScene;
};

TEST_F(RendererOverlays, Texts)
{
    // A text on a translucent background, with a tab and a second line, and
    // a text turned by 30 degrees, in front of a mesh.
    m_oScene.addMesh(m_oScene.square(0.5), m_oScene.shadeless(MTH_Vector4D(0.6, 0.6, 0.6, 1)), 0, 0, 0);
    MDL_Text *boxed = add(text("Vekta\t1\nline 2", 0.08, MTH_Vector4D(0.1, 0.1, 0.5, 1)), 0.1, 0.2, 1);
    boxed->setBackgroundColor(MTH_Vector4D(1, 0.8, 0, 0.5));
    MDL_Text *turned = add(text("turned", 0.06, MTH_Vector4D(0.7, 0, 0, 1)), 0.55, 0.6, 1);
    turned->editGlobalBasis().rotate(MTH_Vector3D(0, 0, 1), 30 * M_PI / 180);
    UTIL_Bitmap picture;
    draw(picture);
    // The background over white at its top left corner (above the first
    // letter), over the grey mesh at its bottom right one (after the
    // shorter second line).
    double x0, y0, x1, y1;
    boxed->getBoundingBox(x0, y0, x1, y1);
    int left = static_cast<int>(std::ceil(160 * (0.1 + x0))), top = static_cast<int>(std::ceil(160 * (0.2 + y0)));
    int right = static_cast<int>(160 * (0.1 + x1)) - 1, bottom = static_cast<int>(160 * (0.2 + y1)) - 1;
    EXPECT_TRUE(VIEW_near({255, 229, 127}, VIEW_pixel(picture, left, top), 1));
    EXPECT_EQ(WHITE, VIEW_pixel(picture, left - 2, top));
    EXPECT_EQ(WHITE, VIEW_pixel(picture, left, top - 2));
    EXPECT_TRUE(VIEW_near({204, 178, 76}, VIEW_pixel(picture, right, bottom), 1));
    EXPECT_EQ(RGB({153, 153, 153}), VIEW_pixel(picture, right + 2, bottom));
    VIEW_expectGolden(picture, "overlay_texts");
}

TEST_F(RendererOverlays, Images)
{
    // A textured image a quarter of the width wide at (0.1, 0.1) and one
    // without a texture in its material's colour, half as wide and twice as
    // high, at (0.5, 0.1); an image without a material is white, over a
    // black mesh.
    m_oScene.addMesh(m_oScene.square(3), m_oScene.shadeless(MTH_Vector4D(0, 0, 0, 1)), 0, 0, 0);
    add(new MDL_Image(), 0.1, 0.1, 1, 0.25, 0.25)->setMaterial(m_oScene.shadeless(MTH_Vector4D(1, 1, 1, 1), checker()));
    add(new MDL_Image(), 0.5, 0.1, 1, 0.125, 0.25)->setMaterial(m_oScene.shadeless(MTH_Vector4D(0.2, 0.4, 1, 1)));
    add(new MDL_Image(), 0.75, 0.4, 1, 0.1, 0.1);
    UTIL_Bitmap picture;
    draw(picture);
    // The checker spans 16..56 both ways, the texture's top row at the top.
    EXPECT_EQ(RGB({0, 255, 0}), VIEW_pixel(picture, 20, 20));
    EXPECT_EQ(RGB({255, 255, 0}), VIEW_pixel(picture, 52, 20));
    EXPECT_EQ(RGB({255, 255, 255}), VIEW_pixel(picture, 20, 52));
    EXPECT_EQ(RGB({0, 0, 255}), VIEW_pixel(picture, 52, 52));
    EXPECT_EQ(RGB({0, 0, 0}), VIEW_pixel(picture, 58, 30));
    // The plain image spans x 80..100 and y 16..56.
    EXPECT_EQ(RGB({51, 102, 255}), VIEW_pixel(picture, 82, 54));
    EXPECT_EQ(RGB({0, 0, 0}), VIEW_pixel(picture, 102, 30));
    EXPECT_EQ(WHITE, VIEW_pixel(picture, 125, 70));
    VIEW_expectGolden(picture, "overlay_images");
}

TEST_F(RendererOverlays, AFilledClosedPolyline)
{
    // An L of side 1 under a frame that halves it and moves it to (0.1,
    // 0.05): a green fill with a black outline; the notch at its upper right
    // stays white.
    MDL_Material *black = m_oScene.shadeless(MTH_Vector4D(0, 0, 0, 1));
    MDL_Polyline *ell = polyline({P(0, 0), P(1, 0), P(1, 0.5), P(0.5, 0.5), P(0.5, 1), P(0, 1)}, true, 0.02, black);
    ell->setFilled(true);
    ell->setFillColor(MTH_Vector4D(0, 0.6, 0.2, 1));
    add(ell, 0.1, 0.05, 1, 0.5, 0.5);
    UTIL_Bitmap picture;
    draw(picture);
    // In pixels the L runs from (16, 8) to (96, 88).
    EXPECT_EQ(RGB({0, 153, 51}), VIEW_pixel(picture, 30, 60));
    EXPECT_EQ(RGB({0, 153, 51}), VIEW_pixel(picture, 80, 30));
    EXPECT_EQ(WHITE, VIEW_pixel(picture, 80, 70));
    EXPECT_EQ(RGB({0, 0, 0}), VIEW_pixel(picture, 50, 8));
    EXPECT_EQ(RGB({0, 0, 0}), VIEW_pixel(picture, 56, 48));
    EXPECT_EQ(WHITE, VIEW_pixel(picture, 50, 3));
    VIEW_expectGolden(picture, "overlay_filled_polyline");
}

TEST_F(RendererOverlays, ATranslucentLineIsBlendedTwice)
{
    // A red line at alpha 0.5 over white: once in the layer loop and once
    // after it, which gives a quarter of the white; a translucent fill is
    // blended once, also after an image whose texture turns the alpha test
    // on.
    MDL_Texture *cutOut = checker();
    cutOut->m_bBinaryAlpha = true;
    add(new MDL_Image(), 0.75, 0.5, 0.5, 0.1, 0.1)->setMaterial(m_oScene.shadeless(MTH_Vector4D(1, 1, 1, 1), cutOut));
    MDL_Polyline *line =
        polyline({P(0.1, 0.1), P(0.9, 0.1), P(0.9, 0.4)}, false, 0.03, m_oScene.shadeless(MTH_Vector4D(1, 0, 0, 0.5)));
    add(line, 0, 0, 1);
    MDL_Polyline *square = polyline({P(0.1, 0.5), P(0.4, 0.5), P(0.4, 0.7), P(0.1, 0.7)}, true, 0.01, nullptr);
    square->setLineVisible(false);
    square->setFilled(true);
    square->setFillColor(MTH_Vector4D(0, 0, 1, 0.5));
    add(square, 0, 0, 0.8);
    UTIL_Bitmap picture;
    draw(picture);
    EXPECT_TRUE(VIEW_near({255, 63, 63}, VIEW_pixel(picture, 80, 16), 1));
    EXPECT_TRUE(VIEW_near({255, 63, 63}, VIEW_pixel(picture, 144, 40), 1));
    EXPECT_TRUE(VIEW_near({127, 127, 255}, VIEW_pixel(picture, 40, 96), 1));
    VIEW_expectGolden(picture, "overlay_translucent_line");
}

TEST_F(RendererOverlays, DepthOrderAcrossKinds)
{
    // Listed from the top down, drawn from the bottom up: a polyline under
    // an image under a text's background.
    MDL_Text *top = add(text("A", 0.1, MTH_Vector4D(0, 0, 0, 1)), 0.2, 0.3, 3);
    top->setBackgroundColor(MTH_Vector4D(1, 0, 0, 1));
    add(new MDL_Image(), 0.15, 0.15, 2, 0.3, 0.3)->setMaterial(m_oScene.shadeless(MTH_Vector4D(0, 0, 1, 1)));
    MDL_Polyline *under = polyline({P(0.1, 0.1), P(0.6, 0.1), P(0.6, 0.6), P(0.1, 0.6)}, true, 0.01, nullptr);
    under->setFilled(true);
    under->setFillColor(MTH_Vector4D(0, 1, 0, 1));
    add(under, 0, 0, 1);
    UTIL_Bitmap picture;
    draw(picture);
    double x0, y0, x1, y1;
    top->getBoundingBox(x0, y0, x1, y1);
    EXPECT_EQ(RGB({0, 255, 0}), VIEW_pixel(picture, 20, 20));
    EXPECT_EQ(RGB({0, 0, 255}), VIEW_pixel(picture, 28, 28));
    // The background's top left corner, above the letter.
    EXPECT_EQ(RGB({255, 0, 0}),
              VIEW_pixel(picture, static_cast<int>(160 * (0.2 + x0)) + 1, static_cast<int>(160 * (0.3 + y0)) + 1));
}

TEST_F(RendererOverlays, ClosedPolylinesOfOneAndTwoPointsDrawTheirStartCap)
{
    // A new polyline is closed: of one point it draws the half octagon
    // behind it (along x), of two points the half octagon behind the first
    // (away from the second), and nothing along their segment. Where they
    // are hit is where they are drawn.
    MDL_Material *red = m_oScene.shadeless(MTH_Vector4D(1, 0, 0, 1));
    MDL_Material *blue = m_oScene.shadeless(MTH_Vector4D(0, 0, 1, 1));
    std::vector<MDL_Polyline *> lines = {
        add(polyline({P(0.25, 0.3)}, true, 0.08, red), 0, 0, 1),
        add(polyline({P(0.55, 0.3), P(0.9, 0.3)}, true, 0.08, red), 0, 0, 1),
        add(polyline({P(0.3, 0.55), P(0.1, 0.7)}, true, 0.05, blue), 0, 0, 1),
    };
    UTIL_Bitmap picture;
    draw(picture);
    // The caps, 12.8 pixels wide: one behind (40, 48), one behind (88, 48),
    // and one beyond (48, 88) up and to the right.
    EXPECT_EQ(RGB({255, 0, 0}), VIEW_pixel(picture, 34, 48));
    EXPECT_EQ(WHITE, VIEW_pixel(picture, 46, 48));
    EXPECT_EQ(RGB({255, 0, 0}), VIEW_pixel(picture, 82, 48));
    EXPECT_EQ(WHITE, VIEW_pixel(picture, 110, 48));
    EXPECT_EQ(WHITE, VIEW_pixel(picture, 140, 48));
    EXPECT_EQ(RGB({0, 0, 255}), VIEW_pixel(picture, 52, 84));
    EXPECT_EQ(WHITE, VIEW_pixel(picture, 30, 100));
    // Every pixel whose centre some line hits is drawn, and every other one
    // is white; pixels an edge runs through (their corners disagree) may go
    // either way.
    int drawn = 0;
    for (int y = 0; y < m_iHeight; y++)
        for (int x = 0; x < m_iWidth; x++) {
            auto hit = [&](double dx, double dy) {
                P at((x + 0.5 + dx) / m_iWidth, (y + 0.5 + dy) / m_iWidth);
                for (MDL_Polyline *line : lines)
                    if (line->hitTest(at))
                        return true;
                return false;
            };
            bool centre = hit(0, 0);
            bool edge = false;
            for (double dx : {-0.5, 0.5})
                for (double dy : {-0.5, 0.5})
                    edge = edge || hit(dx, dy) != centre;
            if (edge)
                continue;
            EXPECT_EQ(VIEW_pixel(picture, x, y) != WHITE, centre) << x << ", " << y;
            drawn += centre ? 1 : 0;
        }
    EXPECT_GT(drawn, 100);
    VIEW_expectGolden(picture, "overlay_closed_start_caps");
}

TEST_F(RendererOverlays, PolylinesThatDrawNothing)
{
    // No points, no thickness (zero, negative, not a number), a fill
    // without an inside, and a hidden polyline: the frame stays white, with
    // no OpenGL error.
    MDL_Material *red = m_oScene.shadeless(MTH_Vector4D(1, 0, 0, 1));
    const std::vector<P> segment = {P(0.2, 0.2), P(0.8, 0.5)};
    add(polyline({}, false, 0.05, red), 0, 0, 1);
    add(polyline(segment, false, 0, red), 0, 0, 1);
    add(polyline(segment, false, -0.05, red), 0, 0, 1);
    add(polyline(segment, false, NAN, red), 0, 0, 1);
    MDL_Polyline *flat = polyline({P(0.1, 0.1), P(0.5, 0.1), P(0.9, 0.1)}, true, 0.05, red);
    flat->setFilled(true);
    flat->setFillColor(MTH_Vector4D(1, 0, 0, 1));
    flat->setLineVisible(false);
    add(flat, 0, 0, 1);
    add(polyline(segment, false, 0.05, red), 0, 0, 1)->disableState(STATE_VISIBLE, SCOPE_OBJECT);
    UTIL_Bitmap picture;
    draw(picture);
    EXPECT_TRUE(VIEW_inkExtent(picture, WHITE, 0, 0, 0, m_iWidth - 1, m_iHeight - 1).empty());
}

} // namespace
