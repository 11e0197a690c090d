#include <cfloat>
#include <cstring>

#include <gtest/gtest.h>

#include "model/MDL_Object.h"
#include "foundation/UTIL_ProxyHandle.h"

namespace {

TEST(MdlObject, NewObjectDefaults)
{
    MDL_Object o;
    EXPECT_EQ(OBJECT_NONE, o.getType());
    EXPECT_EQ(nullptr, o.getName());
    EXPECT_EQ(STATE_VISIBLE, o.getState());
    EXPECT_EQ(DBL_MAX, o.m_fMaxMouseMove);
    EXPECT_TRUE(o.m_bChanged);
    EXPECT_FALSE(o.m_bDeleted);
    EXPECT_TRUE(o.m_bGlobalValid);
    EXPECT_TRUE(o.m_bLocalValid);
    EXPECT_EQ(nullptr, o.m_oProxyHandle.m_poProxy);
    EXPECT_EQ(nullptr, o.getParent());
    EXPECT_EQ(nullptr, o.getScene());
    for (MTH_Frame *f : {&o.getGlobalFrame(), &o.getLocalFrame()}) {
        EXPECT_EQ(MTH_Vector3D(), f->m_oPosition);
        for (int r = 0; r < 3; r++)
            for (int c = 0; c < 3; c++)
                EXPECT_EQ(r == c ? 1 : 0, f->m_oBasis.get(r, c));
    }
    EXPECT_FALSE(o.hitTest(MTH_Vector2D(0, 0)));
    EXPECT_TRUE(o.isValid());
    MTH_Vector3D min(1, 1, 1), max(2, 2, 2);
    o.getBoundingBox(min, max);
    EXPECT_EQ(MTH_Vector3D(), min);
    EXPECT_EQ(MTH_Vector3D(), max);
}

TEST(MdlObject, TypeFromName)
{
    const struct {
        const char *name;
        int code;
    } cases[] = {
        {"None", 0},     {"none", 0},    {"Unknown", 0},   {"", 0},      {nullptr, 0},     {"Lamp", 1},
        {"CAMERA", 2},   {"mesh", 3},    {"RigidBody", 4}, {"Sound", 5}, {"Bone", 6},      {"animatedmesh", 7},
        {"Text", 8},     {"RtfText", 9}, {"Image", 10},    {"Mike", 11}, {"Polyline", 12}, {"CollisionVolume", 13},
        {"Locator", 14}, {"Mesh ", 0},
    };
    for (const auto &c : cases)
        EXPECT_EQ(c.code, MDL_Object::typeFromName(c.name)) << (c.name ? c.name : "(null)");
}

TEST(MdlObject, NamesAreOwnedCopies)
{
    char buffer[] = "Cube";
    MDL_Object o;
    o.setName(buffer);
    buffer[0] = 'X';
    EXPECT_STREQ("Cube", o.getName());
    o.setName(o.getName()); // renaming to its own name is safe
    EXPECT_STREQ("Cube", o.getName());
    o.setName(nullptr);
    EXPECT_EQ(nullptr, o.getName());
}

// Builds root -> a -> a1, root -> b.
struct SmallTree {
    MDL_Object root, a, a1, b;
    SmallTree()
    {
        root.addChild(&a);
        root.addChild(&b);
        a.addChild(&a1);
    }
};

TEST(MdlObject, StateOperationsAndScope)
{
    SmallTree t;
    t.root.setState(STATE_ACTIVE | STATE_MOVABLE, SCOPE_RECURSE);
    for (MDL_Object *o : {&t.root, &t.a, &t.a1, &t.b})
        EXPECT_EQ(STATE_ACTIVE | STATE_MOVABLE, o->getState());

    t.a.enableState(STATE_BACKGROUND, SCOPE_OBJECT);
    EXPECT_EQ(STATE_ACTIVE | STATE_MOVABLE | STATE_BACKGROUND, t.a.getState());
    EXPECT_EQ(STATE_ACTIVE | STATE_MOVABLE, t.a1.getState());

    t.root.disableState(STATE_MOVABLE, SCOPE_RECURSE);
    EXPECT_EQ(STATE_ACTIVE, t.a1.getState());
    EXPECT_EQ(STATE_ACTIVE | STATE_BACKGROUND, t.a.getState());

    t.root.toggleState(STATE_ACTIVE | STATE_VISIBLE, SCOPE_RECURSE);
    EXPECT_EQ(STATE_VISIBLE, t.a1.getState());
    EXPECT_EQ(STATE_VISIBLE | STATE_BACKGROUND, t.a.getState());

    t.root.setState(STATE_ALL, 7); // any scope but SCOPE_RECURSE: the object alone
    EXPECT_EQ(STATE_ALL, t.root.getState());
    EXPECT_EQ(STATE_VISIBLE, t.b.getState());

    t.a.setMaxMouseMove(0.5, SCOPE_RECURSE);
    EXPECT_EQ(0.5, t.a1.m_fMaxMouseMove);
    EXPECT_EQ(DBL_MAX, t.root.m_fMaxMouseMove);
    t.root.setMaxMouseMove(2, SCOPE_OBJECT);
    EXPECT_EQ(2, t.root.m_fMaxMouseMove);
    EXPECT_EQ(DBL_MAX, t.b.m_fMaxMouseMove);
}

TEST(MdlObject, CopyTakesPlacementAndStateButNoLinks)
{
    SmallTree t;
    t.a.setName("Arm");
    t.a.m_iType = OBJECT_LOCATOR;
    t.a.setState(STATE_ACTIVE, SCOPE_OBJECT);
    t.a.setMaxMouseMove(3, SCOPE_OBJECT);
    t.a.editLocalPosition() = MTH_Vector3D(1, 2, 3);
    t.a.m_bDeleted = true;
    UTIL_Proxy *proxy = new UTIL_Proxy(&t.a);
    t.a.m_oProxyHandle.bind(proxy);

    MDL_Object copy(t.a);
    EXPECT_EQ(OBJECT_LOCATOR, copy.getType());
    EXPECT_STREQ("Arm", copy.getName());
    EXPECT_NE(t.a.getName(), copy.getName());
    EXPECT_EQ(STATE_ACTIVE, copy.getState());
    EXPECT_EQ(3, copy.m_fMaxMouseMove);
    EXPECT_TRUE(copy.m_bChanged);
    EXPECT_FALSE(copy.m_bDeleted);
    EXPECT_EQ(nullptr, copy.m_oProxyHandle.m_poProxy);
    EXPECT_EQ(nullptr, copy.getParent());
    EXPECT_EQ(nullptr, copy.getFirstChild());
    EXPECT_EQ(nullptr, copy.getNextSibling());
    EXPECT_EQ(t.a.m_bGlobalValid, copy.m_bGlobalValid);
    EXPECT_EQ(t.a.m_bLocalValid, copy.m_bLocalValid);
    EXPECT_EQ(MTH_Vector3D(1, 2, 3), copy.getLocalPosition());
}

TEST(MdlObject, DestroyingReleasesTheProxy)
{
    UTIL_Proxy *proxy = new UTIL_Proxy();
    proxy->m_iRefCount = 1; // held by a script
    {
        MDL_Object o;
        proxy->m_poObject = &o;
        o.m_oProxyHandle.bind(proxy);
        EXPECT_EQ(2, proxy->m_iRefCount);
    }
    EXPECT_EQ(nullptr, proxy->m_poObject);
    EXPECT_EQ(1, proxy->m_iRefCount);
    delete proxy;
}

} // namespace
