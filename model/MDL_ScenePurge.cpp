// Deleting scene objects and purging them at the end of the frame.
//
// Deletion only flags: a deleted object stays in every list until the
// scene's next purge, so that loops running at the time (the step's phases,
// script callbacks) never meet a destroyed object. The scene keeps the
// objects it was told of (deleteObject, noteDeleted); a purge starts from
// those alone, so a frame without deletions costs nothing here and one with
// a few looks up just those objects in their lists.
#include <algorithm>
#include <functional>

#include "foundation/UTIL_DynArray.h"
#include "model/MDL_AnimatedMesh.h"
#include "model/MDL_Animation.h"
#include "model/MDL_CollisionVolume.h"
#include "model/MDL_Lamp.h"
#include "model/MDL_Mesh.h"
#include "model/MDL_Object.h"
#include "model/MDL_Scene.h"

namespace {

// Up to this many objects per purge are looked up in the lists one by one;
// more are removed in one pass over each list.
const int FEW = 16;

// Takes object out of the tree: it keeps its placement in the scene and
// becomes a root, out of its parent's child list.
void detach(MDL_Object *object)
{
    if (object->m_poParent == nullptr)
        return;
    object->getGlobalFrame();
    object->unlinkFromParent();
    object->m_poParent = nullptr;
    object->m_oLocalFrame = object->m_oGlobalFrame;
    object->m_bLocalValid = true;
}

// Removes the entries for which gone holds, keeping the order of the rest;
// each removed entry is handed to removed first.
template <typename T, typename G, typename R> void removeWhere(UTIL_DynArray<T> &list, G gone, R removed)
{
    int kept = 0;
    for (int i = 0; i < list.m_iCount; i++) {
        T entry = list[i];
        if (gone(entry))
            removed(entry);
        else
            list[kept++] = entry;
    }
    if (kept != list.m_iCount)
        list.resize(kept);
}

// Objects sorted by address. Pointers held elsewhere (bindings, players,
// springs, endpoints) are looked up here and never read, since they might
// name objects that are not this scene's.
class ObjectSet {
public:
    explicit ObjectSet(const UTIL_DynArray<MDL_Object *> &sorted) : m_oSorted(sorted) {}
    bool holds(const void *object) const
    {
        return object != nullptr &&
               std::binary_search(m_oSorted.m_pData, m_oSorted.m_pData + m_oSorted.m_iCount,
                                  static_cast<const MDL_Object *>(object), std::less<const MDL_Object *>());
    }

private:
    const UTIL_DynArray<MDL_Object *> &m_oSorted;
};

} // namespace

void MDL_Scene::notePending(MDL_Object *object)
{
    m_oPendingDeletions.append(object);
}

void MDL_Scene::noteDeleted(MDL_Object *object)
{
    if (object != nullptr && object->m_poScene != nullptr)
        object->m_poScene->notePending(object);
}

void MDL_Scene::deleteObject(MDL_Object *object)
{
    if (object == nullptr)
        return;
    // Children first: the walk goes down through first children and deletes
    // an object once it has none left, which makes its next sibling the
    // parent's first child. Each step unlinks one object in constant time.
    UTIL_DynArray<MDL_Object *> stack;
    stack.m_bReleaseMemory = false;
    stack.append(object);
    while (stack.m_iCount > 0) {
        MDL_Object *top = stack[stack.m_iCount - 1];
        if (top->m_poFirstChild != nullptr) {
            stack.append(top->m_poFirstChild);
            continue;
        }
        stack.resize(stack.m_iCount - 1);
        detach(top);
        top->m_bDeleted = true;
        noteDeleted(top);
    }
}

void MDL_Scene::collectDeleted(UTIL_DynArray<MDL_Object *> &candidates)
{
    // The list grows while it is read: the subtree of an object flagged by
    // other means (or given children after its deletion) is deleted here and
    // noted behind it.
    for (int i = 0; i < m_oPendingDeletions.m_iCount; i++) {
        MDL_Object *object = m_oPendingDeletions[i];
        if (!object->m_bDeleted || object->m_poScene != this)
            continue;
        detach(object);
        while (object->m_poFirstChild != nullptr)
            deleteObject(object->m_poFirstChild);
        candidates.append(object);
    }
    m_oPendingDeletions.resize(0);
    std::sort(candidates.m_pData, candidates.m_pData + candidates.m_iCount, std::less<MDL_Object *>());
    candidates.resize(static_cast<int>(std::unique(candidates.m_pData, candidates.m_pData + candidates.m_iCount) -
                                       candidates.m_pData));
}

void MDL_Scene::purgeDeleted()
{
    if (m_oPendingDeletions.m_iCount == 0 || m_bPurging)
        return;
    m_bPurging = true;
    UTIL_DynArray<MDL_Object *> candidates, gone;
    collectDeleted(candidates);
    // Every noted object of this scene sits in m_oObjects; only what leaves
    // it is destroyed. gone stays sorted by address.
    const bool few = candidates.m_iCount <= FEW;
    if (few) {
        for (int i = 0; i < candidates.m_iCount; i++)
            if (m_oObjects.removeValue(candidates[i]))
                gone.append(candidates[i]);
    } else {
        const ObjectSet noted(candidates);
        removeWhere(
            m_oObjects, [&noted](MDL_Object *o) { return noted.holds(o); }, [&gone](MDL_Object *o) { gone.append(o); });
        std::sort(gone.m_pData, gone.m_pData + gone.m_iCount, std::less<MDL_Object *>());
    }
    if (gone.m_iCount == 0) {
        m_bPurging = false;
        return;
    }
    const ObjectSet set(gone);
    uint32_t kinds = 0;
    for (int i = 0; i < gone.m_iCount; i++)
        kinds |= 1u << (gone[i]->m_iType >= 0 && gone[i]->m_iType < 31 ? gone[i]->m_iType : 31);
    auto has = [kinds](int type) { return (kinds & (1u << type)) != 0; };

    // Players of a purged target.
    if (m_oAnimations.m_iCount > 0)
        removeWhere(
            m_oAnimations, [&set](MDL_Animation *animation) { return set.holds(animation->getTarget()); },
            [](MDL_Animation *animation) { delete animation; });
    // The per-kind lists.
    if (few) {
        for (int i = 0; i < gone.m_iCount; i++) {
            UTIL_DynArray<MDL_Object *> *list = kindList(gone[i]->m_iType);
            if (list != nullptr)
                list->removeValue(gone[i]);
            if (gone[i]->m_iType == OBJECT_ANIMATED_MESH)
                m_oAnimatedMeshes.removeValue(gone[i]);
        }
    } else {
        UTIL_DynArray<MDL_Object *> *const lists[] = {
            &m_oSounds,           &m_oMeshes, &m_oAnimatedMeshes, &m_oRigidBodies,
            &m_oCollisionVolumes, &m_oLamps,  &m_oOverlays,       &m_oBones};
        for (UTIL_DynArray<MDL_Object *> *list : lists)
            removeWhere(
                *list, [&set](MDL_Object *o) { return set.holds(o); }, [](MDL_Object *) {});
    }
    // The endpoints of purged volumes, and the sweep's working list, which
    // may still name them.
    if (has(OBJECT_COLLISION_VOLUME)) {
        removeWhere(
            m_oSweepEndpoints, [&set](MDL_SweepEndpoint *endpoint) { return set.holds(endpoint->m_poObject); },
            [](MDL_SweepEndpoint *endpoint) { delete endpoint; });
        m_oActiveVolumes.resize(0);
    }
    // Springs and joints that join a purged object are destroyed with it.
    if (m_poPhysics != nullptr) {
        MDL_ScenePhysics *physics = m_poPhysics;
        removeWhere(
            m_oSprings,
            [physics, &set](MDL_Spring *spring) {
                MDL_Object *a = nullptr, *b = nullptr;
                physics->springBodies(spring, a, b);
                return set.holds(a) || set.holds(b);
            },
            [physics](MDL_Spring *spring) { physics->deleteSpring(spring); });
        removeWhere(
            m_oJoints,
            [physics, &set](MDL_Joint *joint) {
                MDL_Object *a = nullptr, *b = nullptr;
                physics->jointBodies(joint, a, b);
                return set.holds(a) || set.holds(b);
            },
            [physics](MDL_Joint *joint) { physics->deleteJoint(joint); });
    }
    // Animated meshes forget purged bones, meshes a purged shadow lamp.
    for (int i = 0; i < m_oAnimatedMeshes.m_iCount; i++) {
        MDL_AnimatedMesh *mesh = static_cast<MDL_AnimatedMesh *>(m_oAnimatedMeshes[i]);
        for (int k = 0; k < mesh->m_iNumBindings; k++)
            if (set.holds(mesh->m_ppoBones[k]))
                mesh->m_ppoBones[k] = nullptr;
    }
    if (has(OBJECT_LAMP))
        for (int i = 0; i < m_oMeshes.m_iCount; i++) {
            MDL_Mesh *mesh = static_cast<MDL_Mesh *>(m_oMeshes[i]);
            if (set.holds(mesh->m_poShadowLamp))
                mesh->m_poShadowLamp = nullptr;
        }

    if (m_pfnPurgeHook != nullptr)
        m_pfnPurgeHook(this, gone.m_pData, gone.m_iCount, m_poPurgeContext);
    for (int i = 0; i < gone.m_iCount; i++)
        delete gone[i];
    m_bPurging = false;
}
