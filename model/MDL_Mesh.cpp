#include "model/MDL_Mesh.h"

#include <cmath>

#include "model/MDL_Material.h"
#include "model/MDL_RayTriangle.h"

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
    MDL_copyOwnMaterial(m_poMaterial, m_bOwnsMaterial, other.m_bOwnsMaterial);
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

inline bool intersect(const MTH_Vector3D &origin, const MTH_Vector3D &direction, const MTH_Vector3D &a,
                      const MTH_Vector3D &b, const MTH_Vector3D &c, double &t, bool anySide, bool doubleSided)
{
    return MDL_bRayMeetsTriangle(origin, direction, a, b, c, t, anySide, doubleSided, t);
}

// Whether the segment's ray meets the box's twelve triangles, wound to face
// outwards, below t; either side of the origin counts, so a segment that
// starts inside the box passes.
bool meetsBox(const MTH_Vector3D &from, const MTH_Vector3D &direction, const MTH_Vector3D &lo, const MTH_Vector3D &hi,
              double t, bool doubleSided)
{
    MTH_Vector3D corner[8];
    for (int i = 0; i < 8; i++)
        corner[i] = MTH_Vector3D((i & 1) ? hi.m_fX : lo.m_fX, (i & 2) ? hi.m_fY : lo.m_fY, (i & 4) ? hi.m_fZ : lo.m_fZ);
    static const int BOX[12][3] = {{0, 4, 6}, {0, 6, 2}, {1, 3, 7}, {1, 7, 5}, {0, 1, 5}, {0, 5, 4},
                                   {2, 6, 7}, {2, 7, 3}, {0, 2, 3}, {0, 3, 1}, {4, 5, 7}, {4, 7, 6}};
    for (int i = 0; i < 12; i++) {
        double boxT = t;
        if (intersect(from, direction, corner[BOX[i][0]], corner[BOX[i][1]], corner[BOX[i][2]], boxT, true,
                      doubleSided))
            return true;
    }
    return false;
}

} // namespace

bool MDL_intersectRayTriangle(const MDL_Mesh *mesh, const MTH_Vector3D &origin, const MTH_Vector3D &direction,
                              const MTH_Vector3D &a, const MTH_Vector3D &b, const MTH_Vector3D &c, double &t,
                              bool anySide)
{
    return intersect(origin, direction, a, b, c, t, anySide, mesh != nullptr && mesh->isDoubleSided());
}

const MDL_PickTree *MDL_Mesh::pickTree(const MTH_Vector3D *&positions, int &positionCount)
{
    if (m_poMeshData == nullptr)
        return nullptr;
    positions = m_poMeshData->m_poPositions;
    positionCount = m_poMeshData->m_iNumVertices;
    return m_poMeshData->getPickTree();
}

bool MDL_Mesh::pick(const MTH_Vector3D &from, const MTH_Vector3D &to, double &t, int &triangle)
{
    return pickTriangles(from, to, t, triangle, false);
}

bool MDL_Mesh::pickEveryTriangle(const MTH_Vector3D &from, const MTH_Vector3D &to, double &t, int &triangle)
{
    return pickTriangles(from, to, t, triangle, true);
}

bool MDL_Mesh::pickTriangles(const MTH_Vector3D &from, const MTH_Vector3D &to, double &t, int &triangle,
                             bool everyTriangle)
{
    if (m_poMeshData == nullptr)
        return false;
    const MTH_Vector3D direction = to - from;
    const bool doubleSided = isDoubleSided();
    if (!meetsBox(from, direction, boundingBoxMin(), boundingBoxMax(), t, doubleSided))
        return false;
    const MTH_Vector3D *positions = nullptr;
    int positionCount = 0;
    const MDL_PickTree *tree = everyTriangle ? nullptr : pickTree(positions, positionCount);
    if (tree != nullptr)
        return tree->pick(positions, positionCount, m_poMeshData->m_puiTriangles, from, direction, doubleSided, t,
                          triangle);
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
