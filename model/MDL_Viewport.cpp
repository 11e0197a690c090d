#include "model/MDL_Viewport.h"

#include <cfloat>
#include <cmath>

#include "model/MDL_Camera.h"
#include "model/MDL_FiniteValues.h"

namespace {

const double HALF_PI = 1.5707963267948966;

// Below the minimum gives the minimum, else above the maximum gives the
// maximum. A NaN value counts as 0 first.
double clampValue(double value, double minimum, double maximum)
{
    if (std::isnan(value))
        value = 0;
    if (value < minimum)
        value = minimum;
    else if (value > maximum)
        value = maximum;
    return value;
}

// An angle that is still infinite after clamping (infinite limits) means no
// direction: it counts as 0.
double finiteAngle(double angle)
{
    return std::isfinite(angle) ? angle : 0;
}

} // namespace

MDL_Viewport::MDL_Viewport(const MTH_Vector2D &position, const MTH_Vector2D &size)
    : m_fNavigationRadius(0), m_fNavigationElevation(0), m_fNavigationAzimuth(0), m_fRadiusMin(0),
      m_fRadiusMax(DBL_MAX), m_fElevationMin(-DBL_MAX), m_fElevationMax(DBL_MAX), m_fAzimuthMin(-DBL_MAX),
      m_fAzimuthMax(DBL_MAX), m_poCamera(nullptr), m_poMike(nullptr), m_oViewportSize(size),
      m_oViewportPosition(position), m_oViewportBackground(0, 0, 0, 0), m_bActive(true),
      m_iNavigationMode(NAVIGATION_FREE), m_iShadowType(SHADOW_3D)
{
}

MDL_Viewport::~MDL_Viewport()
{
    m_oProxyHandle.release();
}

double MDL_Viewport::getAspectRatio() const
{
    if (m_oViewportSize.m_fX == 0)
        return 0;
    return MDL_fFinite(m_oViewportSize.m_fY / m_oViewportSize.m_fX);
}

double MDL_Viewport::navigate(double x)
{
    if (m_poCamera == nullptr || (m_iNavigationMode != NAVIGATION_MIXED && m_iNavigationMode != NAVIGATION_GLASSBALL))
        return x;

    m_fNavigationRadius = clampValue(m_fNavigationRadius, m_fRadiusMin, m_fRadiusMax);
    m_fNavigationAzimuth = clampValue(m_fNavigationAzimuth, m_fAzimuthMin, m_fAzimuthMax);
    m_fNavigationElevation = clampValue(m_fNavigationElevation, m_fElevationMin, m_fElevationMax);

    // The camera keeps its scale: the length of its z axis. A zero or
    // unusable length would collapse (or poison) the camera's basis.
    const MTH_Vector3D &axis = m_poCamera->getLocalBasis().getRow(2);
    double scale = axis.length();
    if (!std::isfinite(scale))
        scale = std::hypot(axis.m_fX, axis.m_fY, axis.m_fZ);
    if (!(scale > 0) || !std::isfinite(scale))
        scale = 1;

    MTH_Frame &frame = m_poCamera->editLocalFrame();
    frame.m_oBasis.setEulerAngles(HALF_PI - finiteAngle(m_fNavigationElevation), 0,
                                  finiteAngle(m_fNavigationAzimuth) - HALF_PI);
    MTH_Vector3D offset = frame.m_oBasis.getRow(2) * MDL_fFinite(m_fNavigationRadius);
    MDL_makeFinite(offset);
    MTH_Vector3D target = m_oNavigationTarget;
    MDL_makeFinite(target);
    frame.m_oPosition = target + offset;
    MDL_makeFinite(frame.m_oPosition);
    frame.m_oBasis.scale(scale);
    frame.invalidateInverse();
    return x;
}

bool MDL_Viewport::toScene(const MTH_Vector3D &point, MTH_Vector3D &out)
{
    if (m_poCamera == nullptr)
        return false;
    double n = m_poCamera->m_fClipStart, f = m_poCamera->m_fClipEnd;
    double r = getAspectRatio();
    MTH_Vector3D plane(1 - 2 * point.m_fX, 2 * point.m_fY - r, (n - f) * point.m_fZ - n);
    MDL_makeFinite(plane);
    m_poCamera->unproject(plane, out);
    return true;
}

bool MDL_Viewport::fromScene(const MTH_Vector3D &point, MTH_Vector3D &out)
{
    if (m_poCamera == nullptr)
        return false;
    double n = m_poCamera->m_fClipStart, f = m_poCamera->m_fClipEnd;
    double r = getAspectRatio();
    MTH_Vector3D p;
    m_poCamera->project(point, p);
    double depth = n - f != 0 ? MDL_fFinite((p.m_fZ + n) / (n - f)) : 0;
    out = MTH_Vector3D(0.5 - 0.5 * p.m_fX, (r + p.m_fY) * 0.5, depth);
    MDL_makeFinite(out);
    return true;
}

bool MDL_Viewport::getPickRay(const MTH_Vector2D &point, MTH_Vector3D &origin, MTH_Vector3D &direction)
{
    MTH_Vector3D nearPoint, farPoint;
    if (!toScene(MTH_Vector3D(point.m_fX, point.m_fY, 0), nearPoint) ||
        !toScene(MTH_Vector3D(point.m_fX, point.m_fY, 1), farPoint))
        return false;
    origin = nearPoint;
    direction = farPoint - nearPoint;
    MDL_makeFinite(direction);
    return true;
}
