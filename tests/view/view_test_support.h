#pragma once

// Drawing tests: an off-screen OpenGL context on EGL (Mesa's software
// rasteriser on machines without a GPU) with the OpenGL renderer in it,
// scenes built from model objects, documents played by a controller, and
// pictures compared with reference images in tests/data/golden/.
//
// The reference images are written again, instead of compared, when the
// environment variable VEKTA_WRITE_GOLDEN is set.

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "controller/CTRL_Generic.h"
#include "foundation/UTIL_Bitmap.h"
#include "model/MDL_Camera.h"
#include "model/MDL_Lamp.h"
#include "model/MDL_Material.h"
#include "model/MDL_Mesh.h"
#include "model/MDL_MeshData.h"
#include "model/MDL_Scene.h"
#include "model/MDL_Texture.h"
#include "model/MDL_Viewport.h"
#include "tests/scripting/script_test_support.h"
#include "tests/support/TEST_Document.h"
#include "view/desktop/VIEW_EglContext.h"
#include "view/opengl/VIEW_OpenGL.h"

struct TEST_MeshShape;

// How far a drawn picture may stray from its reference image, per channel:
// every pixel of each must lie within this of the other's pixel at the
// same place or at one of its eight neighbours. Flat areas come out exact
// on the software rasterisers; blends may round differently, and edges may
// fall a pixel apart (llvmpipe and softpipe place some edge pixels
// differently), while a missing or moved feature still fails.
const int VIEW_kiGoldenTolerance = 2;

// A fixture with a context of kWidth x kHeight pixels and a renderer in
// it. A test is skipped, with the reason, only when no OpenGL context can
// be had at all. Every OpenGL error a test leaves fails it.
class DrawingTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // A new renderer in the given render mode, replacing the current one.
    void newRenderer(int renderMode);
    // One frame: the framebuffer cleared to a colour, the viewport over all
    // of it, and no OpenGL error after it.
    void drawFrame(MDL_Viewport &viewport, const MTH_Vector4D &clear = MTH_Vector4D(0, 0, 0, 1));
    // The stencil values of the framebuffer as they are (rows bottom-up).
    std::vector<unsigned char> readStencilValues();
    // The whole framebuffer, read through the renderer (RGB, rows bottom-up).
    void readBack(UTIL_Bitmap &out);
    // Fails the test with the OpenGL errors pending (and clears them).
    void expectNoGLError(const char *where);

    VIEW_EglContext *m_poContext = nullptr;
    VIEW_OpenGL *m_poRenderer = nullptr;
    int m_iWidth = 96;
    int m_iHeight = 64;
};

// Picture helpers.
// The RGB value of pixel (x, y) counted from the top left.
std::vector<int> VIEW_pixel(const UTIL_Bitmap &bitmap, int x, int y);
// Whether every channel of a pixel lies within tolerance of the expected
// value (for blends, which the rasterisers may round either way).
::testing::AssertionResult VIEW_near(const std::vector<int> &expected, const std::vector<int> &pixel, int tolerance);
// The smallest largest-channel difference between pixel (x, y) of a and
// the pixels of b at (x, y) and around it.
int VIEW_nearestDifference(const UTIL_Bitmap &a, const UTIL_Bitmap &b, int x, int y);
// The smallest rectangle (pixels from the top left, edges included) that
// holds every pixel of the area from (left, top) to (right, bottom) whose
// channels stray more than threshold from the background colour.
struct VIEW_Extent {
    int m_iLeft, m_iTop, m_iRight, m_iBottom;
    bool empty() const { return m_iRight < m_iLeft; }
    int width() const { return m_iRight - m_iLeft + 1; }
    int height() const { return m_iBottom - m_iTop + 1; }
};
VIEW_Extent VIEW_inkExtent(const UTIL_Bitmap &bitmap, const std::vector<int> &background, int threshold, int left,
                           int top, int right, int bottom);
// Compares a picture with tests/data/golden/NAME.png (or writes it on
// request). On a difference the picture is written beside the build for a
// look, and the test fails with the largest difference and where it is.
void VIEW_expectGolden(const UTIL_Bitmap &picture, const std::string &name);
// The encoded bytes of a PNG of the given pixels (rows bottom-up).
std::vector<unsigned char> VIEW_encodePng(int width, int height, int components, const unsigned char *pixels);
// A texture over copied PNG bytes.
MDL_Texture *VIEW_newTexture(const std::vector<unsigned char> &png, int filter);

// A scene with a camera at (0, 0, 5) looking down -z (default angle and
// clip distances), and the mesh data and materials its meshes use.
struct TestScene {
    TestScene();
    ~TestScene();
    TestScene(const TestScene &) = delete;
    TestScene &operator=(const TestScene &) = delete;

    // A mesh data of a square from (-h, -h) to (h, h) in z = 0 facing +z,
    // with normals and UVs 0..1 (owned by the scene).
    MDL_MeshData *square(double h);
    // A mesh data read from a shape of the models-set writer (owned by the
    // scene).
    MDL_MeshData *shape(const TEST_MeshShape &shape);
    // The camera at eye looking at target, its y axis upwards (towards +z).
    void lookAt(const MTH_Vector3D &eye, const MTH_Vector3D &target);
    // A lamp of a kind (MDL_Lamp::LAMP_...) at a position, white, energy 1,
    // without specular light, added to the scene.
    MDL_Lamp *addLamp(int kind, const MTH_Vector3D &position);
    // A mesh of data at (x, y, z) in the scene, with material (may be null).
    MDL_Mesh *addMesh(MDL_MeshData *data, MDL_Material *material, double x, double y, double z);
    // A shadeless material of a colour, with a texture layer when given
    // (owned by the scene).
    MDL_Material *shadeless(const MTH_Vector4D &color, MDL_Texture *texture = nullptr);
    // A lit material of a diffuse colour (alpha included) without ambient
    // or specular colour (owned by the scene).
    MDL_Material *lit(const MTH_Vector4D &diffuse);

    MDL_Scene m_oScene;
    MDL_Camera *m_poCamera;
    MDL_Viewport m_oViewport;
    std::vector<MDL_MeshData *> m_apoData;
    std::vector<MDL_Material *> m_apoMaterials;
    std::vector<MDL_Texture *> m_apoTextures;
};

// A document played by a controller with the script engine, frame by frame
// with a fixed time step, drawn by the fixture's renderer.
struct PlayedDocument : ScriptDocument {
    using ScriptDocument::ScriptDocument;
    // Runs frames of the time step (1/50 s unless given) at the view size.
    void frames(VIEW_OpenGL *renderer, int width, int height, int count, double deltaTime = 0.02);
};
