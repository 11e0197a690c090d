#include "model/MDL_Polyline.h"

#include <cfloat>
#include <cmath>
#include <cstring>

#include "foundation/MTH_Triangulate.h"
#include "model/MDL_Material.h"
#include "model/MDL_Texture.h"

namespace {

const MTH_Vector2D ORIGIN;

void copyPoints(UTIL_DynArray<MTH_Vector2D> &to, const UTIL_DynArray<MTH_Vector2D> &from)
{
    to.resize(from.m_iCount);
    if (from.m_iCount > 0)
        memcpy(static_cast<void *>(to.m_pData), static_cast<const void *>(from.m_pData),
               sizeof(MTH_Vector2D) * static_cast<size_t>(from.m_iCount));
}

// Whether p lies in the triangle (a, b, c) or on its edges, whichever way it
// turns; a triangle without area holds nothing.
bool inTriangle(const MTH_Vector2D &p, const MTH_Vector2D &a, const MTH_Vector2D &b, const MTH_Vector2D &c)
{
    double area = (b - a).cross(c - a);
    if (!(area > 0) && !(area < 0))
        return false;
    double s = area > 0 ? 1 : -1;
    return s * (b - a).cross(p - a) >= 0 && s * (c - b).cross(p - b) >= 0 && s * (a - c).cross(p - c) >= 0;
}

} // namespace

MDL_Polyline::MDL_Polyline()
    : m_poMaterial(nullptr), m_bOwnsMaterial(false), m_oFillColor(0, 0, 0, 0), m_bFillDirty(false), m_bLineDirty(false),
      m_fThickness(static_cast<double>(0.01f)), m_bClosed(true), m_bFilled(false), m_bLineVisible(true),
      m_fStripTextureScale(-1)
{
    m_iType = OBJECT_POLYLINE;
}

MDL_Polyline::MDL_Polyline(const MDL_Polyline &other)
    : MDL_Object(other), m_poMaterial(other.m_poMaterial), m_bOwnsMaterial(false), m_oFillColor(other.m_oFillColor),
      m_bFillDirty(true), m_bLineDirty(true), m_fThickness(other.m_fThickness), m_bClosed(other.m_bClosed),
      m_bFilled(other.m_bFilled), m_bLineVisible(other.m_bLineVisible), m_fStripTextureScale(-1)
{
    MDL_copyOwnMaterial(m_poMaterial, m_bOwnsMaterial, other.m_bOwnsMaterial);
    copyPoints(m_oPoints, other.m_oPoints);
}

MDL_Polyline::~MDL_Polyline()
{
    if (m_bOwnsMaterial)
        delete m_poMaterial;
}

// --- points and shape ---

void MDL_Polyline::addPoint(const MTH_Vector2D &p)
{
    if (m_oPoints.m_iCount > 0) {
        const MTH_Vector2D &last = m_oPoints[m_oPoints.m_iCount - 1];
        if (last.m_fX == p.m_fX && last.m_fY == p.m_fY)
            return;
    }
    m_oPoints.append(p);
    m_bFillDirty = true;
    m_bLineDirty = true;
}

const MTH_Vector2D &MDL_Polyline::getPoint(int i) const
{
    return i >= 0 && i < m_oPoints.m_iCount ? m_oPoints[i] : ORIGIN;
}

void MDL_Polyline::clearPoints()
{
    m_oPoints.resize(0);
    m_bFillDirty = true;
    m_bLineDirty = true;
}

void MDL_Polyline::setClosed(bool closed)
{
    m_bClosed = closed;
    m_bLineDirty = true;
}

void MDL_Polyline::setThickness(double thickness)
{
    m_fThickness = thickness;
    m_bLineDirty = true;
}

// --- material ---

void MDL_Polyline::setMaterial(MDL_Material *material)
{
    MDL_shareMaterial(m_poMaterial, m_bOwnsMaterial, material);
}

MDL_Material *MDL_Polyline::makeOwnMaterial()
{
    return MDL_ownMaterial(m_poMaterial, m_bOwnsMaterial);
}

double MDL_Polyline::textureScale() const
{
    const MDL_Texture *texture = m_poMaterial != nullptr ? m_poMaterial->getFirstTexture() : nullptr;
    return texture != nullptr ? texture->getAspectRatio() / (2 * m_fThickness) : -1;
}

// --- triangle lists ---

const UTIL_DynArray<int> &MDL_Polyline::triangulate()
{
    if (m_bFillDirty) {
        m_oFillTriangles.resize(0);
        if (!MTH_triangulatePolygon(m_oPoints, m_oFillTriangles))
            m_oFillTriangles.resize(0);
        m_bFillDirty = false;
    }
    return m_oFillTriangles;
}

const UTIL_DynArray<MTH_Vector2D> &MDL_Polyline::getStripVertices()
{
    buildStrip();
    return m_oLinePositions;
}

const UTIL_DynArray<MTH_Vector2D> &MDL_Polyline::getStripUVs()
{
    buildStrip();
    return m_oLineUVs;
}

// --- queries ---

double MDL_Polyline::distanceToPoint(const MTH_Vector2D &p) const
{
    const int n = m_oPoints.m_iCount;
    if (n == 0)
        return DBL_MAX;
    const int segments = m_bClosed ? n : n - 1;
    if (segments == 0)
        return (p - m_oPoints[0]).length() - m_fThickness;
    double least = DBL_MAX;
    for (int i = 0; i < segments; i++) {
        double d = MTH_distancePointSegment2D(p, m_oPoints[i], m_oPoints[i + 1 < n ? i + 1 : 0]);
        if (d < least)
            least = d;
    }
    return least - m_fThickness;
}

bool MDL_Polyline::hitTest(const MTH_Vector2D &point)
{
    // The line, where it is drawn: a line that draws nothing (no thickness)
    // hits nothing, and a closed outline of fewer than three corners only in
    // its start cap.
    const UTIL_DynArray<MTH_Vector2D> &strip = getStripVertices();
    if (m_bLineVisible && strip.m_iCount > 0) {
        if (!isStartCapOnly() && distanceToPoint(point) < 0)
            return true;
        if (isStartCapOnly())
            for (int i = 0; i + 2 < strip.m_iCount; i += 3)
                if (inTriangle(point, strip[i], strip[i + 1], strip[i + 2]))
                    return true;
    }
    if (m_bFilled) {
        const UTIL_DynArray<int> &t = triangulate();
        for (int i = 0; i + 2 < t.m_iCount; i += 3)
            if (inTriangle(point, m_oPoints[t[i]], m_oPoints[t[i + 1]], m_oPoints[t[i + 2]]))
                return true;
    }
    return false;
}
