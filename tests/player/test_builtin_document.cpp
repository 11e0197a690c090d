#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "tests/support/TEST_Document.h"
#include "tests/support/TEST_ModelsSetWriter.h"
#include "tests/support/TEST_Process.h"

// The built-in document's models set is made by the test writer: the cube,
// sphere and plane of its sample set, with a camera and a lamp.
static std::string builtInScene()
{
    TEST_ModelsSetWriter writer = TEST_ModelsSetWriter::sample();
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
