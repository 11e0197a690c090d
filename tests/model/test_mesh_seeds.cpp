// The seed corpus of fuzz/fuzz_mesh.cpp, made by the models-set writer.
// Run with VEKTA_WRITE_FUZZ_SEEDS=1 in the environment to write them again
// into fuzz/seeds/fuzz_mesh/.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "model/MDL_Material.h"
#include "model/MDL_MeshData.h"
#include "tests/support/TEST_Log.h"
#include "tests/support/TEST_ModelsSetWriter.h"

namespace {

// File name and text of each seed.
std::vector<std::pair<std::string, std::string>> seeds()
{
    std::vector<std::pair<std::string, std::string>> out;

    TEST_MeshShape cube = TEST_cubeShape("cube", 0.5);
    cube.m_iValueSize = 8;
    cube.m_iIndexSize = 2;
    out.emplace_back("cube.xml", TEST_ModelsSetWriter().addMesh(cube).text());

    TEST_MeshShape sphere = TEST_sphereShape("sphere", 1.0, 6, 4);
    sphere.m_bWriteBox = false;
    sphere.m_bDoubleSided = true;
    out.emplace_back("sphere.xml", TEST_ModelsSetWriter().addMesh(sphere).text());

    TEST_MeshShape plane = TEST_planeShape("plane", 1.0, 2);
    plane.m_aaColors.assign(plane.m_aoPositions.size(), {{255, 128, 0, 255}});
    plane.m_aaColors[4][3] = 100;
    MDL_MeshData computed;
    EXPECT_TRUE(TEST_readMeshData(plane, computed));
    for (int t = 0; t < computed.m_iNumTriangles; t++)
        for (int k = 0; k < 3; k++)
            plane.m_aiNeighbours.push_back(computed.m_poFaces[t].m_aiNeighbours[k]);
    out.emplace_back("plane_colours_neighbours.xml", TEST_ModelsSetWriter().addMesh(plane).text());

    const unsigned char pixel[4] = {10, 20, 30, 40};
    out.emplace_back("materials.xml",
                     TEST_ModelsSetWriter()
                         .addTexture("tex", TEST_pngImage(1, 1, true, pixel))
                         .addMaterial(TEST_MaterialRecord("a").diffuse(1, 0.5, 0).alpha(0.5).child("mirror", "0"))
                         .addMaterial(TEST_MaterialRecord("b").texture("TEX").texture("none").color(1, 1, 1, 0.5))
                         .text());

    TEST_MeshShape tri;
    tri.m_sName = "tri";
    tri.m_aoPositions = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
    tri.m_aiTriangles = {0, 1, 2};
    out.emplace_back("single_mesh_element.xml", tri.xml() + "\n" + TEST_MaterialRecord("m").alpha(0).xml());

    // A corner far out (rounding in the ray test grows with it), left out
    // of the box the file gives, and, once the fuzz target has edited the
    // mesh, a corner that is not finite.
    TEST_MeshShape huge = TEST_cubeShape("cube", 0.5);
    huge.m_iValueSize = 8;
    huge.m_aoPositions[4].m_fX = 7.7625904615035447e230;
    std::string hugeText = TEST_ModelsSetWriter().addMesh(huge).text();
    const std::string farBox = "<max>7.7625904615035447e+230 0.5 0.5</max>";
    size_t at = hugeText.find(farBox);
    EXPECT_NE(at, std::string::npos);
    if (at != std::string::npos)
        hugeText.replace(at, farBox.size(), "<max>0.5 0.5 0.5</max>");
    out.emplace_back("huge_corner.xml", hugeText);

    TEST_MeshShape badIndex = tri;
    badIndex.m_aiTriangles = {0, 1, 3};
    out.emplace_back("bad_index.xml", TEST_ModelsSetWriter().addMesh(badIndex).text());
    return out;
}

TEST(MeshSeeds, SeedsParseAndLoad)
{
    for (const auto &seed : seeds()) {
        SCOPED_TRACE(seed.first);
        TEST_LogCapture log;
        TEST_ParsedXml xml(seed.second);
        ASSERT_TRUE(xml.ok());
        int meshes = 0, refused = 0;
        for (const TiXmlElement *top = xml.m_oDocument.FirstChildElement(); top != nullptr;
             top = top->NextSiblingElement()) {
            const TiXmlElement *first = top->ValueStr() == "mesh" ? top : top->FirstChildElement("mesh");
            for (const TiXmlElement *e = first; e != nullptr; e = e->NextSiblingElement("mesh")) {
                MDL_MeshData d;
                meshes++;
                refused += !d.loadFromXML(e);
            }
        }
        EXPECT_EQ(refused, seed.first == "bad_index.xml" ? 1 : 0);
        EXPECT_EQ(meshes > 0, seed.first != "materials.xml");
    }
}

TEST(MeshSeeds, WrittenOnRequest)
{
    if (getenv("VEKTA_WRITE_FUZZ_SEEDS") == nullptr)
        GTEST_SKIP() << "set VEKTA_WRITE_FUZZ_SEEDS to write the seeds";
    for (const auto &seed : seeds()) {
        std::ofstream out(std::string(VEKTA_SOURCE_DIR) + "/fuzz/seeds/fuzz_mesh/" + seed.first, std::ios::binary);
        ASSERT_TRUE(out.good()) << seed.first;
        out << seed.second;
    }
}

} // namespace
