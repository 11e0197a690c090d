#include "controller/CTRL_SceneHooks.h"

#include "controller/CTRL_Generic.h"

bool CTRL_sceneSimulates(MDL_Scene *)
{
    return false;
}

double CTRL_sceneIntegrationStep(MDL_Scene *)
{
    return static_cast<double>(0.002f);
}

void CTRL_stepScene(MDL_Scene *, double) {}
void CTRL_updateSkinning(MDL_Scene *) {}
void CTRL_advanceAnimations(MDL_Scene *, double) {}
void CTRL_purgeScene(CTRL_Generic *, MDL_Scene *) {}
void CTRL_buildShadowVolumes(CTRL_Generic *) {}
void CTRL_advanceStreams(CTRL_Generic *, double) {}
void CTRL_serviceSound(CTRL_Generic *) {}

bool CTRL_textureReleased(MDL_Texture *)
{
    return false;
}
