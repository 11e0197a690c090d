// Lamps as OpenGL lights: what a lit surface reads under each kind of lamp,
// which lamps get a light, and lamp and material values that OpenGL would
// refuse.
#include <cmath>

#include "tests/view/view_test_support.h"
#include "view/opengl/VIEW_GL.h"

namespace {

class RendererLights : public DrawingTest {
protected:
    // A lit quad of diffuse (1, 0.5, 0.25) facing the camera at (0, 0, 5).
    MDL_Mesh *addQuad(TestScene &scene)
    {
        return scene.addMesh(scene.square(1), scene.lit(MTH_Vector4D(1, 0.5, 0.25, 1)), 0, 0, 0);
    }

    // The diffuse colour of a light.
    std::vector<float> lightDiffuse(int light)
    {
        GLfloat values[4];
        glGetLightfv(GL_LIGHT0 + light, GL_DIFFUSE, values);
        return std::vector<float>(values, values + 4);
    }
};

TEST_F(RendererLights, SunLitColouredQuad)
{
    // A sun shining down -z (its third axis +z), white of energy 0.8,
    // without specular light, and no ambient light anywhere: the quad
    // reads 0.8 times its diffuse colour.
    TestScene scene;
    addQuad(scene);
    MDL_Lamp *sun = scene.addLamp(MDL_Lamp::LAMP_SUN, MTH_Vector3D(0, 0, 0));
    sun->m_fEnergy = 0.8;
    drawFrame(scene.m_oViewport);
    UTIL_Bitmap picture;
    readBack(picture);
    EXPECT_EQ(std::vector<int>({204, 102, 51}), VIEW_pixel(picture, 48, 32));
    EXPECT_EQ(std::vector<int>({204, 102, 51}), VIEW_pixel(picture, 30, 20));
    EXPECT_EQ(std::vector<int>({0, 0, 0}), VIEW_pixel(picture, 5, 5));
    VIEW_expectGolden(picture, "lit_quad");
}

TEST_F(RendererLights, KindsOfLamp)
{
    // The centre of the quad under one lamp of each kind, all of energy 1
    // (the quad's red channel: 255 lit square on, 0 unlit).
    struct Case {
        const char *name;
        int kind;
        MTH_Vector3D position;
        MTH_Vector3D axis; // the lamp's third axis
        int red;
    } cases[] = {
        {"sun along -z, far to the side", MDL_Lamp::LAMP_SUN, MTH_Vector3D(40, -30, 2), MTH_Vector3D(0, 0, 1), 255},
        {"sun along +x, across the quad", MDL_Lamp::LAMP_SUN, MTH_Vector3D(0, 0, 3), MTH_Vector3D(1, 0, 0), 0},
        {"point lamp above the centre", MDL_Lamp::LAMP_POINT, MTH_Vector3D(0, 0, 30), MTH_Vector3D(1, 0, 0), 255},
        {"point lamp below the quad", MDL_Lamp::LAMP_POINT, MTH_Vector3D(0, 0, -3), MTH_Vector3D(0, 0, 1), 0},
        {"spot aimed at the quad", MDL_Lamp::LAMP_SPOT, MTH_Vector3D(0, 0, 30), MTH_Vector3D(0, 0, 1), 255},
        {"spot aimed away", MDL_Lamp::LAMP_SPOT, MTH_Vector3D(0, 0, 3), MTH_Vector3D(0, 0, -1), 0},
    };
    for (const Case &c : cases) {
        TestScene scene;
        addQuad(scene);
        MDL_Lamp *lamp = scene.addLamp(c.kind, c.position);
        lamp->m_fSpotExponent = 0;
        MTH_Vector3D z = c.axis, x = std::fabs(z.m_fX) > 0.5 ? MTH_Vector3D(0, 1, 0) : MTH_Vector3D(1, 0, 0);
        MTH_Matrix3x3 &basis = lamp->editGlobalBasis();
        basis.row(0) = x;
        basis.row(1) = z.cross(x);
        basis.row(2) = z;
        drawFrame(scene.m_oViewport);
        UTIL_Bitmap picture;
        readBack(picture);
        ASSERT_EQ(3u, VIEW_pixel(picture, 48, 32).size());
        EXPECT_NEAR(c.red, VIEW_pixel(picture, 48, 32)[0], 2) << c.name;
    }
}

TEST_F(RendererLights, LampsTakeLightsInListOrder)
{
    // Ten lamps, the second off: the other nine in order take lights 0 to
    // 7 and the last is left out, with its shadows; a lamp that is off takes
    // no light, with its shadows neither.
    TestScene scene;
    std::vector<MDL_Lamp *> lamps;
    for (int i = 0; i < 10; i++) {
        lamps.push_back(scene.addLamp(MDL_Lamp::LAMP_POINT, MTH_Vector3D(0, 0, 3)));
        lamps.back()->m_oColor = MTH_Vector4D(i / 16.0, 0, 0, 1);
    }
    lamps[1]->m_bOn = false;
    lamps[1]->m_bShadows = true;
    lamps[9]->m_bShadows = true;
    m_poRenderer->beginFrame(nullptr, false);
    ASSERT_TRUE(m_poRenderer->setProjection(scene.m_poCamera, MTH_Vector2D(0, 0), MTH_Vector2D(96, 64)));
    int index = 7;
    EXPECT_EQ(nullptr, m_poRenderer->setupLights(&scene.m_oScene, index));
    EXPECT_EQ(-1, index);
    EXPECT_EQ(nullptr, scene.m_oScene.getShadowLamp());
    const int expected[8] = {0, 2, 3, 4, 5, 6, 7, 8};
    for (int k = 0; k < 8; k++) {
        EXPECT_TRUE(glIsEnabled(GL_LIGHT0 + k)) << k;
        EXPECT_FLOAT_EQ(expected[k] / 16.0f, lightDiffuse(k)[0]) << k;
    }

    // A lamp among the eight with shadows is the shadow lamp, also of the
    // scene, whose shadow volumes are built for it.
    lamps[4]->m_bShadows = true;
    EXPECT_EQ(lamps[4], m_poRenderer->setupLights(&scene.m_oScene, index));
    EXPECT_EQ(3, index);
    EXPECT_EQ(lamps[4], scene.m_oScene.getShadowLamp());
    expectNoGLError("lights");
}

TEST_F(RendererLights, ValuesOpenGLWouldRefuseAreBroughtIntoRange)
{
    // A spot whose cone is wider than OpenGL's widest and whose exponents
    // are out of range, an attenuation distance of 0, and shininess below 0
    // and above the cap: no OpenGL error, values in range, and the lamp at
    // distance 0 still lights the surface under it.
    struct Case {
        const char *name;
        double spotSize, spotExponent, distance, shininess;
        float cutoff, exponent;
    } cases[] = {
        {"wide cone, large exponent", 120, 1000, 20, 500, 90, 128},
        {"negative cone and exponent", -5, -3, 20, -4, 0, 0},
        {"not a number", NAN, NAN, NAN, NAN, 0, 0},
        {"distance 0", 45, 0, 0, 50, 45, 0},
    };
    for (const Case &c : cases) {
        TestScene scene;
        MDL_Mesh *quad = addQuad(scene);
        quad->getMaterial()->m_fShininess = c.shininess;
        quad->getMaterial()->m_oSpecular = MTH_Vector4D(1, 1, 1, 1);
        MDL_Lamp *spot = scene.addLamp(MDL_Lamp::LAMP_SPOT, MTH_Vector3D(0, 0, 30));
        spot->m_fSpotSize = c.spotSize;
        spot->m_fSpotExponent = c.spotExponent;
        spot->m_fDistance = c.distance;
        spot->m_fQuad1 = spot->m_fQuad2 = 1;
        drawFrame(scene.m_oViewport);
        GLfloat cutoff = -1, exponent = -1, linear = -1, quadratic = -1, shininess = -1;
        glGetLightfv(GL_LIGHT0, GL_SPOT_CUTOFF, &cutoff);
        glGetLightfv(GL_LIGHT0, GL_SPOT_EXPONENT, &exponent);
        glGetLightfv(GL_LIGHT0, GL_LINEAR_ATTENUATION, &linear);
        glGetLightfv(GL_LIGHT0, GL_QUADRATIC_ATTENUATION, &quadratic);
        glGetMaterialfv(GL_FRONT, GL_SHININESS, &shininess);
        EXPECT_EQ(c.cutoff, cutoff) << c.name;
        EXPECT_EQ(c.exponent, exponent) << c.name;
        EXPECT_TRUE(std::isfinite(linear) && linear >= 0) << c.name << " " << linear;
        EXPECT_TRUE(std::isfinite(quadratic) && quadratic >= 0) << c.name << " " << quadratic;
        EXPECT_TRUE(shininess >= 0 && shininess <= 128) << c.name << " " << shininess;
        if (c.distance == 0) {
            EXPECT_EQ(0, linear);
            UTIL_Bitmap picture;
            readBack(picture);
            EXPECT_GT(VIEW_pixel(picture, 48, 32)[0], 200) << c.name;
        }
    }
}

} // namespace
