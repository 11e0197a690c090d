#pragma once

#include "foundation/MTH_Vector.h"
#include "foundation/UTIL_DynArray.h"

class MDL_Material;

// One transparent triangle in view space (the eye at the origin looking down
// -z), as a node of the sorting tree: its vertices with their normals,
// texture coordinates and colours (alpha -1 marks a vertex without colour),
// its unit plane normal turned away from the eye, its material, and the
// tree's links (indices into the node array, -1 for none).
struct VIEW_TransparentTriangle {
    MTH_Vector3D m_aoPositions[3];
    MTH_Vector3D m_aoNormals[3];
    MTH_Vector2D m_aoUVs[3];
    MTH_Vector4D m_aoColors[3];
    MTH_Vector3D m_oPlaneNormal;
    MDL_Material *m_poMaterial;
    int m_iNear; // the subtree on the eye's side of the plane
    int m_iFar;  // the subtree beyond the plane
    int m_iNext; // the next triangle in the same plane
};

// Transparent triangles sorted back to front by a binary space partitioning
// tree: each node's plane divides the triangles inserted after it into those
// on the eye's side and those beyond; triangles crossing a plane are split
// there. The walk then lays the triangles out far to near in flat arrays
// (three vertices per triangle) that OpenGL draws from, with one material
// per triangle.
//
// Nodes refer to each other by index, never by address, since the node
// storage moves as it grows; insertion and the walk keep their pending work
// in arrays of their own rather than on the call stack, so a deep tree
// (triangles inserted nearest first, say) costs memory, not stack.
class VIEW_TransparencyBSP {
public:
    // Everything empty; the arrays keep their memory from pass to pass.
    VIEW_TransparencyBSP();

    // Forgets the tree (its storage stays allocated).
    void clear();
    // Inserts a triangle (its links are ignored) from the root.
    void insert(const VIEW_TransparentTriangle &triangle);
    // Empties the output arrays and fills them by a walk of the tree, far
    // subtrees first.
    void buildArrays();

    // Triangles whose vertices lie within this distance of a node's plane
    // count as on it (the single-precision 1e-5).
    static const double kfPlaneEpsilon;
    // Splitting stops, a crossing triangle then joining the node's plane,
    // once the tree holds this many nodes per inserted triangle (beyond a
    // first allowance), so that a soup of triangles that cross each other
    // again and again cannot grow without bound.
    static constexpr int kiMaxNodesPerTriangle = 16;
    static constexpr int kiNodeAllowance = 4096;

    // --- the walk's output ---
    UTIL_DynArray<MTH_Vector2D> m_oUVs;
    UTIL_DynArray<MTH_Vector3D> m_oPositions;
    UTIL_DynArray<MTH_Vector3D> m_oNormals;
    UTIL_DynArray<MTH_Vector4D> m_oColors;
    UTIL_DynArray<MDL_Material *> m_oMaterials;
    // --- the tree: the root is node 0 ---
    UTIL_DynArray<VIEW_TransparentTriangle> m_oNodes;
    // Triangles inserted since the last clear (pieces of splits not counted).
    int m_iInserted;

private:
    // A triangle waiting to be inserted: from node m_iNode, or, when m_iSide
    // is 0 (near) or 1 (far), into that child of node m_iNode.
    struct Pending {
        VIEW_TransparentTriangle m_oTriangle;
        int m_iNode;
        int m_iSide;
    };
    struct Visit {
        int m_iNode;
        int m_iStep; // 0 far subtree, 1 the triangle and its plane, 2 near subtree
    };

    // Appends a node with no links; returns its index.
    int appendNode(const VIEW_TransparentTriangle &triangle);
    // Inserts one pending triangle, queueing the pieces of a split.
    void insertPending(const Pending &pending);
    // Splits a triangle by node's plane (distances d of its vertices) and
    // queues the pieces for node's children.
    void split(const VIEW_TransparentTriangle &triangle, const double d[3], int node);
    void queue(const VIEW_TransparentTriangle &triangle, int node, int side);
    void emit(const VIEW_TransparentTriangle &triangle);

    UTIL_DynArray<Pending> m_oPending;
    UTIL_DynArray<Visit> m_oVisits;
};
