#include "tests/view/view_test_support.h"

#include <cstdio>
#include <cstdlib>
#include <sstream>

#include "tests/support/TEST_ModelsSetWriter.h"
#include "tests/support/TEST_Support.h"
#include "view/opengl/VIEW_GL.h"

void DrawingTest::SetUp()
{
    char error[256];
    m_poContext = VIEW_EglContext::create(m_iWidth, m_iHeight, error, sizeof(error));
    if (m_poContext == nullptr)
        TEST_SKIP_WITHOUT() << "no OpenGL context: " << error;
    newRenderer(VIEW_RENDER_MODE_NONE);
}

void DrawingTest::TearDown()
{
    if (m_poContext == nullptr)
        return;
    m_poContext->makeCurrent();
    if (m_poRenderer != nullptr) {
        m_poRenderer->flushImageTextures(nullptr);
        m_poRenderer->flushGlyphTextures(nullptr);
        delete m_poRenderer;
        m_poRenderer = nullptr;
    }
    expectNoGLError("tear-down");
    delete m_poContext;
    m_poContext = nullptr;
}

void DrawingTest::newRenderer(int renderMode)
{
    m_poContext->makeCurrent();
    if (m_poRenderer != nullptr) {
        m_poRenderer->flushImageTextures(nullptr);
        m_poRenderer->flushGlyphTextures(nullptr);
        delete m_poRenderer;
    }
    m_poRenderer = new VIEW_OpenGL();
    m_poRenderer->m_iRenderMode = renderMode;
    m_poRenderer->start();
}

void DrawingTest::drawFrame(MDL_Viewport &viewport, const MTH_Vector4D &clear)
{
    m_poRenderer->beginFrame(nullptr, false);
    m_poRenderer->clear(clear);
    m_poRenderer->renderViewport(&viewport, MTH_Vector2D(0, 0), MTH_Vector2D(m_iWidth, m_iHeight));
    m_poRenderer->present(nullptr);
    expectNoGLError("frame");
}

std::vector<unsigned char> DrawingTest::readStencilValues()
{
    std::vector<unsigned char> values(static_cast<size_t>(m_iWidth) * m_iHeight);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, m_iWidth, m_iHeight, GL_STENCIL_INDEX, GL_UNSIGNED_BYTE, values.data());
    return values;
}

void DrawingTest::readBack(UTIL_Bitmap &out)
{
    ASSERT_TRUE(m_poRenderer->readColor(nullptr, 0, 0, m_poContext->width(), m_poContext->height(), &out));
}

void DrawingTest::expectNoGLError(const char *where)
{
    // Through the renderer, when there is one: it holds what its own checks
    // read.
    auto next = [this]() -> GLenum { return m_poRenderer != nullptr ? m_poRenderer->takeError() : glGetError(); };
    for (GLenum error = next(); error != GL_NO_ERROR; error = next())
        ADD_FAILURE() << "OpenGL error 0x" << std::hex << error << " at " << where;
}

std::vector<int> VIEW_pixel(const UTIL_Bitmap &bitmap, int x, int y)
{
    std::vector<int> rgb;
    if (x < 0 || y < 0 || x >= bitmap.m_iWidth || y >= bitmap.m_iHeight)
        return rgb;
    const unsigned char *p =
        bitmap.m_pucData + (static_cast<size_t>(bitmap.m_iHeight - 1 - y) * bitmap.m_iWidth + x) * bitmap.m_iComponents;
    for (int c = 0; c < bitmap.m_iComponents; c++)
        rgb.push_back(p[c]);
    return rgb;
}

::testing::AssertionResult VIEW_near(const std::vector<int> &expected, const std::vector<int> &pixel, int tolerance)
{
    bool near = expected.size() == pixel.size();
    for (size_t c = 0; near && c < pixel.size(); c++)
        near = std::abs(expected[c] - pixel[c]) <= tolerance;
    if (near)
        return ::testing::AssertionSuccess();
    std::ostringstream out;
    out << "pixel (";
    for (size_t c = 0; c < pixel.size(); c++)
        out << (c > 0 ? ", " : "") << pixel[c];
    out << ") is not within " << tolerance << " of (";
    for (size_t c = 0; c < expected.size(); c++)
        out << (c > 0 ? ", " : "") << expected[c];
    out << ")";
    return ::testing::AssertionFailure() << out.str();
}

int VIEW_nearestDifference(const UTIL_Bitmap &a, const UTIL_Bitmap &b, int x, int y)
{
    std::vector<int> pixel = VIEW_pixel(a, x, y);
    int best = 256;
    for (int dy = -1; dy <= 1; dy++)
        for (int dx = -1; dx <= 1; dx++) {
            std::vector<int> other = VIEW_pixel(b, x + dx, y + dy);
            if (other.size() != pixel.size())
                continue;
            int difference = 0;
            for (size_t c = 0; c < pixel.size(); c++)
                difference = std::max(difference, std::abs(pixel[c] - other[c]));
            best = std::min(best, difference);
        }
    return best;
}

VIEW_Extent VIEW_inkExtent(const UTIL_Bitmap &bitmap, const std::vector<int> &background, int threshold, int left,
                           int top, int right, int bottom)
{
    VIEW_Extent e{right + 1, bottom + 1, left - 1, top - 1};
    for (int y = top; y <= bottom; y++)
        for (int x = left; x <= right; x++) {
            std::vector<int> pixel = VIEW_pixel(bitmap, x, y);
            bool ink = false;
            for (size_t c = 0; c < pixel.size() && c < background.size(); c++)
                ink = ink || std::abs(pixel[c] - background[c]) > threshold;
            if (!ink)
                continue;
            e.m_iLeft = std::min(e.m_iLeft, x);
            e.m_iRight = std::max(e.m_iRight, x);
            e.m_iTop = std::min(e.m_iTop, y);
            e.m_iBottom = std::max(e.m_iBottom, y);
        }
    return e;
}

void VIEW_expectGolden(const UTIL_Bitmap &picture, const std::string &name)
{
    std::string path = std::string(VEKTA_TEST_DATA_DIR) + "/golden/" + name + ".png";
    if (getenv("VEKTA_WRITE_GOLDEN") != nullptr) {
        EXPECT_TRUE(picture.writePng(path.c_str())) << path;
        return;
    }
    std::string bytes = TEST_readText(path);
    UTIL_Bitmap golden;
    ASSERT_TRUE(golden.decode(reinterpret_cast<const unsigned char *>(bytes.data()), bytes.size(), path.c_str()))
        << "no reference image " << path << " (VEKTA_WRITE_GOLDEN=1 writes it)";
    ASSERT_EQ(golden.m_iWidth, picture.m_iWidth) << name;
    ASSERT_EQ(golden.m_iHeight, picture.m_iHeight) << name;
    ASSERT_EQ(golden.m_iComponents, picture.m_iComponents) << name;
    int worst = 0, worstX = 0, worstY = 0, outside = 0;
    for (int y = 0; y < picture.m_iHeight; y++)
        for (int x = 0; x < picture.m_iWidth; x++) {
            int difference =
                std::max(VIEW_nearestDifference(picture, golden, x, y), VIEW_nearestDifference(golden, picture, x, y));
            if (difference > VIEW_kiGoldenTolerance)
                outside++;
            if (difference > worst) {
                worst = difference;
                worstX = x;
                worstY = y;
            }
        }
    if (outside > 0) {
        std::string actual = std::string(VEKTA_BINARY_DIR) + "/" + name + ".actual.png";
        picture.writePng(actual.c_str());
        ADD_FAILURE() << name << ": " << outside << " pixels differ by more than " << VIEW_kiGoldenTolerance
                      << " from the reference around them, the most (" << worst << ") at (" << worstX << ", " << worstY
                      << ") from the top left; the picture is in " << actual;
    }
}

std::vector<unsigned char> VIEW_encodePng(int width, int height, int components, const unsigned char *pixels)
{
    // The encoder takes the rows top first.
    const size_t row = static_cast<size_t>(width) * components;
    std::vector<unsigned char> topFirst;
    for (int y = height - 1; y >= 0; y--)
        topFirst.insert(topFirst.end(), pixels + y * row, pixels + (y + 1) * row);
    return TEST_pngPixels(width, height, components, topFirst);
}

MDL_Texture *VIEW_newTexture(const std::vector<unsigned char> &png, int filter)
{
    unsigned char *copy = static_cast<unsigned char *>(std::malloc(png.size()));
    std::copy(png.begin(), png.end(), copy);
    MDL_Texture *texture = new MDL_Texture("picture", copy, static_cast<uint32_t>(png.size()), true);
    texture->m_iFilter = static_cast<uint32_t>(filter);
    return texture;
}

TestScene::TestScene() : m_poCamera(new MDL_Camera()), m_oViewport(MTH_Vector2D(0, 0), MTH_Vector2D(1, 1))
{
    m_poCamera->editGlobalPosition() = MTH_Vector3D(0, 0, 5);
    m_oScene.addObject(m_poCamera);
    m_oViewport.m_poCamera = m_poCamera;
    m_oViewport.m_oViewportBackground = MTH_Vector4D(0, 0, 0, 1);
}

TestScene::~TestScene()
{
    // The scene destroys its objects (which only point at the data and
    // materials) after these.
    m_oViewport.m_poCamera = nullptr;
    for (MDL_MeshData *data : m_apoData)
        delete data;
    for (MDL_Material *material : m_apoMaterials)
        delete material;
    for (MDL_Texture *texture : m_apoTextures)
        delete texture;
}

MDL_MeshData *TestScene::square(double h)
{
    MDL_MeshData *data = new MDL_MeshData();
    data->m_iNumVertices = data->m_iNumNormals = data->m_iNumUVs = 4;
    data->m_poPositions = static_cast<MTH_Vector3D *>(MDL_allocateZeroed(4, sizeof(MTH_Vector3D)));
    data->m_poNormals = static_cast<MTH_Vector3D *>(MDL_allocateZeroed(4, sizeof(MTH_Vector3D)));
    data->m_poUVs = static_cast<MTH_Vector2D *>(MDL_allocateZeroed(4, sizeof(MTH_Vector2D)));
    const double corners[4][2] = {{-1, -1}, {1, -1}, {1, 1}, {-1, 1}};
    for (int i = 0; i < 4; i++) {
        data->m_poPositions[i] = MTH_Vector3D(corners[i][0] * h, corners[i][1] * h, 0);
        data->m_poNormals[i] = MTH_Vector3D(0, 0, 1);
        data->m_poUVs[i] = MTH_Vector2D((corners[i][0] + 1) / 2, (corners[i][1] + 1) / 2);
    }
    data->m_iNumTriangles = 2;
    data->m_puiTriangles = static_cast<uint32_t *>(MDL_allocateZeroed(6, sizeof(uint32_t)));
    const uint32_t triangles[6] = {0, 1, 2, 0, 2, 3};
    std::copy(triangles, triangles + 6, data->m_puiTriangles);
    data->m_poFaces = static_cast<MDL_Face *>(MDL_allocateZeroed(2, sizeof(MDL_Face)));
    data->computeNeighbours();
    data->computeFaceNormals();
    data->computeBoundingBox(data->m_oMin, data->m_oMax);
    m_apoData.push_back(data);
    return data;
}

MDL_MeshData *TestScene::shape(const TEST_MeshShape &shape)
{
    MDL_MeshData *data = new MDL_MeshData();
    EXPECT_TRUE(TEST_readMeshData(shape, *data)) << shape.m_sName;
    m_apoData.push_back(data);
    return data;
}

void TestScene::lookAt(const MTH_Vector3D &eye, const MTH_Vector3D &target)
{
    MTH_Vector3D z = eye - target;
    z.normalize();
    MTH_Vector3D x = MTH_Vector3D(0, 0, 1).cross(z);
    if (x.normalize() == 0)
        x = MTH_Vector3D(1, 0, 0);
    MTH_Frame &frame = m_poCamera->editGlobalFrame();
    frame.m_oPosition = eye;
    frame.m_oBasis.row(0) = x;
    frame.m_oBasis.row(1) = z.cross(x);
    frame.m_oBasis.row(2) = z;
    frame.invalidateInverse();
}

MDL_Lamp *TestScene::addLamp(int kind, const MTH_Vector3D &position)
{
    MDL_Lamp *lamp = new MDL_Lamp();
    lamp->m_iLampType = kind;
    lamp->m_oColor = MTH_Vector4D(1, 1, 1, 1);
    lamp->m_bNoSpecular = true;
    lamp->editGlobalPosition() = position;
    m_oScene.addObject(lamp);
    return lamp;
}

MDL_Mesh *TestScene::addMesh(MDL_MeshData *data, MDL_Material *material, double x, double y, double z)
{
    MDL_Mesh *mesh = new MDL_Mesh();
    mesh->setMeshData(data);
    mesh->setMaterial(material);
    mesh->editGlobalPosition() = MTH_Vector3D(x, y, z);
    m_oScene.addObject(mesh);
    return mesh;
}

MDL_Material *TestScene::shadeless(const MTH_Vector4D &color, MDL_Texture *texture)
{
    MDL_Material *material = new MDL_Material();
    material->m_bShadeless = true;
    material->m_oDiffuse = color;
    if (texture != nullptr) {
        material->addLayer(texture);
        m_apoTextures.push_back(texture);
    }
    m_apoMaterials.push_back(material);
    return material;
}

MDL_Material *TestScene::lit(const MTH_Vector4D &diffuse)
{
    MDL_Material *material = new MDL_Material();
    material->m_oDiffuse = diffuse;
    material->m_oAmbient = MTH_Vector4D(0, 0, 0, 1);
    material->m_oSpecular = MTH_Vector4D(0, 0, 0, 1);
    m_apoMaterials.push_back(material);
    return material;
}

void PlayedDocument::frames(VIEW_OpenGL *renderer, int width, int height, int count, double deltaTime)
{
    m_oController.m_poRenderer = renderer;
    m_oController.resize(width, height);
    for (int i = 0; i < count; i++)
        m_oController.frame(nullptr, renderer, deltaTime);
    m_oController.m_poRenderer = nullptr;
}
