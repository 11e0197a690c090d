// The mesh, animated-mesh and material classes through scripts: tables of
// calls with their exact results, then what only the engine side shows
// (material flags, texture transforms, skin deformation).
#include <gtest/gtest.h>

#include <string>

#include "model/MDL_AnimatedMesh.h"
#include "model/MDL_Material.h"
#include "model/MDL_Mesh.h"
#include "model/MDL_Scene.h"
#include "tests/scripting/kinds_test_support.h"
#include "tests/support/TEST_Support.h"

namespace {

// m and m2 are copies of "tri" (material "two", shared); e is a mesh made
// without template (no geometry, no material).
const char *const MESHES = "m = newMesh(scene, set:get('tri')) m:setName('m') "
                           "m2 = newMesh(scene, set:get('tri')) m2:setName('m2') "
                           "e = newMesh(scene) e:setName('e')";

TEST(SurfaceBindings, MeshVerticesCountFromOne)
{
    static const TEST_CallRow rows[] = {
        {"return m:getNumVertices(), e:getNumVertices()", "3,0", nullptr},
        {"return R(m:getVertexPosition(1)), R(m:getVertexPosition(3))", "(0,0,0),(0,1,0)", nullptr},
        {"return select('#', m:getVertexPosition(0)), select('#', m:getVertexPosition(4))", "0,0", nullptr},
        {"return select('#', m:getVertexPosition(-1)), select('#', m:getVertexPosition(0/0)), "
         "select('#', m:getVertexColor(-2147483648)), select('#', m:getVertexPosition(-1e308))",
         "0,0,0,0", nullptr},
        {"return select('#', e:getVertexPosition(1)), select('#', e:getVertexColor(1))", "0,0", nullptr},
        // The mesh data is shared: a copy of the same template shows the edit.
        {"m:setVertexPosition(2, v3(5, 5, 5)) return R(m2:getVertexPosition(2))", "(5,5,5)", nullptr},
        {"m:setVertexPosition(4, v3(5, 5, 5)) m:setVertexPosition(0, v3(5, 5, 5)) "
         "return R(m:getVertexPosition(1)), R(m:getVertexPosition(3))",
         "(0,0,0),(0,1,0)", nullptr},
        {"m:setVertexPosition(2, v3(5, 5, 5)) m:setVertexPosition(2, v3(6, 6, 6)) m:resetVertexPosition() "
         "return R(m:getVertexPosition(2))",
         "(1,0,0)", nullptr},
        {"return R(m:getVertexColor(1)), R(m:getVertexColor(3))", "(1,0,0,1),(0,0,1,1)", nullptr},
        {"return select('#', m:getVertexColor(0)), select('#', m:getVertexColor(4))", "0,0", nullptr},
        {"m:setVertexColor(1, color(0, 1, 1, 0.5)) m:setVertexColor(9, color()) return R(m2:getVertexColor(1))",
         "(0,1,1,0.5)", nullptr},
        {"m:setVertexColor(1, color(0, 1, 1, 0.5)) m:resetVertexColor() return R(m:getVertexColor(1))", "(1,0,0,1)",
         nullptr},
        // An index that is no number is reported; so are extra arguments of
        // the resets, which still run.
        {"return m:getVertexPosition('x')", "", "Invalid type (string) for argument #1, <I> type argument(s) expected"},
        {"m:setVertexPosition(1, v3(1, 1, 1)) m:resetVertexPosition(5) return R(m:getVertexPosition(1))", "(0,0,0)",
         "Too much arguments, <> argument(s) expected"},
        {"m:setVertexPosition(1, 2)", "error: t:1: bad argument #2 to 'setVertexPosition' (v3 expected, got number)",
         nullptr},
    };
    TEST_runCallRows(MESHES, rows);
}

TEST(SurfaceBindings, MeshMaterialIsCopiedBeforeAChange)
{
    static const TEST_CallRow rows[] = {
        {"return R(m:getColor()), select('#', e:getColor())", "(1,1,1,1),0", nullptr},
        {"m:setColor(color(0, 1, 0, 0.5)) return R(m:getColor()), R(m2:getColor())", "(0,1,0,0.5),(1,1,1,1)", nullptr},
        {"e:setColor(color(0, 0, 1, 1)) return R(e:getColor())", "(0,0,1,1)", nullptr},
        {"return m:getMaterial() == m2:getMaterial(), getmetatable(m:getMaterial()) == newMaterial", "true,true",
         nullptr},
        {"return select('#', e:getMaterial())", "0", nullptr},
        // A material proxy taken before the copy stays with the shared one.
        {"local mat = m:getMaterial() m:setOwnMaterial() mat:setDiffuse(color(0, 0, 1, 1)) "
         "return R(m:getColor()), R(m2:getColor()), m:getMaterial() == mat",
         "(1,1,1,1),(0,0,1,1),false", nullptr},
        {"m:setOwnMaterial(1) return m:getMaterial() == m2:getMaterial()", "false",
         "Too much arguments, <> argument(s) expected"},
        // setTexture writes the last layer, getTexture reads the first.
        {"m:setTexture(tex) return m:getTexture() == tex, m:getMaterial():getTexture(1) == tex, "
         "m2:getMaterial():getTexture(1) == tex",
         "false,true,false", nullptr},
        {"e:setTexture(tex) return e:getTexture() == tex, e:getTexture() == e:getTexture()", "true,true", nullptr},
        {"return getmetatable(m:getTexture()) == newTexture, select('#', e:getTexture())", "true,0", nullptr},
        {"m:setTexture(5)", "error: t:1: bad argument #1 to 'setTexture' (newTexture)", nullptr},
        {"m:setTexture()", "error: t:1: bad argument #1 to 'setTexture' (newTexture)", nullptr},
        {"return m:getDisplayMode()", "0", nullptr},
        {"m:setDisplayMode(DISPLAY_MODE_SPRITE) m2:setDisplayMode(7) return m:getDisplayMode(), m2:getDisplayMode()",
         "1,7", nullptr},
        {"m:setColor(1) return R(m:getColor())",
         "error: t:1: bad argument #1 to 'setColor' (color expected, got number)", nullptr},
    };
    TEST_runCallRows(MESHES, rows);
}

TEST(SurfaceBindings, MeshShadowFlagsGoToItsOwnMaterial)
{
    KindsFixture f;
    ASSERT_EQ(f.run(MESHES), "");
    ASSERT_EQ(f.run("m:setCastShadow(false) m:setReceiveShadow(false) e:setReceiveShadow(true)"), "");
    MDL_Mesh *m = dynamic_cast<MDL_Mesh *>(f.object("m"));
    MDL_Mesh *m2 = dynamic_cast<MDL_Mesh *>(f.object("m2"));
    MDL_Mesh *e = dynamic_cast<MDL_Mesh *>(f.object("e"));
    ASSERT_TRUE(m != nullptr && m2 != nullptr && e != nullptr);
    ASSERT_TRUE(m->ownsMaterial());
    EXPECT_FALSE(m->getMaterial()->m_bCastShadows);
    EXPECT_TRUE(m->getMaterial()->m_bShadeless);
    EXPECT_TRUE(m2->getMaterial()->m_bCastShadows);
    EXPECT_FALSE(m2->getMaterial()->m_bShadeless);
    ASSERT_NE(e->getMaterial(), nullptr);
    EXPECT_FALSE(e->getMaterial()->m_bShadeless);
    ASSERT_EQ(f.run("m:setReceiveShadow(true) m:setVertexColor(2, color(1, 1, 1, 0.5))"), "");
    EXPECT_FALSE(m->getMaterial()->m_bShadeless);
    EXPECT_TRUE(m->isTransparent()); // through the shared data, m2 too
    EXPECT_TRUE(m2->isTransparent());
    EXPECT_FALSE(f.reported()) << f.log();
}

// A gone mesh, and an object of another class, are refused without a
// report.
TEST(SurfaceBindings, GoneMeshesAndOtherClassesAreRefused)
{
    static const TEST_CallRow rows[] = {
        {"m:delete() m:setColor(color()) m:setTexture(tex) m:setVertexPosition(1, v3()) "
         "return select('#', m:getNumVertices()) + select('#', m:getMaterial()) + "
         "select('#', m:getVertexPosition(1)) + select('#', m:getColor()), R(m2:getVertexPosition(1))",
         "0,(0,0,0)", nullptr},
        {"return select(2, pcall(newMesh.getNumVertices, newObject(scene)))",
         "bad argument #1 to 'newMesh.getNumVertices' (newMesh)", nullptr},
        {"return select(2, pcall(newMesh.getColor, newAnimatedMesh(scene)))",
         "bad argument #1 to 'newMesh.getColor' (newMesh)", nullptr},
        {"newMesh(scene, set:get('skin'))", "error: t:1: bad argument #2 to 'newMesh' (newMesh)", nullptr},
    };
    TEST_runCallRows(MESHES, rows);
}

// a is a copy of "skin" with its bones root and arm; b a new animated mesh.
const char *const SKINS = "a = newAnimatedMesh(scene, set:get('skin')) a:setName('a') "
                          "root = a:getChild('root') arm = root:getChild() b = newAnimatedMesh(scene)";

TEST(SurfaceBindings, AnimatedMeshRows)
{
    static const TEST_CallRow rows[] = {
        {"return a:getType(), getmetatable(a) == newAnimatedMesh, getmetatable(arm) == newBone, arm:getName()",
         "7,true,true,arm", nullptr},
        {"return newAnimatedMesh.getVertexPosition, newAnimatedMesh.getNumVertices", "nil,nil", nullptr},
        {"return R(a:getColor()), a:getDisplayMode(), getmetatable(a:getTexture()) == newTexture", "(1,0,0,1),0,true",
         nullptr},
        {"a:setColor(color(0, 1, 0, 1)) a:setDisplayMode(1) b:setTexture(tex) "
         "return R(a:getColor()), a:getDisplayMode(), b:getTexture() == tex",
         "(0,1,0,1),1,true", nullptr},
        {"b:update() b:setLocked(true) b:update() return b:exist()", "true", nullptr},
        {"a:setLocked(1)", "", "Invalid type (number) for argument #1, <B> type argument(s) expected"},
        {"a:delete() a:update() a:setLocked(true) return a:exist()", "false", nullptr},
        {"newAnimatedMesh(scene, set:get('tri'))", "error: t:1: bad argument #2 to 'newAnimatedMesh' (newAnimatedMesh)",
         nullptr},
    };
    TEST_runCallRows(SKINS, rows);
}

// The scene deforms the skin when its bones move, unless it is locked;
// update deforms it at once.
TEST(SurfaceBindings, AnimatedMeshLockAndUpdate)
{
    KindsFixture f;
    ASSERT_EQ(f.run(SKINS), "") << f.log();
    MDL_AnimatedMesh *a = dynamic_cast<MDL_AnimatedMesh *>(f.object("a"));
    ASSERT_NE(a, nullptr);
    expectNear(MTH_Vector3D(1, 0, 0), a->vertexPosition(1));
    ASSERT_EQ(f.run("a:setLocked(true) arm:translate(v3(0, 0, 2))"), "");
    f.m_poScene->updateSkinning();
    expectNear(MTH_Vector3D(1, 0, 0), a->vertexPosition(1));
    ASSERT_EQ(f.run("a:update()"), "");
    expectNear(MTH_Vector3D(1, 0, 2), a->vertexPosition(1));
    ASSERT_EQ(f.run("a:setLocked(false) arm:translate(v3(0, 0, 1))"), "");
    f.m_poScene->updateSkinning();
    expectNear(MTH_Vector3D(1, 0, 3), a->vertexPosition(1));
    EXPECT_FALSE(f.reported()) << f.log();
}

// mat is the shared material "two" (two layers of "checker"); fresh a
// material of no layer.
const char *const MATERIALS = "m = newMesh(scene, set:get('tri')) m:setName('m') mat = m:getMaterial() "
                              "local e = newMesh(scene) e:setName('e') e:setOwnMaterial() fresh = e:getMaterial()";

TEST(SurfaceBindings, MaterialColoursAndLayersFromZero)
{
    static const TEST_CallRow rows[] = {
        {"return R(fresh:getAmbient()), R(fresh:getDiffuse()), R(fresh:getSpecular())",
         "(0.5,0.5,0.5,1),(1,1,1,1),(1,1,1,1)", nullptr},
        {"fresh:setAmbient(color(0.1, 0.2, 0.3, 0.4)) fresh:setDiffuse(color(1, 0, 0, 0.5)) "
         "fresh:setSpecular(color(0, 0, 1, 1)) return R(fresh:getAmbient()), R(fresh:getDiffuse()), "
         "R(fresh:getSpecular())",
         "(0.1,0.2,0.3,0.4),(1,0,0,0.5),(0,0,1,1)", nullptr},
        {"return R(mat:getColor(0)), R(mat:getColor(1))", "(0.5,0.5,0.5,1),(1,1,1,1)", nullptr},
        {"return mat:getColor(-1)", "", "Material layer -1 does not exist"},
        {"return mat:getColor(2)", "", "Material layer 2 does not exist"},
        {"return fresh:getColor(0)", "", "Material layer 0 does not exist"},
        {"mat:setColor(1, color(0, 1, 0, 1)) return R(mat:getColor(1))", "(0,1,0,1)", nullptr},
        {"return getmetatable(mat:getTexture(0)) == newTexture, mat:getTexture(0) == mat:getTexture(1)", "true,true",
         nullptr},
        {"mat:setTexture(1, tex) return mat:getTexture(1) == tex, mat:getTexture(0) == tex", "true,false", nullptr},
        {"mat:setTexture(5, tex)", "", "Material layer 5 does not exist"},
        {"mat:setTexture('x', tex)", "error: t:1: bad argument #1 to 'setTexture' (number expected, got string)",
         nullptr},
        {"mat:setTexture(0, 5)", "error: t:1: bad argument #2 to 'setTexture' (newTexture)", nullptr},
        {"fresh:addLayer(nil) fresh:addLayer(tex) return select('#', fresh:getTexture(0)), fresh:getTexture(1) == tex, "
         "R(fresh:getColor(1))",
         "0,true,(1,1,1,1)", nullptr},
        {"fresh:addLayer()", "error: t:1: bad argument #1 to 'addLayer' (newTexture)", nullptr},
        {"fresh:addLayer('x')", "error: t:1: bad argument #1 to 'addLayer' (newTexture)", nullptr},
        // Layers A, B, C: deleting A leaves B, C.
        {"for i = 1, 3 do fresh:addLayer(nil) end fresh:setColor(0, color(1, 0, 0, 1)) "
         "fresh:setColor(1, color(0, 1, 0, 1)) fresh:setColor(2, color(0, 0, 1, 1)) fresh:deleteLayer(0) "
         "return R(fresh:getColor(0)), R(fresh:getColor(1))",
         "(0,1,0,1),(0,0,1,1)", nullptr},
        {"fresh:addLayer(nil) fresh:deleteLayer(0) fresh:deleteLayer(0)", "", "Material layer 0 does not exist"},
        // A new material proxy stands for no material.
        {"local n = newMaterial(1, 2) n:addLayer(nil) n:setDiffuse(color()) "
         "return select('#', n:getDiffuse()) + select('#', n:getColor(0))",
         "0", nullptr},
    };
    TEST_runCallRows(MATERIALS, rows);
}

// A material proxy lets go of its material when the material goes, here
// with the models set that owns it.
TEST(SurfaceBindings, MaterialProxiesOutliveTheirMaterials)
{
    KindsFixture f;
    ASSERT_EQ(f.run(MATERIALS), "") << f.log();
    EXPECT_EQ(
        f.run("set:delete() collectgarbage() return select('#', mat:getDiffuse()) + select('#', mat:getColor(0)), "
              "select('#', fresh:getDiffuse())"),
        "0,1");
    EXPECT_EQ(f.run("return select('#', m:getColor()) + select('#', m:getMaterial())"), "0");
    EXPECT_EQ(f.run("m:delete() return fresh:getDiffuse() ~= nil"), "true"); // e still owns fresh
}

std::string transformOf(KindsFixture &f, const char *mesh, int layer)
{
    MDL_Mesh *m = dynamic_cast<MDL_Mesh *>(f.object(mesh));
    if (m == nullptr || m->getMaterial() == nullptr || m->getMaterial()->getLayer(layer) == nullptr)
        return "none";
    const MTH_Frame &t = m->getMaterial()->getLayer(layer)->m_oTransform;
    auto n = [](double x) {
        char text[32];
        snprintf(text, sizeof(text), "%.6g", std::fabs(x) < 1e-12 ? 0.0 : x);
        return std::string(text);
    };
    std::string text = "p(" + n(t.m_oPosition.m_fX) + "," + n(t.m_oPosition.m_fY) + "," + n(t.m_oPosition.m_fZ) + ")";
    for (int i = 0; i < 3; i++) {
        const MTH_Vector3D &r = t.m_oBasis.getRow(i);
        text += " r(" + n(r.m_fX) + "," + n(r.m_fY) + "," + n(r.m_fZ) + ")";
    }
    return text;
}

TEST(SurfaceBindings, MaterialLayerTransforms)
{
    struct Case {
        const char *m_sChunk;
        const char *m_sTransform; // of layer 0
    };
    static const Case cases[] = {
        {"mat:rotate(0, v2(0.5, 0.5), 90)", "p(1,0,0) r(0,1,0) r(-1,0,0) r(0,0,1)"},
        {"mat:dilate(0, v2(0.5, 0.5), 2)", "p(-0.5,-0.5,0) r(2,0,0) r(0,2,0) r(0,0,2)"},
        {"mat:translate(0, v2(0.25, -1))", "p(0.25,-1,0) r(1,0,0) r(0,1,0) r(0,0,1)"},
        {"mat:translate(0, v2(0.25, -1)) mat:dilate(0, v2(0, 0), 2) mat:rotate(0, v2(0, 0), 180)",
         "p(-0.5,2,0) r(-2,0,0) r(0,-2,0) r(0,0,2)"},
        {"mat:dilate(0, v2(1, 1), 3) mat:rotate(0, v2(0.5, 0.5), 30) mat:reset(0)",
         "p(0,0,0) r(1,0,0) r(0,1,0) r(0,0,1)"},
        {"mat:rotate(1, v2(0.5, 0.5), 90)", "p(0,0,0) r(1,0,0) r(0,1,0) r(0,0,1)"}, // layer 1 only
    };
    for (const Case &c : cases) {
        KindsFixture f;
        ASSERT_EQ(f.run(MATERIALS), "") << f.log();
        ASSERT_EQ(f.run(c.m_sChunk), "") << c.m_sChunk;
        EXPECT_EQ(transformOf(f, "m", 0), c.m_sTransform) << c.m_sChunk;
        EXPECT_FALSE(f.reported()) << f.log();
    }
    KindsFixture f;
    ASSERT_EQ(f.run(MATERIALS), "");
    EXPECT_EQ(f.run("mat:rotate(3, v2(0, 0), 90)"), "");
    EXPECT_TRUE(f.m_oLog.contains("Material layer 3 does not exist")) << f.log();
}

} // namespace
