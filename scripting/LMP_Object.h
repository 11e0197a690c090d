#pragma once

#include <cstdarg>
#include <cstdint>

#include "model/MDL_Event.h"
#include "scripting/LMP_Luna.h"

class MDL_Object;
class MDL_Scene;
class MTH_Frame;
struct MTH_Vector3D;

// The script proxy of MDL_Object, the Lua class "newObject". Its 41 method
// rows come first in every object class (LMP_Mesh, LMP_Lamp, ...), which
// derive from it; its constructor step (bindOrCreate) and its event handler
// are shared by them too.
//
// Spatial arguments take a reference id: REF_SELF (the object's own axes),
// REF_LOCAL (the parent's coordinates, local frame) or REF_GLOBAL (world
// coordinates, global frame, the default). Angles are given in degrees.
//
// A proxy whose engine object is gone, or flagged deleted, does nothing and
// returns nothing (exist() answers false).
class LMP_Object : public LMP_Proxy {
public:
    static const LMP_Class<LMP_Object> binding;

    // Reference ids of spatial arguments.
    enum { REF_SELF = 1, REF_LOCAL = 2, REF_GLOBAL = 3 };
    // Interpolation modes of interpolateBasis and interpolatePosition.
    enum { INTERPOL_LINEAR = 0, INTERPOL_SIN = 1, INTERPOL_BEGSIN = 2, INTERPOL_ENDSIN = 3 };
    // Wraps an existing engine object and binds itself into its handle
    // (a proxy bound before is detached).
    explicit LMP_Object(MDL_Object *object);
    ~LMP_Object() override;

    // newObject(scene | object [, template]).
    static LMP_Object *create(lua_State *L);

    // The constructor's first step: from argument index, the scene and the
    // parent of a new object. An object proxy gives its object as parent and
    // that object's scene; a "newScene" proxy gives its scene. Anything else
    // raises the standard argument error ("newScene"). Both results are null
    // (after the "Unable to retreive Scene" report) when the object has no
    // live scene.
    static void bindOrCreate(lua_State *L, int index, MDL_Scene **scene, MDL_Object **parent);

    // The first steps of the object constructors: more than two arguments
    // report "Too much arguments for <className>" (the first two are used),
    // then bindOrCreate on the first. Returns the number of arguments.
    static int placeNewObject(lua_State *L, const char *className, MDL_Scene **scene, MDL_Object **parent);

    // The whole object constructor for a class of class name className:
    // reports extra arguments, finds the scene, then either makes a new
    // object with make() (added to the scene, placed under the parent) or
    // copies the template given as second argument (which must be of this
    // very class, else the standard argument error is raised). Returns the
    // bound engine object, or null when there is no scene to create in.
    static MDL_Object *constructObject(lua_State *L, const char *className, MDL_Object *(*make)());
    // The last step of a constructor that makes a new engine object: adds
    // object to scene and, with a parent, to the parent's children, placed
    // where the parent stands when atParent (else keeping its own global
    // frame). Returns object, or null (object deleted) when there is none or
    // the scene refuses it.
    static MDL_Object *addNewObject(MDL_Scene *scene, MDL_Object *parent, MDL_Object *object, bool atParent);

    // Mouse and move events posted through the object's handle.
    int handleCallback(UTIL_EventHost *host, int code, va_list args) override;
    virtual const char *getClassName() const { return "newObject"; }

    // The bound object while it is alive and not flagged deleted, else null.
    MDL_Object *getLiveObject() const;

    // For getters of a point: the optional REF_ argument, REF_GLOBAL when
    // there is none or when its check fails (after the check's report).
    static int32_t optionalReference(lua_State *L);
    // Pushes a new v3 of point, given in object's own coordinates, in the
    // coordinates of ref: carried through the global frame (REF_GLOBAL), the
    // local frame (REF_LOCAL) or as it is (REF_SELF). Any other ref reports
    // "Invalid reference ID" and pushes nothing. Returns the values pushed.
    static int pushOwnPoint(lua_State *L, MDL_Object *object, const MTH_Vector3D &point, int32_t ref);

    // --- the 41 methods, in table order ---
    int destroy(lua_State *L); // "delete"
    int getBoundingBox(lua_State *L);
    int getChild(lua_State *L);
    int getChildrenCount(lua_State *L);
    int getDescendant(lua_State *L);
    int getParent(lua_State *L);
    int getScene(lua_State *L);
    int getPosition(lua_State *L);
    int getBasis(lua_State *L);
    int getScale(lua_State *L);
    int getSibling(lua_State *L);
    int getUserData(lua_State *L);
    int getAxis(lua_State *L);
    int rotate(lua_State *L);
    int rotateAxis(lua_State *L);
    int setScale(lua_State *L);
    int scale(lua_State *L);
    int setCallback(lua_State *L);
    int setPosition(lua_State *L);
    int setBasis(lua_State *L);
    int setUserData(lua_State *L);
    int translate(lua_State *L);
    int interpolateBasis(lua_State *L);
    int interpolatePosition(lua_State *L);
    int localToGlobalPoint(lua_State *L);
    int localToGlobalVector(lua_State *L);
    int globalToLocalPoint(lua_State *L);
    int globalToLocalVector(lua_State *L);
    int mapThroughGlobalFrame(lua_State *L, void (MTH_Frame::*map)(const MTH_Vector3D &, MTH_Vector3D &) const);
    int setMaxMouseMove(lua_State *L);
    int getType(lua_State *L);
    int getName(lua_State *L);
    int setName(lua_State *L);
    int exist(lua_State *L);
    int getState(lua_State *L);
    int setState(lua_State *L);
    int hasState(lua_State *L);
    int enableState(lua_State *L);
    int disableState(lua_State *L);
    int toggleState(lua_State *L);
    int setParent(lua_State *L);
    int isDescendant(lua_State *L);

    // Registry references of the callbacks for CB_ ids 1 to MDL_CB_MAX (index
    // id-1), 0 for none; and of the user data, 0 while none was ever stored.
    int m_aiCallbackRefs[MDL_CB_MAX];
    int m_iUserDataRef;

    // The interpolation parameter t reshaped by a mode.
    static double shapeParameter(double t, int mode);
};

void LMP_registerObject(lua_State *L);
