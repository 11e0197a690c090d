#include "model/MDL_Bone.h"

#include <cfloat>
#include <cmath>

#include <tinyxml.h>

#include "foundation/MTH_Matrix4x4.h"
#include "foundation/UTIL_XmlValues.h"
#include "model/MDL_Event.h"

namespace {

const double DEGREES_TO_RADIANS = 0.017453292519943295;
// A twist this close outside a bound is left alone (a single-precision
// constant, widened).
const double CLAMP_TOLERANCE = static_cast<double>(1e-7f);
const int MAX_LIMIT_PASSES = 9;
const int MAX_IK_ROUNDS = 6;

double &component(MTH_Vector3D &v, int i)
{
    return i == 0 ? v.m_fX : (i == 1 ? v.m_fY : v.m_fZ);
}

// Reads a limit element: the axis becomes free, then takes the bounds that
// the element holds as finite numbers of degrees.
void readLimit(const TiXmlElement *element, const char *name, double limits[2])
{
    const TiXmlElement *child = element->FirstChildElement(name);
    if (child == nullptr)
        return;
    limits[0] = -DBL_MAX;
    limits[1] = DBL_MAX;
    double values[2] = {0, 0};
    int count = UTIL_parseDoubles(child->GetText(), values, 2);
    for (int i = 0; i < count; i++)
        if (std::isfinite(values[i]))
            limits[i] = values[i] * DEGREES_TO_RADIANS;
}

} // namespace

MDL_Bone::MDL_Bone()
{
    m_iType = OBJECT_BONE;
    for (int axis = 0; axis < 3; axis++) {
        m_aafLimits[axis][0] = -DBL_MAX;
        m_aafLimits[axis][1] = DBL_MAX;
    }
    enableState(STATE_MOVABLE, SCOPE_RECURSE);
}

MDL_Bone::MDL_Bone(const MDL_Bone &other) : MDL_Object(other), m_oRestFrame(other.m_oRestFrame)
{
    for (int axis = 0; axis < 3; axis++) {
        m_aafLimits[axis][0] = other.m_aafLimits[axis][0];
        m_aafLimits[axis][1] = other.m_aafLimits[axis][1];
    }
}

MDL_Bone::~MDL_Bone() {}

bool MDL_Bone::loadFromXML(const TiXmlElement *element)
{
    if (!MDL_Object::loadFromXML(element))
        return false;
    const TiXmlElement *rest = element->FirstChildElement("original_matrix");
    if (rest != nullptr) {
        MTH_Matrix4x4 m;
        m.setZero();
        UTIL_parseDoubles(rest->GetText(), m.m_af, 16);
        m_oRestFrame.setMatrix4x4(m);
    }
    readLimit(element, "limit_xrot", m_aafLimits[0]);
    readLimit(element, "limit_yrot", m_aafLimits[1]);
    readLimit(element, "limit_zrot", m_aafLimits[2]);
    return true;
}

void MDL_Bone::swapRestMatrix()
{
    MTH_Frame current = getLocalFrame();
    editLocalFrame() = m_oRestFrame;
    m_oRestFrame = current;
}

void MDL_Bone::reset()
{
    MTH_Frame &frame = editLocalFrame();
    frame.m_oPosition = m_oRestFrame.m_oPosition;
    frame.m_oBasis = m_oRestFrame.m_oBasis;
    frame.invalidateInverse();
}

// --- limits ---

bool MDL_Bone::isFree(double min, double max)
{
    return min == -DBL_MAX && max == DBL_MAX;
}

void MDL_Bone::setLimits(int axis, double min, double max)
{
    if (axis < 0 || axis > 2)
        return;
    m_aafLimits[axis][0] = min;
    m_aafLimits[axis][1] = max;
}

void MDL_Bone::getLimits(int axis, double &min, double &max) const
{
    if (axis < 0 || axis > 2) {
        min = -DBL_MAX;
        max = DBL_MAX;
        return;
    }
    min = m_aafLimits[axis][0];
    max = m_aafLimits[axis][1];
}

bool MDL_Bone::isAxisFree(int axis) const
{
    return axis < 0 || axis > 2 || isFree(m_aafLimits[axis][0], m_aafLimits[axis][1]);
}

bool MDL_Bone::isAxisLocked(int axis) const
{
    return axis >= 0 && axis <= 2 && m_aafLimits[axis][0] == m_aafLimits[axis][1];
}

bool MDL_Bone::clampAxis(MTH_Frame &frame, int axis, double min, double max)
{
    if (axis < 0 || axis > 2 || isFree(min, max))
        return false;
    frame.invalidateInverse();
    int next = (axis + 1) % 3;
    int last = (axis + 2) % 3;
    MTH_Vector3D a = frame.m_oBasis.getRow(axis);
    MTH_Vector3D b = frame.m_oBasis.getRow(next);

    // Swing removal: turn b by the shortest arc that brings a onto the unit
    // vector of the axis. The cosine is taken of a's direction, so that a
    // scaled basis measures the same twist as an unscaled one.
    double length = a.length();
    if (!(length > 0) || !std::isfinite(length))
        return false;
    double cosine = component(a, axis) / length;
    cosine = cosine < -1 ? -1 : (cosine > 1 ? 1 : cosine);
    MTH_Vector3D unit;
    component(unit, axis) = 1;
    MTH_Vector3D k = a.cross(unit);
    double kLength = k.length();
    if (kLength > 0) {
        k *= 1 / kLength;
        MTH_Vector3D::rotate(b, k, cosine, std::sqrt(1 - cosine * cosine));
    } else if (cosine < 0) {
        // a points exactly away from the axis: every perpendicular axis is a
        // shortest arc; take the half turn about the next unit axis.
        component(b, axis) = -component(b, axis);
        component(b, last) = -component(b, last);
    }

    double angle = std::atan2(component(b, last), component(b, next));
    double goal;
    if (angle < min - CLAMP_TOLERANCE)
        goal = min;
    else if (angle > max + CLAMP_TOLERANCE)
        goal = max;
    else
        return false; // inside the bounds, or not a number
    frame.rotateAroundAxis(axis, goal - angle);
    return true;
}

void MDL_Bone::applyLimits()
{
    if (isAxisFree(0) && isAxisFree(1) && isAxisFree(2))
        return;
    MTH_Frame rotation = getLocalFrame();
    m_oRestFrame.toLocalFrame(rotation);
    bool clamped = false;
    for (int pass = 0; pass < MAX_LIMIT_PASSES; pass++) {
        bool clampedNow = false;
        for (int axis = 0; axis < 3; axis++)
            if (clampAxis(rotation, axis, m_aafLimits[axis][0], m_aafLimits[axis][1]))
                clampedNow = true;
        if (!clampedNow)
            break;
        clamped = true;
    }
    if (!clamped)
        return;
    m_oRestFrame.toGlobalFrame(rotation);
    editLocalFrame() = rotation;
}

// --- inverse kinematics ---

namespace {

// One step of the descent on one bone: turns it so that the grabbed point
// swings towards the target. True when the turn was kept (point then holds
// the point's new place).
bool turnTowards(MDL_Bone *bone, MTH_Vector3D &point, const MTH_Vector3D &target, UTIL_EventHost *events)
{
    MTH_Vector3D grabbed, goal;
    const MTH_Frame &global = bone->getGlobalFrame();
    global.localPoint(point, grabbed);
    global.localPoint(target, goal);

    // Two locked axes leave turns about the third: the point and the target
    // are seen in the plane of that turn.
    MTH_Vector3D c = grabbed, t = goal;
    bool lockedX = bone->isAxisLocked(0), lockedY = bone->isAxisLocked(1), lockedZ = bone->isAxisLocked(2);
    if (lockedX && lockedY)
        c.m_fZ = t.m_fZ = 0;
    if (lockedX && lockedZ)
        c.m_fY = t.m_fY = 0;
    if (lockedY && lockedZ)
        c.m_fX = t.m_fX = 0;

    MTH_Vector3D axis = c.cross(t);
    if (axis == MTH_Vector3D())
        return false;
    double cosine = c.dot(t) / (c.length() * t.length());
    if (!(cosine > -1 && cosine < 1))
        return false;

    MTH_Frame saved = bone->getLocalFrame();
    MTH_Vector3D parentAxis;
    saved.globalDirection(axis, parentAxis);
    bone->editLocalFrame().rotateCosSin(parentAxis, cosine, std::sqrt(1 - cosine * cosine));
    bone->applyLimits();
    MDL_MovedEvent().post(bone->m_oProxyHandle, events);

    // The grabbed point itself, not its projection into the plane of the
    // turn, is where the skin under the mouse went.
    MTH_Vector3D moved;
    bone->getGlobalFrame().globalPoint(grabbed, moved);
    if ((moved - target).lengthSquared() < (point - target).lengthSquared()) {
        point = moved;
        return true;
    }
    bone->editLocalFrame() = saved;
    return false;
}

} // namespace

void MDL_Bone::movePoint(const MTH_Vector3D &current, const MTH_Vector3D &target, UTIL_EventHost *events,
                         MTH_Vector3D *reached)
{
    MTH_Vector3D point = current;
    if (current != target) {
        for (int round = 0; round < MAX_IK_ROUNDS; round++) {
            bool moved = false;
            MDL_Bone *bone = this;
            while (bone != nullptr) {
                if (bone->hasState(STATE_MOVABLE) && turnTowards(bone, point, target, events))
                    moved = true;
                MDL_Object *parent = bone->getParent();
                bone =
                    parent != nullptr && parent->getType() == OBJECT_BONE ? dynamic_cast<MDL_Bone *>(parent) : nullptr;
            }
            if (!moved)
                break;
        }
    }
    if (reached != nullptr)
        *reached = point;
}
