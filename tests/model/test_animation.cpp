#include <cmath>
#include <string>

#include <gtest/gtest.h>
#include <tinyxml.h>

#include "model/MDL_Animation.h"
#include "model/MDL_AnimationData.h"
#include "model/MDL_Object.h"

namespace {

struct Xml {
    explicit Xml(const std::string &text) { m_oDocument.Parse(text.c_str()); }
    const TiXmlElement *root() const { return m_oDocument.RootElement(); }
    TiXmlDocument m_oDocument;
};

bool isFinite(const MTH_Vector3D &v)
{
    return std::isfinite(v.m_fX) && std::isfinite(v.m_fY) && std::isfinite(v.m_fZ);
}

// A track whose key k has the time times[k] and the location (values[k], 0, 0),
// no rotation and unit scale.
void makeTrack(MDL_AnimationData &data, const double *times, const double *values, int count)
{
    ASSERT_TRUE(data.setKeyCount(count));
    for (int k = 0; k < count; k++)
        data.setKey(k, times[k], MTH_Vector3D(values[k], 0, 0), MTH_Vector3D(), MTH_Vector3D(1, 1, 1));
}

// The x of the location at a time; NAN when no interval holds the time.
double sampleX(const MDL_AnimationData &data, double time)
{
    MTH_Vector3D location, rotation, scale;
    if (!data.samplePose(time, location, rotation, scale))
        return NAN;
    return location.m_fX;
}

// --- interpolation ---

TEST(MdlAnimationData, CatmullRomValues)
{
    const struct {
        const char *what;
        int count;
        double times[8], values[8];
        double time, expected;
    } cases[] = {
        // Two keys 0 -> 10 over 0 -> 1: keys 0, 0, 1, 1, the plain ease.
        {"two keys at 0", 2, {0, 1}, {0, 10}, 0, 0},
        {"two keys at 0.25", 2, {0, 1}, {0, 10}, 0.25, 2.03125},
        {"two keys at 0.5", 2, {0, 1}, {0, 10}, 0.5, 5},
        {"two keys at 0.75", 2, {0, 1}, {0, 10}, 0.75, 7.96875},
        {"two keys at 1", 2, {0, 1}, {0, 10}, 1, 10},
        // Four keys on a parabola: the middle interval uses all four.
        {"parabola at 1.5", 4, {0, 1, 2, 3}, {0, 1, 4, 9}, 1.5, 2.25},
        {"parabola at a key", 4, {0, 1, 2, 3}, {0, 1, 4, 9}, 2, 4},
        {"uneven times", 3, {0, 2, 3}, {0, 8, 9}, 1, 3.9375},
        // Two keys at one time: the zero-length interval gives its first key.
        {"equal times, at that time", 3, {1, 1, 2}, {5, 7, 9}, 1, 5},
        {"equal times, after them", 3, {1, 1, 2}, {5, 7, 9}, 1.5, 8.125},
        {"equal times inside", 5, {0, 0, 1, 1, 2}, {0, 10, 20, 30, 40}, 0, 0},
        {"equal times inside, at 0.5", 5, {0, 0, 1, 1, 2}, {0, 10, 20, 30, 40}, 0.5, 15},
        {"equal times inside, at 1", 5, {0, 0, 1, 1, 2}, {0, 10, 20, 30, 40}, 1, 20},
        {"equal times inside, at 1.5", 5, {0, 0, 1, 1, 2}, {0, 10, 20, 30, 40}, 1.5, 35.625},
        {"equal times inside, at 2", 5, {0, 0, 1, 1, 2}, {0, 10, 20, 30, 40}, 2, 40},
        {"all keys at one time", 3, {4, 4, 4}, {1, 2, 3}, 4, 1},
        // Times out of order: the first interval in key order that holds the time.
        {"unsorted", 3, {0, 2, 1}, {0, 10, 20}, 1.5, 7.265625},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        MDL_AnimationData data;
        makeTrack(data, c.times, c.values, c.count);
        EXPECT_EQ(c.expected, sampleX(data, c.time));
    }
}

TEST(MdlAnimationData, NoPoseOutsideTheKeys)
{
    const double times[] = {1, 2, 3}, values[] = {1, 2, 3};
    MDL_AnimationData data;
    makeTrack(data, times, values, 3);
    EXPECT_TRUE(std::isnan(sampleX(data, 0.999)));
    EXPECT_TRUE(std::isnan(sampleX(data, 3.001)));
    EXPECT_TRUE(std::isnan(sampleX(data, NAN)));
    EXPECT_TRUE(std::isnan(sampleX(data, INFINITY)));
    MDL_AnimationData one;
    makeTrack(one, times, values, 1);
    EXPECT_TRUE(std::isnan(sampleX(one, 1)));
    MDL_AnimationData none;
    EXPECT_TRUE(std::isnan(sampleX(none, 0)));
}

TEST(MdlAnimationData, EqualOrExtremeTimesNeverGiveNaN)
{
    const double times[] = {0, 0, 1, 1, 1, -1e308, 1e308, 1e308};
    const double values[] = {1, 2, 3, 4, 5, 6, 7, 8};
    MDL_AnimationData data;
    makeTrack(data, times, values, 8);
    const double probes[] = {-1e308, -1, 0, 0.5, 1, 2, 1e300, 1e308};
    for (double t : probes) {
        MTH_Vector3D location, rotation, scale;
        if (data.samplePose(t, location, rotation, scale)) {
            EXPECT_TRUE(isFinite(location)) << t;
            EXPECT_TRUE(isFinite(scale)) << t;
        }
    }
    // An interval spanning more than the largest double still interpolates.
    const double wide[] = {-1e308, 1e308};
    MDL_AnimationData span;
    makeTrack(span, wide, values, 2);
    EXPECT_TRUE(std::isfinite(sampleX(span, 0)));
}

TEST(MdlAnimationData, HintedSearchFindsTheSameInterval)
{
    // Repeated times, a jump and a long gap; the probes walk forwards,
    // backwards and across the track, each starting from the last hint.
    const double times[] = {0, 0, 1, 1, 1, 2, 5, 5, 6};
    const double values[] = {1, 2, 3, 4, 5, 6, 7, 8, 9};
    MDL_AnimationData data;
    makeTrack(data, times, values, 9);
    const double probes[] = {-1, 0, 0.5, 1, 1, 1.5, 2, 3, 5, 5.5, 6, 7, 5, 1, 0, 6, 0.25, 2, 1};
    int hint = -1;
    for (double t : probes) {
        SCOPED_TRACE(t);
        MTH_Vector3D plain, hinted, rotation, scale;
        bool found = data.samplePose(t, plain, rotation, scale);
        EXPECT_EQ(found, data.samplePose(t, hinted, rotation, scale, &hint));
        if (found)
            EXPECT_EQ(plain, hinted);
        else
            EXPECT_EQ(-1, hint);
    }
    hint = 7; // a hint from a longer track
    MDL_AnimationData shorter;
    makeTrack(shorter, times, values, 3);
    MTH_Vector3D location, rotation, scale;
    ASSERT_TRUE(shorter.samplePose(0.5, location, rotation, scale, &hint));
    EXPECT_EQ(1, hint);
}

TEST(MdlAnimationData, KeyTimeSum)
{
    const double times[] = {1, 1, 2}, values[] = {0, 0, 0};
    MDL_AnimationData data;
    makeTrack(data, times, values, 3);
    EXPECT_EQ(4, data.getKeyTimeSum());
    EXPECT_EQ(2, data.getKeyTime(2));
    EXPECT_EQ(0, data.getKeyTime(3));
    EXPECT_FALSE(data.setKeyCount(-1));
    EXPECT_EQ(0, data.getKeyCount());
}

// --- the XML reader ---

TEST(MdlAnimationData, LoadFromXml)
{
    const char *key0 = "<key time=\"0\"><location>1 2 3</location><rotation>0.1 0.2 0.3</rotation>"
                       "<scale>1 1 1</scale></key>";
    const char *key1 = "<key time=\"2.5\"><location>4,5,6</location><scale>2 2 2</scale></key>";
    const struct {
        const char *what;
        std::string keys;
        int count;
    } cases[] = {
        {"no keys element", "", 0},
        {"count matches", std::string("<keys count=\"2\">") + key0 + key1 + "</keys>", 2},
        {"count larger than the keys present", std::string("<keys count=\"5\">") + key0 + key1 + "</keys>", 2},
        {"count smaller", std::string("<keys count=\"1\">") + key0 + key1 + "</keys>", 1},
        {"no count", std::string("<keys>") + key0 + "</keys>", 0},
        {"negative count", std::string("<keys count=\"-3\">") + key0 + "</keys>", 0},
        {"huge count", std::string("<keys count=\"2147483647\">") + key0 + key1 + "</keys>", 2},
        {"other elements are not keys", std::string("<keys count=\"2\"><note/>") + key0 + "<note/></keys>", 1},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        Xml xml("<animation name=\"walk\">" + c.keys + "</animation>");
        MDL_AnimationData data;
        ASSERT_TRUE(data.loadFromXML(xml.root()));
        EXPECT_STREQ("walk", data.getName());
        ASSERT_EQ(c.count, data.getKeyCount());
        if (c.count >= 1) {
            EXPECT_EQ(0, data.m_pfTimes[0]);
            EXPECT_EQ(MTH_Vector3D(1, 2, 3), data.m_poLocations[0]);
            EXPECT_EQ(MTH_Vector3D(0.1, 0.2, 0.3), data.m_poRotations[0]);
            EXPECT_EQ(MTH_Vector3D(1, 1, 1), data.m_poScales[0]);
        }
        if (c.count >= 2) {
            EXPECT_EQ(2.5, data.m_pfTimes[1]);
            EXPECT_EQ(MTH_Vector3D(4, 5, 6), data.m_poLocations[1]);
            EXPECT_EQ(MTH_Vector3D(), data.m_poRotations[1]); // missing: zeros
        }
    }
}

TEST(MdlAnimationData, LoadFromXmlBadNumbersAndReload)
{
    Xml xml("<animation><keys count=\"2\">"
            "<key><location>nan 1 inf</location><rotation>7</rotation></key>"
            "<key time=\"inf\"><scale>1 2</scale></key>"
            "</keys></animation>");
    MDL_AnimationData data;
    data.setName("old");
    ASSERT_TRUE(data.loadFromXML(xml.root()));
    EXPECT_EQ(nullptr, data.getName());
    ASSERT_EQ(2, data.getKeyCount());
    EXPECT_EQ(0, data.m_pfTimes[0]); // no time: 0
    EXPECT_EQ(MTH_Vector3D(0, 1, 0), data.m_poLocations[0]);
    EXPECT_EQ(MTH_Vector3D(7, 0, 0), data.m_poRotations[0]);
    EXPECT_EQ(MTH_Vector3D(), data.m_poScales[0]); // no scale: zeros
    EXPECT_EQ(0, data.m_pfTimes[1]);
    EXPECT_EQ(MTH_Vector3D(1, 2, 0), data.m_poScales[1]);

    // A second read drops the earlier keys.
    Xml empty("<animation name=\"again\"/>");
    ASSERT_TRUE(data.loadFromXML(empty.root()));
    EXPECT_STREQ("again", data.getName());
    EXPECT_EQ(0, data.getKeyCount());
    EXPECT_EQ(nullptr, data.m_pfTimes);
    EXPECT_FALSE(data.loadFromXML(nullptr));
}

// --- players ---

class MdlAnimation : public ::testing::Test {
protected:
    void SetUp() override
    {
        // Key 0 at time 1, key 1 at time 2: location x 0 -> 10, a turn of
        // 0 -> 0.5 rad about z, scale 1 -> 3.
        ASSERT_TRUE(m_oData.setKeyCount(2));
        m_oData.setKey(0, 1, MTH_Vector3D(0, 0, 0), MTH_Vector3D(0, 0, 0), MTH_Vector3D(1, 1, 1));
        m_oData.setKey(1, 2, MTH_Vector3D(10, 0, 0), MTH_Vector3D(0, 0, 0.5), MTH_Vector3D(3, 3, 3));
        m_oPlayer.setData(&m_oData);
        m_oPlayer.setTarget(&m_oTarget);
        m_oPlayer.setDuration(3);
    }

    MDL_AnimationData m_oData;
    MDL_Object m_oTarget;
    MDL_Animation m_oPlayer;
};

TEST_F(MdlAnimation, Defaults)
{
    MDL_Animation player;
    EXPECT_EQ(nullptr, player.getTarget());
    EXPECT_EQ(nullptr, player.getData());
    EXPECT_EQ(0, player.getTime());
    EXPECT_EQ(0, player.getDuration());
    EXPECT_EQ(1.0, player.getSpeed());
    EXPECT_TRUE(player.isPlaying());
    // No target: nothing happens, the time does not move.
    EXPECT_EQ(0, player.apply(0.5));
    EXPECT_TRUE(player.isPlaying());
}

TEST_F(MdlAnimation, ApplySetsThePoseThenAdvances)
{
    m_oPlayer.seek(1.25);
    EXPECT_EQ(1.25, m_oPlayer.getTime());
    EXPECT_EQ(2.03125, m_oTarget.getLocalPosition().m_fX);
    MTH_Matrix3x3 expected;
    expected.setEulerAngles(0, 0, 0.1015625);
    expected.scaleRows(MTH_Vector3D(1.40625, 1.40625, 1.40625));
    for (int r = 0; r < 3; r++)
        for (int c = 0; c < 3; c++)
            EXPECT_EQ(expected.get(r, c), m_oTarget.getLocalBasis().get(r, c));

    m_oTarget.m_bChanged = false;
    EXPECT_EQ(1.75, m_oPlayer.apply(0.5)); // the pose of 1.25, then the time moves on
    EXPECT_TRUE(m_oTarget.m_bChanged);
    m_oPlayer.apply(0);
    EXPECT_EQ(7.96875, m_oTarget.getLocalPosition().m_fX);
}

TEST_F(MdlAnimation, ChildrenFollowTheTarget)
{
    MDL_Object child;
    m_oTarget.addChild(&child);
    child.editLocalPosition() = MTH_Vector3D(0, 1, 0);
    m_oPlayer.seek(2);
    MTH_Vector3D expected(-3 * std::sin(0.5) + 10, 3 * std::cos(0.5), 0);
    EXPECT_NEAR(expected.m_fX, child.getGlobalPosition().m_fX, 1e-12);
    EXPECT_NEAR(expected.m_fY, child.getGlobalPosition().m_fY, 1e-12);
    m_oTarget.removeChild(&child);
}

TEST_F(MdlAnimation, OutsideTheKeysTimeRunsOnUntilTheDuration)
{
    m_oTarget.editLocalPosition() = MTH_Vector3D(7, 7, 7);
    m_oTarget.m_bChanged = false;
    EXPECT_EQ(0.5, m_oPlayer.apply(0.5)); // before the first key: no pose
    EXPECT_EQ(MTH_Vector3D(7, 7, 7), m_oTarget.getLocalPosition());
    EXPECT_FALSE(m_oTarget.m_bChanged);
    m_oPlayer.seek(2.5); // after the last key: no pose
    EXPECT_EQ(MTH_Vector3D(7, 7, 7), m_oTarget.getLocalPosition());
    m_oPlayer.apply(0.5);
    EXPECT_TRUE(m_oPlayer.isPlaying()); // 3 does not exceed the duration
    EXPECT_EQ(3.25, m_oPlayer.apply(0.25));
    EXPECT_FALSE(m_oPlayer.isPlaying());
    EXPECT_EQ(3.5, m_oPlayer.apply(0.25)); // apply itself still works; the scene no longer calls it
}

TEST_F(MdlAnimation, Speed)
{
    const struct {
        double speed, dt, time;
    } cases[] = {{1, 0.25, 1.25}, {2, 0.25, 1.5}, {0, 0.25, 1}, {-1, 0.25, 0.75}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.speed);
        m_oPlayer.setSpeed(c.speed);
        m_oPlayer.seek(1);
        EXPECT_EQ(c.time, m_oPlayer.apply(c.dt));
    }
    m_oPlayer.setSpeed(0);
    m_oPlayer.seek(1.5);
    m_oPlayer.apply(0.25);
    m_oPlayer.apply(0.25);
    EXPECT_EQ(5, m_oTarget.getLocalPosition().m_fX);
}

TEST_F(MdlAnimation, SeekOnAPausedPlayerMovesWithoutStarting)
{
    m_oPlayer.pause();
    EXPECT_FALSE(m_oPlayer.isPlaying());
    m_oPlayer.seek(1.5);
    EXPECT_EQ(5, m_oTarget.getLocalPosition().m_fX);
    EXPECT_FALSE(m_oPlayer.isPlaying());
    m_oPlayer.play();
    EXPECT_TRUE(m_oPlayer.isPlaying());
}

TEST_F(MdlAnimation, DeletedTargetStopsTheEffectAtOnce)
{
    m_oPlayer.seek(1.5);
    m_oTarget.m_bDeleted = true;
    m_oTarget.m_bChanged = false;
    EXPECT_EQ(1.5, m_oPlayer.apply(0.25));
    m_oPlayer.seek(2);
    EXPECT_EQ(2, m_oPlayer.getTime());
    EXPECT_EQ(5, m_oTarget.getLocalPosition().m_fX);
    EXPECT_FALSE(m_oTarget.m_bChanged);
}

TEST_F(MdlAnimation, NoTrackAdvancesTimeOnly)
{
    m_oPlayer.setData(nullptr);
    m_oTarget.m_bChanged = false;
    EXPECT_EQ(1.5, m_oPlayer.apply(1.5));
    EXPECT_FALSE(m_oTarget.m_bChanged);
}

} // namespace
