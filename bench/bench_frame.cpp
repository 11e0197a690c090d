// One headless frame of a scene of 1,000 objects (the renderer that draws
// nothing), beside the same frame of an empty controller.
#include <benchmark/benchmark.h>

#include "controller/CTRL_Generic.h"
#include "model/MDL_Camera.h"
#include "model/MDL_Object.h"
#include "model/MDL_Scene.h"
#include "model/MDL_Viewport.h"
#include "view/null/VIEW_Null.h"

namespace {

void runFrames(benchmark::State &state, int objects)
{
    CTRL_Generic controller(nullptr, CTRL_PLATFORM_LINUX);
    VIEW_Null renderer;
    MDL_Scene *scene = new MDL_Scene("bench");
    controller.m_oScenes.append(scene);
    MDL_Camera *camera = new MDL_Camera();
    scene->addObject(camera);
    MDL_Viewport *viewport = new MDL_Viewport(MTH_Vector2D(0, 0), MTH_Vector2D(1, 0.75));
    viewport->m_poCamera = camera;
    controller.m_oViewports.append(viewport);
    MDL_Object *root = new MDL_Object();
    scene->addObject(root);
    for (int i = 0; i < objects; i++) {
        MDL_Object *o = new MDL_Object();
        scene->addObject(o);
        root->addChild(o);
        o->editLocalPosition() = MTH_Vector3D(i, 0, 0);
    }
    controller.m_bRunning = true;
    controller.resize(800, 600);
    controller.setRunning();
    double angle = 0;
    for (auto _ : state) {
        angle += 0.01;
        root->editLocalPosition().m_fY = angle; // the whole tree moves each frame
        controller.frame(nullptr, &renderer, 1.0 / 60);
        benchmark::DoNotOptimize(root->getGlobalPosition());
    }
    state.counters["frames_per_second"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
    viewport->m_poCamera = nullptr;
    controller.m_oViewports.resize(0);
    delete viewport;
    controller.m_oScenes.resize(0);
    delete scene;
}

void BM_FrameEmptyScene(benchmark::State &state)
{
    runFrames(state, 0);
}
BENCHMARK(BM_FrameEmptyScene);

void BM_FrameScene1000Objects(benchmark::State &state)
{
    runFrames(state, 1000);
}
BENCHMARK(BM_FrameScene1000Objects);

} // namespace
