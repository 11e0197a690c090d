#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "model/MDL_Material.h"
#include "model/MDL_Texture.h"
#include "tests/support/TEST_ModelsSetWriter.h"

namespace {

// Reads a material record with its layers, the way the models set does.
void readMaterial(const TEST_MaterialRecord &record, MDL_Material &m, MDL_Texture *const *textures = nullptr,
                  int count = 0)
{
    TEST_ParsedXml xml(TEST_ModelsSetWriter().addMaterial(record).text());
    ASSERT_TRUE(xml.ok());
    const TiXmlElement *e = xml.record("materials", "material");
    ASSERT_NE(e, nullptr);
    EXPECT_TRUE(m.loadFromXML(e));
    m.readLayers(e, textures, count);
}

void expectColor(const MTH_Vector4D &c, double r, double g, double b, double a)
{
    EXPECT_EQ(c.m_fX, r);
    EXPECT_EQ(c.m_fY, g);
    EXPECT_EQ(c.m_fZ, b);
    EXPECT_EQ(c.m_fW, a);
}

TEST(Material, DefaultsOfANameOnlyRecord)
{
    MDL_Material m;
    readMaterial(TEST_MaterialRecord("plain"), m);
    EXPECT_STREQ(m.getName(), "plain");
    EXPECT_EQ(m.getLayerCount(), 0);
    EXPECT_EQ(m.m_fShininess, 50.0);
    EXPECT_FALSE(m.m_bShadeless);
    EXPECT_TRUE(m.m_bCastShadows);
    EXPECT_FALSE(m.m_bMirror);
    expectColor(m.m_oAmbient, 0.5, 0.5, 0.5, 1.0);
    expectColor(m.m_oDiffuse, 1.0, 1.0, 1.0, 1.0);
    expectColor(m.m_oSpecular, 1.0, 1.0, 1.0, 1.0);
    EXPECT_TRUE(m.isOpaque());
    EXPECT_FALSE(m.isTransparent());
    EXPECT_FALSE(m.isFullyTransparent());
    EXPECT_EQ(m.m_oProxyHandle.getProxy(), nullptr);
}

TEST(Material, ReadsEveryPropertyAndKeepsWhatAShortListMisses)
{
    MDL_Material m;
    readMaterial(TEST_MaterialRecord("all")
                     .child("ambient", "0.1 0.2 0.3")
                     .child("diffuse", "0.4,0.5")
                     .child("specular", "0.7 0.8 0.9 0.25")
                     .child("shininess", "12.5")
                     .child("alpha", "0.75")
                     .child("shadeless", "2")
                     .child("mirror", "1")
                     .child("cast_shadows", "0"),
                 m);
    // The fourth component of the three colours is never read from them.
    expectColor(m.m_oAmbient, 0.1, 0.2, 0.3, 1.0);
    expectColor(m.m_oDiffuse, 0.4, 0.5, 1.0, 0.75);
    expectColor(m.m_oSpecular, 0.7, 0.8, 0.9, 1.0);
    EXPECT_EQ(m.m_fShininess, 12.5);
    EXPECT_TRUE(m.m_bShadeless);
    EXPECT_TRUE(m.m_bMirror);
    EXPECT_FALSE(m.m_bCastShadows);
}

TEST(Material, LayersFollowTextureElementsAndTheColourGoesToTheFirst)
{
    MDL_Texture wood, stone;
    wood.init("Wood", nullptr, 0, false);
    stone.init("stone", nullptr, 0, false);
    MDL_Texture *textures[2] = {&wood, &stone};

    MDL_Material m;
    readMaterial(TEST_MaterialRecord("m")
                     .texture("wood") // case differs: still found
                     .texture("STONE")
                     .texture("missing")
                     .texture("")
                     .color(0.1, 0.2, 0.3, 0.4)
                     .child("color", "0.5 0.6"), // the last wins, setting its leading components
                 m, textures, 2);
    ASSERT_EQ(m.getLayerCount(), 4);
    EXPECT_EQ(m.getLayerTexture(0), &wood);
    EXPECT_EQ(m.getLayerTexture(1), &stone);
    EXPECT_EQ(m.getLayerTexture(2), nullptr);
    EXPECT_EQ(m.getLayerTexture(3), nullptr);
    EXPECT_EQ(m.getLayerTexture(4), nullptr);
    EXPECT_EQ(m.getLayerTexture(-1), nullptr);
    expectColor(m.getLayer(0)->m_oColor, 0.5, 0.6, 0.3, 0.4);
    expectColor(m.getLayer(1)->m_oColor, 1.0, 1.0, 1.0, 1.0);
    // A default layer's transform is the identity.
    const MTH_Frame &f = m.getLayer(1)->m_oTransform;
    EXPECT_EQ(f.m_oPosition, MTH_Vector3D(0, 0, 0));
    for (int r = 0; r < 3; r++)
        for (int c = 0; c < 3; c++)
            EXPECT_EQ(f.m_oBasis.get(r, c), r == c ? 1.0 : 0.0);
}

TEST(Material, ColourWithoutLayersIsIgnored)
{
    MDL_Material m;
    readMaterial(TEST_MaterialRecord("m").color(0, 0, 0, 0), m);
    EXPECT_EQ(m.getLayerCount(), 0);
    EXPECT_TRUE(m.isOpaque());
}

// Which pass a material goes to, by its diffuse alpha, mirror flag and
// layer 0 (alpha and texture).
TEST(Material, PassTests)
{
    enum Tex { NONE, PLAIN, ALPHA, BINARY_ALPHA };
    struct Case {
        const char *what;
        double diffuseAlpha;
        bool mirror;
        int layers;
        double layerAlpha;
        Tex texture;
        bool opaque, transparent, fully;
    };
    const Case cases[] = {
        {"defaults", 1.0, false, 0, 1.0, NONE, true, false, false},
        {"alpha 0.5", 0.5, false, 0, 1.0, NONE, false, true, false},
        {"alpha 0", 0.0, false, 0, 1.0, NONE, false, false, true},
        {"alpha above 1", 1.5, false, 0, 1.0, NONE, true, false, false},
        {"mirror", 1.0, true, 0, 1.0, NONE, false, false, false},
        {"mirror alpha 0.5", 0.5, true, 0, 1.0, NONE, false, false, false},
        {"mirror alpha 0", 0.0, true, 0, 1.0, NONE, false, false, false},
        {"layer without texture", 1.0, false, 1, 1.0, NONE, true, false, false},
        {"layer alpha 0.5", 1.0, false, 1, 0.5, NONE, false, true, false},
        {"layer alpha 0", 1.0, false, 1, 0.0, NONE, false, false, false},
        {"texture without alpha", 1.0, false, 1, 1.0, PLAIN, true, false, false},
        {"texture with alpha", 1.0, false, 1, 1.0, ALPHA, false, true, false},
        {"texture with binary alpha", 1.0, false, 1, 1.0, BINARY_ALPHA, true, false, false},
        {"alpha 0 with an alpha texture", 0.0, false, 1, 1.0, ALPHA, false, true, true},
        {"only layer 0 counts", 1.0, false, 2, 1.0, NONE, true, false, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        MDL_Texture texture;
        texture.m_bHasAlpha = c.texture == ALPHA || c.texture == BINARY_ALPHA;
        texture.m_bBinaryAlpha = c.texture == BINARY_ALPHA;
        MDL_Texture alphaTexture;
        alphaTexture.m_bHasAlpha = true;
        MDL_Material m;
        m.m_oDiffuse.m_fW = c.diffuseAlpha;
        m.m_bMirror = c.mirror;
        for (int i = 0; i < c.layers; i++)
            m.addLayer(i == 0 ? (c.texture == NONE ? nullptr : &texture) : &alphaTexture);
        if (c.layers > 0)
            m.getLayer(0)->m_oColor.m_fW = c.layerAlpha;
        EXPECT_EQ(m.isOpaque(), c.opaque);
        EXPECT_EQ(m.isTransparent(), c.transparent);
        EXPECT_EQ(m.isFullyTransparent(), c.fully);
    }
}

TEST(Material, CopyOwnsItsNameAndLayersAndSharesTextures)
{
    MDL_Texture texture;
    MDL_Material m;
    m.setName("orig");
    m.addLayer(&texture).m_oColor.m_fW = 0.25;
    m.addLayer(nullptr);
    m.m_fShininess = 3;
    m.m_bMirror = true;
    m.m_oSpecular = MTH_Vector4D(0.1, 0.2, 0.3, 0.4);

    MDL_Material copy(m);
    m.setName("changed");
    m.getLayer(0)->m_oColor.m_fW = 1.0;
    m.removeLayer(1);

    EXPECT_STREQ(copy.getName(), "orig");
    ASSERT_EQ(copy.getLayerCount(), 2);
    EXPECT_EQ(copy.getLayerTexture(0), &texture);
    EXPECT_EQ(copy.getLayer(0)->m_oColor.m_fW, 0.25);
    EXPECT_EQ(copy.m_fShininess, 3);
    EXPECT_TRUE(copy.m_bMirror);
    expectColor(copy.m_oSpecular, 0.1, 0.2, 0.3, 0.4);
    EXPECT_EQ(copy.m_oProxyHandle.getProxy(), nullptr);
}

TEST(Material, RemovingLayersKeepsTheOrder)
{
    MDL_Texture a, b, c;
    MDL_Material m;
    m.addLayer(&a);
    m.addLayer(&b);
    m.addLayer(&c);
    EXPECT_FALSE(m.removeLayer(3));
    EXPECT_FALSE(m.removeLayer(-1));
    EXPECT_TRUE(m.removeLayer(0));
    ASSERT_EQ(m.getLayerCount(), 2);
    EXPECT_EQ(m.getLayerTexture(0), &b);
    EXPECT_EQ(m.getLayerTexture(1), &c);
    EXPECT_TRUE(m.removeLayer(1));
    EXPECT_TRUE(m.removeLayer(0));
    EXPECT_EQ(m.getLayerCount(), 0);
    EXPECT_EQ(m.m_oLayers.m_pData, nullptr);
    EXPECT_EQ(m.getLayer(0), nullptr);
}

} // namespace
