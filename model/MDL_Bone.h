#pragma once

#include "foundation/MTH_Frame.h"
#include "foundation/MTH_Vector.h"
#include "model/MDL_Object.h"

class UTIL_EventHost;
class TiXmlElement;

// A joint of a skeleton (type 6): an object in a parent chain whose local
// frame turns the animated meshes bound to it. A bone keeps its rest pose
// (the local frame it had when the skin was bound), rotation limits per axis
// relative to that rest pose, and an inverse-kinematics solver that turns the
// chain of bone ancestors so that a grabbed point follows a target.
//
// Limits are in radians. An axis whose bounds are exactly (-DBL_MAX, DBL_MAX)
// is free and never clamped; a bound of -DBL_MAX or DBL_MAX alone leaves that
// side open. An axis whose two bounds are equal is locked: movePoint keeps
// the turns of a bone with two locked axes about the third.
class MDL_Bone : public MDL_Object {
public:
    // Rest frame identity, every axis free, and STATE_MOVABLE enabled on
    // the bone and its descendants (a new bone has state 6).
    MDL_Bone();
    // The base object's copy, then the rest frame and the limits.
    MDL_Bone(const MDL_Bone &other);
    ~MDL_Bone() override;

    // The base reader ("name", "matrix"), then the optional child elements
    // "original_matrix" (16 numbers, the rest frame as a 4x4 matrix; missing
    // numbers read as 0) and "limit_xrot", "limit_yrot", "limit_zrot" (min
    // and max in degrees). A limit element sets its axis free first and then
    // takes the bounds it holds: with one number only the min is set, and a
    // number that is NaN or infinite leaves its side open. False only for a
    // null element.
    bool loadFromXML(const TiXmlElement *element) override;

    // Exchanges the local frame and the rest frame (the local frame is
    // written through editLocalFrame, so the subtree follows). The models
    // set's skin binding calls it before and after working out rest data.
    void swapRestMatrix();
    // Puts the bone back into its rest pose: the local frame takes the rest
    // frame's basis and position.
    void reset();

    // Clamps the twist of a frame about its own axis (0, 1 or 2) to
    // [min, max] radians. The frame is a rotation relative to the rest pose:
    // its swing is removed first (the shortest arc that turns basis row
    // `axis` onto that unit axis), the twist is then read from the next
    // row. When the twist lies outside the bounds by more than 1e-7 the
    // frame is turned about its own axis onto the nearer bound and the
    // result is true. A free axis, an axis outside 0..2, and a frame whose
    // rows are zero or not finite give false and leave the frame as it was.
    static bool clampAxis(MTH_Frame &frame, int axis, double min, double max);
    // Keeps the local frame within the limits: the rotation away from the
    // rest pose is clamped x, y, z in turn, up to 9 passes, until a pass
    // clamps nothing; only a clamped rotation is written back.
    void applyLimits();

    // Inverse kinematics by cyclic coordinate descent: up to 6 rounds, each
    // walking from this bone up through its bone ancestors (the walk ends
    // at the first parent that is not a bone). Each movable bone turns so
    // that the grabbed point (current, in scene coordinates) swings towards
    // target (scene coordinates), within its limits, and MDL_CB_MOVED is
    // posted through its proxy handle with events; a turn that brings the
    // point no nearer is taken back (its event stays posted). Rounds go on
    // while a turn was kept. Equal current and target do nothing. reached,
    // when given, receives where the grabbed point ends up.
    void movePoint(const MTH_Vector3D &current, const MTH_Vector3D &target, UTIL_EventHost *events,
                   MTH_Vector3D *reached = nullptr);

    // --- limits (axis 0..2; other axes are ignored or read as free) ---
    void setLimits(int axis, double min, double max);
    void getLimits(int axis, double &min, double &max) const;
    bool isAxisFree(int axis) const;
    bool isAxisLocked(int axis) const;
    static bool isFree(double min, double max);

    const MTH_Frame &getRestFrame() const { return m_oRestFrame; }
    MTH_Frame &editRestFrame() { return m_oRestFrame; }

    // --- fields, in order ---
    // Local frame of the rest pose.
    MTH_Frame m_oRestFrame;
    // Per axis (x, y, z): min then max, radians.
    double m_aafLimits[3][2];
};
