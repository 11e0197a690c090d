#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "model/MDL_AnimatedMesh.h"
#include "model/MDL_Animation.h"
#include "model/MDL_AnimationData.h"
#include "model/MDL_Bone.h"
#include "model/MDL_Camera.h"
#include "model/MDL_CollisionVolume.h"
#include "model/MDL_Lamp.h"
#include "model/MDL_Locator.h"
#include "model/MDL_Material.h"
#include "model/MDL_Mesh.h"
#include "model/MDL_MeshData.h"
#include "model/MDL_Polyline.h"
#include "model/MDL_Scene.h"
#include "model/MDL_Text.h"
#include "model/MDL_VertexGroup.h"
#include "tests/support/TEST_ModelsSetWriter.h"

namespace {

typedef MTH_Vector3D V;

// A plain object standing for a kind whose class lives elsewhere (the
// scene only reads its type code).
MDL_Object *objectOfType(int type, const char *name = nullptr)
{
    MDL_Object *o = new MDL_Object();
    o->m_iType = type;
    o->setName(name);
    return o;
}

bool lists(const UTIL_DynArray<MDL_Object *> &list, const MDL_Object *o)
{
    for (int i = 0; i < list.m_iCount; i++)
        if (list[i] == o)
            return true;
    return false;
}

TEST(Scene, NewSceneDefaults)
{
    MDL_Scene scene("World");
    EXPECT_STREQ("World", scene.getName());
    EXPECT_EQ(V(0, 0, -9.8100004196167), scene.getGravity());
    EXPECT_EQ(0.0020000000949949026, scene.getIntegrationStep());
    EXPECT_EQ(0.800000011920929, scene.getFriction());
    EXPECT_EQ(0.6000000238418579, scene.getElasticity());
    EXPECT_TRUE(scene.getActive());
    double b[6];
    scene.getBounds(b[0], b[1], b[2], b[3], b[4], b[5]);
    const double bounds[6] = {-DBL_MAX, DBL_MAX, -DBL_MAX, DBL_MAX, 0, DBL_MAX};
    for (int i = 0; i < 6; i++)
        EXPECT_EQ(bounds[i], b[i]) << i;
    // A frame of 0.01 s takes five default sub-steps.
    EXPECT_EQ(5.0, std::ceil(0.01 / scene.getIntegrationStep()));
    EXPECT_FALSE(scene.m_oActiveVolumes.m_bReleaseMemory);
    EXPECT_TRUE(scene.m_oObjects.m_bReleaseMemory);
    EXPECT_EQ(nullptr, MDL_Scene().getName());

    scene.setBounds(1, 2, 3, 4, 5, 6);
    scene.getBounds(b[0], b[1], b[2], b[3], b[4], b[5]);
    for (int i = 0; i < 6; i++)
        EXPECT_EQ(i + 1.0, b[i]);
}

TEST(Scene, AddObjectFilesEachKindInItsLists)
{
    struct Case {
        int type;
        UTIL_DynArray<MDL_Object *> MDL_Scene::*list; // null: m_oObjects only
    };
    const Case cases[] = {
        {OBJECT_NONE, nullptr},
        {OBJECT_LAMP, &MDL_Scene::m_oLamps},
        {OBJECT_CAMERA, nullptr},
        {OBJECT_MESH, &MDL_Scene::m_oMeshes},
        {OBJECT_RIGID_BODY, &MDL_Scene::m_oRigidBodies},
        {OBJECT_SOUND, &MDL_Scene::m_oSounds},
        {OBJECT_BONE, &MDL_Scene::m_oBones},
        {OBJECT_ANIMATED_MESH, &MDL_Scene::m_oMeshes},
        {OBJECT_TEXT, &MDL_Scene::m_oOverlays},
        {MDL_TYPE_RTF_TEXT, &MDL_Scene::m_oOverlays},
        {OBJECT_IMAGE, &MDL_Scene::m_oOverlays},
        {OBJECT_MIKE, nullptr},
        {OBJECT_POLYLINE, &MDL_Scene::m_oOverlays},
        {OBJECT_LOCATOR, nullptr},
        {42, nullptr},
    };
    UTIL_DynArray<MDL_Object *> MDL_Scene::*const all[] = {
        &MDL_Scene::m_oOverlays,         &MDL_Scene::m_oSounds, &MDL_Scene::m_oMeshes, &MDL_Scene::m_oRigidBodies,
        &MDL_Scene::m_oCollisionVolumes, &MDL_Scene::m_oLamps,  &MDL_Scene::m_oBones};
    for (const Case &c : cases) {
        MDL_Scene scene;
        MDL_Object *o = c.type == OBJECT_ANIMATED_MESH ? new MDL_AnimatedMesh() : objectOfType(c.type);
        ASSERT_TRUE(scene.addObject(o));
        EXPECT_EQ(&scene, o->getScene());
        ASSERT_EQ(1, scene.m_oObjects.m_iCount);
        for (auto list : all)
            EXPECT_EQ(list == c.list, lists(scene.*list, o)) << "type " << c.type;
        EXPECT_EQ(c.type == OBJECT_ANIMATED_MESH, lists(scene.m_oAnimatedMeshes, o));
        EXPECT_EQ(0, scene.m_oSweepEndpoints.m_iCount);
    }
}

TEST(Scene, CollisionVolumeAddsTwoEndpointsAndOneOwnerOnly)
{
    MDL_Scene scene, other;
    MDL_CollisionVolume *volume = new MDL_CollisionVolume(MDL_CollisionVolume::SHAPE_SPHERE);
    ASSERT_TRUE(scene.addObject(volume));
    EXPECT_TRUE(lists(scene.m_oCollisionVolumes, volume));
    ASSERT_EQ(2, scene.m_oSweepEndpoints.m_iCount);
    EXPECT_TRUE(scene.m_oSweepEndpoints[0]->m_bIsMin);
    EXPECT_FALSE(scene.m_oSweepEndpoints[1]->m_bIsMin);
    EXPECT_EQ(volume, scene.m_oSweepEndpoints[0]->m_poObject);
    EXPECT_EQ(volume, scene.m_oSweepEndpoints[1]->m_poObject);
    // A second listing would make two owners.
    EXPECT_FALSE(scene.addObject(volume));
    EXPECT_FALSE(other.addObject(volume));
    EXPECT_FALSE(scene.addObject(nullptr));
    EXPECT_EQ(1, scene.m_oObjects.m_iCount);
    EXPECT_EQ(2, scene.m_oSweepEndpoints.m_iCount);
    EXPECT_EQ(0, other.m_oObjects.m_iCount);
}

TEST(Scene, LookupsAndOverlayOrder)
{
    MDL_Scene scene;
    MDL_Object *unnamed = objectOfType(OBJECT_NONE);
    MDL_Object *first = objectOfType(OBJECT_NONE, "Door");
    MDL_Object *second = objectOfType(OBJECT_NONE, "door");
    for (MDL_Object *o : {unnamed, first, second})
        scene.addObject(o);
    EXPECT_EQ(first, scene.getObject("DOOR"));
    EXPECT_EQ(nullptr, scene.getObject("window"));
    EXPECT_EQ(nullptr, scene.getObject(nullptr));

    EXPECT_EQ(nullptr, scene.getShadowLamp());
    MDL_Lamp *plain = new MDL_Lamp(), *shadowing = new MDL_Lamp(), *later = new MDL_Lamp();
    shadowing->m_bShadows = later->m_bShadows = true;
    for (MDL_Lamp *l : {plain, shadowing, later})
        scene.addObject(l);
    EXPECT_EQ(shadowing, scene.getShadowLamp());

    const double z[] = {3, -1, NAN, 2, -1};
    std::vector<MDL_Object *> overlays;
    for (double v : z) {
        MDL_Object *o = objectOfType(OBJECT_IMAGE);
        o->editGlobalPosition() = V(0, 0, v);
        overlays.push_back(o);
        scene.addObject(o);
    }
    scene.sortOverlays();
    const int order[] = {2, 1, 4, 3, 0}; // NaN first, then ascending; equal z keep their order
    for (int i = 0; i < 5; i++)
        EXPECT_EQ(overlays[order[i]], scene.m_oOverlays[i]) << i;
}

// A template tree: root (object) -> mesh "m", camera "c" -> image "i" ->
// lamp "deep", locator "l"; the image and the lamp below it are left out.
TEST(Scene, InstantiateCopiesTheSubtreeInOrder)
{
    MDL_MeshData data;
    MDL_Material material;
    MDL_Object root;
    root.setName("root");
    root.editLocalPosition() = V(1, 2, 3);
    MDL_Mesh mesh;
    mesh.setName("m");
    mesh.setMeshData(&data);
    mesh.setMaterial(&material);
    MDL_Camera camera;
    camera.setName("c");
    MDL_Object image;
    image.m_iType = OBJECT_IMAGE;
    MDL_Lamp deep;
    deep.setName("deep");
    MDL_Locator locator;
    locator.setName("l");
    ASSERT_TRUE(root.addChild(&mesh));
    ASSERT_TRUE(root.addChild(&camera));
    ASSERT_TRUE(root.addChild(&locator));
    ASSERT_TRUE(camera.addChild(&image));
    ASSERT_TRUE(image.addChild(&deep));
    mesh.editLocalPosition() = V(0, 0, 5);

    MDL_Scene scene;
    MDL_Object *copy = scene.instantiate(&root);
    ASSERT_NE(nullptr, copy);
    ASSERT_NE(&root, copy);
    // Listed in walk order; the image and its subtree are left out.
    ASSERT_EQ(4, scene.m_oObjects.m_iCount);
    EXPECT_EQ(copy, scene.m_oObjects[0]);
    EXPECT_STREQ("m", scene.m_oObjects[1]->getName());
    EXPECT_STREQ("c", scene.m_oObjects[2]->getName());
    EXPECT_STREQ("l", scene.m_oObjects[3]->getName());
    EXPECT_EQ(OBJECT_LOCATOR, scene.m_oObjects[3]->getType());
    EXPECT_EQ(1, scene.m_oMeshes.m_iCount);
    MDL_Object *meshCopy = copy->getFirstChild();
    ASSERT_NE(nullptr, meshCopy);
    EXPECT_EQ(scene.m_oObjects[1], meshCopy);
    EXPECT_EQ(scene.m_oObjects[2], meshCopy->getNextSibling());
    EXPECT_EQ(scene.m_oObjects[3], meshCopy->getNextSibling()->getNextSibling());
    EXPECT_EQ(nullptr, meshCopy->getNextSibling()->getFirstChild());
    EXPECT_EQ(copy, meshCopy->getParent());
    for (int i = 0; i < 4; i++)
        EXPECT_EQ(&scene, scene.m_oObjects[i]->getScene());
    // Frames: local frames kept, so the copies sit where the templates sit.
    EXPECT_EQ(V(1, 2, 8), meshCopy->getGlobalPosition());
    EXPECT_EQ(&data, static_cast<MDL_Mesh *>(meshCopy)->getMeshData());
    EXPECT_EQ(&material, static_cast<MDL_Mesh *>(meshCopy)->getMaterial());
    // The template tree is untouched.
    EXPECT_EQ(&mesh, root.getFirstChild());
    EXPECT_EQ(nullptr, root.getScene());

    // A root of a kind without a copy gives nothing.
    EXPECT_EQ(nullptr, scene.instantiate(&image));
    EXPECT_EQ(nullptr, scene.instantiate(nullptr));
    EXPECT_EQ(4, scene.m_oObjects.m_iCount);
}

// Overlays and locators are copied with their settings; an object that only
// carries an overlay's type code has no copy.
TEST(Scene, InstantiateCopiesTextsPolylinesAndLocators)
{
    MDL_Locator root;
    root.setName("group");
    MDL_Text text;
    text.setText("label");
    text.setTabSize(3);
    MDL_Polyline line;
    line.addPoint(MTH_Vector2D(0, 0));
    line.addPoint(MTH_Vector2D(1, 1));
    line.makeOwnMaterial()->m_fShininess = 7;
    MDL_Object standIn;
    standIn.m_iType = OBJECT_TEXT;
    ASSERT_TRUE(root.addChild(&text));
    ASSERT_TRUE(root.addChild(&line));
    ASSERT_TRUE(root.addChild(&standIn));

    MDL_Scene scene;
    MDL_Object *copy = scene.instantiate(&root);
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->getType(), OBJECT_LOCATOR);
    ASSERT_EQ(scene.m_oObjects.m_iCount, 3);
    ASSERT_EQ(scene.m_oOverlays.m_iCount, 2);
    auto *textCopy = static_cast<MDL_Text *>(scene.m_oOverlays[0]);
    auto *lineCopy = static_cast<MDL_Polyline *>(scene.m_oOverlays[1]);
    EXPECT_EQ(copy->getFirstChild(), textCopy);
    EXPECT_EQ(textCopy->getNextSibling(), lineCopy);
    EXPECT_EQ(lineCopy->getNextSibling(), nullptr);
    EXPECT_STREQ(textCopy->getText(), "label");
    EXPECT_EQ(textCopy->getTabSize(), 3);
    EXPECT_EQ(lineCopy->getPointsCount(), 2);
    ASSERT_TRUE(lineCopy->ownsMaterial());
    EXPECT_NE(lineCopy->getMaterial(), line.getMaterial());
    EXPECT_EQ(lineCopy->getMaterial()->m_fShininess, 7);
    EXPECT_EQ(scene.instantiate(&standIn), nullptr);
}

MDL_Object *copyBody(const MDL_Object &source)
{
    return new MDL_Object(source);
}

TEST(Scene, CopyFunctionsForKindsDefinedElsewhere)
{
    EXPECT_FALSE(MDL_Scene::setCopyFunction(OBJECT_IMAGE, copyBody));
    EXPECT_FALSE(MDL_Scene::setCopyFunction(OBJECT_MESH, copyBody));
    EXPECT_FALSE(MDL_Scene::setCopyFunction(OBJECT_LOCATOR, copyBody));
    ASSERT_TRUE(MDL_Scene::setCopyFunction(OBJECT_RIGID_BODY, copyBody));
    MDL_Object body;
    body.m_iType = OBJECT_RIGID_BODY;
    MDL_Scene scene;
    MDL_Object *copy = scene.instantiate(&body);
    EXPECT_TRUE(MDL_Scene::setCopyFunction(OBJECT_RIGID_BODY, nullptr));
    ASSERT_NE(nullptr, copy);
    EXPECT_EQ(OBJECT_RIGID_BODY, copy->getType());
    EXPECT_EQ(1, scene.m_oRigidBodies.m_iCount);
    EXPECT_EQ(nullptr, scene.instantiate(&body));
}

// A template skeleton with two skinned meshes: one before the bones in walk
// order, one after, and one bound to a bone outside the template.
TEST(Scene, InstantiateBindsSkinsToTheBoneCopies)
{
    MDL_MeshData data;
    TEST_MeshShape shape = TEST_gridShape("grid", 2, 2);
    ASSERT_TRUE(TEST_readMeshData(shape, data));
    MDL_VertexGroup group;
    const int32_t indices[] = {0, 1, 2, 3};
    const double weights[] = {1, 1, 1, 1};
    group.setEntries(4, indices, weights);

    MDL_Object root;
    MDL_AnimatedMesh before, after;
    MDL_Bone hip, knee, outside;
    hip.setName("hip");
    knee.setName("knee");
    outside.setName("outside");
    before.setName("before");
    after.setName("after");
    ASSERT_TRUE(root.addChild(&before));
    ASSERT_TRUE(root.addChild(&hip));
    ASSERT_TRUE(hip.addChild(&knee));
    ASSERT_TRUE(root.addChild(&after));
    for (MDL_AnimatedMesh *m : {&before, &after}) {
        m->setMeshData(&data);
        m->setBindingCount(3);
    }
    before.setBinding(0, &group, &knee);
    before.setBinding(1, &group, &hip);
    before.setBinding(2, &group, &outside);
    after.setBinding(0, &group, &hip);
    after.setBinding(1, &group, nullptr);
    before.bindSkin();

    MDL_Scene scene;
    MDL_Object *copy = scene.instantiate(&root);
    ASSERT_NE(nullptr, copy);
    // root, before, hip, knee, after, then the copy of the outside bone.
    ASSERT_EQ(6, scene.m_oObjects.m_iCount);
    const char *names[] = {nullptr, "before", "hip", "knee", "after", "outside"};
    for (int i = 1; i < 6; i++)
        EXPECT_STREQ(names[i], scene.m_oObjects[i]->getName()) << i;
    MDL_AnimatedMesh *b = static_cast<MDL_AnimatedMesh *>(scene.m_oObjects[1]);
    MDL_AnimatedMesh *a = static_cast<MDL_AnimatedMesh *>(scene.m_oObjects[4]);
    MDL_Object *hipCopy = scene.m_oObjects[2], *kneeCopy = scene.m_oObjects[3], *outsideCopy = scene.m_oObjects[5];
    EXPECT_EQ(kneeCopy, b->getBone(0));
    EXPECT_EQ(hipCopy, b->getBone(1));
    EXPECT_EQ(outsideCopy, b->getBone(2));
    EXPECT_EQ(hipCopy, a->getBone(0));
    EXPECT_EQ(nullptr, a->getBone(1));
    EXPECT_EQ(&group, b->getGroup(0));
    // One copy per bone, in the tree where it belongs; the outside bone is a
    // root of the scene.
    EXPECT_EQ(hipCopy, kneeCopy->getParent());
    EXPECT_EQ(copy, hipCopy->getParent());
    EXPECT_EQ(nullptr, outsideCopy->getParent());
    EXPECT_EQ(3, scene.m_oBones.m_iCount);
    EXPECT_EQ(2, scene.m_oAnimatedMeshes.m_iCount);
    // The template still points at the template bones.
    EXPECT_EQ(&knee, before.getBone(0));

    // The copies deform with the copied bones: the knee follows the hip, the
    // outside bone stays. The group bound three times in "before" entered
    // its weight sums once, so each binding adds the full placement.
    scene.updateSkinning();
    hipCopy->editLocalPosition() = V(0, 0, 1);
    scene.updateSkinning();
    EXPECT_EQ(V(1, 0, 1), a->vertexPosition(1));
    EXPECT_EQ(V(3, 0, 2), b->vertexPosition(1));
}

TEST(Scene, InstantiateWalksDeepTreesWithoutRecursion)
{
    const int depth = 20000;
    std::vector<std::unique_ptr<MDL_Object>> chain;
    for (int i = 0; i < depth; i++) {
        chain.emplace_back(new MDL_Object());
        if (i > 0) { // linked directly: the tree's own checks walk the whole chain
            chain[i - 1]->m_poFirstChild = chain[i].get();
            chain[i]->m_poParent = chain[i - 1].get();
        }
    }
    MDL_Scene scene;
    MDL_Object *copy = scene.instantiate(chain[0].get());
    ASSERT_NE(nullptr, copy);
    EXPECT_EQ(depth, scene.m_oObjects.m_iCount);
    MDL_Object *o = copy;
    int n = 1;
    while (o->getFirstChild() != nullptr) {
        EXPECT_EQ(o, o->getFirstChild()->getParent());
        o = o->getFirstChild();
        n++;
    }
    EXPECT_EQ(depth, n);
    EXPECT_EQ(scene.m_oObjects[depth - 1], o);
}

struct SkinnedScene {
    MDL_MeshData data;
    MDL_VertexGroup group;
    MDL_Scene scene;
    MDL_Bone *bone;
    MDL_AnimatedMesh *meshes[2];

    SkinnedScene()
    {
        EXPECT_TRUE(TEST_readMeshData(TEST_gridShape("grid", 2, 2), data));
        const int32_t indices[] = {0, 1, 2, 3};
        const double weights[] = {1, 1, 1, 1};
        group.setEntries(4, indices, weights);
        MDL_Object root;
        MDL_Bone templateBone;
        MDL_AnimatedMesh templateMeshes[2];
        root.addChild(&templateBone);
        for (MDL_AnimatedMesh &m : templateMeshes) {
            root.addChild(&m);
            m.setMeshData(&data);
            m.setBindingCount(1);
            m.setBinding(0, &group, &templateBone);
        }
        templateMeshes[0].bindSkin();
        scene.instantiate(&root);
        bone = static_cast<MDL_Bone *>(scene.m_oBones[0]);
        meshes[0] = static_cast<MDL_AnimatedMesh *>(scene.m_oAnimatedMeshes[0]);
        meshes[1] = static_cast<MDL_AnimatedMesh *>(scene.m_oAnimatedMeshes[1]);
    }
};

TEST(Scene, SkinningDeformsMeshesOfMovedBonesThenClearsTheBones)
{
    SkinnedScene s;
    s.scene.updateSkinning(); // new copies: their bones are changed
    EXPECT_FALSE(s.bone->m_bChanged);
    for (MDL_AnimatedMesh *m : s.meshes)
        m->m_bChanged = false;
    s.scene.updateSkinning(); // nothing moved
    EXPECT_FALSE(s.meshes[0]->m_bChanged);

    s.meshes[1]->setLocked(true);
    s.bone->editLocalPosition() = V(0, 0, 2);
    s.scene.updateSkinning();
    // Both meshes saw the bone's move before its flag was cleared; the locked
    // one kept its shape.
    EXPECT_TRUE(s.meshes[0]->m_bChanged);
    EXPECT_EQ(V(1, 1, 2), s.meshes[0]->vertexPosition(3));
    EXPECT_EQ(V(1, 1, 0), s.meshes[1]->vertexPosition(3));
    EXPECT_FALSE(s.bone->m_bChanged);
}

TEST(Scene, AnimationsAdvanceOnlyWhilePlayingAndNotForAZeroStep)
{
    MDL_Scene scene, other;
    MDL_Object *target = objectOfType(OBJECT_NONE);
    scene.addObject(target);
    MDL_AnimationData track;
    ASSERT_TRUE(track.setKeyCount(2));
    track.setKey(0, 0, V(0, 0, 0), V(), V(1, 1, 1));
    track.setKey(1, 1, V(4, 0, 0), V(), V(1, 1, 1));
    MDL_Animation *playing = new MDL_Animation(&track, target);
    playing->setDuration(10);
    MDL_Animation *paused = new MDL_Animation(&track, target);
    paused->pause();
    scene.addAnimation(playing);
    // A player goes to its target's scene.
    other.addAnimation(paused);
    other.addAnimation(nullptr);
    ASSERT_EQ(2, scene.m_oAnimations.m_iCount);
    EXPECT_EQ(0, other.m_oAnimations.m_iCount);

    scene.advanceAnimations(0);
    EXPECT_EQ(0, playing->getTime());
    EXPECT_EQ(V(0, 0, 0), target->getLocalPosition());
    scene.advanceAnimations(0.5);
    EXPECT_EQ(0.5, playing->getTime());
    EXPECT_EQ(0, paused->getTime());
    scene.advanceAnimations(0.25);
    EXPECT_DOUBLE_EQ(2.0, target->getLocalPosition().m_fX); // the pose at 0.5, Catmull-Rom halfway
}

TEST(Scene, ShadowVolumesOfEveryCastingMesh)
{
    MDL_Scene scene;
    MDL_MeshData data;
    ASSERT_TRUE(TEST_readMeshData(TEST_cubeShape("cube"), data));
    MDL_Material casting, clear;
    casting.m_bCastShadows = true;
    clear.m_bCastShadows = false;
    MDL_Mesh *meshes[2] = {new MDL_Mesh(), new MDL_Mesh()};
    meshes[0]->setMaterial(&casting);
    meshes[1]->setMaterial(&clear);
    for (MDL_Mesh *m : meshes) {
        m->setMeshData(&data);
        scene.addObject(m);
    }
    MDL_Lamp *lamp = new MDL_Lamp();
    lamp->m_bShadows = true;
    lamp->editGlobalPosition() = V(0, 0, 10);
    scene.addObject(lamp);
    scene.drawShadowVolumes(scene.getShadowLamp());
    EXPECT_GT(meshes[0]->m_oShadowSides.m_iCount, 0);
    EXPECT_EQ(lamp, meshes[0]->getShadowLamp());
    EXPECT_EQ(0, meshes[1]->m_oShadowSides.m_iCount);
    EXPECT_FALSE(lamp->m_bChanged);
}

} // namespace
