#include <gtest/gtest.h>

#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <strings.h>
#include <string>
#include <vector>

#include "model/MDL_AnimatedMesh.h"
#include "model/MDL_AnimationData.h"
#include "model/MDL_Bone.h"
#include "model/MDL_CollisionVolume.h"
#include "model/MDL_Material.h"
#include "model/MDL_Mesh.h"
#include "model/MDL_MeshData.h"
#include "model/MDL_ModelsSet.h"
#include "model/MDL_ModelsSetIndex.h"
#include "model/MDL_Texture.h"
#include "model/MDL_VertexGroup.h"
#include "tests/support/TEST_Log.h"
#include "tests/support/TEST_ModelsSetWriter.h"

namespace {

TEST_ObjectRecord object(const std::string &type, const std::string &name, const std::string &parent = "")
{
    TEST_ObjectRecord o;
    o.m_sType = type;
    o.m_sName = name;
    o.m_sParent = parent;
    return o;
}

// A 4 x 4 matrix: identity basis, translation (x, y, z).
std::vector<double> translation(double x, double y, double z)
{
    return {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, x, y, z, 1};
}

std::string matrixText(const std::vector<double> &m)
{
    std::string out;
    for (double v : m)
        out += (out.empty() ? "" : " ") + std::to_string(v);
    return out;
}

int listCount(const MDL_ModelsSet &set)
{
    return set.m_oObjects.m_iCount + set.m_oMaterials.m_iCount + set.m_oTextures.m_iCount + set.m_oMeshData.m_iCount +
           set.m_oAnimationData.m_iCount + set.m_oVertexGroups.m_iCount;
}

// The names of object's children, in list order.
std::string childNames(const MDL_Object *object)
{
    std::string out;
    for (const MDL_Object *c = object->getFirstChild(); c != nullptr; c = c->getNextSibling())
        out += (out.empty() ? "" : " ") + std::string(c->getName() != nullptr ? c->getName() : "?");
    return out;
}

std::string parentName(const MDL_Object *object)
{
    const MDL_Object *p = object->getParent();
    return p == nullptr ? "-" : (p->getName() != nullptr ? p->getName() : "?");
}

// Every object of the set is listed exactly in its parent's child list, and
// no parent chain loops.
void expectSoundTree(const MDL_ModelsSet &set)
{
    for (int i = 0; i < set.m_oObjects.m_iCount; i++) {
        const MDL_Object *o = set.m_oObjects[i];
        int steps = 0;
        for (const MDL_Object *p = o->getParent(); p != nullptr; p = p->getParent())
            ASSERT_LE(++steps, set.m_oObjects.m_iCount) << "parent chain loops";
        if (o->getParent() != nullptr) {
            int listed = 0;
            for (const MDL_Object *c = o->getParent()->getFirstChild(); c != nullptr; c = c->getNextSibling())
                listed += c == o;
            EXPECT_EQ(listed, 1);
        }
        for (const MDL_Object *c = o->getFirstChild(); c != nullptr; c = c->getNextSibling())
            EXPECT_EQ(c->getParent(), o);
    }
}

} // namespace

TEST(ModelsSet, LoadFailsOnlyForTextThatDoesNotParse)
{
    struct Case {
        const char *what;
        std::string text;
        bool loads;
        int objects;
    };
    const Case cases[] = {
        {"an empty objects element", "<objects/>", true, 0},
        {"several containers side by side", "<textures/><objects><object type=\"None\" name=\"a\"/></objects>", true,
         1},
        {"a wrapped file gives an empty set", "<set><objects><object name=\"a\"/></objects></set>", true, 0},
        {"only the first objects container counts",
         "<objects><object name=\"a\"/></objects><objects><object name=\"b\"/></objects>", true, 1},
        {"empty text", "", false, 0},
        {"white space only", " \n ", false, 0},
        {"no markup", "hello", false, 0},
        {"unterminated element", "<objects><object name=\"a\"/>", false, 0},
        {"mismatched end tag", "<objects><object name=\"a\"></objekt></objects>", false, 0},
        {"nested too deep", "", false, 0}, // text made below
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        std::string text = c.text;
        if (std::string(c.what) == "nested too deep") {
            text.clear();
            for (int i = 0; i <= MDL_ModelsSet::MAX_NESTING; i++)
                text += "<objects>";
        }
        TEST_LogCapture log;
        MDL_ModelsSet set;
        set.setName("set.xml");
        EXPECT_EQ(set.load(text.c_str()), c.loads);
        EXPECT_EQ(set.m_oObjects.m_iCount, c.objects);
        if (!c.loads) {
            EXPECT_EQ(listCount(set), 0);
            if (!text.empty()) {
                EXPECT_TRUE(log.contains("set.xml")) << log.joined();
            }
        }
    }
    MDL_ModelsSet set;
    EXPECT_FALSE(set.load(nullptr));
}

TEST(ModelsSet, PassesReadEveryKindAndLinkMeshesAndMaterials)
{
    TEST_ModelsSetWriter w = TEST_ModelsSetWriter::sample();
    w.addVertexGroup("group", {0, 1}, {1, 1});
    w.addAnimation("walk", {{0, {}, {}, {1, 1, 1}}, {1, {1, 0, 0}, {}, {1, 1, 1}}});
    TEST_ObjectRecord odd = object("Mesh", "odd");
    odd.m_sMesh = "SPHERE";     // case does not matter
    odd.m_sMaterial = "nobody"; // names nothing: no material
    w.addObject(odd);
    MDL_ModelsSet set;
    ASSERT_TRUE(set.load(w.text().c_str()));

    ASSERT_EQ(set.m_oTextures.m_iCount, 1);
    ASSERT_EQ(set.m_oMaterials.m_iCount, 2);
    ASSERT_EQ(set.m_oMeshData.m_iCount, 3);
    ASSERT_EQ(set.m_oVertexGroups.m_iCount, 1);
    ASSERT_EQ(set.m_oAnimationData.m_iCount, 1);
    ASSERT_EQ(set.m_oObjects.m_iCount, 4);
    EXPECT_EQ(set.getMaterial("red")->getLayerTexture(0), set.m_oTextures[0]);
    EXPECT_EQ(set.getAnimationData("WALK")->getKeyCount(), 2);
    EXPECT_EQ(set.getVertexGroup("Group")->getNumEntries(), 2);
    const char *meshes[] = {"cube", "sphere", "plane"};
    for (int i = 0; i < 3; i++) {
        MDL_Object *o = set.m_oObjects[i];
        ASSERT_EQ(o->getType(), OBJECT_MESH);
        MDL_Mesh *mesh = static_cast<MDL_Mesh *>(o);
        EXPECT_EQ(mesh->getMeshData(), set.getMeshData(meshes[i]));
        EXPECT_EQ(mesh->getMaterial(), set.getMaterial("red"));
        EXPECT_FALSE(mesh->ownsMaterial());
    }
    MDL_Mesh *oddMesh = static_cast<MDL_Mesh *>(set.getObject("odd"));
    EXPECT_EQ(oddMesh->getMeshData(), set.getMeshData("sphere"));
    EXPECT_EQ(oddMesh->getMaterial(), nullptr);
}

TEST(ModelsSet, MaterialLayersTakeTheFirstTextureOfEachName)
{
    const unsigned char pixel[4] = {1, 2, 3, 4};
    std::vector<unsigned char> png = TEST_pngImage(1, 1, false, pixel);
    TEST_ModelsSetWriter w;
    w.addTexture("a", png).addTexture("B", png).addTexture("A", png);
    w.addMaterial(TEST_MaterialRecord("m").texture("b").texture("a").texture("missing").texture("").texture("A"));
    MDL_ModelsSet set;
    ASSERT_TRUE(set.load(w.text().c_str()));
    MDL_Material *m = set.m_oMaterials[0];
    ASSERT_EQ(m->getLayerCount(), 5);
    EXPECT_EQ(m->getLayerTexture(0), set.m_oTextures[1]);
    EXPECT_EQ(m->getLayerTexture(1), set.m_oTextures[0]);
    EXPECT_EQ(m->getLayerTexture(2), nullptr);
    EXPECT_EQ(m->getLayerTexture(3), nullptr);
    EXPECT_EQ(m->getLayerTexture(4), set.m_oTextures[0]);
}

TEST(ModelsSet, ParentsListChildrenInReverseDocumentOrder)
{
    TEST_ModelsSetWriter w;
    TEST_ObjectRecord p = object("None", "P");
    p.m_afMatrix = translation(0, 5, 0);
    TEST_ObjectRecord a = object("Mesh", "A", "P");
    a.m_afMatrix = translation(1, 0, 0);
    w.addObject(a).addObject(object("Lamp", "B", "p")).addObject(p);
    MDL_ModelsSet set;
    ASSERT_TRUE(set.load(w.text().c_str()));
    MDL_Object *parent = set.getObject("P");
    ASSERT_NE(parent, nullptr);
    EXPECT_EQ(childNames(parent), "B A");
    // The matrix read is relative to the parent.
    MTH_Vector3D g = set.getObject("A")->getGlobalPosition();
    EXPECT_DOUBLE_EQ(g.m_fX, 1);
    EXPECT_DOUBLE_EQ(g.m_fY, 5);
    expectSoundTree(set);
}

TEST(ModelsSet, BadLinksLinkNothingAndNeverLoop)
{
    struct Case {
        const char *what;
        std::vector<TEST_ObjectRecord> records;
        const char *parents; // parent of each object in list order ("-" for a root)
    };
    TEST_ObjectRecord emptyParent = object("None", "E");
    emptyParent.m_sExtra = "<parent/>";
    TEST_ObjectRecord twoParents = object("None", "T", "A");
    twoParents.m_sExtra = "<parent>B</parent>";
    const Case cases[] = {
        {"itself as parent", {object("None", "A", "a")}, "-"},
        {"two-object cycle: the closing link is refused", {object("None", "A", "B"), object("None", "B", "A")}, "B -"},
        {"three-object cycle", {object("None", "A", "B"), object("None", "B", "C"), object("None", "C", "A")}, "B C -"},
        {"a parent that is a descendant",
         {object("None", "A"), object("None", "B", "A"), object("None", "C", "B"), object("Mesh", "A2", "C")},
         "- A B C"},
        {"a name that matches nothing", {object("None", "A", "nobody")}, "-"},
        {"an empty parent element", {emptyParent}, "-"},
        {"the first parent element counts", {object("None", "A"), object("None", "B"), twoParents}, "- - A"},
        {"duplicate names: the first object wins",
         {object("Mesh", "P"), object("Camera", "p"), object("None", "C", "P")},
         "- - P"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        TEST_ModelsSetWriter w;
        for (const TEST_ObjectRecord &r : c.records)
            w.addObject(r);
        MDL_ModelsSet set;
        ASSERT_TRUE(set.load(w.text().c_str()));
        std::string parents;
        for (int i = 0; i < set.m_oObjects.m_iCount; i++)
            parents += (parents.empty() ? "" : " ") + parentName(set.m_oObjects[i]);
        EXPECT_EQ(parents, c.parents);
        expectSoundTree(set);
    }
    // The duplicate case: the child went to the first "P", a mesh.
    TEST_ModelsSetWriter w;
    w.addObject(object("Mesh", "P")).addObject(object("Camera", "p")).addObject(object("None", "C", "P"));
    MDL_ModelsSet set;
    ASSERT_TRUE(set.load(w.text().c_str()));
    EXPECT_EQ(set.m_oObjects[2]->getParent(), set.m_oObjects[0]);
    EXPECT_EQ(set.getObject("P"), set.m_oObjects[0]);
}

// The tree is joined in one pass; it must be the tree that linking record by
// record with insertFirstChild gives: same parents, same child order, same
// placements, the same links refused.
TEST(ModelsSet, JoinedTreeMatchesLinkingRecordByRecord)
{
    uint32_t state = 99;
    auto next = [&state](uint32_t range) {
        state = state * 1664525u + 1013904223u;
        return (state >> 8) % range;
    };
    for (int round = 0; round < 300; round++) {
        const int n = 1 + round % 25;
        std::vector<std::string> names, parents;
        for (int i = 0; i < n; i++) {
            // Some duplicate names, in other letter cases.
            names.push_back(next(5) == 0 && i > 0 ? names[next(static_cast<uint32_t>(i))] + ""
                                                  : "o" + std::to_string(i));
            if (next(4) == 0)
                for (char &ch : names.back())
                    ch = static_cast<char>(toupper(ch));
        }
        for (int i = 0; i < n; i++) {
            uint32_t pick = next(static_cast<uint32_t>(n + 2));
            parents.push_back(pick < static_cast<uint32_t>(n) ? names[pick]
                                                              : (pick == static_cast<uint32_t>(n) ? "" : "nobody"));
        }
        TEST_ModelsSetWriter w;
        std::vector<std::unique_ptr<MDL_Object>> reference;
        for (int i = 0; i < n; i++) {
            TEST_ObjectRecord o = object("None", names[i], parents[i]);
            o.m_afMatrix = translation(i, 1, 0);
            w.addObject(o);
            reference.emplace_back(new MDL_Object);
            reference.back()->setName(names[i].c_str());
            reference.back()->editLocalPosition() = MTH_Vector3D(i, 1, 0);
        }
        for (int i = 0; i < n; i++) {
            MDL_Object *p = nullptr;
            for (int k = 0; k < n && p == nullptr && !parents[i].empty(); k++)
                if (strcasecmp(names[k].c_str(), parents[i].c_str()) == 0)
                    p = reference[k].get();
            if (p != nullptr)
                p->insertFirstChild(reference[i].get());
        }
        MDL_ModelsSet set;
        ASSERT_TRUE(set.load(w.text().c_str()));
        ASSERT_EQ(set.m_oObjects.m_iCount, n);
        auto indexOf = [n](MDL_Object *o, auto list) {
            for (int k = 0; k < n; k++)
                if (list(k) == o)
                    return k;
            return -1;
        };
        auto inSet = [&set](int k) { return set.m_oObjects[k]; };
        auto inReference = [&reference](int k) { return reference[static_cast<size_t>(k)].get(); };
        for (int i = 0; i < n; i++) {
            SCOPED_TRACE("round " + std::to_string(round) + ", object " + std::to_string(i));
            MDL_Object *a = set.m_oObjects[i];
            MDL_Object *b = reference[static_cast<size_t>(i)].get();
            EXPECT_EQ(indexOf(a->getParent(), inSet), indexOf(b->getParent(), inReference));
            EXPECT_EQ(indexOf(a->getFirstChild(), inSet), indexOf(b->getFirstChild(), inReference));
            EXPECT_EQ(indexOf(a->getNextSibling(), inSet), indexOf(b->getNextSibling(), inReference));
            const MTH_Vector3D &ga = a->getGlobalPosition();
            const MTH_Vector3D &gb = b->getGlobalPosition();
            EXPECT_NEAR(ga.m_fX, gb.m_fX, 1e-9);
            EXPECT_NEAR(ga.m_fY, gb.m_fY, 1e-9);
        }
        expectSoundTree(set);
    }
}

TEST(ModelsSet, ObjectKindsByTypeName)
{
    struct Case {
        const char *type; // null: no type attribute
        const char *extra;
        int made; // -1: no object made
    };
    const Case cases[] = {
        {"None", "", OBJECT_NONE},
        {nullptr, "", OBJECT_NONE},
        {"Gizmo", "", OBJECT_NONE},
        {"lamp", "", OBJECT_LAMP}, // the lamp reader fails without "type"; the lamp is kept
        {"Camera", "", OBJECT_CAMERA},
        {"MESH", "", OBJECT_MESH},
        {"Sound", "", OBJECT_SOUND},
        {"Bone", "", OBJECT_BONE},
        {"AnimatedMesh", "", OBJECT_ANIMATED_MESH},
        {"CollisionVolume", "<volume_type>Box</volume_type>", OBJECT_COLLISION_VOLUME},
        {"RigidBody", "", -1},
        {"Text", "", -1},
        {"RtfText", "", -1},
        {"Image", "", -1},
        {"Mike", "", -1},
        {"Polyline", "", -1},
        {"Locator", "", OBJECT_LOCATOR},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.type != nullptr ? c.type : "no type");
        // The record X sits between a parent and a child that link to each
        // other: a record that makes nothing does not disturb them.
        std::string x = "<object name=\"X\"";
        if (c.type != nullptr)
            x += " type=\"" + std::string(c.type) + "\"";
        x += ">" + std::string(c.extra) + "<parent>before</parent></object>";
        TEST_ModelsSetWriter w;
        w.addObject(object("None", "before")).addRecord("objects", x).addObject(object("Mesh", "after", "before"));
        MDL_ModelsSet set;
        TEST_LogCapture log;
        ASSERT_TRUE(set.load(w.text().c_str()));
        MDL_Object *made = set.getObject("X");
        if (c.made < 0) {
            EXPECT_EQ(made, nullptr);
            EXPECT_EQ(set.m_oObjects.m_iCount, 2);
            EXPECT_EQ(childNames(set.getObject("before")), "after");
        } else {
            ASSERT_NE(made, nullptr);
            EXPECT_EQ(made->getType(), c.made);
            EXPECT_EQ(childNames(set.getObject("before")), "after X");
        }
    }
}

// The stop is reported once, naming the set, the record (by its name, or by
// its number among the object records when it has none) and the cause.
TEST(ModelsSet, AnUnknownVolumeShapeEndsTheObjectsPass)
{
    struct Case {
        const char *volume; // the "volume_type" child, raw
        const char *name;   // of the volume record
        const char *objects;
        int shape;
        const char *diagnostic; // null: nothing is said
    };
    const Case cases[] = {
        {"<volume_type>sphere</volume_type>", "V", "A B V C", MDL_CollisionVolume::SHAPE_SPHERE, nullptr},
        {"<volume_type>CYLINDER</volume_type>", "V", "A B V C", MDL_CollisionVolume::SHAPE_CYLINDER, nullptr},
        {"<volume_type>cube</volume_type>", "crate-volume", "A B", 0,
         "models.xml: object \"crate-volume\": unknown volume_type \"cube\"; this record and the 2 after it are "
         "not read"},
        {"<volume_type/>", "V", "A B", 0,
         "models.xml: object \"V\": unknown volume_type \"\"; this record and the 2 after it are not read"},
        {"", "", "A B", 0, "models.xml: object 3: no volume_type; this record and the 2 after it are not read"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.volume);
        TEST_ObjectRecord v = object("CollisionVolume", c.name, "A");
        v.m_sExtra = c.volume;
        TEST_ModelsSetWriter w;
        w.addObject(object("Mesh", "A")).addObject(object("None", "B", "A")).addObject(v);
        w.addObject(object("None", "C", "B")).addObject(object("RigidBody", "R"));
        TEST_LogCapture log;
        MDL_ModelsSet set;
        set.setName("models.xml");
        ASSERT_TRUE(set.load(w.text().c_str()));
        std::string names;
        for (int i = 0; i < set.m_oObjects.m_iCount; i++)
            names += (names.empty() ? "" : " ") + std::string(set.m_oObjects[i]->getName());
        EXPECT_EQ(names, c.objects);
        // The objects made before the stop are still linked.
        EXPECT_EQ(set.getObject("B")->getParent(), set.getObject("A"));
        if (c.shape != 0) {
            auto *volume = static_cast<MDL_CollisionVolume *>(set.getObject("V"));
            ASSERT_NE(volume, nullptr);
            EXPECT_EQ(volume->m_iShape, c.shape);
            EXPECT_EQ(volume->getParent(), set.getObject("A"));
        }
        if (c.diagnostic == nullptr) {
            EXPECT_TRUE(log.m_asLines.empty()) << log.joined();
        } else {
            ASSERT_EQ(log.m_asLines.size(), 1u) << log.joined();
            EXPECT_EQ(log.m_asLines[0], c.diagnostic);
        }
    }
}

// The diagnostics of damaged arrays name the set they were read from.
TEST(ModelsSet, ArrayDiagnosticsNameTheSet)
{
    struct Case {
        const char *container;
        const char *record;
        const char *diagnostic;
    };
    const Case cases[] = {
        {"meshes", "<mesh name=\"m\"><vertices count=\"2\" size=\"8\">00</vertices></mesh>",
         "rooms/models.xml: Mesh m: \"vertices\": array shorter than its count; the mesh is left empty"},
        {"animated_meshes", "<animated_mesh name=\"g\"><vertices count=\"-1\" size=\"4\"/></animated_mesh>",
         "rooms/models.xml: Vertex group g: \"vertices\""},
        {"textures", "<texture name=\"t\" size=\"10\">0102</texture>",
         "rooms/models.xml: Texture t: size 10 but 2 bytes of data"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.container);
        TEST_ModelsSetWriter w;
        w.addRecord(c.container, c.record);
        TEST_LogCapture log;
        MDL_ModelsSet set;
        set.setName("rooms/models.xml");
        ASSERT_TRUE(set.load(w.text().c_str()));
        ASSERT_EQ(log.m_asLines.size(), 1u) << log.joined();
        EXPECT_EQ(log.m_asLines[0].rfind(c.diagnostic, 0), 0u) << log.joined();
    }
}

TEST(ModelsSet, LookupsCompareWithoutCaseAndTakeTheFirstMatch)
{
    TEST_ModelsSetWriter w;
    w.addAnimation("Walk", {}).addAnimation("WALK", {});
    w.addObject(object("Mesh", "Door")).addObject(object("Mesh", "door")).addObject(object("Mesh", "Knob", "Door"));
    w.addRecord("objects", "<object type=\"Mesh\"/>"); // unnamed, no parent
    w.addObject(object("Lamp", "Sun"));
    MDL_ModelsSet set;
    ASSERT_TRUE(set.load(w.text().c_str()));
    ASSERT_EQ(set.m_oObjects.m_iCount, 5);
    EXPECT_EQ(set.getObject("DOOR"), set.m_oObjects[0]);
    EXPECT_EQ(set.getObject("knob"), set.m_oObjects[2]);
    EXPECT_EQ(set.getObject("Doors"), nullptr);
    EXPECT_EQ(set.getObject(""), nullptr); // unnamed objects never match
    EXPECT_EQ(set.getObject(nullptr), nullptr);
    EXPECT_EQ(set.getAnimationData("walk"), set.m_oAnimationData[0]);
    EXPECT_EQ(set.getAnimationData("run"), nullptr);

    int count = -1;
    char **names = set.getNames(OBJECT_MESH, count);
    ASSERT_EQ(count, 3); // Knob has a parent
    EXPECT_STREQ(names[0], "Door");
    EXPECT_STREQ(names[1], "door");
    EXPECT_EQ(names[2], nullptr);
    MDL_ModelsSet::freeNames(names, count);
    names = set.getNames(OBJECT_CAMERA, count);
    EXPECT_EQ(names, nullptr);
    EXPECT_EQ(count, 0);
}

TEST(ModelsSet, SkinsAreBoundInTheRestPoseWithNormalisedWeights)
{
    TEST_MeshShape quad;
    quad.m_sName = "quad";
    quad.m_aoPositions = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {1, 1, 0}};
    quad.m_aoNormals.assign(4, MTH_Vector3D(0, 0, 1));
    quad.m_aiTriangles = {0, 1, 2, 2, 1, 3};
    TEST_ModelsSetWriter w;
    w.addMesh(quad);
    w.addVertexGroup("g1", {0, 1, 2}, {1, 1, 0.5});
    w.addVertexGroup("g2", {2, 3}, {0.5, 2});
    w.addVertexGroup("g3", {0}, {0});
    // Current poses differ from the rest poses ("original_matrix").
    TEST_ObjectRecord b1 = object("Bone", "B1");
    b1.m_afMatrix = translation(0, 2, 0);
    b1.m_sExtra = "<original_matrix>" + matrixText(translation(1, 0, 0)) + "</original_matrix>";
    TEST_ObjectRecord b2 = object("Bone", "B2", "B1");
    b2.m_afMatrix = translation(0, 0, 3);
    b2.m_sExtra = "<original_matrix>" + matrixText(translation(0, 1, 0)) + "</original_matrix>";
    TEST_ObjectRecord skin = object("AnimatedMesh", "skin");
    skin.m_sMesh = "quad";
    skin.m_aBindings = {{"g1", "b1"}, {"G2", "B2"}, {"nogroup", "B2"}, {"g3", "skin"}};
    w.addObject(skin).addObject(b1).addObject(b2);
    MDL_ModelsSet set;
    ASSERT_TRUE(set.load(w.text().c_str()));

    MDL_AnimatedMesh *mesh = static_cast<MDL_AnimatedMesh *>(set.getObject("skin"));
    MDL_Object *bone1 = set.getObject("B1");
    MDL_Object *bone2 = set.getObject("B2");
    MDL_VertexGroup *g1 = set.getVertexGroup("g1");
    MDL_VertexGroup *g2 = set.getVertexGroup("g2");
    ASSERT_EQ(mesh->getBindingCount(), 4);
    EXPECT_EQ(mesh->getGroup(0), g1);
    EXPECT_EQ(mesh->getBone(0), bone1);
    EXPECT_EQ(mesh->getGroup(1), g2);
    EXPECT_EQ(mesh->getBone(1), bone2);
    EXPECT_EQ(mesh->getGroup(2), nullptr); // no such group
    EXPECT_EQ(mesh->getBone(2), bone2);
    EXPECT_EQ(mesh->getGroup(3), set.getVertexGroup("g3"));
    EXPECT_EQ(mesh->getBone(3), nullptr); // "skin" is no bone

    // Rest data: the vertices in the bones' rest coordinates (B1 at (1, 0,
    // 0), B2 one up from it).
    ASSERT_TRUE(g1->hasRestData());
    ASSERT_TRUE(g2->hasRestData());
    const MTH_Vector3D rest1[] = {{-1, 0, 0}, {0, 0, 0}, {-1, 1, 0}};
    const MTH_Vector3D rest2[] = {{-1, 0, 0}, {0, 0, 0}};
    for (int k = 0; k < 3; k++) {
        EXPECT_NEAR(g1->m_poRestPositions[k].m_fX, rest1[k].m_fX, 1e-12);
        EXPECT_NEAR(g1->m_poRestPositions[k].m_fY, rest1[k].m_fY, 1e-12);
        EXPECT_NEAR(g1->m_poRestNormals[k].m_fZ, 1, 1e-12);
    }
    for (int k = 0; k < 2; k++) {
        EXPECT_NEAR(g2->m_poRestPositions[k].m_fX, rest2[k].m_fX, 1e-12);
        EXPECT_NEAR(g2->m_poRestPositions[k].m_fY, rest2[k].m_fY, 1e-12);
    }
    // Each vertex's weights add up to 1.
    for (int a = 0; a < 4; a++)
        EXPECT_NEAR(g1->weightOfVertex(a) + g2->weightOfVertex(a), 1, 1e-12) << "vertex " << a;
    EXPECT_NEAR(g1->weightOfVertex(2), 0.5, 1e-12);

    // The bones are back in their current pose, the rest pose kept aside.
    EXPECT_DOUBLE_EQ(bone1->getLocalPosition().m_fY, 2);
    EXPECT_DOUBLE_EQ(bone2->getLocalPosition().m_fZ, 3);
    EXPECT_DOUBLE_EQ(static_cast<MDL_Bone *>(bone1)->getRestFrame().m_oPosition.m_fX, 1);
    EXPECT_EQ(childNames(bone1), "B2");
}

TEST(ModelsSet, NameIndexKeepsTheFirstOfEqualNames)
{
    std::vector<std::string> names;
    for (int i = 0; i < 3000; i++)
        names.push_back("object" + std::to_string(i));
    names.push_back("OBJECT7");
    MDL_NameIndex index;
    for (size_t i = 0; i < names.size(); i++)
        index.add(names[i].c_str(), static_cast<int>(i));
    index.add(nullptr, 5);
    EXPECT_EQ(index.getCount(), 3000);
    for (int i = 0; i < 3000; i += 7)
        EXPECT_EQ(index.find(names[static_cast<size_t>(i)].c_str()), i);
    EXPECT_EQ(index.find("Object7"), 7);
    EXPECT_EQ(index.find("object3000"), -1);
    EXPECT_EQ(index.find(nullptr), -1);
    MDL_NameIndex empty;
    EXPECT_EQ(empty.find("a"), -1);
}
