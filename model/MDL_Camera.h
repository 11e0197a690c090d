#pragma once

#include "foundation/MTH_Vector.h"
#include "model/MDL_Object.h"

// A camera (type 2): a field of view and clip distances, and the conversion
// of points between scene coordinates and its view plane. The camera looks
// along its own negative z axis: points in front of it have a negative depth.
//
// The viewport (MDL_Viewport) and the camera binding read and write the four
// fields directly; every change of the angle goes through setFOV so that the
// focal value follows.
class MDL_Camera : public MDL_Object {
public:
    // Field of view 49.14 degrees, clip distances 1 and 100.
    MDL_Camera();
    // Copies the base object (MDL_Object's copy) and the four fields.
    MDL_Camera(const MDL_Camera &other);
    ~MDL_Camera() override;

    // The base reader, then the optional child elements "angle" (degrees),
    // "clip_start" and "clip_end", one number each. A number that is missing,
    // NaN or infinite leaves its field as it was, and so does an angle that
    // setFOV refuses. False only for a null element.
    bool loadFromXML(const TiXmlElement *element) override;

    // Stores the full field-of-view angle (radians) and focal = 1 / tan(angle / 2).
    // Refused (false, nothing changed) when the angle is not finite or gives
    // no finite focal value (an angle of 0 among them).
    bool setFOV(double angle);

    // out = the scene point in camera coordinates, with x and y multiplied by
    // focal / depth; out.z is the depth. A point on the camera plane (depth 0)
    // is taken as lying just in front of it: x and y go to the largest double
    // of the matching sign (0 stays 0). Every component of out is finite.
    void project(const MTH_Vector3D &point, MTH_Vector3D &out);
    // The inverse of project: x and y multiplied by point.z / focal, then
    // taken from camera to scene coordinates. Every component of out is finite.
    void unproject(const MTH_Vector3D &point, MTH_Vector3D &out);

    // --- fields, in order ---
    // Full field-of-view angle in radians (the horizontal one, as the
    // renderer builds its projection).
    double m_fAngle;
    // 1 / tan(m_fAngle / 2).
    double m_fFocal;
    double m_fClipStart;
    double m_fClipEnd;
};
