#include "model/MDL_VertexGroup.h"

#include <cstdlib>
#include <cstring>

#include <tinyxml.h>

#include "foundation/UTIL_Log.h"
#include "foundation/UTIL_XmlValues.h"
#include "model/MDL_MeshData.h"

namespace {

// An integer attribute, 0 when absent (values beyond 32 bits fail the
// callers' range checks).
int64_t intAttributeOr0(const TiXmlElement *element, const char *name)
{
    int64_t value = 0;
    UTIL_readIntAttribute(element, name, value);
    return value;
}

// Checks a "count"/"size" array; on success count and size are set and the
// text holds count values of that size.
bool checkArray(const TiXmlElement *element, int sizeA, int sizeB, int64_t &count, int &size, const char *&reason)
{
    count = intAttributeOr0(element, "count");
    if (count < 0 || count > MDL_kiMaxGroupEntries) {
        reason = "count out of range";
        return false;
    }
    int64_t s = intAttributeOr0(element, "size");
    if (count > 0 && s != sizeA && s != sizeB) {
        reason = "unsupported value size";
        return false;
    }
    if (count * s * 2 > UTIL_countHexDigits(element->GetText())) {
        reason = "array shorter than its count";
        return false;
    }
    size = static_cast<int>(s);
    return true;
}

const char *nameOf(const char *name)
{
    return name != nullptr ? name : "(unnamed)";
}

} // namespace

MDL_VertexGroup::MDL_VertexGroup()
    : m_sName(nullptr), m_iNumVertices(0), m_piVertexIndices(nullptr), m_poRestPositions(nullptr),
      m_poRestNormals(nullptr), m_iNumWeights(0), m_pfWeights(nullptr), m_bHasRestData(false)
{
}

MDL_VertexGroup::~MDL_VertexGroup()
{
    clearEntries();
    free(m_sName);
}

void MDL_VertexGroup::setName(const char *name)
{
    char *copy = name != nullptr ? strdup(name) : nullptr;
    free(m_sName);
    m_sName = copy;
}

void MDL_VertexGroup::clearRestData()
{
    free(m_poRestPositions);
    free(m_poRestNormals);
    m_poRestPositions = nullptr;
    m_poRestNormals = nullptr;
    m_bHasRestData = false;
}

void MDL_VertexGroup::clearEntries()
{
    clearRestData();
    free(m_piVertexIndices);
    free(m_pfWeights);
    m_piVertexIndices = nullptr;
    m_pfWeights = nullptr;
    m_iNumVertices = 0;
    m_iNumWeights = 0;
}

bool MDL_VertexGroup::loadFromXML(const TiXmlElement *element)
{
    clearEntries();
    if (element == nullptr)
        return false;
    setName(element->Attribute("name"));
    bool ok = true;
    const char *reason = nullptr;
    int64_t count = 0;
    int size = 0;

    const TiXmlElement *vertices = element->FirstChildElement("vertices");
    if (vertices != nullptr) {
        if (checkArray(vertices, 2, 4, count, size, reason)) {
            m_piVertexIndices = static_cast<int32_t *>(MDL_allocateZeroed(count, sizeof(int32_t)));
            if (count > 0)
                UTIL_hexToInts(vertices->GetText(), size, static_cast<int>(count), m_piVertexIndices);
            m_iNumVertices = static_cast<int32_t>(count);
        } else {
            UTIL_warnFrom(UTIL_xmlSource(element), "Vertex group %s: \"vertices\": %s; the group has no vertices",
                          nameOf(m_sName), reason);
            ok = false;
        }
    }
    const TiXmlElement *weights = element->FirstChildElement("weights");
    if (weights != nullptr) {
        if (checkArray(weights, 4, 8, count, size, reason)) {
            m_pfWeights = static_cast<double *>(MDL_allocateZeroed(count, sizeof(double)));
            if (count > 0)
                UTIL_hexToDoubles(weights->GetText(), size, static_cast<int>(count), m_pfWeights);
            m_iNumWeights = static_cast<int32_t>(count);
        } else {
            UTIL_warnFrom(UTIL_xmlSource(element), "Vertex group %s: \"weights\": %s; the group has no weights",
                          nameOf(m_sName), reason);
            ok = false;
        }
    }
    return ok;
}

bool MDL_VertexGroup::setEntries(int count, const int32_t *indices, const double *weights)
{
    if (count < 0 || count > MDL_kiMaxGroupEntries || (count > 0 && indices == nullptr))
        return false;
    clearEntries();
    m_piVertexIndices = static_cast<int32_t *>(MDL_allocateZeroed(count, sizeof(int32_t)));
    m_pfWeights = static_cast<double *>(MDL_allocateZeroed(count, sizeof(double)));
    if (count > 0) {
        memcpy(m_piVertexIndices, indices, sizeof(int32_t) * static_cast<size_t>(count));
        if (weights != nullptr)
            memcpy(m_pfWeights, weights, sizeof(double) * static_cast<size_t>(count));
    }
    m_iNumVertices = count;
    m_iNumWeights = count;
    return true;
}

double MDL_VertexGroup::weightOfVertex(int a) const
{
    double weight = 0.0;
    for (int k = 0; k < m_iNumVertices; k++)
        if (m_piVertexIndices[k] == a)
            weight += getWeight(k);
    return weight;
}

void MDL_VertexGroup::computeRestData(const MDL_MeshData *data, const MTH_Frame &meshInBone, double *weightSums)
{
    clearRestData();
    m_poRestPositions = static_cast<MTH_Vector3D *>(MDL_allocateZeroed(m_iNumVertices, sizeof(MTH_Vector3D)));
    m_poRestNormals = static_cast<MTH_Vector3D *>(MDL_allocateZeroed(m_iNumVertices, sizeof(MTH_Vector3D)));
    m_bHasRestData = true;
    const int vertices = data != nullptr ? data->m_iNumVertices : 0;
    const int normals = data != nullptr && data->m_poNormals != nullptr ? data->m_iNumNormals : 0;
    for (int k = 0; k < m_iNumVertices; k++) {
        const int a = m_piVertexIndices[k];
        if (a < 0 || a >= vertices)
            continue;
        if (weightSums != nullptr)
            weightSums[a] += getWeight(k);
        meshInBone.globalPoint(data->m_poPositions[a], m_poRestPositions[k]);
        if (a < normals)
            meshInBone.globalDirection(data->m_poNormals[a], m_poRestNormals[k]);
    }
}

void MDL_VertexGroup::normalizeWeights(const double *weightSums, int vertexCount)
{
    if (weightSums == nullptr)
        return;
    const int n = m_iNumVertices < m_iNumWeights ? m_iNumVertices : m_iNumWeights;
    for (int k = 0; k < n; k++) {
        const int a = m_piVertexIndices[k];
        if (a < 0 || a >= vertexCount)
            continue;
        if (weightSums[a] != 0.0)
            m_pfWeights[k] /= weightSums[a];
    }
}
