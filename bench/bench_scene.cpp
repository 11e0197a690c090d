// Scenes: instantiating a template of 10,000 objects (beside the bare copy
// constructors of the same objects), and one frame's update passes on a
// scene of 10,000 objects after 100 edits (beside a single walk over every
// object of the scene, the least that any pass proportional to the scene
// would cost), also in a frame that deletes one object. Read the ratios.
//
// The template: 100 rigs under one root, each rig a chain of 5 bones, an
// animated mesh of 16 vertices bound to them, and 93 meshes; 10,001 objects.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "model/MDL_AnimatedMesh.h"
#include "model/MDL_Animation.h"
#include "model/MDL_AnimationData.h"
#include "model/MDL_Bone.h"
#include "model/MDL_Material.h"
#include "model/MDL_Mesh.h"
#include "model/MDL_MeshData.h"
#include "model/MDL_Object.h"
#include "model/MDL_Scene.h"
#include "model/MDL_VertexGroup.h"

namespace {

const int RIGS = 100;
const int BONES = 5;
const int MESHES = 93;
const int EDITS = 100;

// A grid of n x n vertices in z = 0, unit spacing.
void makeGrid(MDL_MeshData &d, int n)
{
    d.clear();
    d.m_iNumVertices = n * n;
    d.m_poPositions = static_cast<MTH_Vector3D *>(malloc(sizeof(MTH_Vector3D) * static_cast<size_t>(n * n)));
    d.m_iNumNormals = n * n;
    d.m_poNormals = static_cast<MTH_Vector3D *>(malloc(sizeof(MTH_Vector3D) * static_cast<size_t>(n * n)));
    for (int j = 0; j < n; j++)
        for (int i = 0; i < n; i++) {
            d.m_poPositions[j * n + i] = MTH_Vector3D(i, j, 0);
            d.m_poNormals[j * n + i] = MTH_Vector3D(0, 0, 1);
        }
    d.m_iNumTriangles = 2 * (n - 1) * (n - 1);
    d.m_puiTriangles = static_cast<uint32_t *>(malloc(sizeof(uint32_t) * 3 * static_cast<size_t>(d.m_iNumTriangles)));
    d.m_poFaces = static_cast<MDL_Face *>(calloc(static_cast<size_t>(d.m_iNumTriangles), sizeof(MDL_Face)));
    uint32_t *t = d.m_puiTriangles;
    for (int j = 0; j + 1 < n; j++)
        for (int i = 0; i + 1 < n; i++) {
            uint32_t a = static_cast<uint32_t>(j * n + i), b = a + 1, c = a + n + 1, e = a + n;
            const uint32_t quad[6] = {a, b, c, a, c, e};
            memcpy(t, quad, sizeof quad);
            t += 6;
        }
    d.computeBoundingBox(d.m_oMin, d.m_oMax);
    d.computeNeighbours();
    d.computeFaceNormals();
}

// The template objects and what they share, owned here as a models set
// would own them.
struct Template {
    MDL_MeshData m_oSkinData, m_oMeshData;
    MDL_Material m_oMaterial;
    std::vector<MDL_VertexGroup *> m_apoGroups;
    std::vector<MDL_Object *> m_apoObjects; // [0] is the root
    MDL_AnimationData m_oTrack;

    Template()
    {
        makeGrid(m_oSkinData, 4);
        makeGrid(m_oMeshData, 4);
        m_oMaterial.m_bCastShadows = false;
        // One group per bone: the grid's rows 0..3 and the whole grid.
        for (int g = 0; g < BONES; g++) {
            int32_t indices[16];
            double weights[16];
            int n = 0;
            for (int v = 0; v < 16; v++)
                if (g == BONES - 1 || v / 4 == g) {
                    indices[n] = v;
                    weights[n++] = 1.0;
                }
            MDL_VertexGroup *group = new MDL_VertexGroup();
            group->setEntries(n, indices, weights);
            m_apoGroups.push_back(group);
        }
        MDL_Object *root = new MDL_Object();
        m_apoObjects.push_back(root);
        for (int r = 0; r < RIGS; r++) {
            MDL_Object *rig = new MDL_Object();
            root->insertFirstChild(rig);
            m_apoObjects.push_back(rig);
            MDL_Object *parent = rig;
            MDL_Bone *bones[BONES];
            for (int b = 0; b < BONES; b++) {
                bones[b] = new MDL_Bone();
                bones[b]->editLocalPosition() = MTH_Vector3D(0, 1, 0);
                parent->insertFirstChild(bones[b]);
                parent = bones[b];
                m_apoObjects.push_back(bones[b]);
            }
            MDL_AnimatedMesh *skin = new MDL_AnimatedMesh();
            skin->setMeshData(&m_oSkinData);
            skin->setMaterial(&m_oMaterial);
            skin->setBindingCount(BONES);
            for (int b = 0; b < BONES; b++)
                skin->setBinding(b, m_apoGroups[b], bones[b]);
            rig->insertFirstChild(skin);
            m_apoObjects.push_back(skin);
            for (int m = 0; m < MESHES; m++) {
                MDL_Mesh *mesh = new MDL_Mesh();
                mesh->setMeshData(&m_oMeshData);
                mesh->setMaterial(&m_oMaterial);
                mesh->editLocalPosition() = MTH_Vector3D(m, r, 0);
                rig->insertFirstChild(mesh);
                m_apoObjects.push_back(mesh);
            }
        }
        for (MDL_Object *o : m_apoObjects)
            if (o->getType() == OBJECT_ANIMATED_MESH)
                static_cast<MDL_AnimatedMesh *>(o)->bindSkin();
        // Keys far apart, so that the players set a pose in every frame of
        // the run.
        m_oTrack.setKeyCount(3);
        for (int k = 0; k < 3; k++)
            m_oTrack.setKey(k, 1e6 * k, MTH_Vector3D(0, 1, 0.1 * k), MTH_Vector3D(0, 0, 0.1 * k),
                            MTH_Vector3D(1, 1, 1));
    }
    ~Template()
    {
        for (MDL_Object *o : m_apoObjects)
            delete o;
        for (MDL_VertexGroup *g : m_apoGroups)
            delete g;
    }
    MDL_Object *root() const { return m_apoObjects[0]; }
};

const Template &sharedTemplate()
{
    static Template t;
    return t;
}

// A copy of one object by its kind, as instantiate makes them.
MDL_Object *bareCopy(const MDL_Object *o)
{
    switch (o->getType()) {
    case OBJECT_BONE:
        return new MDL_Bone(*static_cast<const MDL_Bone *>(o));
    case OBJECT_MESH:
        return new MDL_Mesh(*static_cast<const MDL_Mesh *>(o));
    case OBJECT_ANIMATED_MESH:
        return new MDL_AnimatedMesh(*static_cast<const MDL_AnimatedMesh *>(o));
    default:
        return new MDL_Object(*o);
    }
}

void BM_CopyConstructorsOnly(benchmark::State &state)
{
    const Template &t = sharedTemplate();
    std::vector<MDL_Object *> copies(t.m_apoObjects.size());
    for (auto _ : state) {
        for (size_t i = 0; i < t.m_apoObjects.size(); i++)
            copies[i] = bareCopy(t.m_apoObjects[i]);
        state.PauseTiming();
        for (MDL_Object *c : copies)
            delete c;
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(t.m_apoObjects.size()));
}
BENCHMARK(BM_CopyConstructorsOnly)->Unit(benchmark::kMillisecond);

void BM_Instantiate10000(benchmark::State &state)
{
    const Template &t = sharedTemplate();
    for (auto _ : state) {
        state.PauseTiming();
        MDL_Scene *scene = new MDL_Scene();
        state.ResumeTiming();
        benchmark::DoNotOptimize(scene->instantiate(t.root()));
        state.PauseTiming();
        if (scene->m_oObjects.m_iCount != static_cast<int>(t.m_apoObjects.size()))
            state.SkipWithError("not every object was copied");
        delete scene;
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(t.m_apoObjects.size()));
}
BENCHMARK(BM_Instantiate10000)->Unit(benchmark::kMillisecond);

// A scene made from the template, with one animation player per rig on
// its top bone, and the 100 objects that each frame edits: in every rig a
// bone in the middle of its chain or a mesh, in turn (an edit of the root
// would move the whole scene, which is the edit's own cost, not the
// passes').
struct FrameScene {
    MDL_Scene m_oScene;
    std::vector<MDL_Object *> m_apoEdited;

    // still: the skins locked and the players paused, which leaves the
    // passes that would grow with the scene if they walked it.
    explicit FrameScene(bool still = false)
    {
        const Template &t = sharedTemplate();
        m_oScene.instantiate(t.root());
        for (int i = 0; i < m_oScene.m_oBones.m_iCount; i += BONES) {
            MDL_Animation *player =
                new MDL_Animation(const_cast<MDL_AnimationData *>(&t.m_oTrack), m_oScene.m_oBones[i]);
            player->setDuration(1e9);
            m_oScene.addAnimation(player);
        }
        // Objects in walk order: the root, then per rig the rig, its bones,
        // its skin and its meshes.
        const int perRig = 1 + BONES + 1 + MESHES;
        for (int r = 0; r < RIGS && static_cast<int>(m_apoEdited.size()) < EDITS; r++)
            m_apoEdited.push_back(m_oScene.m_oObjects[1 + r * perRig + (r % 2 == 0 ? 3 : 50)]);
        if (still) {
            for (int i = 0; i < m_oScene.m_oAnimatedMeshes.m_iCount; i++)
                static_cast<MDL_AnimatedMesh *>(m_oScene.m_oAnimatedMeshes[i])->setLocked(true);
            for (int i = 0; i < m_oScene.m_oAnimations.m_iCount; i++)
                m_oScene.m_oAnimations[i]->pause();
        }
        frame(0.0);
    }
    void edit(double x)
    {
        for (MDL_Object *o : m_apoEdited)
            o->editLocalPosition().m_fX = x;
    }
    // The passes of one frame after the scripts' update, in the frame
    // loop's order.
    void frame(double dt)
    {
        m_oScene.updateSkinning();
        m_oScene.advanceAnimations(dt);
        m_oScene.step(0, nullptr);
        m_oScene.purgeDeleted();
    }
};

void BM_FramePasses10000With100Edits(benchmark::State &state)
{
    FrameScene s;
    double x = 0;
    for (auto _ : state) {
        x += 0.001;
        s.edit(x);
        s.frame(0.016);
    }
    state.counters["objects"] = s.m_oScene.m_oObjects.m_iCount;
    state.counters["animated_meshes"] = s.m_oScene.m_oAnimatedMeshes.m_iCount;
    state.counters["bones"] = s.m_oScene.m_oBones.m_iCount;
    state.counters["players"] = s.m_oScene.m_oAnimations.m_iCount;
    int deformed = 0;
    for (int i = 0; i < s.m_oScene.m_oAnimatedMeshes.m_iCount; i++)
        deformed += s.m_oScene.m_oAnimatedMeshes[i]->m_bChanged;
    state.counters["deformed_per_frame"] = deformed;
}
BENCHMARK(BM_FramePasses10000With100Edits)->Unit(benchmark::kMicrosecond);

// The same frame with the skins locked and the players paused.
void BM_FramePasses10000With100EditsStill(benchmark::State &state)
{
    FrameScene s(true);
    double x = 0;
    for (auto _ : state) {
        x += 0.001;
        s.edit(x);
        s.frame(0.016);
    }
}
BENCHMARK(BM_FramePasses10000With100EditsStill)->Unit(benchmark::kMicrosecond);

// The still frame in which one mesh is deleted and another instantiated:
// the purge looks the mesh up in its two lists and moves the entries behind
// it down.
void BM_FrameWithOneDeletionStill(benchmark::State &state)
{
    FrameScene s(true);
    const Template &t = sharedTemplate();
    MDL_Object *meshTemplate = t.m_apoObjects[t.m_apoObjects.size() - 1];
    double x = 0;
    for (auto _ : state) {
        x += 0.001;
        s.edit(x);
        MDL_Scene::deleteObject(s.m_oScene.m_oMeshes[s.m_oScene.m_oMeshes.m_iCount - 1]);
        s.m_oScene.instantiate(meshTemplate);
        s.frame(0.016);
    }
    state.counters["objects"] = s.m_oScene.m_oObjects.m_iCount;
}
BENCHMARK(BM_FrameWithOneDeletionStill)->Unit(benchmark::kMicrosecond);

// The baseline: one walk over every object of the scene that reads and
// clears a flag.
void BM_WalkEveryObjectOnce(benchmark::State &state)
{
    FrameScene s;
    for (auto _ : state) {
        int changed = 0;
        for (int i = 0; i < s.m_oScene.m_oObjects.m_iCount; i++) {
            MDL_Object *o = s.m_oScene.m_oObjects[i];
            changed += o->m_bChanged;
            o->m_bChanged = false;
        }
        benchmark::DoNotOptimize(changed);
    }
}
BENCHMARK(BM_WalkEveryObjectOnce)->Unit(benchmark::kMicrosecond);

} // namespace
