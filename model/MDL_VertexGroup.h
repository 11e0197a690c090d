#pragma once

#include <cstdint>

#include "foundation/MTH_Frame.h"
#include "foundation/MTH_Vector.h"

class MDL_MeshData;
class TiXmlElement;

// A set of mesh vertex indices with a weight each, read from an
// "animated_mesh" record of a models set (which owns the group). Animated
// meshes pair groups with bones; the group keeps its entries' rest data, the
// mesh positions and normals of its vertices in the coordinates of the bone
// it was first bound to, standing in its rest pose.
//
// Entry k is (m_piVertexIndices[k], weight k); a weight missing from a short
// weight array reads as 0. Indices are not checked against any mesh here:
// everyone who applies a group to a mesh skips entries outside its vertices.
class MDL_VertexGroup {
public:
    // No name, no entries, no rest data.
    MDL_VertexGroup();
    ~MDL_VertexGroup();
    MDL_VertexGroup(const MDL_VertexGroup &) = delete;
    MDL_VertexGroup &operator=(const MDL_VertexGroup &) = delete;

    // Reads an "animated_mesh" record: attribute "name"; child "vertices"
    // (attributes "count" and "size", 2 or 4 bytes per index, hexadecimal,
    // little-endian; a 16-bit 0xFFFF reads as -1) and child "weights"
    // ("count" and "size", 4 for floats and 8 for doubles). Earlier entries
    // and rest data are dropped first. A negative or oversized count, an
    // unknown size or a text shorter than its count leaves that array empty
    // with a diagnostic and the result false; a missing child leaves its
    // array empty. True otherwise (also for a group without children).
    bool loadFromXML(const TiXmlElement *element);

    const char *getName() const { return m_sName; }
    // Keeps a copy; null clears the name.
    void setName(const char *name);

    // Replaces the entries with copies of count indices and weights (weights
    // may be null: all 0); drops the rest data. False, nothing changed, for
    // a negative or oversized count or null indices with a count above 0.
    bool setEntries(int count, const int32_t *indices, const double *weights);

    int getNumEntries() const { return m_iNumVertices; }
    // Weight of entry k (0 for a k beyond the weight array).
    double getWeight(int k) const { return k >= 0 && k < m_iNumWeights ? m_pfWeights[k] : 0.0; }
    // The weight the group gives mesh vertex a (the sum over its entries for
    // that vertex); 0 when the vertex is not in the group.
    double weightOfVertex(int a) const;

    bool hasRestData() const { return m_bHasRestData; }
    // Works out the rest data from data's positions and normals seen through
    // meshInBone (the mesh's global frame re-expressed in the bone's): rest
    // position k = meshInBone applied to position a as a point, rest normal k
    // the same for normal a as a direction. Each entry's weight is added to
    // weightSums[a] (one double per vertex of data; null adds nothing).
    // Entries whose vertex (or normal) lies outside data get zero rest data
    // and add nothing. Replaces any earlier rest data.
    void computeRestData(const MDL_MeshData *data, const MTH_Frame &meshInBone, double *weightSums);
    // Divides each entry's weight by weightSums[a] of its vertex when that
    // sum is not 0; entries outside 0..vertexCount-1 keep their weight.
    void normalizeWeights(const double *weightSums, int vertexCount);
    void clearRestData();

    // --- fields, in order ---
    char *m_sName;
    int32_t m_iNumVertices;
    int32_t *m_piVertexIndices;
    MTH_Vector3D *m_poRestPositions; // one per entry, null until first bound
    MTH_Vector3D *m_poRestNormals;   // one per entry, null until first bound
    int32_t m_iNumWeights;
    double *m_pfWeights;
    // Set once the rest data were worked out (also for a group without
    // entries, whose arrays stay null).
    bool m_bHasRestData;

private:
    void clearEntries();
};

// Refused entry counts: at most this many indices or weights in one group.
const int32_t MDL_kiMaxGroupEntries = 1 << 26;
