#include <memory>
#include <vector>

#include <gtest/gtest.h>

#include <tinyxml.h>

#include "model/MDL_Object.h"
#include "tests/support/TEST_Support.h"

namespace {

class MdlObjectXml : public ::testing::Test {
protected:
    // Each text gets a document of its own, alive until the test ends.
    const TiXmlElement *parse(const char *text)
    {
        m_aoDocuments.emplace_back(new TiXmlDocument());
        TiXmlDocument &document = *m_aoDocuments.back();
        document.Parse(text);
        EXPECT_FALSE(document.Error()) << document.ErrorDesc();
        return document.RootElement();
    }
    std::vector<std::unique_ptr<TiXmlDocument>> m_aoDocuments;
};

TEST_F(MdlObjectXml, ReadsNameAndMatrix)
{
    const TiXmlElement *e = parse("<object name=\"Lid\" type=\"Mesh\">"
                                  "<matrix>0 1 0 0, -1 0 0 0\t0 0 2 0\n4 5 6 1</matrix></object>");
    MDL_Object o;
    o.m_bChanged = false;
    ASSERT_TRUE(o.loadFromXML(e));
    EXPECT_STREQ("Lid", o.getName());
    EXPECT_TRUE(o.m_bChanged);
    EXPECT_FALSE(o.m_bGlobalValid);
    const MTH_Frame &local = o.getLocalFrame();
    EXPECT_EQ(MTH_Vector3D(4, 5, 6), local.m_oPosition);
    EXPECT_EQ(MTH_Vector3D(0, 1, 0), local.m_oBasis.getRow(0));
    EXPECT_EQ(MTH_Vector3D(-1, 0, 0), local.m_oBasis.getRow(1));
    EXPECT_EQ(MTH_Vector3D(0, 0, 2), local.m_oBasis.getRow(2));
    expectNear(MTH_Vector3D(4, 6, 6), o.getGlobalPosition() + o.getGlobalBasis().getRow(0));
}

TEST_F(MdlObjectXml, WithoutMatrixOnlyTheNameIsRead)
{
    MDL_Object o;
    o.setName("Old");
    o.editLocalPosition() = MTH_Vector3D(1, 2, 3);
    ASSERT_TRUE(o.loadFromXML(parse("<object type=\"None\"/>")));
    EXPECT_EQ(nullptr, o.getName()); // an absent name clears the old one
    EXPECT_EQ(MTH_Vector3D(1, 2, 3), o.getLocalPosition());
    EXPECT_FALSE(o.loadFromXML(nullptr));
}

TEST_F(MdlObjectXml, ShortOrEmptyMatrixReadsMissingNumbersAsZero)
{
    MDL_Object o;
    ASSERT_TRUE(o.loadFromXML(parse("<object><matrix>1 0 0 0 0 1</matrix></object>")));
    const MTH_Frame &local = o.getLocalFrame();
    EXPECT_EQ(MTH_Vector3D(1, 0, 0), local.m_oBasis.getRow(0));
    EXPECT_EQ(MTH_Vector3D(0, 1, 0), local.m_oBasis.getRow(1));
    EXPECT_EQ(MTH_Vector3D(0, 0, 0), local.m_oBasis.getRow(2));
    EXPECT_EQ(MTH_Vector3D(), local.m_oPosition);
    // The flat basis still inverts without dividing by zero.
    MTH_Vector3D p(1, 1, 1);
    o.getGlobalFrame().toLocalPoint(p);
    EXPECT_EQ(MTH_Vector3D(1, 1, 1), p);

    MDL_Object empty;
    ASSERT_TRUE(empty.loadFromXML(parse("<object><matrix/></object>")));
    EXPECT_EQ(MTH_Vector3D(), empty.getLocalBasis().getRow(0));
}

TEST_F(MdlObjectXml, ChildrenKeepLocalFramesAndMoveWithTheMatrix)
{
    MDL_Object parent, child;
    parent.addChild(&child);
    child.editLocalPosition() = MTH_Vector3D(1, 0, 0);
    ASSERT_TRUE(parent.loadFromXML(parse("<object name=\"P\"><matrix>"
                                         "0 1 0 0 -1 0 0 0 0 0 1 0 10 0 0 1</matrix></object>")));
    expectNear(MTH_Vector3D(1, 0, 0), child.getLocalPosition());
    expectNear(MTH_Vector3D(10, 1, 0), child.getGlobalPosition());
}

} // namespace
