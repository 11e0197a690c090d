// Transparent triangles sorted back to front: 10,000 of them (ten half
// transparent spheres of 1,000 triangles, double-sided so that none is left
// out, in a ring where they cut into each other (apart:0) or stand apart
// (apart:1)), 800 x 600, headless on EGL.
// - The renderer's transparent pass (the partitioning tree, then drawing in
//   runs of one material), beside a plain sort of the same triangles by the
//   depth of their centres drawn by the same code (the baseline), frame by
//   frame; the rasteriser's threads are waited for (glFinish).
// - The sorting alone, without OpenGL: the tree's insertions and walk,
//   beside the plain sort into the same arrays.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <vector>

#include "bench/bench_drawing.h"
#include "model/MDL_Camera.h"
#include "model/MDL_Lamp.h"
#include "model/MDL_Material.h"
#include "model/MDL_Mesh.h"
#include "model/MDL_Scene.h"
#include "model/MDL_Viewport.h"
#include "view/opengl/VIEW_GL.h"
#include "view/opengl/VIEW_OpenGL.h"
#include "view/opengl/VIEW_OpenGLDrawing.h"

namespace {

const int WIDTH = 800, HEIGHT = 600;
const int SPHERES = 10;

struct TransparentScene {
    // Spheres that cut into each other (apart false), or that stand apart.
    explicit TransparentScene(bool apart) : m_oViewport(MTH_Vector2D(0, 0), MTH_Vector2D(1, 0.75))
    {
        BENCH_sphere(m_oData, 0.6, 25, 21); // 1,000 triangles
        m_oData.m_bDoubleSided = true;
        MDL_Camera *camera = new MDL_Camera();
        camera->editGlobalPosition() = MTH_Vector3D(0, 0, 5);
        m_oScene.addObject(camera);
        m_oViewport.m_poCamera = camera;
        m_oViewport.m_oViewportBackground = MTH_Vector4D(1, 1, 1, 1);
        MDL_Lamp *sun = new MDL_Lamp();
        sun->m_iLampType = MDL_Lamp::LAMP_SUN;
        sun->m_oColor = MTH_Vector4D(1, 1, 1, 1);
        m_oScene.addObject(sun);
        for (int i = 0; i < SPHERES; i++) {
            m_aoMaterials[i].m_oDiffuse = MTH_Vector4D(0.1 * i, 1 - 0.1 * i, 0.5, 0.4);
            MDL_Mesh *mesh = new MDL_Mesh();
            mesh->setMeshData(&m_oData);
            mesh->setMaterial(&m_aoMaterials[i]);
            // A ring of spheres, tight or loose, at three depths.
            double angle = 2 * M_PI * i / SPHERES, radius = apart ? 2.2 : 0.9;
            mesh->editGlobalPosition() =
                MTH_Vector3D(radius * std::cos(angle), 0.75 * radius * std::sin(angle), 0.3 * (i % 3));
            m_oScene.addObject(mesh);
        }
    }

    MDL_MeshData m_oData;
    MDL_Material m_aoMaterials[SPHERES];
    MDL_Scene m_oScene;
    MDL_Viewport m_oViewport;
};

// The scene's triangles in view space with their materials and planes, in
// the order the transparent pass takes them, transformed as it does.
void viewSpaceTriangles(VIEW_OpenGL &renderer, TransparentScene &scene, std::vector<VIEW_TransparentTriangle> &out)
{
    out.clear();
    MTH_Matrix3x3 toView;
    toView.setFromMatrix4x4(renderer.m_oViewMatrix);
    for (int m = 0; m < scene.m_oScene.m_oMeshes.m_iCount; m++) {
        MDL_Mesh *mesh = static_cast<MDL_Mesh *>(scene.m_oScene.m_oMeshes.m_pData[m]);
        VIEW_MeshArrays arrays;
        if (!VIEW_getMeshArrays(mesh, arrays))
            continue;
        MTH_Matrix4x4 modelview;
        renderer.getModelview(mesh, modelview);
        MTH_Matrix3x3 normalMatrix;
        MTH_Matrix3x3::setProduct(normalMatrix, toView, mesh->getGlobalBasis());
        int n = arrays.m_iNumTriangles, q = n / 4;
        std::vector<int> order;
        for (int i = 0; i < q; i++)
            order.insert(order.end(), {i, 2 * q - 1 - i, 2 * q + i, 4 * q - 1 - i});
        for (int t = 4 * q; t < n; t++)
            order.push_back(t);
        for (int t : order) {
            VIEW_TransparentTriangle triangle;
            const uint32_t *corners = arrays.m_puiTriangles + 3 * t;
            for (int i = 0; i < 3; i++) {
                triangle.m_aoPositions[i] = arrays.m_poPositions[corners[i]];
                modelview.transformPoint(triangle.m_aoPositions[i]);
                triangle.m_aoNormals[i] = arrays.m_poNormals[corners[i]];
                normalMatrix.transform(triangle.m_aoNormals[i]);
                triangle.m_aoUVs[i] = MTH_Vector2D();
                triangle.m_aoColors[i] = MTH_Vector4D(0, 0, 0, -1);
            }
            const MTH_Vector3D *p = triangle.m_aoPositions;
            MTH_Vector3D normal = (p[1] - p[0]).cross(p[2] - p[0]);
            if (!(p[0].dot(p[1].cross(p[2])) > 0))
                normal = -normal;
            normal.normalize();
            triangle.m_oPlaneNormal = normal;
            triangle.m_poMaterial = mesh->getMaterial();
            out.push_back(triangle);
        }
    }
}

double centreDepth(const VIEW_TransparentTriangle &t)
{
    return t.m_aoPositions[0].m_fZ + t.m_aoPositions[1].m_fZ + t.m_aoPositions[2].m_fZ;
}

// The plain sort: farthest centre first, laid out in the tree's arrays.
void plainSort(std::vector<const VIEW_TransparentTriangle *> &order, VIEW_TransparencyBSP &arrays)
{
    std::sort(order.begin(), order.end(), [](const VIEW_TransparentTriangle *a, const VIEW_TransparentTriangle *b) {
        return centreDepth(*a) < centreDepth(*b);
    });
    arrays.m_oPositions.resize(0);
    arrays.m_oNormals.resize(0);
    arrays.m_oUVs.resize(0);
    arrays.m_oColors.resize(0);
    arrays.m_oMaterials.resize(0);
    for (const VIEW_TransparentTriangle *t : order) {
        arrays.m_oMaterials.append(t->m_poMaterial);
        for (int i = 0; i < 3; i++) {
            arrays.m_oPositions.append(t->m_aoPositions[i]);
            arrays.m_oNormals.append(t->m_aoNormals[i]);
            arrays.m_oUVs.append(t->m_aoUVs[i]);
            arrays.m_oColors.append(t->m_aoColors[i]);
        }
    }
}

void countFrames(benchmark::State &state, int triangles)
{
    state.counters["triangles"] = triangles;
    BENCH_countFrames(state);
}

void BM_TransparentFrameSortedByTree(benchmark::State &state)
{
    if (!BENCH_needContext(state, WIDTH, HEIGHT))
        return;
    TransparentScene scene(state.range(0) != 0);
    VIEW_OpenGL renderer;
    for (auto _ : state) {
        renderer.beginFrame(nullptr, false);
        renderer.clear(MTH_Vector4D(1, 1, 1, 1));
        renderer.renderViewport(&scene.m_oViewport, MTH_Vector2D(0, 0), MTH_Vector2D(WIDTH, HEIGHT));
        renderer.present(nullptr);
        glFinish();
    }
    countFrames(state, renderer.m_oTransparency.m_oMaterials.m_iCount);
    renderer.flushImageTextures(nullptr);
    renderer.flushGlyphTextures(nullptr);
}
BENCHMARK(BM_TransparentFrameSortedByTree)
    ->ArgName("apart")
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

void BM_TransparentFramePlainSort(benchmark::State &state)
{
    if (!BENCH_needContext(state, WIDTH, HEIGHT))
        return;
    TransparentScene scene(state.range(0) != 0);
    VIEW_OpenGL renderer;
    std::vector<VIEW_TransparentTriangle> triangles;
    std::vector<const VIEW_TransparentTriangle *> order;
    VIEW_TransparencyBSP arrays;
    for (auto _ : state) {
        // The same frame: clear, projection and lights, the triangles into
        // view space (as the tree's pass does), the sort, the runs.
        renderer.beginFrame(nullptr, false);
        renderer.clear(MTH_Vector4D(1, 1, 1, 1));
        renderer.setProjection(scene.m_oViewport.m_poCamera, MTH_Vector2D(0, 0), MTH_Vector2D(WIDTH, HEIGHT));
        glClear(GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
        int light = -1;
        renderer.setupLights(&scene.m_oScene, light);
        viewSpaceTriangles(renderer, scene, triangles);
        order.clear();
        for (const VIEW_TransparentTriangle &t : triangles)
            order.push_back(&t);
        plainSort(order, arrays);
        renderer.drawSortedTriangles(arrays);
        renderer.present(nullptr);
        glFinish();
    }
    countFrames(state, arrays.m_oMaterials.m_iCount);
    renderer.flushImageTextures(nullptr);
    renderer.flushGlyphTextures(nullptr);
}
BENCHMARK(BM_TransparentFramePlainSort)->ArgName("apart")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

// The view-space triangles of the scene, made once with a renderer.
const std::vector<VIEW_TransparentTriangle> &sceneTriangles(bool apart)
{
    static std::vector<VIEW_TransparentTriangle> s_aoTriangles[2];
    std::vector<VIEW_TransparentTriangle> &triangles = s_aoTriangles[apart ? 1 : 0];
    if (triangles.empty() && BENCH_context(WIDTH, HEIGHT) != nullptr) {
        TransparentScene scene(apart);
        VIEW_OpenGL renderer;
        renderer.beginFrame(nullptr, false);
        renderer.setProjection(scene.m_oViewport.m_poCamera, MTH_Vector2D(0, 0), MTH_Vector2D(WIDTH, HEIGHT));
        viewSpaceTriangles(renderer, scene, triangles);
    }
    return triangles;
}

void BM_SortByTree(benchmark::State &state)
{
    const std::vector<VIEW_TransparentTriangle> &triangles = sceneTriangles(state.range(0) != 0);
    VIEW_TransparencyBSP bsp;
    for (auto _ : state) {
        bsp.clear();
        for (const VIEW_TransparentTriangle &t : triangles)
            bsp.insert(t);
        bsp.buildArrays();
        benchmark::DoNotOptimize(bsp.m_oPositions.m_pData);
    }
    state.counters["triangles_in"] = static_cast<double>(triangles.size());
    state.counters["triangles_out"] = bsp.m_oMaterials.m_iCount;
}
BENCHMARK(BM_SortByTree)->ArgName("apart")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_SortPlain(benchmark::State &state)
{
    const std::vector<VIEW_TransparentTriangle> &triangles = sceneTriangles(state.range(0) != 0);
    VIEW_TransparencyBSP arrays;
    std::vector<const VIEW_TransparentTriangle *> order;
    for (auto _ : state) {
        order.clear();
        for (const VIEW_TransparentTriangle &t : triangles)
            order.push_back(&t);
        plainSort(order, arrays);
        benchmark::DoNotOptimize(arrays.m_oPositions.m_pData);
    }
    state.counters["triangles_in"] = static_cast<double>(triangles.size());
    state.counters["triangles_out"] = arrays.m_oMaterials.m_iCount;
}
BENCHMARK(BM_SortPlain)->ArgName("apart")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

} // namespace
