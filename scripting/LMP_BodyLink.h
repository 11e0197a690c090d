#pragma once

#include "foundation/MTH_Vector.h"

struct lua_State;
class MDL_RigidBody;
class MDL_Scene;

// What the spring and joint bindings share: points and axes given or read
// by reference id, REF_LOCAL (the body's own coordinates, stored as they
// are) or REF_GLOBAL (world coordinates, converted through the body's global
// frame). An end without a body has no frame: its values are world values
// for either id. Any other id reports "Invalid reference ID".

// Whether ref is REF_LOCAL or REF_GLOBAL; else reported.
bool LMP_bLinkReference(lua_State *L, int ref);
// The value to store for body from v given with ref (a point, or a
// direction when direction is set); false (reported) for a wrong id.
bool LMP_bStoreLinkValue(lua_State *L, MDL_RigidBody *body, int ref, const MTH_Vector3D &v, bool direction,
                         MTH_Vector3D &stored);
// Pushes a new v3 of the stored value read with ref; 0 results (reported)
// for a wrong id.
int LMP_iPushLinkValue(lua_State *L, MDL_RigidBody *body, int ref, const MTH_Vector3D &stored, bool direction);
// The scene a new spring or joint joins, for the bodies checked by the
// argument letter R: null (and no link made) when both are missing
// ("At least one rigid body expected"), when a body argument names a body
// that is gone or flagged deleted, or when no body has a scene. Bodies of
// two scenes report sameSceneMessage and the link joins body A's scene.
MDL_Scene *LMP_poLinkScene(lua_State *L, int indexA, MDL_RigidBody *a, int indexB, MDL_RigidBody *b,
                           const char *sameSceneMessage);
