#pragma once

#include <cstddef>
#include <cstdint>

#include "foundation/MTH_Vector.h"
#include "model/MDL_PickTree.h"

class TiXmlElement;

// Per-triangle record. Edge k runs from vertex k to vertex (k + 1) mod 3;
// m_aiNeighbours[k] is the triangle across it, -1 for an open edge. The face
// normal is (P1 - P0) x (P2 - P0), not normalised. m_bFacesLamp is scratch
// written by the shadow-volume build.
struct MDL_Face {
    int32_t m_aiNeighbours[3];
    MTH_Vector3D m_oNormal;
    bool m_bFacesLamp;
};

// Triangle geometry read once from a models-set "mesh" element and shared by
// every mesh object that names it (owned by the models set). All arrays are
// plain malloc blocks; the renderer reads them directly: positions and
// normals 3 doubles per vertex, UVs 2, colours 4 (RGBA, 0..1), triangles 3
// unsigned 32-bit indices.
//
// Well-formedness, established by loadFromXML and kept by every edit: every
// triangle index is below the vertex count; every neighbour is -1 or a
// triangle index; the normal, UV and colour counts are 0 or at least the
// vertex count; the box holds every position as read.
// A zeroed block of n elements of size bytes for the readers' arrays; null
// for n <= 0. Aborts when memory runs out, as the growable arrays do.
void *MDL_allocateZeroed(int64_t n, size_t size);

class MDL_MeshData;

// Told of every mesh data that is destroyed, before its memory is freed, so
// that whoever keeps resources for a mesh data by its address (the
// renderer's vertex buffers) lets them go before the address can serve
// another one.
class MDL_MeshDataObserver {
public:
    virtual ~MDL_MeshDataObserver() {}
    virtual void meshDataDestroyed(MDL_MeshData *data) = 0;
};

class MDL_MeshData {
public:
    // No name, no arrays, every count 0, single-sided, box (0, 0, 0).
    MDL_MeshData();
    // Tells every observer, then frees the arrays and the name.
    ~MDL_MeshData();
    MDL_MeshData(const MDL_MeshData &) = delete;
    MDL_MeshData &operator=(const MDL_MeshData &) = delete;

    // Reads a "mesh" element: attribute "name"; children "min" and "max"
    // (three numbers each; the box is computed from the positions when either
    // is missing or short), "double_sided" (first integer non-zero);
    // "vertices", "normals" (attributes "count" and "size", 4 for floats and
    // 8 for doubles, three hexadecimal numbers per element), "uvs" (the same
    // with two), "colors" ("count", four hexadecimal bytes per colour),
    // "triangles" ("count" and "size", 2 or 4 bytes per index, three per
    // triangle) and "neighbours" ("size", three per triangle; computed from
    // shared positions when absent). Face normals are computed.
    //
    // Damaged data are refused rather than trusted: a negative or oversized
    // count, an unknown size, an array whose text holds fewer values than its
    // count, or a triangle index at or above the vertex count leaves the mesh
    // data empty (name kept) and returns false with a diagnostic. Milder
    // damage is repaired with a diagnostic: a normal, UV or colour array with
    // fewer elements than there are vertices is dropped; neighbour lists that
    // are short, of an unknown size or out of range are replaced by computed
    // ones.
    bool loadFromXML(const TiXmlElement *element);
    // Frees every array; counts 0, box (0, 0, 0), single-sided. The name stays.
    void clear();

    const char *getName() const { return m_sName; }
    // Keeps a copy; null clears the name.
    void setName(const char *name);

    // Neighbour indices from shared vertex positions: two triangles whose
    // edges join the same two positions (in either order, compared exactly)
    // are neighbours, whatever their vertex indices, so seams of split
    // vertices still join. Open edges stay -1. Expected time linear in the
    // triangle count.
    void computeNeighbours();
    // Every face normal from the current positions; clears the faces-lamp
    // flags.
    void computeFaceNormals();
    // The face records, with face normals recomputed first when a vertex
    // position changed since they were last computed.
    MDL_Face *getFaces();
    // The box of the current positions ((0, 0, 0) for none) into min and max.
    void computeBoundingBox(MTH_Vector3D &min, MTH_Vector3D &max) const;
    // The pick tree over the current positions and triangles: built at the
    // first pick, refitted after position edits, built again after a load.
    const MDL_PickTree *getPickTree();

    // --- vertex edits (i must be a vertex or colour index) ---
    // The first edit keeps a copy of all positions; the box grows to hold p.
    void setPosition(int i, const MTH_Vector3D &p);
    // The first edit keeps a copy of all colours; the non-opaque colour count
    // follows alpha changes to and from 1.
    void setColor(int i, const MTH_Vector4D &c);
    // Back to the kept copy (which stays for later resets); false when no
    // edit was made.
    bool resetPositions();
    bool resetColors();
    // The number of colours whose alpha is not 1.
    int countNonOpaqueColors() const;
    // Whether every triangle index is below the vertex count: worked out
    // once for the triangle array and counts at hand and kept while they
    // stay, so that drawing checks it at no cost per pass (the loader refuses
    // other data, but mesh data made by other code is checked too).
    bool trianglesWithinVertices() const;

    // Observers of destruction; an observer must be removed before it is
    // destroyed. Adding one twice adds it once.
    static void addObserver(MDL_MeshDataObserver *observer);
    static void removeObserver(MDL_MeshDataObserver *observer);

    // --- fields, in order ---
    char *m_sName;
    int32_t m_iNumVertices;
    MTH_Vector3D *m_poPositions;
    MTH_Vector3D *m_poKeptPositions; // null until the first position edit
    int32_t m_iNumNormals;
    MTH_Vector3D *m_poNormals;
    int32_t m_iNumUVs;
    MTH_Vector2D *m_poUVs;
    int32_t m_iNumColors;
    MTH_Vector4D *m_poColors;
    MTH_Vector4D *m_poKeptColors; // null until the first colour edit
    int32_t m_iNumNonOpaqueColors;
    int32_t m_iNumTriangles;
    uint32_t *m_puiTriangles;
    MDL_Face *m_poFaces;
    bool m_bDoubleSided;
    MTH_Vector3D m_oMin;
    MTH_Vector3D m_oMax;
    // Face normals lag behind a position edit until getFaces.
    bool m_bFaceNormalsStale;
    // Counts position edits and resets, so that shadow volumes built from
    // these positions can tell they are out of date.
    uint32_t m_uiGeometryVersion;
    MDL_PickCache m_oPickCache;

private:
    bool fail(const char *source, const char *what);

    // What trianglesWithinVertices found, and for which array and counts.
    struct IndexCheck {
        const uint32_t *m_puiTriangles = nullptr;
        int32_t m_iNumTriangles = -1, m_iNumVertices = -1;
        bool m_bWithin = false;
    };
    mutable IndexCheck m_oIndexCheck;
};

// Refused element counts: at most this many vertices, normals, UVs, colours or
// triangles in one mesh (kept so that every array size fits easily in 32-bit
// index arithmetic).
const int32_t MDL_kiMaxMeshElements = 1 << 26;
