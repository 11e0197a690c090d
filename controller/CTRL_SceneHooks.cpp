#include "controller/CTRL_SceneHooks.h"

#include "controller/CTRL_Generic.h"
#include "controller/CTRL_ScriptEngine.h"
#include "model/MDL_Mike.h"
#include "model/MDL_Object.h"
#include "model/MDL_Scene.h"
#include "model/MDL_Sound.h"
#include "model/MDL_Stream.h"
#include "model/MDL_Texture.h"
#include "model/MDL_Viewport.h"
#include "view/VIEW_Sound.h"

bool CTRL_sceneSimulates(MDL_Scene *scene)
{
    return scene->getActive();
}

double CTRL_sceneIntegrationStep(MDL_Scene *scene)
{
    return scene->getIntegrationStep();
}

void CTRL_stepScene(CTRL_Generic *controller, MDL_Scene *scene, double step)
{
    scene->step(step, controller->m_poScriptEngine);
}

void CTRL_updateSkinning(MDL_Scene *scene)
{
    scene->updateSkinning();
}

void CTRL_advanceAnimations(MDL_Scene *scene, double deltaTime)
{
    scene->advanceAnimations(deltaTime);
}

// Before the scene frees its deleted objects, nothing of the controller may
// point at one of them any more.
static void forgetPurged(MDL_Scene *, MDL_Object *const *objects, int count, void *context)
{
    CTRL_Generic *controller = static_cast<CTRL_Generic *>(context);
    for (int i = 0; i < count; i++) {
        MDL_Object *o = objects[i];
        for (int v = 0; v < controller->m_oViewports.m_iCount; v++) {
            MDL_Viewport *viewport = controller->m_oViewports.m_pData[v];
            if (reinterpret_cast<MDL_Object *>(viewport->m_poCamera) == o)
                viewport->m_poCamera = nullptr;
            if (viewport->m_poMike == o)
                viewport->m_poMike = nullptr;
        }
        if (controller->m_poGrabbedObject == o) {
            controller->m_poGrabbedObject = nullptr;
            controller->m_bLeftButtonDown = false;
        }
        if (controller->m_poHoverObject == o)
            controller->m_poHoverObject = nullptr;
    }
}

void CTRL_purgeScene(CTRL_Generic *controller, MDL_Scene *scene)
{
    if (!scene->hasPendingDeletions())
        return;
    scene->setPurgeHook(forgetPurged, controller);
    scene->purgeDeleted();
}

void CTRL_buildShadowVolumes(CTRL_Generic *controller)
{
    for (int i = 0; i < controller->m_oScenes.m_iCount; i++) {
        MDL_Scene *scene = controller->m_oScenes.m_pData[i];
        MDL_Lamp *lamp = scene->getShadowLamp();
        if (lamp != nullptr)
            scene->drawShadowVolumes(lamp);
    }
}

void CTRL_advanceStreams(CTRL_Generic *controller, double deltaTime)
{
    for (int i = 0; i < controller->m_oStreams.m_iCount; i++)
        controller->m_oStreams.m_pData[i]->advance(deltaTime);
}

// The output learns the frame's time step (outputs without a device clock
// play by it), mixes what it has room for, and every movie's audio queue and
// every sound moves on by the frames mixed; a sound that ends with
// auto-delete leaves its scene.
void CTRL_serviceSound(CTRL_Generic *controller)
{
    VIEW_Sound *output = controller->m_poSound;
    output->elapse(controller->m_fDeltaTime);
    int frames = output->service(controller->m_oViewports);
    int rate = output->getSampleRate();
    if (frames < 1 || rate < 1)
        return;
    for (int i = 0; i < controller->m_oStreams.m_iCount; i++)
        controller->m_oStreams.m_pData[i]->consumeMixedAudio(frames, rate);
    for (int i = 0; i < controller->m_oScenes.m_iCount; i++) {
        MDL_Scene *scene = controller->m_oScenes.m_pData[i];
        // Removal only flags objects: the list stays as it is until the
        // scene's next purge.
        for (int k = 0; k < scene->m_oSounds.m_iCount; k++) {
            MDL_Sound *sound = static_cast<MDL_Sound *>(scene->m_oSounds.m_pData[k]);
            if (!sound->m_bDeleted && sound->advance(frames, rate))
                controller->removeObject(sound);
        }
    }
}

bool CTRL_textureReleased(MDL_Texture *texture)
{
    return texture->m_bReleasePending;
}
