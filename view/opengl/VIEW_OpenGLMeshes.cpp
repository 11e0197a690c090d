// Mesh drawing from client arrays or vertex buffers, the vertex-buffer
// cache and the opaque pass.
#include "view/opengl/VIEW_OpenGL.h"

#include <cstring>

#include "model/MDL_AnimatedMesh.h"
#include "model/MDL_Material.h"
#include "model/MDL_Mesh.h"
#include "model/MDL_MeshData.h"
#include "model/MDL_Scene.h"
#include "view/opengl/VIEW_OpenGLDrawing.h"

namespace {

template <typename T> const T *covering(const T *array, int count, int vertices)
{
    return array != nullptr && count >= vertices ? array : nullptr;
}

} // namespace

bool VIEW_getMeshArrays(MDL_Mesh *mesh, VIEW_MeshArrays &out)
{
    const MDL_MeshData *data = mesh->getMeshData();
    if (data == nullptr || data->m_iNumVertices <= 0 || data->m_iNumTriangles <= 0 || data->m_puiTriangles == nullptr)
        return false;
    int vertices = data->m_iNumVertices;
    const MTH_Vector3D *positions = data->m_poPositions;
    int numPositions = vertices;
    const MTH_Vector3D *normals = data->m_poNormals;
    int numNormals = data->m_iNumNormals;
    if (mesh->getType() == OBJECT_ANIMATED_MESH) {
        const MDL_AnimatedMesh *animated = static_cast<const MDL_AnimatedMesh *>(mesh);
        if (animated->hasDeformedData()) {
            positions = animated->m_poDeformedPositions;
            numPositions = animated->m_iNumDeformedVertices;
            normals = animated->m_poDeformedNormals;
            numNormals = animated->m_iNumDeformedNormals;
        }
    }
    out.m_iNumVertices = vertices;
    out.m_poPositions = covering(positions, numPositions, vertices);
    out.m_poNormals = covering(normals, numNormals, vertices);
    out.m_poColors = covering(data->m_poColors, data->m_iNumColors, vertices);
    out.m_poUVs = covering(data->m_poUVs, data->m_iNumUVs, vertices);
    out.m_iNumTriangles = data->m_iNumTriangles;
    out.m_puiTriangles = data->m_puiTriangles;
    return out.m_poPositions != nullptr && data->trianglesWithinVertices();
}

int VIEW_layerPasses(const MDL_Material *material)
{
    int layers = material != nullptr ? material->getLayerCount() : 0;
    return layers > 1 ? layers : 1;
}

void VIEW_enable(GLenum capability, bool on)
{
    if (on)
        glEnable(capability);
    else
        glDisable(capability);
}

void VIEW_enableArray(GLenum array, bool on)
{
    if (on)
        glEnableClientState(array);
    else
        glDisableClientState(array);
}

void VIEW_enableColors(bool on)
{
    VIEW_enableArray(GL_COLOR_ARRAY, on);
    VIEW_enable(GL_COLOR_MATERIAL, on);
}

void VIEW_cullFor(const MDL_Mesh *mesh)
{
    VIEW_enable(GL_CULL_FACE, !mesh->isDoubleSided());
}

double VIEW_clampToRange(double value, double low, double high)
{
    if (!(value >= low))
        return low;
    return value > high ? high : value;
}

void VIEW_drawScreenQuad(double z)
{
    const double corners[6][3] = {{-1, -1, z}, {1, -1, z}, {1, 1, z}, {-1, -1, z}, {1, 1, z}, {-1, 1, z}};
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glDisableClientState(GL_NORMAL_ARRAY);
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    VIEW_enableColors(false);
    glVertexPointer(3, GL_DOUBLE, 0, corners);
    glDrawArrays(GL_TRIANGLES, 0, 6);
}

void VIEW_OpenGL::deleteBuffers(VIEW_MeshBuffers &buffers)
{
    glDeleteBuffers(1, &buffers.m_uiElementBuffer);
    glDeleteBuffers(1, &buffers.m_uiVertexBuffer);
}

void VIEW_OpenGL::releaseBuffers()
{
    if (m_iRenderMode != VIEW_RENDER_MODE_VBO)
        return;
    m_oMeshBuffers.release([this](VIEW_MeshBuffers &buffers) { deleteBuffers(buffers); });
}

void VIEW_OpenGL::meshDataDestroyed(MDL_MeshData *data)
{
    // The address may serve another mesh data from now on: the entry goes
    // at once, its buffers when the context is current.
    UTIL_HashMap<8, VIEW_MeshBuffers>::Node *node = m_oMeshBuffers.find(&data);
    if (node == nullptr)
        return;
    m_oOrphanBuffers.append(node->m_oValue.m_uiElementBuffer);
    m_oOrphanBuffers.append(node->m_oValue.m_uiVertexBuffer);
    m_oMeshBuffers.remove(&data);
}

void VIEW_OpenGL::deleteOrphanBuffers()
{
    if (m_oOrphanBuffers.m_iCount == 0)
        return;
    glDeleteBuffers(m_oOrphanBuffers.m_iCount, m_oOrphanBuffers.m_pData);
    m_oOrphanBuffers.resize(0);
}

void VIEW_OpenGL::refreshBuffers(MDL_Mesh *mesh)
{
    if (m_iRenderMode != VIEW_RENDER_MODE_VBO || mesh->getType() != OBJECT_MESH)
        return;
    MDL_MeshData *data = mesh->getMeshData();
    if (data == nullptr)
        return;
    UTIL_HashMap<8, VIEW_MeshBuffers>::Node *node = m_oMeshBuffers.find(&data);
    if (mesh->m_bGeometryEdited && node != nullptr) {
        deleteBuffers(node->m_oValue);
        m_oMeshBuffers.remove(&data);
        node = nullptr;
        mesh->m_bGeometryEdited = false;
    }
    VIEW_MeshArrays arrays;
    if (node != nullptr || mesh->getDisplayMode() == DISPLAY_MODE_SPRITE || !VIEW_getMeshArrays(mesh, arrays))
        return;
    VIEW_MeshBuffers buffers;
    buffers.m_iNumVertices = arrays.m_iNumVertices;
    buffers.m_iNumNormals = arrays.m_poNormals != nullptr ? arrays.m_iNumVertices : 0;
    buffers.m_iNumColors = arrays.m_poColors != nullptr ? arrays.m_iNumVertices : 0;
    buffers.m_iNumUVs = arrays.m_poUVs != nullptr ? arrays.m_iNumVertices : 0;
    buffers.m_iNumTriangles = arrays.m_iNumTriangles;
    GLsizeiptr positionBytes = static_cast<GLsizeiptr>(buffers.m_iNumVertices) * 24;
    GLsizeiptr normalBytes = static_cast<GLsizeiptr>(buffers.m_iNumNormals) * 24;
    GLsizeiptr colorBytes = static_cast<GLsizeiptr>(buffers.m_iNumColors) * 32;
    GLsizeiptr uvBytes = static_cast<GLsizeiptr>(buffers.m_iNumUVs) * 16;

    glGenBuffers(1, &buffers.m_uiVertexBuffer);
    glBindBuffer(GL_ARRAY_BUFFER, buffers.m_uiVertexBuffer);
    glBufferData(GL_ARRAY_BUFFER, positionBytes + normalBytes + colorBytes + uvBytes, nullptr, GL_DYNAMIC_COPY);
    GLintptr offset = 0;
    glBufferSubData(GL_ARRAY_BUFFER, offset, positionBytes, arrays.m_poPositions);
    offset += positionBytes;
    if (normalBytes > 0)
        glBufferSubData(GL_ARRAY_BUFFER, offset, normalBytes, arrays.m_poNormals);
    offset += normalBytes;
    if (colorBytes > 0)
        glBufferSubData(GL_ARRAY_BUFFER, offset, colorBytes, arrays.m_poColors);
    offset += colorBytes;
    if (uvBytes > 0)
        glBufferSubData(GL_ARRAY_BUFFER, offset, uvBytes, arrays.m_poUVs);
    glGenBuffers(1, &buffers.m_uiElementBuffer);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, buffers.m_uiElementBuffer);
    glBufferData(GL_ELEMENT_ARRAY_BUFFER, static_cast<GLsizeiptr>(buffers.m_iNumTriangles) * 12, arrays.m_puiTriangles,
                 GL_DYNAMIC_COPY);
    // Reading the errors clears them: any other than running out of memory
    // (from here or from before) is held for whoever checks them.
    bool outOfMemory = false;
    for (GLenum error = glGetError(); error != GL_NO_ERROR; error = glGetError()) {
        if (error == GL_OUT_OF_MEMORY)
            outOfMemory = true;
        else if (m_uiHeldError == GL_NO_ERROR)
            m_uiHeldError = error;
    }
    if (outOfMemory)
        deleteBuffers(buffers); // drawn from client arrays; the next frame tries again
    else
        m_oMeshBuffers.insert(&data, buffers);
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
}

void VIEW_OpenGL::drawMesh(MDL_Mesh *mesh)
{
    VIEW_MeshArrays arrays;
    if (!VIEW_getMeshArrays(mesh, arrays))
        return;
    loadModelview(mesh);
    VIEW_cullFor(mesh);
    MDL_Material *material = mesh->getMaterial();
    bool shadeless = material != nullptr && material->m_bShadeless;
    int passes = VIEW_layerPasses(material);

    // Buffers are kept for plain meshes only: an animated mesh draws its
    // deformed arrays.
    MDL_MeshData *data = mesh->getMeshData();
    UTIL_HashMap<8, VIEW_MeshBuffers>::Node *node = nullptr;
    if (m_iRenderMode == VIEW_RENDER_MODE_VBO && mesh->getType() == OBJECT_MESH)
        node = m_oMeshBuffers.find(&data);
    if (node != nullptr && node->m_oValue.m_iNumVertices == arrays.m_iNumVertices &&
        node->m_oValue.m_iNumTriangles == arrays.m_iNumTriangles) {
        const VIEW_MeshBuffers &buffers = node->m_oValue;
        glPushClientAttrib(GL_CLIENT_VERTEX_ARRAY_BIT);
        glBindBuffer(GL_ARRAY_BUFFER, buffers.m_uiVertexBuffer);
        // Offsets into the bound buffer, passed where pointers go.
        uintptr_t offset = 0;
        glVertexPointer(3, GL_DOUBLE, 0, reinterpret_cast<const void *>(offset));
        offset += static_cast<uintptr_t>(buffers.m_iNumVertices) * 24;
        bool normals = buffers.m_iNumNormals > 0 && !shadeless;
        VIEW_enableArray(GL_NORMAL_ARRAY, normals);
        if (normals)
            glNormalPointer(GL_DOUBLE, 0, reinterpret_cast<const void *>(offset));
        offset += static_cast<uintptr_t>(buffers.m_iNumNormals) * 24;
        VIEW_enableColors(buffers.m_iNumColors > 0);
        if (buffers.m_iNumColors > 0)
            glColorPointer(4, GL_DOUBLE, 0, reinterpret_cast<const void *>(offset));
        offset += static_cast<uintptr_t>(buffers.m_iNumColors) * 32;
        VIEW_enableArray(GL_TEXTURE_COORD_ARRAY, buffers.m_iNumUVs > 0);
        if (buffers.m_iNumUVs > 0)
            glTexCoordPointer(2, GL_DOUBLE, 0, reinterpret_cast<const void *>(offset));
        glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, buffers.m_uiElementBuffer);
        for (int j = 0; j < passes; j++) {
            setupMaterial(material, j, false, false);
            glDrawElements(GL_TRIANGLES, buffers.m_iNumTriangles * 3, GL_UNSIGNED_INT, nullptr);
        }
        glPopClientAttrib();
        glBindBuffer(GL_ARRAY_BUFFER, 0);
        glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
        return;
    }

    glVertexPointer(3, GL_DOUBLE, 0, arrays.m_poPositions);
    bool normals = arrays.m_poNormals != nullptr && !shadeless;
    VIEW_enableArray(GL_NORMAL_ARRAY, normals);
    if (normals)
        glNormalPointer(GL_DOUBLE, 0, arrays.m_poNormals);
    VIEW_enableColors(arrays.m_poColors != nullptr);
    if (arrays.m_poColors != nullptr)
        glColorPointer(4, GL_DOUBLE, 0, arrays.m_poColors);
    VIEW_enableArray(GL_TEXTURE_COORD_ARRAY, arrays.m_poUVs != nullptr);
    if (arrays.m_poUVs != nullptr)
        glTexCoordPointer(2, GL_DOUBLE, 0, arrays.m_poUVs);
    for (int j = 0; j < passes; j++) {
        setupMaterial(material, j, false, false);
        glDrawElements(GL_TRIANGLES, arrays.m_iNumTriangles * 3, GL_UNSIGNED_INT, arrays.m_puiTriangles);
    }
}

void VIEW_OpenGL::drawOpaque(MDL_Scene *scene)
{
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    glDepthMask(GL_TRUE);
    glCullFace(GL_BACK);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glEnable(GL_NORMALIZE);
    const UTIL_DynArray<MDL_Object *> &meshes = scene->m_oMeshes;
    for (int i = 0; i < meshes.m_iCount; i++) {
        MDL_Mesh *mesh = static_cast<MDL_Mesh *>(meshes.m_pData[i]);
        if (mesh->isOpaque())
            drawMesh(mesh);
    }

    // Fully transparent surfaces still hide what lies behind them: their
    // depth alone, whatever the last material left for texturing and the
    // alpha test.
    glColorMask(GL_FALSE, GL_FALSE, GL_FALSE, GL_FALSE);
    glDisable(GL_ALPHA_TEST);
    glDisable(GL_TEXTURE_2D);
    glDisableClientState(GL_NORMAL_ARRAY);
    VIEW_enableColors(false);
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    for (int i = 0; i < meshes.m_iCount; i++) {
        MDL_Mesh *mesh = static_cast<MDL_Mesh *>(meshes.m_pData[i]);
        VIEW_MeshArrays arrays;
        if (!mesh->isFullyTransparent() || !VIEW_getMeshArrays(mesh, arrays))
            continue;
        loadModelview(mesh);
        VIEW_cullFor(mesh);
        glVertexPointer(3, GL_DOUBLE, 0, arrays.m_poPositions);
        glDrawElements(GL_TRIANGLES, arrays.m_iNumTriangles * 3, GL_UNSIGNED_INT, arrays.m_puiTriangles);
    }
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
}
