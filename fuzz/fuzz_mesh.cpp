// Feeds arbitrary bytes, parsed as models-set XML, to the mesh-data, texture
// and material readers: every "mesh" and "material" element found at the top
// level or inside a "meshes" or "materials" container. Whatever a reader
// accepts must be well formed (indices below the vertex count, neighbours
// -1 or a triangle), and is then picked, given shadow volumes, edited and
// reset, so that the users of mesh data run on it too.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include <tinyxml.h>

#include "foundation/UTIL_DynArray.h"
#include "foundation/UTIL_Log.h"
#include "foundation/UTIL_XmlValues.h"
#include "model/MDL_Material.h"
#include "model/MDL_Mesh.h"
#include "model/MDL_MeshData.h"
#include "model/MDL_Texture.h"

namespace {

void quiet(const char *, void *) {}

void checkWellFormed(const MDL_MeshData &d)
{
    if (d.m_iNumVertices < 0 || d.m_iNumTriangles < 0 || d.m_iNumNormals < 0 || d.m_iNumUVs < 0 || d.m_iNumColors < 0)
        abort();
    if ((d.m_iNumNormals > 0 && d.m_iNumNormals < d.m_iNumVertices) ||
        (d.m_iNumUVs > 0 && d.m_iNumUVs < d.m_iNumVertices) ||
        (d.m_iNumColors > 0 && d.m_iNumColors < d.m_iNumVertices))
        abort();
    for (int64_t i = 0; i < static_cast<int64_t>(d.m_iNumTriangles) * 3; i++)
        if (d.m_puiTriangles[i] >= static_cast<uint32_t>(d.m_iNumVertices))
            abort();
    for (int t = 0; t < d.m_iNumTriangles; t++)
        for (int k = 0; k < 3; k++) {
            int n = d.m_poFaces[t].m_aiNeighbours[k];
            if (n < -1 || n >= d.m_iNumTriangles)
                abort();
        }
    if (d.m_iNumNonOpaqueColors != d.countNonOpaqueColors())
        abort();
}

void exercise(MDL_MeshData &data)
{
    checkWellFormed(data);
    MDL_Material material;
    MDL_Mesh mesh;
    mesh.setMeshData(&data);
    mesh.setMaterial(&material);

    // Rays through the box's centre from three sides, and one from inside.
    const MTH_Vector3D &lo = mesh.boundingBoxMin();
    const MTH_Vector3D &hi = mesh.boundingBoxMax();
    MTH_Vector3D centre = (lo + hi) * 0.5;
    const MTH_Vector3D offsets[4] = {{0, 0, 100}, {100, 0, 0}, {0, -100, 0}, {0, 0, 0}};
    for (const MTH_Vector3D &o : offsets) {
        double t = 1.0;
        int triangle = -1;
        bool hit = mesh.pick(centre + o, centre - o * 2.0, t, triangle);
        if (hit && (triangle < 0 || triangle >= data.m_iNumTriangles || !(t < 1.0)))
            abort();
        // The pick tree answers what testing every triangle answers.
        double everyT = 1.0;
        int everyTriangle = -1;
        if (mesh.pickEveryTriangle(centre + o, centre - o * 2.0, everyT, everyTriangle) != hit ||
            (hit && (everyT != t || everyTriangle != triangle)))
            abort();
    }

    // Shadow volumes for a capped point lamp and an uncapped sun.
    mesh.buildShadowVolumeFrom(centre + MTH_Vector3D(1, 2, 10), MTH_Vector3D(0, 0, 1), false, 30, true);
    if (mesh.m_oShadowSides.m_iCount % 3 != 0 || mesh.m_oShadowNearCap.m_iCount != mesh.m_oShadowFarCap.m_iCount)
        abort();
    mesh.buildShadowVolumeFrom(MTH_Vector3D(), MTH_Vector3D(0.3, -1, 0.5), true, 30, false);

    // Edits and resets, then the geometry users again.
    if (data.m_iNumVertices > 0) {
        mesh.setVertexPosition(0, MTH_Vector3D(1e3, -1e3, 0.5));
        mesh.setVertexPosition(data.m_iNumVertices - 1, MTH_Vector3D(NAN, 0, 0));
    }
    if (data.m_iNumColors > 0)
        mesh.setVertexColor(data.m_iNumColors / 2, MTH_Vector4D(1, 1, 1, 0.5));
    (void)mesh.isOpaque();
    (void)mesh.isTransparent();
    (void)mesh.castsShadow();
    mesh.makeOwnMaterial();
    double t = 1.0, everyT = 1.0;
    int triangle = -1, everyTriangle = -1;
    // After the edits the tree is refitted: still the same answer.
    if (mesh.pick(centre + offsets[0], centre - offsets[0], t, triangle) !=
            mesh.pickEveryTriangle(centre + offsets[0], centre - offsets[0], everyT, everyTriangle) ||
        t != everyT || triangle != everyTriangle)
        abort();
    mesh.resetVertexPositions();
    mesh.resetVertexColors();
    if (data.m_iNumNonOpaqueColors != data.countNonOpaqueColors())
        abort();
    data.computeNeighbours();
    checkWellFormed(data);
}

void readMesh(const TiXmlElement *e)
{
    MDL_MeshData data;
    if (data.loadFromXML(e))
        exercise(data);
    else if (data.m_iNumVertices != 0 || data.m_iNumTriangles != 0 || data.m_poFaces != nullptr)
        abort();
}

void readMaterial(const TiXmlElement *e, MDL_Texture *const *textures, int count)
{
    MDL_Material material;
    material.loadFromXML(e);
    material.readLayers(e, textures, count);
    (void)material.isOpaque();
    (void)material.isTransparent();
    (void)material.isFullyTransparent();
    MDL_Material copy(material);
    if (copy.getLayerCount() != material.getLayerCount())
        abort();
    for (int i = 0; i < copy.getLayerCount(); i++) {
        MDL_Texture *t = copy.getLayerTexture(i);
        bool known = t == nullptr;
        for (int k = 0; k < count && !known; k++)
            known = textures[k] == t;
        if (!known)
            abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size > (1u << 20))
        return 0;
    UTIL_setLogSink(quiet, nullptr);
    char *text = static_cast<char *>(malloc(size + 1));
    memcpy(text, data, size);
    text[size] = '\0';
    {
        TiXmlDocument document;
        if (LoadBuffer(document, text, 0)) {
            UTIL_DynArray<MDL_Texture *> textures;
            const TiXmlElement *container = document.FirstChildElement("textures");
            for (const TiXmlElement *e = container != nullptr ? container->FirstChildElement("texture") : nullptr;
                 e != nullptr; e = e->NextSiblingElement("texture")) {
                MDL_Texture *t = new MDL_Texture;
                t->loadFromXML(e);
                textures.append(t);
            }
            for (const TiXmlElement *top = document.FirstChildElement(); top != nullptr;
                 top = top->NextSiblingElement()) {
                const char *name = top->Value();
                if (strcmp(name, "mesh") == 0)
                    readMesh(top);
                else if (strcmp(name, "material") == 0)
                    readMaterial(top, textures.m_pData, textures.m_iCount);
                else if (strcmp(name, "meshes") == 0)
                    for (const TiXmlElement *e = top->FirstChildElement("mesh"); e != nullptr;
                         e = e->NextSiblingElement("mesh"))
                        readMesh(e);
                else if (strcmp(name, "materials") == 0)
                    for (const TiXmlElement *e = top->FirstChildElement("material"); e != nullptr;
                         e = e->NextSiblingElement("material"))
                        readMaterial(e, textures.m_pData, textures.m_iCount);
            }
            for (int i = 0; i < textures.m_iCount; i++)
                delete textures[i];
        }
    }
    free(text);
    UTIL_setLogSink(nullptr, nullptr);
    return 0;
}
