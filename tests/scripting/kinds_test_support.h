#pragma once

// A document with a models set of every object kind that the bound classes
// stand for, "kinds.xml", beside the members of the resource document
// (tex.png, sine.ogg, movie.ogv, font.ttf, set.xml; resource_test_support.h):
//   texture "checker"; materials "red" (diffuse 1 0 0, one layer of
//   "checker"), "two" (two layers of "checker", the first with the colour
//   0.5 0.5 0.5 1)
//   mesh "tri": vertices (0, 0, 0), (1, 0, 0), (0, 1, 0), opaque vertex
//   colours red, green, blue, one triangle
//   objects:
//     "tri"   Mesh (mesh tri, material two)
//     "bare"  Mesh (mesh tri, no material)
//     "skin"  AnimatedMesh (mesh tri, material red) skinned to bone "arm"
//             (all three vertices, weight 1), with its child bone "root" at
//             the origin, whose child bone "arm" stands at (0, 1, 0), its
//             rest pose too
//     "spot"  Lamp of type Spot; "bulb" Lamp of type Lamp
//     "eye"   Camera with a field of view of 60 degrees
//     "box"   CollisionVolume of type box
//     "mark"  Locator
// and a 4 x 2 image "wide.png" (an aspect ratio of 0.5).
// The fixture runs chunks under the name "t" with the globals scene (a scene
// made by the script), set (the models set kinds.xml), tex (newTexture of
// tex.png), wide (newTexture of wide.png) and the helper R(x)
// (TEST_roundingHelpers).

#include <string>

#include "model/MDL_Object.h"
#include "model/MDL_Scene.h"
#include "tests/scripting/resource_test_support.h"

inline std::string TEST_kindsModelsSet()
{
    TEST_ModelsSetWriter writer;
    const unsigned char pixel[4] = {255, 255, 255, 255};
    writer.addTexture("checker", TEST_pngImage(2, 2, true, pixel));
    writer.addMaterial(TEST_MaterialRecord("red").diffuse(1, 0, 0).texture("checker"));
    writer.addMaterial(TEST_MaterialRecord("two").texture("checker").texture("checker").color(0.5, 0.5, 0.5, 1));
    TEST_MeshShape tri;
    tri.m_sName = "tri";
    tri.m_aoPositions = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
    tri.m_aoNormals.assign(3, MTH_Vector3D(0, 0, 1));
    tri.m_aaColors = {{255, 0, 0, 255}, {0, 255, 0, 255}, {0, 0, 255, 255}};
    tri.m_aiTriangles = {0, 1, 2};
    writer.addMesh(tri);
    writer.addVertexGroup("all", {0, 1, 2}, {1, 1, 1});
    auto object = [](const char *type, const char *name, const char *parent) {
        TEST_ObjectRecord o;
        o.m_sType = type;
        o.m_sName = name;
        o.m_sParent = parent;
        return o;
    };
    TEST_ObjectRecord mesh = object("Mesh", "tri", "");
    mesh.m_sMesh = "tri";
    mesh.m_sMaterial = "two";
    TEST_ObjectRecord bare = object("Mesh", "bare", "");
    bare.m_sMesh = "tri";
    TEST_ObjectRecord skin = object("AnimatedMesh", "skin", "");
    skin.m_sMesh = "tri";
    skin.m_sMaterial = "red";
    skin.m_aBindings = {{"all", "arm"}};
    TEST_ObjectRecord arm = object("Bone", "arm", "root");
    arm.m_afMatrix = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 1, 0, 1};
    arm.m_sExtra = "<original_matrix>1 0 0 0 0 1 0 0 0 0 1 0 0 1 0 1</original_matrix>";
    TEST_ObjectRecord spot = object("Lamp", "spot", "");
    spot.m_sExtra = "<type>Spot</type>";
    TEST_ObjectRecord bulb = object("Lamp", "bulb", "");
    bulb.m_sExtra = "<type>Lamp</type>";
    TEST_ObjectRecord eye = object("Camera", "eye", "");
    eye.m_sExtra = "<angle>60</angle>";
    TEST_ObjectRecord box = object("CollisionVolume", "box", "");
    box.m_sExtra = "<volume_type>box</volume_type>";
    writer.addObject(mesh).addObject(bare).addObject(skin).addObject(object("Bone", "root", "skin")).addObject(arm);
    writer.addObject(spot).addObject(bulb).addObject(eye).addObject(box).addObject(object("Locator", "mark", ""));
    return writer.text();
}

inline TEST_DocumentBuilder TEST_kindsDocument()
{
    TEST_DocumentBuilder document = TEST_resourceDocument();
    document.add("kinds.xml", TEST_kindsModelsSet());
    const unsigned char white[4] = {255, 255, 255, 255};
    document.add("wide.png", TEST_pngImage(4, 2, true, white));
    return document;
}

struct KindsFixture : ScriptDocument {
    MDL_Scene *m_poScene = nullptr;

    KindsFixture() : ScriptDocument(TEST_kindsDocument())
    {
        run("scene = newScene('main') set = newModelsSet('kinds.xml') tex = newTexture('tex.png') "
            "wide = newTexture('wide.png')");
        run(TEST_roundingHelpers());
        if (m_oController.m_oScenes.m_iCount > 0)
            m_poScene = m_oController.m_oScenes.m_pData[0];
    }

    // The scene's object of that name (the script names its copies).
    MDL_Object *object(const char *name) const { return m_poScene != nullptr ? m_poScene->getObject(name) : nullptr; }
};

// One call of a table of calls: the chunk, its results (TEST_runLua's form)
// and a text that the log must hold, or null when nothing may be reported.
struct TEST_CallRow {
    const char *m_sChunk;
    const char *m_sExpected;
    const char *m_sReported;
};

// Runs each row in a fresh fixture, after the setup chunk.
template <size_t N> void TEST_runCallRows(const char *setup, const TEST_CallRow (&rows)[N])
{
    for (const TEST_CallRow &row : rows) {
        KindsFixture f;
        ASSERT_TRUE(f.m_bOpened) << f.log();
        ASSERT_EQ(f.run(setup), "") << f.log();
        ASSERT_FALSE(f.reported()) << f.log();
        EXPECT_EQ(f.run(row.m_sChunk), row.m_sExpected) << row.m_sChunk;
        if (row.m_sReported == nullptr)
            EXPECT_FALSE(f.reported()) << row.m_sChunk << "\n" << f.log();
        else
            EXPECT_NE(f.log().find(row.m_sReported), std::string::npos) << row.m_sChunk << "\n" << f.log();
    }
}
