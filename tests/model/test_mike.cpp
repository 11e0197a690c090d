// Microphones: the listener's defaults, its copy and its base reader.
#include <gtest/gtest.h>
#include <tinyxml.h>

#include "model/MDL_Mike.h"

TEST(MdlMike, DefaultsCopyAndReader)
{
    MDL_Mike mike;
    EXPECT_EQ(mike.getType(), OBJECT_MIKE);
    EXPECT_EQ(mike.m_fGain, 1.0);
    EXPECT_TRUE(mike.m_bOn);
    EXPECT_EQ(mike.getName(), nullptr);

    TiXmlDocument xml;
    xml.Parse("<object type=\"Mike\" name=\"ear\"><matrix>1 0 0 0 0 1 0 0 0 0 1 0 2 0 0 1</matrix></object>");
    EXPECT_TRUE(mike.loadFromXML(xml.RootElement()));
    EXPECT_STREQ(mike.getName(), "ear");
    EXPECT_EQ(mike.getGlobalPosition().m_fX, 2.0);
    mike.m_fGain = 0.25;
    mike.m_bOn = false;
    MDL_Mike copy(mike);
    EXPECT_EQ(copy.getType(), OBJECT_MIKE);
    EXPECT_STREQ(copy.getName(), "ear");
    EXPECT_EQ(copy.m_fGain, 0.25);
    EXPECT_FALSE(copy.m_bOn);
    EXPECT_EQ(copy.getGlobalPosition().m_fX, 2.0);
}
