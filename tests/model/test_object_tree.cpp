#include <cmath>
#include <vector>

#include <gtest/gtest.h>

#include "model/MDL_Object.h"
#include "tests/support/TEST_Support.h"

namespace {

const double PI = 3.14159265358979323846;

std::vector<MDL_Object *> children(const MDL_Object &parent)
{
    std::vector<MDL_Object *> list;
    for (MDL_Object *c = parent.getFirstChild(); c != nullptr; c = c->getNextSibling())
        list.push_back(c);
    return list;
}

TEST(MdlObjectTree, AddChildAppendsAndKeepsScenePlacement)
{
    MDL_Object parent, first, second;
    parent.editGlobalPosition() = MTH_Vector3D(10, 0, 0);
    parent.editGlobalBasis().rotate(MTH_Vector3D(0, 0, 1), PI / 2);
    second.editGlobalPosition() = MTH_Vector3D(10, 5, 0);
    second.m_bChanged = false;

    ASSERT_TRUE(parent.addChild(&first));
    ASSERT_TRUE(parent.addChild(&second));
    EXPECT_EQ((std::vector<MDL_Object *>{&first, &second}), children(parent));
    EXPECT_EQ(&parent, second.getParent());
    EXPECT_TRUE(second.m_bChanged);
    EXPECT_TRUE(second.m_bGlobalValid);
    EXPECT_FALSE(second.m_bLocalValid);

    expectNear(MTH_Vector3D(10, 5, 0), second.getGlobalPosition());
    // Relative to the parent (turned a quarter about z), 5 along the scene's
    // y is 5 along the parent's x.
    expectNear(MTH_Vector3D(5, 0, 0), second.getLocalPosition());
    MTH_Matrix3x3 undone = second.getLocalBasis();
    undone.multiply(parent.getGlobalBasis());
    MTH_Matrix3x3 identity;
    identity.setIdentity();
    expectNear(identity, undone);
}

TEST(MdlObjectTree, MovingAParentKeepsChildLocalFrames)
{
    MDL_Object parent, child, grandchild;
    parent.addChild(&child);
    child.addChild(&grandchild);
    child.editLocalPosition() = MTH_Vector3D(1, 0, 0);
    grandchild.editLocalPosition() = MTH_Vector3D(0, 2, 0);
    expectNear(MTH_Vector3D(1, 2, 0), grandchild.getGlobalPosition());
    child.m_bChanged = grandchild.m_bChanged = false;

    parent.editGlobalPosition() = MTH_Vector3D(0, 0, 7);
    EXPECT_TRUE(child.m_bChanged);
    EXPECT_TRUE(grandchild.m_bChanged);
    EXPECT_FALSE(grandchild.m_bGlobalValid);
    expectNear(MTH_Vector3D(1, 0, 0), child.getLocalPosition());
    expectNear(MTH_Vector3D(1, 2, 7), grandchild.getGlobalPosition());

    parent.editGlobalBasis().rotate(MTH_Vector3D(0, 0, 1), PI);
    expectNear(MTH_Vector3D(0, 2, 0), grandchild.getLocalPosition());
    expectNear(MTH_Vector3D(-1, -2, 7), grandchild.getGlobalPosition());
}

TEST(MdlObjectTree, EditingAGlobalFrameKeepsTheSubtreeFollowing)
{
    MDL_Object parent, child, grandchild;
    parent.editLocalPosition() = MTH_Vector3D(1, 1, 1);
    parent.addChild(&child);
    child.addChild(&grandchild);
    grandchild.editLocalPosition() = MTH_Vector3D(0, 0, 1);
    // The child is placed in the scene; its local frame comes out relative
    // to the parent, and the grandchild goes with it.
    child.editGlobalPosition() = MTH_Vector3D(5, 5, 5);
    EXPECT_FALSE(child.m_bLocalValid);
    expectNear(MTH_Vector3D(4, 4, 4), child.getLocalPosition());
    expectNear(MTH_Vector3D(5, 5, 6), grandchild.getGlobalPosition());
    expectNear(MTH_Vector3D(0, 0, 1), grandchild.getLocalPosition());
}

TEST(MdlObjectTree, SetParentKeepsTheLocalFrame)
{
    MDL_Object oldParent, newParent, o;
    oldParent.editGlobalPosition() = MTH_Vector3D(1, 0, 0);
    newParent.editGlobalPosition() = MTH_Vector3D(0, 3, 0);
    oldParent.addChild(&o);
    o.editGlobalPosition() = MTH_Vector3D(2, 0, 0); // local (1, 0, 0)

    ASSERT_TRUE(o.setParent(&newParent));
    EXPECT_EQ(&newParent, o.getParent());
    EXPECT_TRUE(children(oldParent).empty()); // it leaves the old child list...
    EXPECT_TRUE(children(newParent).empty()); // ...and joins none
    expectNear(MTH_Vector3D(1, 0, 0), o.getLocalPosition());
    expectNear(MTH_Vector3D(1, 3, 0), o.getGlobalPosition());

    ASSERT_TRUE(o.setParent(nullptr));
    expectNear(MTH_Vector3D(1, 0, 0), o.getGlobalPosition());

    MDL_Scene *scene = reinterpret_cast<MDL_Scene *>(&oldParent); // only stored
    o.setScene(scene);
    EXPECT_EQ(scene, o.getScene());
    expectNear(MTH_Vector3D(1, 0, 0), o.getGlobalPosition());
}

TEST(MdlObjectTree, InsertFirstChildListsInReverseOrder)
{
    MDL_Object parent, a, b;
    parent.editGlobalPosition() = MTH_Vector3D(0, 0, 1);
    a.editLocalPosition() = MTH_Vector3D(1, 0, 0); // read as relative to the parent
    ASSERT_TRUE(parent.insertFirstChild(&a));
    ASSERT_TRUE(parent.insertFirstChild(&b));
    EXPECT_EQ((std::vector<MDL_Object *>{&b, &a}), children(parent));
    EXPECT_EQ(&parent, a.getParent());
    expectNear(MTH_Vector3D(1, 0, 1), a.getGlobalPosition());
    // Re-inserting a listed child moves it to the head without doubling it.
    ASSERT_TRUE(parent.insertFirstChild(&a));
    EXPECT_EQ((std::vector<MDL_Object *>{&a, &b}), children(parent));
}

TEST(MdlObjectTree, AddChildTakesTheChildOutOfItsFormerList)
{
    MDL_Object oldParent, newParent, x, y, z;
    oldParent.addChild(&x);
    oldParent.addChild(&y);
    oldParent.addChild(&z);
    ASSERT_TRUE(newParent.addChild(&y));
    EXPECT_EQ((std::vector<MDL_Object *>{&x, &z}), children(oldParent));
    EXPECT_EQ((std::vector<MDL_Object *>{&y}), children(newParent));
    ASSERT_TRUE(newParent.addChild(&y)); // already there: still listed once
    EXPECT_EQ((std::vector<MDL_Object *>{&y}), children(newParent));

    EXPECT_TRUE(oldParent.removeChild(&x));
    EXPECT_FALSE(oldParent.removeChild(&x));
    EXPECT_EQ((std::vector<MDL_Object *>{&z}), children(oldParent));
    EXPECT_EQ(&oldParent, x.getParent()); // removal keeps the parent pointer
    EXPECT_EQ(nullptr, x.getNextSibling());
    z.unlinkFromParent();
    EXPECT_TRUE(children(oldParent).empty());
}

TEST(MdlObjectTree, NoObjectBecomesItsOwnAncestor)
{
    MDL_Object root, mid, leaf, other;
    root.addChild(&mid);
    mid.addChild(&leaf);
    other.addChild(&root); // other -> root -> mid -> leaf

    EXPECT_FALSE(root.addChild(&root));
    EXPECT_FALSE(leaf.addChild(&root));
    EXPECT_FALSE(leaf.addChild(&other));
    EXPECT_FALSE(mid.insertFirstChild(&root));
    EXPECT_FALSE(leaf.insertFirstChild(&leaf));
    EXPECT_FALSE(root.setParent(&root));
    EXPECT_FALSE(root.setParent(&leaf));
    EXPECT_FALSE(other.setParent(&mid));
    EXPECT_FALSE(root.addChild(nullptr));
    EXPECT_FALSE(root.canAdopt(&other));
    EXPECT_TRUE(root.canAdopt(&leaf)); // a descendant may move up

    // Nothing changed.
    EXPECT_EQ(&other, root.getParent());
    EXPECT_EQ(nullptr, other.getParent());
    EXPECT_EQ((std::vector<MDL_Object *>{&root}), children(other));
    EXPECT_EQ((std::vector<MDL_Object *>{&leaf}), children(mid));
    EXPECT_TRUE(children(leaf).empty());

    EXPECT_TRUE(leaf.isDescendantOf(&other));
    EXPECT_TRUE(leaf.isDescendantOf(&mid));
    EXPECT_FALSE(leaf.isDescendantOf(&leaf));
    EXPECT_FALSE(other.isDescendantOf(&leaf));
    EXPECT_FALSE(leaf.isDescendantOf(nullptr));
}

TEST(MdlObjectTree, AddChildRefusesAChildListedElsewhere)
{
    // A child whose sibling link belongs to a list that is not its parent's
    // would splice that list into this one.
    MDL_Object foreign, stray, tail, parent;
    foreign.insertFirstChild(&tail);
    foreign.insertFirstChild(&stray); // foreign: stray, tail
    stray.m_poParent = nullptr;       // the parent link lost by outside code
    EXPECT_FALSE(parent.addChild(&stray));
    EXPECT_TRUE(children(parent).empty());
    EXPECT_EQ(&tail, stray.getNextSibling());
}

TEST(MdlObjectTree, GetDescendantPrefersDirectChildren)
{
    MDL_Object root, first, deep, second, unnamed;
    root.addChild(&first);
    root.addChild(&second);
    first.addChild(&unnamed);
    unnamed.addChild(&deep);
    deep.setName("Target");
    second.setName("target");
    first.setName("First");

    EXPECT_EQ(&second, root.getDescendant("TARGET")); // the direct child wins over a deeper, earlier one
    EXPECT_EQ(&deep, first.getDescendant("target"));
    EXPECT_EQ(&first, root.getDescendant("first"));
    EXPECT_EQ(nullptr, root.getDescendant("missing"));
    EXPECT_EQ(nullptr, root.getDescendant(nullptr));
    EXPECT_EQ(nullptr, deep.getDescendant("target")); // not itself

    // Depth first through earlier children before later ones.
    MDL_Object r, c1, c2, g1, g2;
    r.addChild(&c1);
    r.addChild(&c2);
    c1.addChild(&g1);
    c2.addChild(&g2);
    MDL_Object gg;
    g1.addChild(&gg);
    gg.setName("n");
    g2.setName("n");
    EXPECT_EQ(&gg, r.getDescendant("n"));
}

TEST(MdlObjectTree, DeepChainNeedsNoRecursion)
{
    // Linked field by field, as a loader links what it reads, each object
    // one step along x from its parent. (Linking through addChild checks the
    // whole ancestry every time; that is covered below on a shorter chain.)
    const int depth = 100000;
    std::vector<MDL_Object> chain(depth);
    for (int i = 1; i < depth; i++) {
        chain[i - 1].m_poFirstChild = &chain[i];
        chain[i].m_poParent = &chain[i - 1];
        chain[i].m_oLocalFrame.m_oPosition = MTH_Vector3D(1, 0, 0);
        chain[i].m_bGlobalValid = false;
    }
    chain[depth - 1].setName("bottom");
    MDL_Object &top = chain[0];
    MDL_Object &bottom = chain[depth - 1];

    EXPECT_DOUBLE_EQ(depth - 1, bottom.getGlobalPosition().m_fX);
    top.editGlobalPosition() = MTH_Vector3D(0, 0, 5); // invalidates the whole chain
    EXPECT_FALSE(bottom.m_bGlobalValid);
    expectNear(MTH_Vector3D(depth - 1, 0, 5), bottom.getGlobalPosition(), 1e-6);
    // A global edit at the bottom re-expresses it through the whole chain.
    bottom.editGlobalPosition() = MTH_Vector3D(0, 0, 0);
    expectNear(MTH_Vector3D(2 - depth, 0, -5), bottom.getLocalPosition(), 1e-6);

    top.setState(STATE_ALL, SCOPE_RECURSE);
    EXPECT_EQ(STATE_ALL, bottom.getState());
    EXPECT_EQ(&bottom, top.getDescendant("BOTTOM"));
    EXPECT_TRUE(bottom.isDescendantOf(&top));
    EXPECT_FALSE(bottom.addChild(&top));
    EXPECT_FALSE(top.setParent(&bottom));

    // Put the top under a moved root: everything follows.
    MDL_Object root;
    root.editGlobalPosition() = MTH_Vector3D(0, 1, 0);
    ASSERT_TRUE(top.setParent(&root));
    expectNear(MTH_Vector3D(0, 1, 0), bottom.getGlobalPosition(), 1e-6);
    ASSERT_TRUE(root.addChild(&top));
    root.editGlobalPosition() = MTH_Vector3D(0, 2, 0);
    expectNear(MTH_Vector3D(0, 2, 0), bottom.getGlobalPosition(), 1e-6);
}

TEST(MdlObjectTree, ChainBuiltThroughAddChild)
{
    const int depth = 3000;
    std::vector<MDL_Object> chain(depth);
    for (int i = 1; i < depth; i++) {
        ASSERT_TRUE(chain[i - 1].addChild(&chain[i]));
        chain[i].editLocalPosition() = MTH_Vector3D(0, 1, 0);
    }
    chain[0].editLocalPosition() = MTH_Vector3D(0, 0, 1);
    expectNear(MTH_Vector3D(0, depth - 1, 1), chain[depth - 1].getGlobalPosition(), 1e-9);
    EXPECT_FALSE(chain[depth - 1].addChild(&chain[0]));
    EXPECT_FALSE(chain[depth / 2].addChild(&chain[1]));
}

} // namespace
