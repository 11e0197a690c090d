// The guide's worked example of the models-set format is real: its XML
// loads into the mesh and objects that the guide says it decodes to, and a
// document made of it and of the guide's script plays.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "controller/CTRL_Generic.h"
#include "model/MDL_Camera.h"
#include "model/MDL_Lamp.h"
#include "model/MDL_Material.h"
#include "model/MDL_Mesh.h"
#include "model/MDL_MeshData.h"
#include "model/MDL_ModelsSet.h"
#include "model/MDL_Object.h"
#include "model/MDL_ObjectTypes.h"
#include "model/MDL_Scene.h"
#include "model/MDL_Viewport.h"
#include "scripting/LMP_ScriptEngine.h"
#include "tests/docs/guide_text.h"
#include "tests/scripting/script_test_support.h"
#include "tests/support/TEST_Document.h"
#include "tests/support/TEST_Log.h"

namespace {

const double DEGREES = 0.017453292519943295;

// The first "xml" or "lua" block of the worked example.
std::string exampleBlock(const std::string &language)
{
    std::vector<const GuideSection *> sections = TEST_authorsGuide().sectionsStartingWith("Worked example");
    return sections.size() == 1 ? sections[0]->codeBlock(language) : "";
}

void expectVector(const MTH_Vector3D &v, double x, double y, double z, const char *what)
{
    EXPECT_NEAR(v.m_fX, x, 1e-9) << what;
    EXPECT_NEAR(v.m_fY, y, 1e-9) << what;
    EXPECT_NEAR(v.m_fZ, z, 1e-9) << what;
}

} // namespace

TEST(GuideExample, DecodesToWhatTheGuideStates)
{
    std::string xml = exampleBlock("xml");
    ASSERT_FALSE(xml.empty()) << "no xml block after the heading \"Worked example\"";
    TEST_LogCapture log;
    MDL_ModelsSet set;
    set.setName("triangle.xml");
    ASSERT_TRUE(set.load(xml.c_str()));
    EXPECT_TRUE(log.m_asLines.empty()) << log.joined();

    // The mesh "tri": three vertices of one triangle facing +z.
    ASSERT_EQ(set.m_oMeshData.m_iCount, 1);
    const MDL_MeshData *data = set.getMeshData("tri");
    ASSERT_NE(data, nullptr);
    ASSERT_EQ(data->m_iNumVertices, 3);
    expectVector(data->m_poPositions[0], 0, 0, 0, "vertex 0");
    expectVector(data->m_poPositions[1], 1, 0, 0, "vertex 1");
    expectVector(data->m_poPositions[2], 0, 1, 0, "vertex 2");
    ASSERT_EQ(data->m_iNumNormals, 3);
    for (int i = 0; i < 3; i++)
        expectVector(data->m_poNormals[i], 0, 0, 1, "normal");
    ASSERT_EQ(data->m_iNumUVs, 3);
    const double uvs[3][2] = {{0, 0}, {1, 0}, {0, 1}};
    for (int i = 0; i < 3; i++) {
        EXPECT_EQ(data->m_poUVs[i].m_fX, uvs[i][0]) << "uv " << i;
        EXPECT_EQ(data->m_poUVs[i].m_fY, uvs[i][1]) << "uv " << i;
    }
    ASSERT_EQ(data->m_iNumColors, 3);
    const double colours[3][4] = {{1, 0, 0, 1}, {0, 1, 0, 1}, {0, 0, 1, 1}};
    for (int i = 0; i < 3; i++) {
        const MTH_Vector4D &c = data->m_poColors[i];
        EXPECT_EQ(c.m_fX, colours[i][0]) << "colour " << i;
        EXPECT_EQ(c.m_fY, colours[i][1]) << "colour " << i;
        EXPECT_EQ(c.m_fZ, colours[i][2]) << "colour " << i;
        EXPECT_EQ(c.m_fW, colours[i][3]) << "colour " << i;
    }
    EXPECT_EQ(data->m_iNumNonOpaqueColors, 0);
    ASSERT_EQ(data->m_iNumTriangles, 1);
    EXPECT_EQ(data->m_puiTriangles[0], 0u);
    EXPECT_EQ(data->m_puiTriangles[1], 1u);
    EXPECT_EQ(data->m_puiTriangles[2], 2u);
    expectVector(data->m_poFaces[0].m_oNormal, 0, 0, 1, "face normal (counter-clockwise from +z)");
    expectVector(data->m_oMax, 1, 1, 0, "box");

    // The objects: the triangle, the camera, and the lamp riding on it.
    ASSERT_EQ(set.m_oObjects.m_iCount, 3);
    MDL_Object *triangle = set.getObject("triangle");
    ASSERT_NE(triangle, nullptr);
    ASSERT_EQ(triangle->getType(), OBJECT_MESH);
    MDL_Mesh *mesh = static_cast<MDL_Mesh *>(triangle);
    EXPECT_EQ(mesh->getMeshData(), data);
    ASSERT_NE(mesh->getMaterial(), nullptr);
    EXPECT_STREQ(mesh->getMaterial()->getName(), "paint");
    EXPECT_EQ(mesh->getMaterial()->m_fShininess, 20);
    expectVector(triangle->getGlobalPosition(), 0, 0, 0, "triangle");

    MDL_Object *eye = set.getObject("eye");
    ASSERT_NE(eye, nullptr);
    ASSERT_EQ(eye->getType(), OBJECT_CAMERA);
    EXPECT_NEAR(static_cast<MDL_Camera *>(eye)->m_fAngle, 60 * DEGREES, 1e-12);
    expectVector(eye->getGlobalPosition(), 0.5, 0.5, 3, "eye");

    MDL_Object *light = set.getObject("light");
    ASSERT_NE(light, nullptr);
    ASSERT_EQ(light->getType(), OBJECT_LAMP);
    EXPECT_EQ(light->getParent(), eye);
    EXPECT_EQ(static_cast<MDL_Lamp *>(light)->m_iLampType, MDL_Lamp::LAMP_POINT);
    const MTH_Vector4D &colour = static_cast<MDL_Lamp *>(light)->m_oColor;
    EXPECT_EQ(colour.m_fX + colour.m_fY + colour.m_fZ, 3) << "a white lamp";
    expectVector(light->getGlobalPosition(), 1.5, 1.5, 3, "light");
}

// The example's script in a document with the example's set: it sets a
// background colour, the camera brings its lamp, the viewport shows it, and
// the triangle turns a quarter turn a second.
TEST(GuideExample, PlaysAsADocument)
{
    std::string xml = exampleBlock("xml");
    std::string lua = exampleBlock("lua");
    ASSERT_FALSE(lua.empty()) << "no lua block after the heading \"Worked example\"";
    TEST_DocumentBuilder document;
    document.add("init.lua", lua).add("triangle.xml", xml);
    ScriptDocument played(document);
    ASSERT_TRUE(played.m_bOpened) << played.log();
    CTRL_Generic &controller = played.m_oController;
    controller.m_bRunning = true;
    controller.resize(800, 600);
    for (int frame = 0; frame < 5; frame++)
        controller.frame(nullptr, nullptr, 0.1);
    ASSERT_FALSE(controller.m_bHalted) << played.log();
    EXPECT_EQ(controller.m_oBackgroundColor.m_fW, 1) << "the example clears the view with a colour of its own";

    ASSERT_EQ(controller.m_oScenes.m_iCount, 1);
    MDL_Scene *scene = controller.m_oScenes.m_pData[0];
    MDL_Object *light = scene->getObject("light");
    ASSERT_NE(light, nullptr);
    expectVector(light->getGlobalPosition(), 1.5, 1.5, 3, "light");
    ASSERT_NE(controller.m_poCurrentViewport, nullptr);
    ASSERT_NE(controller.m_poCurrentViewport->m_poCamera, nullptr);
    EXPECT_STREQ(controller.m_poCurrentViewport->m_poCamera->getName(), "eye");
    MDL_Object *triangle = scene->getObject("triangle");
    ASSERT_NE(triangle, nullptr);
    double half = std::sqrt(0.5);
    expectVector(triangle->getGlobalBasis().getRow(0), half, half, 0, "x axis after half a second");
}
