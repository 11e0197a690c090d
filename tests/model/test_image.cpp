// Images: their proportions from the material's first textured layer, hit
// tests in their own coordinates, and their own material.
#include <gtest/gtest.h>

#include <cmath>

#include "model/MDL_Image.h"
#include "model/MDL_Material.h"
#include "model/MDL_Scene.h"
#include "model/MDL_Texture.h"

namespace {

TEST(Image, ProportionsComeFromTheFirstTexturedLayer)
{
    MDL_Texture texture;
    texture.m_iWidth = 200;
    texture.m_iHeight = 100;
    MDL_Material material;
    material.addLayer(nullptr);
    material.addLayer(&texture);
    MDL_Image image;
    EXPECT_EQ(OBJECT_IMAGE, image.getType());
    image.setMaterial(&material);
    EXPECT_DOUBLE_EQ(0.5, image.getAspectRatio());
    EXPECT_FALSE(image.hitTest(MTH_Vector2D(0.5, 0.6)));
    EXPECT_TRUE(image.hitTest(MTH_Vector2D(0.5, 0.4)));
    texture.m_iWidth = 0;
    EXPECT_DOUBLE_EQ(1, image.getAspectRatio());
    image.setMaterial(nullptr);
}

TEST(Image, WithoutAMaterialItIsSquare)
{
    MDL_Image image;
    EXPECT_DOUBLE_EQ(1, image.getAspectRatio());
    const struct {
        double u, v;
        bool hit;
    } cases[] = {{1, 1, true},        {0, 0, true},      {1.01, 0.5, false},
                 {0.5, -0.01, false}, {NAN, 0.5, false}, {0.5, NAN, false}};
    for (const auto &c : cases)
        EXPECT_EQ(c.hit, image.hitTest(MTH_Vector2D(c.u, c.v))) << c.u << ", " << c.v;
}

TEST(Image, OwnMaterialIsACopyAndGoesWithTheImage)
{
    MDL_Material shared;
    shared.m_oDiffuse = MTH_Vector4D(0, 1, 0, 1);
    MDL_Scene scene;
    MDL_Image *image = new MDL_Image();
    scene.addObject(image);
    image->setMaterial(&shared);
    EXPECT_FALSE(image->ownsMaterial());
    MDL_Material *own = image->makeOwnMaterial();
    EXPECT_NE(&shared, own);
    EXPECT_EQ(own, image->makeOwnMaterial());
    EXPECT_TRUE(image->ownsMaterial());
    EXPECT_EQ(1, own->m_oDiffuse.m_fY);
    own->m_oDiffuse.m_fY = 0;
    EXPECT_EQ(1, shared.m_oDiffuse.m_fY);
    // The scene deletes the image, and the image its own material (the
    // leak checker sees to that).
    MDL_Scene::deleteObject(image);
    scene.purgeDeleted();
    EXPECT_EQ(0, scene.m_oOverlays.m_iCount);
}

} // namespace
