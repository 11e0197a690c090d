#include "model/MDL_Mesh.h"

#include <cmath>

#include "model/MDL_Material.h"

namespace {

// What the geometry operations give for an index outside the arrays.
const MTH_Vector3D ZERO;

} // namespace

MDL_Mesh::MDL_Mesh()
    : m_poMeshData(nullptr), m_poMaterial(nullptr), m_bOwnsMaterial(false), m_iDisplayMode(DISPLAY_MODE_NORMAL),
      m_poShadowLamp(nullptr), m_bGeometryEdited(false), m_poShadowMeshData(nullptr), m_uiShadowGeometryVersion(0),
      m_bShadowSun(false), m_bShadowCapped(false), m_fShadowDepth(0.0)
{
    m_iType = OBJECT_MESH;
}

MDL_Mesh::MDL_Mesh(const MDL_Mesh &other)
    : MDL_Object(other), m_poMeshData(other.m_poMeshData), m_poMaterial(other.m_poMaterial), m_bOwnsMaterial(false),
      m_iDisplayMode(other.m_iDisplayMode), m_poShadowLamp(nullptr), m_bGeometryEdited(false),
      m_poShadowMeshData(nullptr), m_uiShadowGeometryVersion(0), m_bShadowSun(false), m_bShadowCapped(false),
      m_fShadowDepth(0.0)
{
    // Sharing the original's own material would leave the copy pointing at
    // freed memory once the original is deleted.
    if (other.m_bOwnsMaterial && other.m_poMaterial != nullptr) {
        m_poMaterial = new MDL_Material(*other.m_poMaterial);
        m_bOwnsMaterial = true;
    }
}

MDL_Mesh::~MDL_Mesh()
{
    if (m_bOwnsMaterial)
        delete m_poMaterial;
}

// --- geometry operations ---

const MTH_Vector3D &MDL_Mesh::vertexPosition(int i)
{
    if (m_poMeshData == nullptr || i < 0 || i >= m_poMeshData->m_iNumVertices)
        return ZERO;
    return m_poMeshData->m_poPositions[i];
}

const MTH_Vector3D &MDL_Mesh::vertexNormal(int i)
{
    if (m_poMeshData == nullptr || i < 0 || i >= m_poMeshData->m_iNumNormals)
        return ZERO;
    return m_poMeshData->m_poNormals[i];
}

MDL_Face *MDL_Mesh::faceNormals()
{
    return m_poMeshData != nullptr ? m_poMeshData->getFaces() : nullptr;
}

const MTH_Vector3D &MDL_Mesh::boundingBoxMin()
{
    return m_poMeshData != nullptr ? m_poMeshData->m_oMin : ZERO;
}

const MTH_Vector3D &MDL_Mesh::boundingBoxMax()
{
    return m_poMeshData != nullptr ? m_poMeshData->m_oMax : ZERO;
}

// --- material ---

void MDL_Mesh::setMaterial(MDL_Material *material)
{
    MDL_shareMaterial(m_poMaterial, m_bOwnsMaterial, material);
}

MDL_Material *MDL_Mesh::makeOwnMaterial()
{
    return MDL_ownMaterial(m_poMaterial, m_bOwnsMaterial);
}

// --- vertex edits ---

bool MDL_Mesh::getVertexPosition(int i, MTH_Vector3D &out) const
{
    if (i < 0 || i >= getNumVertices())
        return false;
    out = m_poMeshData->m_poPositions[i];
    return true;
}

bool MDL_Mesh::getVertexColor(int i, MTH_Vector4D &out) const
{
    if (i < 0 || i >= getNumColors())
        return false;
    out = m_poMeshData->m_poColors[i];
    return true;
}

bool MDL_Mesh::setVertexPosition(int i, const MTH_Vector3D &p)
{
    if (i < 0 || i >= getNumVertices())
        return false;
    m_poMeshData->setPosition(i, p);
    m_bGeometryEdited = true;
    return true;
}

bool MDL_Mesh::setVertexColor(int i, const MTH_Vector4D &c)
{
    if (i < 0 || i >= getNumColors())
        return false;
    m_poMeshData->setColor(i, c);
    m_bGeometryEdited = true;
    return true;
}

void MDL_Mesh::resetVertexPositions()
{
    if (m_poMeshData != nullptr && m_poMeshData->resetPositions())
        m_bGeometryEdited = true;
}

void MDL_Mesh::resetVertexColors()
{
    if (m_poMeshData != nullptr && m_poMeshData->resetColors())
        m_bGeometryEdited = true;
}

// --- render-pass tests ---

bool MDL_Mesh::isOpaque() const
{
    if (!hasState(STATE_VISIBLE) || getNumTriangles() <= 0)
        return false;
    return (m_poMaterial == nullptr || m_poMaterial->isOpaque()) && m_poMeshData->m_iNumNonOpaqueColors == 0;
}

bool MDL_Mesh::isTransparent() const
{
    if (!hasState(STATE_VISIBLE) || getNumTriangles() <= 0)
        return false;
    return (m_poMaterial != nullptr && m_poMaterial->isTransparent()) || m_poMeshData->m_iNumNonOpaqueColors > 0;
}

bool MDL_Mesh::isFullyTransparent() const
{
    if (!hasState(STATE_VISIBLE) || getNumTriangles() <= 0)
        return false;
    return m_poMaterial != nullptr && m_poMaterial->isFullyTransparent();
}

bool MDL_Mesh::castsShadow() const
{
    if (!hasState(STATE_VISIBLE) || getNumTriangles() <= 0)
        return false;
    if (m_iType != OBJECT_MESH && m_iType != OBJECT_ANIMATED_MESH)
        return false;
    return m_poMaterial == nullptr ||
           (m_poMaterial->m_bCastShadows && (!m_poMaterial->isTransparent() || m_poMaterial->m_bMirror));
}

// --- picking ---

namespace {

// The ray-triangle test of MDL_intersectRayTriangle, with the mesh's
// double-sidedness given, inlined into the pick loop.
inline bool intersect(const MTH_Vector3D &origin, const MTH_Vector3D &direction, const MTH_Vector3D &a,
                      const MTH_Vector3D &b, const MTH_Vector3D &c, double &t, bool anySide, bool doubleSided)
{
    const MTH_Vector3D ab = b - a;
    const MTH_Vector3D ac = c - a;
    const MTH_Vector3D n = ab.cross(ac);
    const double d = direction.dot(n);
    // The front faces the ray when d < 0; d = 0 (parallel ray, degenerate
    // triangle or zero direction) never hits, so nothing below divides by 0.
    if (!(d < 0.0) && !(d != 0.0 && doubleSided))
        return false;
    const double s = (n.dot(a) - n.dot(origin)) / d;
    if (!(s < t))
        return false;
    if (!anySide && !(s > 0.0))
        return false;

    // Inside test in the plane of the two axes other than n's largest
    // component: both sub-areas have that component's sign and their sum
    // does not exceed it (edges and corners count as inside).
    const MTH_Vector3D p = origin + direction * s - a;
    const double ax = std::fabs(n.m_fX), ay = std::fabs(n.m_fY), az = std::fabs(n.m_fZ);
    double u1, u2, v1, v2, p1, p2, area;
    if (ax >= ay && ax >= az) {
        u1 = ab.m_fY, u2 = ab.m_fZ, v1 = ac.m_fY, v2 = ac.m_fZ, p1 = p.m_fY, p2 = p.m_fZ, area = n.m_fX;
    } else if (ay >= az) {
        u1 = ab.m_fZ, u2 = ab.m_fX, v1 = ac.m_fZ, v2 = ac.m_fX, p1 = p.m_fZ, p2 = p.m_fX, area = n.m_fY;
    } else {
        u1 = ab.m_fX, u2 = ab.m_fY, v1 = ac.m_fX, v2 = ac.m_fY, p1 = p.m_fX, p2 = p.m_fY, area = n.m_fZ;
    }
    // p = a + beta (b - a) + gamma (c - a), scaled by area.
    const double beta = p1 * v2 - p2 * v1;
    const double gamma = u1 * p2 - u2 * p1;
    if (area > 0.0) {
        if (beta < 0.0 || gamma < 0.0 || beta + gamma > area)
            return false;
    } else {
        if (beta > 0.0 || gamma > 0.0 || beta + gamma < area)
            return false;
    }
    t = s;
    return true;
}

} // namespace

bool MDL_intersectRayTriangle(const MDL_Mesh *mesh, const MTH_Vector3D &origin, const MTH_Vector3D &direction,
                              const MTH_Vector3D &a, const MTH_Vector3D &b, const MTH_Vector3D &c, double &t,
                              bool anySide)
{
    return intersect(origin, direction, a, b, c, t, anySide, mesh != nullptr && mesh->isDoubleSided());
}

bool MDL_Mesh::pick(const MTH_Vector3D &from, const MTH_Vector3D &to, double &t, int &triangle)
{
    if (m_poMeshData == nullptr)
        return false;
    const MTH_Vector3D direction = to - from;

    // The box's twelve triangles, wound to face outwards; either side of the
    // origin counts, so a segment that starts inside the box passes.
    const MTH_Vector3D &lo = boundingBoxMin();
    const MTH_Vector3D &hi = boundingBoxMax();
    MTH_Vector3D corner[8];
    for (int i = 0; i < 8; i++)
        corner[i] = MTH_Vector3D((i & 1) ? hi.m_fX : lo.m_fX, (i & 2) ? hi.m_fY : lo.m_fY, (i & 4) ? hi.m_fZ : lo.m_fZ);
    static const int BOX[12][3] = {{0, 4, 6}, {0, 6, 2}, {1, 3, 7}, {1, 7, 5}, {0, 1, 5}, {0, 5, 4},
                                   {2, 6, 7}, {2, 7, 3}, {0, 2, 3}, {0, 3, 1}, {4, 5, 7}, {4, 7, 6}};
    const bool doubleSided = isDoubleSided();
    bool inBox = false;
    for (int i = 0; i < 12 && !inBox; i++) {
        double boxT = t;
        inBox = intersect(from, direction, corner[BOX[i][0]], corner[BOX[i][1]], corner[BOX[i][2]], boxT, true,
                          doubleSided);
    }
    if (!inBox)
        return false;

    bool hit = false;
    const int n = m_poMeshData->m_iNumTriangles;
    const uint32_t *v = m_poMeshData->m_puiTriangles;
    for (int i = 0; i < n; i++, v += 3) {
        if (intersect(from, direction, vertexPosition(static_cast<int>(v[0])), vertexPosition(static_cast<int>(v[1])),
                      vertexPosition(static_cast<int>(v[2])), t, false, doubleSided)) {
            triangle = i;
            hit = true;
        }
    }
    return hit;
}
