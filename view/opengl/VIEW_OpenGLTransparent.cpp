// The transparent pass: every transparent triangle of a scene in view
// space, sorted back to front by the renderer's tree, drawn in runs that
// share a material.
#include "foundation/MTH_Frame.h"
#include "model/MDL_Material.h"
#include "model/MDL_Mesh.h"
#include "model/MDL_Scene.h"
#include "view/opengl/VIEW_OpenGL.h"
#include "view/opengl/VIEW_OpenGLDrawing.h"

namespace {

// The vertex colour of a mesh without colours: a negative alpha marks it.
const MTH_Vector4D NO_COLOR(0, 0, 0, -1);

bool hasColor(const MTH_Vector4D &color)
{
    return color.m_fW >= 0;
}

} // namespace

void VIEW_OpenGL::appendTransparentTriangle(const VIEW_MeshArrays &arrays, int t, const MTH_Matrix4x4 &modelview,
                                            const MTH_Matrix3x3 &normalMatrix, MDL_Material *material, bool doubleSided,
                                            bool mirrored)
{
    VIEW_TransparentTriangle triangle;
    const uint32_t *corners = arrays.m_puiTriangles + 3 * static_cast<size_t>(t);
    bool inFront = false;
    for (int i = 0; i < 3; i++) {
        triangle.m_aoPositions[i] = arrays.m_poPositions[corners[i]];
        modelview.transformPoint(triangle.m_aoPositions[i]);
        inFront = inFront || triangle.m_aoPositions[i].m_fZ < 0;
    }
    if (!inFront)
        return;
    const MTH_Vector3D &p0 = triangle.m_aoPositions[0], &p1 = triangle.m_aoPositions[1],
                       &p2 = triangle.m_aoPositions[2];
    // s > 0: the triangle winds clockwise as the eye sees it, its back to
    // the eye, unless the view is mirrored.
    double s = p0.dot(p1.cross(p2));
    if (!doubleSided && (mirrored ? s < 0 : s > 0))
        return;
    for (int i = 0; i < 3; i++) {
        uint32_t v = corners[i];
        triangle.m_aoNormals[i] = arrays.m_poNormals != nullptr ? arrays.m_poNormals[v] : MTH_Vector3D();
        normalMatrix.transform(triangle.m_aoNormals[i]);
        triangle.m_aoUVs[i] = arrays.m_poUVs != nullptr ? arrays.m_poUVs[v] : MTH_Vector2D();
        triangle.m_aoColors[i] = arrays.m_poColors != nullptr ? arrays.m_poColors[v] : NO_COLOR;
    }
    // The plane's normal turned away from the eye.
    MTH_Vector3D n = (p1 - p0).cross(p2 - p0);
    if (!(s > 0))
        n = -n;
    n.normalize();
    triangle.m_oPlaneNormal = n;
    triangle.m_poMaterial = material;
    m_oTransparency.insert(triangle);
}

void VIEW_OpenGL::drawTransparent(MDL_Scene *scene, bool mirrored)
{
    // Normals go into view space by the view's rotation (the inverse of
    // the eye's basis).
    MTH_Matrix3x3 toView;
    toView.setFromMatrix4x4(m_oViewMatrix);
    m_oTransparency.clear();
    const UTIL_DynArray<MDL_Object *> &meshes = scene->m_oMeshes;
    for (int m = 0; m < meshes.m_iCount; m++) {
        MDL_Mesh *mesh = static_cast<MDL_Mesh *>(meshes.m_pData[m]);
        VIEW_MeshArrays arrays;
        if (!mesh->isTransparent() || !VIEW_getMeshArrays(mesh, arrays))
            continue;
        bool doubleSided = mesh->isDoubleSided();
        MTH_Matrix4x4 modelview;
        getModelview(mesh, modelview);
        MTH_Matrix3x3 normalMatrix;
        MTH_Matrix3x3::setProduct(normalMatrix, toView, mesh->getGlobalBasis());
        MDL_Material *material = mesh->getMaterial();
        // The mesh's triangles from both ends of each quarter inwards, so
        // that the tree's first planes are spread over the mesh.
        int n = arrays.m_iNumTriangles, q = n / 4;
        for (int i = 0; i < q; i++) {
            const int order[4] = {i, 2 * q - 1 - i, 2 * q + i, 4 * q - 1 - i};
            for (int t : order)
                appendTransparentTriangle(arrays, t, modelview, normalMatrix, material, doubleSided, mirrored);
        }
        for (int t = 4 * q; t < n; t++)
            appendTransparentTriangle(arrays, t, modelview, normalMatrix, material, doubleSided, mirrored);
    }
    m_oTransparency.buildArrays();
    drawSortedTriangles(m_oTransparency);
}

void VIEW_OpenGL::drawSortedTriangles(const VIEW_TransparencyBSP &sorted)
{
    int triangles = sorted.m_oMaterials.m_iCount;
    if (triangles == 0)
        return;

    glEnable(GL_LIGHTING);
    glEnable(GL_DEPTH_TEST);
    glDepthMask(GL_FALSE);
    glEnable(GL_BLEND);
    glDisable(GL_CULL_FACE);
    glEnable(GL_NORMALIZE);
    glMatrixMode(GL_PROJECTION);
    glLoadMatrixd(m_oProjectionMatrix.data());
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glEnableClientState(GL_NORMAL_ARRAY);
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    glVertexPointer(3, GL_DOUBLE, 0, sorted.m_oPositions.m_pData);
    glNormalPointer(GL_DOUBLE, 0, sorted.m_oNormals.m_pData);
    glTexCoordPointer(2, GL_DOUBLE, 0, sorted.m_oUVs.m_pData);
    glColorPointer(4, GL_DOUBLE, 0, sorted.m_oColors.m_pData);
    // Runs of one material whose triangles all have vertex colours or all
    // have none (meshes sharing a material need not agree).
    for (int b = 0; b < triangles;) {
        MDL_Material *material = sorted.m_oMaterials[b];
        bool colors = hasColor(sorted.m_oColors[3 * b]);
        int a = 1;
        while (b + a < triangles && sorted.m_oMaterials[b + a] == material &&
               hasColor(sorted.m_oColors[3 * (b + a)]) == colors)
            a++;
        for (int j = 0; j < VIEW_layerPasses(material); j++) {
            setupMaterial(material, j, false, true);
            VIEW_enableColors(colors);
            glDrawArrays(GL_TRIANGLES, 3 * b, 3 * a);
        }
        b += a;
    }
}
