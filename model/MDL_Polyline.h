#pragma once

#include <cstdint>

#include "foundation/MTH_Vector.h"
#include "foundation/UTIL_DynArray.h"
#include "model/MDL_Object.h"

class MDL_Material;

// A 2D line through points in overlay coordinates (type 12), open or closed,
// drawn as a thick line with round caps and round joins and optionally
// filled. It turns its points into two cached triangle lists, rebuilt only
// after an edit that touches them: the thick line (a strip of triangles with
// texture coordinates) and the fill (index triples into the points). Its
// material colours the line (diffuse colour, first texture) and is shared
// until makeOwnMaterial gives it a copy of its own.
//
// Segment i joins point i to point i + 1; a closed polyline also joins its
// last point to the first. A closed outline whose last points repeat the
// first is drawn as if they were not there (no segment of length 0), and a
// closed outline of fewer than 3 distinct corners has no line. A thickness
// that is not a positive number draws no line either; a line that is not
// drawn hits nothing.
class MDL_Polyline : public MDL_Object {
public:
    // No points, no material, fill colour (0, 0, 0, 0), closed, not filled,
    // line visible, thickness 0.01 (single precision).
    MDL_Polyline();
    // A copy of the object, the points and every setting. A shared material
    // stays shared; a material the original owns is copied. The copy builds
    // its triangle lists on first use.
    MDL_Polyline(const MDL_Polyline &other);
    // Frees the lists and an owned material.
    ~MDL_Polyline() override;

    // A hit on the visible line (closer than the thickness to a segment, or
    // to the only point of a line without segments; for a closed outline of
    // fewer than three corners, in the start cap it draws), or inside the
    // fill when it is filled, whichever way the outline runs.
    bool hitTest(const MTH_Vector2D &point) override;

    // --- points ---
    // Appends p unless it equals the last point exactly.
    void addPoint(const MTH_Vector2D &p);
    // Point i; (0, 0) when i is not a point index.
    const MTH_Vector2D &getPoint(int i) const;
    int getPointsCount() const { return m_oPoints.m_iCount; }
    // Every point, in order: the vertices that the fill's indices name.
    const UTIL_DynArray<MTH_Vector2D> &getPoints() const { return m_oPoints; }
    void clearPoints();

    // --- shape ---
    // The setters of closed and thickness change the line, not the fill.
    void setClosed(bool closed);
    bool isClosed() const { return m_bClosed; }
    // Half the line's width: the line reaches this far on each side.
    void setThickness(double thickness);
    double getThickness() const { return m_fThickness; }
    void setFilled(bool filled) { m_bFilled = filled; }
    bool isFilled() const { return m_bFilled; }
    void setLineVisible(bool visible) { m_bLineVisible = visible; }
    bool isLineVisible() const { return m_bLineVisible; }
    const MTH_Vector4D &getFillColor() const { return m_oFillColor; }
    void setFillColor(const MTH_Vector4D &color) { m_oFillColor = color; }

    // --- material ---
    MDL_Material *getMaterial() const { return m_poMaterial; }
    // Shares material (null allowed); a material the polyline owned is
    // deleted.
    void setMaterial(MDL_Material *material);
    bool ownsMaterial() const { return m_bOwnsMaterial; }
    // Gives the polyline its own copy of its material (a default material
    // when it has none) unless it owns one already; returns the material.
    // Called before any change of the material through the polyline.
    MDL_Material *makeOwnMaterial();

    // --- triangle lists ---
    // The fill: three indices into the points per triangle, every triangle
    // counter-clockwise, the points taken as a closed outline whatever the
    // closed flag. Empty for an outline that cannot be cut (fewer than 3
    // corners, self-intersecting, all on a line).
    const UTIL_DynArray<int> &triangulate();
    // The thick line as a triangle list, three entries per triangle, in the
    // polyline's own coordinates, and the (u, v) of each entry: v runs across
    // the line (0 on the left, 1 on the right, 0.5 on the centre line; at a
    // corner 0 on the inner side), u along it, at aspect / (2 x thickness)
    // times the length from point 0, aspect the height over width of the
    // first texture of the material's layers. Without a texture u is -1
    // times that length. A closed outline of fewer than three corners is
    // drawn as the start cap only. Both arrays have the same count; both are
    // empty when the line draws nothing.
    const UTIL_DynArray<MTH_Vector2D> &getStripVertices();
    const UTIL_DynArray<MTH_Vector2D> &getStripUVs();

    // The least distance from p to a segment minus the thickness (negative
    // on the line); for a single point of an open polyline, the distance to
    // it minus the thickness; DBL_MAX without points.
    double distanceToPoint(const MTH_Vector2D &p) const;

    // --- fields, in order ---
    MDL_Material *m_poMaterial;
    bool m_bOwnsMaterial;
    MTH_Vector4D m_oFillColor;
    UTIL_DynArray<MTH_Vector2D> m_oPoints;
    UTIL_DynArray<int> m_oFillTriangles;
    bool m_bFillDirty;
    bool m_bLineDirty;
    UTIL_DynArray<MTH_Vector2D> m_oLinePositions;
    UTIL_DynArray<MTH_Vector2D> m_oLineUVs;
    double m_fThickness;
    bool m_bClosed;
    bool m_bFilled;
    bool m_bLineVisible;
    // The u scale the line was built with: a change of the material's
    // textures rebuilds the line too.
    double m_fStripTextureScale;

private:
    // The u scale of the current material (see getStripVertices).
    double textureScale() const;
    // The points the line runs through: all of them, less the repeats of
    // the first point at the end of a closed outline.
    int linePointsCount() const;
    // Whether the line is the start cap alone: a closed outline of fewer
    // than three corners has no inside and no turn to join.
    bool isStartCapOnly() const { return m_bClosed && linePointsCount() < 3; }
    // Rebuilds the line lists when the line or its u scale changed.
    void buildStrip();
};
