#include "model/MDL_Camera.h"

#include <cfloat>
#include <cmath>

#include "model/MDL_FiniteValues.h"

namespace {

const double DEGREES_TO_RADIANS = 0.017453292519943295;

// 49.14 degrees, a single-precision constant, in radians, and its focal value.
const double DEFAULT_ANGLE = 0.8576547837773691;
const double DEFAULT_FOCAL = 2.1872144498207944;

} // namespace

MDL_Camera::MDL_Camera() : m_fAngle(DEFAULT_ANGLE), m_fFocal(DEFAULT_FOCAL), m_fClipStart(1.0), m_fClipEnd(100.0)
{
    m_iType = OBJECT_CAMERA;
}

MDL_Camera::MDL_Camera(const MDL_Camera &other)
    : MDL_Object(other), m_fAngle(other.m_fAngle), m_fFocal(other.m_fFocal), m_fClipStart(other.m_fClipStart),
      m_fClipEnd(other.m_fClipEnd)
{
}

MDL_Camera::~MDL_Camera() {}

bool MDL_Camera::loadFromXML(const TiXmlElement *element)
{
    if (!MDL_Object::loadFromXML(element))
        return false;
    double value;
    if (MDL_readFiniteNumbers(element, "angle", &value, 1))
        setFOV(value * DEGREES_TO_RADIANS);
    MDL_readFiniteNumbers(element, "clip_start", &m_fClipStart, 1);
    MDL_readFiniteNumbers(element, "clip_end", &m_fClipEnd, 1);
    return true;
}

bool MDL_Camera::setFOV(double angle)
{
    if (!std::isfinite(angle))
        return false;
    // Worked out in extended precision, so that the stored focal value is the
    // correctly rounded one (a right angle gives exactly 1).
    long double tangent = std::tan(static_cast<long double>(angle) / 2);
    if (tangent == 0)
        return false;
    long double focal = 1.0L / tangent;
    if (!(std::fabs(focal) <= DBL_MAX))
        return false;
    double rounded = static_cast<double>(focal);
    if (rounded == 0)
        return false;
    m_fAngle = angle;
    m_fFocal = rounded;
    return true;
}

void MDL_Camera::project(const MTH_Vector3D &point, MTH_Vector3D &out)
{
    MTH_Vector3D p;
    getGlobalFrame().localPoint(point, p);
    MDL_makeFinite(p);
    p.m_fX = MDL_fScaledQuotient(p.m_fX, m_fFocal, p.m_fZ);
    p.m_fY = MDL_fScaledQuotient(p.m_fY, m_fFocal, p.m_fZ);
    out = p;
}

void MDL_Camera::unproject(const MTH_Vector3D &point, MTH_Vector3D &out)
{
    MTH_Vector3D p(MDL_fFinite(point.m_fX), MDL_fFinite(point.m_fY), MDL_fFinite(point.m_fZ));
    // The focal value is never 0 when it was set through setFOV; one written
    // directly is treated as project treats a depth of 0.
    p.m_fX = MDL_fScaledQuotient(p.m_fX, p.m_fZ, m_fFocal);
    p.m_fY = MDL_fScaledQuotient(p.m_fY, p.m_fZ, m_fFocal);
    getGlobalFrame().toGlobalPoint(p);
    MDL_makeFinite(p);
    out = p;
}
