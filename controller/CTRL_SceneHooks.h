#pragma once

// What the frame loop asks of scenes, streams, sounds and textures, in one
// place.
class CTRL_Generic;
class MDL_Scene;
class MDL_Texture;

bool CTRL_sceneSimulates(MDL_Scene *scene);
double CTRL_sceneIntegrationStep(MDL_Scene *scene);
void CTRL_stepScene(CTRL_Generic *controller, MDL_Scene *scene, double step);
void CTRL_updateSkinning(MDL_Scene *scene);
void CTRL_advanceAnimations(MDL_Scene *scene, double deltaTime);
// Frees the scene's deleted objects, first clearing every controller field
// and viewport that points at one of them.
void CTRL_purgeScene(CTRL_Generic *controller, MDL_Scene *scene);
void CTRL_buildShadowVolumes(CTRL_Generic *controller);
void CTRL_advanceStreams(CTRL_Generic *controller, double deltaTime);
void CTRL_serviceSound(CTRL_Generic *controller);
bool CTRL_textureReleased(MDL_Texture *texture);
