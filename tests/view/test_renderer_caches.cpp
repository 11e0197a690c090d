// The renderer's caches: image and frame textures, glyph textures, and the
// vertex buffers of mesh data; and what keeps bad geometry from OpenGL.
#include <cstring>

#include <ft2build.h>
#include FT_FREETYPE_H

#include "model/MDL_Font.h"
#include "tests/support/TEST_Log.h"
#include "tests/support/TEST_ModelsSetWriter.h"
#include "tests/view/view_test_support.h"
#include "view/opengl/VIEW_GL.h"

namespace {

// The size of a level of the bound texture (0 x 0 when it has none).
std::pair<int, int> levelSize(int level)
{
    GLint width = 0, height = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, level, GL_TEXTURE_WIDTH, &width);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, level, GL_TEXTURE_HEIGHT, &height);
    return std::make_pair(width, height);
}

std::vector<unsigned char> greyPng(int width, int height)
{
    const unsigned char grey[4] = {128, 128, 128, 255};
    return TEST_pngImage(width, height, false, grey);
}

class RendererCaches : public DrawingTest {
protected:
    void SetUp() override
    {
        DrawingTest::SetUp();
        if (m_poRenderer != nullptr)
            m_poRenderer->beginFrame(nullptr, false);
    }
};

TEST_F(RendererCaches, ImagesAreStretchedToPowersOfTwoWithAHalfTexelInset)
{
    MDL_Texture *texture = VIEW_newTexture(greyPng(300, 200), MDL_FILTER_DEFAULT);
    VIEW_ImageTexture *entry = m_poRenderer->getImageTexture(texture);
    ASSERT_NE(nullptr, entry);
    EXPECT_NE(0u, entry->m_uiTexture);
    EXPECT_EQ(std::make_pair(512, 256), levelSize(0));
    EXPECT_EQ(std::make_pair(0, 0), levelSize(1));
    EXPECT_DOUBLE_EQ(0.5 / 512, entry->m_fUMin);
    EXPECT_DOUBLE_EQ(0.5 / 256, entry->m_fVMin);
    EXPECT_DOUBLE_EQ(511.5 / 512, entry->m_fUMax);
    EXPECT_DOUBLE_EQ(255.5 / 256, entry->m_fVMax);
    EXPECT_EQ(512 * 256 * 3, entry->m_iByteSize);
    // Cached: the same entry, no new upload.
    EXPECT_EQ(entry, m_poRenderer->getImageTexture(texture));
    EXPECT_EQ(1, m_poRenderer->m_oImageTextures.getEntries());
    m_poRenderer->releaseTexture(texture);
    EXPECT_EQ(0, m_poRenderer->m_oImageTextures.getEntries());
    delete texture;
    expectNoGLError("image");
}

TEST_F(RendererCaches, TrilinearFilteringUploadsEveryMipmapLevel)
{
    MDL_Texture *texture = VIEW_newTexture(greyPng(300, 200), MDL_FILTER_MIPMAP);
    VIEW_ImageTexture *entry = m_poRenderer->getImageTexture(texture);
    ASSERT_NE(nullptr, entry);
    int bytes = 0;
    for (int level = 0; level <= 9; level++) {
        std::pair<int, int> expected(std::max(1, 512 >> level), std::max(1, 256 >> level));
        EXPECT_EQ(expected, levelSize(level)) << level;
        bytes += expected.first * expected.second * 3;
    }
    EXPECT_EQ(std::make_pair(0, 0), levelSize(10));
    EXPECT_EQ(bytes, entry->m_iByteSize);
    EXPECT_EQ(0, entry->m_fUMin);
    EXPECT_EQ(1, entry->m_fVMax);
    GLint minification = 0;
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &minification);
    EXPECT_EQ(GL_LINEAR_MIPMAP_LINEAR, minification);
    delete texture;
    expectNoGLError("mipmaps");
}

TEST_F(RendererCaches, ImagesLargerThanTheLargestTextureAreScaledDown)
{
    m_poRenderer->m_iMaxTextureSize = 128;
    MDL_Texture *texture = VIEW_newTexture(greyPng(300, 100), MDL_FILTER_DEFAULT);
    ASSERT_NE(nullptr, m_poRenderer->getImageTexture(texture));
    EXPECT_EQ(std::make_pair(128, 128), levelSize(0));
    delete texture;
    expectNoGLError("large image");
}

// An image that fails to decode is not cached and is tried again at every
// use, but its failure is reported once, until it decodes or its image
// changes.
TEST_F(RendererCaches, UndecodableImagesAreNotCachedAndReportedOnce)
{
    TEST_LogCapture log;
    std::vector<unsigned char> good = greyPng(64, 64);
    std::vector<unsigned char> cut(good.begin(), good.end() - 20);
    MDL_Texture *texture = VIEW_newTexture(cut, MDL_FILTER_DEFAULT);
    const std::vector<std::string> report = {"Pnglib error: Premature end of input (picture)"};
    for (int frame = 0; frame < 60; frame++)
        EXPECT_EQ(nullptr, m_poRenderer->getImageTexture(texture));
    EXPECT_EQ(0, m_poRenderer->m_oImageTextures.getEntries());
    EXPECT_EQ(report, log.m_asLines);

    // Another image that fails: reported once more.
    std::vector<unsigned char> other(good.begin(), good.end() - 30);
    unsigned char *bytes = static_cast<unsigned char *>(malloc(other.size()));
    memcpy(bytes, other.data(), other.size());
    texture->init("picture", bytes, static_cast<uint32_t>(other.size()), true);
    log.m_asLines.clear();
    for (int frame = 0; frame < 3; frame++)
        EXPECT_EQ(nullptr, m_poRenderer->getImageTexture(texture));
    EXPECT_EQ(report, log.m_asLines);

    // Bytes that say nothing when they fail (not an image at all) fail
    // quietly too; an image that decodes is cached.
    texture->init("picture", static_cast<unsigned char *>(calloc(40, 1)), 40, true);
    EXPECT_EQ(nullptr, m_poRenderer->getImageTexture(texture));
    bytes = static_cast<unsigned char *>(malloc(good.size()));
    memcpy(bytes, good.data(), good.size());
    texture->init("picture", bytes, static_cast<uint32_t>(good.size()), true);
    EXPECT_NE(nullptr, m_poRenderer->getImageTexture(texture));
    EXPECT_EQ(report, log.m_asLines);
    delete texture;
}

TEST_F(RendererCaches, FiltersOutsideTheKnownOnesFallBackToTheDefault)
{
    const struct {
        int rendererDefault, filter;
        GLint minification, magnification;
    } cases[] = {
        {2, 0, GL_LINEAR, GL_LINEAR},   {2, 1, GL_NEAREST, GL_NEAREST},
        {1, 0, GL_NEAREST, GL_NEAREST}, {2, 3, GL_LINEAR_MIPMAP_LINEAR, GL_LINEAR},
        {1, 9, GL_NEAREST, GL_NEAREST}, // an unknown texture filter: the default
        {7, 0, GL_LINEAR, GL_LINEAR},   // an unknown default: linear
        {0, -4, GL_LINEAR, GL_LINEAR},
    };
    GLuint name = 0;
    glGenTextures(1, &name);
    glBindTexture(GL_TEXTURE_2D, name);
    for (const auto &c : cases) {
        m_poRenderer->m_iTextureFilter = c.rendererDefault;
        m_poRenderer->applyTextureFilter(c.filter);
        GLint minification = 0, magnification = 0;
        glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &minification);
        glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, &magnification);
        EXPECT_EQ(c.minification, minification) << c.rendererDefault << " " << c.filter;
        EXPECT_EQ(c.magnification, magnification) << c.rendererDefault << " " << c.filter;
    }
    glDeleteTextures(1, &name);
    expectNoGLError("filters");
}

TEST_F(RendererCaches, MovieFramesAreUploadedAndRefreshedWhenChanged)
{
    // 3 x 2 RGB: rows of 9 bytes, uploaded byte for byte.
    unsigned char pixels[18];
    for (int i = 0; i < 18; i++)
        pixels[i] = static_cast<unsigned char>(10 * i);
    MDL_Texture texture;
    texture.setFrame(pixels, 3, 2);
    texture.m_bFrameChanged = true;
    VIEW_ImageTexture *entry = m_poRenderer->getImageTexture(&texture);
    ASSERT_NE(nullptr, entry);
    EXPECT_FALSE(texture.m_bFrameChanged);
    EXPECT_EQ(std::make_pair(4, 2), levelSize(0));
    EXPECT_DOUBLE_EQ(0.5 / 4, entry->m_fUMin);
    EXPECT_DOUBLE_EQ(2.5 / 4, entry->m_fUMax);
    EXPECT_DOUBLE_EQ(1.5 / 2, entry->m_fVMax);
    EXPECT_EQ(4 * 2 * 3, entry->m_iByteSize);
    unsigned char read[4 * 2 * 3];
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGB, GL_UNSIGNED_BYTE, read);
    EXPECT_EQ(0, memcmp(read, pixels, 9));
    EXPECT_EQ(0, memcmp(read + 12, pixels + 9, 9));

    pixels[0] = 255;
    m_poRenderer->getImageTexture(&texture); // unchanged: not uploaded again
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGB, GL_UNSIGNED_BYTE, read);
    EXPECT_EQ(0, read[0]);
    texture.m_bFrameChanged = true;
    EXPECT_EQ(entry, m_poRenderer->getImageTexture(&texture));
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGB, GL_UNSIGNED_BYTE, read);
    EXPECT_EQ(255, read[0]);

    MDL_Texture empty;
    empty.setFrame(nullptr, 3, 2);
    EXPECT_EQ(nullptr, m_poRenderer->getImageTexture(&empty));
    m_poRenderer->releaseTexture(&texture);
    expectNoGLError("frames");
}

TEST_F(RendererCaches, GlyphsAreRenderedOncePerFontSizeAndCharacter)
{
    MDL_Font font("default", nullptr, 0, false);
    ASSERT_TRUE(font.setSize(20));
    VIEW_GlyphTexture *space = m_poRenderer->getGlyphTexture(&font, ' ');
    EXPECT_EQ(0u, space->m_uiTexture);
    EXPECT_EQ(0, space->m_iByteSize);
    EXPECT_GT(space->m_fAdvance, 0);
    VIEW_GlyphTexture *letter = m_poRenderer->getGlyphTexture(&font, 'g');
    ASSERT_NE(0u, letter->m_uiTexture);
    EXPECT_GT(letter->m_iRows, 0);
    EXPECT_LT(letter->m_iTop, letter->m_iRows); // a descender
    std::pair<int, int> size = levelSize(0);
    EXPECT_DOUBLE_EQ(static_cast<double>(letter->m_iWidth) / size.first, letter->m_fUScale);
    EXPECT_DOUBLE_EQ(static_cast<double>(letter->m_iRows) / size.second, letter->m_fVScale);
    EXPECT_EQ(size.first * size.second, letter->m_iByteSize);
    EXPECT_EQ(letter, m_poRenderer->getGlyphTexture(&font, 'g'));
    ASSERT_TRUE(font.setSize(40));
    VIEW_GlyphTexture *larger = m_poRenderer->getGlyphTexture(&font, 'g');
    EXPECT_NE(letter, larger);
    EXPECT_GT(larger->m_iRows, letter->m_iRows);
    EXPECT_EQ(3, m_poRenderer->m_oGlyphTextures.getEntries());

    // Invalidated: the next frame starts the cache afresh.
    m_poRenderer->invalidateGlyphTextures();
    m_poRenderer->beginFrame(nullptr, false);
    EXPECT_EQ(0, m_poRenderer->m_oGlyphTextures.getEntries());
    expectNoGLError("glyphs");
}

TEST(GlyphCoverage, RowsComeTopFirstWhateverThePitch)
{
    // A 3 x 2 grey glyph: top row 1 2 3, bottom row 4 5 6, in rows padded
    // to 4 bytes, stored top-down (pitch 4) or bottom-up (pitch -4); the
    // same in one bit per pixel; and as the alpha of colour pixels.
    unsigned char down[8] = {1, 2, 3, 0, 4, 5, 6, 0};
    unsigned char up[8] = {4, 5, 6, 0, 1, 2, 3, 0};
    unsigned char mono[4] = {0xa0, 0, 0x40, 0}; // 1 0 1 / 0 1 0
    unsigned char bgra[24] = {0, 0, 0, 1, 0, 0, 0, 2, 0, 0, 0, 3, 0, 0, 0, 4, 0, 0, 0, 5, 0, 0, 0, 6};
    const struct {
        const char *name;
        unsigned char *buffer;
        int pitch;
        unsigned char mode;
        std::vector<int> expected;
    } cases[] = {
        {"grey down", down, 4, FT_PIXEL_MODE_GRAY, {1, 2, 3, 4, 5, 6}},
        {"grey up", up, -4, FT_PIXEL_MODE_GRAY, {1, 2, 3, 4, 5, 6}},
        {"mono", mono, 2, FT_PIXEL_MODE_MONO, {255, 0, 255, 0, 255, 0}},
        {"colour", bgra, 12, FT_PIXEL_MODE_BGRA, {1, 2, 3, 4, 5, 6}},
        {"pitch too short", down, 2, FT_PIXEL_MODE_GRAY, {}},
        {"lcd", down, 4, FT_PIXEL_MODE_LCD, {}},
    };
    for (const auto &c : cases) {
        FT_Bitmap glyph;
        std::memset(&glyph, 0, sizeof(glyph));
        glyph.width = 3;
        glyph.rows = 2;
        glyph.pitch = c.pitch;
        glyph.buffer = c.buffer;
        glyph.pixel_mode = c.mode;
        UTIL_Bitmap out;
        EXPECT_EQ(!c.expected.empty(), VIEW_glyphCoverage(glyph, out)) << c.name;
        std::vector<int> got;
        if (out.m_pucData != nullptr)
            got.assign(out.m_pucData, out.m_pucData + 6);
        EXPECT_EQ(c.expected, got) << c.name;
    }
}

class RendererMeshes : public DrawingTest {
protected:
    // Draws the scene's viewport over a green frame; the centre pixel.
    std::vector<int> drawCentre(TestScene &scene)
    {
        m_poRenderer->beginFrame(nullptr, false);
        m_poRenderer->clear(MTH_Vector4D(0, 1, 0, 1));
        scene.m_oViewport.m_oViewportBackground = MTH_Vector4D(0, 0, 0, 0);
        m_poRenderer->renderViewport(&scene.m_oViewport, MTH_Vector2D(0, 0), MTH_Vector2D(m_iWidth, m_iHeight));
        m_poRenderer->present(nullptr);
        expectNoGLError("frame");
        UTIL_Bitmap picture;
        readBack(picture);
        return VIEW_pixel(picture, m_iWidth / 2, m_iHeight / 2);
    }
};

TEST_F(RendererMeshes, GeometryThatReachesOutsideItsVerticesIsNotDrawn)
{
    for (int mode : {VIEW_RENDER_MODE_NONE, VIEW_RENDER_MODE_VBO}) {
        newRenderer(mode);
        TestScene scene;
        MDL_MeshData *data = scene.square(1);
        data->m_puiTriangles[5] = 4; // one index past the four vertices
        scene.addMesh(data, scene.shadeless(MTH_Vector4D(1, 0, 0, 1)), 0, 0, 0);
        EXPECT_EQ(std::vector<int>({0, 255, 0}), drawCentre(scene)) << mode;
        EXPECT_EQ(0, m_poRenderer->m_oMeshBuffers.getEntries());
    }
}

TEST_F(RendererMeshes, ArraysShorterThanTheVerticesAreLeftOut)
{
    for (int mode : {VIEW_RENDER_MODE_NONE, VIEW_RENDER_MODE_VBO}) {
        newRenderer(mode);
        TestScene scene;
        MDL_MeshData *data = scene.square(1);
        // UVs for two of the four vertices: drawn without the UV array (the
        // blue picture then shows through one constant coordinate).
        data->m_iNumUVs = 2;
        const unsigned char blue[3] = {0, 0, 255};
        MDL_Texture *texture = VIEW_newTexture(VIEW_encodePng(1, 1, 3, blue), MDL_FILTER_DEFAULT);
        scene.addMesh(data, scene.shadeless(MTH_Vector4D(1, 1, 1, 1), texture), 0, 0, 0);
        EXPECT_EQ(std::vector<int>({0, 0, 255}), drawCentre(scene)) << mode;
    }
}

TEST_F(RendererMeshes, BuffersOfAFreedMeshDataAreNeverDrawnAgain)
{
    newRenderer(VIEW_RENDER_MODE_VBO);
    TestScene scene;
    MDL_MeshData *data = scene.square(1);
    MDL_Mesh *mesh = scene.addMesh(data, scene.shadeless(MTH_Vector4D(1, 0, 0, 1)), 0, 0, 0);
    EXPECT_EQ(std::vector<int>({255, 0, 0}), drawCentre(scene));
    ASSERT_EQ(1, m_poRenderer->m_oMeshBuffers.getEntries());
    GLuint vertexBuffer = m_poRenderer->m_oMeshBuffers.find(&data)->m_oValue.m_uiVertexBuffer;
    EXPECT_TRUE(glIsBuffer(vertexBuffer));

    // The mesh data goes: its entry at once, its buffers at the next frame.
    mesh->setMeshData(nullptr);
    scene.m_apoData.clear();
    delete data;
    EXPECT_EQ(0, m_poRenderer->m_oMeshBuffers.getEntries());
    EXPECT_EQ(std::vector<int>({0, 255, 0}), drawCentre(scene));
    EXPECT_FALSE(glIsBuffer(vertexBuffer));

    // New geometry, wherever it lands, gets buffers of its own.
    MDL_MeshData *smaller = scene.square(0.1);
    mesh->setMeshData(smaller);
    mesh->editGlobalPosition() = MTH_Vector3D(1.5, 0, 0);
    EXPECT_EQ(std::vector<int>({0, 255, 0}), drawCentre(scene));
    EXPECT_EQ(1, m_poRenderer->m_oMeshBuffers.getEntries());
}

TEST_F(RendererMeshes, AnUploadKeepsTheErrorsBeforeIt)
{
    // An error left pending before a frame that uploads vertex buffers is
    // still there for the check after the frame.
    newRenderer(VIEW_RENDER_MODE_VBO);
    TestScene scene;
    scene.addMesh(scene.square(1), scene.shadeless(MTH_Vector4D(1, 0, 0, 1)), 0, 0, 0);
    glEnable(0x7fff); // not a capability: GL_INVALID_ENUM
    m_poRenderer->beginFrame(nullptr, false);
    m_poRenderer->renderViewport(&scene.m_oViewport, MTH_Vector2D(0, 0), MTH_Vector2D(m_iWidth, m_iHeight));
    m_poRenderer->present(nullptr);
    ASSERT_EQ(1, m_poRenderer->m_oMeshBuffers.getEntries());
    EXPECT_EQ(static_cast<unsigned int>(GL_INVALID_ENUM), m_poRenderer->takeError());
    EXPECT_EQ(static_cast<unsigned int>(GL_NO_ERROR), m_poRenderer->takeError());
}

TEST_F(RendererMeshes, EditedGeometryIsUploadedAgain)
{
    newRenderer(VIEW_RENDER_MODE_VBO);
    TestScene scene;
    MDL_Mesh *mesh = scene.addMesh(scene.square(0.2), scene.shadeless(MTH_Vector4D(1, 0, 0, 1)), 0, 0, 0);
    EXPECT_EQ(std::vector<int>({255, 0, 0}), drawCentre(scene));
    // Moved away from the centre through the shared data.
    for (int i = 0; i < 4; i++) {
        MTH_Vector3D p;
        mesh->getVertexPosition(i, p);
        mesh->setVertexPosition(i, p + MTH_Vector3D(1.5, 0, 0));
    }
    EXPECT_TRUE(mesh->m_bGeometryEdited);
    EXPECT_EQ(std::vector<int>({0, 255, 0}), drawCentre(scene));
    EXPECT_FALSE(mesh->m_bGeometryEdited);
}

} // namespace
