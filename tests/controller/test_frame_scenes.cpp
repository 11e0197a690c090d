#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "controller/CTRL_Generic.h"
#include "model/MDL_Animation.h"
#include "model/MDL_Camera.h"
#include "model/MDL_Mesh.h"
#include "model/MDL_Scene.h"
#include "model/MDL_Viewport.h"
#include "tests/support/TEST_Log.h"

namespace {

// Counts the steps of a scene and the lengths it was stepped by.
struct CountingPhysics : MDL_ScenePhysics {
    std::vector<double> m_afSteps;
    MDL_Scene *m_poScene = nullptr;
    void collide(MDL_Scene &, UTIL_EventHost *) override { m_afSteps.push_back(-1); }
};

struct SceneFrame : ::testing::Test {
    CTRL_Generic controller{nullptr, CTRL_PLATFORM_LINUX};
    MDL_Scene *scene = new MDL_Scene("s");
    CountingPhysics physics;

    void SetUp() override
    {
        scene->setPhysics(&physics);
        controller.m_oScenes.append(scene);
        controller.m_bRunning = true;
    }
    void TearDown() override
    {
        controller.m_oScenes.resize(0);
        delete scene;
    }
};

} // namespace

TEST_F(SceneFrame, SubStepsFollowTheSinglePrecisionIntegrationStep)
{
    // A playing animation advances by the frame's time step.
    MDL_Object *target = new MDL_Object();
    ASSERT_TRUE(scene->addObject(target));
    MDL_Animation *animation = new MDL_Animation(nullptr, target);
    animation->setDuration(1e9);
    scene->addAnimation(animation);

    struct Case {
        double frame;
        double step;
        size_t collisions; // sub-steps, then the zero step
        bool diagnostic;
        double timeStep;
    };
    const double cap = static_cast<double>(0.1f);
    const Case cases[] = {
        {0.1, static_cast<double>(0.002f), 50 + 1, false, 0.1},  // 0.1 / 0.0020000000949949026 is just below 50
        {0.25, static_cast<double>(0.002f), 50 + 1, false, cap}, // cut to 0.1
        {0.1, 0.03, 4 + 1, false, 0.1},
        {0.1, 0.0, 1 + 1, true, 0.1},
        {0.1, -1.0, 1 + 1, true, 0.1},
        {0.1, NAN, 1 + 1, true, 0.1},
        {0.1, 1e-12, 1 + 1, true, 0.1},
        // A frame time that is not a time simulates nothing.
        {NAN, static_cast<double>(0.002f), 0 + 1, false, 0},
        {-1, static_cast<double>(0.002f), 0 + 1, false, 0},
    };
    for (const Case &c : cases) {
        TEST_LogCapture log;
        physics.m_afSteps.clear();
        scene->setIntegrationStep(c.step);
        double time = animation->getTime();
        controller.update(c.frame);
        EXPECT_EQ(physics.m_afSteps.size(), c.collisions) << c.frame << " / " << c.step;
        EXPECT_EQ(!log.m_asLines.empty(), c.diagnostic) << c.frame << " / " << c.step;
        EXPECT_EQ(controller.m_fDeltaTime, c.timeStep) << c.frame << " / " << c.step;
        EXPECT_EQ(animation->getTime(), time + c.timeStep) << c.frame << " / " << c.step;
    }

    // Not running: nothing to simulate, the zero step still runs.
    controller.m_bRunning = false;
    physics.m_afSteps.clear();
    controller.update(0.1);
    EXPECT_EQ(physics.m_afSteps.size(), 1u);
}

TEST_F(SceneFrame, InactiveScenesTakeOnlyTheZeroStep)
{
    scene->setActive(false);
    controller.update(0.1);
    EXPECT_EQ(physics.m_afSteps.size(), 1u);
}

TEST_F(SceneFrame, RemovedObjectsArePurgedAndForgotten)
{
    MDL_Camera *camera = new MDL_Camera();
    MDL_Object *parent = new MDL_Object();
    MDL_Object *child = new MDL_Object();
    ASSERT_TRUE(scene->addObject(camera));
    ASSERT_TRUE(scene->addObject(parent));
    ASSERT_TRUE(scene->addObject(child));
    ASSERT_TRUE(parent->addChild(child));
    MDL_Viewport *viewport = new MDL_Viewport(MTH_Vector2D(0, 0), MTH_Vector2D(1, 0.75));
    viewport->m_poCamera = camera;
    controller.m_oViewports.append(viewport);
    controller.m_poGrabbedObject = child;
    controller.m_poHoverObject = child;

    controller.removeObject(parent);
    controller.removeObject(camera);
    EXPECT_EQ(controller.m_poGrabbedObject, nullptr);
    EXPECT_EQ(viewport->m_poCamera, nullptr);
    controller.update(0.01); // the purge frees all three
    EXPECT_EQ(scene->getObject("nothing"), nullptr);
    EXPECT_FALSE(scene->hasPendingDeletions());

    controller.m_oViewports.resize(0);
    delete viewport;
}
