#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "tests/support/TEST_Document.h"
#include "tests/support/TEST_ModelsSetWriter.h"
#include "tests/support/TEST_Process.h"

// The built-in document's models set is made by the test writer: a cube
// with a tiled texture, a sphere painted by its vertex colours and a plane of
// one colour, with a camera and a lamp.
static std::string builtInScene()
{
    // Terracotta and cream tiles, four pixels each.
    std::vector<unsigned char> tiles;
    for (int y = 0; y < 16; y++)
        for (int x = 0; x < 16; x++) {
            bool dark = (x / 4 + y / 4) % 2 == 0;
            const unsigned char rgb[3] = {static_cast<unsigned char>(dark ? 184 : 240),
                                          static_cast<unsigned char>(dark ? 82 : 226),
                                          static_cast<unsigned char>(dark ? 54 : 196)};
            tiles.insert(tiles.end(), rgb, rgb + 3);
        }
    TEST_ModelsSetWriter writer;
    writer.addTexture("tiles", TEST_pngPixels(16, 16, 3, tiles), "nearest_point");
    writer.addMaterial(TEST_MaterialRecord("tiled").diffuse(1, 1, 1).texture("tiles"));
    writer.addMaterial(TEST_MaterialRecord("painted").diffuse(1, 1, 1));
    writer.addMaterial(TEST_MaterialRecord("lawn").diffuse(0.35, 0.7, 0.4));
    // The sphere's colours follow its normals: a hue for every direction.
    TEST_MeshShape sphere = TEST_sphereShape("sphere", 1.0, 16, 8);
    for (const MTH_Vector3D &n : sphere.m_aoNormals)
        sphere.m_aaColors.push_back({static_cast<unsigned char>(127.5 + 127 * n.m_fX),
                                     static_cast<unsigned char>(127.5 + 127 * n.m_fY),
                                     static_cast<unsigned char>(127.5 + 127 * n.m_fZ), 255});
    const TEST_MeshShape shapes[3] = {TEST_cubeShape("cube"), sphere, TEST_planeShape("plane", 1.0, 2)};
    const char *const materials[3] = {"tiled", "painted", "lawn"};
    for (int i = 0; i < 3; i++) {
        writer.addMesh(shapes[i]);
        TEST_ObjectRecord mesh;
        mesh.m_sType = "Mesh";
        mesh.m_sName = mesh.m_sMesh = shapes[i].m_sName;
        mesh.m_sMaterial = materials[i];
        writer.addObject(mesh);
    }
    writer.addObject(TEST_placedObject("Camera", "camera", MTH_Vector3D(0, 0, 6)));
    TEST_ObjectRecord lamp = TEST_placedObject("Lamp", "lamp", MTH_Vector3D(3, 3, 5));
    lamp.m_sExtra = "<type>Lamp</type>";
    writer.addObject(lamp);
    return writer.text();
}

static const std::string SCENE_PATH = std::string(VEKTA_SOURCE_DIR) + "/documents/vKorvestrane/scene.xml";

// VEKTA_WRITE_DOCUMENT=1 writes the scene again after a change of the writer.
TEST(BuiltInDocument, SceneIsWhatTheWriterMakes)
{
    std::string scene = builtInScene();
    if (getenv("VEKTA_WRITE_DOCUMENT") != nullptr) {
        std::string error;
        ASSERT_TRUE(PACK_writeFile(SCENE_PATH, std::vector<unsigned char>(scene.begin(), scene.end()), error)) << error;
    }
    EXPECT_EQ(TEST_readText(SCENE_PATH), scene);
}

TEST(BuiltInDocument, PlaysWithNothingButItsGreeting)
{
    TEST_ProcessResult result = TEST_run(VEKTA_PLAYER_EXE, {"--headless", "--frames", "120", "--dt", "0.02"});
    EXPECT_EQ(result.m_iExitCode, 0) << result.m_sErr;
    // One greeting, then the start-up line; nothing else.
    size_t greeting = result.m_sErr.find("Welcome to Vekta.\n");
    ASSERT_EQ(greeting, 0u) << result.m_sErr;
    size_t loaded = result.m_sErr.find(" loaded in ");
    ASSERT_NE(loaded, std::string::npos) << result.m_sErr;
    EXPECT_EQ(result.m_sErr.find('\n', loaded) + 1, result.m_sErr.size()) << result.m_sErr;
}
