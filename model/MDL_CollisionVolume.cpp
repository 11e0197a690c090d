#include "model/MDL_CollisionVolume.h"

#include <cmath>
#include <strings.h>

#include "model/MDL_FiniteValues.h"

namespace {

// Length of v; a vector too long for the plain sum of squares still gets its
// length (or the largest double), and a NaN gives 0.
double rowLength(const MTH_Vector3D &v)
{
    double l = v.length();
    if (!std::isfinite(l))
        l = std::hypot(v.m_fX, v.m_fY, v.m_fZ);
    return MDL_fFinite(l);
}

} // namespace

MDL_CollisionVolume::MDL_CollisionVolume(int shape)
    : m_fRadius(0), m_iShape(shape), m_iCollisionLayer(1), m_uiCollisionMask(0xFFFFFFFFu), m_iSweepSlot(-1)
{
    m_iType = OBJECT_COLLISION_VOLUME;
}

MDL_CollisionVolume::MDL_CollisionVolume(const MDL_CollisionVolume &other)
    : MDL_Object(other), m_fRadius(other.m_fRadius), m_iShape(other.m_iShape),
      m_iCollisionLayer(other.m_iCollisionLayer), m_uiCollisionMask(other.m_uiCollisionMask), m_iSweepSlot(-1)
{
}

int MDL_CollisionVolume::shapeFromName(const char *name)
{
    if (name == nullptr)
        return SHAPE_NONE;
    if (strcasecmp(name, "sphere") == 0)
        return SHAPE_SPHERE;
    if (strcasecmp(name, "box") == 0)
        return SHAPE_BOX;
    if (strcasecmp(name, "cylinder") == 0)
        return SHAPE_CYLINDER;
    return SHAPE_NONE;
}

int MDL_CollisionVolume::outlinePoints(int shape, const MTH_Vector3D &centre, const MTH_Vector3D rows[3], double radius,
                                       const MTH_Vector3D &direction, MTH_Vector3D points[8])
{
    switch (shape) {
    case SHAPE_SPHERE:
        points[0] = centre - direction * radius;
        points[1] = centre + direction * radius;
        return 2;
    case SHAPE_BOX:
        for (int i = 0; i < 8; i++)
            points[i] = centre + ((i & 1) != 0 ? rows[0] : -rows[0]) + ((i & 2) != 0 ? rows[1] : -rows[1]) +
                        ((i & 4) != 0 ? rows[2] : -rows[2]);
        return 8;
    case SHAPE_CYLINDER: {
        const MTH_Vector3D &a = rows[2];
        MTH_Vector3D axis = a;
        axis.normalize();
        MTH_Vector3D across = direction - axis * axis.dot(direction);
        if (!(across.normalize() > 1e-12))
            across = MTH_Vector3D(0, 0, 0);
        for (int i = 0; i < 4; i++)
            points[i] = centre + ((i & 1) != 0 ? a : -a) + across * ((i & 2) != 0 ? radius : -radius);
        return 4;
    }
    default:
        return 0;
    }
}

double MDL_CollisionVolume::halfExtentX()
{
    switch (m_iShape) {
    case SHAPE_SPHERE:
        return MDL_fFinite(m_fRadius);
    case SHAPE_BOX:
    case SHAPE_CYLINDER: {
        const MTH_Matrix3x3 &b = getGlobalBasis();
        return MDL_fFinite(std::fabs(b.getRow(0).m_fX) + std::fabs(b.getRow(1).m_fX) + std::fabs(b.getRow(2).m_fX));
    }
    default:
        return 0;
    }
}

double MDL_CollisionVolume::getMinX()
{
    if (m_iShape < SHAPE_SPHERE || m_iShape > SHAPE_CYLINDER)
        return 0;
    double half = halfExtentX();
    return MDL_fFinite(MDL_fFinite(getGlobalPosition().m_fX) - half);
}

double MDL_CollisionVolume::getMaxX()
{
    if (m_iShape < SHAPE_SPHERE || m_iShape > SHAPE_CYLINDER)
        return 0;
    double half = halfExtentX();
    return MDL_fFinite(MDL_fFinite(getGlobalPosition().m_fX) + half);
}

double MDL_CollisionVolume::getRadius()
{
    switch (m_iShape) {
    case SHAPE_SPHERE:
        m_fRadius = rowLength(getGlobalBasis().getRow(0));
        break;
    case SHAPE_BOX:
    case SHAPE_CYLINDER: {
        const MTH_Matrix3x3 &b = getGlobalBasis();
        MTH_Vector3D lengths(rowLength(b.getRow(0)), rowLength(b.getRow(1)), rowLength(b.getRow(2)));
        m_fRadius = rowLength(lengths);
        break;
    }
    default:
        break;
    }
    return m_fRadius;
}

void MDL_CollisionVolume::setCollisionMask(uint32_t mask)
{
    m_uiCollisionMask = mask;
    s_uiPlacementEdits++;
}

double MDL_SweepEndpoint::update()
{
    if (m_poObject == nullptr)
        m_fValue = 0;
    else
        m_fValue = m_bIsMin ? m_poObject->getMinX() : m_poObject->getMaxX();
    return m_fValue;
}
