#include <gtest/gtest.h>

#include <string>

#include "tests/scripting/script_test_support.h"
#include "tests/support/TEST_ModelsSetWriter.h"

// The mesh, lamp and camera classes: constructed new or from a models set's
// templates, with the rows of "newObject".
TEST(ObjectClasses, ConstructFromTemplatesAndRefuseOtherClasses)
{
    TEST_ModelsSetWriter writer = TEST_ModelsSetWriter::sample();
    TEST_ObjectRecord camera;
    camera.m_sType = "Camera";
    camera.m_sName = "eye";
    writer.addObject(camera);
    TEST_DocumentBuilder document = ScriptDocument::withInit(R"(
        function startup()
          local scene = newScene("s")
          local set = newModelsSet("set.xml")
          local cube = newMesh(scene, set:get("cube"))
          local empty = newMesh(scene)
          local eye = newCamera(scene, set:get("eye"))
          local lamp = newLamp(scene)
          local viewport = newViewport(0, 0, 1, 0.75)
          viewport:setCamera(eye)
          results = table.concat({
            cube:getType(), tostring(getmetatable(cube) == newMesh), tostring(newMesh.getPosition ~= nil),
            empty:getType(), eye:getType(), lamp:getType(), tostring(viewport:getCamera() == eye),
            tostring(cube:getName()), tostring(set:get("cube") ~= cube),
            select(2, pcall(newMesh, scene, newObject(scene))),
            select(2, pcall(newCamera, scene, set:get("cube")))
          }, "|")
        end)");
    document.add("set.xml", writer.text());
    ScriptDocument script(document);
    ASSERT_TRUE(script.m_bOpened);
    ASSERT_TRUE(script.run()) << script.log();
    std::string results = script.text("results");
    const std::string expected = "3|true|true|3|2|1|true|cube|true|";
    EXPECT_EQ(results.substr(0, expected.size()), expected) << results;
    EXPECT_NE(results.find("(newMesh)"), std::string::npos) << results;
    EXPECT_NE(results.find("(newCamera)"), std::string::npos) << results;
}
