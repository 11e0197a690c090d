// Stencil shadow volumes of MDL_Mesh: for one lamp, the side quads along the
// silhouette of the lamp-facing triangles, extruded away from the lamp, and
// for capped volumes the facing triangles themselves (near cap) with their
// extruded copies (far cap). Every point is in the mesh's own coordinates.
#include <cmath>

#include "model/MDL_Lamp.h"
#include "model/MDL_Material.h"
#include "model/MDL_Mesh.h"

namespace {

struct Extrusion {
    MTH_Vector3D m_oLamp;      // lamp position, mesh coordinates
    MTH_Vector3D m_oDirection; // direction of the light, mesh coordinates
    bool m_bSun;
    double m_fLength; // extrusion length in mesh units

    // v moved away from the lamp by the extrusion length; a vertex at the
    // lamp (or a sun without direction) stays where it is.
    MTH_Vector3D far(const MTH_Vector3D &v) const
    {
        MTH_Vector3D e = m_bSun ? m_oDirection : v - m_oLamp;
        double l = e.length();
        if (l > 0.0)
            e *= m_fLength / l;
        return v + e;
    }
};

void append3(UTIL_DynArray<MTH_Vector3D> &array, const MTH_Vector3D &a, const MTH_Vector3D &b, const MTH_Vector3D &c)
{
    array.append(a);
    array.append(b);
    array.append(c);
}

} // namespace

void MDL_Mesh::buildShadowVolume(MDL_Lamp *lamp)
{
    if (lamp == nullptr || m_poMaterial == nullptr || !m_poMaterial->m_bCastShadows) {
        // No volume: nothing stale is left for the renderer either.
        m_oShadowSides.resize(0);
        m_oShadowNearCap.resize(0);
        m_oShadowFarCap.resize(0);
        m_poShadowLamp = nullptr;
        return;
    }
    const MTH_Vector3D &lampPosition = lamp->getGlobalPosition();
    const MTH_Vector3D lampAxis = lamp->getGlobalBasis().getRow(2);
    const bool sun = lamp->m_iLampType == MDL_Lamp::LAMP_SUN;
    const bool capped = lamp->getShadowType() == SHADOW_ZFAIL;
    const double depth = lamp->getShadowDepth();
    // Unchanged mesh, geometry, lamp placement and lamp settings: the last
    // volume still holds.
    if (!m_bChanged && !lamp->m_bChanged && lamp == m_poShadowLamp && m_poMeshData == m_poShadowMeshData &&
        (m_poMeshData == nullptr || m_poMeshData->m_uiGeometryVersion == m_uiShadowGeometryVersion) &&
        sun == m_bShadowSun && capped == m_bShadowCapped && depth == m_fShadowDepth)
        return;
    m_poShadowLamp = lamp;
    buildShadowVolumeFrom(lampPosition, lampAxis, sun, depth, capped);
}

void MDL_Mesh::buildShadowVolumeFrom(const MTH_Vector3D &lampPosition, const MTH_Vector3D &lampAxis, bool sun,
                                     double depth, bool capped)
{
    m_oShadowSides.resize(0);
    m_oShadowNearCap.resize(0);
    m_oShadowFarCap.resize(0);
    m_bChanged = false;
    m_poShadowMeshData = m_poMeshData;
    m_uiShadowGeometryVersion = m_poMeshData != nullptr ? m_poMeshData->m_uiGeometryVersion : 0;
    m_bShadowSun = sun;
    m_bShadowCapped = capped;
    m_fShadowDepth = depth;

    const int n = getNumTriangles();
    MDL_Face *faces = faceNormals();
    if (n <= 0 || faces == nullptr)
        return;

    // The depth is in scene units; the mesh's scale is the length of its
    // first axis. A basis whose first axis has no length falls back to the
    // longest axis; a mesh scaled to nothing casts no volume.
    const MTH_Frame &frame = getGlobalFrame();
    double scale = frame.m_oBasis.getRow(0).length();
    if (!(scale > 0.0)) {
        scale = std::fmax(frame.m_oBasis.getRow(1).length(), frame.m_oBasis.getRow(2).length());
        if (!(scale > 0.0))
            return;
    }
    Extrusion x;
    frame.localPoint(lampPosition, x.m_oLamp);
    frame.localDirection(lampAxis, x.m_oDirection);
    x.m_oDirection = -x.m_oDirection;
    x.m_bSun = sun;
    x.m_fLength = depth / scale;

    const uint32_t *tri = m_poMeshData->m_puiTriangles;
    for (int i = 0; i < n; i++) {
        const MTH_Vector3D w = sun ? x.m_oDirection : vertexPosition(static_cast<int>(tri[3 * i])) - x.m_oLamp;
        faces[i].m_bFacesLamp = w.dot(faces[i].m_oNormal) < 0.0;
    }
    // Whether the triangle across edge k of face f is there and lit.
    auto litNeighbour = [faces, n](const MDL_Face &f, int k) {
        int o = f.m_aiNeighbours[k];
        return o >= 0 && o < n && faces[o].m_bFacesLamp;
    };

    // The lamp-facing triangles, then (double-sided meshes only) the backs
    // of the others, which face the lamp too: the same with the vertices in
    // reverse order.
    const bool doubleSided = isDoubleSided();
    for (int pass = 0; pass < (doubleSided ? 2 : 1); pass++) {
        for (int i = 0; i < n; i++) {
            const MDL_Face &face = faces[i];
            if (face.m_bFacesLamp != (pass == 0))
                continue;
            MTH_Vector3D near[3], far[3];
            for (int k = 0; k < 3; k++) {
                near[k] = vertexPosition(static_cast<int>(tri[3 * i + k]));
                far[k] = x.far(near[k]);
            }
            if (pass == 0) {
                if (capped) {
                    append3(m_oShadowNearCap, near[0], near[1], near[2]);
                    append3(m_oShadowFarCap, far[0], far[1], far[2]);
                }
                for (int k = 0; k < 3; k++) {
                    if (litNeighbour(face, k))
                        continue;
                    int k1 = (k + 1) % 3;
                    append3(m_oShadowSides, near[k], far[k], far[k1]);
                    append3(m_oShadowSides, near[k], far[k1], near[k1]);
                }
            } else {
                for (int k = 2; k >= 0; k--) {
                    if (capped) {
                        m_oShadowFarCap.append(far[k]);
                        m_oShadowNearCap.append(near[k]);
                    }
                    int o = face.m_aiNeighbours[k];
                    if (o >= 0 && o < n && !faces[o].m_bFacesLamp)
                        continue;
                    int k1 = (k + 1) % 3;
                    append3(m_oShadowSides, near[k1], far[k1], far[k]);
                    append3(m_oShadowSides, far[k], near[k], near[k1]);
                }
            }
        }
    }
}
