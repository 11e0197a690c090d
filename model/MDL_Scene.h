#pragma once

#include <cstdint>

#include "foundation/MTH_Vector.h"
#include "foundation/UTIL_DynArray.h"
#include "foundation/UTIL_ProxyHandle.h"

class UTIL_EventHost;
class MDL_Animation;
class MDL_CollisionVolume;
class MDL_Joint;
class MDL_Lamp;
class MDL_Object;
class MDL_RigidBody;
class MDL_Scene;
class MDL_Sound;
class MDL_Spring;
struct MDL_SweepEndpoint;

// The rigid-body simulation as a scene drives it. The scene owns its springs
// and joints and keeps its rigid bodies (type 4) in a list, but knows them
// only through this interface: it makes and destroys springs and joints
// through it, asks it which bodies they join, and calls it for each phase of
// a step, in the scene's fixed order (see MDL_Scene::step). Every operation
// does nothing by default, so a scene without a simulation still steps, posts
// its events and keeps its lists.
//
// A scene takes the process-wide default (MDL_Scene::setDefaultPhysics) when
// it is made; MDL_Scene::setPhysics gives one scene another (tests record the
// phases through it).
class MDL_ScenePhysics {
public:
    virtual ~MDL_ScenePhysics() {}

    // A spring or joint with its defaults and no bodies; null when springs or
    // joints are not available.
    virtual MDL_Spring *newSpring() { return nullptr; }
    virtual MDL_Joint *newJoint() { return nullptr; }
    virtual void deleteSpring(MDL_Spring *) {}
    virtual void deleteJoint(MDL_Joint *) {}
    // The two bodies joined (null for the world).
    virtual void springBodies(const MDL_Spring *, MDL_Object *&a, MDL_Object *&b) { a = b = nullptr; }
    virtual void jointBodies(const MDL_Joint *, MDL_Object *&a, MDL_Object *&b) { a = b = nullptr; }

    // --- the phases of a step ---
    // Step 1, once per spring: the spring's impulse for a step of dt (also
    // when dt is 0).
    virtual void solveSpring(MDL_Spring *, double) {}
    // Step 2, once per body, only when dt > 0: one time step of the body
    // (an object of type 4) under gravity.
    virtual void integrate(MDL_Object *, const MTH_Vector3D &, double) {}
    // Step 4, once per joint.
    virtual void solveJoint(MDL_Joint *) {}
    // Step 5: broad phase, narrow phase and contact response over the
    // scene's collision volumes and sweep endpoints.
    virtual void collide(MDL_Scene &, UTIL_EventHost *) {}
    // Step 6, once per body and bounded axis (0 x, 1 y, 2 z): contact of the
    // body with the bound planes of that axis.
    virtual void collideBounds(MDL_Object *, UTIL_EventHost *, int, double, double, double, double) {}
    // The close of step 6: the speeds into their supports that the
    // positional corrections of steps 5 and 6 left are removed (posts
    // nothing).
    virtual void settleContacts() {}
};

// Makes a copy of a rigid body in place of the body's own copy. Null when no
// copy can be made.
typedef MDL_Object *(*MDL_CopyFunction)(const MDL_Object &source);

// Told of the objects a purge removes, once per purge that removes any:
// objects[0..count-1] have left every list of the scene and are still
// allocated (flagged deleted, detached from the tree); they are destroyed as
// soon as the hook returns. Whoever keeps pointers to scene objects outside
// the scene (the controller's viewport cameras and microphones, its hover
// and grabbed objects) clears them here. The hook may delete further objects
// or add new ones (the next purge takes them); it must not destroy the scene.
typedef void (*MDL_PurgeHook)(MDL_Scene *scene, MDL_Object *const *objects, int count, void *context);

// One simulated world. It owns every object placed in it, sorted into
// per-kind lists that the physics, the renderer and the controller walk; it
// owns its springs, joints and animation players, and holds the simulation
// parameters. A scene is not an object: it has no frame, parent or type.
//
// Per frame the controller calls, in this order: step (dt) for each physics
// sub-step, then updateSkinning, advanceAnimations (frame time), step (0) and
// purgeDeleted. None of these walks the whole scene: skinning visits the
// animated meshes and bones, animations the players, the step the physics
// lists, and a purge does nothing unless something was deleted (and then
// looks up just the deleted objects in their lists). Objects are deleted
// with deleteObject (or flagged and noted with noteDeleted) and stay listed
// until the next purge.
//
// Every loop over a list re-reads the list by index at each turn, so script
// code called from the step's events may add objects, springs and joints and
// delete objects while the step runs.
class MDL_Scene {
public:
    // Copies the name (null allowed); the defaults of the fields below.
    explicit MDL_Scene(const char *name = nullptr);
    // Destroys the animation players, then every object, then the springs,
    // joints and endpoints, and releases the proxy handle. The purge hook is
    // not called.
    ~MDL_Scene();
    MDL_Scene(const MDL_Scene &) = delete;
    MDL_Scene &operator=(const MDL_Scene &) = delete;

    const char *getName() const { return m_sName; }

    // --- object lists ---
    // Appends the object (not its children) to m_oObjects and to the list of
    // its kind, makes two sweep endpoints for a collision volume, and sets
    // the object's scene; the scene owns it from then on. Refused (false)
    // for null, for an object of another scene and for one already listed
    // here.
    bool addObject(MDL_Object *object);
    // Copies a template object and its subtree into the scene and returns
    // the copy of the template; null when the template's kind has no copy.
    // Kinds copied: plain objects, lamps, cameras, meshes, sound objects,
    // bones, animated meshes, texts, polylines, collision volumes, locators
    // and rigid bodies (through their copy function when one is registered).
    // A child of a kind without a copy is left out with its subtree. The copies keep their
    // local frames, children stay in order, and each animated mesh is bound
    // to the copies of its bones; a bone outside the subtree is copied too,
    // as a root of the scene. Work is proportional to the subtree only.
    MDL_Object *instantiate(MDL_Object *source);
    // The first object in list order whose name equals name without regard
    // to case; null when none (or name is null).
    MDL_Object *getObject(const char *name) const;
    // How many lamps that are on light a scene (the first in list order).
    static constexpr int MAX_LIT_LAMPS = 8;
    // The first lamp that is on and has its shadows flag set, among the
    // first MAX_LIT_LAMPS lamps that are on; null for none.
    MDL_Lamp *getShadowLamp() const;
    // Sorts the overlays by the z of their global position, ascending (a NaN
    // z sorts first); equal z keep their order.
    void sortOverlays();

    // --- springs, joints, animation players ---
    // A new spring or joint from the physics, listed and owned; null without
    // one.
    MDL_Spring *newSpring();
    MDL_Joint *newJoint();
    // Takes ownership of a player. It is listed by the scene of its target
    // (this one when the target has none), which destroys it when the target
    // is purged. Null is ignored.
    void addAnimation(MDL_Animation *animation);

    // --- deletion ---
    // Deletes object and its subtree as the frame loop removes objects:
    // children first, each unlinked from its parent (it keeps its scene
    // placement) and flagged deleted; the scene of each purges it at its next
    // purgeDeleted. Nothing for null; an object already flagged is walked
    // again harmlessly.
    static void deleteObject(MDL_Object *object);
    // Tells the object's scene that m_bDeleted was set by other means, so that
    // the next purge takes it (with its subtree). deleteObject does this
    // itself. An object flagged without either stays listed: the purge only
    // looks at what it was told of, so that it never walks the whole scene.
    static void noteDeleted(MDL_Object *object);
    // Whether a purge has anything to do.
    bool hasPendingDeletions() const { return m_oPendingDeletions.m_iCount > 0; }

    // --- parameters (stored as given, unchecked) ---
    const MTH_Vector3D &getGravity() const { return m_oGravity; }
    void setGravity(const MTH_Vector3D &gravity) { m_oGravity = gravity; }
    double getIntegrationStep() const { return m_fIntegrationStep; }
    void setIntegrationStep(double step) { m_fIntegrationStep = step; }
    bool getActive() const { return m_bActive; }
    void setActive(bool active) { m_bActive = active; }
    double getFriction() const { return m_fFriction; }
    void setFriction(double friction) { m_fFriction = friction; }
    double getElasticity() const { return m_fElasticity; }
    void setElasticity(double elasticity) { m_fElasticity = elasticity; }
    void setBounds(double minX, double maxX, double minY, double maxY, double minZ, double maxZ);
    void getBounds(double &minX, double &maxX, double &minY, double &maxY, double &minZ, double &maxZ) const;

    // --- per-frame operations ---
    // One physics sub-step, in this fixed order: (1) every spring solved for
    // dt (also when dt is 0); (2) only when dt > 0, every rigid body
    // integrated under gravity for dt; (3) MDL_CB_POST_INTEGRATION with dt;
    // (4) every joint solved; (5) collide; (6) collideBounds, closed by the
    // physics' settleContacts; (7) MDL_CB_MECHA with dt. events is passed to
    // every event post.
    void step(double dt, UTIL_EventHost *events);
    // Step 5: contacts between collision volumes (the physics' collide).
    void collide(UTIL_EventHost *events);
    // Step 6: for every rigid body and each axis x, y, z whose minimum is not
    // -DBL_MAX or whose maximum is not DBL_MAX, the contact with that axis's
    // bound planes, with the scene's elasticity and friction.
    void collideBounds(UTIL_EventHost *events);
    // Deforms every animated mesh whose bones moved (not the locked ones),
    // then clears m_bChanged of every bone, so every mesh sees the moves of
    // the frame.
    void updateSkinning();
    // Applies every playing player for dt, in list order; nothing when dt is 0.
    void advanceAnimations(double dt);
    // Removes and destroys what was deleted (and noted) since the last
    // purge: the players whose target is deleted; the deleted objects from
    // every list; the endpoints of deleted volumes; the springs and joints
    // that join a deleted object; then, after the purge hook has seen them,
    // the deleted objects themselves. Nothing is left pointing at a destroyed
    // object: animated meshes forget deleted bones, meshes a deleted shadow
    // lamp, and a deleted object's subtree is purged with it. Entries that
    // stay keep their order. Nothing at all when no deletion is pending; a
    // purge started from inside the hook returns at once, and what the hook
    // deletes waits for the next purge.
    void purgeDeleted();
    void setPurgeHook(MDL_PurgeHook hook, void *context);

    // --- renderer pre-pass ---
    // Builds the shadow volume for lamp of every mesh that casts shadows,
    // then clears the lamp's m_bChanged.
    void drawShadowVolumes(MDL_Lamp *lamp);

    // --- plug-ins ---
    MDL_ScenePhysics *getPhysics() const { return m_poPhysics; }
    // Refused (false) while springs or joints made by the current physics
    // exist, since only it can destroy them. Null means no simulation.
    bool setPhysics(MDL_ScenePhysics *physics);
    // The physics every new scene takes (null at start); not owned.
    static void setDefaultPhysics(MDL_ScenePhysics *physics);
    static MDL_ScenePhysics *getDefaultPhysics();
    // Registers a copy function that replaces how instantiate copies objects
    // of type 4 (rigid body); null gives back the rigid body's own copy.
    // False for any other type: the others are copied by the scene itself or
    // never.
    static bool setCopyFunction(int type, MDL_CopyFunction copy);

    // --- fields, in order ---
    UTIL_ProxyHandle m_oProxyHandle;
    UTIL_DynArray<MDL_Object *> m_oObjects;          // every object, in the order added; owning
    UTIL_DynArray<MDL_Object *> m_oOverlays;         // types 8, 9, 10, 12
    UTIL_DynArray<MDL_Object *> m_oSounds;           // type 5
    UTIL_DynArray<MDL_Object *> m_oMeshes;           // types 3 and 7
    UTIL_DynArray<MDL_Object *> m_oRigidBodies;      // type 4
    UTIL_DynArray<MDL_Object *> m_oCollisionVolumes; // type 13
    UTIL_DynArray<MDL_Object *> m_oLamps;            // type 1
    UTIL_DynArray<MDL_Object *> m_oBones;            // type 6
    UTIL_DynArray<MDL_Spring *> m_oSprings;          // owning
    UTIL_DynArray<MDL_Joint *> m_oJoints;            // owning
    UTIL_DynArray<MDL_Animation *> m_oAnimations;    // owning
    char *m_sName;
    MTH_Vector3D m_oGravity;
    double m_fIntegrationStep;
    double m_fFriction;
    double m_fElasticity;
    bool m_bActive;
    double m_fMinX, m_fMaxX, m_fMinY, m_fMaxY, m_fMinZ, m_fMaxZ;
    UTIL_DynArray<MDL_SweepEndpoint *> m_oSweepEndpoints;  // two per collision volume; owning
    UTIL_DynArray<MDL_CollisionVolume *> m_oActiveVolumes; // working list of the sweep; not owning
    // The animated meshes (type 7) of m_oMeshes, in the same order: the
    // skinning pass walks only these.
    UTIL_DynArray<MDL_Object *> m_oAnimatedMeshes;
    MDL_ScenePhysics *m_poPhysics; // not owned; null: no simulation
    MDL_PurgeHook m_pfnPurgeHook;
    void *m_poPurgeContext;
    // The objects noted deleted since the last purge (deleteObject,
    // noteDeleted): the next purge starts from these and their subtrees.
    UTIL_DynArray<MDL_Object *> m_oPendingDeletions;
    bool m_bPurging;

private:
    // The list of an object's kind besides m_oObjects, or null.
    UTIL_DynArray<MDL_Object *> *kindList(int type);
    void notePending(MDL_Object *object);
    // The noted objects that belong here, each detached from the tree and
    // its subtree deleted with it, without duplicates, sorted by address.
    void collectDeleted(UTIL_DynArray<MDL_Object *> &candidates);
};
