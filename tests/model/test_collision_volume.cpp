#include <cfloat>
#include <cmath>
#include <cstdint>
#include <string>

#include <gtest/gtest.h>
#include <tinyxml.h>

#include "model/MDL_CollisionVolume.h"

namespace {

typedef MDL_CollisionVolume Volume;

void place(Volume &v, const MTH_Vector3D &position, const MTH_Vector3D (&rows)[3])
{
    MTH_Frame &frame = v.editGlobalFrame();
    frame.m_oPosition = position;
    for (int i = 0; i < 3; i++)
        frame.m_oBasis.row(i) = rows[i];
    frame.invalidateInverse();
}

TEST(MdlCollisionVolume, Defaults)
{
    for (int shape : {Volume::SHAPE_SPHERE, Volume::SHAPE_BOX, Volume::SHAPE_CYLINDER}) {
        Volume v(shape);
        EXPECT_EQ(OBJECT_COLLISION_VOLUME, v.getType());
        EXPECT_EQ(shape, v.m_iShape);
        EXPECT_EQ(0, v.m_fRadius);
        EXPECT_EQ(1, v.m_iCollisionLayer);
        EXPECT_EQ(0xFFFFFFFFu, v.m_uiCollisionMask);
    }
}

TEST(MdlCollisionVolume, ShapeFromName)
{
    const struct {
        const char *name;
        int shape;
    } cases[] = {
        {"sphere", 1}, {"BOX", 2}, {"Cylinder", 3}, {"cube", 0}, {"", 0}, {nullptr, 0}, {" box", 0},
    };
    for (const auto &c : cases)
        EXPECT_EQ(c.shape, Volume::shapeFromName(c.name)) << (c.name ? c.name : "(null)");
}

TEST(MdlCollisionVolume, RadiusAndExtents)
{
    const double c = std::cos(M_PI / 4), s = std::sin(M_PI / 4);
    const struct {
        const char *label;
        int shape;
        MTH_Vector3D position;
        MTH_Vector3D rows[3];
        double radius, minX, maxX, tolerance;
    } cases[] = {
        {"unit sphere", 1, {0, 0, 0}, {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}, 1, -1, 1, 0},
        {"sphere scaled by 2", 1, {3, 1, -4}, {{2, 0, 0}, {0, 2, 0}, {0, 0, 2}}, 2, 1, 5, 0},
        // A sphere's radius is the length of its first row alone.
        {"sphere, first row tilted", 1, {0, 0, 0}, {{0, 3, 4}, {0, 1, 0}, {0, 0, 1}}, 5, -5, 5, 0},
        {"unit box", 2, {1, 0, 0}, {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}, std::sqrt(3.0), 0, 2, 0},
        {"unit box turned 45 degrees about z",
         2,
         {0, 0, 0},
         {{c, s, 0}, {-s, c, 0}, {0, 0, 1}},
         std::sqrt(3.0),
         -std::sqrt(2.0),
         std::sqrt(2.0),
         1e-15},
        {"flat box", 2, {-2, 0, 0}, {{3, 0, 0}, {0, 0, 0}, {0, 0, 4}}, 5, -5, 1, 0},
        {"cylinder", 3, {-1, 0, 0}, {{1, 0, 0}, {0, 2, 0}, {0, 0, 3}}, std::sqrt(14.0), -2, 0, 0},
        {"cylinder lying along x", 3, {10, 0, 0}, {{0, 1, 0}, {0, 0, 1}, {-5, 0, 0}}, std::sqrt(27.0), 5, 15, 0},
        {"collapsed box", 2, {7, 0, 0}, {{0, 0, 0}, {0, 0, 0}, {0, 0, 0}}, 0, 7, 7, 0},
    };
    for (const auto &t : cases) {
        Volume v(t.shape);
        place(v, t.position, t.rows);
        EXPECT_NEAR(t.radius, v.getRadius(), t.tolerance) << t.label;
        EXPECT_NEAR(t.radius, v.m_fRadius, t.tolerance) << t.label;
        EXPECT_NEAR(t.minX, v.getMinX(), t.tolerance) << t.label;
        EXPECT_NEAR(t.maxX, v.getMaxX(), t.tolerance) << t.label;
    }
}

TEST(MdlCollisionVolume, SphereExtentUsesTheLastRadius)
{
    // The collision pass refreshes radii before endpoints; until then a sphere
    // spans the radius it had.
    Volume v(Volume::SHAPE_SPHERE);
    v.editGlobalFrame().m_oBasis.scale(3);
    EXPECT_EQ(0, v.getMinX());
    EXPECT_EQ(0, v.getMaxX());
    v.getRadius();
    EXPECT_EQ(-3, v.getMinX());
    EXPECT_EQ(3, v.getMaxX());
}

TEST(MdlCollisionVolume, UnknownShapeHasNoExtent)
{
    for (int shape : {0, 4, -1, 1000}) {
        Volume v(shape);
        v.editGlobalPosition() = MTH_Vector3D(5, 0, 0);
        v.m_fRadius = 2.5;
        EXPECT_EQ(2.5, v.getRadius());
        EXPECT_EQ(0, v.getMinX());
        EXPECT_EQ(0, v.getMaxX());
    }
}

TEST(MdlCollisionVolume, ExtentsFollowTheParent)
{
    MDL_Object parent;
    Volume v(Volume::SHAPE_BOX);
    ASSERT_TRUE(parent.addChild(&v));
    MTH_Frame &frame = parent.editGlobalFrame();
    frame.m_oPosition = MTH_Vector3D(10, 0, 0);
    frame.m_oBasis.scale(2);
    frame.invalidateInverse();
    EXPECT_EQ(std::sqrt(12.0), v.getRadius());
    EXPECT_EQ(8, v.getMinX());
    EXPECT_EQ(12, v.getMaxX());
}

TEST(MdlCollisionVolume, BadFramesGiveFiniteValues)
{
    const struct {
        const char *label;
        MTH_Vector3D position;
        MTH_Vector3D rows[3];
    } cases[] = {
        {"NaN row", {0, 0, 0}, {{NAN, 0, 0}, {0, 1, 0}, {0, 0, 1}}},
        {"NaN position", {NAN, 0, 0}, {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}},
        {"infinite rows", {0, 0, 0}, {{INFINITY, 0, 0}, {0, -INFINITY, 0}, {0, 0, 1}}},
        {"huge rows", {0, 0, 0}, {{1e300, 1e300, 0}, {1e300, 0, 0}, {0, 0, 1e300}}},
        {"huge position", {DBL_MAX, 0, 0}, {{DBL_MAX, 0, 0}, {DBL_MAX, 0, 0}, {0, 0, 1}}},
    };
    for (const auto &t : cases)
        for (int shape : {Volume::SHAPE_SPHERE, Volume::SHAPE_BOX, Volume::SHAPE_CYLINDER}) {
            Volume v(shape);
            place(v, t.position, t.rows);
            double r = v.getRadius(), lo = v.getMinX(), hi = v.getMaxX();
            EXPECT_TRUE(std::isfinite(r) && r >= 0) << t.label << " shape " << shape;
            EXPECT_TRUE(std::isfinite(lo) && std::isfinite(hi) && lo <= hi) << t.label << " shape " << shape;
        }
    // Rows too long for the plain sum of squares still get their length.
    Volume v(Volume::SHAPE_SPHERE);
    place(v, MTH_Vector3D(), {{3e200, 4e200, 0}, {0, 1, 0}, {0, 0, 1}});
    EXPECT_NEAR(5e200, v.getRadius(), 1e186);
}

TEST(MdlCollisionVolume, SweepEndpoints)
{
    Volume v(Volume::SHAPE_SPHERE);
    v.editGlobalPosition() = MTH_Vector3D(4, 0, 0);
    v.getRadius();
    MDL_SweepEndpoint fresh;
    EXPECT_TRUE(fresh.m_bIsMin);
    EXPECT_EQ(0, fresh.m_fValue);
    EXPECT_EQ(nullptr, fresh.m_poObject);
    EXPECT_EQ(0, fresh.update());

    MDL_SweepEndpoint low(true, &v), high(false, &v);
    EXPECT_EQ(3, low.update());
    EXPECT_EQ(3, low.m_fValue);
    EXPECT_EQ(5, high.update());
    EXPECT_EQ(5, high.m_fValue);
}

TEST(MdlCollisionVolume, CopyAndLoad)
{
    TiXmlDocument doc;
    doc.Parse("<object type=\"CollisionVolume\" name=\"hull\"><volume_type>box</volume_type>"
              "<matrix>2 0 0 0  0 3 0 0  0 0 6 0  1 2 3 1</matrix></object>");
    Volume v(Volume::shapeFromName(doc.RootElement()->FirstChildElement("volume_type")->GetText()));
    EXPECT_TRUE(v.loadFromXML(doc.RootElement()));
    EXPECT_STREQ("hull", v.getName());
    EXPECT_EQ(7, v.getRadius());
    EXPECT_EQ(-1, v.getMinX());
    EXPECT_EQ(3, v.getMaxX());

    v.m_iCollisionLayer = 6;
    v.m_uiCollisionMask = 0x80000001u;
    Volume copy(v);
    EXPECT_EQ(OBJECT_COLLISION_VOLUME, copy.getType());
    EXPECT_EQ(Volume::SHAPE_BOX, copy.m_iShape);
    EXPECT_EQ(7, copy.m_fRadius);
    EXPECT_EQ(6, copy.m_iCollisionLayer);
    EXPECT_EQ(0x80000001u, copy.m_uiCollisionMask);
    EXPECT_EQ(3, copy.getMaxX());
}

} // namespace
