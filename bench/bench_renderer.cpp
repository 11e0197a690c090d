// The OpenGL renderer headless on EGL (Mesa's software rasteriser without a
// GPU), 800 x 600:
// a mesh of 100,352 triangles drawn in render mode 0 (client arrays) and
// mode 1 (vertex buffers), beside the plain vertex-buffer draw of the same
// triangles as single-precision positions with no material (the baseline).
// Frames of the built-in document are measured by bench_player.
// Times are wall-clock: the rasteriser draws on threads of its own, which
// each frame waits for (glFinish).
#include <benchmark/benchmark.h>

#include <vector>

#include "bench/bench_drawing.h"
#include "model/MDL_Camera.h"
#include "model/MDL_Material.h"
#include "model/MDL_Mesh.h"
#include "model/MDL_MeshData.h"
#include "model/MDL_Scene.h"
#include "model/MDL_Viewport.h"
#include "view/desktop/VIEW_EglContext.h"
#include "view/opengl/VIEW_GL.h"
#include "view/opengl/VIEW_OpenGL.h"

namespace {

const int WIDTH = 800, HEIGHT = 600;
// A grid of CELLS x CELLS squares, two triangles each.
const int CELLS = 224;

// A grid over [-1, 1]^2 in z = 0 facing +z, with normals, in front of a
// camera at (0, 0, 3) that sees all of it; a shadeless grey material.
struct GridScene {
    GridScene() : m_oViewport(MTH_Vector2D(0, 0), MTH_Vector2D(1, 0.75))
    {
        BENCH_grid(m_oData, CELLS, CELLS, 2.0 / CELLS, false);
        m_oMaterial.m_bShadeless = true;
        m_oMaterial.m_oDiffuse = MTH_Vector4D(0.7, 0.7, 0.7, 1);
        MDL_Mesh *mesh = new MDL_Mesh();
        mesh->setMeshData(&m_oData);
        mesh->setMaterial(&m_oMaterial);
        m_oScene.addObject(mesh);
        MDL_Camera *camera = new MDL_Camera();
        camera->editGlobalPosition() = MTH_Vector3D(0, 0, 3);
        m_oScene.addObject(camera);
        m_oViewport.m_poCamera = camera;
        m_oViewport.m_oViewportBackground = MTH_Vector4D(0, 0, 0, 1);
    }

    MDL_MeshData m_oData;
    MDL_Material m_oMaterial;
    MDL_Scene m_oScene;
    MDL_Viewport m_oViewport;
};

void drawGrid(benchmark::State &state, int renderMode)
{
    if (!BENCH_needContext(state, WIDTH, HEIGHT))
        return;
    GridScene grid;
    VIEW_OpenGL renderer;
    renderer.m_iRenderMode = renderMode;
    for (auto _ : state) {
        renderer.beginFrame(nullptr, false);
        renderer.clear(MTH_Vector4D(0, 0, 0, 1));
        renderer.renderViewport(&grid.m_oViewport, MTH_Vector2D(0, 0), MTH_Vector2D(WIDTH, HEIGHT));
        renderer.present(nullptr);
        glFinish();
    }
    state.counters["triangles"] = grid.m_oData.m_iNumTriangles;
    BENCH_countFrames(state);
    renderer.releaseBuffers();
    renderer.flushImageTextures(nullptr);
    renderer.flushGlyphTextures(nullptr);
}

void BM_GridPlainVertexBuffer(benchmark::State &state)
{
    if (!BENCH_needContext(state, WIDTH, HEIGHT))
        return;
    GridScene grid;
    std::vector<float> positions;
    for (int i = 0; i < grid.m_oData.m_iNumVertices; i++) {
        const MTH_Vector3D &p = grid.m_oData.m_poPositions[i];
        positions.insert(positions.end(), {static_cast<float>(p.m_fX), static_cast<float>(p.m_fY), 0.0f});
    }
    GLuint buffers[2];
    glGenBuffers(2, buffers);
    glBindBuffer(GL_ARRAY_BUFFER, buffers[0]);
    glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(positions.size() * sizeof(float)), positions.data(),
                 GL_STATIC_DRAW);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, buffers[1]);
    glBufferData(GL_ELEMENT_ARRAY_BUFFER, static_cast<GLsizeiptr>(grid.m_oData.m_iNumTriangles) * 12,
                 grid.m_oData.m_puiTriangles, GL_STATIC_DRAW);
    // The same view as the renderer's, set up once.
    glViewport(0, 0, WIDTH, HEIGHT);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glFrustum(-0.457, 0.457, -0.343, 0.343, 1, 100);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glTranslated(0, 0, -3);
    glDisable(GL_LIGHTING);
    glDisable(GL_TEXTURE_2D);
    glEnable(GL_DEPTH_TEST);
    glColor3f(0.7f, 0.7f, 0.7f);
    glEnableClientState(GL_VERTEX_ARRAY);
    glVertexPointer(3, GL_FLOAT, 0, nullptr);
    for (auto _ : state) {
        glClearColor(0, 0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
        glDrawElements(GL_TRIANGLES, grid.m_oData.m_iNumTriangles * 3, GL_UNSIGNED_INT, nullptr);
        glFinish();
    }
    state.counters["triangles"] = grid.m_oData.m_iNumTriangles;
    BENCH_countFrames(state);
    glDisableClientState(GL_VERTEX_ARRAY);
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
    glDeleteBuffers(2, buffers);
}
BENCHMARK(BM_GridPlainVertexBuffer)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_GridRenderModeClientArrays(benchmark::State &state)
{
    drawGrid(state, VIEW_RENDER_MODE_NONE);
}
BENCHMARK(BM_GridRenderModeClientArrays)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_GridRenderModeVertexBuffers(benchmark::State &state)
{
    drawGrid(state, VIEW_RENDER_MODE_VBO);
}
BENCHMARK(BM_GridRenderModeVertexBuffers)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
