#pragma once

struct lua_State;
struct MTH_Vector2D;

// The steps that fill a new interpreter with the player's vocabulary, called
// by the script engine's constructor in this order, right after the standard
// libraries (each step may use what the earlier ones registered):
//   LMP_registerConstants        the 257 rows of the constants table, as global numbers
//   LMP_registerInfinities      INFINITE_PLUS and INFINITE_MINUS (the engine's own)
//   LMP_registerGlobalFunctions  the 27 global functions, in their table's order
//   LMP_registerObjectTypes      the OBJECT_ type codes, as global numbers
//   LMP_registerClasses          the 26 bound classes, each by its registerClass
//   LMP_registerValueTypes       v3, v2, color, m33
// The constants and object type codes are defined in LMP_Constants.cpp, the
// global functions in LMP_Globals.cpp, the rest in LMP_Registration.cpp.
typedef void (*LMP_RegistrationStep)(lua_State *L);

void LMP_registerConstants(lua_State *L);
void LMP_registerGlobalFunctions(lua_State *L);
void LMP_registerObjectTypes(lua_State *L);
void LMP_registerClasses(lua_State *L);
void LMP_registerValueTypes(lua_State *L);

// The constants table as registered: its number of rows and the name of a
// row (null outside the table).
int LMP_iConstantCount();
const char *LMP_sConstantName(int index);

// The registration functions of the bound classes, one at the bottom of each
// class binding file (LMP_registerScene, LMP_registerViewport, ...), each
// calling LMP_Luna<T>::registerClass; LMP_registerClasses calls them in
// this order.
void LMP_registerScene(lua_State *L);
void LMP_registerViewport(lua_State *L);
void LMP_registerObject(lua_State *L);
void LMP_registerMesh(lua_State *L);
void LMP_registerAnimatedMesh(lua_State *L);
void LMP_registerRigidBody(lua_State *L);
void LMP_registerSound(lua_State *L);
void LMP_registerText(lua_State *L);
void LMP_registerLamp(lua_State *L);
void LMP_registerCamera(lua_State *L);
void LMP_registerMike(lua_State *L);
void LMP_registerImage(lua_State *L);
void LMP_registerPolyline(lua_State *L);
void LMP_registerTexture(lua_State *L);
void LMP_registerSample(lua_State *L);
void LMP_registerBone(lua_State *L);
void LMP_registerStream(lua_State *L);
void LMP_registerFont(lua_State *L);
void LMP_registerModelsSet(lua_State *L);
void LMP_registerMaterial(lua_State *L);
void LMP_registerSpring(lua_State *L);
void LMP_registerJoint(lua_State *L);
void LMP_registerCollisionVolume(lua_State *L);
void LMP_registerAnimationData(lua_State *L);
void LMP_registerAnimation(lua_State *L);
void LMP_registerLocator(lua_State *L);

// Pushes a new "v2" value and returns its storage for the caller to fill
// (used by the engine for zoom events).
MTH_Vector2D *LMP_iPushV2(lua_State *L);
