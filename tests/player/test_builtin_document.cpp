#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <string>

#include "foundation/UTIL_Bitmap.h"
#include "model/MDL_Camera.h"
#include "model/MDL_RigidBody.h"
#include "model/MDL_Scene.h"
#include "model/MDL_Viewport.h"
#include "tests/scripting/script_test_support.h"
#include "tests/support/TEST_Document.h"
#include "tests/support/TEST_ModelsSetWriter.h"
#include "tests/support/TEST_Process.h"
#include "tests/support/TEST_Support.h"
#include "tests/support/TEST_Wav.h"

// The built-in document's models set is made by the test writer: a cube
// with a tiled texture, a sphere painted by its vertex colours and a plane of
// one colour, the pile's crates and balls, a camera, two lamps, a mirror
// floor and two panes of glass.
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
    // The pile's (its balls keep their vertex colours).
    writer.addMaterial(TEST_MaterialRecord("red").diffuse(0.8, 0.22, 0.18));
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
    // The camera looks down at the ring from the front, 53 degrees below the
    // horizon (its axes x, y and z, then its position).
    TEST_ObjectRecord camera;
    camera.m_sType = "Camera";
    camera.m_sName = "camera";
    camera.m_afMatrix = {1, 0, 0, 0, 0, 0.8, 0.6, 0, 0, -0.6, 0.8, 0, 0, -5.3, 6, 1};
    writer.addObject(camera);
    // A warm lamp in front, to the right, casting shadows, and a faint cool
    // light shining the way the camera looks.
    TEST_ObjectRecord lamp = TEST_placedObject("Lamp", "lamp", MTH_Vector3D(2.5, -2.5, 5));
    lamp.m_sExtra = "<type>Lamp</type><color>1 0.94 0.84</color><energy>1.1</energy><shadows>1</shadows>";
    writer.addObject(lamp);
    TEST_ObjectRecord fill = camera;
    fill.m_sType = "Lamp";
    fill.m_sName = "fill";
    fill.m_sExtra = "<type>Sun</type><color>0.22 0.25 0.32</color>";
    writer.addObject(fill);
    // A floor of tinted glass that mirrors what stands over it, and two
    // panes of coloured glass, the red one in front of the blue one.
    writer.addMaterial(TEST_MaterialRecord("mirror")
                           .diffuse(0.45, 0.5, 0.6)
                           .alpha(0.6)
                           .child("mirror", "1")
                           .child("cast_shadows", "0"));
    writer.addMaterial(TEST_MaterialRecord("redGlass").diffuse(1, 0.2, 0.15).alpha(0.5));
    writer.addMaterial(TEST_MaterialRecord("blueGlass").diffuse(0.2, 0.45, 1).alpha(0.5));
    writer.addMesh(TEST_planeShape("floor", 6, 6));
    TEST_ObjectRecord floor = TEST_placedObject("Mesh", "floor", MTH_Vector3D(0, 0, -1));
    floor.m_sMesh = "floor";
    floor.m_sMaterial = "mirror";
    writer.addObject(floor);
    // The panes face the camera, at half the plane's size.
    const struct {
        const char *name, *material;
        MTH_Vector3D position;
    } panes[] = {{"bluePane", "blueGlass", MTH_Vector3D(-2.3, -0.3, 0.2)},
                 {"redPane", "redGlass", MTH_Vector3D(-1.9, -1.1, 0.5)}};
    for (const auto &p : panes) {
        TEST_ObjectRecord mesh;
        mesh.m_sType = "Mesh";
        mesh.m_sName = p.name;
        mesh.m_afMatrix = {
            0.5, 0, 0, 0, 0, 0.4, 0.3, 0, 0, -0.3, 0.4, 0, p.position.m_fX, p.position.m_fY, p.position.m_fZ, 1};
        mesh.m_sMesh = "plane";
        mesh.m_sMaterial = p.material;
        writer.addObject(mesh);
    }
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

// Over the scene: a white caption underlined in orange in the upper left
// corner, and the set's tiles as a picture framed in orange in the upper
// right one (a width of 800 pixels: the picture's frame runs down
// x = 688 from y = 24, 88 pixels square).
TEST(BuiltInDocument, DrawsACaptionAndAFramedPicture)
{
    TEST_TempDir dir;
    std::string shot = dir.path("shot.png");
    TEST_ProcessResult result = TEST_run(
        VEKTA_PLAYER_EXE, {"--headless", "--frames", "3", "--dt", "0.02", "--size", "800x600", "--screenshot", shot});
    ASSERT_EQ(result.m_iExitCode, 0) << result.m_sErr;
    UTIL_Bitmap image;
    TEST_readPng(shot, image);
    ASSERT_EQ(image.m_iWidth, 800);
    ASSERT_EQ(image.m_iHeight, 600);
    auto near = [](const unsigned char *p, int r, int g, int b) {
        return std::abs(p[0] - r) <= 12 && std::abs(p[1] - g) <= 12 && std::abs(p[2] - b) <= 12;
    };
    auto count = [&](int x0, int y0, int x1, int y1, int r, int g, int b) {
        int n = 0;
        for (int y = y0; y <= y1; y++)
            for (int x = x0; x <= x1; x++)
                n += near(TEST_pixelFromTop(image, x, y), r, g, b);
        return n;
    };
    const int orange[3] = {255, 191, 76};
    EXPECT_GT(count(24, 20, 280, 52, 255, 255, 255), 150) << "the caption's letters";
    EXPECT_GT(count(40, 50, 44, 70, orange[0], orange[1], orange[2]), 0) << "the underline";
    EXPECT_TRUE(near(TEST_pixelFromTop(image, 688, 68), orange[0], orange[1], orange[2])) << "the frame";
    EXPECT_TRUE(near(TEST_pixelFromTop(image, 775, 68), orange[0], orange[1], orange[2])) << "the frame";
    const unsigned char *middle = TEST_pixelFromTop(image, 732, 68);
    EXPECT_TRUE(near(middle, 184, 82, 54) || near(middle, 240, 226, 196)) << "a tile";
}

// The pile of the built-in document falls, collides and comes to rest on
// the floor, as the frame loop steps it.
TEST(BuiltInDocument, ThePileComesToRest)
{
    ScriptDocument player(TEST_builtInMembers());
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
        EXPECT_TRUE(p.m_fZ > -1 && p.m_fZ < 0.5 && std::fabs(p.m_fX) < 2 && std::fabs(p.m_fY) < 2) << i;
    }
    EXPECT_FALSE(player.m_oController.m_bHalted) << player.log();
}

// The mouse on the built-in document: a click makes an arm grow, a drag
// carries a body of the pile, a drag beside everything turns the camera
// about the ring and the wheel brings it nearer.
TEST(BuiltInDocument, ArmsAndThePileAnswerTheMouseAndTheCameraTurns)
{
    ScriptDocument player(TEST_builtInMembers());
    CTRL_Generic &controller = player.m_oController;
    controller.resize(800, 600);
    ASSERT_TRUE(player.m_bOpened) << player.log();
    ASSERT_TRUE(player.run()) << player.log();
    controller.m_bRunning = true;
    MDL_Scene *scene = controller.m_oScenes.m_pData[0];
    MDL_Viewport *viewport = controller.m_oViewports.m_pData[0];
    // The camera stands where the models set put it, 6 above the ring.
    expectNear(MTH_Vector3D(0, 0, 6), viewport->m_poCamera->getGlobalPosition(), 1e-9);
    // The view's pixel of a scene point (the viewport fills the view).
    auto pixel = [&](const MTH_Vector3D &p) {
        MTH_Vector3D at;
        viewport->fromScene(p, at);
        return MTH_Vector2D(800 * at.m_fX, 800 * at.m_fY);
    };
    for (int frame = 0; frame < 200; frame++)
        controller.update(0.02);

    // A click on the top of the fourth arm (a cube).
    MDL_Object *arm = scene->getObject("arm4");
    ASSERT_NE(arm, nullptr);
    MTH_Vector2D at = pixel(arm->getGlobalPosition() + MTH_Vector3D(0, 0, 0.35));
    controller.mouseDown(false, at.m_fX, at.m_fY);
    EXPECT_EQ(controller.m_poGrabbedObject, arm);
    controller.mouseUp(at.m_fX, at.m_fY);
    EXPECT_NEAR(arm->getGlobalBasis().getRow(0).length(), 0.6, 1e-9);

    // The topmost body of the pile, held by its mesh, dragged half way to
    // the middle follows the mouse.
    MDL_Object *body = nullptr;
    for (int i = 0; i < scene->m_oRigidBodies.m_iCount; i++) {
        MDL_Object *b = scene->m_oRigidBodies.m_pData[i];
        if (body == nullptr || b->getGlobalPosition().m_fZ > body->getGlobalPosition().m_fZ)
            body = b;
    }
    ASSERT_NE(body, nullptr);
    MTH_Vector3D start = body->getGlobalPosition();
    MTH_Vector3D middle(start.m_fX * 0.5, start.m_fY * 0.5, start.m_fZ);
    at = pixel(start);
    MTH_Vector2D to = pixel(middle);
    controller.mouseDown(false, at.m_fX, at.m_fY);
    ASSERT_NE(controller.m_poGrabbedObject, nullptr);
    EXPECT_EQ(controller.m_poGrabbedObject->getParent(), body);
    for (int step = 1; step <= 10; step++) {
        controller.mouseMove(false, false, at.m_fX + (to.m_fX - at.m_fX) * step / 10,
                             at.m_fY + (to.m_fY - at.m_fY) * step / 10);
        controller.update(0.02);
    }
    controller.mouseUp(to.m_fX, to.m_fY);
    MTH_Vector3D moved = body->getGlobalPosition() - start;
    EXPECT_GT(moved.m_fX * -start.m_fX + moved.m_fY * -start.m_fY, 0);

    // A drag on the background turns the camera about the ring; the wheel
    // brings it nearer.
    controller.mouseDown(false, 10, 110);
    EXPECT_EQ(controller.m_poGrabbedObject, nullptr);
    controller.mouseMove(false, false, 10, 10);
    controller.mouseUp(10, 10);
    MTH_Vector3D turned = viewport->m_poCamera->getGlobalPosition();
    EXPECT_GT(std::fabs(turned.m_fX) + std::fabs(turned.m_fY), 0.5);
    EXPECT_NEAR(turned.length(), 6, 1e-9);
    controller.mouseWheel(false, 400, 300, 600);
    EXPECT_LT(viewport->m_poCamera->getGlobalPosition().length(), 5.5);
    EXPECT_FALSE(controller.m_bHalted) << player.log();
}
