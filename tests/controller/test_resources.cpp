#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "controller/CTRL_Generic.h"
#include "model/MDL_AnimatedMesh.h"
#include "model/MDL_Animation.h"
#include "model/MDL_AnimationData.h"
#include "model/MDL_Camera.h"
#include "model/MDL_Font.h"
#include "model/MDL_Image.h"
#include "model/MDL_Lamp.h"
#include "model/MDL_Material.h"
#include "model/MDL_Mesh.h"
#include "model/MDL_ModelsSet.h"
#include "model/MDL_Polyline.h"
#include "model/MDL_Sample.h"
#include "model/MDL_Scene.h"
#include "model/MDL_Sound.h"
#include "model/MDL_Stream.h"
#include "model/MDL_Text.h"
#include "model/MDL_Texture.h"
#include "model/MDL_Viewport.h"
#include "tests/support/TEST_Document.h"
#include "tests/support/TEST_Log.h"
#include "tests/support/TEST_ModelsSetWriter.h"

namespace {

std::vector<unsigned char> mediaFile(const std::string &name)
{
    std::ifstream in(std::string(VEKTA_TEST_DATA_DIR) + "/media/" + name, std::ios::binary);
    return std::vector<unsigned char>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::vector<unsigned char> png()
{
    const unsigned char pixel[4] = {200, 100, 50, 255};
    return TEST_pngImage(2, 2, false, pixel);
}

// A controller over a document of the given members.
class Player {
public:
    explicit Player(const TEST_DocumentBuilder &builder) : m_oController(nullptr, CTRL_PLATFORM_LINUX)
    {
        std::vector<unsigned char> bytes = builder.build();
        EXPECT_TRUE(m_oController.openDocumentBytes("/docs/doc.vk", bytes.data(), bytes.size()));
    }
    CTRL_Generic m_oController;
};

TEST_ObjectRecord object(const std::string &type, const std::string &name, const std::string &parent = "")
{
    TEST_ObjectRecord o;
    o.m_sType = type;
    o.m_sName = name;
    o.m_sParent = parent;
    return o;
}

// A set with every kind of shared data: mesh data, a textured material, a
// skin with its groups and bones, an animation, a camera.
std::string richSet()
{
    TEST_ModelsSetWriter w = TEST_ModelsSetWriter::sample(); // "cube", "sphere", "plane"; "red" shows "checker"
    TEST_MeshShape quad = TEST_planeShape("quad");
    w.addMesh(quad);
    w.addVertexGroup("g", {0, 1, 2, 3}, {1, 1, 1, 1});
    w.addAnimation("walk", {{0, {}, {}, {1, 1, 1}}, {2, {0, 3, 0}, {}, {1, 1, 1}}});
    TEST_ObjectRecord skin = object("AnimatedMesh", "skin");
    skin.m_sMesh = "quad";
    skin.m_sMaterial = "red";
    skin.m_aBindings = {{"g", "bone"}};
    w.addObject(skin).addObject(object("Bone", "bone", "skin")).addObject(object("Camera", "cam"));
    return w.text();
}

} // namespace

TEST(Resources, AddsLoadMembersAndRefuseMissingOnes)
{
    for (bool stored : {false, true}) {
        SCOPED_TRACE(stored ? "stored members" : "compressed members");
        TEST_DocumentBuilder b;
        b.store(stored);
        b.add("set.xml", TEST_ModelsSetWriter::sample().text()).add("broken.xml", std::string("<objects>\n"));
        b.add("tex.png", png()).add("junk.ttf", std::string("not a font")).add("empty.ttf", std::string());
        b.add("tone.ogg", mediaFile("sine-22050-mono.ogg"));
        Player p(b);
        CTRL_Generic &c = p.m_oController;
        TEST_LogCapture log;

        MDL_ModelsSet *set = c.addModelsSet("set.xml");
        ASSERT_NE(set, nullptr);
        EXPECT_STREQ(set->getName(), "set.xml");
        EXPECT_NE(set->getObject("cube"), nullptr);
        EXPECT_EQ(c.addModelsSet("missing.xml"), nullptr);
        EXPECT_EQ(c.addModelsSet("broken.xml"), nullptr); // does not parse: not kept
        EXPECT_TRUE(log.contains("broken.xml")) << log.joined();
        ASSERT_EQ(c.m_oModelsSets.m_iCount, 1);
        EXPECT_EQ(c.m_oModelsSets[0], set);

        MDL_Texture *texture = c.addTexture("tex.png");
        ASSERT_NE(texture, nullptr);
        EXPECT_EQ(texture->m_iWidth, 2);
        EXPECT_EQ(texture->m_bOwnsData, !stored);
        EXPECT_EQ(c.addTexture("missing.png"), nullptr);
        EXPECT_EQ(c.m_oTextures.m_iCount, 1);

        MDL_Font *junk = c.addFont("junk.ttf"); // kept, without a face
        ASSERT_NE(junk, nullptr);
        EXPECT_FALSE(junk->isValid());
        EXPECT_EQ(c.addFont("empty.ttf"), nullptr);
        EXPECT_EQ(c.addFont("missing.ttf"), nullptr);
        EXPECT_EQ(c.m_oFonts.m_iCount, 1);

        MDL_Sample *sample = c.addSample("tone.ogg");
        ASSERT_NE(sample, nullptr);
        EXPECT_EQ(sample->getSampleRate(), 22050);
        EXPECT_EQ(c.addSample("missing.ogg"), nullptr);
        EXPECT_EQ(c.m_oSamples.m_iCount, 1);

        EXPECT_NE(c.addStream("missing.ogv"), nullptr); // kept, without pictures
        EXPECT_EQ(c.m_oStreams.m_iCount, 1);
        EXPECT_FALSE(c.m_bHalted);
    }
}

TEST(Resources, RemovesKeepTheOrderAndIgnoreWhatIsNotListed)
{
    CTRL_Generic c(nullptr, CTRL_PLATFORM_LINUX);
    MDL_Viewport *v[3];
    for (int i = 0; i < 3; i++)
        v[i] = c.addViewport(MTH_Vector2D(0.1 * i, 0), MTH_Vector2D(0.5, 0.5));
    EXPECT_EQ(c.m_poCurrentViewport, v[2]);
    EXPECT_TRUE(c.removeViewport(v[0]));
    ASSERT_EQ(c.m_oViewports.m_iCount, 2);
    EXPECT_EQ(c.m_oViewports[0], v[1]);
    EXPECT_EQ(c.m_oViewports[1], v[2]);
    EXPECT_EQ(c.m_poCurrentViewport, v[2]);
    EXPECT_TRUE(c.removeViewport(v[2])); // the current one
    EXPECT_EQ(c.m_poCurrentViewport, nullptr);
    MDL_Viewport stranger(MTH_Vector2D(0, 0), MTH_Vector2D(1, 1));
    EXPECT_FALSE(c.removeViewport(&stranger));
    EXPECT_FALSE(c.removeViewport(nullptr));
    EXPECT_EQ(c.m_oViewports.m_iCount, 1);
    EXPECT_TRUE(c.removeViewport(v[1]));
    EXPECT_EQ(c.m_oViewports.m_iCount, 0);

    MDL_ModelsSet set;
    MDL_Sample sample;
    MDL_Texture texture;
    EXPECT_FALSE(c.removeModelsSet(&set));
    EXPECT_FALSE(c.removeSample(&sample));
    EXPECT_FALSE(c.removeTexture(&texture));
    EXPECT_FALSE(c.removeFont(c.m_poDefaultFont)); // the default font is no list element
    EXPECT_NE(c.m_poDefaultFont, nullptr);
    MDL_Scene *scene = c.addScene("world");
    ASSERT_EQ(c.m_oScenes.m_iCount, 1);
    EXPECT_STREQ(scene->getName(), "world");
}

// Removing a models set whose data scene objects still share: every holder
// lets go first, so the scene goes on stepping, skinning, animating and
// picking over freed memory nowhere (the sanitizer build checks it).
TEST(Resources, RemovingAModelsSetInUseLeavesNothingPointingIntoIt)
{
    TEST_DocumentBuilder b;
    b.add("a.xml", richSet()).add("b.xml", TEST_ModelsSetWriter::sample().text());
    Player p(b);
    CTRL_Generic &c = p.m_oController;
    MDL_ModelsSet *a = c.addModelsSet("a.xml");
    MDL_ModelsSet *other = c.addModelsSet("b.xml");
    ASSERT_NE(a, nullptr);
    ASSERT_NE(other, nullptr);
    MDL_Scene *scene = c.addScene("world");

    auto *cube = static_cast<MDL_Mesh *>(scene->instantiate(a->getObject("cube")));
    auto *own = static_cast<MDL_Mesh *>(scene->instantiate(a->getObject("sphere")));
    own->makeOwnMaterial(); // a copy whose layer still shows the set's texture
    auto *skin = static_cast<MDL_AnimatedMesh *>(scene->instantiate(a->getObject("skin")));
    ASSERT_NE(cube, nullptr);
    ASSERT_NE(skin, nullptr);
    ASSERT_EQ(skin->getGroup(0), a->getVertexGroup("g"));
    MDL_Object *sceneBone = skin->getBone(0);
    ASSERT_NE(sceneBone, nullptr);
    EXPECT_NE(sceneBone, a->getObject("bone"));

    auto *walk = new MDL_Animation(a->getAnimationData("walk"), cube);
    scene->addAnimation(walk);
    MDL_Object *camTemplate = a->getObject("cam");
    auto *onTemplate =
        new MDL_Animation(other->m_oAnimationData.m_iCount > 0 ? other->m_oAnimationData[0] : nullptr, camTemplate);
    scene->addAnimation(onTemplate);

    // Links that scripts can make into a set: a scene object under a
    // template, a template under a scene object, a template camera shown by
    // a viewport, the hover object, another set's material showing its
    // texture.
    camTemplate->editGlobalPosition() = MTH_Vector3D(0, 0, 7);
    auto *under = new MDL_Object;
    scene->addObject(under);
    under->editLocalPosition() = MTH_Vector3D(1, 0, 0);
    ASSERT_TRUE(camTemplate->addChild(under));
    under->editLocalPosition() = MTH_Vector3D(1, 0, 0);
    auto *holder = new MDL_Object;
    scene->addObject(holder);
    ASSERT_TRUE(holder->addChild(a->getObject("plane")));
    MDL_Viewport *viewport = c.addViewport(MTH_Vector2D(0, 0), MTH_Vector2D(1, 0.75));
    viewport->m_poCamera = static_cast<MDL_Camera *>(camTemplate);
    c.m_poHoverObject = a->getObject("cube");
    other->getMaterial("red")->m_oLayers[0].m_poTexture = a->getTexture("checker");

    TEST_LogCapture log;
    EXPECT_TRUE(c.removeModelsSet(a));
    EXPECT_TRUE(log.contains("Models set a.xml deleted while in use")) << log.joined();
    ASSERT_EQ(c.m_oModelsSets.m_iCount, 1);

    EXPECT_EQ(cube->getMeshData(), nullptr);
    EXPECT_EQ(cube->getMaterial(), nullptr);
    ASSERT_TRUE(own->ownsMaterial());
    EXPECT_EQ(own->getMaterial()->getLayerTexture(0), nullptr);
    EXPECT_EQ(own->getMaterial()->getLayerCount(), 1);
    EXPECT_EQ(skin->getGroup(0), nullptr);
    EXPECT_EQ(skin->getBone(0), sceneBone); // the scene's own copy stays
    EXPECT_EQ(walk->getData(), nullptr);
    EXPECT_FALSE(walk->isPlaying());
    EXPECT_EQ(onTemplate->getTarget(), nullptr);
    EXPECT_EQ(under->getParent(), nullptr);
    MTH_Vector3D placed = under->getGlobalPosition(); // where it stood: under the camera
    EXPECT_DOUBLE_EQ(placed.m_fX, 1);
    EXPECT_DOUBLE_EQ(placed.m_fZ, 7);
    EXPECT_EQ(holder->getFirstChild(), nullptr);
    EXPECT_EQ(viewport->m_poCamera, nullptr);
    EXPECT_EQ(c.m_poHoverObject, nullptr);
    EXPECT_EQ(other->getMaterial("red")->getLayerTexture(0), nullptr);

    // The scene runs on.
    auto *lamp = new MDL_Lamp;
    lamp->m_bShadows = true;
    scene->addObject(lamp);
    for (int frame = 0; frame < 3; frame++) {
        sceneBone->editLocalPosition() = MTH_Vector3D(0, 0.1 * frame, 0);
        scene->updateSkinning();
        scene->advanceAnimations(0.5);
        scene->step(0, nullptr);
        scene->drawShadowVolumes(lamp);
        double t = 1;
        int triangle = -1;
        EXPECT_FALSE(cube->pick(MTH_Vector3D(0, 0, 5), MTH_Vector3D(0, 0, -5), t, triangle));
        skin->pick(MTH_Vector3D(0, 0, 5), MTH_Vector3D(0, 0, -5), t, triangle);
    }
    MDL_Scene::deleteObject(skin);
    scene->purgeDeleted();
}

TEST(Resources, RemovingAnUnusedModelsSetSaysNothing)
{
    TEST_DocumentBuilder b;
    b.add("a.xml", richSet());
    Player p(b);
    MDL_ModelsSet *a = p.m_oController.addModelsSet("a.xml");
    ASSERT_NE(a, nullptr);
    MDL_Scene *scene = p.m_oController.addScene("world");
    scene->addObject(new MDL_Mesh);
    TEST_LogCapture log;
    EXPECT_TRUE(p.m_oController.removeModelsSet(a));
    EXPECT_EQ(log.joined(), "");
    EXPECT_EQ(p.m_oController.m_oModelsSets.m_iCount, 0);
}

TEST(Resources, RemovingASampleSilencesTheSoundsThatPlayIt)
{
    TEST_DocumentBuilder b;
    b.add("tone.ogg", mediaFile("sine-22050-mono.ogg"));
    Player p(b);
    CTRL_Generic &c = p.m_oController;
    MDL_Sample *sample = c.addSample("tone.ogg");
    ASSERT_NE(sample, nullptr);
    MDL_Scene *scene = c.addScene("world");
    auto *sound = new MDL_Sound;
    sound->setSample(sample);
    sound->setLooping(true);
    scene->addObject(sound);
    TEST_LogCapture log;
    EXPECT_TRUE(c.removeSample(sample));
    EXPECT_TRUE(log.contains("Sample tone.ogg deleted while 1 sounds played it")) << log.joined();
    EXPECT_EQ(sound->getSample(), nullptr);
    EXPECT_EQ(sound->getValue(0), 0.0f);
    EXPECT_FALSE(sound->advance(512, 44100));
}

TEST(Resources, RemovingAFontGivesItsTextsTheDefaultFont)
{
    TEST_DocumentBuilder b;
    b.add("a.ttf", std::string("font bytes")).add("b.ttf", std::string("more font bytes"));
    Player p(b);
    CTRL_Generic &c = p.m_oController;
    TEST_LogCapture log;
    MDL_Font *a = c.addFont("a.ttf");
    MDL_Font *other = c.addFont("b.ttf");
    ASSERT_NE(a, nullptr);
    MDL_Scene *scene = c.addScene("world");
    auto *user = new MDL_Text;
    auto *bystander = new MDL_Text;
    user->setFont(a);
    user->setText("gone");
    bystander->setFont(other);
    scene->addObject(user);
    scene->addObject(bystander);

    EXPECT_FALSE(CTRL_Generic::setForgetFunction(OBJECT_MESH, nullptr));
    EXPECT_FALSE(CTRL_Generic::setForgetFunction(MDL_TYPE_COUNT, nullptr));
    EXPECT_TRUE(c.removeFont(a));
    EXPECT_EQ(user->getFont(), c.m_poDefaultFont);
    EXPECT_EQ(bystander->getFont(), other);
    // Laid out again with the default font.
    EXPECT_TRUE(user->m_bLayoutDirty);
    EXPECT_EQ(user->getGlyphCount(), 4);
    EXPECT_TRUE(log.contains("Font a.ttf deleted while in use: 1 users took the default font")) << log.joined();
    ASSERT_EQ(c.m_oFonts.m_iCount, 1);
    EXPECT_EQ(c.m_oFonts[0], other);
}

TEST(Resources, PolylinesAndImagesLetGoOfMaterialsAndTexturesThatGo)
{
    TEST_DocumentBuilder b;
    b.add("set.xml", TEST_ModelsSetWriter::sample().text()).add("tex.png", png());
    Player p(b);
    CTRL_Generic &c = p.m_oController;
    MDL_ModelsSet *set = c.addModelsSet("set.xml");
    ASSERT_NE(set, nullptr);
    MDL_Texture *texture = c.addTexture("tex.png");
    ASSERT_NE(texture, nullptr);
    MDL_Scene *scene = c.addScene("world");
    auto *sharing = new MDL_Polyline;
    auto *owning = new MDL_Polyline;
    for (MDL_Polyline *line : {sharing, owning}) {
        line->addPoint(MTH_Vector2D(0, 0));
        line->addPoint(MTH_Vector2D(1, 0));
        line->setClosed(false);
        scene->addObject(line);
    }
    sharing->setMaterial(set->getMaterial("glass"));
    owning->makeOwnMaterial()->addLayer(texture);
    const double texturedU = owning->getStripUVs()[5].m_fX;
    auto *sharingImage = new MDL_Image;
    auto *picture = new MDL_Image;
    scene->addObject(sharingImage);
    scene->addObject(picture);
    sharingImage->setMaterial(set->getMaterial("glass"));
    picture->makeOwnMaterial()->addLayer(texture);

    TEST_LogCapture log;
    EXPECT_TRUE(c.removeTexture(texture));
    EXPECT_EQ(owning->getMaterial()->getLayerTexture(0), nullptr);
    EXPECT_EQ(picture->getMaterial()->getLayerTexture(0), nullptr);
    EXPECT_EQ(picture->getAspectRatio(), 1);
    // The line's texture coordinates follow: u runs at -1 per unit again.
    EXPECT_NE(owning->getStripUVs()[5].m_fX, texturedU);
    EXPECT_TRUE(c.removeModelsSet(set));
    EXPECT_EQ(sharing->getMaterial(), nullptr);
    EXPECT_EQ(sharingImage->getMaterial(), nullptr);
    EXPECT_NE(owning->getMaterial(), nullptr);
    EXPECT_NE(picture->getMaterial(), nullptr);
    EXPECT_TRUE(log.contains("Texture tex.png deleted while in use: 2 users lost it")) << log.joined();
}

TEST(Resources, TexturesAndMovieFramesLeaveTheMaterialsThatShowThem)
{
    TEST_DocumentBuilder b;
    b.add("set.xml", TEST_ModelsSetWriter::sample().text()).add("tex.png", png());
    Player p(b);
    CTRL_Generic &c = p.m_oController;
    MDL_ModelsSet *set = c.addModelsSet("set.xml");
    ASSERT_NE(set, nullptr);
    MDL_Scene *scene = c.addScene("world");
    auto *mesh = static_cast<MDL_Mesh *>(scene->instantiate(set->getObject("cube")));
    MDL_Material *own = mesh->makeOwnMaterial();
    MDL_Material *shared = set->getMaterial("glass");

    // A texture of the list: flagged first, then removed by the frame.
    MDL_Texture *texture = c.addTexture("tex.png");
    ASSERT_NE(texture, nullptr);
    own->addLayer(texture);
    c.releaseTexture(texture);
    EXPECT_TRUE(texture->m_bReleasePending);
    EXPECT_EQ(c.m_oTextures.m_iCount, 1);
    EXPECT_TRUE(c.removeTexture(texture));
    EXPECT_EQ(c.m_oTextures.m_iCount, 0);
    EXPECT_EQ(own->getLayerTexture(1), nullptr);
    EXPECT_EQ(own->getLayerTexture(0), set->getTexture("checker")); // untouched

    // Movie frames: the frame texture goes with its stream, unless handed over.
    TEST_LogCapture log;
    MDL_Stream *movie = c.addStream("missing.ogv");
    MDL_Stream *kept = c.addStream("missing.ogv");
    shared->addLayer(movie->getTexture());
    std::unique_ptr<MDL_Texture> handedOver(kept->releaseTexture());
    own->addLayer(handedOver.get());
    EXPECT_TRUE(c.removeStream(movie));
    EXPECT_EQ(shared->getLayerTexture(0), nullptr);
    EXPECT_TRUE(c.removeStream(kept));
    EXPECT_EQ(own->getLayerTexture(2), handedOver.get());
    own->removeLayer(2);
    EXPECT_EQ(c.m_oStreams.m_iCount, 0);
    EXPECT_TRUE(log.contains("Movie missing.ogv deleted while in use: 1 users lost its frames")) << log.joined();
}
