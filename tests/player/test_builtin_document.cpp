#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <string>

#include "model/MDL_RigidBody.h"
#include "model/MDL_Scene.h"
#include "tests/scripting/script_test_support.h"
#include "tests/support/TEST_Document.h"
#include "tests/support/TEST_ModelsSetWriter.h"
#include "tests/support/TEST_Process.h"
#include "tests/support/TEST_Wav.h"

// The built-in document's models set is made by the test writer: the cube,
// sphere and plane of its sample set, with a camera and a lamp.
static std::string builtInScene()
{
    TEST_ModelsSetWriter writer = TEST_ModelsSetWriter::sample();
    TEST_ObjectRecord camera;
    camera.m_sType = "Camera";
    camera.m_sName = "camera";
    camera.m_afMatrix = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 6, 1};
    writer.addObject(camera);
    TEST_ObjectRecord lamp;
    lamp.m_sType = "Lamp";
    lamp.m_sName = "lamp";
    lamp.m_afMatrix = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 3, 3, 5, 1};
    lamp.m_sExtra = "<type>Lamp</type>";
    writer.addObject(lamp);
    // The pile's templates: a crate and a ball, each carrying a collision
    // volume of its shape.
    const char *const pile[][4] = {{"crate", "cube", "crateVolume", "box"}, {"ball", "sphere", "ballVolume", "sphere"}};
    for (const auto &p : pile) {
        TEST_ObjectRecord mesh;
        mesh.m_sType = "Mesh";
        mesh.m_sName = p[0];
        mesh.m_sMesh = p[1];
        mesh.m_sMaterial = "red";
        writer.addObject(mesh);
        TEST_ObjectRecord volume;
        volume.m_sType = "CollisionVolume";
        volume.m_sName = p[2];
        volume.m_sParent = p[0];
        volume.m_sExtra = std::string("<volume_type>") + p[3] + "</volume_type>";
        writer.addObject(volume);
    }
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

// The chime rings from an arm of the ring and is heard through the
// camera's microphone, on both sides as the ring turns.
TEST(BuiltInDocument, RingsAChime)
{
    TEST_TempDir dir;
    std::string path = dir.path("chime.wav");
    TEST_ProcessResult result =
        TEST_run(VEKTA_PLAYER_EXE, {"--headless", "--frames", "60", "--dt", "0.02", "--audio-out", path});
    EXPECT_EQ(result.m_iExitCode, 0) << result.m_sErr;
    TEST_Wav wav = TEST_readWav(path);
    ASSERT_TRUE(wav.m_bValid) << wav.m_sError;
    int left = 0, right = 0;
    for (int64_t f = 0; f < wav.frames(); f++) {
        left = std::max(left, std::abs(static_cast<int>(wav.left(f))));
        right = std::max(right, std::abs(static_cast<int>(wav.right(f))));
    }
    EXPECT_GT(left, 1000);
    EXPECT_GT(right, 1000);
    EXPECT_NE(left, right);
}

// The pile of the built-in document falls, collides and comes to rest on
// the floor, as the frame loop steps it.
TEST(BuiltInDocument, ThePileComesToRest)
{
    TEST_DocumentBuilder document(false);
    const std::string folder = std::string(VEKTA_SOURCE_DIR) + "/documents/vKorvestrane/";
    for (const char *name : {"config.xml", "init.lua", "scene.xml", "chime.ogg"})
        document.add(name, TEST_readText(folder + name));
    ScriptDocument player(document);
    ASSERT_TRUE(player.m_bOpened) << player.log();
    ASSERT_TRUE(player.run()) << player.log();
    player.m_oController.m_bRunning = true;
    ASSERT_EQ(1, player.m_oController.m_oScenes.m_iCount);
    MDL_Scene *scene = player.m_oController.m_oScenes.m_pData[0];
    ASSERT_EQ(8, scene->m_oRigidBodies.m_iCount);
    int restFrame = 0;
    bool collided = false;
    for (int frame = 1; frame <= 1500 && restFrame == 0; frame++) {
        player.m_oController.update(0.02);
        bool all = true;
        for (int i = 0; i < scene->m_oRigidBodies.m_iCount; i++) {
            MDL_RigidBody *body = MDL_RigidBody::cast(scene->m_oRigidBodies.m_pData[i]);
            all = all && body->getStill();
            collided = collided || body->getAngularSpeed().length() > 0.5;
        }
        if (all)
            restFrame = frame;
    }
    EXPECT_TRUE(collided);
    EXPECT_GT(restFrame, 0);
    for (int i = 0; i < scene->m_oRigidBodies.m_iCount; i++) {
        const MTH_Vector3D &p = scene->m_oRigidBodies.m_pData[i]->getGlobalPosition();
        EXPECT_TRUE(p.m_fZ > 0 && p.m_fZ < 1.5 && std::fabs(p.m_fX) < 2 && std::fabs(p.m_fY) < 2) << i;
    }
    EXPECT_FALSE(player.m_oController.m_bHalted) << player.log();
}
