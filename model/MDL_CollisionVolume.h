#pragma once

#include <cstdint>

#include "model/MDL_Object.h"

// An invisible shape that takes part in collision detection (type 13): a
// sphere, a box or a cylinder whose size is carried by the basis of its
// global frame. The three basis rows are the half-axes of a box (their
// lengths are the half-sizes); a cylinder's axis is row 2 (the half-height
// vector) and its radius the length of row 0; a sphere's radius is the length
// of row 0. Scaling the frame resizes the volume.
//
// The collision pass and the binding read and write the fields directly.
// Every value given out here is finite, so the broad phase can sort
// endpoints with plain comparisons.
class MDL_CollisionVolume : public MDL_Object {
public:
    // Shapes (the models-set "volume_type" names "sphere", "box", "cylinder").
    enum {
        SHAPE_NONE = 0,
        SHAPE_SPHERE = 1,
        SHAPE_BOX = 2,
        SHAPE_CYLINDER = 3,
    };

    // Radius 0, layer 1, mask with every bit set.
    explicit MDL_CollisionVolume(int shape);
    // Copies the base object (MDL_Object's copy), shape, radius, layer and mask.
    MDL_CollisionVolume(const MDL_CollisionVolume &other);

    // "sphere", "box", "cylinder" without regard to case give 1 to 3; any
    // other text, or null, gives SHAPE_NONE (the models-set reader then stops
    // creating objects).
    static int shapeFromName(const char *name);

    // The points by which a shape (its centre, half-axis rows and, for a
    // sphere or a cylinder, radius) meets a plane across the unit direction,
    // at most eight: a box's corners; the corners of a cylinder's section
    // through its axis along the direction (the points of its two rims
    // nearest to and farthest along it, or the middles of its end faces when
    // the direction runs along the axis); a sphere's two points along the
    // direction. Returns their count (0 for another shape). A contact takes
    // the middle of those that lie less than CONTACT_DEPTHS times its depth
    // short of the deepest one, so that a face or an edge lying flat against
    // a surface touches it at its middle, where pushing it does not turn it.
    // (Pushing one end of a face out by the depth dips the other end by
    // about as much, and the next sub-step sinks it again: a narrower band
    // lets a face rock from end to end.)
    static constexpr double CONTACT_DEPTHS = 4;
    static int outlinePoints(int shape, const MTH_Vector3D &centre, const MTH_Vector3D rows[3], double radius,
                             const MTH_Vector3D &direction, MTH_Vector3D points[8]);

    // Lowest and highest x of the volume in scene coordinates: a sphere spans
    // position.x -/+ m_fRadius (as the last getRadius left it); a box or a
    // cylinder position.x -/+ (|r0.x| + |r1.x| + |r2.x|); any other shape 0.
    double getMinX();
    double getMaxX();
    // Recomputes and returns the bounding radius: |r0| for a sphere, the
    // half-diagonal sqrt(|r0|^2 + |r1|^2 + |r2|^2) for a box or a cylinder.
    // Any other shape keeps (and returns) the radius it had.
    double getRadius();
    // Sets the collision mask. Its lowest bit decides whether the volume
    // meets the scene's bounds, so the bodies' kept volume extents are
    // worked out again.
    void setCollisionMask(uint32_t mask);

    // --- fields, in order ---
    double m_fRadius;
    int32_t m_iShape;
    // Bits naming the layers the volume is in.
    int32_t m_iCollisionLayer;
    // Bits naming the layers the volume collides with.
    uint32_t m_uiCollisionMask;
    // The volume's place in the collision pass's tables (set by each pass,
    // -1 before the first; a copy starts without one).
    int32_t m_iSweepSlot;

private:
    // Half the volume's width along scene x (0 for an unknown shape).
    double halfExtentX();
};

// One end of a collision volume's interval along scene x, for the scene's
// sort and sweep. The scene creates two per volume (a minimum and a maximum)
// and owns them.
struct MDL_SweepEndpoint {
    MDL_SweepEndpoint() : m_bIsMin(true), m_fValue(0), m_poObject(nullptr) {}
    MDL_SweepEndpoint(bool isMin, MDL_CollisionVolume *volume) : m_bIsMin(isMin), m_fValue(0), m_poObject(volume) {}

    // m_fValue = the volume's lowest x for a minimum, its highest x
    // otherwise (0 without a volume); returns it.
    double update();

    bool m_bIsMin;
    double m_fValue;
    MDL_CollisionVolume *m_poObject;
};
