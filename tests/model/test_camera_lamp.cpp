#include <cfloat>
#include <cmath>
#include <string>

#include <gtest/gtest.h>
#include <tinyxml.h>

#include "model/MDL_Camera.h"
#include "model/MDL_Lamp.h"
#include "tests/support/TEST_Support.h"

namespace {

const double DEFAULT_ANGLE = 0.8576547837773691;
const double DEFAULT_FOCAL = 2.1872144498207944;

// Parses one element from text; the document keeps it alive.
struct Xml {
    explicit Xml(const std::string &text) { m_oDocument.Parse(text.c_str()); }
    const TiXmlElement *root() const { return m_oDocument.RootElement(); }
    TiXmlDocument m_oDocument;
};

bool isFinite(const MTH_Vector3D &v)
{
    return std::isfinite(v.m_fX) && std::isfinite(v.m_fY) && std::isfinite(v.m_fZ);
}

// --- camera ---

TEST(MdlCamera, Defaults)
{
    MDL_Camera camera;
    EXPECT_EQ(OBJECT_CAMERA, camera.getType());
    EXPECT_EQ(DEFAULT_ANGLE, camera.m_fAngle);
    EXPECT_EQ(DEFAULT_FOCAL, camera.m_fFocal);
    EXPECT_EQ(1.0, camera.m_fClipStart);
    EXPECT_EQ(100.0, camera.m_fClipEnd);
    EXPECT_EQ(STATE_VISIBLE, camera.getState());
}

TEST(MdlCamera, LoadFromXml)
{
    const struct {
        const char *body;
        double angle, focal, clipStart, clipEnd;
    } cases[] = {
        {"", DEFAULT_ANGLE, DEFAULT_FOCAL, 1, 100},
        {"<angle>90</angle>", M_PI / 2, 1, 1, 100},
        {"<angle>90</angle><clip_start>0.5</clip_start><clip_end>250</clip_end>", M_PI / 2, 1, 0.5, 250},
        {"<clip_start>-5</clip_start><clip_end>1e300</clip_end>", DEFAULT_ANGLE, DEFAULT_FOCAL, -5, 1e300},
        // Extra numbers are ignored; a missing number keeps the value.
        {"<clip_start>3 4</clip_start><clip_end></clip_end>", DEFAULT_ANGLE, DEFAULT_FOCAL, 3, 100},
        // An angle of 0 has no focal value; NaN and infinity are not numbers to keep.
        {"<angle>0</angle>", DEFAULT_ANGLE, DEFAULT_FOCAL, 1, 100},
        {"<angle>nan</angle><clip_start>inf</clip_start>", DEFAULT_ANGLE, DEFAULT_FOCAL, 1, 100},
        {"<angle>1e999</angle><clip_end>-1e999</clip_end>", DEFAULT_ANGLE, DEFAULT_FOCAL, 1, 100},
        {"<angle></angle>", DEFAULT_ANGLE, DEFAULT_FOCAL, 1, 100},
    };
    for (const auto &c : cases) {
        Xml xml(std::string("<object type=\"Camera\" name=\"cam\">") + c.body + "</object>");
        MDL_Camera camera;
        EXPECT_TRUE(camera.loadFromXML(xml.root())) << c.body;
        EXPECT_STREQ("cam", camera.getName());
        EXPECT_EQ(c.angle, camera.m_fAngle) << c.body;
        EXPECT_EQ(c.focal, camera.m_fFocal) << c.body;
        EXPECT_EQ(c.clipStart, camera.m_fClipStart) << c.body;
        EXPECT_EQ(c.clipEnd, camera.m_fClipEnd) << c.body;
    }
    MDL_Camera camera;
    EXPECT_FALSE(camera.loadFromXML(nullptr));
}

TEST(MdlCamera, SetFovKeepsFocalFinite)
{
    const struct {
        double angle;
        bool accepted;
        double focal;
    } cases[] = {
        {M_PI / 2, true, 1},   {2 * M_PI / 3, true, 1 / std::sqrt(3.0)},
        {-M_PI / 2, true, -1}, {0, false, 0},
        {-0.0, false, 0},      {5e-324, false, 0},
        {NAN, false, 0},       {INFINITY, false, 0},
        {-INFINITY, false, 0},
    };
    for (const auto &c : cases) {
        MDL_Camera camera;
        EXPECT_EQ(c.accepted, camera.setFOV(c.angle)) << c.angle;
        if (c.accepted) {
            EXPECT_EQ(c.angle, camera.m_fAngle);
            EXPECT_NEAR(c.focal, camera.m_fFocal, 1e-15);
        } else {
            EXPECT_EQ(DEFAULT_ANGLE, camera.m_fAngle);
            EXPECT_EQ(DEFAULT_FOCAL, camera.m_fFocal);
        }
    }
    // Huge angles still give a finite, non-zero focal value.
    MDL_Camera camera;
    EXPECT_TRUE(camera.setFOV(1e300));
    EXPECT_TRUE(std::isfinite(camera.m_fFocal));
    EXPECT_NE(0, camera.m_fFocal);
}

TEST(MdlCamera, ProjectAtOrigin)
{
    // A right angle: focal 1; points in front lie at negative z.
    MDL_Camera camera;
    camera.setFOV(M_PI / 2);
    const struct {
        MTH_Vector3D point, projected;
    } cases[] = {
        {{1, 2, -4}, {-0.25, -0.5, -4}},
        {{0, 0, -1}, {0, 0, -1}},
        {{-3, 6, -3}, {1, -2, -3}},
        {{2, 2, 2}, {1, 1, 2}}, // behind the camera
    };
    for (const auto &c : cases) {
        MTH_Vector3D out;
        camera.project(c.point, out);
        EXPECT_EQ(c.projected, out);
        MTH_Vector3D back;
        camera.unproject(out, back);
        EXPECT_EQ(c.point, back);
    }
}

TEST(MdlCamera, UnprojectInvertsProjectInAPlacedCamera)
{
    MDL_Camera camera;
    MTH_Frame &frame = camera.editGlobalFrame();
    frame.m_oBasis.setEulerAngles(0.3, -1.1, 2.0);
    frame.m_oBasis.scale(1.5);
    frame.m_oPosition = MTH_Vector3D(4, -2, 7);
    frame.invalidateInverse();
    camera.setFOV(1.2);

    const MTH_Vector3D cameraPoints[] = {{0, 0, -1}, {3, -2, -10}, {-50, 20, -80}, {1e-3, 1e-3, -1e-3}};
    for (const MTH_Vector3D &local : cameraPoints) {
        MTH_Vector3D scenePoint;
        camera.getGlobalFrame().globalPoint(local, scenePoint);
        MTH_Vector3D projected, back;
        camera.project(scenePoint, projected);
        EXPECT_NEAR(local.m_fZ, projected.m_fZ, 1e-12);
        camera.unproject(projected, back);
        expectNear(scenePoint, back, 1e-12 * (1 + scenePoint.length()));
    }
}

TEST(MdlCamera, DegenerateInputsStayFinite)
{
    // A point on the camera plane is taken as lying just in front of it.
    MDL_Camera camera;
    camera.setFOV(M_PI / 2);
    MTH_Vector3D out;
    camera.project(MTH_Vector3D(2, -3, 0), out);
    EXPECT_EQ(MTH_Vector3D(-DBL_MAX, DBL_MAX, 0), out);
    camera.project(MTH_Vector3D(0, 0, 0), out);
    EXPECT_EQ(MTH_Vector3D(0, 0, 0), out);
    camera.project(MTH_Vector3D(1, 1, -1e-320), out);
    EXPECT_TRUE(isFinite(out));

    // A zero basis inverts to the identity; NaN and huge bases are folded.
    const MTH_Vector3D rows[][3] = {
        {{0, 0, 0}, {0, 0, 0}, {0, 0, 0}},
        {{1, 0, 0}, {1, 0, 0}, {0, 0, 1}},
        {{NAN, 0, 0}, {0, 1, 0}, {0, 0, 1}},
        {{1e300, 0, 0}, {0, 1e300, 0}, {0, 0, 1e300}},
        {{INFINITY, 0, 0}, {0, 1, 0}, {0, 0, -INFINITY}},
    };
    for (const auto &r : rows) {
        MDL_Camera c;
        MTH_Matrix3x3 &basis = c.editGlobalBasis();
        for (int i = 0; i < 3; i++)
            basis.row(i) = r[i];
        for (const MTH_Vector3D &p : {MTH_Vector3D(1, 2, -3), MTH_Vector3D(1e300, -1e300, 1e300)}) {
            c.project(p, out);
            EXPECT_TRUE(isFinite(out));
            c.unproject(p, out);
            EXPECT_TRUE(isFinite(out));
        }
    }

    // A focal value written directly as 0 or NaN does not divide by zero.
    for (double focal : {0.0, double(NAN), double(INFINITY)}) {
        MDL_Camera c;
        c.m_fFocal = focal;
        c.unproject(MTH_Vector3D(1, 1, -1), out);
        EXPECT_TRUE(isFinite(out));
        c.project(MTH_Vector3D(1, 1, -1), out);
        EXPECT_TRUE(isFinite(out));
    }
}

TEST(MdlCamera, CopyKeepsSettings)
{
    MDL_Camera camera;
    camera.setName("eye");
    camera.setFOV(1.0);
    camera.m_fClipStart = 0.25;
    camera.m_fClipEnd = 12;
    camera.editLocalPosition() = MTH_Vector3D(1, 2, 3);
    MDL_Camera copy(camera);
    EXPECT_EQ(OBJECT_CAMERA, copy.getType());
    EXPECT_STREQ("eye", copy.getName());
    EXPECT_EQ(camera.m_fAngle, copy.m_fAngle);
    EXPECT_EQ(camera.m_fFocal, copy.m_fFocal);
    EXPECT_EQ(0.25, copy.m_fClipStart);
    EXPECT_EQ(12, copy.m_fClipEnd);
    EXPECT_EQ(MTH_Vector3D(1, 2, 3), copy.getGlobalPosition());
}

// --- lamp ---

// The lamp fields a models-set element can set, for comparing whole lamps.
struct LampValues {
    int type;
    double r, g, b, energy, distance, quad1, quad2, spotSize;
    bool shadows, noDiffuse, noSpecular;
};

LampValues valuesOf(const MDL_Lamp &l)
{
    return LampValues{l.m_iLampType, l.m_oColor.m_fX, l.m_oColor.m_fY, l.m_oColor.m_fZ,
                      l.m_fEnergy,   l.m_fDistance,   l.m_fQuad1,      l.m_fQuad2,
                      l.m_fSpotSize, l.m_bShadows,    l.m_bNoDiffuse,  l.m_bNoSpecular};
}

void expectValues(const LampValues &e, const LampValues &a, const std::string &label)
{
    EXPECT_EQ(e.type, a.type) << label;
    EXPECT_EQ(e.r, a.r) << label;
    EXPECT_EQ(e.g, a.g) << label;
    EXPECT_EQ(e.b, a.b) << label;
    EXPECT_EQ(e.energy, a.energy) << label;
    EXPECT_EQ(e.distance, a.distance) << label;
    EXPECT_EQ(e.quad1, a.quad1) << label;
    EXPECT_EQ(e.quad2, a.quad2) << label;
    EXPECT_EQ(e.spotSize, a.spotSize) << label;
    EXPECT_EQ(e.shadows, a.shadows) << label;
    EXPECT_EQ(e.noDiffuse, a.noDiffuse) << label;
    EXPECT_EQ(e.noSpecular, a.noSpecular) << label;
}

TEST(MdlLamp, Defaults)
{
    MDL_Lamp lamp;
    EXPECT_EQ(OBJECT_LAMP, lamp.getType());
    EXPECT_EQ(MDL_Lamp::LAMP_POINT, lamp.m_iLampType);
    EXPECT_EQ(0, lamp.m_oColor.m_fX);
    EXPECT_EQ(0, lamp.m_oColor.m_fY);
    EXPECT_EQ(0, lamp.m_oColor.m_fZ);
    EXPECT_EQ(1.0, lamp.m_oColor.m_fW);
    EXPECT_EQ(0, lamp.m_oAmbientColor.m_fX);
    EXPECT_EQ(0, lamp.m_oAmbientColor.m_fY);
    EXPECT_EQ(0, lamp.m_oAmbientColor.m_fZ);
    EXPECT_EQ(1.0, lamp.m_oAmbientColor.m_fW);
    EXPECT_EQ(0.5, lamp.m_fShadowCoeff);
    EXPECT_EQ(1.0, lamp.m_fEnergy);
    EXPECT_EQ(20.0, lamp.m_fDistance);
    EXPECT_EQ(0, lamp.m_fQuad1);
    EXPECT_EQ(0, lamp.m_fQuad2);
    EXPECT_FALSE(lamp.m_bShadows);
    EXPECT_FALSE(lamp.m_bNoSpecular);
    EXPECT_FALSE(lamp.m_bNoDiffuse);
    EXPECT_TRUE(lamp.m_bOn);
    EXPECT_EQ(30.0, lamp.getShadowDepth());
    EXPECT_EQ(45.0, lamp.m_fSpotSize);
    EXPECT_EQ(42.0, lamp.m_fSpotExponent);
    EXPECT_EQ(SHADOW_ZPASS, lamp.getShadowType());
}

TEST(MdlLamp, TypeFromName)
{
    const struct {
        const char *name;
        int type;
    } cases[] = {
        {"None", 0},   {"Lamp", 1},  {"sun", 2}, {"SPOT", 3},  {"Hemi", 4},  {"area", 5},
        {"Photon", 6}, {"Point", 0}, {"", 0},    {nullptr, 0}, {"Spot ", 0},
    };
    for (const auto &c : cases)
        EXPECT_EQ(c.type, MDL_Lamp::typeFromName(c.name)) << (c.name ? c.name : "(null)");
}

TEST(MdlLamp, LoadReadsWhatTheKindUses)
{
    // Every element is present; each kind picks its own.
    const char *const ALL = "<color>0.1 0.2 0.3</color><energy>2</energy><no_diffuse>1</no_diffuse>"
                            "<no_specular>3</no_specular><spot_size>30</spot_size><quad1>0.25</quad1>"
                            "<quad2>0.5</quad2><distance>7</distance><shadows>1</shadows>";
    const struct {
        const char *type;
        LampValues expected;
    } cases[] = {
        {"SPOT", {3, 0.1, 0.2, 0.3, 2, 7, 0.25, 0.5, 30, true, true, true}},
        {"Lamp", {1, 0.1, 0.2, 0.3, 2, 7, 0.25, 0.5, 45, true, true, true}},
        {"sun", {2, 0.1, 0.2, 0.3, 2, 20, 0, 0, 45, true, true, true}},
        {"Hemi", {4, 0.1, 0.2, 0.3, 2, 20, 0, 0, 45, false, true, true}},
        {"Area", {5, 0.1, 0.2, 0.3, 2, 20, 0, 0, 45, false, true, true}},
        {"Photon", {6, 0.1, 0.2, 0.3, 2, 20, 0, 0, 45, false, true, true}},
        {"None", {0, 0.1, 0.2, 0.3, 2, 20, 0, 0, 45, false, true, true}},
        {"Laser", {0, 0.1, 0.2, 0.3, 2, 20, 0, 0, 45, false, true, true}},
    };
    for (const auto &c : cases) {
        Xml xml(std::string("<object type=\"Lamp\" name=\"l\"><type>") + c.type + "</type>" + ALL + "</object>");
        MDL_Lamp lamp;
        EXPECT_TRUE(lamp.loadFromXML(xml.root())) << c.type;
        EXPECT_STREQ("l", lamp.getName());
        expectValues(c.expected, valuesOf(lamp), c.type);
        // Never read from the file.
        EXPECT_EQ(1.0, lamp.m_oColor.m_fW);
        EXPECT_EQ(42.0, lamp.m_fSpotExponent);
        EXPECT_TRUE(lamp.m_bOn);
    }
}

TEST(MdlLamp, LoadWithoutTypeFails)
{
    Xml xml("<object name=\"l\"><color>1 1 1</color><distance>5</distance>"
            "<matrix>1 0 0 0 0 1 0 0 0 0 1 0 4 5 6 1</matrix></object>");
    MDL_Lamp lamp;
    EXPECT_FALSE(lamp.loadFromXML(xml.root()));
    // The base reader ran; nothing else was read.
    EXPECT_STREQ("l", lamp.getName());
    EXPECT_EQ(MTH_Vector3D(4, 5, 6), lamp.getGlobalPosition());
    expectValues(valuesOf(MDL_Lamp()), valuesOf(lamp), "no type");
    EXPECT_FALSE(lamp.loadFromXML(nullptr));
}

TEST(MdlLamp, LoadKeepsDefaultsForBadValues)
{
    const LampValues defaults = {3, 0, 0, 0, 1, 20, 0, 0, 45, false, false, false};
    const struct {
        const char *body;
        LampValues expected;
    } cases[] = {
        // Too few colour numbers: the colour stays whole.
        {"<color>0.5 0.5</color>", defaults},
        {"<color></color><energy></energy><shadows></shadows><no_diffuse/>", defaults},
        {"<color>nan 1 1</color><energy>inf</energy><distance>-inf</distance>", defaults},
        {"<energy>1e999</energy><spot_size>nan</spot_size>", defaults},
        // Finite values, negative and huge ones included, are taken as they are.
        {"<energy>-3</energy><distance>1e308</distance><spot_size>-45</spot_size>",
         {3, 0, 0, 0, -3, 1e308, 0, 0, -45, false, false, false}},
        {"<color>1 2 3 4</color><shadows>99999999999999999999999</shadows><no_specular>0</no_specular>",
         {3, 1, 2, 3, 1, 20, 0, 0, 45, true, false, false}},
    };
    for (const auto &c : cases) {
        Xml xml(std::string("<object><type>Spot</type>") + c.body + "</object>");
        MDL_Lamp lamp;
        EXPECT_TRUE(lamp.loadFromXML(xml.root())) << c.body;
        expectValues(c.expected, valuesOf(lamp), c.body);
    }
    // An empty type element names no known kind.
    Xml xml("<object><type/><distance>5</distance></object>");
    MDL_Lamp lamp;
    EXPECT_TRUE(lamp.loadFromXML(xml.root()));
    EXPECT_EQ(MDL_Lamp::LAMP_NONE, lamp.m_iLampType);
    EXPECT_EQ(20.0, lamp.m_fDistance);
}

TEST(MdlLamp, CopyKeepsEveryField)
{
    MDL_Lamp lamp;
    lamp.m_iLampType = MDL_Lamp::LAMP_SPOT;
    lamp.m_oColor = MTH_Vector4D(0.1, 0.2, 0.3, 0.4);
    lamp.m_oAmbientColor = MTH_Vector4D(0.5, 0.6, 0.7, 0.8);
    lamp.m_fShadowCoeff = 0.9;
    lamp.m_fEnergy = 3;
    lamp.m_fDistance = 4;
    lamp.m_fQuad1 = 5;
    lamp.m_fQuad2 = 6;
    lamp.m_bShadows = true;
    lamp.m_bNoSpecular = true;
    lamp.m_bNoDiffuse = true;
    lamp.m_bOn = false;
    lamp.setShadowDepth(7);
    lamp.m_fSpotSize = 8;
    lamp.m_fSpotExponent = 9;
    lamp.setShadowType(SHADOW_ZFAIL);
    MDL_Lamp copy(lamp);
    EXPECT_EQ(OBJECT_LAMP, copy.getType());
    expectValues(valuesOf(lamp), valuesOf(copy), "copy");
    EXPECT_EQ(0.4, copy.m_oColor.m_fW);
    EXPECT_EQ(0.5, copy.m_oAmbientColor.m_fX);
    EXPECT_EQ(0.8, copy.m_oAmbientColor.m_fW);
    EXPECT_EQ(0.9, copy.m_fShadowCoeff);
    EXPECT_FALSE(copy.m_bOn);
    EXPECT_EQ(7, copy.getShadowDepth());
    EXPECT_EQ(9, copy.m_fSpotExponent);
    EXPECT_EQ(SHADOW_ZFAIL, copy.getShadowType());
}

} // namespace
