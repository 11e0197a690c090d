#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "model/MDL_AnimatedMesh.h"
#include "model/MDL_Animation.h"
#include "model/MDL_Bone.h"
#include "model/MDL_CollisionVolume.h"
#include "model/MDL_Lamp.h"
#include "model/MDL_Material.h"
#include "model/MDL_Mesh.h"
#include "model/MDL_MeshData.h"
#include "model/MDL_Object.h"
#include "model/MDL_Scene.h"
#include "model/MDL_VertexGroup.h"
#include "foundation/UTIL_ProxyHandle.h"
#include "tests/support/TEST_ModelsSetWriter.h"

namespace {

typedef MTH_Vector3D V;

// An object of the kind; kinds whose fields the scene reads are made of
// their own class, the others are plain objects with the type code.
MDL_Object *named(int type, const char *name)
{
    MDL_Object *o = type == OBJECT_MESH ? new MDL_Mesh() : type == OBJECT_LAMP ? new MDL_Lamp() : new MDL_Object();
    o->m_iType = type;
    o->setName(name);
    return o;
}

// The names in a list, for comparisons.
std::string names(const UTIL_DynArray<MDL_Object *> &list)
{
    std::string out;
    for (int i = 0; i < list.m_iCount; i++)
        out += std::string(out.empty() ? "" : " ") + (list[i]->getName() ? list[i]->getName() : "?");
    return out;
}

// A proxy that tells when its object let go of it.
struct WatchedProxy : public UTIL_Proxy {
    explicit WatchedProxy(bool *flag) : m_pbFlag(flag) {}
    ~WatchedProxy() override { *m_pbFlag = true; }
    bool *m_pbFlag;
};

// What the purge hook saw, read while the objects were still allocated.
struct HookLog {
    std::vector<std::string> m_asNames;
    int m_iCalls = 0;
    std::function<void(MDL_Scene *)> m_fnAction;

    static void hook(MDL_Scene *scene, MDL_Object *const *objects, int count, void *context)
    {
        HookLog *log = static_cast<HookLog *>(context);
        log->m_iCalls++;
        for (int i = 0; i < count; i++) {
            EXPECT_TRUE(objects[i]->m_bDeleted);
            log->m_asNames.push_back(objects[i]->getName() ? objects[i]->getName() : "?");
        }
        if (log->m_fnAction)
            log->m_fnAction(scene);
    }
};

TEST(ScenePurge, FlaggedObjectsLeaveEveryListInOrder)
{
    MDL_Scene scene;
    const struct {
        int type;
        const char *name;
    } objects[] = {
        {OBJECT_LAMP, "lamp1"},  {OBJECT_MESH, "mesh1"},       {OBJECT_BONE, "bone1"},       {OBJECT_SOUND, "sound1"},
        {OBJECT_LAMP, "lamp2"},  {OBJECT_MESH, "mesh2"},       {OBJECT_BONE, "bone2"},       {OBJECT_SOUND, "sound2"},
        {OBJECT_IMAGE, "image"}, {OBJECT_RIGID_BODY, "body1"}, {OBJECT_RIGID_BODY, "body2"}, {OBJECT_NONE, "plain"},
        {OBJECT_MESH, "mesh3"},
    };
    for (const auto &o : objects)
        scene.addObject(named(o.type, o.name));
    MDL_CollisionVolume *kept = new MDL_CollisionVolume(MDL_CollisionVolume::SHAPE_BOX);
    MDL_CollisionVolume *gone = new MDL_CollisionVolume(MDL_CollisionVolume::SHAPE_SPHERE);
    kept->setName("kept");
    gone->setName("gone");
    scene.addObject(gone);
    scene.addObject(kept);
    scene.m_oActiveVolumes.append(gone);

    EXPECT_FALSE(scene.hasPendingDeletions());
    for (const char *name : {"lamp1", "mesh2", "bone1", "sound2", "image", "body1", "plain", "gone", "mesh3"})
        MDL_Scene::deleteObject(scene.getObject(name));
    EXPECT_TRUE(scene.hasPendingDeletions());
    // Flagged objects stay listed until the purge.
    EXPECT_EQ(15, scene.m_oObjects.m_iCount);
    EXPECT_EQ(4, scene.m_oSweepEndpoints.m_iCount);

    scene.purgeDeleted();
    EXPECT_FALSE(scene.hasPendingDeletions());
    EXPECT_EQ("mesh1 sound1 lamp2 bone2 body2 kept", names(scene.m_oObjects));
    EXPECT_EQ("lamp2", names(scene.m_oLamps));
    EXPECT_EQ("mesh1", names(scene.m_oMeshes));
    EXPECT_EQ("bone2", names(scene.m_oBones));
    EXPECT_EQ("sound1", names(scene.m_oSounds));
    EXPECT_EQ("", names(scene.m_oOverlays));
    EXPECT_EQ("body2", names(scene.m_oRigidBodies));
    EXPECT_EQ("kept", names(scene.m_oCollisionVolumes));
    // Both endpoints of the purged volume went; the working list of the
    // sweep no longer names it.
    ASSERT_EQ(2, scene.m_oSweepEndpoints.m_iCount);
    EXPECT_EQ(kept, scene.m_oSweepEndpoints[0]->m_poObject);
    EXPECT_EQ(kept, scene.m_oSweepEndpoints[1]->m_poObject);
    EXPECT_EQ(0, scene.m_oActiveVolumes.m_iCount);
}

// Many deletions at once take the other path through the lists; the result
// is the same. An object deleted twice is destroyed once.
TEST(ScenePurge, ManyDeletionsAtOnce)
{
    MDL_Scene scene;
    const int kinds[] = {OBJECT_MESH, OBJECT_LAMP, OBJECT_BONE, OBJECT_NONE, OBJECT_IMAGE};
    std::string keptObjects, keptMeshes, keptVolumes;
    std::vector<MDL_Object *> doomed;
    for (int i = 0; i < 120; i++) {
        const std::string name = std::to_string(i);
        MDL_Object *o =
            i % 7 == 6 ? new MDL_CollisionVolume(MDL_CollisionVolume::SHAPE_BOX) : named(kinds[i % 5], name.c_str());
        o->setName(name.c_str());
        scene.addObject(o);
        if (i % 3 == 0) {
            doomed.push_back(o);
            continue;
        }
        keptObjects += (keptObjects.empty() ? "" : " ") + name;
        if (o->getType() == OBJECT_MESH)
            keptMeshes += (keptMeshes.empty() ? "" : " ") + name;
        if (o->getType() == OBJECT_COLLISION_VOLUME)
            keptVolumes += (keptVolumes.empty() ? "" : " ") + name;
    }
    for (MDL_Object *o : doomed)
        MDL_Scene::deleteObject(o);
    MDL_Scene::deleteObject(doomed[0]);
    HookLog log;
    scene.setPurgeHook(HookLog::hook, &log);
    scene.purgeDeleted();
    EXPECT_EQ(doomed.size(), log.m_asNames.size());
    EXPECT_EQ(keptObjects, names(scene.m_oObjects));
    EXPECT_EQ(keptMeshes, names(scene.m_oMeshes));
    EXPECT_EQ(keptVolumes, names(scene.m_oCollisionVolumes));
    EXPECT_EQ(2 * scene.m_oCollisionVolumes.m_iCount, scene.m_oSweepEndpoints.m_iCount);
    for (int i = 0; i < scene.m_oSweepEndpoints.m_iCount; i++)
        EXPECT_FALSE(scene.m_oSweepEndpoints[i]->m_poObject->m_bDeleted);
}

TEST(ScenePurge, DeleteObjectTakesTheSubtreeOutOfTheTree)
{
    MDL_Scene scene;
    MDL_Object *root = named(OBJECT_NONE, "root"), *parent = named(OBJECT_NONE, "parent");
    MDL_Object *child = named(OBJECT_NONE, "child"), *grandchild = named(OBJECT_NONE, "grandchild");
    MDL_Object *sibling = named(OBJECT_NONE, "sibling");
    for (MDL_Object *o : {root, parent, child, grandchild, sibling})
        scene.addObject(o);
    root->addChild(parent);
    root->addChild(sibling);
    parent->addChild(child);
    child->addChild(grandchild);
    parent->editLocalPosition() = V(1, 0, 0);
    child->editLocalPosition() = V(0, 2, 0);

    MDL_Scene::deleteObject(parent);
    for (MDL_Object *o : {parent, child, grandchild}) {
        EXPECT_TRUE(o->m_bDeleted) << o->getName();
        EXPECT_EQ(nullptr, o->getParent()) << o->getName();
        EXPECT_EQ(nullptr, o->getFirstChild()) << o->getName();
    }
    EXPECT_FALSE(sibling->m_bDeleted);
    EXPECT_EQ(sibling, root->getFirstChild());
    EXPECT_EQ(nullptr, sibling->getNextSibling());
    // Each keeps its place in the scene.
    EXPECT_EQ(V(1, 2, 0), child->getGlobalPosition());
    EXPECT_EQ(V(1, 2, 0), grandchild->getGlobalPosition());

    MDL_Scene::deleteObject(nullptr);
    scene.purgeDeleted();
    EXPECT_EQ("root sibling", names(scene.m_oObjects));
}

TEST(ScenePurge, ObjectsFlaggedByOtherMeansAndTheirSubtrees)
{
    MDL_Scene scene, other;
    MDL_Object *root = named(OBJECT_NONE, "root"), *flagged = named(OBJECT_NONE, "flagged");
    MDL_Object *child = named(OBJECT_NONE, "child"), *elsewhere = named(OBJECT_NONE, "elsewhere");
    MDL_Object *bystander = named(OBJECT_NONE, "bystander");
    for (MDL_Object *o : {root, flagged, child, bystander})
        scene.addObject(o);
    other.addObject(elsewhere);
    root->addChild(flagged);
    flagged->addChild(child);
    flagged->addChild(elsewhere); // a child in another scene

    // Flagged directly: the scene does not know until told.
    flagged->m_bDeleted = true;
    scene.purgeDeleted();
    EXPECT_EQ(4, scene.m_oObjects.m_iCount);
    MDL_Scene::noteDeleted(flagged);
    scene.purgeDeleted();
    // The subtree went with it, and it left its parent's child list.
    EXPECT_EQ("root bystander", names(scene.m_oObjects));
    EXPECT_EQ(nullptr, root->getFirstChild());
    // The child in the other scene is flagged, out of the tree, and purged
    // by its own scene.
    EXPECT_TRUE(elsewhere->m_bDeleted);
    EXPECT_EQ(nullptr, elsewhere->getParent());
    EXPECT_TRUE(other.hasPendingDeletions());
    other.purgeDeleted();
    EXPECT_EQ(0, other.m_oObjects.m_iCount);

    // A child given to a deleted object goes with it too.
    MDL_Scene::deleteObject(bystander);
    MDL_Object *late = named(OBJECT_NONE, "late");
    scene.addObject(late);
    bystander->addChild(late);
    scene.purgeDeleted();
    EXPECT_EQ("root", names(scene.m_oObjects));
}

TEST(ScenePurge, PlayersOfDeletedTargetsAreDestroyedEvenWhilePlaying)
{
    bool destroyed[3] = {false, false, false}; // outlives the scene, which destroys the players
    MDL_Scene scene;
    MDL_Object *target = named(OBJECT_NONE, "target"), *stays = named(OBJECT_NONE, "stays");
    scene.addObject(target);
    scene.addObject(stays);
    MDL_Animation *players[3] = {new MDL_Animation(nullptr, stays), new MDL_Animation(nullptr, target),
                                 new MDL_Animation(nullptr, stays)};
    for (int i = 0; i < 3; i++) {
        players[i]->m_oProxyHandle.bind(new WatchedProxy(&destroyed[i]));
        scene.addAnimation(players[i]);
    }
    ASSERT_TRUE(players[1]->isPlaying());
    MDL_Scene::deleteObject(target);
    scene.advanceAnimations(0.5); // a deleted target stops the player's effect at once
    EXPECT_EQ(0, players[1]->getTime());
    EXPECT_EQ(0.5, players[0]->getTime());
    scene.purgeDeleted();
    EXPECT_FALSE(destroyed[0]);
    EXPECT_TRUE(destroyed[1]);
    EXPECT_FALSE(destroyed[2]);
    ASSERT_EQ(2, scene.m_oAnimations.m_iCount);
    EXPECT_EQ(players[0], scene.m_oAnimations[0]);
    EXPECT_EQ(players[2], scene.m_oAnimations[1]);
}

TEST(ScenePurge, TheHookSeesThePurgedObjectsWhileTheyStillExist)
{
    MDL_Scene scene;
    HookLog log;
    scene.setPurgeHook(HookLog::hook, &log);
    MDL_Object *a = named(OBJECT_NONE, "a"), *b = named(OBJECT_NONE, "b"), *c = named(OBJECT_NONE, "c");
    bool proxyReleased = false;
    a->m_oProxyHandle.bind(new WatchedProxy(&proxyReleased));
    for (MDL_Object *o : {a, b, c})
        scene.addObject(o);
    scene.purgeDeleted(); // nothing pending: no call
    EXPECT_EQ(0, log.m_iCalls);

    // From inside the hook: a deletion waits for the next purge, a nested
    // purge does nothing, a new object is simply listed.
    log.m_fnAction = [b](MDL_Scene *s) {
        MDL_Scene::deleteObject(b);
        s->purgeDeleted();
        s->addObject(named(OBJECT_NONE, "new"));
    };
    MDL_Scene::deleteObject(a);
    scene.purgeDeleted();
    EXPECT_EQ(1, log.m_iCalls);
    EXPECT_EQ((std::vector<std::string>{"a"}), log.m_asNames);
    EXPECT_TRUE(proxyReleased);
    EXPECT_EQ("b c new", names(scene.m_oObjects));
    EXPECT_TRUE(scene.hasPendingDeletions());

    log.m_fnAction = nullptr;
    scene.purgeDeleted();
    EXPECT_EQ(2, log.m_iCalls);
    EXPECT_EQ("c new", names(scene.m_oObjects));
}

// Skinned meshes forget purged bones, meshes a purged shadow lamp.
TEST(ScenePurge, NothingKeepsPointingAtAPurgedObject)
{
    MDL_MeshData data;
    ASSERT_TRUE(TEST_readMeshData(TEST_gridShape("grid", 2, 2), data));
    MDL_VertexGroup group;
    const int32_t indices[] = {0, 1, 2, 3};
    const double weights[] = {1, 1, 1, 1};
    group.setEntries(4, indices, weights);
    MDL_Object root;
    MDL_Bone boneA, boneB;
    boneA.setName("A");
    boneB.setName("B");
    MDL_AnimatedMesh skin;
    skin.setMeshData(&data);
    root.addChild(&boneA);
    root.addChild(&boneB);
    root.addChild(&skin);
    skin.setBindingCount(2);
    skin.setBinding(0, &group, &boneA);
    skin.setBinding(1, &group, &boneB);
    skin.bindSkin();

    MDL_Scene scene;
    scene.instantiate(&root);
    MDL_AnimatedMesh *mesh = static_cast<MDL_AnimatedMesh *>(scene.m_oAnimatedMeshes[0]);
    MDL_Object *a = scene.getObject("A"), *b = scene.getObject("B");
    ASSERT_EQ(a, mesh->getBone(0));

    MDL_Material material;
    material.m_bCastShadows = true;
    mesh->setMaterial(&material);
    MDL_Lamp *lamp = new MDL_Lamp();
    lamp->editGlobalPosition() = V(0, 0, 5);
    scene.addObject(lamp);
    scene.drawShadowVolumes(lamp);
    ASSERT_EQ(lamp, mesh->getShadowLamp());

    MDL_Scene::deleteObject(a);
    MDL_Scene::deleteObject(lamp);
    scene.purgeDeleted();
    EXPECT_EQ(nullptr, mesh->getBone(0));
    EXPECT_EQ(b, mesh->getBone(1));
    EXPECT_EQ(nullptr, mesh->getShadowLamp());
    EXPECT_EQ("B", names(scene.m_oBones));
    EXPECT_EQ(0, scene.m_oLamps.m_iCount);
    // The skin still deforms with the bone that is left.
    b->editLocalPosition() = V(0, 0, 1);
    scene.updateSkinning();
    EXPECT_EQ(V(1, 1, 1), mesh->vertexPosition(3));

    // Purging the mesh takes it out of the skinning pass.
    MDL_Scene::deleteObject(mesh);
    scene.purgeDeleted();
    EXPECT_EQ(0, scene.m_oAnimatedMeshes.m_iCount);
    EXPECT_EQ(0, scene.m_oMeshes.m_iCount);
    scene.updateSkinning();
}

} // namespace
