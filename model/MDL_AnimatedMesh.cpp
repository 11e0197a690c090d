#include "model/MDL_AnimatedMesh.h"

#include <cfloat>
#include <cstdlib>
#include <cstring>
#include <new>

#include "foundation/MTH_Frame.h"
#include "foundation/UTIL_DynArray.h"
#include "model/MDL_MeshData.h"
#include "model/MDL_VertexGroup.h"

namespace {

// What the geometry operations give for an index outside the arrays.
const MTH_Vector3D ZERO;

// A copy of n elements of src (zeroed when src is null); null for n <= 0.
template <typename T> T *copyArray(const T *src, int n)
{
    if (n <= 0)
        return nullptr;
    T *block = static_cast<T *>(calloc(static_cast<size_t>(n), sizeof(T)));
    if (block == nullptr)
        throw std::bad_alloc();
    if (src != nullptr)
        memcpy(static_cast<void *>(block), static_cast<const void *>(src), sizeof(T) * static_cast<size_t>(n));
    return block;
}

void widen(MTH_Vector3D &min, MTH_Vector3D &max, const MTH_Vector3D &p)
{
    if (p.m_fX < min.m_fX)
        min.m_fX = p.m_fX;
    if (p.m_fY < min.m_fY)
        min.m_fY = p.m_fY;
    if (p.m_fZ < min.m_fZ)
        min.m_fZ = p.m_fZ;
    if (p.m_fX > max.m_fX)
        max.m_fX = p.m_fX;
    if (p.m_fY > max.m_fY)
        max.m_fY = p.m_fY;
    if (p.m_fZ > max.m_fZ)
        max.m_fZ = p.m_fZ;
}

// A frame's placement of points and directions, held in locals so that the
// inner loop of the deformation needs no calls; the arithmetic is that of
// MTH_Frame::globalPoint and globalDirection, term for term.
struct Placement {
    explicit Placement(const MTH_Frame &f)
        : r0(f.m_oBasis.getRow(0)), r1(f.m_oBasis.getRow(1)), r2(f.m_oBasis.getRow(2)), position(f.m_oPosition)
    {
    }
    MTH_Vector3D direction(const MTH_Vector3D &v) const
    {
        return MTH_Vector3D(v.m_fX * r0.m_fX + v.m_fY * r1.m_fX + v.m_fZ * r2.m_fX,
                            v.m_fX * r0.m_fY + v.m_fY * r1.m_fY + v.m_fZ * r2.m_fY,
                            v.m_fX * r0.m_fZ + v.m_fY * r1.m_fZ + v.m_fZ * r2.m_fZ);
    }
    MTH_Vector3D point(const MTH_Vector3D &v) const { return direction(v) + position; }

    MTH_Vector3D r0, r1, r2, position;
};

} // namespace

MDL_AnimatedMesh::MDL_AnimatedMesh()
    : m_iNumBindings(0), m_ppoGroups(nullptr), m_ppoBones(nullptr), m_bLocked(false), m_poDeformedPositions(nullptr),
      m_poDeformedNormals(nullptr), m_poDeformedFaces(nullptr), m_iNumDeformedVertices(0), m_iNumDeformedNormals(0),
      m_iNumDeformedFaces(0), m_poDeformedSource(nullptr), m_bDeformedData(false), m_uiDeformVersion(0)
{
    m_iType = OBJECT_ANIMATED_MESH;
}

MDL_AnimatedMesh::MDL_AnimatedMesh(const MDL_AnimatedMesh &other)
    : MDL_Mesh(other), m_iNumBindings(0), m_ppoGroups(nullptr), m_ppoBones(nullptr), m_bLocked(other.m_bLocked),
      m_poDeformedPositions(nullptr), m_poDeformedNormals(nullptr), m_poDeformedFaces(nullptr),
      m_iNumDeformedVertices(0), m_iNumDeformedNormals(0), m_iNumDeformedFaces(0), m_poDeformedSource(nullptr),
      m_bDeformedData(false), m_uiDeformVersion(0)
{
    if (other.m_iNumBindings > 0) {
        m_ppoGroups = copyArray(other.m_ppoGroups, other.m_iNumBindings);
        m_ppoBones = copyArray(other.m_ppoBones, other.m_iNumBindings);
        m_iNumBindings = other.m_iNumBindings;
    }
    matchMeshData();
}

MDL_AnimatedMesh::~MDL_AnimatedMesh()
{
    freeBindings();
    freeDeformed();
}

bool MDL_AnimatedMesh::loadFromXML(const TiXmlElement *element)
{
    return MDL_Object::loadFromXML(element);
}

void MDL_AnimatedMesh::freeDeformed()
{
    free(m_poDeformedPositions);
    free(m_poDeformedNormals);
    free(m_poDeformedFaces);
    m_poDeformedPositions = nullptr;
    m_poDeformedNormals = nullptr;
    m_poDeformedFaces = nullptr;
    m_iNumDeformedVertices = m_iNumDeformedNormals = m_iNumDeformedFaces = 0;
    m_poDeformedSource = nullptr;
    m_bDeformedData = false;
    m_uiDeformVersion++;
    m_oDeformedPickCache.clear();
}

void MDL_AnimatedMesh::freeBindings()
{
    free(m_ppoGroups);
    free(m_ppoBones);
    m_ppoGroups = nullptr;
    m_ppoBones = nullptr;
    m_iNumBindings = 0;
}

void MDL_AnimatedMesh::matchMeshData()
{
    MDL_MeshData *data = m_poMeshData;
    const int vertices = data != nullptr && data->m_poPositions != nullptr ? data->m_iNumVertices : 0;
    const int normals = data != nullptr && data->m_poNormals != nullptr ? data->m_iNumNormals : 0;
    const int faces = data != nullptr && data->m_poFaces != nullptr ? data->m_iNumTriangles : 0;
    if (m_bDeformedData && data == m_poDeformedSource && vertices == m_iNumDeformedVertices &&
        normals == m_iNumDeformedNormals && faces == m_iNumDeformedFaces)
        return;
    freeDeformed();
    if (data != nullptr) {
        m_poDeformedPositions = copyArray(data->m_poPositions, vertices);
        m_poDeformedNormals = copyArray(data->m_poNormals, normals);
        m_poDeformedFaces = copyArray(faces > 0 ? data->getFaces() : nullptr, faces);
        m_oDeformedMin = data->m_oMin;
        m_oDeformedMax = data->m_oMax;
    } else {
        m_oDeformedMin = MTH_Vector3D();
        m_oDeformedMax = MTH_Vector3D();
    }
    m_iNumDeformedVertices = vertices;
    m_iNumDeformedNormals = normals;
    m_iNumDeformedFaces = faces;
    m_poDeformedSource = data;
    m_bDeformedData = true;
}

// --- geometry operations ---

const MTH_Vector3D &MDL_AnimatedMesh::vertexPosition(int i)
{
    if (!m_bDeformedData)
        return MDL_Mesh::vertexPosition(i);
    return i >= 0 && i < m_iNumDeformedVertices ? m_poDeformedPositions[i] : ZERO;
}

const MTH_Vector3D &MDL_AnimatedMesh::vertexNormal(int i)
{
    if (!m_bDeformedData)
        return MDL_Mesh::vertexNormal(i);
    return i >= 0 && i < m_iNumDeformedNormals ? m_poDeformedNormals[i] : ZERO;
}

MDL_Face *MDL_AnimatedMesh::faceNormals()
{
    if (!m_bDeformedData)
        return MDL_Mesh::faceNormals();
    // The callers walk the current mesh data's triangles.
    matchMeshData();
    return m_poDeformedFaces;
}

const MTH_Vector3D &MDL_AnimatedMesh::boundingBoxMin()
{
    return m_bDeformedData ? m_oDeformedMin : MDL_Mesh::boundingBoxMin();
}

const MTH_Vector3D &MDL_AnimatedMesh::boundingBoxMax()
{
    return m_bDeformedData ? m_oDeformedMax : MDL_Mesh::boundingBoxMax();
}

const MDL_PickTree *MDL_AnimatedMesh::pickTree(const MTH_Vector3D *&positions, int &positionCount)
{
    if (!m_bDeformedData)
        return MDL_Mesh::pickTree(positions, positionCount);
    if (m_poMeshData == nullptr)
        return nullptr;
    positions = m_poDeformedPositions;
    positionCount = m_iNumDeformedVertices;
    return m_oDeformedPickCache.tree(positions, positionCount, m_poMeshData->m_puiTriangles,
                                     m_poMeshData->m_iNumTriangles, m_uiDeformVersion);
}

// --- bindings ---

bool MDL_AnimatedMesh::setBindingCount(int count)
{
    if (count < 0 || count > MDL_kiMaxBindings)
        return false;
    freeBindings();
    m_ppoGroups = copyArray<MDL_VertexGroup *>(nullptr, count);
    m_ppoBones = copyArray<MDL_Object *>(nullptr, count);
    m_iNumBindings = count;
    return true;
}

void MDL_AnimatedMesh::setBinding(int i, MDL_VertexGroup *group, MDL_Object *bone)
{
    if (i < 0 || i >= m_iNumBindings)
        return;
    m_ppoGroups[i] = group;
    m_ppoBones[i] = bone;
}

void MDL_AnimatedMesh::setBone(int i, MDL_Object *bone)
{
    if (i >= 0 && i < m_iNumBindings)
        m_ppoBones[i] = bone;
}

MDL_VertexGroup *MDL_AnimatedMesh::getGroup(int i) const
{
    return i >= 0 && i < m_iNumBindings ? m_ppoGroups[i] : nullptr;
}

MDL_Object *MDL_AnimatedMesh::getBone(int i) const
{
    return i >= 0 && i < m_iNumBindings ? m_ppoBones[i] : nullptr;
}

bool MDL_AnimatedMesh::forgetBone(const MDL_Object *bone)
{
    bool found = false;
    for (int i = 0; i < m_iNumBindings; i++)
        if (bone != nullptr && m_ppoBones[i] == bone) {
            m_ppoBones[i] = nullptr;
            found = true;
        }
    return found;
}

void MDL_AnimatedMesh::bindSkin()
{
    const int vertices = m_poMeshData != nullptr ? m_poMeshData->m_iNumVertices : 0;
    double *sums = copyArray<double>(nullptr, vertices);
    // Only the groups bound here for the first time enter the sums and are
    // divided by them.
    UTIL_DynArray<MDL_VertexGroup *> fresh;
    const MTH_Frame &mesh = getGlobalFrame();
    for (int i = 0; i < m_iNumBindings; i++) {
        MDL_VertexGroup *group = m_ppoGroups[i];
        MDL_Object *bone = m_ppoBones[i];
        if (group == nullptr || bone == nullptr || group->hasRestData())
            continue;
        MTH_Frame meshInBone = mesh;
        bone->getGlobalFrame().toLocalFrame(meshInBone);
        group->computeRestData(m_poMeshData, meshInBone, sums);
        fresh.append(group);
    }
    for (int i = 0; i < fresh.m_iCount; i++)
        fresh[i]->normalizeWeights(sums, vertices);
    free(sums);
}

bool MDL_AnimatedMesh::deform(bool force)
{
    if (!force) {
        if (m_bLocked)
            return false;
        bool moved = false;
        for (int i = 0; i < m_iNumBindings && !moved; i++)
            moved = m_ppoBones[i] != nullptr && m_ppoBones[i]->m_bChanged;
        if (!moved)
            return false;
    }
    matchMeshData();
    m_bChanged = true;
    m_uiDeformVersion++;
    const int vertices = m_iNumDeformedVertices;
    const int normals = m_iNumDeformedNormals;
    // Each array is cleared over its own length.
    if (vertices > 0)
        memset(static_cast<void *>(m_poDeformedPositions), 0, sizeof(MTH_Vector3D) * static_cast<size_t>(vertices));
    if (normals > 0)
        memset(static_cast<void *>(m_poDeformedNormals), 0, sizeof(MTH_Vector3D) * static_cast<size_t>(normals));

    const MTH_Frame &mesh = getGlobalFrame();
    for (int i = 0; i < m_iNumBindings; i++) {
        const MDL_VertexGroup *group = m_ppoGroups[i];
        MDL_Object *bone = m_ppoBones[i];
        if (group == nullptr || bone == nullptr || !group->hasRestData() || group->m_poRestPositions == nullptr)
            continue;
        MTH_Frame boneInMesh = bone->getGlobalFrame();
        mesh.toLocalFrame(boneInMesh);
        const Placement place(boneInMesh);
        for (int k = 0; k < group->m_iNumVertices; k++) {
            const int a = group->m_piVertexIndices[k];
            if (a < 0 || a >= vertices)
                continue;
            const double w = group->getWeight(k);
            m_poDeformedPositions[a] += place.point(group->m_poRestPositions[k]) * w;
            if (a < normals)
                m_poDeformedNormals[a] += place.direction(group->m_poRestNormals[k]) * w;
        }
    }

    // The box of the vertices that some binding places.
    MTH_Vector3D min(DBL_MAX, DBL_MAX, DBL_MAX), max(-DBL_MAX, -DBL_MAX, -DBL_MAX);
    bool placed = false;
    for (int i = 0; i < m_iNumBindings; i++) {
        const MDL_VertexGroup *group = m_ppoGroups[i];
        if (group == nullptr || m_ppoBones[i] == nullptr || group->m_poRestPositions == nullptr)
            continue;
        for (int k = 0; k < group->m_iNumVertices; k++) {
            const int a = group->m_piVertexIndices[k];
            if (a < 0 || a >= vertices)
                continue;
            widen(min, max, m_poDeformedPositions[a]);
            placed = true;
        }
    }
    m_oDeformedMin = placed ? min : MTH_Vector3D();
    m_oDeformedMax = placed ? max : MTH_Vector3D();

    if (m_poMeshData != nullptr && m_poDeformedFaces != nullptr) {
        const uint32_t *triangles = m_poMeshData->m_puiTriangles;
        for (int t = 0; t < m_iNumDeformedFaces; t++) {
            const uint32_t *v = triangles + 3 * t;
            if (v[0] >= static_cast<uint32_t>(vertices) || v[1] >= static_cast<uint32_t>(vertices) ||
                v[2] >= static_cast<uint32_t>(vertices)) {
                m_poDeformedFaces[t].m_oNormal = MTH_Vector3D();
                continue;
            }
            const MTH_Vector3D &p0 = m_poDeformedPositions[v[0]];
            m_poDeformedFaces[t].m_oNormal = (m_poDeformedPositions[v[1]] - p0).cross(m_poDeformedPositions[v[2]] - p0);
        }
    }
    return true;
}

MDL_Object *MDL_AnimatedMesh::dominantBone(int t, const MTH_Vector3D &barycentric) const
{
    if (m_poMeshData == nullptr || m_poMeshData->m_puiTriangles == nullptr || t < 0 ||
        t >= m_poMeshData->m_iNumTriangles)
        return nullptr;
    const uint32_t *v = m_poMeshData->m_puiTriangles + 3 * t;
    MDL_Object *best = nullptr;
    double bestWeight = -1.0;
    for (int i = 0; i < m_iNumBindings; i++) {
        const MDL_VertexGroup *group = m_ppoGroups[i];
        MDL_Object *bone = m_ppoBones[i];
        if (group == nullptr || bone == nullptr || bone->m_bDeleted)
            continue;
        double w = barycentric.m_fX * group->weightOfVertex(static_cast<int>(v[0])) +
                   barycentric.m_fY * group->weightOfVertex(static_cast<int>(v[1])) +
                   barycentric.m_fZ * group->weightOfVertex(static_cast<int>(v[2]));
        if (w > bestWeight) {
            bestWeight = w;
            best = bone;
        }
    }
    return best;
}
