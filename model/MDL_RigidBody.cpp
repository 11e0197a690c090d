#include "model/MDL_RigidBody.h"

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <typeinfo>

#include "foundation/MTH_Matrix3x3.h"
#include "model/MDL_BodyLink.h"
#include "model/MDL_CollisionVolume.h"
#include "model/MDL_Mesh.h"

namespace {

// Defaults and rest thresholds kept as single-precision constants, widened.
const float DEFAULT_DAMPING = 0.2f;
const float DEFAULT_ELASTICITY = 0.6f;
const float DEFAULT_FRICTION = 0.8f;
const float REST_ANGULAR_SPEED_SQUARED = 0.1f;
const float REST_SPEED_SQUARED = 0.01f;
// Damping rates below this integrate as no damping.
const double NO_DAMPING = 1e-5;

double reciprocal(double value)
{
    return value == 0 ? 0 : 1 / value;
}

double inverseOrInfinity(double value)
{
    return value == 0 ? std::numeric_limits<double>::infinity() : 1 / value;
}

MTH_Vector3D product(const MTH_Vector3D &a, const MTH_Vector3D &b)
{
    return MTH_Vector3D(a.m_fX * b.m_fX, a.m_fY * b.m_fY, a.m_fZ * b.m_fZ);
}

// Coordinate k (0 x, 1 y, 2 z) of a vector.
inline double component(const MTH_Vector3D &v, int k)
{
    static double MTH_Vector3D::*const s_apfAxes[3] = {&MTH_Vector3D::m_fX, &MTH_Vector3D::m_fY, &MTH_Vector3D::m_fZ};
    return v.*s_apfAxes[k];
}

inline const MTH_Vector3D &unit(int k)
{
    static const MTH_Vector3D s_aoUnits[3] = {MTH_Vector3D(1, 0, 0), MTH_Vector3D(0, 1, 0), MTH_Vector3D(0, 0, 1)};
    return s_aoUnits[k];
}

bool isZero(const MTH_Vector3D &v)
{
    return v.m_fX == 0 && v.m_fY == 0 && v.m_fZ == 0;
}

// The factors of the exact solution of dv/dt = a - k v over dt: v' = h v +
// G a, displacement G v + L a.
void computeDampingFactors(double k, double dt, double &h, double &G, double &L)
{
    if (k < NO_DAMPING) {
        h = 1;
        G = dt;
        L = dt * dt / 2;
    } else {
        h = std::exp(-k * dt);
        G = (1 - h) / k;
        L = (dt - G) / k;
    }
}

// The same, kept for the last few rates and steps asked for: most bodies of
// a scene share them, and every step has the same length.
void dampingFactors(double k, double dt, double &h, double &G, double &L)
{
    struct Factors {
        uint64_t m_uiRate, m_uiStep;
        double m_fH, m_fG, m_fL;
    };
    static Factors s_aoKept[4];
    static int s_iKept = 0, s_iNext = 0;
    uint64_t rate, step;
    std::memcpy(&rate, &k, sizeof rate);
    std::memcpy(&step, &dt, sizeof step);
    for (int i = 0; i < s_iKept; i++)
        if (s_aoKept[i].m_uiRate == rate && s_aoKept[i].m_uiStep == step) {
            h = s_aoKept[i].m_fH;
            G = s_aoKept[i].m_fG;
            L = s_aoKept[i].m_fL;
            return;
        }
    computeDampingFactors(k, dt, h, G, L);
    s_aoKept[s_iNext] = Factors{rate, step, h, G, L};
    s_iNext = (s_iNext + 1) % 4;
    if (s_iKept < 4)
        s_iKept++;
}

// The mesh that carries a collision volume, or null when its parent is no
// mesh (then it has no vertices to offer).
MDL_Mesh *carrierMesh(MDL_Object *volume)
{
    MDL_Object *parent = volume->getParent();
    if (parent == nullptr || (parent->m_iType != OBJECT_MESH && parent->m_iType != OBJECT_ANIMATED_MESH))
        return nullptr;
    return dynamic_cast<MDL_Mesh *>(parent);
}

// A candidate point replaces the lowest (highest) one when its k-coordinate
// is strictly lower (higher).
inline void offer(const MTH_Vector3D &candidate, MDL_Object *object, int k, MTH_Vector3D &lowest, MTH_Vector3D &highest,
                  MDL_Object *&lowObject, MDL_Object *&highObject, bool low, bool high)
{
    if (low && component(candidate, k) < component(lowest, k)) {
        lowest = candidate;
        lowObject = object;
    }
    if (high && component(candidate, k) > component(highest, k)) {
        highest = candidate;
        highObject = object;
    }
}

} // namespace

MDL_RigidBody::MDL_RigidBody()
    : m_fInverseMass(1.0), m_oInverseInertia(100, 100, 100), m_fDamping(static_cast<double>(DEFAULT_DAMPING)),
      m_fAngularDamping(static_cast<double>(DEFAULT_DAMPING)), m_fElasticity(static_cast<double>(DEFAULT_ELASTICITY)),
      m_fFriction(static_cast<double>(DEFAULT_FRICTION)), m_bStill(false), m_bVerticesGroundCollision(false),
      m_bAngularSpeedDirty(false), m_fStillTime(0), m_fStillDelay(2.0), m_iMainAxis(0)
{
    m_iType = OBJECT_RIGID_BODY;
}

MDL_RigidBody::MDL_RigidBody(const MDL_RigidBody &other)
    : MDL_Object(other), m_oForce(other.m_oForce), m_oSpeed(other.m_oSpeed), m_fInverseMass(other.m_fInverseMass),
      m_oTorque(other.m_oTorque), m_oAngularMomentum(other.m_oAngularMomentum), m_oAngularSpeed(other.m_oAngularSpeed),
      m_oInverseInertia(other.m_oInverseInertia), m_fDamping(other.m_fDamping),
      m_fAngularDamping(other.m_fAngularDamping), m_fElasticity(other.m_fElasticity), m_fFriction(other.m_fFriction),
      m_bStill(other.m_bStill), m_bVerticesGroundCollision(other.m_bVerticesGroundCollision),
      m_bAngularSpeedDirty(other.m_bAngularSpeedDirty), m_fStillTime(other.m_fStillTime),
      m_fStillDelay(other.m_fStillDelay), m_iMainAxis(other.m_iMainAxis)
{
}

MDL_RigidBody::~MDL_RigidBody()
{
    // Each link leaves this body's list as it goes.
    while (m_oLinks.m_iCount > 0)
        m_oLinks[m_oLinks.m_iCount - 1]->bodyGone(this);
}

// --- accessors ---

double MDL_RigidBody::getMass() const
{
    return inverseOrInfinity(m_fInverseMass);
}

void MDL_RigidBody::setMass(double mass)
{
    m_fInverseMass = reciprocal(mass);
}

MTH_Vector3D MDL_RigidBody::getInertia() const
{
    return MTH_Vector3D(inverseOrInfinity(m_oInverseInertia.m_fX), inverseOrInfinity(m_oInverseInertia.m_fY),
                        inverseOrInfinity(m_oInverseInertia.m_fZ));
}

void MDL_RigidBody::setInertia(const MTH_Vector3D &inertia)
{
    // The axis of the largest inverse is kept, except that a zero moment on
    // y or z selects that axis (and a later axis must still beat the largest
    // inverse met).
    m_iMainAxis = 0;
    m_oInverseInertia.m_fX = reciprocal(inertia.m_fX);
    double largest = m_oInverseInertia.m_fX;
    if (inertia.m_fY == 0) {
        m_oInverseInertia.m_fY = 0;
        m_iMainAxis = 1;
    } else {
        m_oInverseInertia.m_fY = 1 / inertia.m_fY;
        if (m_oInverseInertia.m_fY > largest) {
            largest = m_oInverseInertia.m_fY;
            m_iMainAxis = 1;
        }
    }
    if (inertia.m_fZ == 0) {
        m_oInverseInertia.m_fZ = 0;
        m_iMainAxis = 2;
    } else {
        m_oInverseInertia.m_fZ = 1 / inertia.m_fZ;
        if (m_oInverseInertia.m_fZ > largest)
            m_iMainAxis = 2;
    }
    m_bAngularSpeedDirty = true;
}

void MDL_RigidBody::setStill(bool still)
{
    m_bStill = still;
    if (!still)
        m_fStillTime = 0;
}

void MDL_RigidBody::setSpeed(const MTH_Vector3D &speed)
{
    m_bStill = false;
    m_fStillTime = 0;
    m_oSpeed = speed;
}

void MDL_RigidBody::setForce(const MTH_Vector3D &force)
{
    m_bStill = false;
    m_fStillTime = 0;
    m_oForce = force;
}

void MDL_RigidBody::setTorque(const MTH_Vector3D &torque)
{
    m_bStill = false;
    m_fStillTime = 0;
    m_oTorque = torque;
}

const MTH_Vector3D &MDL_RigidBody::getAngularSpeed()
{
    if (m_bAngularSpeedDirty) {
        m_oAngularSpeed = toWorldDirection(product(toBodyDirection(m_oAngularMomentum), m_oInverseInertia));
        m_bAngularSpeedDirty = false;
    }
    return m_oAngularSpeed;
}

void MDL_RigidBody::setAngularSpeed(const MTH_Vector3D &speed)
{
    MTH_Vector3D w = toBodyDirection(speed);
    MTH_Vector3D l(w.m_fX * reciprocal(m_oInverseInertia.m_fX), w.m_fY * reciprocal(m_oInverseInertia.m_fY),
                   w.m_fZ * reciprocal(m_oInverseInertia.m_fZ));
    m_oAngularMomentum = toWorldDirection(l);
    m_bAngularSpeedDirty = true;
}

// --- frame helpers ---

double MDL_RigidBody::inverseEffectiveMass(const MTH_Vector3D &r, const MTH_Vector3D &n) const
{
    MTH_Vector3D rn = r.cross(n);
    return m_fInverseMass + m_oInverseInertia.m_fX * rn.m_fX * rn.m_fX + m_oInverseInertia.m_fY * rn.m_fY * rn.m_fY +
           m_oInverseInertia.m_fZ * rn.m_fZ * rn.m_fZ;
}

void MDL_RigidBody::turnBy(const MTH_Vector3D &theta)
{
    editGlobalBasis().integrateAngularVelocity(theta, m_iMainAxis);
    m_bAngularSpeedDirty = true;
}

// --- physics operations ---

void MDL_RigidBody::integrate(const MTH_Vector3D &gravity, double dt)
{
    if (m_bStill)
        return;
    // Gravity does not act on an immovable body.
    MTH_Vector3D a;
    if (m_fInverseMass != 0)
        a = gravity + m_oForce * m_fInverseMass;
    double h, G, L;
    dampingFactors(m_fDamping, dt, h, G, L);
    // A body at rest without acceleration is not marked changed.
    if (!isZero(a))
        editGlobalPosition() += a * L;
    if (!isZero(m_oSpeed))
        editGlobalPosition() += m_oSpeed * G;
    m_oSpeed = m_oSpeed * h + a * G;

    double ha, Ga, La;
    dampingFactors(m_fAngularDamping, dt, ha, Ga, La);
    MTH_Vector3D alpha = toWorldDirection(product(toBodyDirection(m_oTorque), m_oInverseInertia));
    MTH_Vector3D theta = getAngularSpeed() * Ga + alpha * La;
    if (!isZero(theta))
        turnBy(theta);
    m_oAngularMomentum = m_oAngularMomentum * ha + alpha * Ga;
    m_bAngularSpeedDirty = true;

    if (m_fStillDelay > 0) {
        const MTH_Vector3D &w = getAngularSpeed();
        if (w.lengthSquared() < static_cast<double>(REST_ANGULAR_SPEED_SQUARED) &&
            m_oSpeed.lengthSquared() < static_cast<double>(REST_SPEED_SQUARED)) {
            m_fStillTime += dt;
            if (m_fStillTime > m_fStillDelay)
                m_bStill = true;
        } else {
            m_fStillTime = 0;
        }
    }
}

MTH_Vector3D MDL_RigidBody::getPointVelocity(const MTH_Vector3D &point)
{
    MTH_Vector3D r = point - getGlobalPosition();
    return m_oSpeed + getAngularSpeed().cross(r);
}

void MDL_RigidBody::applyImpulse(const MTH_Vector3D &point, const MTH_Vector3D &impulse)
{
    m_oSpeed += impulse * m_fInverseMass;
    m_oAngularMomentum += (point - getGlobalPosition()).cross(impulse);
    m_bAngularSpeedDirty = true;
    wakeIfMoving();
}

void MDL_RigidBody::applyDisplacement(const MTH_Vector3D &point, const MTH_Vector3D &displacement)
{
    editGlobalPosition() += displacement * m_fInverseMass;
    MTH_Vector3D r = point - getGlobalPosition();
    MTH_Vector3D theta = toWorldDirection(product(toBodyDirection(r.cross(displacement)), m_oInverseInertia));
    if (!isZero(theta))
        turnBy(theta);
}

void MDL_RigidBody::wakeIfMoving()
{
    // Nothing to clear when the body is awake and its time at rest is 0 (the
    // angular speed is then left to be worked out when it is read).
    if (!(m_fStillDelay > 0) || (!m_bStill && m_fStillTime == 0))
        return;
    if (getAngularSpeed().lengthSquared() >= static_cast<double>(REST_ANGULAR_SPEED_SQUARED) ||
        m_oSpeed.lengthSquared() >= static_cast<double>(REST_SPEED_SQUARED)) {
        m_bStill = false;
        m_fStillTime = 0;
    }
}

bool MDL_RigidBody::wouldWake(const MTH_Vector3D &point, const MTH_Vector3D &impulse)
{
    const MTH_Vector3D speed = impulse * m_fInverseMass;
    const MTH_Vector3D momentum = (point - getGlobalPosition()).cross(impulse);
    const MTH_Vector3D turn = toWorldDirection(product(toBodyDirection(momentum), m_oInverseInertia));
    return turn.lengthSquared() >= static_cast<double>(REST_ANGULAR_SPEED_SQUARED) ||
           speed.lengthSquared() >= static_cast<double>(REST_SPEED_SQUARED);
}

void MDL_RigidBody::setPointSpeed(const MTH_Vector3D &r, const MTH_Vector3D &velocity)
{
    const MTH_Vector3D &i = m_oInverseInertia;
    if (m_fInverseMass != 0 && isZero(i)) {
        m_oSpeed = velocity;
        return;
    }
    MTH_Vector3D target = toBodyDirection(velocity);
    if (m_fInverseMass != 0) {
        // (m I - [r]x diag(i) [r]x) J = V' - v - (i o l) x r, a symmetric
        // positive definite system.
        MTH_Vector3D v = toBodyDirection(m_oSpeed);
        MTH_Vector3D l = toBodyDirection(m_oAngularMomentum);
        MTH_Vector3D rhs = target - v - product(i, l).cross(r);
        MTH_Matrix3x3 m;
        const MTH_Vector3D axes[3] = {unit(0), unit(1), unit(2)};
        for (int c = 0; c < 3; c++) {
            // Column c: the system applied to unit vector c.
            MTH_Vector3D e = axes[c];
            MTH_Vector3D col = e * m_fInverseMass + product(i, r.cross(e)).cross(r);
            m.set(0, c, col.m_fX);
            m.set(1, c, col.m_fY);
            m.set(2, c, col.m_fZ);
        }
        // Symmetric, so rows and columns agree: J = rhs x M^-1.
        MTH_Matrix3x3 inverse;
        inverse.setInverseOf(m);
        MTH_Vector3D J = rhs;
        inverse.transform(J);
        MTH_Vector3D worldJ = toWorldDirection(J);
        MTH_Vector3D P;
        getGlobalFrame().globalPoint(r, P);
        m_oSpeed += worldJ * m_fInverseMass;
        m_oAngularMomentum += (P - getGlobalPosition()).cross(worldJ);
        m_bAngularSpeedDirty = true;
        wakeIfMoving();
        return;
    }
    double r2 = r.lengthSquared();
    if (r2 == 0)
        return;
    // Only the part of the target across r can be given by turning.
    MTH_Vector3D f = target - r * r.dot(target);
    MTH_Vector3D w = r.cross(f) * (1 / r2);
    MTH_Vector3D l(w.m_fX * reciprocal(i.m_fX), w.m_fY * reciprocal(i.m_fY), w.m_fZ * reciprocal(i.m_fZ));
    m_oAngularMomentum = toWorldDirection(l);
    m_bAngularSpeedDirty = true;
}

void MDL_RigidBody::computeMassAndInertia(double density)
{
    // Measured in the body's own axes.
    MTH_Frame saved = getGlobalFrame();
    MTH_Frame &frame = editGlobalFrame();
    frame.setIdentity();
    frame.invalidateInverse();
    double s[3];
    for (int k = 0; k < 3; k++) {
        MTH_Vector3D lowest, highest;
        (k == 0 ? lowest.m_fX : (k == 1 ? lowest.m_fY : lowest.m_fZ)) = DBL_MAX;
        (k == 0 ? highest.m_fX : (k == 1 ? highest.m_fY : highest.m_fZ)) = -DBL_MAX;
        MDL_Object *low = nullptr, *high = nullptr;
        getExtentAlongAxis(this, k, lowest, highest, low, high);
        s[k] = low != nullptr && high != nullptr ? component(highest, k) - component(lowest, k) : 1;
    }
    double m = density * s[0] * s[1] * s[2];
    if (m != 0) {
        m_fInverseMass = 1 / m;
        setInertia(MTH_Vector3D(m * (s[1] * s[1] + s[2] * s[2]) / 12, m * (s[0] * s[0] + s[2] * s[2]) / 12,
                                m * (s[0] * s[0] + s[1] * s[1]) / 12));
    } else {
        m_fInverseMass = 0;
        m_oInverseInertia = MTH_Vector3D(0, 0, 0);
        m_iMainAxis = 2;
    }
    MTH_Frame &restored = editGlobalFrame();
    restored = saved;
    restored.invalidateInverse();
    m_bAngularSpeedDirty = true;
}

void MDL_RigidBody::getExtentAlongAxis(MDL_Object *object, int k, MTH_Vector3D &lowest, MTH_Vector3D &highest,
                                       MDL_Object *&lowObject, MDL_Object *&highObject)
{
    if (object == nullptr || k < 0 || k > 2)
        return;
    MDL_Object::visitSubtree(object, [&](MDL_Object *o) {
        if (o->m_iType != OBJECT_COLLISION_VOLUME)
            return;
        MDL_Mesh *mesh = carrierMesh(o);
        if (mesh == nullptr)
            return;
        const MTH_Frame &frame = mesh->getGlobalFrame();
        const MTH_Vector3D column(frame.m_oBasis.get(0, k), frame.m_oBasis.get(1, k), frame.m_oBasis.get(2, k));
        const double origin = component(frame.m_oPosition, k);
        double low = component(lowest, k) - origin, high = component(highest, k) - origin;
        int lowIndex = -1, highIndex = -1;
        const int n = mesh->getNumVertices();
        for (int i = 0; i < n; i++) {
            double value = mesh->vertexPosition(i).dot(column);
            if (value < low) {
                low = value;
                lowIndex = i;
            }
            if (value > high) {
                high = value;
                highIndex = i;
            }
        }
        if (lowIndex >= 0) {
            frame.globalPoint(mesh->vertexPosition(lowIndex), lowest);
            lowObject = mesh;
        }
        if (highIndex >= 0) {
            frame.globalPoint(mesh->vertexPosition(highIndex), highest);
            highObject = mesh;
        }
    });
}

namespace {

// The lowest and highest points of a volume along world axis k; false for a
// shape that has none. A sphere's radius R is given.
inline bool volumeExtremes(MDL_CollisionVolume *volume, int k, double R, MTH_Vector3D &low, MTH_Vector3D &high)
{
    const MTH_Frame &frame = volume->getGlobalFrame();
    const MTH_Vector3D &c = frame.m_oPosition;
    const MTH_Vector3D ek = unit(k);
    switch (volume->m_iShape) {
    case MDL_CollisionVolume::SHAPE_SPHERE:
        low = c - ek * R;
        high = c + ek * R;
        return true;
    case MDL_CollisionVolume::SHAPE_BOX:
        low = c;
        high = c;
        for (int i = 0; i < 3; i++) {
            const MTH_Vector3D &u = frame.m_oBasis.getRow(i);
            double uk = component(u, k);
            low += uk > 0 ? -u : u;
            high += uk >= 0 ? u : -u;
        }
        return true;
    case MDL_CollisionVolume::SHAPE_CYLINDER: {
        const MTH_Vector3D &a = frame.m_oBasis.getRow(2);
        double radius = frame.m_oBasis.getRow(0).length();
        MTH_Vector3D n = a;
        n.normalize();
        MTH_Vector3D d = ek - n * n.dot(ek);
        if (!(d.normalize() > 1e-12))
            d = MTH_Vector3D(0, 0, 0);
        double ak = component(a, k);
        low = (ak > 0 ? c - a : c + a) - d * radius;
        high = (ak < 0 ? c - a : c + a) + d * radius;
        return true;
    }
    default:
        return false;
    }
}

// Calls visit (volume, R) for every volume of the subtree that counts for
// the volume extents, R its radius when it is a sphere.
template <typename F> void visitExtentVolumes(MDL_Object *object, F visit)
{
    MDL_Object::visitSubtree(object, [&](MDL_Object *o) {
        if (o->m_iType != OBJECT_COLLISION_VOLUME)
            return;
        MDL_CollisionVolume *volume = static_cast<MDL_CollisionVolume *>(o);
        if ((volume->m_uiCollisionMask & 1u) == 0)
            return;
        visit(volume, volume->m_iShape == MDL_CollisionVolume::SHAPE_SPHERE ? volume->getRadius() : 0.0);
    });
}

} // namespace

void MDL_RigidBody::getVolumeExtentAlongAxis(MDL_Object *object, int k, MTH_Vector3D &lowest, MTH_Vector3D &highest,
                                             MDL_Object *&lowObject, MDL_Object *&highObject)
{
    if (object == nullptr || k < 0 || k > 2)
        return;
    visitExtentVolumes(object, [&](MDL_CollisionVolume *volume, double R) {
        MTH_Vector3D low, high;
        if (!volumeExtremes(volume, k, R, low, high))
            return;
        offer(low, volume, k, lowest, highest, lowObject, highObject, true, false);
        offer(high, volume, k, lowest, highest, lowObject, highObject, false, true);
    });
}

void MDL_RigidBody::addPointsBeyond(MDL_Object *object, int k, int side, double level, bool vertices, MTH_Vector3D &sum,
                                    int &count)
{
    if (object == nullptr || k < 0 || k > 2)
        return;
    auto take = [&](const MTH_Vector3D &p) {
        if (side < 0 ? component(p, k) < level : component(p, k) > level) {
            sum += p;
            count++;
        }
    };
    if (!vertices) {
        visitExtentVolumes(object, [&](MDL_CollisionVolume *volume, double R) {
            const MTH_Frame &frame = volume->getGlobalFrame();
            const MTH_Vector3D rows[3] = {frame.m_oBasis.getRow(0), frame.m_oBasis.getRow(1), frame.m_oBasis.getRow(2)};
            const double radius = volume->m_iShape == MDL_CollisionVolume::SHAPE_SPHERE ? R : rows[0].length();
            MTH_Vector3D points[8];
            const int n =
                MDL_CollisionVolume::outlinePoints(volume->m_iShape, frame.m_oPosition, rows, radius, unit(k), points);
            for (int i = 0; i < n; i++)
                take(points[i]);
        });
        return;
    }
    MDL_Object::visitSubtree(object, [&](MDL_Object *o) {
        if (o->m_iType != OBJECT_COLLISION_VOLUME)
            return;
        // Each carrying mesh once, at the first volume it carries.
        MDL_Mesh *mesh = carrierMesh(o);
        MDL_Object *first = mesh == nullptr ? nullptr : mesh->getFirstChild();
        while (first != nullptr && first->m_iType != OBJECT_COLLISION_VOLUME)
            first = first->getNextSibling();
        if (first != o)
            return;
        const MTH_Frame &frame = mesh->getGlobalFrame();
        const int n = mesh->getNumVertices();
        for (int i = 0; i < n; i++) {
            MTH_Vector3D p;
            frame.globalPoint(mesh->vertexPosition(i), p);
            take(p);
        }
    });
}

void MDL_RigidBody::getVolumeExtents(MDL_Object *object, MTH_Vector3D lowest[3], MTH_Vector3D highest[3],
                                     MDL_Object *lowObject[3], MDL_Object *highObject[3])
{
    if (object == nullptr)
        return;
    visitExtentVolumes(object, [&](MDL_CollisionVolume *volume, double R) {
        for (int k = 0; k < 3; k++) {
            MTH_Vector3D low, high;
            if (!volumeExtremes(volume, k, R, low, high))
                return;
            offer(low, volume, k, lowest[k], highest[k], lowObject[k], highObject[k], true, false);
            offer(high, volume, k, lowest[k], highest[k], lowObject[k], highObject[k], false, true);
        }
    });
}
