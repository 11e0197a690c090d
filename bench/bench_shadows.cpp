// Stencil shadows: frames of 50,000 triangles under two shadow-casting
// lamps, 800 x 600, headless on EGL, beside the same frames without
// shadows (the baseline). A scene shadows one lamp (its first lit lamp with
// shadows), so the frame shows two scenes side by side, each of 25,000
// triangles (a floor of 1,000 and 24 spheres of 1,000 floating over it)
// under a lamp of its own: one with uncapped volumes, one with capped ones.
// - lamps moving: each frame the lamps turn a little, so every shadow volume
//   is built again before drawing, as the frame loop does;
// - lamps still: the volumes built once are drawn frame after frame;
// - no shadows: the same lamps with their shadows off.
// The rasteriser's threads are waited for (glFinish).
#include <benchmark/benchmark.h>

#include "bench/bench_drawing.h"
#include "model/MDL_Camera.h"
#include "model/MDL_Lamp.h"
#include "model/MDL_Material.h"
#include "model/MDL_Mesh.h"
#include "model/MDL_Scene.h"
#include "model/MDL_Viewport.h"
#include "view/opengl/VIEW_GL.h"
#include "view/opengl/VIEW_OpenGL.h"

namespace {

const int WIDTH = 800, HEIGHT = 600;
const int SPHERES = 24;
// The floor: a grid of 25 x 20 cells of 0.32, two triangles each.
const int FLOOR_COLUMNS = 25, FLOOR_ROWS = 20;
const double FLOOR_CELL = 0.32;

// One of the two scenes: the floor with its spheres over it, a camera
// looking down at them from the front, a point lamp above.
struct ShadowScene {
    ShadowScene(MDL_MeshData *sphere, MDL_MeshData *floor, MDL_Material *material, int shadowType, double x)
        : m_oViewport(MTH_Vector2D(x, 0), MTH_Vector2D(0.5, 0.75))
    {
        MDL_Mesh *ground = new MDL_Mesh();
        ground->setMeshData(floor);
        ground->setMaterial(material);
        m_oScene.addObject(ground);
        for (int i = 0; i < SPHERES; i++) {
            MDL_Mesh *mesh = new MDL_Mesh();
            mesh->setMeshData(sphere);
            mesh->setMaterial(material);
            mesh->editGlobalPosition() = MTH_Vector3D(-2.5 + (i % 6), -1.5 + (i / 6), 0.8 + 0.2 * (i % 3));
            m_oScene.addObject(mesh);
        }
        MDL_Camera *camera = new MDL_Camera();
        MTH_Frame &frame = camera->editGlobalFrame();
        frame.m_oPosition = MTH_Vector3D(0, -7, 6);
        frame.m_oBasis.row(0) = MTH_Vector3D(1, 0, 0);
        frame.m_oBasis.row(1) = MTH_Vector3D(0, 0.6, 0.8);
        frame.m_oBasis.row(2) = MTH_Vector3D(0, -0.8, 0.6);
        frame.invalidateInverse();
        m_oScene.addObject(camera);
        m_oViewport.m_poCamera = camera;
        m_oViewport.m_oViewportBackground = MTH_Vector4D(0.1, 0.1, 0.2, 1);
        m_poLamp = new MDL_Lamp();
        m_poLamp->m_oColor = MTH_Vector4D(1, 1, 1, 1);
        m_poLamp->m_bShadows = true;
        m_poLamp->setShadowType(shadowType);
        m_oScene.addObject(m_poLamp);
        placeLamp(0);
    }

    void placeLamp(double angle) { m_poLamp->editGlobalPosition() = MTH_Vector3D(std::cos(angle), std::sin(angle), 8); }

    MDL_Scene m_oScene;
    MDL_Viewport m_oViewport;
    MDL_Lamp *m_poLamp;
};

void shadowFrames(benchmark::State &state, bool shadows, bool moving)
{
    if (!BENCH_needContext(state, WIDTH, HEIGHT))
        return;
    MDL_MeshData sphere, floor;
    BENCH_sphere(sphere, 0.4, 25, 21);
    BENCH_grid(floor, FLOOR_COLUMNS, FLOOR_ROWS, FLOOR_CELL, true);
    MDL_Material material;
    material.m_oDiffuse = MTH_Vector4D(0.8, 0.75, 0.7, 1);
    ShadowScene left(&sphere, &floor, &material, SHADOW_ZPASS, 0);
    ShadowScene right(&sphere, &floor, &material, SHADOW_ZFAIL, 0.5);
    ShadowScene *scenes[2] = {&left, &right};
    for (ShadowScene *s : scenes)
        s->m_poLamp->m_bShadows = shadows;
    VIEW_OpenGL renderer;
    double angle = 0;
    for (auto _ : state) {
        for (ShadowScene *s : scenes) {
            if (moving)
                s->placeLamp(angle += 0.01);
            MDL_Lamp *lamp = s->m_oScene.getShadowLamp();
            if (lamp != nullptr)
                s->m_oScene.drawShadowVolumes(lamp);
        }
        renderer.beginFrame(nullptr, false);
        renderer.clear(MTH_Vector4D(0, 0, 0, 1));
        for (ShadowScene *s : scenes) {
            const MDL_Viewport &v = s->m_oViewport;
            renderer.renderViewport(&s->m_oViewport, MTH_Vector2D(v.m_oViewportPosition.m_fX * WIDTH, 0),
                                    MTH_Vector2D(v.m_oViewportSize.m_fX * WIDTH, HEIGHT));
        }
        renderer.present(nullptr);
        glFinish();
    }
    state.counters["triangles"] = 2 * (SPHERES * sphere.m_iNumTriangles + floor.m_iNumTriangles);
    BENCH_countFrames(state);
    renderer.flushImageTextures(nullptr);
    renderer.flushGlyphTextures(nullptr);
}

void BM_ShadowsFromTwoLampsMoving(benchmark::State &state)
{
    shadowFrames(state, true, true);
}
BENCHMARK(BM_ShadowsFromTwoLampsMoving)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ShadowsFromTwoLampsStill(benchmark::State &state)
{
    shadowFrames(state, true, false);
}
BENCHMARK(BM_ShadowsFromTwoLampsStill)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_TwoLampsWithoutShadows(benchmark::State &state)
{
    shadowFrames(state, false, true);
}
BENCHMARK(BM_TwoLampsWithoutShadows)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
