// The seed corpus of fuzz/fuzz_models_set.cpp, made by the models-set writer.
// Run with VEKTA_WRITE_FUZZ_SEEDS=1 in the environment to write them again
// into fuzz/seeds/fuzz_models_set/.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "model/MDL_ModelsSet.h"
#include "tests/support/TEST_Log.h"
#include "tests/support/TEST_ModelsSetWriter.h"

namespace {

TEST_ObjectRecord object(const std::string &type, const std::string &name, const std::string &parent = "")
{
    TEST_ObjectRecord o;
    o.m_sType = type;
    o.m_sName = name;
    o.m_sParent = parent;
    return o;
}

// File name, text and the number of objects it makes.
struct Seed {
    std::string m_sFile;
    std::string m_sText;
    int m_iObjects;
};

std::vector<Seed> seeds()
{
    std::vector<Seed> out;
    const char *matrix = "1 0 0 0 0 1 0 0 0 0 1 0 0 2 0 1";

    const unsigned char pixel[4] = {255, 0, 0, 255};
    TEST_ModelsSetWriter basic;
    basic.addTexture("checker", TEST_pngImage(1, 1, false, pixel), "linear");
    basic.addMaterial(TEST_MaterialRecord("red").diffuse(1, 0, 0).texture("checker").color(1, 1, 1, 0.5));
    basic.addMesh(TEST_cubeShape("cube", 0.5));
    TEST_ObjectRecord cube = object("Mesh", "cube", "root");
    cube.m_sMesh = "cube";
    cube.m_sMaterial = "RED";
    basic.addObject(object("None", "root")).addObject(cube);
    out.push_back({"basic.xml", basic.text(), 2});

    TEST_ModelsSetWriter skin;
    skin.addMesh(TEST_planeShape("quad"));
    skin.addVertexGroup("left", {0, 2}, {1, 0.5}, 2, 4).addVertexGroup("right", {1, 2, 3}, {1, 0.5, 1});
    TEST_ObjectRecord bone = object("Bone", "arm");
    bone.m_sExtra = std::string("<original_matrix>") + matrix + "</original_matrix><limit_xrot>-45 45</limit_xrot>";
    TEST_ObjectRecord mesh = object("AnimatedMesh", "body");
    mesh.m_sMesh = "quad";
    mesh.m_aBindings = {{"left", "arm"}, {"right", "hand"}, {"none", "arm"}};
    skin.addObject(mesh).addObject(bone).addObject(object("Bone", "hand", "arm"));
    out.push_back({"skin.xml", skin.text(), 3});

    TEST_ModelsSetWriter links;
    links.addObject(object("None", "a", "b")).addObject(object("None", "b", "a")).addObject(object("None", "c", "c"));
    links.addObject(object("Image", "picture", "a")).addObject(object("Locator", "spot"));
    links.addObject(object("RtfText", "note")).addObject(object("Mesh", "A", "nobody"));
    TEST_ObjectRecord sphere = object("CollisionVolume", "ball", "a");
    sphere.m_sExtra = "<volume_type>Sphere</volume_type>";
    TEST_ObjectRecord odd = object("CollisionVolume", "odd");
    odd.m_sExtra = "<volume_type>cone</volume_type>";
    links.addObject(sphere).addObject(odd).addObject(object("None", "after", "a"));
    out.push_back({"links.xml", links.text(), 6});

    TEST_ModelsSetWriter motion;
    motion.addAnimation("walk", {{0, {0, 0, 0}, {0, 0, 0}, {1, 1, 1}}, {1.5, {1, 2, 3}, {0.1, 0.2, 0.3}, {1, 1, 1}}});
    TEST_ObjectRecord lamp = object("Lamp", "sun");
    lamp.m_sExtra = "<type>Sun</type><color>1 0.9 0.8</color><shadows>1</shadows>";
    TEST_ObjectRecord camera = object("Camera", "eye", "sun");
    camera.m_sExtra = "<angle>60</angle><clip_start>0.5</clip_start><clip_end>500</clip_end>";
    motion.addObject(lamp).addObject(camera).addObject(object("Sound", "hum"));
    out.push_back({"motion.xml", motion.text(), 3});

    out.push_back({"markup.xml",
                   "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!-- exported -->\n"
                   "<objects><object type=\"None\" name=\"caf\xC3\xA9\"><![CDATA[<not an object/>]]></object>"
                   "<object name='x'><parent>CAF\xC3\xA9</parent></object></objects>\n",
                   2});
    return out;
}

TEST(ModelsSetSeeds, SeedsLoad)
{
    for (const Seed &seed : seeds()) {
        SCOPED_TRACE(seed.m_sFile);
        TEST_LogCapture log;
        MDL_ModelsSet set;
        EXPECT_TRUE(set.load(seed.m_sText.c_str()));
        EXPECT_EQ(set.m_oObjects.m_iCount, seed.m_iObjects);
    }
}

TEST(ModelsSetSeeds, WrittenOnRequest)
{
    if (getenv("VEKTA_WRITE_FUZZ_SEEDS") == nullptr)
        GTEST_SKIP() << "set VEKTA_WRITE_FUZZ_SEEDS to write the seeds";
    for (const Seed &seed : seeds()) {
        std::ofstream out(std::string(VEKTA_SOURCE_DIR) + "/fuzz/seeds/fuzz_models_set/" + seed.m_sFile,
                          std::ios::binary);
        ASSERT_TRUE(out.good()) << seed.m_sFile;
        out << seed.m_sText;
    }
}

} // namespace
