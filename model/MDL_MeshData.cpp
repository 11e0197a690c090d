#include "model/MDL_MeshData.h"

#include <cfloat>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <new>

#include <tinyxml.h>

#include "foundation/UTIL_DynArray.h"
#include "foundation/UTIL_Log.h"
#include "foundation/UTIL_String.h"
#include "foundation/UTIL_XmlValues.h"

static_assert(sizeof(MTH_Vector2D) == 2 * sizeof(double), "UVs are read as packed doubles");
static_assert(sizeof(MTH_Vector3D) == 3 * sizeof(double), "positions and normals are read as packed doubles");
static_assert(sizeof(MTH_Vector4D) == 4 * sizeof(double), "colours are packed doubles");

void *MDL_allocateZeroed(int64_t n, size_t size)
{
    if (n <= 0)
        return nullptr;
    void *block = calloc(static_cast<size_t>(n), size);
    if (block == nullptr)
        throw std::bad_alloc();
    return block;
}

namespace {

const char *nameOf(const char *name)
{
    return name != nullptr ? name : "(unnamed)";
}

} // namespace

MDL_MeshData::MDL_MeshData()
    : m_sName(nullptr), m_iNumVertices(0), m_poPositions(nullptr), m_poKeptPositions(nullptr), m_iNumNormals(0),
      m_poNormals(nullptr), m_iNumUVs(0), m_poUVs(nullptr), m_iNumColors(0), m_poColors(nullptr),
      m_poKeptColors(nullptr), m_iNumNonOpaqueColors(0), m_iNumTriangles(0), m_puiTriangles(nullptr),
      m_poFaces(nullptr), m_bDoubleSided(false), m_bFaceNormalsStale(false), m_uiGeometryVersion(0)
{
}

namespace {

// The observers of destruction (a handful: one per renderer).
UTIL_DynArray<MDL_MeshDataObserver *> &observers()
{
    static UTIL_DynArray<MDL_MeshDataObserver *> s_oObservers;
    return s_oObservers;
}

} // namespace

void MDL_MeshData::addObserver(MDL_MeshDataObserver *observer)
{
    if (observer != nullptr && observers().find(observer) < 0)
        observers().append(observer);
}

void MDL_MeshData::removeObserver(MDL_MeshDataObserver *observer)
{
    observers().removeValue(observer);
}

MDL_MeshData::~MDL_MeshData()
{
    UTIL_DynArray<MDL_MeshDataObserver *> &list = observers();
    for (int i = 0; i < list.m_iCount; i++)
        list.m_pData[i]->meshDataDestroyed(this);
    clear();
    free(m_sName);
}

void MDL_MeshData::clear()
{
    free(m_poPositions);
    free(m_poKeptPositions);
    free(m_poNormals);
    free(m_poUVs);
    free(m_poColors);
    free(m_poKeptColors);
    free(m_puiTriangles);
    free(m_poFaces);
    m_poPositions = m_poKeptPositions = m_poNormals = nullptr;
    m_poUVs = nullptr;
    m_poColors = m_poKeptColors = nullptr;
    m_puiTriangles = nullptr;
    m_poFaces = nullptr;
    m_iNumVertices = m_iNumNormals = m_iNumUVs = m_iNumColors = m_iNumNonOpaqueColors = m_iNumTriangles = 0;
    m_bDoubleSided = false;
    m_oMin = MTH_Vector3D();
    m_oMax = MTH_Vector3D();
    m_bFaceNormalsStale = false;
    m_uiGeometryVersion++;
    m_oPickCache.clear();
    m_oIndexCheck = IndexCheck();
}

bool MDL_MeshData::trianglesWithinVertices() const
{
    IndexCheck &k = m_oIndexCheck;
    if (k.m_puiTriangles != m_puiTriangles || k.m_iNumTriangles != m_iNumTriangles ||
        k.m_iNumVertices != m_iNumVertices) {
        uint32_t largest = 0;
        const size_t n =
            m_puiTriangles != nullptr && m_iNumTriangles > 0 ? static_cast<size_t>(m_iNumTriangles) * 3 : 0;
        for (size_t i = 0; i < n; i++)
            largest = m_puiTriangles[i] > largest ? m_puiTriangles[i] : largest;
        k.m_puiTriangles = m_puiTriangles;
        k.m_iNumTriangles = m_iNumTriangles;
        k.m_iNumVertices = m_iNumVertices;
        k.m_bWithin = n == 0 || (m_iNumVertices > 0 && largest < static_cast<uint32_t>(m_iNumVertices));
    }
    return k.m_bWithin;
}

void MDL_MeshData::setName(const char *name)
{
    char *copy = UTIL_sCopyString(name);
    free(m_sName);
    m_sName = copy;
}

bool MDL_MeshData::fail(const char *source, const char *what)
{
    UTIL_warnFrom(source, "Mesh %s: %s; the mesh is left empty", nameOf(m_sName), what);
    clear();
    return false;
}

namespace {

// How one hexadecimal array of a "mesh" element is laid out.
struct ArrayLayout {
    const char *m_sElement;
    int m_iComponents; // values per element
    int m_iSizeA;      // accepted byte sizes of one value
    int m_iSizeB;
    bool m_bFixedSize; // colours: one byte per value, no "size" attribute
};

enum ArrayResult { ARRAY_ABSENT, ARRAY_READ, ARRAY_BAD };

// Validates the count, size and text length of an array element. The count
// is the element's "count" attribute (0 when absent) unless countGiven. On
// success count and size are set and the text holds at least count x
// components values; reason names the fault otherwise.
ArrayResult checkArray(const TiXmlElement *parent, const ArrayLayout &layout, int64_t &count, bool countGiven,
                       const TiXmlElement *&element, int &size, const char *&reason)
{
    element = parent->FirstChildElement(layout.m_sElement);
    if (element == nullptr)
        return ARRAY_ABSENT;
    if (!countGiven) {
        if (!UTIL_readIntAttribute(element, "count", count))
            count = 0;
    }
    if (count < 0 || count > MDL_kiMaxMeshElements) {
        reason = "count out of range";
        return ARRAY_BAD;
    }
    if (layout.m_bFixedSize) {
        size = 1;
    } else {
        int64_t s = 0;
        UTIL_readIntAttribute(element, "size", s);
        if (count > 0 && s != layout.m_iSizeA && s != layout.m_iSizeB) {
            reason = "unsupported value size";
            return ARRAY_BAD;
        }
        size = static_cast<int>(s);
    }
    // Sizes in 64 bits: count x components x size x 2 digits stays far
    // below 2^63 for any count that passed the range check.
    int64_t needed = count * layout.m_iComponents * size * 2;
    if (needed > UTIL_countHexDigits(element->GetText())) {
        reason = "array shorter than its count";
        return ARRAY_BAD;
    }
    return ARRAY_READ;
}

} // namespace

bool MDL_MeshData::loadFromXML(const TiXmlElement *element)
{
    clear();
    if (element == nullptr)
        return false;
    setName(element->Attribute("name"));
    UTIL_readChildBool(element, "double_sided", &m_bDoubleSided);
    const char *source = UTIL_xmlSource(element); // the models set, for diagnostics

    static const ArrayLayout VERTICES = {"vertices", 3, 4, 8, false};
    static const ArrayLayout NORMALS = {"normals", 3, 4, 8, false};
    static const ArrayLayout UVS = {"uvs", 2, 4, 8, false};
    static const ArrayLayout COLORS = {"colors", 4, 1, 1, true};
    static const ArrayLayout TRIANGLES = {"triangles", 3, 2, 4, false};
    static const ArrayLayout NEIGHBOURS = {"neighbours", 3, 2, 4, false};

    const TiXmlElement *e = nullptr;
    int size = 0;
    const char *reason = nullptr;
    char message[128];

    // Positions, normals and UVs: count x components numbers.
    struct DoubleArray {
        const ArrayLayout *m_poLayout;
        int32_t *m_piCount;
        double **m_ppfData;
    };
    double *positions = nullptr, *normals = nullptr, *uvs = nullptr;
    const DoubleArray arrays[3] = {
        {&VERTICES, &m_iNumVertices, &positions}, {&NORMALS, &m_iNumNormals, &normals}, {&UVS, &m_iNumUVs, &uvs}};
    bool failed = false;
    for (const DoubleArray &a : arrays) {
        int64_t count = 0;
        ArrayResult r = checkArray(element, *a.m_poLayout, count, false, e, size, reason);
        if (r == ARRAY_BAD) {
            snprintf(message, sizeof message, "\"%s\": %s", a.m_poLayout->m_sElement, reason);
            failed = true;
            break;
        }
        if (r == ARRAY_ABSENT)
            continue;
        int64_t values = count * a.m_poLayout->m_iComponents;
        *a.m_ppfData = static_cast<double *>(MDL_allocateZeroed(values, sizeof(double)));
        UTIL_hexToDoubles(e->GetText(), size, static_cast<int>(values), *a.m_ppfData);
        *a.m_piCount = static_cast<int32_t>(count);
    }
    m_poPositions = reinterpret_cast<MTH_Vector3D *>(positions);
    m_poNormals = reinterpret_cast<MTH_Vector3D *>(normals);
    m_poUVs = reinterpret_cast<MTH_Vector2D *>(uvs);
    if (failed)
        return fail(source, message);

    // Colours: four bytes each, alpha last.
    int64_t count = 0;
    ArrayResult r = checkArray(element, COLORS, count, false, e, size, reason);
    if (r == ARRAY_BAD) {
        snprintf(message, sizeof message, "\"colors\": %s", reason);
        return fail(source, message);
    }
    if (r == ARRAY_READ) {
        if (count > 0) {
            unsigned char *bytes = static_cast<unsigned char *>(MDL_allocateZeroed(count * 4, 1));
            UTIL_hexToBytes(e->GetText(), static_cast<int>(count * 4), bytes);
            m_poColors = static_cast<MTH_Vector4D *>(MDL_allocateZeroed(count, sizeof(MTH_Vector4D)));
            for (int64_t i = 0; i < count; i++) {
                const unsigned char *b = bytes + 4 * i;
                m_poColors[i] = MTH_Vector4D(b[0] / 255.0, b[1] / 255.0, b[2] / 255.0, b[3] / 255.0);
                if (b[3] != 255)
                    m_iNumNonOpaqueColors++;
            }
            free(bytes);
        }
        m_iNumColors = static_cast<int32_t>(count);
    }

    // Triangles: three indices each, every one a vertex.
    r = checkArray(element, TRIANGLES, count, false, e, size, reason);
    if (r == ARRAY_BAD) {
        snprintf(message, sizeof message, "\"triangles\": %s", reason);
        return fail(source, message);
    }
    if (r == ARRAY_READ) {
        int *indices = static_cast<int *>(MDL_allocateZeroed(count * 3, sizeof(int)));
        UTIL_hexToInts(e->GetText(), size, static_cast<int>(count * 3), indices);
        for (int64_t i = 0; i < count * 3; i++) {
            // A 16-bit 0xFFFF reads as -1; as an unsigned index it fails too.
            if (static_cast<uint32_t>(indices[i]) >= static_cast<uint32_t>(m_iNumVertices)) {
                snprintf(message, sizeof message, "triangle %lld uses vertex %u of %d", static_cast<long long>(i / 3),
                         static_cast<uint32_t>(indices[i]), m_iNumVertices);
                free(indices);
                return fail(source, message);
            }
        }
        // int and uint32_t share their representation; the values are all
        // non-negative here.
        m_puiTriangles = reinterpret_cast<uint32_t *>(indices);
        m_iNumTriangles = static_cast<int32_t>(count);
    }

    // Arrays the renderer reads per vertex must cover every vertex.
    struct PerVertex {
        const char *m_sElement;
        int32_t *m_piCount;
        void **m_ppData;
    };
    const PerVertex perVertex[3] = {{"normals", &m_iNumNormals, reinterpret_cast<void **>(&m_poNormals)},
                                    {"uvs", &m_iNumUVs, reinterpret_cast<void **>(&m_poUVs)},
                                    {"colors", &m_iNumColors, reinterpret_cast<void **>(&m_poColors)}};
    for (const PerVertex &p : perVertex) {
        if (*p.m_piCount > 0 && *p.m_piCount < m_iNumVertices) {
            UTIL_warnFrom(source, "Mesh %s: %d %s for %d vertices; the %s are dropped", nameOf(m_sName), *p.m_piCount,
                          p.m_sElement, m_iNumVertices, p.m_sElement);
            free(*p.m_ppData);
            *p.m_ppData = nullptr;
            *p.m_piCount = 0;
        }
    }
    if (m_iNumColors == 0)
        m_iNumNonOpaqueColors = 0;

    // Face records, with the file's neighbours when they are sound.
    m_poFaces = static_cast<MDL_Face *>(MDL_allocateZeroed(m_iNumTriangles, sizeof(MDL_Face)));
    bool haveNeighbours = false;
    count = m_iNumTriangles;
    r = checkArray(element, NEIGHBOURS, count, true, e, size, reason);
    if (r == ARRAY_BAD) {
        UTIL_warnFrom(source, "Mesh %s: \"neighbours\": %s; neighbours are computed instead", nameOf(m_sName), reason);
    } else if (r == ARRAY_READ && m_iNumTriangles > 0) {
        int *values = static_cast<int *>(MDL_allocateZeroed(static_cast<int64_t>(m_iNumTriangles) * 3, sizeof(int)));
        UTIL_hexToInts(e->GetText(), size, m_iNumTriangles * 3, values);
        haveNeighbours = true;
        for (int64_t i = 0; i < static_cast<int64_t>(m_iNumTriangles) * 3; i++) {
            // A 32-bit 0xffffffff is -1 as well.
            if (values[i] < -1 || values[i] >= m_iNumTriangles) {
                UTIL_warnFrom(source,
                              "Mesh %s: neighbour %d of triangle %lld out of range; neighbours are computed instead",
                              nameOf(m_sName), values[i], static_cast<long long>(i / 3));
                haveNeighbours = false;
                break;
            }
        }
        if (haveNeighbours)
            for (int32_t t = 0; t < m_iNumTriangles; t++)
                for (int k = 0; k < 3; k++)
                    m_poFaces[t].m_aiNeighbours[k] = values[3 * t + k];
        free(values);
    }
    if (!haveNeighbours)
        computeNeighbours();

    // The box as read, or from the positions when the file gives none.
    double min[3], max[3];
    if (UTIL_readChildDoubles(element, "min", min, 3) && UTIL_readChildDoubles(element, "max", max, 3)) {
        m_oMin = MTH_Vector3D(min[0], min[1], min[2]);
        m_oMax = MTH_Vector3D(max[0], max[1], max[2]);
    } else {
        computeBoundingBox(m_oMin, m_oMax);
    }

    computeFaceNormals();
    return true;
}

void MDL_MeshData::computeFaceNormals()
{
    for (int32_t t = 0; t < m_iNumTriangles; t++) {
        const uint32_t *v = m_puiTriangles + 3 * t;
        const MTH_Vector3D &p0 = m_poPositions[v[0]];
        MDL_Face &face = m_poFaces[t];
        face.m_oNormal = (m_poPositions[v[1]] - p0).cross(m_poPositions[v[2]] - p0);
        face.m_bFacesLamp = false;
    }
    m_bFaceNormalsStale = false;
}

const MDL_PickTree *MDL_MeshData::getPickTree()
{
    return m_oPickCache.tree(m_poPositions, m_iNumVertices, m_puiTriangles, m_iNumTriangles, m_uiGeometryVersion);
}

MDL_Face *MDL_MeshData::getFaces()
{
    if (m_bFaceNormalsStale)
        computeFaceNormals();
    return m_poFaces;
}

void MDL_MeshData::computeBoundingBox(MTH_Vector3D &min, MTH_Vector3D &max) const
{
    if (m_iNumVertices <= 0) {
        min = MTH_Vector3D();
        max = MTH_Vector3D();
        return;
    }
    min = MTH_Vector3D(DBL_MAX, DBL_MAX, DBL_MAX);
    max = MTH_Vector3D(-DBL_MAX, -DBL_MAX, -DBL_MAX);
    for (int32_t i = 0; i < m_iNumVertices; i++) {
        const MTH_Vector3D &p = m_poPositions[i];
        min.m_fX = std::fmin(min.m_fX, p.m_fX);
        min.m_fY = std::fmin(min.m_fY, p.m_fY);
        min.m_fZ = std::fmin(min.m_fZ, p.m_fZ);
        max.m_fX = std::fmax(max.m_fX, p.m_fX);
        max.m_fY = std::fmax(max.m_fY, p.m_fY);
        max.m_fZ = std::fmax(max.m_fZ, p.m_fZ);
    }
}

void MDL_MeshData::setPosition(int i, const MTH_Vector3D &p)
{
    if (m_poKeptPositions == nullptr && m_iNumVertices > 0) {
        m_poKeptPositions = static_cast<MTH_Vector3D *>(MDL_allocateZeroed(m_iNumVertices, sizeof(MTH_Vector3D)));
        memcpy(m_poKeptPositions, m_poPositions, sizeof(MTH_Vector3D) * static_cast<size_t>(m_iNumVertices));
    }
    m_poPositions[i] = p;
    // Picks test the box first: it must keep holding every vertex.
    m_oMin.m_fX = std::fmin(m_oMin.m_fX, p.m_fX);
    m_oMin.m_fY = std::fmin(m_oMin.m_fY, p.m_fY);
    m_oMin.m_fZ = std::fmin(m_oMin.m_fZ, p.m_fZ);
    m_oMax.m_fX = std::fmax(m_oMax.m_fX, p.m_fX);
    m_oMax.m_fY = std::fmax(m_oMax.m_fY, p.m_fY);
    m_oMax.m_fZ = std::fmax(m_oMax.m_fZ, p.m_fZ);
    m_bFaceNormalsStale = true;
    m_uiGeometryVersion++;
}

void MDL_MeshData::setColor(int i, const MTH_Vector4D &c)
{
    if (m_poKeptColors == nullptr && m_iNumColors > 0) {
        m_poKeptColors = static_cast<MTH_Vector4D *>(MDL_allocateZeroed(m_iNumColors, sizeof(MTH_Vector4D)));
        memcpy(m_poKeptColors, m_poColors, sizeof(MTH_Vector4D) * static_cast<size_t>(m_iNumColors));
    }
    double oldAlpha = m_poColors[i].m_fW;
    if (c.m_fW != 1.0 && oldAlpha == 1.0)
        m_iNumNonOpaqueColors++;
    else if (c.m_fW == 1.0 && oldAlpha != 1.0)
        m_iNumNonOpaqueColors--;
    m_poColors[i] = c;
}

bool MDL_MeshData::resetPositions()
{
    if (m_poKeptPositions == nullptr)
        return false;
    memcpy(m_poPositions, m_poKeptPositions, sizeof(MTH_Vector3D) * static_cast<size_t>(m_iNumVertices));
    m_bFaceNormalsStale = true;
    m_uiGeometryVersion++;
    return true;
}

bool MDL_MeshData::resetColors()
{
    if (m_poKeptColors == nullptr)
        return false;
    memcpy(m_poColors, m_poKeptColors, sizeof(MTH_Vector4D) * static_cast<size_t>(m_iNumColors));
    m_iNumNonOpaqueColors = countNonOpaqueColors();
    return true;
}

int MDL_MeshData::countNonOpaqueColors() const
{
    int n = 0;
    for (int32_t i = 0; i < m_iNumColors; i++)
        if (m_poColors[i].m_fW != 1.0)
            n++;
    return n;
}
