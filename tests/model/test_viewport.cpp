#include <cfloat>
#include <cmath>

#include <gtest/gtest.h>

#include "model/MDL_Camera.h"
#include "model/MDL_Viewport.h"
#include "tests/support/TEST_Support.h"

namespace {

bool isFinite(const MTH_Vector3D &v)
{
    return std::isfinite(v.m_fX) && std::isfinite(v.m_fY) && std::isfinite(v.m_fZ);
}

// A viewport of 4:3 (height / width 0.75) showing through a camera at the
// origin with a right angle of view (focal 1) and clip distances 1 and 100.
struct Fixture {
    Fixture() : m_oViewport(MTH_Vector2D(0.1, 0.2), MTH_Vector2D(1, 0.75))
    {
        m_oCamera.setFOV(M_PI / 2);
        m_oViewport.m_poCamera = &m_oCamera;
    }
    MDL_Camera m_oCamera;
    MDL_Viewport m_oViewport;
};

TEST(MdlViewport, Defaults)
{
    MDL_Viewport vp(MTH_Vector2D(0.25, 0.5), MTH_Vector2D(0.5, 0.125));
    EXPECT_EQ(nullptr, vp.m_oProxyHandle.m_poProxy);
    EXPECT_EQ(MTH_Vector3D(), vp.m_oNavigationTarget);
    EXPECT_EQ(0, vp.m_fNavigationRadius);
    EXPECT_EQ(0, vp.m_fNavigationElevation);
    EXPECT_EQ(0, vp.m_fNavigationAzimuth);
    EXPECT_EQ(0, vp.m_fRadiusMin);
    EXPECT_EQ(DBL_MAX, vp.m_fRadiusMax);
    EXPECT_EQ(-DBL_MAX, vp.m_fElevationMin);
    EXPECT_EQ(DBL_MAX, vp.m_fElevationMax);
    EXPECT_EQ(-DBL_MAX, vp.m_fAzimuthMin);
    EXPECT_EQ(DBL_MAX, vp.m_fAzimuthMax);
    EXPECT_EQ(nullptr, vp.m_poCamera);
    EXPECT_EQ(nullptr, vp.m_poMike);
    EXPECT_EQ(0.5, vp.m_oViewportSize.m_fX);
    EXPECT_EQ(0.125, vp.m_oViewportSize.m_fY);
    EXPECT_EQ(0.25, vp.m_oViewportPosition.m_fX);
    EXPECT_EQ(0.5, vp.m_oViewportPosition.m_fY);
    EXPECT_EQ(0, vp.m_oViewportBackground.m_fX);
    EXPECT_EQ(0, vp.m_oViewportBackground.m_fY);
    EXPECT_EQ(0, vp.m_oViewportBackground.m_fZ);
    EXPECT_EQ(0, vp.m_oViewportBackground.m_fW);
    EXPECT_TRUE(vp.m_bActive);
    EXPECT_EQ(NAVIGATION_FREE, vp.m_iNavigationMode);
    EXPECT_EQ(SHADOW_3D, vp.m_iShadowType);
    EXPECT_EQ(0.25, vp.getAspectRatio());
}

TEST(MdlViewport, WithoutCameraNothingIsTouched)
{
    MDL_Viewport vp(MTH_Vector2D(0, 0), MTH_Vector2D(1, 1));
    vp.m_iNavigationMode = NAVIGATION_MIXED;
    vp.m_fNavigationRadius = 10;
    vp.m_fRadiusMax = 4;
    const MTH_Vector3D mark(7, 8, 9);
    MTH_Vector3D a = mark, b = mark;
    EXPECT_FALSE(vp.toScene(MTH_Vector3D(0.5, 0.5, 0.5), a));
    EXPECT_FALSE(vp.fromScene(MTH_Vector3D(1, 2, 3), b));
    EXPECT_EQ(mark, a);
    EXPECT_EQ(mark, b);
    EXPECT_FALSE(vp.getPickRay(MTH_Vector2D(0.5, 0.5), a, b));
    EXPECT_EQ(mark, a);
    EXPECT_EQ(mark, b);
    EXPECT_EQ(2.5, vp.navigate(2.5));
    EXPECT_EQ(10, vp.m_fNavigationRadius);
}

TEST(MdlViewport, ToSceneAndFromScene)
{
    Fixture f;
    const struct {
        MTH_Vector3D viewport, scene;
    } cases[] = {
        {{0, 0, 0}, {-1, 0.75, -1}},     // upper left corner on the near plane
        {{1, 0.75, 0}, {1, -0.75, -1}},  // lower right corner
        {{0.5, 0.375, 0}, {0, 0, -1}},   // centre
        {{0.5, 0.375, 1}, {0, 0, -100}}, // centre on the far plane
        {{0.25, 0.5, 0.5}, {-25.25, -12.625, -50.5}},
        {{0, 0, 1}, {-100, 75, -100}},
    };
    for (const auto &c : cases) {
        MTH_Vector3D scene, back;
        EXPECT_TRUE(f.m_oViewport.toScene(c.viewport, scene));
        EXPECT_EQ(c.scene, scene);
        EXPECT_TRUE(f.m_oViewport.fromScene(c.scene, back));
        expectNear(c.viewport, back, 1e-15);
    }
    // These come back exactly.
    MTH_Vector3D back;
    f.m_oViewport.fromScene(MTH_Vector3D(-1, 0.75, -1), back);
    EXPECT_EQ(MTH_Vector3D(0, 0, 0), back);
    f.m_oViewport.fromScene(MTH_Vector3D(0, 0, -100), back);
    EXPECT_EQ(MTH_Vector3D(0.5, 0.375, 1), back);
}

TEST(MdlViewport, FromSceneInvertsToSceneThroughAPlacedCamera)
{
    Fixture f;
    f.m_oViewport.m_oViewportSize = MTH_Vector2D(0.5, 0.3);
    f.m_oCamera.setFOV(0.9);
    f.m_oCamera.m_fClipStart = 0.1;
    f.m_oCamera.m_fClipEnd = 500;
    MTH_Frame &frame = f.m_oCamera.editGlobalFrame();
    frame.m_oBasis.setEulerAngles(1.0, 0.2, -2.5);
    frame.m_oBasis.scale(0.5);
    frame.m_oPosition = MTH_Vector3D(-3, 12, 5);
    frame.invalidateInverse();
    for (double u : {0.0, 0.3, 1.0})
        for (double v : {0.0, 0.45, 0.6})
            for (double d : {0.0, 0.25, 1.0}) {
                MTH_Vector3D scene, back;
                f.m_oViewport.toScene(MTH_Vector3D(u, v, d), scene);
                f.m_oViewport.fromScene(scene, back);
                expectNear(MTH_Vector3D(u, v, d), back, 1e-12);
            }
}

TEST(MdlViewport, PickRay)
{
    Fixture f;
    const struct {
        MTH_Vector2D point;
        MTH_Vector3D origin, direction;
    } cases[] = {
        {{0.5, 0.375}, {0, 0, -1}, {0, 0, -99}},
        {{0, 0}, {-1, 0.75, -1}, {-99, 74.25, -99}},
        {{1, 0.75}, {1, -0.75, -1}, {99, -74.25, -99}},
    };
    for (const auto &c : cases) {
        MTH_Vector3D origin, direction;
        EXPECT_TRUE(f.m_oViewport.getPickRay(c.point, origin, direction));
        EXPECT_EQ(c.origin, origin);
        EXPECT_EQ(c.direction, direction);
    }
}

TEST(MdlViewport, NavigatePlacesTheCameraOnItsOrbit)
{
    const struct {
        const char *label;
        int mode;
        double elevation, azimuth;
        MTH_Vector3D position, xAxis, zAxis;
    } cases[] = {
        // Level, azimuth 0: the camera sits on the -x side, looking along +x, z up.
        {"mixed, level", NAVIGATION_MIXED, 0, 0, {-4, 2, 3}, {0, -1, 0}, {-1, 0, 0}},
        {"glass ball, level", NAVIGATION_GLASSBALL, 0, 0, {-4, 2, 3}, {0, -1, 0}, {-1, 0, 0}},
        // A quarter turn of azimuth brings it to the -y side.
        {"mixed, azimuth 90", NAVIGATION_MIXED, 0, M_PI / 2, {1, -3, 3}, {1, 0, 0}, {0, -1, 0}},
        // Elevation 90 degrees: straight above the target, looking down.
        {"mixed, overhead", NAVIGATION_MIXED, M_PI / 2, 0, {1, 2, 8}, {0, -1, 0}, {0, 0, 1}},
    };
    for (const auto &c : cases) {
        Fixture f;
        MDL_Viewport &vp = f.m_oViewport;
        vp.m_iNavigationMode = c.mode;
        vp.m_oNavigationTarget = MTH_Vector3D(1, 2, 3);
        vp.m_fNavigationRadius = 5;
        vp.m_fNavigationElevation = c.elevation;
        vp.m_fNavigationAzimuth = c.azimuth;
        EXPECT_EQ(1.5, vp.navigate(1.5)) << c.label;
        expectNear(c.position, f.m_oCamera.getLocalPosition(), 1e-14);
        expectNear(c.xAxis, f.m_oCamera.getLocalBasis().getRow(0), 1e-15);
        expectNear(c.zAxis, f.m_oCamera.getLocalBasis().getRow(2), 1e-15);
        expectNear(c.position, f.m_oCamera.getGlobalPosition(), 1e-14);
    }
}

TEST(MdlViewport, NavigateKeepsTheCameraScale)
{
    Fixture f;
    f.m_oCamera.editLocalBasis().scale(2);
    MDL_Viewport &vp = f.m_oViewport;
    vp.m_iNavigationMode = NAVIGATION_MIXED;
    vp.m_fNavigationRadius = 3;
    vp.navigate(0);
    MTH_Vector3D lengths;
    f.m_oCamera.getLocalBasis().getRowLengths(lengths);
    expectNear(MTH_Vector3D(2, 2, 2), lengths, 1e-15);
    // The radius runs along the unscaled axis.
    expectNear(MTH_Vector3D(-3, 0, 0), f.m_oCamera.getLocalPosition(), 1e-15);
}

TEST(MdlViewport, NavigateClampsToTheLimits)
{
    const struct {
        const char *label;
        double value, minimum, maximum, stored;
    } cases[] = {
        {"inside", 3, 0, 4, 3},
        {"above", 10, 0, 4, 4},
        {"below", -1, 0, 4, 0},
        {"at the bounds", 4, 4, 4, 4},
        // Below the minimum wins over above the maximum.
        {"crossed limits, below", 1, 3, 2, 3},
        {"crossed limits, above", 5, 3, 2, 2},
        {"NaN counts as 0", NAN, -1, 1, 0},
        {"NaN then clamped", NAN, 0.5, 1, 0.5},
    };
    for (const auto &c : cases) {
        Fixture f;
        MDL_Viewport &vp = f.m_oViewport;
        vp.m_iNavigationMode = NAVIGATION_GLASSBALL;
        vp.m_fNavigationRadius = c.value;
        vp.m_fRadiusMin = c.minimum;
        vp.m_fRadiusMax = c.maximum;
        vp.m_fNavigationElevation = c.value;
        vp.m_fElevationMin = c.minimum;
        vp.m_fElevationMax = c.maximum;
        vp.m_fNavigationAzimuth = c.value;
        vp.m_fAzimuthMin = c.minimum;
        vp.m_fAzimuthMax = c.maximum;
        vp.navigate(0);
        EXPECT_EQ(c.stored, vp.m_fNavigationRadius) << c.label;
        EXPECT_EQ(c.stored, vp.m_fNavigationElevation) << c.label;
        EXPECT_EQ(c.stored, vp.m_fNavigationAzimuth) << c.label;
    }
}

TEST(MdlViewport, NavigateDoesNothingInFreeAndFixedModes)
{
    for (int mode : {int(NAVIGATION_FREE), int(NAVIGATION_FIXED), 4, -1}) {
        Fixture f;
        MDL_Viewport &vp = f.m_oViewport;
        vp.m_iNavigationMode = mode;
        vp.m_fNavigationRadius = 10;
        vp.m_fRadiusMax = 4;
        vp.m_fNavigationAzimuth = 1;
        f.m_oCamera.editLocalPosition() = MTH_Vector3D(1, 2, 3);
        f.m_oCamera.m_bChanged = false;
        EXPECT_EQ(-2, vp.navigate(-2));
        EXPECT_EQ(10, vp.m_fNavigationRadius);
        EXPECT_FALSE(f.m_oCamera.m_bChanged);
        EXPECT_EQ(MTH_Vector3D(1, 2, 3), f.m_oCamera.getLocalPosition());
        EXPECT_EQ(MTH_Vector3D(0, 0, 1), f.m_oCamera.getLocalBasis().getRow(2));
    }
}

TEST(MdlViewport, DegenerateCamerasAndViewportsStayFinite)
{
    // A collapsed camera basis gets unit scale instead of collapsing for good.
    {
        Fixture f;
        f.m_oCamera.editLocalBasis().scale(0);
        f.m_oViewport.m_iNavigationMode = NAVIGATION_MIXED;
        f.m_oViewport.m_fNavigationRadius = 2;
        f.m_oViewport.navigate(0);
        MTH_Vector3D lengths;
        f.m_oCamera.getLocalBasis().getRowLengths(lengths);
        expectNear(MTH_Vector3D(1, 1, 1), lengths, 1e-15);
        expectNear(MTH_Vector3D(-2, 0, 0), f.m_oCamera.getLocalPosition(), 1e-15);
    }
    // Infinite or NaN orbit values and a NaN or infinite camera axis.
    const struct {
        const char *label;
        double radius, radiusMax, azimuth, azimuthMax;
        MTH_Vector3D target, zAxis;
    } orbits[] = {
        {"infinite radius", INFINITY, INFINITY, 0, DBL_MAX, {1, 2, 3}, {0, 0, 1}},
        {"infinite angle", 1, DBL_MAX, INFINITY, INFINITY, {1, 2, 3}, {0, 0, 1}},
        {"huge target", DBL_MAX, DBL_MAX, 0, DBL_MAX, {-DBL_MAX, 0, 0}, {0, 0, 1}},
        {"NaN target", 1, DBL_MAX, 0, DBL_MAX, {NAN, 0, 0}, {0, 0, 1}},
        {"NaN axis", 1, DBL_MAX, 0, DBL_MAX, {0, 0, 0}, {NAN, 0, 0}},
        {"infinite axis", 1, DBL_MAX, 0, DBL_MAX, {0, 0, 0}, {0, 0, INFINITY}},
        {"huge axis", 1, DBL_MAX, 0, DBL_MAX, {0, 0, 0}, {1e300, 1e300, 0}},
    };
    for (const auto &o : orbits) {
        Fixture f;
        MDL_Viewport &vp = f.m_oViewport;
        vp.m_iNavigationMode = NAVIGATION_MIXED;
        vp.m_fNavigationRadius = o.radius;
        vp.m_fRadiusMax = o.radiusMax;
        vp.m_fNavigationAzimuth = o.azimuth;
        vp.m_fAzimuthMax = o.azimuthMax;
        vp.m_oNavigationTarget = o.target;
        f.m_oCamera.editLocalBasis().row(2) = o.zAxis;
        vp.navigate(0);
        const MTH_Frame &frame = f.m_oCamera.getLocalFrame();
        EXPECT_TRUE(isFinite(frame.m_oPosition)) << o.label;
        for (int i = 0; i < 3; i++)
            EXPECT_TRUE(isFinite(frame.m_oBasis.getRow(i))) << o.label;
    }
    // Zero width, equal or NaN clip distances, a collapsed camera: every
    // conversion still gives finite values.
    const struct {
        const char *label;
        double width, clipStart, clipEnd, scale;
    } views[] = {
        {"zero width", 0, 1, 100, 1},           {"equal clip distances", 1, 5, 5, 1},
        {"NaN clip", 1, NAN, 100, 1},           {"infinite clip", 1, 1, INFINITY, 1},
        {"huge clip", 1, -DBL_MAX, DBL_MAX, 1}, {"collapsed camera", 1, 1, 100, 0},
    };
    for (const auto &v : views) {
        Fixture f;
        f.m_oViewport.m_oViewportSize.m_fX = v.width;
        f.m_oCamera.m_fClipStart = v.clipStart;
        f.m_oCamera.m_fClipEnd = v.clipEnd;
        f.m_oCamera.editGlobalBasis().scale(v.scale);
        MTH_Vector3D a, b;
        for (const MTH_Vector3D &p : {MTH_Vector3D(0, 0, 0), MTH_Vector3D(0.5, 0.5, 1), MTH_Vector3D(1, 1, 0.5)}) {
            f.m_oViewport.toScene(p, a);
            EXPECT_TRUE(isFinite(a)) << v.label;
            f.m_oViewport.fromScene(p, a);
            EXPECT_TRUE(isFinite(a)) << v.label;
            f.m_oViewport.getPickRay(MTH_Vector2D(p.m_fX, p.m_fY), a, b);
            EXPECT_TRUE(isFinite(a) && isFinite(b)) << v.label;
        }
    }
    // Equal clip distances have no depth range: the depth is 0.
    Fixture f;
    f.m_oCamera.m_fClipStart = f.m_oCamera.m_fClipEnd = 5;
    MTH_Vector3D out;
    f.m_oViewport.fromScene(MTH_Vector3D(0, 0, -20), out);
    EXPECT_EQ(MTH_Vector3D(0.5, 0.375, 0), out);
    EXPECT_EQ(0, MDL_Viewport(MTH_Vector2D(), MTH_Vector2D(0, 3)).getAspectRatio());
}

} // namespace
