// The resource bindings driven by scripts over a document that holds one
// member of each kind: tables of chunks with their exact results, whether
// they report, and what the log then says.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "model/MDL_Font.h"
#include "model/MDL_ObjectTypes.h"
#include "model/MDL_Sample.h"
#include "model/MDL_Scene.h"
#include "model/MDL_Sound.h"
#include "model/MDL_Stream.h"
#include "model/MDL_Texture.h"
#include "scripting/LMP_Font.h"
#include "scripting/LMP_Sample.h"
#include "tests/scripting/resource_test_support.h"

namespace {

struct Case {
    const char *chunk;
    const char *result;
    const char *report; // a text of the log after a report, or null when nothing is reported
};

// Runs the cases in order in one document (later cases use the globals of
// earlier ones).
void runCases(ResourceFixture &f, const std::vector<Case> &cases)
{
    for (const Case &c : cases) {
        EXPECT_EQ(f.run(c.chunk), c.result) << c.chunk << "\n" << f.log();
        EXPECT_EQ(f.reported(), c.report != nullptr) << c.chunk << "\n" << f.log();
        if (c.report != nullptr) {
            EXPECT_TRUE(f.m_oLog.contains(c.report)) << c.chunk << "\n" << f.log();
        }
        f.clearReport();
    }
}

MDL_Sound *firstSound(MDL_Scene *scene)
{
    for (int i = 0; scene != nullptr && i < scene->m_oObjects.m_iCount; i++)
        if (scene->m_oObjects.m_pData[i]->m_iType == OBJECT_SOUND)
            return static_cast<MDL_Sound *>(scene->m_oObjects.m_pData[i]);
    return nullptr;
}

TEST(ResourceBindings, Textures)
{
    ResourceFixture f;
    ASSERT_TRUE(f.m_bOpened) << f.log();
    runCases(
        f,
        {
            {"t = newTexture('missing.png') return t:getFilter(), t:getBinaryAlpha()", "nil",
             "t:1: File missing.png not found"},
            {"t:setFilter(2) t:delete() return select('#', t:getFilter())", "0", nullptr},
            {"return newTexture('tex.png'):getFilter()", "0", nullptr},
            {"t = newTexture('tex.png', FILTER_MIPMAP) return t:getFilter(), t:getBinaryAlpha()", "3,false", nullptr},
            {"t:setBinaryAlpha(true) t:setFilter(-7) return t:getBinaryAlpha(), t:getFilter()", "true,-7", nullptr},
            {"t:setFilter('x') return t:getFilter()", "-7", "t:1: "},
            {"return tostring(newTexture()):sub(1, 10)", "newTexture", "t:1: "},
            {"t:delete(1) return select('#', t:getFilter())", "0", "Too much arguments"},
            {"t:delete() return select('#', t:getBinaryAlpha())", "0", nullptr},
        });
    // The deleted texture (the last one made) waits for the next draw.
    ASSERT_EQ(f.m_oController.m_oTextures.m_iCount, 2);
    EXPECT_FALSE(f.m_oController.m_oTextures.m_pData[0]->m_bReleasePending);
    EXPECT_TRUE(f.m_oController.m_oTextures.m_pData[1]->m_bReleasePending);
    EXPECT_EQ(f.m_oController.m_oTextures.m_pData[1]->m_oProxyHandle.getProxy(), nullptr);
}

TEST(ResourceBindings, FontsAndSamples)
{
    ResourceFixture f;
    ASSERT_TRUE(f.m_bOpened) << f.log();
    int fonts = f.m_oController.m_oFonts.m_iCount;
    runCases(
        f, {
               {"f = newFont('font.ttf') return tostring(f):sub(1, 7)", "newFont", nullptr},
               {"return newFont('nofont.ttf') ~= nil", "true", "t:1: File nofont.ttf not found"},
               {"newFont(1, 2)", "", "t:1: "},
               {"f:delete() f:delete()", "", nullptr},
               {"s = newSample('sine.ogg') return tostring(s):sub(1, 9)", "newSample", nullptr},
               {"newSample('none.ogg')", "", "t:1: File none.ogg not found"},
               {"snd = newSound(scene, s) snd:seek(0.25) s:delete(2) return snd:getTime()", "0", "Too much arguments"},
               {"s:delete()", "", nullptr},
           });
    EXPECT_EQ(f.m_oController.m_oFonts.m_iCount, fonts);
    EXPECT_EQ(f.m_oController.m_oSamples.m_iCount, 0);
    MDL_Sound *sound = firstSound(f.m_oController.m_oScenes.m_pData[0]);
    ASSERT_NE(sound, nullptr);
    EXPECT_EQ(sound->getSample(), nullptr);

    // The default font is no font of the list: deleting it only unbinds.
    MDL_Font *font = f.m_oController.m_poDefaultFont;
    ASSERT_NE(font, nullptr);
    LMP_Luna<LMP_Font>::pushObject(f.state(), font);
    lua_setglobal(f.state(), "df");
    runCases(f, {{"df:delete() df:delete() return tostring(df):sub(1, 7)", "newFont", nullptr}});
    EXPECT_EQ(f.m_oController.m_poDefaultFont, font);
    EXPECT_EQ(font->m_oProxyHandle.getProxy(), nullptr);
}

TEST(ResourceBindings, ModelsSetsAndAnimations)
{
    ResourceFixture f;
    ASSERT_TRUE(f.m_bOpened) << f.log();
    runCases(f,
             {
                 {"ms = newModelsSet('set.xml') return ms:get('marker'):getName()", "Marker", nullptr},
                 {"return ms:get('nothing')", "nil", nullptr},
                 {"return select('#', ms:getAnimationData('nothing'))", "0", nullptr},
                 {"local n = ms:getNames(OBJECT_MESH) return #n, n[1], n[2]", "2,Box,Floor", nullptr},
                 {"return select('#', ms:getNames(OBJECT_LAMP))", "0", nullptr},
                 {"return tostring(ms:get('BEEP')):sub(1, 8)", "newSound", nullptr},
                 {"return rawequal(ms:get('Marker'), ms:get('MARKER'))", "true", nullptr},
                 {"a = ms:getAnimationData('walk') return rawequal(a, ms:getAnimationData('WALK'))", "true", nullptr},
                 {"obj = newObject(scene) anim = newAnimation(a, obj) "
                  "return anim:getDuration(), anim:isPlaying(), anim:getSpeed(), anim:getTime()",
                  "4,true,1,0", nullptr},
                 {"anim:pause() anim:setSpeed(2) anim:seek(1.5) "
                  "return anim:isPlaying(), anim:getSpeed(), anim:getTime()",
                  "false,2,1.5", nullptr},
                 {"anim:seek(0.1) return string.format('%.17g', anim:getTime())", "0.10000000149011612", nullptr},
                 {"anim:play(1) return anim:isPlaying()", "true", "Too much arguments"},
                 {"return newAnimation(ms:getAnimationData('hop'), obj):getDuration()", "0.5", nullptr},
                 {"return select('#', newAnimation(newAnimationData(1, 2), obj):getDuration())", "0", nullptr},
                 {"return select('#', newAnimation(a, ms:get('Marker')):getDuration())", "0", nullptr},
                 {"return select('#', newAnimation(a, 5):getDuration())", "0", nullptr},
                 {"local ok, e = pcall(newAnimation, obj, obj) return ok, e:match('%(newAnimationData%)')",
                  "false,(newAnimationData)", nullptr},
                 {"local ok, e = pcall(newAnimation, obj) return ok, e:match('%(newAnimationData%)')",
                  "false,(newAnimationData)", nullptr},
                 {"return newModelsSet('none.xml') ~= nil", "true", "t:1: File none.xml not found"},
                 {"ms:delete(1) return select('#', ms:get('Box')), select('#', newAnimation(a, obj):getDuration()), "
                  "anim:isPlaying()",
                  "0,0,false", "Too much arguments"},
             });
    EXPECT_EQ(f.m_oController.m_oModelsSets.m_iCount, 0);
}

TEST(ResourceBindings, Sounds)
{
    ResourceFixture f;
    ASSERT_TRUE(f.m_bOpened) << f.log();
    // One second at 44100 Hz, listed as the controller's own.
    MDL_Sample *one = new MDL_Sample();
    ASSERT_TRUE(one->setFormat(44100, 1));
    std::vector<float> silence(44100, 0.0f);
    const float *channels[1] = {silence.data()};
    ASSERT_TRUE(one->appendFrames(channels, 44100));
    f.m_oController.m_oSamples.append(one);
    LMP_Luna<LMP_Sample>::pushObject(f.state(), one);
    lua_setglobal(f.state(), "long");
    runCases(f, {
                    {"s = newSample('sine.ogg') snd = newSound(scene, long) snd:seek(0.5) return snd:getTime()", "0.5",
                     nullptr},
                    {"snd:setVolume(0.25) snd:setLooping(true) snd:setAutoDelete(true) "
                     "return snd:getVolume(), snd:getLooping(), snd:getAutoDelete(), snd:getType()",
                     "0.25,true,true,5", nullptr},
                    {"return tostring(snd):sub(1, 8), select('#', newSound(scene):getTime())", "newSound,1", nullptr},
                    {"o = newObject(scene) o:setPosition(v3(1, 2, 3)) c = newSound(o, s) "
                     "local p = c:getPosition() return p:x(), p:y(), p:z(), rawequal(c:getParent(), o)",
                     "1,2,3,true", nullptr},
                    {"local ok, e = pcall(newSound, scene, o) return ok, e:match('%(newSample%)')", "false,(newSample)",
                     nullptr},
                    {"local ok, e = pcall(snd.setSample, snd, o) return ok, e:match('%(newSample%)')",
                     "false,(newSample)", nullptr},
                    {"local ok, e = pcall(snd.setSample, snd) return ok, e:match('%(newSample%)')", "false,(newSample)",
                     nullptr},
                    {"snd:seek(-3) return snd:getTime()", "0", nullptr},
                    {"snd:seek('x') return snd:getTime()", "0", "t:1: "},
                    {"newSound(scene, s, 3)", "", "Too much arguments for newSound"},
                });
    MDL_Sound *sound = firstSound(f.m_oController.m_oScenes.m_pData[0]);
    ASSERT_NE(sound, nullptr);
    ASSERT_NE(sound->getSample(), nullptr);
    EXPECT_EQ(sound->getSample(), one);
    runCases(f, {{"snd:seek(0.5)", "", nullptr}});
    EXPECT_EQ(sound->m_iPlayOffset, 22050);
    // A seek past the end stops at the end of the sample.
    runCases(f, {{"snd:seek(1e12) return snd:getTime()", "1", nullptr}});
    EXPECT_EQ(sound->m_iPlayOffset, 44100);
    runCases(f, {{"snd:setSample(s) snd:seek(1) return snd:getTime()", "0.25", nullptr}});
    runCases(f, {{"snd:seek(0/0) return snd:getTime()", "0", nullptr},
                 {"snd:setSample(newSample('sine.ogg')) snd:delete() return snd:exist()", "false", nullptr}});
}

TEST(ResourceBindings, Streams)
{
    ResourceFixture f;
    ASSERT_TRUE(f.m_bOpened) << f.log();
    runCases(f, {
                    {"m = newStream('movie.ogv', FILTER_LINEAR) tx = m:getTexture() "
                     "return rawequal(tx, m:getTexture()), tx:getFilter(), m:getDuration() > 0",
                     "true,2,true", nullptr},
                    {"m:pause() local a = m:isPlaying() m:play() return a, m:isPlaying()", "false,true", nullptr},
                    {"m:seek(0.5) return m:getCurrentFrame() > 0, m:getTime() >= 0", "true,true", nullptr},
                    {"ss = m:getSample() return rawequal(ss, m:getSample()), tostring(ss):sub(1, 9)", "true,newSample",
                     nullptr},
                    {"ss:delete() return select('#', ss:delete()), rawequal(m:getSample(), ss)", "0,false", nullptr},
                    {"tx:delete() return select('#', tx:getFilter()), m:getTexture():getFilter()", "0,2", nullptr},
                    {"m:seek() return m:isPlaying()", "true", "t:1: "},
                    {"e = newStream('missing.ogv') return e:getDuration()", "0", nullptr},
                    {"m:delete(1) return select('#', m:getDuration()), select('#', tx:getFilter())", "0,0",
                     "Too much arguments"},
                    {"e:delete() return select('#', e:isPlaying())", "0", nullptr},
                });
    EXPECT_EQ(f.m_oController.m_oStreams.m_iCount, 0);
    EXPECT_EQ(f.m_oController.m_oTextures.m_iCount, 0);
}

TEST(ResourceBindings, DeletingAStreamsTextureOnlyUnbindsIt)
{
    ResourceFixture f;
    ASSERT_TRUE(f.m_bOpened) << f.log();
    runCases(f, {{"m = newStream('movie.ogv') tx = m:getTexture() tx:delete() tx:setFilter(1)", "", nullptr}});
    ASSERT_EQ(f.m_oController.m_oStreams.m_iCount, 1);
    MDL_Texture *texture = f.m_oController.m_oStreams.m_pData[0]->getTexture();
    ASSERT_NE(texture, nullptr);
    EXPECT_FALSE(texture->m_bReleasePending);
    EXPECT_EQ(texture->m_iFilter, 0u);
    EXPECT_EQ(texture->m_oProxyHandle.getProxy(), nullptr);
    // A new proxy stands for it again.
    runCases(f, {{"return rawequal(m:getTexture(), tx), m:getTexture():getFilter()", "false,0", nullptr}});
}

} // namespace
