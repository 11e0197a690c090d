#include "view/opengl/VIEW_TransparencyBSP.h"

#include <cstdlib>

const double VIEW_TransparencyBSP::kfPlaneEpsilon = static_cast<double>(1e-5f);

namespace {

// One corner of a triangle with everything drawn from it.
struct Corner {
    MTH_Vector3D m_oPosition;
    MTH_Vector3D m_oNormal;
    MTH_Vector2D m_oUV;
    MTH_Vector4D m_oColor;
};

Corner cornerOf(const VIEW_TransparentTriangle &t, int i)
{
    return Corner{t.m_aoPositions[i], t.m_aoNormals[i], t.m_aoUVs[i], t.m_aoColors[i]};
}

// The triangle (a, b, c) with the plane normal and material of t.
VIEW_TransparentTriangle pieceOf(const VIEW_TransparentTriangle &t, const Corner &a, const Corner &b, const Corner &c)
{
    VIEW_TransparentTriangle piece = t;
    const Corner *corners[3] = {&a, &b, &c};
    for (int i = 0; i < 3; i++) {
        piece.m_aoPositions[i] = corners[i]->m_oPosition;
        piece.m_aoNormals[i] = corners[i]->m_oNormal;
        piece.m_aoUVs[i] = corners[i]->m_oUV;
        piece.m_aoColors[i] = corners[i]->m_oColor;
    }
    return piece;
}

MTH_Vector4D blend(const MTH_Vector4D &a, const MTH_Vector4D &b, double t)
{
    return MTH_Vector4D(t * b.m_fX + (1 - t) * a.m_fX, t * b.m_fY + (1 - t) * a.m_fY, t * b.m_fZ + (1 - t) * a.m_fZ,
                        t * b.m_fW + (1 - t) * a.m_fW);
}

// Where the edge from a (at distance da from the plane of normal n) to b
// meets the plane; a itself when the edge runs along the plane.
Corner splitEdge(const Corner &a, double da, const Corner &b, const MTH_Vector3D &n)
{
    double across = n.dot(a.m_oPosition - b.m_oPosition);
    if (across == 0)
        return a;
    double t = da / across;
    Corner x;
    x.m_oPosition = a.m_oPosition - (a.m_oPosition - b.m_oPosition) * t;
    x.m_oNormal = b.m_oNormal * t + a.m_oNormal * (1 - t);
    x.m_oUV = b.m_oUV * t + a.m_oUV * (1 - t);
    x.m_oColor = blend(a.m_oColor, b.m_oColor, t);
    return x;
}

const int NEAR_SIDE = 0, FAR_SIDE = 1;

// The side of a distance: near (the eye's), far, or -1 on the plane.
int sideOf(double d)
{
    if (d < -VIEW_TransparencyBSP::kfPlaneEpsilon)
        return NEAR_SIDE;
    if (d > VIEW_TransparencyBSP::kfPlaneEpsilon)
        return FAR_SIDE;
    return -1;
}

} // namespace

VIEW_TransparencyBSP::VIEW_TransparencyBSP() : m_iInserted(0)
{
    m_oUVs.m_bReleaseMemory = false;
    m_oPositions.m_bReleaseMemory = false;
    m_oNormals.m_bReleaseMemory = false;
    m_oColors.m_bReleaseMemory = false;
    m_oMaterials.m_bReleaseMemory = false;
    m_oNodes.m_bReleaseMemory = false;
    m_oPending.m_bReleaseMemory = false;
    m_oVisits.m_bReleaseMemory = false;
}

void VIEW_TransparencyBSP::clear()
{
    m_oNodes.resize(0);
    m_iInserted = 0;
}

int VIEW_TransparencyBSP::appendNode(const VIEW_TransparentTriangle &triangle)
{
    int index = m_oNodes.m_iCount;
    m_oNodes.resize(index + 1);
    VIEW_TransparentTriangle &node = m_oNodes[index];
    node = triangle;
    node.m_iNear = node.m_iFar = node.m_iNext = -1;
    return index;
}

void VIEW_TransparencyBSP::queue(const VIEW_TransparentTriangle &triangle, int node, int side)
{
    int index = m_oPending.m_iCount;
    m_oPending.resize(index + 1);
    Pending &pending = m_oPending[index];
    pending.m_oTriangle = triangle;
    pending.m_iNode = node;
    pending.m_iSide = side;
}

void VIEW_TransparencyBSP::insert(const VIEW_TransparentTriangle &triangle)
{
    m_iInserted++;
    if (m_oNodes.m_iCount == 0) {
        appendNode(triangle);
        return;
    }
    queue(triangle, 0, -1);
    // Last in, first out: the pieces of a split are queued last piece
    // first, so each goes down the tree whole before the next starts.
    while (m_oPending.m_iCount > 0) {
        Pending pending = m_oPending[m_oPending.m_iCount - 1];
        m_oPending.resize(m_oPending.m_iCount - 1);
        insertPending(pending);
    }
}

void VIEW_TransparencyBSP::insertPending(const Pending &pending)
{
    const VIEW_TransparentTriangle &t = pending.m_oTriangle;
    int node = pending.m_iNode;
    int side = pending.m_iSide;
    for (;;) {
        if (side >= 0) {
            // Into a child: a new leaf there, or on down from it.
            int child = side == NEAR_SIDE ? m_oNodes[node].m_iNear : m_oNodes[node].m_iFar;
            if (child < 0) {
                int leaf = appendNode(t);
                if (side == NEAR_SIDE)
                    m_oNodes[node].m_iNear = leaf;
                else
                    m_oNodes[node].m_iFar = leaf;
                return;
            }
            node = child;
        }
        // Copies: the node storage may move when nodes are appended.
        const MTH_Vector3D origin = m_oNodes[node].m_aoPositions[0];
        const MTH_Vector3D normal = m_oNodes[node].m_oPlaneNormal;
        double d[3];
        int nearCount = 0, farCount = 0;
        for (int i = 0; i < 3; i++) {
            d[i] = (t.m_aoPositions[i] - origin).dot(normal);
            int s = sideOf(d[i]);
            nearCount += s == NEAR_SIDE;
            farCount += s == FAR_SIDE;
        }
        if (nearCount > 0 && farCount == 0) {
            side = NEAR_SIDE;
        } else if (farCount > 0 && nearCount == 0) {
            side = FAR_SIDE;
        } else if ((nearCount == 0 && farCount == 0) ||
                   m_oNodes.m_iCount >= kiNodeAllowance + kiMaxNodesPerTriangle * m_iInserted) {
            // In the node's plane (or past the splitting budget): at the
            // head of its chain of coplanar triangles.
            int index = appendNode(t);
            m_oNodes[index].m_iNext = m_oNodes[node].m_iNext;
            m_oNodes[node].m_iNext = index;
            return;
        } else {
            split(t, d, node);
            return;
        }
    }
}

void VIEW_TransparencyBSP::split(const VIEW_TransparentTriangle &t, const double d[3], int node)
{
    const MTH_Vector3D normal = m_oNodes[node].m_oPlaneNormal;
    int sides[3];
    int onPlane = -1, nearCount = 0;
    for (int i = 0; i < 3; i++) {
        sides[i] = sideOf(d[i]);
        if (sides[i] < 0)
            onPlane = i;
        nearCount += sides[i] == NEAR_SIDE;
    }
    VIEW_TransparentTriangle pieces[3];
    int pieceSides[3];
    int count = 0;
    if (onPlane >= 0) {
        // One corner H on the plane, one on each side: the edge across is
        // cut at X.
        int h = onPlane, i = (h + 1) % 3, j = (i + 1) % 3;
        Corner x = splitEdge(cornerOf(t, j), d[j], cornerOf(t, i), normal);
        pieces[0] = pieceOf(t, cornerOf(t, h), cornerOf(t, i), x);
        pieceSides[0] = sides[i];
        pieces[1] = pieceOf(t, cornerOf(t, h), x, cornerOf(t, j));
        pieceSides[1] = sides[j];
        count = 2;
    } else {
        // One corner H alone on its side: a triangle there, a quad (two
        // triangles) on the other.
        int h = 0;
        for (int k = 0; k < 3; k++)
            if ((nearCount == 1) == (sides[k] == NEAR_SIDE))
                h = k;
        int j = (h + 1) % 3, i = (j + 1) % 3;
        Corner x1 = splitEdge(cornerOf(t, j), d[j], cornerOf(t, h), normal);
        Corner x2 = splitEdge(cornerOf(t, i), d[i], cornerOf(t, h), normal);
        pieces[0] = pieceOf(t, cornerOf(t, h), x1, x2);
        pieceSides[0] = sides[h];
        pieces[1] = pieceOf(t, cornerOf(t, j), cornerOf(t, i), x1);
        pieceSides[1] = sides[j];
        pieces[2] = pieceOf(t, cornerOf(t, i), x2, x1);
        pieceSides[2] = sides[j];
        count = 3;
    }
    for (int k = count - 1; k >= 0; k--)
        queue(pieces[k], node, pieceSides[k]);
}

void VIEW_TransparencyBSP::emit(const VIEW_TransparentTriangle &t)
{
    m_oMaterials.append(t.m_poMaterial);
    for (int i = 0; i < 3; i++) {
        m_oPositions.append(t.m_aoPositions[i]);
        m_oNormals.append(t.m_aoNormals[i]);
        m_oUVs.append(t.m_aoUVs[i]);
        m_oColors.append(t.m_aoColors[i]);
    }
}

void VIEW_TransparencyBSP::buildArrays()
{
    m_oUVs.resize(0);
    m_oPositions.resize(0);
    m_oNormals.resize(0);
    m_oColors.resize(0);
    m_oMaterials.resize(0);
    if (m_oNodes.m_iCount == 0)
        return;
    // Each node: its far subtree, itself, its coplanar chain (walked the
    // same way), its near subtree. Plane normals point away from the eye,
    // so the far side is the back: the arrays come out back to front.
    m_oVisits.resize(0);
    m_oVisits.append(Visit{0, 0});
    while (m_oVisits.m_iCount > 0) {
        Visit visit = m_oVisits[m_oVisits.m_iCount - 1];
        m_oVisits.resize(m_oVisits.m_iCount - 1);
        const VIEW_TransparentTriangle &node = m_oNodes[visit.m_iNode];
        int next = -1;
        if (visit.m_iStep == 0) {
            m_oVisits.append(Visit{visit.m_iNode, 1});
            next = node.m_iFar;
        } else if (visit.m_iStep == 1) {
            emit(node);
            m_oVisits.append(Visit{visit.m_iNode, 2});
            next = node.m_iNext;
        } else {
            next = node.m_iNear;
        }
        if (next >= 0)
            m_oVisits.append(Visit{next, 0});
    }
}
