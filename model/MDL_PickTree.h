#pragma once

#include <cstdint>

#include "foundation/MTH_Vector.h"
#include "foundation/UTIL_DynArray.h"

// A bounding-volume hierarchy over the triangles of one mesh, so that a pick
// visits the few triangles near the ray instead of all of them. It answers
// exactly what testing every triangle in index order answers: the nearest
// hit below the given limit, and of equally near hits the one of the lowest
// index (each triangle goes through the same ray-triangle test).
//
// The tree holds boxes and a triangle order only: the positions and
// triangles are handed to every operation, and must be the ones it was
// built from (or refitted to). A triangle index at or beyond the position
// count reads the position (0, 0, 0), as the mesh's geometry operations do.
class MDL_PickTree {
public:
    MDL_PickTree();
    MDL_PickTree(const MDL_PickTree &) = delete;
    MDL_PickTree &operator=(const MDL_PickTree &) = delete;

    // Builds the tree over triangleCount triangles (three indices each).
    void build(const MTH_Vector3D *positions, int positionCount, const uint32_t *triangles, int triangleCount);
    // The positions moved, the triangles stayed: every box is worked out
    // again from the same tree shape. Cheaper than a build; picks stay
    // exact, though slower when the shape changed much.
    void refit(const MTH_Vector3D *positions, int positionCount, const uint32_t *triangles);

    // The nearest triangle that the ray origin + s x direction meets at
    // 0 < s < t, front faces only unless doubleSided; on a hit t and
    // triangle are set and the result is true.
    bool pick(const MTH_Vector3D *positions, int positionCount, const uint32_t *triangles, const MTH_Vector3D &origin,
              const MTH_Vector3D &direction, bool doubleSided, double &t, int &triangle) const;

    int getTriangleCount() const { return m_iTriangleCount; }
    int getNodeCount() const { return m_oNodes.m_iCount; }

    // A node's box (single precision, rounded outwards so that it holds
    // what it bounds); a leaf (count above 0) holds the triangles
    // m_oOrder[first .. first + count - 1], an inner node has its children
    // at first and first + 1, both after it in the array.
    struct Node {
        float m_afMin[3];
        int32_t m_iFirst;
        float m_afMax[3];
        int32_t m_iCount;
    };

private:
    UTIL_DynArray<Node> m_oNodes;
    UTIL_DynArray<int32_t> m_oOrder;
    // Triangles that no box holds (a position that is not finite, no area,
    // a sliver): every pick tests them one by one.
    UTIL_DynArray<int32_t> m_oUnbounded;
    int m_iTriangleCount;
    // The largest magnitude of any bounded coordinate: how much rounding the
    // ray-triangle test can show, and so how far boxes are widened.
    double m_fMagnitude;
};

// A mesh geometry's pick tree, made when first asked for and kept up to
// date with its arrays: built again when they are other arrays or other
// counts than last time, refitted when only their contents changed (the
// version the owner counts its edits with moved on).
class MDL_PickCache {
public:
    MDL_PickCache() = default;
    ~MDL_PickCache() { delete m_poTree; }
    MDL_PickCache(const MDL_PickCache &) = delete;
    MDL_PickCache &operator=(const MDL_PickCache &) = delete;

    const MDL_PickTree *tree(const MTH_Vector3D *positions, int positionCount, const uint32_t *triangles,
                             int triangleCount, uint32_t version);
    // Drops the tree.
    void clear();

private:
    MDL_PickTree *m_poTree = nullptr;
    const MTH_Vector3D *m_poPositions = nullptr;
    int m_iPositionCount = 0;
    const uint32_t *m_puiTriangles = nullptr;
    int m_iTriangleCount = 0;
    uint32_t m_uiVersion = 0;
};
