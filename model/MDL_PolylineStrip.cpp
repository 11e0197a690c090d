// The thick line of a polyline as one triangle list: round caps at the ends
// of an open line, a body of two triangles per segment, and at each inner
// point a round join on the outer side of the turn; a closed outline of
// fewer than three corners is its start cap.
#include <cmath>

#include "model/MDL_Polyline.h"

namespace {

// cos 45 degrees, and the v of the caps' 45-degree points on the right and
// on the left of the line.
const double kfDiagonal = 0.7071067811865476;
const double kfCapRightV = 0.8535533905932737;
const double kfCapLeftV = 0.1464466094067262;
// Below this sine of the turn a joint counts as straight, or as a reversal
// when the line doubles back.
const double kfStraightSine = 0.2;

MTH_Vector2D leftNormal(const MTH_Vector2D &t)
{
    return MTH_Vector2D(-t.m_fY, t.m_fX);
}

// The unit direction from a to b; (1, 0) when they do not make one.
MTH_Vector2D direction(const MTH_Vector2D &a, const MTH_Vector2D &b)
{
    MTH_Vector2D d = b - a;
    double length = d.length();
    if (!(length > 0) || !std::isfinite(length))
        return MTH_Vector2D(1, 0);
    return d * (1 / length);
}

MTH_Vector2D normalized(const MTH_Vector2D &v)
{
    double length = v.length();
    return length > 0 ? v * (1 / length) : v;
}

// v turned counter-clockwise by 45 degrees (sign 1) or clockwise (sign -1).
MTH_Vector2D turned45(const MTH_Vector2D &v, double sign)
{
    double s = sign * kfDiagonal;
    return MTH_Vector2D(v.m_fX * kfDiagonal - v.m_fY * s, v.m_fX * s + v.m_fY * kfDiagonal);
}

struct Vertex {
    MTH_Vector2D m_oPosition;
    double m_fU, m_fV;
};

// Where a segment's body starts on one side, and the u it has there.
struct Corner {
    MTH_Vector2D m_oPosition;
    double m_fU;
};

class Strip {
public:
    Strip(UTIL_DynArray<MTH_Vector2D> &positions, UTIL_DynArray<MTH_Vector2D> &uvs, double thickness, double scale)
        : m_oPositions(positions), m_oUVs(uvs), m_fM(thickness), m_fK(scale)
    {
    }

    void vertex(const Vertex &v)
    {
        m_oPositions.append(v.m_oPosition);
        m_oUVs.append(MTH_Vector2D(v.m_fU, v.m_fV));
    }

    void triangle(const Vertex &a, const Vertex &b, const Vertex &c)
    {
        vertex(a);
        vertex(b);
        vertex(c);
    }

    // The half octagon behind p (t the line's direction there); the body of
    // the first segment starts from its two corners.
    void startCap(const MTH_Vector2D &p, const MTH_Vector2D &t)
    {
        const MTH_Vector2D n = leftNormal(t);
        const double d = kfDiagonal * m_fM;
        const Vertex l{p + n * m_fM, 0, 0}, r{p - n * m_fM, 0, 1};
        const Vertex br{p - (t + n) * d, -d * m_fK, kfCapRightV};
        const Vertex tip{p - t * m_fM, -m_fM * m_fK, 0.5};
        const Vertex bl{p - (t - n) * d, -d * m_fK, kfCapLeftV};
        triangle(l, r, br);
        triangle(l, br, tip);
        triangle(l, tip, bl);
        m_oLeft = Corner{l.m_oPosition, 0};
        m_oRight = Corner{r.m_oPosition, 0};
    }

    // The half octagon ahead of p, at length arc along the line.
    void endCap(const MTH_Vector2D &p, const MTH_Vector2D &t, double arc)
    {
        const MTH_Vector2D n = leftNormal(t);
        const double d = kfDiagonal * m_fM;
        const double u = m_fK * arc;
        const Vertex l{p + n * m_fM, u, 0}, r{p - n * m_fM, u, 1};
        const Vertex fr{p + (t - n) * d, u + d * m_fK, kfCapRightV};
        const Vertex tip{p + t * m_fM, u + m_fM * m_fK, 0.5};
        const Vertex fl{p + (t + n) * d, u + d * m_fK, kfCapLeftV};
        triangle(l, r, fr);
        triangle(l, fr, tip);
        triangle(l, tip, fl);
    }

    // The body of the segment that ends at the corners left and right.
    void body(const Corner &left, const Corner &right)
    {
        const Vertex leftIn{m_oLeft.m_oPosition, m_oLeft.m_fU, 0}, rightIn{m_oRight.m_oPosition, m_oRight.m_fU, 1};
        const Vertex leftEnd{left.m_oPosition, left.m_fU, 0}, rightEnd{right.m_oPosition, right.m_fU, 1};
        triangle(rightIn, rightEnd, leftIn);
        triangle(rightEnd, leftEnd, leftIn);
    }

    // The last segment's body up to p (t its direction, length its length)
    // and the end cap.
    void end(const MTH_Vector2D &p, const MTH_Vector2D &t, double length, double arc)
    {
        if (length > 0) {
            const MTH_Vector2D n = leftNormal(t);
            body(Corner{p + n * m_fM, m_fK * arc}, Corner{p - n * m_fM, m_fK * arc});
        }
        endCap(p, t, arc);
    }

    // The joint at g between the segment from previous and the one to next,
    // at length arc along the line; the next segment starts at length
    // arcOut. Without emit only the corners of the next segment are set up.
    void joint(const MTH_Vector2D &previous, const MTH_Vector2D &g, const MTH_Vector2D &next, double arc, double arcOut,
               bool emit)
    {
        const MTH_Vector2D d = direction(previous, g), h = direction(g, next);
        const MTH_Vector2D nh = leftNormal(h);
        const double s = d.cross(h), c = d.dot(h);
        const double u = m_fK * arc, uOut = m_fK * arcOut;
        if (!(std::fabs(s) >= kfStraightSine)) {
            // Nearly straight, or doubling back: the corners across the next
            // segment's start, exchanged on a reversal so that they stay on
            // the left and right of the incoming segment.
            MTH_Vector2D left = g + nh * m_fM, right = g - nh * m_fM;
            if (c < 0) {
                MTH_Vector2D swap = left;
                left = right;
                right = swap;
            }
            if (emit) {
                body(Corner{left, u}, Corner{right, u});
                if (c < 0) {
                    // A half octagon closes the turn ahead of g.
                    const Vertex apex{g + nh * m_fM, u, 0};
                    const Vertex a1{g - nh * m_fM, u, 1}, a2{g - turned45(h, 1) * m_fM, u, 1};
                    const Vertex a3{g - h * m_fM, u, 1}, a4{g - turned45(h, -1) * m_fM, u, 1};
                    triangle(apex, a1, a2);
                    triangle(apex, a2, a3);
                    triangle(apex, a3, a4);
                }
            }
            m_oLeft = Corner{g + nh * m_fM, uOut};
            m_oRight = Corner{g - nh * m_fM, uOut};
            return;
        }

        // A corner: the inner side is the side the line turns to.
        const bool leftTurn = s > 0;
        const MTH_Vector2D nd = leftNormal(d);
        const MTH_Vector2D innerD = leftTurn ? nd : nd * -1, innerH = leftTurn ? nh : nh * -1;
        const MTH_Vector2D outerD = innerD * -1, outerH = innerH * -1;
        // Where the inner offset lines meet; past the neighbouring points
        // the segments' own inner offsets at g are used instead.
        MTH_Vector2D eIn = g + (h - d) * (m_fM / std::fabs(s)), eOut = eIn;
        if ((eIn - previous).dot(d) < 0 || (eIn - next).dot(h) > 0) {
            eIn = g + innerD * m_fM;
            eOut = g + innerH * m_fM;
        }
        // The outer arc in four equal angles.
        const MTH_Vector2D mid = normalized(outerD + outerH);
        const MTH_Vector2D arcPoints[5] = {g + outerD * m_fM, g + normalized(outerD + mid) * m_fM, g + mid * m_fM,
                                           g + normalized(mid + outerH) * m_fM, g + outerH * m_fM};
        Corner &innerIn = leftTurn ? m_oLeft : m_oRight;
        Corner &outerIn = leftTurn ? m_oRight : m_oLeft;
        if (emit) {
            // Here v is 0 on the inner side and 1 on the outer side.
            const Vertex e{eIn, u, 0}, a0{arcPoints[0], u, 1};
            const Vertex inner{innerIn.m_oPosition, innerIn.m_fU, 0}, outer{outerIn.m_oPosition, outerIn.m_fU, 1};
            if ((eIn - innerIn.m_oPosition).dot(d) > 0)
                triangle(a0, inner, e);
            triangle(a0, outer, inner);
            for (int i = 4; i > 0; i--)
                triangle(e, Vertex{arcPoints[i], u, 1}, Vertex{arcPoints[i - 1], u, 1});
        }
        innerIn = Corner{eOut, uOut};
        outerIn = Corner{arcPoints[4], uOut};
    }

private:
    UTIL_DynArray<MTH_Vector2D> &m_oPositions;
    UTIL_DynArray<MTH_Vector2D> &m_oUVs;
    double m_fM; // half width
    double m_fK; // u per unit of length
    Corner m_oLeft{}, m_oRight{};
};

} // namespace

int MDL_Polyline::linePointsCount() const
{
    // A closed outline that comes back to its first point does not draw the
    // segment of length 0 back onto it.
    const UTIL_DynArray<MTH_Vector2D> &p = m_oPoints;
    int n = p.m_iCount;
    if (m_bClosed)
        while (n > 1 && p[n - 1].m_fX == p[0].m_fX && p[n - 1].m_fY == p[0].m_fY)
            n--;
    return n;
}

void MDL_Polyline::buildStrip()
{
    const double m = m_fThickness;
    const bool drawable = m > 0 && std::isfinite(m);
    const double k = drawable ? textureScale() : -1;
    if (!m_bLineDirty && k == m_fStripTextureScale)
        return;
    m_bLineDirty = false;
    m_fStripTextureScale = k;
    m_oLinePositions.resize(0);
    m_oLineUVs.resize(0);
    if (!drawable || m_oPoints.m_iCount == 0)
        return;
    const UTIL_DynArray<MTH_Vector2D> &p = m_oPoints;
    const int n = linePointsCount();
    Strip strip(m_oLinePositions, m_oLineUVs, m, k);
    if (isStartCapOnly()) {
        // No inside and no turn to join: the start cap, turned along the
        // first segment (along x without one).
        strip.startCap(p[0], n > 1 ? direction(p[0], p[1]) : MTH_Vector2D(1, 0));
        return;
    }

    if (m_bClosed) {
        // Joints at points 1, 2, ..., n - 1, 0 and 1 again: the first visit
        // of point 1 only sets up the corners that the second one closes.
        double arc = (p[1] - p[0]).length();
        strip.joint(p[0], p[1], p[2], arc, arc, false);
        const double first = arc;
        for (int j = 2; j < n; j++) {
            arc += (p[j] - p[j - 1]).length();
            strip.joint(p[j - 1], p[j], p[j + 1 < n ? j + 1 : 0], arc, arc, true);
        }
        arc += (p[0] - p[n - 1]).length();
        strip.joint(p[n - 1], p[0], p[1], arc, 0, true);
        strip.joint(p[0], p[1], p[2], first, first, true);
        return;
    }

    if (n == 1) {
        // Both caps back to back: an octagon around the point.
        strip.startCap(p[0], MTH_Vector2D(1, 0));
        strip.endCap(p[0], MTH_Vector2D(1, 0), 0);
        return;
    }
    strip.startCap(p[0], direction(p[0], p[1]));
    double arc = 0;
    for (int j = 1; j + 1 < n; j++) {
        arc += (p[j] - p[j - 1]).length();
        strip.joint(p[j - 1], p[j], p[j + 1], arc, arc, true);
    }
    const double last = (p[n - 1] - p[n - 2]).length();
    strip.end(p[n - 1], direction(p[n - 2], p[n - 1]), last, arc + last);
}
