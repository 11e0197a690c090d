#include "model/MDL_Scene.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <strings.h>
#include <new>

#include "model/MDL_AnimatedMesh.h"
#include "model/MDL_Animation.h"
#include "model/MDL_CollisionVolume.h"
#include "model/MDL_Lamp.h"
#include "model/MDL_Mesh.h"
#include "model/MDL_Object.h"

namespace {

MDL_ScenePhysics *s_poDefaultPhysics = nullptr;

// Defaults kept as single-precision constants, widened.
const float DEFAULT_GRAVITY_Z = -9.81f;
const float DEFAULT_INTEGRATION_STEP = 0.002f;
const float DEFAULT_FRICTION = 0.8f;
const float DEFAULT_ELASTICITY = 0.6f;

} // namespace

MDL_Scene::MDL_Scene(const char *name)
    : m_sName(name != nullptr ? strdup(name) : nullptr), m_oGravity(0.0, 0.0, static_cast<double>(DEFAULT_GRAVITY_Z)),
      m_fIntegrationStep(static_cast<double>(DEFAULT_INTEGRATION_STEP)),
      m_fFriction(static_cast<double>(DEFAULT_FRICTION)), m_fElasticity(static_cast<double>(DEFAULT_ELASTICITY)),
      m_bActive(true), m_fMinX(-DBL_MAX), m_fMaxX(DBL_MAX), m_fMinY(-DBL_MAX), m_fMaxY(DBL_MAX), m_fMinZ(0.0),
      m_fMaxZ(DBL_MAX), m_poPhysics(s_poDefaultPhysics), m_pfnPurgeHook(nullptr), m_poPurgeContext(nullptr),
      m_bPurging(false)
{
    // The sweep's working list keeps its buffer between passes.
    m_oActiveVolumes.m_bReleaseMemory = false;
}

MDL_Scene::~MDL_Scene()
{
    for (int i = 0; i < m_oAnimations.m_iCount; i++)
        delete m_oAnimations[i];
    m_oAnimations.resize(0);
    for (int i = 0; i < m_oObjects.m_iCount; i++)
        delete m_oObjects[i];
    m_oObjects.resize(0);
    for (int i = 0; i < m_oSprings.m_iCount; i++)
        m_poPhysics->deleteSpring(m_oSprings[i]);
    m_oSprings.resize(0);
    for (int i = 0; i < m_oJoints.m_iCount; i++)
        m_poPhysics->deleteJoint(m_oJoints[i]);
    m_oJoints.resize(0);
    for (int i = 0; i < m_oSweepEndpoints.m_iCount; i++)
        delete m_oSweepEndpoints[i];
    m_oSweepEndpoints.resize(0);
    free(m_sName);
    m_sName = nullptr;
    // The per-kind lists and the working list free their storage with
    // themselves.
    m_oProxyHandle.release();
}

// --- object lists ---

UTIL_DynArray<MDL_Object *> *MDL_Scene::kindList(int type)
{
    switch (type) {
    case OBJECT_LAMP:
        return &m_oLamps;
    case OBJECT_MESH:
    case OBJECT_ANIMATED_MESH:
        return &m_oMeshes;
    case OBJECT_RIGID_BODY:
        return &m_oRigidBodies;
    case OBJECT_SOUND:
        return &m_oSounds;
    case OBJECT_BONE:
        return &m_oBones;
    case OBJECT_TEXT:
    case MDL_TYPE_RTF_TEXT:
    case OBJECT_IMAGE:
    case OBJECT_POLYLINE:
        return &m_oOverlays;
    case OBJECT_COLLISION_VOLUME:
        return &m_oCollisionVolumes;
    default:
        return nullptr;
    }
}

bool MDL_Scene::addObject(MDL_Object *object)
{
    if (object == nullptr)
        return false;
    // An object has one owner: a second listing would destroy it twice.
    if (object->m_poScene != nullptr && (object->m_poScene != this || m_oObjects.find(object) >= 0))
        return false;
    m_oObjects.append(object);
    const int type = object->m_iType;
    UTIL_DynArray<MDL_Object *> *list = kindList(type);
    if (list != nullptr)
        list->append(object);
    if (type == OBJECT_ANIMATED_MESH)
        m_oAnimatedMeshes.append(object);
    if (type == OBJECT_COLLISION_VOLUME) {
        MDL_CollisionVolume *volume = static_cast<MDL_CollisionVolume *>(object);
        m_oSweepEndpoints.append(new MDL_SweepEndpoint(true, volume));
        m_oSweepEndpoints.append(new MDL_SweepEndpoint(false, volume));
    }
    object->setScene(this);
    if (object->m_bDeleted)
        notePending(object);
    return true;
}

MDL_Object *MDL_Scene::getObject(const char *name) const
{
    if (name == nullptr)
        return nullptr;
    for (int i = 0; i < m_oObjects.m_iCount; i++) {
        MDL_Object *object = m_oObjects[i];
        if (object->m_sName != nullptr && strcasecmp(object->m_sName, name) == 0)
            return object;
    }
    return nullptr;
}

MDL_Lamp *MDL_Scene::getShadowLamp() const
{
    // The lamp the renderer shadows: lamps that are off give no light, and
    // only the first MAX_LIT_LAMPS lit ones light the scene.
    int lit = 0;
    for (int i = 0; i < m_oLamps.m_iCount && lit < MAX_LIT_LAMPS; i++) {
        MDL_Lamp *lamp = static_cast<MDL_Lamp *>(m_oLamps[i]);
        if (!lamp->m_bOn)
            continue;
        if (lamp->m_bShadows)
            return lamp;
        lit++;
    }
    return nullptr;
}

void MDL_Scene::sortOverlays()
{
    const int n = m_oOverlays.m_iCount;
    if (n < 2)
        return;
    // Each z is read once; NaN is ordered before every number so that the
    // order is a strict weak one.
    struct Keyed {
        double m_fZ;
        MDL_Object *m_poObject;
    };
    Keyed *keyed = static_cast<Keyed *>(malloc(sizeof(Keyed) * static_cast<size_t>(n)));
    if (keyed == nullptr)
        throw std::bad_alloc();
    for (int i = 0; i < n; i++)
        keyed[i] = Keyed{m_oOverlays[i]->getGlobalPosition().m_fZ, m_oOverlays[i]};
    std::stable_sort(keyed, keyed + n, [](const Keyed &a, const Keyed &b) {
        if (std::isnan(a.m_fZ))
            return !std::isnan(b.m_fZ);
        if (std::isnan(b.m_fZ))
            return false;
        return a.m_fZ < b.m_fZ;
    });
    for (int i = 0; i < n; i++)
        m_oOverlays[i] = keyed[i].m_poObject;
    free(keyed);
}

// --- springs, joints, animation players ---

MDL_Spring *MDL_Scene::newSpring()
{
    MDL_Spring *spring = m_poPhysics != nullptr ? m_poPhysics->newSpring() : nullptr;
    if (spring != nullptr)
        m_oSprings.append(spring);
    return spring;
}

MDL_Joint *MDL_Scene::newJoint()
{
    MDL_Joint *joint = m_poPhysics != nullptr ? m_poPhysics->newJoint() : nullptr;
    if (joint != nullptr)
        m_oJoints.append(joint);
    return joint;
}

void MDL_Scene::addAnimation(MDL_Animation *animation)
{
    if (animation == nullptr)
        return;
    // The player is purged with its target, which only the target's scene
    // sees.
    MDL_Object *target = animation->getTarget();
    MDL_Scene *scene = target != nullptr && target->m_poScene != nullptr ? target->m_poScene : this;
    scene->m_oAnimations.append(animation);
    if (target != nullptr && target->m_bDeleted)
        scene->notePending(target);
}

// --- parameters ---

void MDL_Scene::setBounds(double minX, double maxX, double minY, double maxY, double minZ, double maxZ)
{
    m_fMinX = minX;
    m_fMaxX = maxX;
    m_fMinY = minY;
    m_fMaxY = maxY;
    m_fMinZ = minZ;
    m_fMaxZ = maxZ;
}

void MDL_Scene::getBounds(double &minX, double &maxX, double &minY, double &maxY, double &minZ, double &maxZ) const
{
    minX = m_fMinX;
    maxX = m_fMaxX;
    minY = m_fMinY;
    maxY = m_fMaxY;
    minZ = m_fMinZ;
    maxZ = m_fMaxZ;
}

// --- per-frame operations ---

void MDL_Scene::updateSkinning()
{
    for (int i = 0; i < m_oAnimatedMeshes.m_iCount; i++)
        static_cast<MDL_AnimatedMesh *>(m_oAnimatedMeshes[i])->deform(false);
    for (int i = 0; i < m_oBones.m_iCount; i++)
        m_oBones[i]->m_bChanged = false;
}

void MDL_Scene::advanceAnimations(double dt)
{
    if (dt == 0.0)
        return;
    for (int i = 0; i < m_oAnimations.m_iCount; i++) {
        MDL_Animation *animation = m_oAnimations[i];
        if (animation->isPlaying())
            animation->apply(dt);
    }
}

void MDL_Scene::drawShadowVolumes(MDL_Lamp *lamp)
{
    if (lamp == nullptr)
        return;
    for (int i = 0; i < m_oMeshes.m_iCount; i++) {
        MDL_Mesh *mesh = static_cast<MDL_Mesh *>(m_oMeshes[i]);
        if (mesh->castsShadow())
            mesh->buildShadowVolume(lamp);
    }
    lamp->m_bChanged = false;
}

// --- plug-ins ---

bool MDL_Scene::setPhysics(MDL_ScenePhysics *physics)
{
    if (physics != m_poPhysics && (m_oSprings.m_iCount > 0 || m_oJoints.m_iCount > 0))
        return false;
    m_poPhysics = physics;
    return true;
}

void MDL_Scene::setDefaultPhysics(MDL_ScenePhysics *physics)
{
    s_poDefaultPhysics = physics;
}

MDL_ScenePhysics *MDL_Scene::getDefaultPhysics()
{
    return s_poDefaultPhysics;
}

void MDL_Scene::setPurgeHook(MDL_PurgeHook hook, void *context)
{
    m_pfnPurgeHook = hook;
    m_poPurgeContext = context;
}
